#include "AppDir.h"
#include "CommandLog.h"
#include "DataAccess.h"
#include "IniFile.h"
#include "PasswordHash.h"
#include "PgEngine.h"
#include "Schema.h"
#include "SeedData.h"
#include "Settings.h"
#include "SqlDialect.h"
#include "TestEnv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <functional>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Opens the database of the current program folder in a child process and
// returns the reason it gave, or "OK".  Root may write to any file whatever
// its permissions, so under root the child first becomes an ordinary user
// (nobody): for that user the file really is read-only.
QString ConnectAsOrdinaryUser()
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        QByteArray out;
        {
            TDataM dm;
            out = dm.ConnectDatabase() ? QByteArray("OK") : dm.LastError().toUtf8();
        }
        if (write(fds[1], out.constData(), size_t(out.size())) < 0)
            _exit(3);
        _exit(0);
    }
    close(fds[1]);
    QByteArray result;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, int(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QString("child failed: %1").arg(status);
    return QString::fromUtf8(result);
}

// Rows of the usage log, read on a connection of its own.
int UseLogRows(const TestEnv& env)
{
    SqlConnection c;
    if (!env.OpenSecondConnection(c))
        return -1;
    SqlStatement count(&c, "select count(*) from UseLog");
    return count.Step() ? int(count.ColumnInt64(0)) : -1;
}

// Takes `count` values of one counter on `connection`, one line each.
bool TakeCounters(SqlConnection& connection, int count, QByteArray* out)
{
    SqlConnection* before = CurrentConnection();
    SetCurrentConnection(&connection);
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const QByteArray value = NextSequenceValue("SeqTable", "ItemID").toUtf8();
        ok = value != "0";
        *out += value + '\n';
    }
    SetCurrentConnection(before);
    return ok;
}

// The second desk: this test program started again with WEIBAO_COUNTER_CHILD
// set (a fresh process, as a second desk is, sharing no connection state).
int CounterChild()
{
    SetAppDir(qEnvironmentVariable("WEIBAO_COUNTER_HOME"));
    SqlConnection connection;
    if (!TestEnv::OpenNamed(connection, qEnvironmentVariable("WEIBAO_COUNTER_SERVER_DB"),
                            qEnvironmentVariable("WEIBAO_COUNTER_FILE"))) {
        fprintf(stderr, "cannot connect: %s\n", qPrintable(connection.ErrorString()));
        return 2;
    }
    // Connected: the first desk may start.  (Opening checks that the file
    // can be written, which a busy writer could hold off past the timeout.)
    fputs("ready\n", stdout);
    fflush(stdout);
    QByteArray out;
    const bool ok = TakeCounters(connection, qEnvironmentVariableIntValue("WEIBAO_COUNTER_CHILD"), &out);
    fwrite(out.constData(), 1, size_t(out.size()), stdout);
    if (!ok)
        fprintf(stderr, "counter allocation failed: %s\n", qPrintable(connection.ErrorString()));
    return ok ? 0 : 1;
}

// This process and a second one each take `count` values of one counter at
// the same time, on connections of their own; every value taken, or empty.
QList<qint64> TakeCountersInTwoProcesses(const TestEnv& env, int count)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WEIBAO_COUNTER_CHILD", QString::number(count));
    environment.insert("WEIBAO_COUNTER_HOME", env.Dir());
    environment.insert("WEIBAO_COUNTER_SERVER_DB", env.ServerDatabase());
    environment.insert("WEIBAO_COUNTER_FILE", env.DatabaseFile());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    // Both desks are connected before either takes a value.
    SqlConnection own;
    if (!env.OpenSecondConnection(own))
        return {};
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForStarted())
        return {};
    bool ready = false;
    while (!ready && child.waitForReadyRead(60000))
        ready = child.canReadLine() && child.readLine() == "ready\n";
    QByteArray mine;
    const bool ok = ready && TakeCounters(own, count, &mine);
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0 || !ok) {
        qWarning("counters: %s %s", ok ? "" : qPrintable(own.ErrorString()),
                 child.readAllStandardError().constData());
        return {};
    }
    QList<qint64> values;
    for (const QByteArray& line : (mine + child.readAllStandardOutput()).split('\n'))
        if (!line.isEmpty())
            values << line.toLongLong();
    return values;
}

} // namespace

// Tests about the SQLite file itself (permissions, locks, the file header)
// have their own server counterparts.
#define SQLITE_FILE_ONLY()                                                                                   \
    if (TestEnv::OnServer())                                                                                 \
    QSKIP("about the SQLite file")

// Query, command and counter functions, the command log, the schema and the
// updatable dataset, each against a fresh database.
class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
            QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
    }

    void sequenceStartsAtOneAndCounts()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        QVERIFY(ExecCommand("delete from SeqTable"));
        QCOMPARE(NextSequenceValue("SeqTable", "RoleID"), QString("1"));
        QCOMPARE(env.Scalar("select count(*) from SeqTable").toInt(), 1);
        QCOMPARE(NextSequenceValue("SeqTable", "RoleID"), QString("2"));
        // The row exists but this counter is null: it starts at 1 as well.
        QCOMPARE(NextSequenceValue("SeqTable", "ItemOrderID"), QString("1"));
        QCOMPARE(NextSequenceValue("SeqTable", "RoleID"), QString("3"));
        QCOMPARE(NextSequenceValue("SeqTable", "NoSuchCounter"), QString("0"));
        QCOMPARE(NextSequenceValue("SeqTable; drop table UseLog", "RoleID"), QString("0"));
    }

    void sequenceInsideAnOuterTransaction()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        SqlTransaction outer(CurrentConnection());
        QVERIFY(outer.IsActive());
        const int a = NextSequenceValue("SeqTable", "MenuID").toInt();
        const int b = NextSequenceValue("SeqTable", "MenuID").toInt();
        QVERIFY(a > 0);
        QCOMPARE(b, a + 1);
        outer.Rollback();
        QCOMPARE(NextSequenceValue("SeqTable", "MenuID").toInt(), a);
    }

    void failedStatementLeavesTargetAndLogsTwoLines()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        MemDataset target;
        QVERIFY(OpenQuery("select RoleID, RoleName from AC_ROLEINFO", target));
        QCOMPARE(target.RecordCount(), 1);
        const int before = env.CommandLogLines().size();
        QVERIFY(!OpenQuery("selec * form AC_ROLEINFO", target));
        QCOMPARE(target.RecordCount(), 1);
        QCOMPARE(target.FieldCount(), 2);
        const QStringList lines = env.CommandLogLines();
        QCOMPARE(lines.size(), before + 2);
        QVERIFY(lines[before].contains(QStringLiteral("失败执行：selec * form AC_ROLEINFO")));
        QVERIFY(lines[before + 1].contains(QStringLiteral("失败原因:")));
        QVERIFY(!ExecCommand("update NoSuchTable set a=1"));
        QCOMPARE(env.CommandLogLines().size(), before + 4);
        // Only one statement per call: a second one is refused, not run.
        QVERIFY(!ExecCommand("delete from UseLog; delete from AC_USERINFO"));
        QCOMPARE(env.Scalar("select count(*) from AC_USERINFO").toInt(), 1);
    }

    // A statement that fails inside a transaction: the work is undone, a
    // commit of what is left says so (a server aborts the whole transaction
    // and would otherwise answer COMMIT with a silent rollback), and the
    // connection serves the next statement, in a transaction or outside one.
    void failedStatementInATransactionLeavesTheConnectionUsable()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        const auto roles = [&env] { return env.Scalar("select count(*) from AC_ROLEINFO").toInt(); };
        const int before = roles();
        if (CurrentConnection()->IsServer()) {
            SqlTransaction transaction(CurrentConnection());
            QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (90,'甲','')"));
            QVERIFY(
                !ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (90,'重复的键','')"));
            QVERIFY(!transaction.Commit());
            QCOMPARE(roles(), before);
        }
        {
            SqlTransaction outer(CurrentConnection());
            QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (91,'乙','')"));
            {
                SqlTransaction inner(CurrentConnection());
                QVERIFY(!ExecCommand(
                    "insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (91,'重复的键','')"));
            }
            // The failed inner part is undone; the outer one goes on.
            QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (92,'丙','')"));
            QVERIFY(outer.Commit());
        }
        QCOMPARE(roles(), before + 2);
        QVERIFY(!ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (92,'重复的键','')"));
        QVERIFY(ExecCommand("delete from AC_ROLEINFO where RoleID in (91,92)"));
        QCOMPARE(roles(), before);
        QVERIFY(!CurrentConnection()->InTransaction());
    }

    void logLineFormatAndFirstLineOfTheDay()
    {
        QTemporaryDir dir;
        SetAppDir(dir.path());
        QVERIFY(!QDir(dir.path() + "/Log").exists());
        WriteLogLine(QStringLiteral("成功执行：select 1"));
        QFile file(CommandLogPath(QDate::currentDate()));
        QVERIFY(file.exists());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        // GB18030 on disk: the two-byte encoding of 成 is B3 C9.
        QVERIFY(bytes.contains("\xB3\xC9"));
        QVERIFY(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )")
                    .match(QString::fromLatin1(bytes))
                    .hasMatch());
        // A log folder that cannot be made loses the line silently.
        SetAppDir(dir.path() + "/file-not-folder");
        QFile blocker(dir.path() + "/file-not-folder");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        WriteLogLine("lost");
    }

    void valuesAreBoundAndLoggedAsLiterals()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        const QString tricky = QStringLiteral("O'Brien \"张\" '); drop table UseLog; --");
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (?,?,?)",
                            {7, tricky, SqlArg::Null()}));
        MemDataset d;
        QVERIFY(OpenQuery("select * from AC_ROLEINFO where RoleName=?", d, {tricky}));
        QCOMPARE(d.RecordCount(), 1);
        QCOMPARE(d.AsString("RoleName"), tricky);
        QVERIFY(d.IsNull("RoleDesc"));
        const QString last = env.CommandLogLines().last();
        QVERIFY2(
            last.endsWith(QStringLiteral(
                "select * from AC_ROLEINFO where RoleName='O''Brien \"张\" ''); drop table UseLog; --'")),
            qPrintable(last));
        QVERIFY(env.Scalar("select count(*) from UseLog").isValid());
    }

    void passwordsNeverReachTheLog()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        QVERIFY(SetUserPassword("ADMIN", "s3cr'et"));
        MemDataset rows;
        QVERIFY(QueryUserLogin("ADMIN", "s3cr'et", rows));
        QCOMPARE(rows.RecordCount(), 1);
        QVERIFY(QueryUserLogin("ADMIN", "S3CR'ET", rows));
        QCOMPARE(rows.RecordCount(), 0);
        for (const QString& line : env.CommandLogLines())
            QVERIFY2(!line.contains("s3cr") && !line.contains("S3CR"), qPrintable(line));
        QVERIFY(env.CommandLogLines().join('\n').contains("UserPass='***'"));
        QVERIFY(PasswordHash::IsHash(env.Scalar("select UserPass from AC_USERINFO").toString()));
    }

    void databaseFileNameFromConnectionString()
    {
        SQLITE_FILE_ONLY();
        TestEnv env;
        QVERIFY(env.IsValid());
        QCOMPARE(GetDatabaseFileName(), env.Dir() + "data/data.mdb");
        QCOMPARE(
            DatabaseFileNameFromConnectionString("Provider=X;Data Source=/a/b.mdb;Mode=Share Deny None;P=1"),
            QString("/a/b.mdb"));
        QCOMPARE(DatabaseFileNameFromConnectionString("Provider=X;Password=1"), QString());
        QCOMPARE(DatabaseFileNameFromConnectionString("Data Source=/x.mdb"), QString("/x.mdb"));
    }

    void newDatabaseHoldsTheSchemaAndConfiguration()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        // The server folds names to lower case and adds the rowid column last.
        const bool server = TestEnv::OnServer();
        auto columns = [server](const QString& table) {
            QStringList names;
            SqlStatement s(CurrentConnection(),
                           server ? "select column_name from information_schema.columns where table_schema="
                                    "current_schema() and table_name=lower(?) and column_name<>'rowid'"
                                    " order by ordinal_position"
                                  : "select name from pragma_table_info(?) order by cid");
            s.Bind({table});
            while (s.Step())
                names << s.ColumnValue(0).toString();
            return names;
        };
        auto same = [](const QStringList& a, const QStringList& b) {
            return a.join(',').compare(b.join(','), Qt::CaseInsensitive) == 0;
        };
        // The row version comes last, after the first release's columns.
        QVERIFY(same(columns("AC_ROLEINFO"), QStringList({"RoleID", "RoleName", "RoleDesc", "RowVersion"})));
        QVERIFY(same(columns("AC_MENUSTRUCT"), QStringList({"MenuID", "MenuText", "ParentMenuID",
                                                            "FunctionID", "OrderNum", "RowVersion"})));
        QVERIFY(same(columns("AC_TOOLCFG"), QStringList({"ButtonID", "ButtonText", "IconIndex", "IsShow",
                                                         "FunctionID", "OrderNum", "RowVersion"})));
        QVERIFY(same(columns("AC_GROUPCFG"),
                     QStringList({"ItemID", "ItemText", "IconIndex", "IsShow", "FunctionID", "ParentItemID",
                                  "OrderNum", "RowVersion"})));
        QVERIFY(same(columns("AC_FUNCTION_USER"), QStringList({"FunctionID", "UserID"})));
        QCOMPARE(columns("SaleInfo").size(), 30);
        QCOMPARE(columns("SaleInfo").first().toLower(), QString("id"));
        QCOMPARE(columns("SaleInfo").last().toLower(), QString("rowversion"));
        if (server)
            QCOMPARE(
                env.Scalar(
                       "select column_name from information_schema.columns where table_schema="
                       "current_schema() and table_name='saleinfo' order by ordinal_position desc limit 1")
                    .toString(),
                QString("rowid"));
        QCOMPARE(columns("AC_Company").size(), 10);
        for (const char* id : {"1002", "1003", "1004", "1006", "1007", "4003", "7001", "7002", "7003", "7004",
                               "9006", "9007", "400131", "400132"})
            QVERIFY2(env.Scalar("select count(*) from AC_FUNCTIONINFO where FunctionID=?", {id}).toInt() == 1,
                     id);
        QCOMPARE(
            env.Scalar("select ParentFunctionID from AC_FUNCTIONINFO where FunctionID='400131'").toString(),
            env.Scalar("select FunctionID from AC_FUNCTIONINFO where ControlName='TFrmUser'").toString());
        QVERIFY(env.Scalar("select count(*) from SaleInfo").toInt() >= 24);
        QVERIFY(env.Scalar("select count(*) from SaleInfo where TB='1'").toInt() > 0);
        const QString now = SqlDialect::Now(CurrentConnection());
        QVERIFY(env.Scalar("select count(*) from SaleInfo where OverRun < " + now).toInt() > 0);
        QVERIFY(env.Scalar("select count(*) from SaleInfo where OverRun >= " + now).toInt() > 0);
        // Role names are unique, Latin letters without regard to case: the
        // database refuses a second one, whichever desk adds it.
        QVERIFY(!ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (2, ?, '')",
                             {QStringLiteral("系统管理员")}));
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (2, 'Kasse', '')"));
        QVERIFY(!ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (3, 'KASSE', '')"));
        // Ids of deleted sales are never handed out again.
        const qint64 top = env.Scalar("select max(id) from SaleInfo").toLongLong();
        QVERIFY(ExecCommand("delete from SaleInfo where id=?", {top}));
        QVERIFY(ExecCommand("insert into SaleInfo (Name) values ('x')"));
        QCOMPARE(env.Scalar("select max(id) from SaleInfo").toLongLong(), top + 1);
        // A database that exists is never set up again.
        QString error;
        QVERIFY(!InitConfiguredDatabase(false, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(env.Scalar("select count(*) from SaleInfo where Name='x'").toInt(), 1);
    }

    void schemaVersions()
    {
        SQLITE_FILE_ONLY();
        TestEnv env(false, false);
        {
            SqlConnection c;
            QVERIFY(c.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
            QCOMPARE(Schema::Version(c), Schema::CurrentVersion);
            QVERIFY(c.ExecRaw(QString("PRAGMA user_version = %1").arg(Schema::CurrentVersion + 1)));
        }
        TDataM dm;
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY(dm.LastError().contains(QStringLiteral("新版本")));
        // The box keeps its message and says why beneath it; the log says it too.
        QVERIFY(dm.StartErrorText().startsWith(
            QStringLiteral("数据库打开出现意外失败，请重新启动应用程序。\n\n")));
        QVERIFY(dm.StartErrorText().endsWith(dm.LastError()));
        const QStringList log = env.CommandLogLines();
        QVERIFY(!log.isEmpty());
        QCOMPARE(log.last().section(' ', 2, -1), QStringLiteral("数据库打开失败：") + dm.LastError());

        // Not a database at all, and not one of ours.
        QVERIFY(QFile::remove(env.DatabaseFile()));
        {
            QFile file(env.DatabaseFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(2048, 'x'));
        }
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains(QStringLiteral("不是本程序的数据库")), qPrintable(dm.LastError()));
        QVERIFY(QFile::remove(env.DatabaseFile()));
        {
            SqlConnection c;
            QVERIFY(c.Create(env.DatabaseFile()));
            QVERIFY(c.ExecRaw("create table Other (a)"));
        }
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains(QStringLiteral("不是本程序的数据库")), qPrintable(dm.LastError()));

        // Something that cannot be read as a file.
        QVERIFY(QFile::remove(env.DatabaseFile()));
        QVERIFY(QDir().mkdir(env.DatabaseFile()));
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains(QStringLiteral("无法读取")), qPrintable(dm.LastError()));
        QVERIFY(QDir().rmdir(env.DatabaseFile()));

        // A missing file is never created.
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains(QStringLiteral("找不到数据库文件")), qPrintable(dm.LastError()));
        QVERIFY(!QFile::exists(env.DatabaseFile()));
    }

    void lockedDatabaseIsNamedAsSuch()
    {
        SQLITE_FILE_ONLY();
        TestEnv env(false, false);
        SqlConnection other;
        QVERIFY(other.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
        QVERIFY(other.ExecRaw("BEGIN EXCLUSIVE"));
        TDataM dm;
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains(QStringLiteral("锁定")), qPrintable(dm.LastError()));
        QVERIFY(other.ExecRaw("ROLLBACK"));
        QVERIFY(dm.ConnectDatabase());
    }

    void readOnlyDatabaseIsRefusedAtOpen()
    {
        SQLITE_FILE_ONLY();
        TestEnv env(false, false);
        const QString dataDir = QFileInfo(env.DatabaseFile()).absolutePath();
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        const auto readOnly = open & ~QFile::Permissions(QFile::WriteOwner);
        const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(QDir(env.Dir()).absolutePath(), open));
        QVERIFY(QFile::setPermissions(dataDir, open));

        // The file itself cannot be written.
        QVERIFY(QFile::setPermissions(env.DatabaseFile(), readable));
        QString reason = ConnectAsOrdinaryUser();
        QVERIFY2(reason.contains(QStringLiteral("只能读取")), qPrintable(reason));

        // The file could be written, but its folder cannot take the journal.
        QVERIFY(QFile::setPermissions(env.DatabaseFile(),
                                      readable | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(dataDir, readOnly));
        reason = ConnectAsOrdinaryUser();
        QVERIFY2(reason.contains(QStringLiteral("只能读取")), qPrintable(reason));

        // Writable again (for anybody, so for the child as well): it opens,
        // and nothing was changed by the checks.
        QVERIFY(QFile::setPermissions(dataDir, open | QFile::WriteGroup | QFile::WriteOther));
        QCOMPARE(ConnectAsOrdinaryUser(), QString("OK"));
        TDataM dm;
        QVERIFY(dm.ConnectDatabase());
        QCOMPARE(Schema::Version(dm.ADOConn), Schema::CurrentVersion);
    }

    void versionOneUpgradesWithoutLoss()
    {
        SQLITE_FILE_ONLY();
        TestEnv env(false, false);
        {
            // A database as the first release made it, with its grants.
            QVERIFY(QFile::remove(env.DatabaseFile()));
            SqlConnection c;
            QVERIFY(c.Create(env.DatabaseFile()));
            QString error;
            QVERIFY2(Schema::Upgrade(c, &error, 1), qPrintable(error));
            for (const char* sql : {"INSERT INTO AC_ROLE_USER VALUES (1,'ADMIN'), (2,'abc'), (3,'Abc')",
                                    "INSERT INTO AC_FUNCTION_USER VALUES ('2001','abc'), ('4001','ABC')"})
                QVERIFY2(c.ExecRaw(sql), sql);
            QCOMPARE(Schema::Version(c), 1);
        }
        TDataM dm;
        QVERIFY2(dm.ConnectDatabase(), qPrintable(dm.LastError()));
        QCOMPARE(Schema::Version(dm.ADOConn), Schema::CurrentVersion);
        QCOMPARE(env.Scalar("select group_concat(RoleID||':'||UserID, ' ') from AC_ROLE_USER").toString(),
                 QString("1:ADMIN 2:abc 3:Abc"));
        QCOMPARE(
            env.Scalar("select group_concat(FunctionID||':'||UserID, ' ') from AC_FUNCTION_USER").toString(),
            QString("2001:abc 4001:ABC"));
        // Codes now compare without regard to case, also in rows added later.
        QCOMPARE(env.Scalar("select count(*) from AC_ROLE_USER where UserID=?", {"ABC"}).toInt(), 2);
        QCOMPARE(env.Scalar("select count(*) from AC_FUNCTION_USER where UserID=?", {"aBc"}).toInt(), 2);
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (4, 'xyz')"));
        QCOMPARE(env.Scalar("select RoleID from AC_ROLE_USER where UserID='XYZ'").toInt(), 4);
        // The positional column order stays.
        QCOMPARE(env.Scalar("select group_concat(name) from pragma_table_info('AC_ROLE_USER')").toString(),
                 QString("RoleID,UserID"));
        QCOMPARE(
            env.Scalar("select group_concat(name) from pragma_table_info('AC_FUNCTION_USER')").toString(),
            QString("FunctionID,UserID"));
    }

    void versionFourUpgradesKeepingOddCodesAndLookalikeRoles()
    {
        SQLITE_FILE_ONLY();
        TestEnv env(false, false);
        {
            // Rows the program no longer lets anyone type: a user code with
            // "-" and two roles whose names differ only in Latin case.
            QVERIFY(QFile::remove(env.DatabaseFile()));
            SqlConnection c;
            QVERIFY(c.Create(env.DatabaseFile()));
            QString error;
            QVERIFY2(Schema::Upgrade(c, &error, 4), qPrintable(error));
            for (const char* sql : {"INSERT INTO AC_USERINFO (UserID,UserName,IsUse,PassNotOver) VALUES "
                                    "('OLD-1','老张','Y','Y')",
                                    "INSERT INTO AC_ROLEINFO VALUES (1,'Kasse','a'), (2,'收银',''), "
                                    "(3,'KASSE','b'), (4,'kasse','')",
                                    "INSERT INTO AC_MENUSTRUCT VALUES (1,'文件',0,'',1)"})
                QVERIFY2(c.ExecRaw(sql), sql);
        }
        TDataM dm;
        QVERIFY2(dm.ConnectDatabase(), qPrintable(dm.LastError()));
        QCOMPARE(Schema::Version(dm.ADOConn), Schema::CurrentVersion);
        QCOMPARE(env.Scalar("select UserName||RowVersion from AC_USERINFO where UserID='OLD-1'").toString(),
                 QString("老张1"));
        // The oldest keeps its name; the others keep their rows under a
        // name that tells them apart.
        QCOMPARE(env.Scalar("select group_concat(RoleID||':'||RoleName, ' ') from (select * from AC_ROLEINFO"
                            " order by RoleID)")
                     .toString(),
                 QString("1:Kasse 2:收银 3:KASSE(3) 4:kasse(4)"));
        QCOMPARE(env.Scalar("select RowVersion from AC_MENUSTRUCT where MenuID=1").toInt(), 1);
        QVERIFY(!ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName) values (5,'kASSE')"));
    }

    void usageLogRowsAndWindow()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        TDataM* dm = env.DataModule();
        QVERIFY(ExecCommand("insert into UseLog values ('A','a',?,'old')",
                            {QDateTime::currentDateTime().addDays(-4)}));
        QVERIFY(ExecCommand("insert into UseLog values ('A','a',?,'recent')",
                            {QDateTime(QDate::currentDate().addDays(-3), QTime(0, 0, 1))}));
        dm->RefreshLookups();
        QCOMPARE(dm->adoSetLog.RecordCount(), 1);
        dm->WriteUsageLog(QStringLiteral("启动程序"));
        QCOMPARE(
            env.Scalar("select UserID from UseLog where LogText=?", {QStringLiteral("启动程序")}).toString(),
            QString(""));
        dm->SetUserSource([](QString& id, QString& name) {
            id = "ADMIN";
            name = QStringLiteral("系统管理员");
        });
        const QString longText = QStringLiteral("进入：") + QString(60, QChar(0x4E2D));
        dm->WriteUsageLog(longText);
        const QString stored = env.Scalar("select LogText from UseLog where UserID='ADMIN'").toString();
        QCOMPARE(stored, longText.left(50));
        QCOMPARE(dm->adoSetLog.RecordCount(), 3);
        // A write that fails leaves nothing pending and nothing new in the window.
        QVERIFY(CurrentConnection()->ExecRaw("drop table UseLog"));
        dm->WriteUsageLog("lost");
        QCOMPARE(dm->adoSetLog.RecordCount(), 3);
        QVERIFY(!dm->adoSetLog.HasPendingUpdates());
    }

    void tableDatasetWritesAtOnceOrAsBatch()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        TableDataset sales;
        QVERIFY(sales.Open("SaleInfo"));
        QVERIFY(sales.IsEmpty());
        sales.Append();
        sales.SetValue("Name", QStringLiteral("张三 "));
        sales.SetValue("BuyDate", QDate(2023, 6, 15));
        QVERIFY2(sales.Post(), qPrintable(sales.ErrorString()));
        QVERIFY(sales.AsInteger("id") > 0); // the key the database assigned
        QCOMPARE(env.Scalar("select Name from SaleInfo").toString(), QStringLiteral("张三 "));
        QCOMPARE(env.Scalar("select BuyDate from SaleInfo").toString(), QString("2023-06-15 00:00:00"));
        sales.Edit();
        sales.SetValue("addr", QStringLiteral("北京"));
        QVERIFY(sales.Post());
        QCOMPARE(env.Scalar("select addr from SaleInfo").toString(), QStringLiteral("北京"));

        TableDataset depts;
        depts.SetUpdateMode(TableDataset::UpdateMode::Batch);
        QVERIFY(depts.Open("AC_DEPT", "order by DeptID"));
        depts.Append();
        depts.SetValue("DeptID", 1);
        depts.SetValue("DeptName", "A");
        depts.Post();
        depts.Append();
        depts.SetValue("DeptID", 1); // duplicate key: the whole batch fails
        depts.SetValue("DeptName", "B");
        depts.Post();
        QVERIFY(depts.HasPendingUpdates());
        QVERIFY(!depts.ApplyUpdates());
        QVERIFY(!depts.ErrorString().isEmpty());
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 0);
        QVERIFY(depts.HasPendingUpdates());
        depts.Last();
        depts.Edit();
        depts.SetValue("DeptID", 2);
        depts.Post();
        QVERIFY2(depts.ApplyUpdates(), qPrintable(depts.ErrorString()));
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 2);
        depts.First();
        QVERIFY(depts.Delete());
        depts.CancelUpdates();
        QCOMPARE(depts.RecordCount(), 2);
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 2);

        // Changing an integer primary key changes the row's identity: later
        // writes must reach the same row under its new key.
        TableDataset posts;
        QVERIFY(posts.Open("AC_WORKPOST", "order by PostID"));
        for (int id : {1, 2}) {
            posts.Append();
            posts.SetValue("PostID", id);
            posts.SetValue("PostName", QString("P%1").arg(id));
            QVERIFY(posts.Post());
        }
        posts.First();
        posts.Edit();
        posts.SetValue("PostID", 5);
        QVERIFY(posts.Post());
        posts.Edit();
        posts.SetValue("PostName", "renamed");
        QVERIFY(posts.Post());
        QCOMPARE(env.Scalar("select PostName from AC_WORKPOST where PostID=5").toString(),
                 QString("renamed"));
        QCOMPARE(env.Scalar("select PostName from AC_WORKPOST where PostID=2").toString(), QString("P2"));
        QVERIFY(posts.Delete());
        QCOMPARE(env.Scalar("select count(*) from AC_WORKPOST").toInt(), 1);
        QCOMPARE(env.Scalar("select PostID from AC_WORKPOST").toInt(), 2);
        // A row removed behind the dataset's back is reported, not "saved".
        QVERIFY(ExecCommand("delete from AC_WORKPOST"));
        posts.First();
        posts.Edit();
        posts.SetValue("PostName", "gone");
        QVERIFY(!posts.Post());
        QVERIFY(!posts.ErrorString().isEmpty());
        posts.Cancel();

        // Immediate mode: a failing post keeps the typed row in insert state.
        TableDataset roles;
        QVERIFY(roles.Open("AC_ROLEINFO"));
        roles.Append();
        roles.SetValue("RoleID", 1);
        QVERIFY(!roles.Post());
        QCOMPARE(roles.GetState(), MemDataset::State::Insert);
        roles.Cancel();
        QCOMPARE(roles.RecordCount(), 1);
    }

    void countersNeverRepeatUnderTwoConnections()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        const qint64 start = NextSequenceValue("SeqTable", "ItemID").toLongLong();
        QVERIFY(start > 0);
        const QList<qint64> values = TakeCountersInTwoProcesses(env, 1000);
        QCOMPARE(values.size(), 2000);
        const QSet<qint64> distinct(values.begin(), values.end());
        QCOMPARE(distinct.size(), 2000);
        // Nothing skipped either: exactly the next 2,000 values.
        QCOMPARE(*std::min_element(values.begin(), values.end()), start + 1);
        QCOMPARE(*std::max_element(values.begin(), values.end()), start + 2000);
        QCOMPARE(NextSequenceValue("SeqTable", "ItemID").toLongLong(), start + 2001);
    }

    void serverTroublesAreNamedAndWriteNothing()
    {
        if (!TestEnv::OnServer())
            QSKIP("about the server engine");
        TestEnv env(false, false);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        const PgServer good = Settings::DatabaseServer();

        // A newer schema: refused with the reason, nothing upgraded.
        {
            SqlConnection c;
            QVERIFY(env.OpenSecondConnection(c));
            QVERIFY(
                c.ExecRaw(QString("UPDATE SchemaVersion SET Version=%1").arg(Schema::CurrentVersion + 1)));
        }
        TDataM dm;
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains(QStringLiteral("新版本")), qPrintable(dm.LastError()));
        {
            SqlConnection c;
            QVERIFY(env.OpenSecondConnection(c));
            QCOMPARE(Schema::Version(c), Schema::CurrentVersion + 1);
            QVERIFY(c.ExecRaw(QString("UPDATE SchemaVersion SET Version=%1").arg(Schema::CurrentVersion)));
        }
        QVERIFY2(dm.ConnectDatabase(), qPrintable(dm.LastError()));
        dm.DisconnectDatabase();

        // A database without our tables is not set up behind the user's back.
        PgServer other = good;
        other.name = "postgres";
        QVERIFY(Settings::SetDatabaseServer(other));
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains("--init-database"), qPrintable(dm.LastError()));

        // No such database, a refused login, nobody listening: libpq's reason
        // in the box and in the command log, quickly (connect timeout).
        for (auto bad : {std::function<void(PgServer&)>([](PgServer& s) { s.name = "no_such_database"; }),
                         std::function<void(PgServer&)>([](PgServer& s) { s.user = "no_such_user"; }),
                         std::function<void(PgServer&)>([](PgServer& s) {
                             s.host = "/nonexistent-socket-folder";
                             s.connectTimeout = 2;
                         })}) {
            PgServer s = good;
            bad(s);
            QVERIFY(Settings::SetDatabaseServer(s));
            QVERIFY(!dm.ConnectDatabase());
            QVERIFY2(dm.LastError().contains(QStringLiteral("无法连接数据库服务器")),
                     qPrintable(dm.LastError()));
            QVERIFY(dm.StartErrorText().endsWith(dm.LastError()));
            QCOMPARE(env.CommandLogLines().last().section(' ', 2, -1),
                     QStringLiteral("数据库打开失败：") + dm.LastError());
        }
        // An engine name nobody knows.
        IniFile(Settings::IniPath()).WriteString("Database", "Engine", "Oracle");
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().contains("Oracle"), qPrintable(dm.LastError()));
    }

    // scripts/test.sh makes a role that must log in with its password; the
    // password comes from libpq's password file, never from Quorel.ini.
    void wrongPasswordIsNamedAndWritesNothing()
    {
        if (!TestEnv::OnServer())
            QSKIP("about the server engine");
        const QString role = "weibao_password_test";
        TestEnv env(false, false);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        {
            SqlConnection c;
            QVERIFY(env.OpenSecondConnection(c));
            SqlStatement check(&c, "select count(*) from pg_hba_file_rules where ?=any(user_name) "
                                   "and auth_method='scram-sha-256' and (select count(*) from pg_roles "
                                   "where rolname=?)=1");
            if (!check.Bind({role, role}) || !check.Step() || check.ColumnInt64(0) == 0)
                QSKIP("this server has no role weibao_password_test that logs in with a password "
                      "(scripts/test.sh makes one)");
            QVERIFY(
                c.ExecRaw("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + role));
        }
        PgServer server = Settings::DatabaseServer();
        server.user = role;
        QVERIFY(Settings::SetDatabaseServer(server));

        QTemporaryDir folder;
        const QString passFile = folder.filePath("pgpass");
        const QByteArray before = qgetenv("PGPASSFILE");
        auto writePassword = [&](const QString& password) {
            QFile file(passFile);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(("*:*:*:" + role + ":" + password + "\n").toUtf8());
            file.close();
            // libpq ignores a password file others may read.
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        };
        qputenv("PGPASSFILE", passFile.toLocal8Bit());
        const int logRows = UseLogRows(env);

        writePassword("not-the-password");
        TDataM dm;
        const bool refused = !dm.ConnectDatabase();
        const QString reason = dm.LastError();
        const QString box = dm.StartErrorText();
        const QStringList log = env.CommandLogLines();
        writePassword("weibao-test-secret");
        const bool connected = dm.ConnectDatabase();
        const QString error = dm.LastError();
        dm.DisconnectDatabase();
        before.isNull() ? qunsetenv("PGPASSFILE") : qputenv("PGPASSFILE", before);

        QVERIFY(refused);
        QVERIFY2(reason.contains(QStringLiteral("无法连接数据库服务器")) &&
                     reason.contains("password authentication failed"),
                 qPrintable(reason));
        QVERIFY(box.endsWith(reason));
        QVERIFY(!log.isEmpty());
        QCOMPARE(log.last().section(' ', 2, -1), QStringLiteral("数据库打开失败：") + reason);
        QVERIFY2(connected, qPrintable(error));
        QCOMPARE(UseLogRows(env), logRows);
    }

    void foreignObjectsKeepTheFileUnopenedAndUnchanged()
    {
        SQLITE_FILE_ONLY();
        TestEnv env(false, false);
        const auto check = [](SqlConnection& c) {
            Schema::ObjectCheck result;
            QString error;
            if (!Schema::CheckObjects(c, &result, &error))
                result.foreign << "error: " + error;
            return result;
        };
        {
            // The engine's statistics are its own; an older schema is
            // measured against the steps up to its version.
            SqlConnection c;
            QVERIFY(c.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
            QVERIFY(c.ExecRaw("ANALYZE"));
            QVERIFY2(check(c).IsClean(), qPrintable(check(c).foreign.join(',') + check(c).missing.join(',')));
            SqlConnection old;
            QString error;
            QVERIFY(old.CreateInMemory());
            QVERIFY2(Schema::Upgrade(old, &error, 1), qPrintable(error));
            QVERIFY(check(old).IsClean());
            QVERIFY(old.ExecRaw("create index Extra on SaleInfo (Name)"));
            QCOMPARE(check(old).foreign, QStringList{QStringLiteral("Extra（索引）")});

            // A trigger that empties the records at the next usage-log row,
            // a view, a table, and one of our triggers with another body.
            QVERIFY(c.ExecRaw("create trigger Wipe after insert on UseLog begin delete from SaleInfo;"
                              " update AC_USERINFO set UserPass=''; end"));
            QVERIFY(c.ExecRaw("create view Everything as select * from SaleInfo"));
            QVERIFY(c.ExecRaw("create table Notes (x)"));
            QVERIFY(c.ExecRaw("drop trigger SaleFind_Insert"));
            QVERIFY(c.ExecRaw("create trigger SaleFind_Insert after insert on SaleInfo begin"
                              " delete from AC_USERINFO; end"));
        }
        const auto hash = [&] {
            QFile file(env.DatabaseFile());
            return file.open(QIODevice::ReadOnly)
                       ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                       : QByteArray();
        };
        const QByteArray before = hash();
        TDataM dm;
        QVERIFY(!dm.ConnectDatabase());
        QVERIFY2(dm.LastError().startsWith(QStringLiteral("数据库中含有本程序以外的数据库对象：")),
                 qPrintable(dm.LastError()));
        for (const char* name :
             {"Wipe（触发器）", "Everything（视图）", "Notes（表）", "SaleFind_Insert（触发器）"})
            QVERIFY2(dm.LastError().contains(QString::fromUtf8(name)), name);
        QVERIFY(!dm.LastError().contains(QStringLiteral("SaleInfo（")));
        QVERIFY(dm.StartErrorText().endsWith(dm.LastError()));
        QCOMPARE(env.CommandLogLines().last().section(' ', 2, -1),
                 QStringLiteral("数据库打开失败：") + dm.LastError());
        QCOMPARE(hash(), before);
        QVERIFY(!QFile::exists(env.DatabaseFile() + "-journal"));
        QVERIFY(!dm.ADOConn.IsOpen());

        // One of ours missing is refused as well.
        {
            SqlConnection c;
            QVERIFY(c.Open(SqlConnection::MakeConnectionString(env.DatabaseFile())));
            for (const char* sql : {"drop trigger Wipe", "drop view Everything", "drop table Notes",
                                    "drop trigger SaleFind_Insert"})
                QVERIFY(c.ExecRaw(sql));
        }
        QVERIFY(!dm.ConnectDatabase());
        QCOMPARE(dm.LastError(), QStringLiteral("数据库中缺少本程序的数据库对象：SaleFind_Insert（触发器）"));
    }

    void unstorableTextIsRefusedNamingTheField()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        QString error;
        const QString withNul = QStringLiteral("北京") + QChar(0) + QStringLiteral("路");
        QVERIFY(!ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"甲", withNul}, &error));
        QVERIFY2(error.contains(QStringLiteral("文本中含有不能保存的字符")) && error.contains("addr") &&
                     error.contains(QStringLiteral("空字符")),
                 qPrintable(error));
        // The log shows the statement without the NUL itself.
        QVERIFY(!env.CommandLogLines().join('\n').contains(QChar(0)));
        const QString lone = QStringLiteral("张") + QChar(0xD800) + QStringLiteral("三");
        QVERIFY(!ExecCommand("update SaleInfo set Phone=?, Memo=? where id=?", {"1", lone, 1}, &error));
        QVERIFY2(error.contains("Memo") && error.contains("U+D800"), qPrintable(error));
        MemDataset rows;
        QVERIFY(
            !OpenQuery("select * from SaleInfo where Name like ?", rows, {QString(QChar(0xDC00))}, &error));
        QVERIFY2(error.contains(QStringLiteral("字段 Name")), qPrintable(error));
        QCOMPARE(env.Scalar("select count(*) from SaleInfo").toInt(), 0);

        // A surrogate pair is one character like any other.
        const QString pair = QString::fromUcs4(U"客户\U0001F600");
        QVERIFY(ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {pair, "上海"}));
        QCOMPARE(env.Scalar("select Name from SaleInfo").toString(), pair);

        // The updatable dataset keeps the typed row and names the field.
        TableDataset sales;
        QVERIFY(sales.Open("SaleInfo"));
        sales.Append();
        sales.SetValue("Name", QStringLiteral("乙"));
        sales.SetValue("Phone", QStringLiteral("010") + QChar(0));
        QVERIFY(!sales.Post());
        QVERIFY2(sales.ErrorString().contains("Phone", Qt::CaseInsensitive), qPrintable(sales.ErrorString()));
        QCOMPARE(env.Scalar("select count(*) from SaleInfo").toInt(), 1);
    }

    // The change log's text of an inserted row, made in one pass, is the
    // text of the library's JSON functions: every byte below 128 (each
    // control character has its own escape or none), a character beyond 16
    // bits, bytes that are no UTF-8, NULL values, blob and number values
    // made texts, a name that needs quoting.
    void newValuesObjectIsTheLibrarysJsonText()
    {
        SQLITE_FILE_ONLY();
        TestEnv env;
        QVERIFY(env.IsValid());
        QString all;
        for (char16_t c = 1; c < 128; ++c)
            all += QChar(c);
        const QStringList values{all, QStringLiteral("北京\U0001F600"), QString(), QStringLiteral("\"\"")};
        for (const QString& value : values)
            for (const QString& name : {QStringLiteral("name"), QStringLiteral("a\"b\\c\nd")}) {
                SqlStatement both(
                    CurrentConnection(),
                    "select hex(NewValuesObject(?1, ?2, 'id', CAST(7 AS TEXT), 'x', CAST(x'ff41' "
                    "AS TEXT), 'n', NULL)), hex(json_object(?1, json_array(NULL, ?2), 'id', "
                    "json_array(NULL, CAST(7 AS TEXT)), 'x', json_array(NULL, CAST(x'ff41' AS "
                    "TEXT)), 'n', json_array(NULL, NULL))), "
                    // As the change log's insert trigger writes a value.
                    "hex(NewValuesObject('v', ?2)), hex('{\"v\":[null,'||json_quote(?2)||']}')");
                QVERIFY(both.Bind({name, value.isNull() ? SqlArg::Null() : SqlArg(value)}) && both.Step());
                QCOMPARE(both.ColumnValue(0).toString(), both.ColumnValue(1).toString());
                QCOMPARE(both.ColumnValue(2).toString(), both.ColumnValue(3).toString());
            }
        // Names and values come in pairs, a value is a text or NULL.
        QString error;
        QVERIFY(!ExecCommand("select NewValuesObject('a')", {}, &error));
        QVERIFY(!ExecCommand("select NewValuesObject('a', 1)", {}, &error));
    }

    void markTranslationKeepsQuotedText()
    {
        int n = 0;
        QCOMPARE(PgEngine::TranslateMarks("select '?', \"a?\" from t where a=? and b=? -- ?\n and c=?", &n),
                 QString("select '?', \"a?\" from t where a=$1 and b=$2 -- ?\n and c=$3"));
        QCOMPARE(n, 3);
        QCOMPARE(PgEngine::TranslateMarks("select 'it''s ?' where x=?", &n),
                 QString("select 'it''s ?' where x=$1"));
        QCOMPARE(n, 1);
    }
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("WEIBAO_COUNTER_CHILD"))
        return CounterChild();
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestDatabase test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_database.moc"
