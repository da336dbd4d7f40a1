// The backup engines on real files: snapshots of a database being written,
// zip round trips, restores that must be refused without touching the
// database, compaction, names and the automatic backup with pruning; on a
// PostgreSQL server the same through pg_dump and pg_restore.
#include "ArchiveFixture.h"
#include "AutoBackup.h"
#include "BackupCopy.h"
#include "BackupEngine.h"
#include "BackupFolder.h"
#include "DataAccess.h"
#include "DataModuleHost.h"
#include "PgBackup.h"
#include "PgTools.h"
#include "Schema.h"
#include "Settings.h"
#include "SqlDialect.h"
#include "TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

namespace {

void AddSales(int count, const QString& name = QStringLiteral("张伟"))
{
    SqlTransaction transaction(CurrentConnection());
    for (int i = 0; i < count; ++i)
        QVERIFY(ExecCommand("insert into SaleInfo (Name, addr, Memo) values (?, ?, ?)",
                            {name, QStringLiteral("北京市海淀区"), QString(200, QChar('x'))}));
    QVERIFY(transaction.Commit());
}

int SaleCount()
{
    SqlStatement s(CurrentConnection(), "select count(*) from SaleInfo");
    return s.Step() ? s.ColumnValue(0).toInt() : -1;
}

int FileSaleCount(const QString& file)
{
    SqlConnection c;
    if (!c.Open(SqlConnection::MakeConnectionString(file)))
        return -1;
    SqlStatement s(&c, "select count(*) from SaleInfo");
    return s.Step() ? s.ColumnValue(0).toInt() : -1;
}

QString IntegrityOf(const QString& file)
{
    SqlConnection c;
    if (!c.Open(SqlConnection::MakeConnectionString(file)))
        return c.ErrorString();
    SqlStatement s(&c, "PRAGMA integrity_check");
    return s.Step() ? s.ColumnValue(0).toString() : s.ErrorString();
}

// Files in the data folder other than the database itself and the lock
// file every program shares.
QStringList DataFolderLeftovers(const TestEnv& env)
{
    QStringList names =
        QDir(QFileInfo(env.DatabaseFile()).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll("data.mdb");
    names.removeAll("data.mdb.lock");
    return names;
}

// A host that counts the hand-overs, around the real data module.
class CountingHost : public DataModuleHost
{
public:
    void Disconnect() override
    {
        ++disconnects;
        DataModuleHost::Disconnect();
    }
    bool Connect(QString* error) override
    {
        ++connects;
        return DataModuleHost::Connect(error);
    }
    int disconnects = 0;
    int connects = 0;
};

// --- the server -------------------------------------------------------------

// The rows of the sale records and the users, as one digest.
QString ServerRowsDigest(SqlConnection* connection = CurrentConnection())
{
    SqlStatement s(connection,
                   "select md5(coalesce((select string_agg(t::text, '|' order by id) from SaleInfo t), '')"
                   " || coalesce((select string_agg(u::text, '|' order by UserID) from AC_USERINFO u), ''))");
    return s.Step() ? s.ColumnValue(0).toString() : s.ErrorString();
}

// The rows of the change log and the last of them, as one text.
QString ChangeLogState()
{
    SqlStatement s(CurrentConnection(), "select count(*), max(LogID) from ChangeLog");
    return s.Step() ? s.ColumnValue(0).toString() + '/' + s.ColumnValue(1).toString() : s.ErrorString();
}

QStringList ScratchDatabases()
{
    // This program's own: suites running beside it restore too.
    SqlStatement s(CurrentConnection(), "select datname from pg_database where datname like ?");
    s.Bind({QString::fromLatin1(PgBackup::ScratchPrefix) +
            QString::number(QCoreApplication::applicationPid()) + "\\_%"});
    QStringList names;
    while (s.Step())
        names << s.ColumnValue(0).toString();
    return names;
}

// Files in the backup folder, hidden temporary ones included.
QStringList BackupFolderFiles()
{
    return QDir(BackupFolder::Path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A second database on the same server for the test's own use, dropped
// with this object.
struct OtherServerDatabase
{
    explicit OtherServerDatabase(const QString& suffix)
    {
        server = Settings::DatabaseServer();
        server.name = server.name + "_" + suffix;
        ok = CurrentConnection()->ExecRaw("CREATE DATABASE " + server.name);
    }
    ~OtherServerDatabase()
    {
        CurrentConnection()->ExecRaw("DROP DATABASE IF EXISTS " + server.name + " WITH (FORCE)");
    }
    PgServer server;
    bool ok = false;
};

bool DumpServerDatabase(const PgServer& server, const QString& file, QString* error)
{
    const QString pgDump = PgTools::Find("pg_dump", 0, error);
    return !pgDump.isEmpty() &&
           PgTools::Run(pgDump,
                        PgTools::ConnectionArguments(server) << "--format=custom"
                                                             << "--file=" + file << "--dbname=" + server.name,
                        5, error);
}

} // namespace

// Cases about the database file; the server has its own below.
#define SqliteOnly()                                                                                         \
    if (TestEnv::OnServer())                                                                                 \
    QSKIP("about the SQLite file; the server cases cover PostgreSQL")
#define ServerOnly()                                                                                         \
    if (!TestEnv::OnServer())                                                                                \
    QSKIP("about the PostgreSQL server; runs as tst_backupengine_postgresql")

class TestBackupEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void snapshotIgnoresOpenWriteTransaction();
    void copyOffTheMachine();
    void zipRoundTrip_data();
    void zipRoundTrip();
    void renamedAndLowerCaseArchivesRestore();
    void olderSchemaRestoresUpgraded();
    void refusedRestoreLeavesDatabase_data();
    void refusedRestoreLeavesDatabase();
    void failedRenameLeavesDatabase();
    void sameSecondBackupsGetDistinctNames();
    void compactShrinksAndSurvivesLeftover();
    void compactFailureLeavesDatabase();
    void automaticBackupOncePerDayAndPruned();
    void listAndSizeTexts();

    // The server engine.
    void serverBackupRestoreRoundTrip();
    void serverRefusesBadArchive_data();
    void serverRefusesBadArchive();
    void serverRestoreOfOlderSchemaIsUpgraded();
    void serverRestoreByDatabaseOwner();
    void serverFailedReplaceLeavesDatabase();
    void serverMissingOrOldTools();
    void serverCompaction();
    void serverAutomaticBackupsPruned();
    void serverRestoreGivesUpOnAHeldLock();
    void serverRestoreCancelled();
};

void TestBackupEngine::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
}

void TestBackupEngine::cleanup()
{
    PgTools::SetSearchFolders({});
}

void TestBackupEngine::snapshotIgnoresOpenWriteTransaction()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY2(env.IsValid(), qPrintable(env.Error()));
    AddSales(300);
    // Another connection is half way through a large write.
    SqlConnection writer;
    QVERIFY(writer.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
    QVERIFY(writer.ExecRaw("BEGIN IMMEDIATE"));
    QVERIFY(writer.ExecRaw("insert into SaleInfo (Name, Memo) select Name, Memo from SaleInfo"));
    QVERIFY(writer.ExecRaw("delete from SaleInfo where id % 3 = 0"));

    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString made = engine.Backup(false, 3);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    QVERIFY(made.endsWith(".zbk"));
    QCOMPARE(IntegrityOf(made), QString("ok"));
    QCOMPARE(FileSaleCount(made), 300);
    QVERIFY(writer.ExecRaw("COMMIT"));
    QCOMPARE(SaleCount(), 600 - 200);
}

void TestBackupEngine::zipRoundTrip_data()
{
    QTest::addColumn<int>("level");
    QTest::newRow("store") << 0;
    QTest::newRow("best") << 5;
}

void TestBackupEngine::zipRoundTrip()
{
    SqliteOnly();
    QFETCH(int, level);
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(500);
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QString made = engine.Backup(true, level, false, when);
    QCOMPARE(made, BackupFolder::Path() + "2024-03-05-14-07-09.Jbk");
    QCOMPARE(ArchiveEntries(made), QStringList{"2024-03-05-14-07-09.zbk"});
    // Store keeps the database's size, best packs the repetitive rows.
    const qint64 databaseSize = QFileInfo(env.DatabaseFile()).size();
    if (level == 0)
        QVERIFY(QFileInfo(made).size() > databaseSize);
    else
        QVERIFY(QFileInfo(made).size() < databaseSize / 4);
    QCOMPARE(QDir(BackupFolder::Path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(made).fileName()});
    // Not owner-only like the temporary file it was written as.
    QCOMPARE(QFileInfo(made).permissions(), QFileInfo(env.DatabaseFile()).permissions());

    const QString logged = ChangeLogState();
    QVERIFY(ExecCommand("delete from SaleInfo"));
    QVERIFY(ChangeLogState() != logged);
    CountingHost host;
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    // The connection stayed open through the restore and was opened anew
    // afterwards to re-read the data module's lookups.
    QCOMPARE(host.disconnects, 0);
    QCOMPARE(host.connects, 1);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(SaleCount(), 500);
    // The change log comes back as it was backed up, the deletions with it gone.
    QCOMPARE(ChangeLogState(), logged);
    QCOMPARE(ExecCommand("delete from SaleInfo where id=1"), true);
    QCOMPARE(ChangeLogState().section('/', 0, 0).toLongLong(), logged.section('/', 0, 0).toLongLong() + 1);
    QCOMPARE(QFileInfo(env.DatabaseFile()).permissions(), QFileInfo(engine.KeptFile()).permissions());
    // The database it replaced is kept beside the backups.
    QVERIFY(QFileInfo(engine.KeptFile()).fileName().startsWith("before-restore-"));
    QCOMPARE(IntegrityOf(engine.KeptFile()), QString("ok"));
    QCOMPARE(FileSaleCount(engine.KeptFile()), 0);
    QCOMPARE(DataFolderLeftovers(env), QStringList());
}

void TestBackupEngine::renamedAndLowerCaseArchivesRestore()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(20);
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString archive = engine.Backup(true, 3);
    const QString plain = engine.Backup(false, 3);
    QVERIFY(!archive.isEmpty() && !plain.isEmpty());
    // Renamed: the entry keeps its old stem; lower case: the kind is read
    // from the content, not from the extension.
    const QString renamed = BackupFolder::Path() + "month-end.jbk";
    QVERIFY(QFile::rename(archive, renamed));
    const QString plainRenamed = BackupFolder::Path() + "copy.JBK";
    QVERIFY(QFile::rename(plain, plainRenamed));

    // A 7z archive of an older installation, its entry inside a folder.
    const QString sevenZip = BackupFolder::Path() + "2019-05-01-08-00-00.Jbk";
    QTemporaryDir scratch;
    QVERIFY(BackupEngine::Snapshot(env.DatabaseFile(), scratch.path() + "/db", nullptr));
    QVERIFY(WriteArchive(sevenZip, {{"BackUp/2019-05-01-08-00-00.zbk", FileBytes(scratch.path() + "/db")}},
                         true));

    DataModuleHost host;
    for (const QString& file : {renamed, plainRenamed, sevenZip}) {
        QVERIFY(ExecCommand("delete from SaleInfo"));
        QVERIFY2(engine.Restore(file, host), qPrintable(file + ": " + engine.Error()));
        QCOMPARE(SaleCount(), 20);
    }
}

// A backup made by the first release (schema version 1, no quick-find index)
// restores, comes up at the current version, and its records can be found.
void TestBackupEngine::olderSchemaRestoresUpgraded()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    QTemporaryDir scratch;
    const QString old = scratch.path() + "/old.zbk";
    {
        SqlConnection c;
        QVERIFY(c.Create(old));
        QString error;
        QVERIFY2(Schema::Upgrade(c, &error, 1), qPrintable(error));
        QVERIFY(c.ExecRaw("insert into AC_FUNCTIONINFO (FunctionID, FunctionName, ParentFunctionID) values "
                          "('1','系统','-1')"));
        QVERIFY(
            c.ExecRaw("insert into SaleInfo (Name, addr, Phone) values ('旧客户', '天津', '022-87654321')"));
        QCOMPARE(Schema::Version(c), 1);
    }
    const QString archive = BackupFolder::Path() + "2020-01-01-08-00-00.Jbk";
    QVERIFY(QDir().mkpath(BackupFolder::Path()));
    QVERIFY(WriteZip(archive, {{"2020-01-01-08-00-00.zbk", FileBytes(old)}}));

    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    DataModuleHost host;
    QVERIFY2(engine.Restore(archive, host), qPrintable(engine.Error()));
    QCOMPARE(Schema::Version(DataM->ADOConn), Schema::CurrentVersion);
    QCOMPARE(SaleCount(), 1);
    SqlStatement find(CurrentConnection(), "select count(*) from SaleFind where SaleFind match ?");
    QVERIFY(find.Bind({QStringLiteral("\"87654\"")}));
    QVERIFY(find.Step());
    QCOMPARE(find.ColumnValue(0).toInt(), 1);
}

void TestBackupEngine::refusedRestoreLeavesDatabase_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("damaged zip") << "damaged"
                                 << "已损坏";
    QTest::newRow("entry ../x.zbk") << "parent"
                                    << "不安全的路径";
    QTest::newRow("absolute entry") << "absolute"
                                    << "不安全的路径";
    QTest::newRow("two entries") << "two"
                                 << "不止一个文件";
    QTest::newRow("empty file") << "empty"
                                << "没有数据库";
    QTest::newRow("text entry") << "text"
                                << "不是数据库文件";
    QTest::newRow("foreign database") << "foreign"
                                      << "不是本程序的数据库";
    QTest::newRow("newer schema") << "newer"
                                  << "更新版本";
    QTest::newRow("corrupt database") << "corrupt"
                                      << "完整性检查未通过";
    QTest::newRow("server archive") << "server"
                                    << "数据库服务器（PostgreSQL）的备份";
    const QString foreign = QStringLiteral("备份文件中含有本程序以外的数据库对象，不能还原。");
    QTest::newRow("trigger of others") << "trigger" << foreign;
    QTest::newRow("view of others") << "view" << foreign;
    QTest::newRow("table of others") << "table" << foreign;
    // Formats the restore does not read: a tar, and an mtree listing that
    // would make the reader open a file named in it.
    QTest::newRow("tar archive") << "tar"
                                 << "无法识别备份文件";
    QTest::newRow("mtree archive") << "mtree"
                                   << "无法识别备份文件";
}

void TestBackupEngine::refusedRestoreLeavesDatabase()
{
    SqliteOnly();
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(200);
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString good = engine.Backup(true, 3);
    QVERIFY(!good.isEmpty());
    QTemporaryDir scratch;
    const QString snapshot = scratch.path() + "/db.zbk";
    QVERIFY(BackupEngine::Snapshot(env.DatabaseFile(), snapshot, nullptr));
    const QByteArray database = FileBytes(snapshot);

    const QString bad = BackupFolder::Path() + "bad.Jbk";
    if (kind == "damaged") {
        QByteArray bytes = FileBytes(good);
        for (int i = bytes.size() / 3; i < bytes.size() / 3 + 64; ++i)
            bytes[i] = char(bytes[i] ^ 0x5a);
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    } else if (kind == "parent") {
        QVERIFY(WriteZip(bad, {{"../x.zbk", database}}));
    } else if (kind == "absolute") {
        QVERIFY(WriteZip(bad, {{"/tmp/x.zbk", database}}));
    } else if (kind == "two") {
        QVERIFY(WriteZip(bad, {{"a.zbk", database}, {"b.zbk", database}}));
    } else if (kind == "tar") {
        QVERIFY(WriteArchiveFormat(bad, {{"x.zbk", database}}, ARCHIVE_FORMAT_TAR_PAX_RESTRICTED));
    } else if (kind == "mtree") {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#mtree\n./x.zbk type=file contents=" + QFile::encodeName(snapshot) + "\n");
    } else if (kind == "empty") {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == "text") {
        QVERIFY(WriteZip(bad, {{"x.zbk", QByteArray("这不是数据库\r\n").repeated(100)}}));
    } else if (kind == "server") {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("PGDMP\x01\x0e\x00", 8) + database.left(4096));
    } else if (kind == "trigger" || kind == "view" || kind == "table") {
        // Our database with one object more: a trigger that would empty the
        // records at the next usage-log row, a view, a table.
        const QString file = scratch.path() + "/other.db";
        QVERIFY(QFile::copy(snapshot, file));
        SqlConnection c;
        QVERIFY(c.Open(SqlConnection::MakeConnectionString(file)));
        QVERIFY(c.ExecRaw(kind == "trigger"
                              ? "create trigger Wipe after insert on UseLog begin delete from SaleInfo; end"
                          : kind == "view" ? "create view Wipe as select * from AC_USERINFO"
                                           : "create table Wipe (x)"));
        c.Close();
        QVERIFY(WriteZip(bad, {{"x.zbk", FileBytes(file)}}));
    } else if (kind == "foreign" || kind == "newer" || kind == "corrupt") {
        const QString file = scratch.path() + "/other.db";
        if (kind == "foreign") {
            SqlConnection c;
            QVERIFY(c.Create(file));
            QVERIFY(c.ExecRaw("create table t (x); PRAGMA user_version = 1"));
        } else {
            QVERIFY(QFile::copy(snapshot, file));
            SqlConnection c;
            QVERIFY(c.Open(SqlConnection::MakeConnectionString(file)));
            if (kind == "newer") {
                QVERIFY(c.ExecRaw(QString("PRAGMA user_version = %1").arg(Schema::CurrentVersion + 1)));
            } else {
                // Damage a page of the sale table's index behind SQLite's back.
                QVERIFY(c.ExecRaw("PRAGMA writable_schema = ON"));
                SqlStatement s(&c, "select rootpage from sqlite_master where name='SaleInfo_BuyDate'");
                QVERIFY(s.Step());
                const int page = s.ColumnValue(0).toInt();
                c.Close();
                QFile f(file);
                QVERIFY(f.open(QIODevice::ReadWrite));
                QVERIFY(f.seek(qint64(page - 1) * 4096 + 8));
                f.write(QByteArray(200, '\x7f'));
            }
        }
        QVERIFY(WriteZip(bad, {{"x.zbk", FileBytes(file)}}));
    }

    const QByteArray before = FileHash(env.DatabaseFile());
    CountingHost host;
    QVERIFY(!engine.Restore(bad, host));
    QVERIFY2(engine.Error().contains(reason), qPrintable(engine.Error()));
    if (kind == "trigger" || kind == "view" || kind == "table") {
        // The message as it is; the names are in the command log.
        QCOMPARE(engine.Error(), reason);
        const QString kindName = kind == "trigger" ? QStringLiteral("触发器")
                                 : kind == "view"  ? QStringLiteral("视图")
                                                   : QStringLiteral("表");
        QVERIFY(env.CommandLogLines().last().endsWith(
            QStringLiteral("备份文件中含有本程序以外的数据库对象：Wipe（%1）").arg(kindName)));
    }
    // Refused before anything was closed or replaced.
    QCOMPARE(host.disconnects, 0);
    QCOMPARE(FileHash(env.DatabaseFile()), before);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(SaleCount(), 200);
    QCOMPARE(DataFolderLeftovers(env), QStringList());
    QVERIFY(QDir(BackupFolder::Path()).entryList({"before-restore-*"}).isEmpty());
}

void TestBackupEngine::failedRenameLeavesDatabase()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(50);
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString made = engine.Backup(true, 1);
    QVERIFY(!made.isEmpty());
    QVERIFY(ExecCommand("delete from SaleInfo where id > 10"));
    const QByteArray before = FileHash(env.DatabaseFile());

    // The process "dies" where the restored file would be moved into place.
    engine.SetReplaceFunction([](const QString&, const QString&, QString* error) {
        *error = "simulated crash";
        return false;
    });
    CountingHost host;
    QVERIFY(!engine.Restore(made, host));
    QVERIFY(engine.Error().contains("simulated crash"));
    QCOMPARE(host.disconnects, 0);
    QCOMPARE(host.connects, 0);
    QCOMPARE(FileHash(env.DatabaseFile()), before);
    QCOMPARE(IntegrityOf(env.DatabaseFile()), QString("ok"));
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(SaleCount(), 10);
    QCOMPARE(DataFolderLeftovers(env), QStringList());
    QVERIFY(QDir(BackupFolder::Path()).entryList({"before-restore-*"}).isEmpty());
}

void TestBackupEngine::sameSecondBackupsGetDistinctNames()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    // A missing backup folder is made.
    QVERIFY(!QFileInfo::exists(BackupFolder::Path()));
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QString first = engine.Backup(true, 3, false, when);
    const QString second = engine.Backup(false, 3, false, when);
    const QString third = engine.Backup(true, 3, false, when);
    const QString automatic = engine.Backup(true, 3, true, when);
    const QString dir = BackupFolder::Path();
    QCOMPARE(first, dir + "2024-03-05-14-07-09.Jbk");
    QCOMPARE(second, dir + "2024-03-05-14-07-09-2.zbk");
    QCOMPARE(third, dir + "2024-03-05-14-07-09-3.Jbk");
    QCOMPARE(automatic, dir + "2024-03-05-14-07-09-auto.Jbk");
    QCOMPARE(ArchiveEntries(third), QStringList{"2024-03-05-14-07-09-3.zbk"});
    QVERIFY(FileHash(first) != FileHash(third)); // different entry names: nothing overwritten
}

void TestBackupEngine::compactShrinksAndSurvivesLeftover()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(3000);
    QVERIFY(ExecCommand("delete from SaleInfo where id > 100"));
    // The deleted records live on in the change log until it is cleared.
    QVERIFY(ExecCommand("delete from ChangeLog"));
    const qint64 before = QFileInfo(env.DatabaseFile()).size();
    const QString leftover = QFileInfo(env.DatabaseFile()).absolutePath() + "/_afs.da";
    {
        QFile f(leftover);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("left from an interrupted run");
    }
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    CountingHost host;
    QVERIFY2(engine.Compact(host), qPrintable(engine.Error()));
    QVERIFY(QFileInfo(env.DatabaseFile()).size() < before / 4);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(SaleCount(), 100);
    QCOMPARE(IntegrityOf(env.DatabaseFile()), QString("ok"));
    QCOMPARE(DataFolderLeftovers(env), QStringList());
}

void TestBackupEngine::compactFailureLeavesDatabase()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(10);
    const QByteArray before = FileHash(env.DatabaseFile());
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    engine.SetCompactFunction([](const QString&, QString* error) {
        *error = "disk full";
        return false;
    });
    CountingHost host;
    QVERIFY(!engine.Compact(host));
    QVERIFY(engine.Error().contains("disk full"));
    // Never closed, so nothing to open again.
    QCOMPARE(host.connects, 0);
    QCOMPARE(FileHash(env.DatabaseFile()), before);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(SaleCount(), 10);
    QCOMPARE(DataFolderLeftovers(env), QStringList());
}

void TestBackupEngine::automaticBackupOncePerDayAndPruned()
{
    SqliteOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    const QString dir = BackupFolder::Path();
    // Switched off (the default): nothing starts.
    QCOMPARE(AutoBackup::StartIfDue(this), nullptr);

    // Five earlier days of automatic backups and one manual backup.
    AutoBackup::Job job;
    job.databaseFile = env.DatabaseFile();
    job.backupDir = dir;
    job.keep = 3;
    BackupEngine engine(env.DatabaseFile(), dir);
    QVERIFY(!engine.Backup(false, 3, false, QDateTime(QDate(2020, 1, 1), QTime(8, 0))).isEmpty());
    for (int day = 1; day <= 5; ++day) {
        job.when = QDateTime(QDate(2024, 1, day), QTime(9, 0));
        QString error;
        QVERIFY2(!AutoBackup::Run(job, &error).isEmpty(), qPrintable(error));
    }
    QStringList names = QDir(dir).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names, (QStringList{"2020-01-01-08-00-00.zbk", "2024-01-03-09-00-00-auto.Jbk",
                                 "2024-01-04-09-00-00-auto.Jbk", "2024-01-05-09-00-00-auto.Jbk"}));

    QVERIFY(Settings::SetBackUpAuto(1));
    QVERIFY(Settings::SetBackUpKeep(2));
    QVERIFY(Settings::SetBackUpCompressed(0));
    AutoBackup* started = AutoBackup::StartIfDue(this);
    QVERIFY(started);
    QSignalSpy finished(started, &AutoBackup::Finished);
    QVERIFY(finished.wait(20000));
    const QString made = finished.first().at(0).toString();
    QVERIFY2(!made.isEmpty(), qPrintable(finished.first().at(1).toString()));
    QVERIFY(QFileInfo(made).fileName().startsWith(QDate::currentDate().toString("yyyy-MM-dd")));
    QVERIFY(made.endsWith("-auto.zbk"));
    QCOMPARE(IntegrityOf(made), QString("ok"));
    names = QDir(dir).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names, (QStringList{"2020-01-01-08-00-00.zbk", "2024-01-05-09-00-00-auto.Jbk",
                                 QFileInfo(made).fileName()}));
    QVERIFY(env.CommandLogLines().last().contains(QFileInfo(made).fileName()));
    // Once a day.
    QCOMPARE(AutoBackup::StartIfDue(this), nullptr);
}

void TestBackupEngine::listAndSizeTexts()
{
    QCOMPARE(BackupFolder::SizeText(0), QString("0 KB"));
    QCOMPARE(BackupFolder::SizeText(1023), QString("0 KB"));
    QCOMPARE(BackupFolder::SizeText(1048575), QString("1023 KB"));
    QCOMPARE(BackupFolder::SizeText(1048576), QString("1.00 MB"));
    QCOMPARE(BackupFolder::SizeText(5 * 1048576 + 524288), QString("5.50 MB"));
    QCOMPARE(BackupFolder::DateText(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))),
             QString("2024-03-05,14:07:09"));

    QTemporaryDir dir;
    const QString path = dir.path() + "/";
    for (const char* name : {"b.zbk", "a.Zbk", "c.JBK", "d.Jbk", "notes.txt", ".pack-1234"})
        QVERIFY(QFile(path + name).open(QIODevice::WriteOnly));
    QStringList listed;
    for (const BackupFolder::Entry& e : BackupFolder::List(path))
        listed << e.fileName + (e.kind == BackupFolder::Kind::Archive ? "=A" : "=P");
    QCOMPARE(listed, (QStringList{"c.JBK=A", "d.Jbk=A", "a.Zbk=P", "b.zbk=P"}));
}

void TestBackupEngine::serverBackupRestoreRoundTrip()
{
    ServerOnly();
    TestEnv env(true);
    QVERIFY2(env.IsValid(), qPrintable(env.Error()));
    AddSales(300);
    const QString saved = ServerRowsDigest();
    const QString logged = ChangeLogState();
    const int savedCount = SaleCount();
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QString made = engine.Backup(true, 5, false, when);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    QCOMPARE(made, BackupFolder::Path() + "2024-03-05-14-07-09.pgdump");
    QVERIFY(PgBackup::IsServerArchive(made));
    const qint64 packed = QFileInfo(made).size();
    // Same second, stored: the next name, and the repetitive rows take more room.
    const QString stored = engine.Backup(false, 5, false, when);
    QCOMPARE(stored, BackupFolder::Path() + "2024-03-05-14-07-09-2.pgdump");
    QVERIFY(QFileInfo(stored).size() > packed * 2);
    QCOMPARE(BackupFolderFiles(),
             (QStringList{"2024-03-05-14-07-09-2.pgdump", "2024-03-05-14-07-09.pgdump"}));

    // Changed since: records gone, one edited, one added, a user removed.
    QVERIFY(ExecCommand("delete from RepairInfo where SaleID % 3 = 0"));
    QVERIFY(ExecCommand("delete from SaleInfo where id % 3 = 0"));
    QVERIFY(ExecCommand("update SaleInfo set Name = ? where id = 1", {QStringLiteral("王五")}));
    QVERIFY(ExecCommand("insert into SaleInfo (Name) values (?)", {QStringLiteral("新客户")}));
    QVERIFY(ExecCommand("delete from AC_USERINFO where UserID <> 'ADMIN'"));
    const QString changed = ServerRowsDigest();
    QVERIFY(changed != saved);

    // Another desk stays connected through the restore.
    SqlConnection otherDesk;
    QVERIFY(env.OpenSecondConnection(otherDesk));
    CountingHost host;
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    QCOMPARE(host.disconnects, 1);
    QCOMPARE(host.connects, 1);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(ServerRowsDigest(), saved);
    QCOMPARE(ServerRowsDigest(&otherDesk), saved);
    QCOMPARE(ChangeLogState(), logged);
    QCOMPARE(Schema::Version(DataM->ADOConn), Schema::CurrentVersion);
    // The key counter goes on after the restored records.
    QVERIFY(ExecCommand("insert into SaleInfo (Name) values ('赵六')"));
    QCOMPARE(SaleCount(), savedCount + 1);
    // The restored triggers log on.
    QCOMPARE(ChangeLogState().section('/', 0, 0).toLongLong(), logged.section('/', 0, 0).toLongLong() + 1);
    // The index of the quick-find text's pairs came back with its function
    // and finds what the pattern finds.
    {
        // Not a whole-table read where an index serves, whatever the table's size.
        QVERIFY(CurrentConnection()->ExecRaw("SET enable_seqscan = off"));
        const auto reset = qScopeGuard([] { CurrentConnection()->ExecRaw("RESET enable_seqscan"); });
        SqlStatement pairs(CurrentConnection(), "explain select count(*) from SaleInfo where " +
                                                    SqlDialect::SaleFindPairCondition(CurrentConnection()));
        QString plan;
        QVERIFY(pairs.Bind({QStringLiteral("海淀"), QStringLiteral("海淀"), QStringLiteral("%海淀%")}));
        while (pairs.Step())
            plan += pairs.ColumnValue(0).toString() + '\n';
        QVERIFY2(plan.contains("saleinfo_findpairs"), qPrintable(plan));
        for (const QString& fragment :
             {QStringLiteral("海淀"), QStringLiteral("赵六"), QStringLiteral("XX")}) {
            SqlStatement found(CurrentConnection(),
                               "select (select count(*) from SaleInfo where " +
                                   SqlDialect::SaleFindPairCondition(CurrentConnection()) +
                                   "), (select count(*) from SaleInfo where " +
                                   SqlDialect::SaleFindCondition(CurrentConnection()) + ")");
            const QString pattern = SqlDialect::ContainsPattern(fragment);
            QVERIFY(found.Bind({fragment, fragment, pattern, pattern}) && found.Step());
            QCOMPARE(found.ColumnValue(0).toLongLong(), found.ColumnValue(1).toLongLong());
            QVERIFY(fragment == "XX" || found.ColumnValue(0).toLongLong() > 0);
        }
    }
    // The replaced database is kept beside the backups, and restores too.
    QVERIFY(QFileInfo(engine.KeptFile()).fileName().startsWith("before-restore-"));
    QVERIFY(engine.KeptFile().endsWith(".pgdump"));
    QCOMPARE(ScratchDatabases(), QStringList());
    QCOMPARE(BackupFolderFiles().size(), 3);
    QVERIFY2(engine.Restore(engine.KeptFile(), host), qPrintable(engine.Error()));
    QCOMPARE(ServerRowsDigest(), changed);
}

void TestBackupEngine::serverRefusesBadArchive_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("truncated dump") << "truncated"
                                    << "pg_restore";
    QTest::newRow("text file") << "text"
                               << "不是数据库服务器的备份文件";
    QTest::newRow("SQLite archive") << "sqlite"
                                    << "单机数据库（SQLite）的备份";
    QTest::newRow("foreign database") << "foreign"
                                      << "不是本程序的数据库";
    QTest::newRow("newer schema") << "newer"
                                  << "更新版本";
}

void TestBackupEngine::serverRefusesBadArchive()
{
    ServerOnly();
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(200);
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    const QString good = engine.Backup(false, 3);
    QVERIFY2(!good.isEmpty(), qPrintable(engine.Error()));
    const QString bad = BackupFolder::Path() + "bad.pgdump";
    QString error;
    if (kind == "truncated") {
        const QByteArray bytes = FileBytes(good);
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes.left(bytes.size() * 2 / 3));
    } else if (kind == "text") {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("这不是备份\r\n").repeated(100));
    } else if (kind == "sqlite") {
        QVERIFY(WriteZip(bad, {{"x.zbk", QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0')}}));
    } else if (kind == "foreign") {
        OtherServerDatabase other("foreign");
        QVERIFY(other.ok);
        SqlConnection c;
        QVERIFY(c.OpenServer(other.server));
        QVERIFY(c.ExecRaw("create table t (x integer); insert into t values (1)"));
        c.Close();
        QVERIFY2(DumpServerDatabase(other.server, bad, &error), qPrintable(error));
    } else if (kind == "newer") {
        QVERIFY(SqlDialect::SetSchemaVersion(DataM->ADOConn, Schema::CurrentVersion + 1));
        QVERIFY2(DumpServerDatabase(Settings::DatabaseServer(), bad, &error), qPrintable(error));
        QVERIFY(SqlDialect::SetSchemaVersion(DataM->ADOConn, Schema::CurrentVersion));
    }
    QVERIFY(ExecCommand("update SaleInfo set Name = '改过' where id = 7"));
    const QString before = ServerRowsDigest();
    const QStringList files = BackupFolderFiles();

    CountingHost host;
    QVERIFY(!engine.Restore(bad, host));
    QVERIFY2(engine.Error().contains(reason), qPrintable(engine.Error()));
    // Refused before the database was touched or the connection closed, and
    // nothing left behind: no scratch database, no kept copy, no temporary file.
    QCOMPARE(host.disconnects, 0);
    QCOMPARE(ServerRowsDigest(), before);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(ScratchDatabases(), QStringList());
    QCOMPARE(BackupFolderFiles(), files);
}

// A backup of the first release's schema on the server comes back at the
// current version, its records intact.
void TestBackupEngine::serverRestoreOfOlderSchemaIsUpgraded()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    OtherServerDatabase old("old");
    QVERIFY(old.ok);
    {
        SqlConnection c;
        QVERIFY(c.OpenServer(old.server));
        QString error;
        QVERIFY2(Schema::Upgrade(c, &error, 1), qPrintable(error));
        QVERIFY(
            c.ExecRaw("insert into SaleInfo (Name, addr, Phone) values ('旧客户', '天津', '022-87654321')"));
        QCOMPARE(Schema::Version(c), 1);
    }
    const QString archive = BackupFolder::Path() + "2020-01-01-08-00-00.pgdump";
    QVERIFY(QDir().mkpath(BackupFolder::Path()));
    QString error;
    QVERIFY2(DumpServerDatabase(old.server, archive, &error), qPrintable(error));

    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    DataModuleHost host;
    QVERIFY2(engine.Restore(archive, host), qPrintable(engine.Error()));
    QCOMPARE(Schema::Version(DataM->ADOConn), Schema::CurrentVersion);
    QCOMPARE(SaleCount(), 1);
    QCOMPARE(ScratchDatabases(), QStringList());
}

// A shop's database belongs to its own user, who may create databases, while
// the extensions belong to the server's administrator: backup and restore
// work with the rights of that user alone.
void TestBackupEngine::serverRestoreByDatabaseOwner()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    PgServer shop = Settings::DatabaseServer();
    const QString role = shop.name + "_owner";
    shop.name += "_shop";
    shop.user = role;
    SqlConnection& admin = DataM->ADOConn;
    struct Cleanup
    {
        SqlConnection& admin;
        QString database, role;
        ~Cleanup()
        {
            admin.ExecRaw("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
            admin.ExecRaw("DROP ROLE IF EXISTS " + role);
        }
    } cleanup{admin, shop.name, role};
    QVERIFY(admin.ExecRaw("CREATE ROLE " + role + " LOGIN CREATEDB"));
    QVERIFY(admin.ExecRaw("CREATE DATABASE " + shop.name + " OWNER " + role));
    {
        PgServer asAdministrator = Settings::DatabaseServer();
        asAdministrator.name = shop.name;
        SqlConnection c;
        QVERIFY(c.OpenServer(asAdministrator));
        QVERIFY(c.ExecRaw("CREATE EXTENSION citext; CREATE EXTENSION pg_trgm"));
    }
    SqlConnection desk;
    QVERIFY(desk.OpenServer(shop));
    QString error;
    QVERIFY2(Schema::Upgrade(desk, &error), qPrintable(error));
    QVERIFY(desk.ExecRaw("insert into SaleInfo (Name, Phone) values ('周七', '13800000000')"));

    struct NoHost : ConnectionHost
    {
        void Disconnect() override {}
        bool Connect(QString*) override { return true; }
    } host;
    PgBackup engine(shop, BackupFolder::Path());
    const QString made = engine.Backup(true, 3);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    QVERIFY(desk.ExecRaw("delete from SaleInfo"));
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    SqlStatement count(&desk, "select count(*) from SaleInfo where Phone = '13800000000'");
    QVERIFY(count.Step());
    QCOMPARE(count.ColumnValue(0).toInt(), 1);
    QCOMPARE(ScratchDatabases(), QStringList());
}

// The verified archive cannot replace the tables (here a view of the shop's
// own depends on one of them): the transaction is rolled back, the records
// stay as they were, the connection comes back and no kept copy remains.
void TestBackupEngine::serverFailedReplaceLeavesDatabase()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(50);
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    const QString made = engine.Backup(true, 1);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    QVERIFY(ExecCommand("delete from SaleInfo where id > 10"));
    QVERIFY(DataM->ADOConn.ExecRaw("create view MonthlySales as select count(*) as n from SaleInfo"));
    const QString before = ServerRowsDigest();
    const QStringList files = BackupFolderFiles();

    CountingHost host;
    QVERIFY(!engine.Restore(made, host));
    QVERIFY2(engine.Error().contains("monthlysales"), qPrintable(engine.Error()));
    QCOMPARE(host.disconnects, 1);
    QCOMPARE(host.connects, 1);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(ServerRowsDigest(), before);
    QCOMPARE(SaleCount(), 10);
    QCOMPARE(ScratchDatabases(), QStringList());
    QCOMPARE(BackupFolderFiles(), files);
}

void TestBackupEngine::serverMissingOrOldTools()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    QTemporaryDir tools;
    PgTools::SetSearchFolders({tools.path()});
    const QString missing = PgBackup::MissingTools(Settings::DatabaseServer());
    QVERIFY2(missing.contains("pg_dump") &&
                 missing.contains(QRegularExpression("postgresql-client-\\d+ 软件包")),
             qPrintable(missing));
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    QVERIFY(engine.Backup(true, 3).isEmpty());
    QCOMPARE(engine.Error(), missing);
    QCOMPARE(BackupFolderFiles(), QStringList());

    // A client older than the server cannot dump it: named as too old.
    for (const char* tool : {"pg_dump", "pg_restore"}) {
        QFile script(tools.path() + "/" + tool);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QByteArray("#!/bin/sh\necho '") + tool + " (PostgreSQL) 9.6.24'\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    }
    const QString old = PgBackup::MissingTools(Settings::DatabaseServer());
    QVERIFY2(old.contains("版本为 9") && old.contains("旧"), qPrintable(old));
    QVERIFY(engine.Backup(true, 3).isEmpty());
    QCOMPARE(BackupFolderFiles(), QStringList());

    PgTools::SetSearchFolders({});
    QCOMPARE(PgBackup::MissingTools(Settings::DatabaseServer()), QString());
}

void TestBackupEngine::serverCompaction()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(3000);
    QVERIFY(ExecCommand("delete from SaleInfo where id > 100"));
    const QString rows = ServerRowsDigest();
    // The table is written anew (a new file on the server) without the
    // deleted rows.  How much smaller it gets is not asserted: rows deleted
    // while another program (a suite running beside this one) still holds
    // an older view of the server are kept until that view ends.
    auto value = [](const char* sql) {
        SqlStatement s(CurrentConnection(), sql);
        return s.Step() ? s.ColumnValue(0).toLongLong() : -1;
    };
    const qint64 file = value("select pg_relation_filenode('saleinfo')");
    const qint64 before = value("select pg_relation_size('saleinfo')");
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    QVERIFY2(engine.Compact(), qPrintable(engine.Error()));
    QVERIFY(value("select pg_relation_filenode('saleinfo')") != file);
    QVERIFY(value("select pg_relation_size('saleinfo')") <= before);
    QCOMPARE(ServerRowsDigest(), rows);
}

void TestBackupEngine::serverAutomaticBackupsPruned()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    const QString dir = BackupFolder::Path();
    AutoBackup::Job job;
    job.onServer = true;
    job.server = Settings::DatabaseServer();
    job.backupDir = dir;
    job.keep = 2;
    PgBackup engine(job.server, dir);
    QVERIFY(!engine.Backup(false, 3, false, QDateTime(QDate(2020, 1, 1), QTime(8, 0))).isEmpty());
    for (int day = 1; day <= 3; ++day) {
        job.when = QDateTime(QDate(2024, 1, day), QTime(9, 0));
        QString error;
        QVERIFY2(!AutoBackup::Run(job, &error).isEmpty(), qPrintable(error));
    }
    QCOMPARE(QDir(dir).entryList(QDir::Files, QDir::Name),
             (QStringList{"2020-01-01-08-00-00.pgdump", "2024-01-02-09-00-00-auto.pgdump",
                          "2024-01-03-09-00-00-auto.pgdump"}));

    QVERIFY(Settings::SetBackUpAuto(1));
    QVERIFY(Settings::SetBackUpKeep(2));
    AutoBackup* started = AutoBackup::StartIfDue(this);
    QVERIFY(started);
    QSignalSpy finished(started, &AutoBackup::Finished);
    QVERIFY(finished.wait(60000));
    const QString made = finished.first().at(0).toString();
    QVERIFY2(made.endsWith("-auto.pgdump"), qPrintable(finished.first().at(1).toString()));
    QVERIFY(PgBackup::IsServerArchive(made));
    QCOMPARE(QDir(dir).entryList(QDir::Files, QDir::Name).size(), 3);
    QCOMPARE(AutoBackup::StartIfDue(this), nullptr);
}

// Another desk in the middle of a transaction on the sale table: the
// restore cannot drop the table, gives up after the lock timeout and leaves
// the database as it was.
void TestBackupEngine::serverRestoreGivesUpOnAHeldLock()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(5);
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    const QString made = engine.Backup(true, 3);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    AddSales(3, QStringLiteral("后来的"));
    const QString before = ServerRowsDigest();

    SqlConnection otherDesk;
    QVERIFY(env.OpenSecondConnection(otherDesk));
    QVERIFY(otherDesk.ExecRaw("BEGIN"));
    QVERIFY(otherDesk.ExecRaw("LOCK TABLE SaleInfo IN ACCESS SHARE MODE"));
    PgTools::SetLockTimeout(1500);
    const auto resetTimeout = qScopeGuard([] { PgTools::SetLockTimeout(30000); });
    CountingHost host;
    QVERIFY(!engine.Restore(made, host));
    QVERIFY2(engine.Error().contains("其他电脑正在使用数据库"), qPrintable(engine.Error()));
    QVERIFY(otherDesk.ExecRaw("ROLLBACK"));
    // Given up before the program's own connection was closed.
    QCOMPARE(host.connects, 0);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(ServerRowsDigest(), before);
    QCOMPARE(SaleCount(), 8);
    QVERIFY(ScratchDatabases().isEmpty());
    QVERIFY(QDir(BackupFolder::Path()).entryList({"before-restore-*"}).isEmpty());
}

// 取消 while the restore waits for another desk's lock: the tool is
// stopped and nothing changes.
void TestBackupEngine::serverRestoreCancelled()
{
    ServerOnly();
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(5);
    PgBackup engine(Settings::DatabaseServer(), BackupFolder::Path());
    const QString made = engine.Backup(true, 3);
    QVERIFY(!made.isEmpty());
    AddSales(3, QStringLiteral("后来的"));
    const QString before = ServerRowsDigest();
    SqlConnection otherDesk;
    QVERIFY(env.OpenSecondConnection(otherDesk));
    QVERIFY(otherDesk.ExecRaw("BEGIN"));
    QVERIFY(otherDesk.ExecRaw("LOCK TABLE SaleInfo IN ACCESS SHARE MODE"));

    // The worker of the dialog, its wait window's 取消 pressed meanwhile.
    class Idle : public ConnectionHost
    {
    public:
        void Disconnect() override {}
        bool Connect(QString*) override { return true; }
    } host;
    PgTools::ResetCancel();
    bool restored = true;
    QString error;
    QThread* worker = QThread::create([&] {
        PgBackup threadEngine(Settings::DatabaseServer(), BackupFolder::Path());
        restored = threadEngine.Restore(made, host);
        error = threadEngine.Error();
    });
    worker->start();
    // Long enough to be waiting for the lock (the scratch checks come first).
    QTest::qWait(4000);
    PgTools::Cancel();
    QVERIFY(worker->wait(30000));
    delete worker;
    PgTools::ResetCancel();
    QVERIFY(otherDesk.ExecRaw("ROLLBACK"));
    QVERIFY(!restored);
    QVERIFY2(error.contains(PgTools::CancelledText()), qPrintable(error));
    QCOMPARE(ServerRowsDigest(), before);
    QVERIFY(ScratchDatabases().isEmpty());
}

// 另存到: the copy arrives byte for byte under the backup's name (the next
// free name when it is taken); a folder that cannot be written or is not
// there is named in the error and nothing is left behind.
void TestBackupEngine::copyOffTheMachine()
{
    SqliteOnly();
    QTemporaryDir from, stick;
    const QString backup = from.filePath("2026-12-01-09-00-00.zip");
    QFile file(backup);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray bytes(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 3);
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    file.close();

    QString error;
    const QString first = BackupCopy::CopyTo(backup, stick.path(), &error);
    QVERIFY2(first == stick.filePath("2026-12-01-09-00-00.zip"), qPrintable(first + error));
    QCOMPARE(BackupCopy::Sha256(first), BackupCopy::Sha256(backup));
    QVERIFY(!BackupCopy::Sha256(backup).isEmpty());
    const QString second = BackupCopy::CopyTo(backup, stick.path(), &error);
    QCOMPARE(second, stick.filePath("2026-12-01-09-00-00-2.zip"));
    QCOMPARE(QFileInfo(first).size(), qint64(bytes.size()));

    // /proc takes no new files, not even from root.
    QVERIFY(BackupCopy::CopyTo(backup, "/proc", &error).isEmpty());
    QVERIFY2(error.contains(QStringLiteral("无法在文件夹")), qPrintable(error));
    QVERIFY(BackupCopy::CopyTo(backup, stick.filePath("not-plugged-in"), &error).isEmpty());
    QVERIFY2(error.contains(QStringLiteral("文件夹不存在")), qPrintable(error));
    QVERIFY(BackupCopy::CopyTo(from.filePath("gone.zip"), stick.path(), &error).isEmpty());
    QVERIFY2(error.contains(QStringLiteral("备份文件不存在")), qPrintable(error));
    QCOMPARE(QDir(stick.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

QTEST_GUILESS_MAIN(TestBackupEngine)
#include "tst_backupengine.moc"
