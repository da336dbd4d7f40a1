// Restore and compaction beside other users of the same database file:
// another connection saving meanwhile, another program holding the
// database (a child process of this test), archives too large for the
// disk, and the temporary files of interrupted runs.
#include "ArchiveFixture.h"
#include "BackupEngine.h"
#include "BackupFolder.h"
#include "DataAccess.h"
#include "DataModuleHost.h"
#include "DatabaseLock.h"
#include "Leftovers.h"
#include "TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* HoldVariable = "WEIBAO_TEST_HOLD_DATABASE";

// The child process: a program that has the database open, until its
// standard input closes (or it is killed).
int HoldDatabase(const QString& file)
{
    QString error;
    if (!DatabaseLock::HoldShared(file, &error, 0)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    SqlConnection connection;
    if (!connection.Open(SqlConnection::MakeConnectionString(file)))
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

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

// A host for a database the program's data module does not use.
class IdleHost : public ConnectionHost
{
public:
    void Disconnect() override {}
    bool Connect(QString*) override { return true; }
};

void AddSales(int count, const QString& name)
{
    SqlTransaction transaction(CurrentConnection());
    for (int i = 0; i < count; ++i)
        QVERIFY(ExecCommand("insert into SaleInfo (Name, Memo) values (?, ?)", {name, QString(300, QChar('m'))}));
    QVERIFY(transaction.Commit());
}

int CountNamed(SqlConnection* connection, const QString& name)
{
    SqlStatement s(connection, "select count(*) from SaleInfo where Name=?");
    return s.Bind({name}) && s.Step() ? s.ColumnValue(0).toInt() : -1;
}

// The names saved by a second connection on a thread of its own, as the
// other desk window would: each save either reports success or failure.
class SecondDesk
{
public:
    explicit SecondDesk(const QString& file) : m_file(file) {}
    ~SecondDesk() { Stop(); }

    void Start()
    {
        m_thread = std::thread([this] {
            SqlConnection connection;
            if (!connection.Open(SqlConnection::MakeConnectionString(m_file))) {
                m_errors << connection.ErrorString();
                return;
            }
            for (int n = 0; !m_stop; ++n) {
                // Whether the restore or compaction had finished before this save began.
                const bool after = m_mark;
                const QString name = QStringLiteral("第二台-%1").arg(n);
                SqlStatement insert(&connection, "insert into SaleInfo (Name) values (?)");
                if (insert.Exec({name}))
                    (after ? m_savedAfter : m_savedBefore) << name;
                else
                    m_errors << insert.ErrorString();
                QThread::usleep(500);
            }
            // Finally it reads what the database now holds, through the same connection.
            SqlStatement count(&connection, "select count(*) from SaleInfo where Name=?");
            m_seenOriginal = count.Bind({QStringLiteral("备份时")}) && count.Step() ? count.ColumnValue(0).toInt() : -1;
        });
    }
    // From now on every save must be in the result.
    void Mark() { m_mark = true; }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    QStringList m_savedBefore, m_savedAfter, m_errors;
    int m_seenOriginal = -1;

private:
    QString m_file;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_mark{false};
};

QStringList SortedFiles(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void MakeFile(const QString& path, const QByteArray& content = "x")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

} // namespace

class TestDatabaseSharing : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (TestEnv::OnServer())
            QSKIP("about the SQLite file; a server has no file to share");
    }
    void cleanup() { DatabaseLock::ReleaseShared(); }

    void saveDuringCompactionIsKept();
    void saveDuringRestoreIsKeptOrRefused();
    void refusedWhileAnotherProgramHoldsTheDatabase();
    void ownLockDoesNotStandInTheWay();
    void unpackStopsAtTheLimit();
    void entryLargerThanTheFreeSpace();
    void rarArchive();
    void leftoversRemovedUnlessBeingWritten();
};

void TestDatabaseSharing::saveDuringCompactionIsKept()
{
    TestEnv env;
    QVERIFY2(env.IsValid(), qPrintable(env.Error()));
    AddSales(3000, QStringLiteral("旧记录"));
    QVERIFY(ExecCommand("delete from SaleInfo where id > 50"));
    // The deleted records live on in the change log until it is cleared.
    QVERIFY(ExecCommand("delete from ChangeLog"));
    const qint64 before = QFileInfo(env.DatabaseFile()).size();

    SecondDesk desk(env.DatabaseFile());
    desk.Start();
    QThread::msleep(50);
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    CountingHost host;
    QVERIFY2(engine.Compact(host), qPrintable(engine.Error()));
    desk.Mark();
    QThread::msleep(50);
    desk.Stop();

    QVERIFY(QFileInfo(env.DatabaseFile()).size() < before / 2);
    // Waiting for the compaction is fine; a read-only database is not.
    QVERIFY2(desk.m_errors.filter("readonly").isEmpty(), qPrintable(desk.m_errors.join('|')));
    QVERIFY(!desk.m_savedAfter.isEmpty());
    SqlConnection fresh;
    QVERIFY(fresh.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
    // Every save reported done is in the compacted database.
    for (const QString& name : desk.m_savedBefore + desk.m_savedAfter)
        QVERIFY2(CountNamed(&fresh, name) == 1, qPrintable(name));
    QCOMPARE(CountNamed(&fresh, QStringLiteral("旧记录")), 50);
    QCOMPARE(CountNamed(CurrentConnection(), QStringLiteral("旧记录")), 50);
}

void TestDatabaseSharing::saveDuringRestoreIsKeptOrRefused()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(200, QStringLiteral("备份时"));
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString made = engine.Backup(true, 1);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    AddSales(100, QStringLiteral("备份后"));

    SecondDesk desk(env.DatabaseFile());
    desk.Start();
    QThread::msleep(50);
    CountingHost host;
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    desk.Mark();
    QThread::msleep(100);
    desk.Stop();

    QVERIFY2(desk.m_errors.filter("readonly").isEmpty(), qPrintable(desk.m_errors.join('|')));
    QVERIFY(!desk.m_savedAfter.isEmpty());
    SqlConnection fresh;
    QVERIFY(fresh.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
    // Saves after the restore land in the restored database, never in a
    // file nobody sees any more.
    for (const QString& name : desk.m_savedAfter)
        QVERIFY2(CountNamed(&fresh, name) == 1, qPrintable(name));
    QCOMPARE(CountNamed(&fresh, QStringLiteral("备份后")), 0);
    QCOMPARE(CountNamed(&fresh, QStringLiteral("备份时")), 200);
    // The second connection itself reads the restored data, as does the program's.
    QCOMPARE(desk.m_seenOriginal, 200);
    QCOMPARE(CountNamed(CurrentConnection(), QStringLiteral("备份后")), 0);
    QCOMPARE(host.disconnects, 0);
}

void TestDatabaseSharing::refusedWhileAnotherProgramHoldsTheDatabase()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(20, QStringLiteral("备份时"));
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString made = engine.Backup(false, 3);
    QVERIFY(!made.isEmpty());
    AddSales(5, QStringLiteral("备份后"));

    auto startHolder = [&](QProcess& child) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(HoldVariable, env.DatabaseFile());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForStarted(10000));
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("held"));
    };

    {
        QProcess child;
        startHolder(child);
        if (QTest::currentTestFailed())
            return;
        const QByteArray before = FileHash(env.DatabaseFile());
        CountingHost host;
        QVERIFY(!engine.Restore(made, host));
        QCOMPARE(engine.Error(), DatabaseLock::InUseText());
        QVERIFY(!engine.Compact(host));
        QCOMPARE(engine.Error(), DatabaseLock::InUseText());
        QCOMPARE(host.disconnects + host.connects, 0);
        QCOMPARE(FileHash(env.DatabaseFile()), before);
        QVERIFY(QDir(BackupFolder::Path()).entryList({"before-restore-*"}).isEmpty());
        // A backup only reads: still allowed.
        QVERIFY2(!engine.Backup(true, 1).isEmpty(), qPrintable(engine.Error()));
        // The program ends normally.
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitCode(), 0);
    }
    CountingHost host;
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    QCOMPARE(CountNamed(CurrentConnection(), QStringLiteral("备份后")), 0);

    // A program that crashed holds nothing any more.
    AddSales(5, QStringLiteral("备份后"));
    QProcess child;
    startHolder(child);
    QVERIFY(!engine.Restore(made, host));
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    QCOMPARE(CountNamed(CurrentConnection(), QStringLiteral("备份后")), 0);
}

void TestDatabaseSharing::ownLockDoesNotStandInTheWay()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(10, QStringLiteral("备份时"));
    QString error;
    QVERIFY2(DatabaseLock::HoldShared(env.DatabaseFile(), &error), qPrintable(error));
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    const QString made = engine.Backup(false, 3);
    QVERIFY(!made.isEmpty());
    AddSales(3, QStringLiteral("备份后"));
    CountingHost host;
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
    QVERIFY2(engine.Compact(host), qPrintable(engine.Error()));
    QCOMPARE(CountNamed(CurrentConnection(), QStringLiteral("备份后")), 0);

    // Afterwards the program holds its shared lock again: an exclusive
    // lock of anybody else is refused.
    QCOMPARE(DatabaseLock::SharedFile(), QFileInfo(env.DatabaseFile()).absoluteFilePath());
    const int fd = ::open(QFile::encodeName(DatabaseLock::LockFileFor(env.DatabaseFile())).constData(), O_RDWR);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    QVERIFY(::flock(fd, LOCK_EX | LOCK_NB) != 0);
    QVERIFY(::flock(fd, LOCK_SH | LOCK_NB) == 0);
    DatabaseLock::ReleaseShared();
    QVERIFY(::flock(fd, LOCK_EX | LOCK_NB) == 0);
}

void TestDatabaseSharing::unpackStopsAtTheLimit()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("big.Jbk"), target = dir.filePath("out");
    QVERIFY(WriteZip(archive, {{"big.zbk", QByteArray(3 * 1024 * 1024, '\0')}}));
    QString error, entry;
    QVERIFY(!BackupEngine::Unpack(archive, &entry, target, &error, 1024 * 1024));
    QCOMPARE(error, BackupEngine::TooLargeText());
    // Nothing half-written stays.
    QCOMPARE(QFileInfo(target).size(), 0);
    QVERIFY2(BackupEngine::Unpack(archive, &entry, target, &error, 3 * 1024 * 1024), qPrintable(error));
    QCOMPARE(QFileInfo(target).size(), 3 * 1024 * 1024);
}

void TestDatabaseSharing::entryLargerThanTheFreeSpace()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    AddSales(50, QStringLiteral("备份时"));
    // A small file system of its own for the data folder.
    QTemporaryDir mountPoint;
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=120m", "tmpfs", mountPoint.path()});
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
        QSKIP("a tmpfs cannot be mounted here (needs root and a system that allows it)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint.path()}); });
    const QString dataDir = mountPoint.filePath("data"), backupDir = mountPoint.filePath("BackUp/");
    QVERIFY(QDir().mkpath(dataDir) && QDir().mkpath(backupDir));
    const QString database = dataDir + "/data.mdb";
    QVERIFY(BackupEngine::Snapshot(env.DatabaseFile(), database, nullptr));

    BackupEngine engine(database, backupDir);
    // About 20 MB may be written: 120 MB less the 100 MB kept free.
    QVERIFY(engine.UnpackLimit() < 25 * 1024 * 1024);
    const QString bomb = env.Dir() + "bomb.Jbk";
    QVERIFY(WriteZip(bomb, {{"bomb.zbk", QByteArray(40 * 1024 * 1024, '\0')}}));
    const QByteArray before = FileHash(database);
    const qint64 freeBefore = QStorageInfo(dataDir).bytesAvailable();
    IdleHost host;
    QVERIFY(!engine.Restore(bomb, host));
    QCOMPARE(engine.Error(), BackupEngine::TooLargeText());
    QCOMPARE(FileHash(database), before);
    QCOMPARE(SortedFiles(dataDir), (QStringList{"data.mdb", "data.mdb.lock"}));
    QVERIFY(QStorageInfo(dataDir).bytesAvailable() >= freeBefore - 64 * 1024);

    // A real backup fits and restores.
    const QString made = engine.Backup(true, 3);
    QVERIFY2(!made.isEmpty(), qPrintable(engine.Error()));
    QVERIFY2(engine.Restore(made, host), qPrintable(engine.Error()));
}

void TestDatabaseSharing::rarArchive()
{
    // The reader for rar is the library's own and is switched on; a sample
    // cannot be made here, since no rar writer is available on this system.
    const QString sample = QFINDTESTDATA("data/backup.rar");
    if (sample.isEmpty())
        QSKIP("no rar sample: rar archives can only be written by the proprietary rar program");
    TestEnv env;
    QVERIFY(env.IsValid());
    BackupEngine engine(env.DatabaseFile(), BackupFolder::Path());
    IdleHost host;
    QVERIFY2(engine.Restore(sample, host), qPrintable(engine.Error()));
}

void TestDatabaseSharing::leftoversRemovedUnlessBeingWritten()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    const QString backups = BackupFolder::Path();
    const QString data = QFileInfo(env.DatabaseFile()).absolutePath() + "/";
    QVERIFY(QDir().mkpath(backups));
    for (const char* name : {".snapshot-AbC123", ".snapshot-AbC123-journal", ".pack-XyZ789", ".pgdump-q1w2e3",
                             ".restore-Zz9Yy8", "2024-01-01-08-00-00.Jbk", "notes.txt", ".snapshot-toolong1"})
        MakeFile(backups + name);
    for (const char* name : {"restore-Q1w2E3.tmp", "restore-Q1w2E3.tmp-journal", "_afs.da", "_afs.old", "keep.tmp"})
        MakeFile(data + name);
    // A backup still being written by another run.
    QFile busy(backups + ".snapshot-Busy42");
    QVERIFY(busy.open(QIODevice::WriteOnly));
    QVERIFY(Leftovers::MarkInUse(busy));
    MakeFile(backups + ".snapshot-Busy42-journal");
    for (int day = 1; day <= 7; ++day)
        MakeFile(backups + QString("before-restore-2024-02-0%1-10-00-00.zbk").arg(day));

    QStringList removed = Leftovers::Remove(backups, data);
    removed.sort();
    QCOMPARE(removed, (QStringList{".pack-XyZ789", ".pgdump-q1w2e3", ".restore-Zz9Yy8", ".snapshot-AbC123",
                                   ".snapshot-AbC123-journal", "_afs.da", "_afs.old", "restore-Q1w2E3.tmp",
                                   "restore-Q1w2E3.tmp-journal"}));
    QCOMPARE(SortedFiles(data), (QStringList{"data.mdb", "keep.tmp"}));
    QCOMPARE(Leftovers::PruneKeptCopies(backups),
             (QStringList{"before-restore-2024-02-02-10-00-00.zbk", "before-restore-2024-02-01-10-00-00.zbk"}));
    QCOMPARE(SortedFiles(backups),
             (QStringList{".snapshot-Busy42", ".snapshot-Busy42-journal", ".snapshot-toolong1",
                          "2024-01-01-08-00-00.Jbk", "before-restore-2024-02-03-10-00-00.zbk",
                          "before-restore-2024-02-04-10-00-00.zbk", "before-restore-2024-02-05-10-00-00.zbk",
                          "before-restore-2024-02-06-10-00-00.zbk", "before-restore-2024-02-07-10-00-00.zbk",
                          "notes.txt"}));

    // Once the other run is gone, the next backup clears its files away.
    busy.close();
    BackupEngine engine(env.DatabaseFile(), backups);
    const QString made = engine.Backup(false, 3);
    QVERIFY(!made.isEmpty());
    QVERIFY(!QFileInfo::exists(backups + ".snapshot-Busy42"));
    QVERIFY(!QFileInfo::exists(backups + ".snapshot-Busy42-journal"));
}

int main(int argc, char** argv)
{
    const QByteArray hold = qgetenv(HoldVariable);
    if (!hold.isEmpty())
        return HoldDatabase(QString::fromLocal8Bit(hold));
    QCoreApplication app(argc, argv);
    TestDatabaseSharing test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_databasesharing.moc"
