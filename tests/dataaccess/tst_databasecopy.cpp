// Moving a shop's data between SQLite and PostgreSQL (--copy-database).
// Every case but the first needs a server: without one they skip.
#include "AppDir.h"
#include "DataAccess.h"
#include "DatabaseCopy.h"
#include "IniFile.h"
#include "Schema.h"
#include "Settings.h"
#include "TestEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

namespace {

// A fresh, empty database on the test server, dropped afterwards.
class ServerDatabase
{
public:
    ServerDatabase()
    {
        static int counter = 0;
        m_name = QStringLiteral("weibao_copy_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        m_valid = Maintain("DROP DATABASE IF EXISTS " + m_name) && Maintain("CREATE DATABASE " + m_name);
    }
    ~ServerDatabase() { Maintain("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)"); }
    bool IsValid() const { return m_valid; }
    QString Name() const { return m_name; }
    bool Open(SqlConnection& connection) const { return TestEnv::OpenNamed(connection, m_name, {}); }

private:
    static bool Maintain(const QString& sql)
    {
        SqlConnection admin;
        return TestEnv::OpenNamed(admin, QStringLiteral("postgres"), {}) && admin.ExecRaw(sql);
    }
    QString m_name;
    bool m_valid = false;
};

QStringList TablesOf(SqlConnection& connection)
{
    QStringList tables;
    const QString sql =
        connection.IsServer()
            ? "select table_name from information_schema.tables where table_schema=current_schema()"
            : "select name from sqlite_master where type='table'";
    SqlStatement statement(&connection, sql);
    while (statement.Step())
        tables << statement.ColumnValue(0).toString().toLower();
    return tables;
}

qint64 Count(SqlConnection& connection, const QString& sql, const SqlArgs& args = {})
{
    SqlStatement statement(&connection, sql);
    if (!statement.Bind(args) || !statement.Step())
        return -1;
    return statement.ColumnValue(0).toLongLong();
}

} // namespace

class TestDatabaseCopy : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void dataTablesAreEveryTableOfTheSchema();
    void roundTripGivesIdenticalTables();
    void nonEmptyTargetIsRefused();
    void unstorableValuesAreRefusedByRecord();
    void checksumMismatchRollsEverythingBack();
    void commandCopiesTheConfiguredDatabaseBothWays();
    void newSqliteFileTakesItsNameOnlyWhenComplete();
    void foreignObjectsInTheSourceAreRefused();

private:
    // Quorel.ini names the server database `name` with `engine` configured.
    void Configure(const QString& engine, const QString& name);
    void NeedServer();
    // Rows a shop's database may hold that an engine could get wrong.
    void AddAwkwardRows();
    // Every table of both databases has the same checksum and rows.
    void CompareAllTables(SqlConnection& a, SqlConnection& b);

    std::unique_ptr<TestEnv> m_env;
    QStringList m_lines;
    DatabaseCopy::Report m_report = [this](const QString& line) { m_lines << line; };
};

void TestDatabaseCopy::init()
{
    if (TestEnv::OnServer())
        QSKIP("the copy starts from SQLite and makes its own server databases");
    m_lines.clear();
    m_env = std::make_unique<TestEnv>(true);
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
}

void TestDatabaseCopy::cleanup()
{
    m_env.reset();
}

void TestDatabaseCopy::NeedServer()
{
    if (!TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
}

void TestDatabaseCopy::AddAwkwardRows()
{
    const QString none = QStringLiteral("无");
    // Gaps in the ids, and a deleted last id the counter must remember.
    QVERIFY(ExecCommand("delete from RepairInfo where SaleID in (2,3,5)"));
    QVERIFY(ExecCommand("delete from SaleInfo where id in (2,3,5)"));
    QVERIFY(ExecCommand("insert into SaleInfo (id, Name, addr) values (?,?,?)", {500, "x", "y"}));
    QVERIFY(ExecCommand(
        "insert into SaleInfo (id, Name, addr, Phone, Fax, Mobile, BuyDate, OverRun, TB, Memo,"
        " Other, CPU) values (?,?,?,?,?,?,?,?,?,?,?,?)",
        {900, QStringLiteral("张三李四王五赵六"), QStringLiteral("O'Brien \"路\"; drop table x;--"),
         QString(""), SqlArg::Null(), QString("1234567890123 5"), QString("2024-02-29 23:59:59"),
         QString("2025-03-01"), "1", QStringLiteral("第一行\n第二行\t制表 \\ 反斜杠 ' \" 😀"),
         QString(200, QChar(u'长')), QString(40, QChar('c'))}));
    QVERIFY(ExecCommand("insert into SaleInfo (id, Name, addr, RowVersion) values (?,?,?,?)",
                        {1000, "gone", "gone", 7}));
    QVERIFY(ExecCommand("delete from SaleInfo where id in (500, 1000)"));
    QVERIFY(ExecCommand("update SaleInfo set RowVersion=5 where id=900"));
    // Keyless tables keep their row numbers, gaps included.
    QVERIFY(ExecCommand("insert into UseLog (UserID, UserName, LogTime, LogText) values (?,?,?,?)",
                        {"a", SqlArg::Null(), QString("2026-01-01 08:00:00"), QString("")}));
    QVERIFY(ExecCommand("insert into UseLog (rowid, UserID, LogText) values (?,?,?)", {77, "b", "'"}));
    QVERIFY(ExecCommand("insert into AC_USERINFO (UserID, UserName, IsUse) values (?,?,?)",
                        {"MixedCase", QStringLiteral("混合"), "1"}));
    QVERIFY(ExecCommand("insert into AC_ROLE_USER (RoleID, UserID) values (?,?)", {1, "mixedcase"}));
    QVERIFY(ExecCommand("insert into AC_Company (name, cn1) values (?,?)", {QStringLiteral("本店"), none}));
}

void TestDatabaseCopy::CompareAllTables(SqlConnection& a, SqlConnection& b)
{
    for (const QString& table : Schema::DataTables()) {
        DatabaseCopy::TableSum first, second;
        QString error;
        QVERIFY2(DatabaseCopy::Checksum(a, table, &first, &error), qPrintable(error));
        QVERIFY2(DatabaseCopy::Checksum(b, table, &second, &error), qPrintable(error));
        QCOMPARE(second.rows, first.rows);
        QVERIFY2(second.digest == first.digest, qPrintable(table));
    }
}

void TestDatabaseCopy::dataTablesAreEveryTableOfTheSchema()
{
    // A table added to the schema but not to the list would be left behind.
    QStringList expected;
    for (const QString& table : Schema::DataTables())
        expected << table.toLower();
    QStringList found;
    for (const QString& table : TablesOf(*CurrentConnection()))
        if (!table.startsWith("sqlite_") && !table.startsWith("salefind") && !table.startsWith("salephonefind"))
            found << table;
    expected.sort();
    found.sort();
    QCOMPARE(found, expected);
}

void TestDatabaseCopy::roundTripGivesIdenticalTables()
{
    NeedServer();
    AddAwkwardRows();
    ServerDatabase server;
    QVERIFY(server.IsValid());
    SqlConnection pg;
    QVERIFY2(server.Open(pg), qPrintable(pg.ErrorString()));
    QString error;
    QVERIFY2(DatabaseCopy::Copy(*CurrentConnection(), pg, m_report, &error), qPrintable(error));
    QCOMPARE(Schema::Version(pg), Schema::CurrentVersion);
    QVERIFY(m_lines.join('\n').contains(QStringLiteral("SaleInfo：")));
    CompareAllTables(*CurrentConnection(), pg);

    const QString back = m_env->Dir() + "back.mdb";
    SqlConnection lite;
    QVERIFY(lite.Create(back));
    QVERIFY2(DatabaseCopy::Copy(pg, lite, m_report, &error), qPrintable(error));
    CompareAllTables(*CurrentConnection(), lite);

    // Values exactly as they were, not merely equal checksums.
    SqlStatement row(&lite, "select Name, addr, Phone, Fax, Memo, BuyDate, OverRun, RowVersion, length(Other)"
                            " from SaleInfo where id=900");
    QVERIFY(row.Step());
    QCOMPARE(row.ColumnValue(0).toString(), QStringLiteral("张三李四王五赵六"));
    QCOMPARE(row.ColumnValue(1).toString(), QStringLiteral("O'Brien \"路\"; drop table x;--"));
    QVERIFY(row.ColumnIsText(2) && row.ColumnValue(2).toString().isEmpty());
    QVERIFY(row.ColumnIsNull(3));
    QCOMPARE(row.ColumnValue(4).toString(), QStringLiteral("第一行\n第二行\t制表 \\ 反斜杠 ' \" 😀"));
    QCOMPARE(row.ColumnValue(5).toString(), QString("2024-02-29 23:59:59"));
    QCOMPARE(row.ColumnValue(6).toString(), QString("2025-03-01 00:00:00"));
    QCOMPARE(row.ColumnValue(7).toLongLong(), 5);
    QCOMPARE(row.ColumnValue(8).toLongLong(), 200);
    QCOMPARE(Count(lite, "select count(*) from UseLog where rowid=77 and LogText=?", {"'"}), 1);

    // Deleted ids stay used on both engines; the quick-find index follows.
    for (SqlConnection* connection : {&pg, &lite}) {
        SqlStatement insert(connection, "insert into SaleInfo (Name, addr) values ('n','a') returning id");
        QVERIFY(insert.Step());
        QCOMPARE(insert.ColumnValue(0).toLongLong(), 1001);
    }
    QCOMPARE(
        Count(lite, "select count(*) from SaleFind where SaleFind match ?", {QStringLiteral("\"李四王\"")}),
        1);
    QCOMPARE(
        Count(lite, "select count(*) from SaleFind where SaleFind match ?", {QStringLiteral("\"Brien\"")}),
        1);
}

void TestDatabaseCopy::nonEmptyTargetIsRefused()
{
    NeedServer();
    ServerDatabase server;
    QVERIFY(server.IsValid());
    SqlConnection pg;
    QVERIFY(server.Open(pg));
    QString error;
    QVERIFY(Schema::Upgrade(pg, &error));
    QVERIFY(pg.ExecRaw("insert into AreaData (Code, City) values ('100000', '北京')"));

    QVERIFY(!DatabaseCopy::Copy(*CurrentConnection(), pg, m_report, &error));
    QVERIFY2(error.contains("AreaData") && error.contains(QStringLiteral("不是空的")), qPrintable(error));
    QCOMPARE(Count(pg, "select count(*) from AreaData"), 1);
    QCOMPARE(Count(pg, "select count(*) from SaleInfo"), 0);
    QCOMPARE(Count(pg, "select count(*) from AC_USERINFO"), 0);
    QVERIFY(m_lines.isEmpty());
}

void TestDatabaseCopy::unstorableValuesAreRefusedByRecord()
{
    NeedServer();
    const qint64 id = m_env->Scalar("select max(id) from SaleInfo").toLongLong();
    QVERIFY(ExecCommand("update SaleInfo set BuyDate=? where id=?", {QStringLiteral("去年秋天"), id}));
    const qint64 longName = id - 1;
    QVERIFY(ExecCommand("update SaleInfo set Name=? where id=?",
                        {QStringLiteral("一二三四五六七八九"), longName}));

    ServerDatabase server;
    QVERIFY(server.IsValid());
    SqlConnection pg;
    QVERIFY(server.Open(pg));
    QString error;
    QVERIFY(!DatabaseCopy::Copy(*CurrentConnection(), pg, m_report, &error));
    // The first one met (ids in order) is named: table, key, column, value.
    for (const QString& part : {QString("SaleInfo"), QString("id=%1").arg(longName), QString("Name"),
                                QStringLiteral("一二三四五六七八九"), QStringLiteral("没有任何改变")})
        QVERIFY2(error.contains(part), qPrintable(error));
    // Nothing at all: not even the tables.
    QCOMPARE(Schema::Version(pg), 0);
    QVERIFY(TablesOf(pg).isEmpty());

    QVERIFY(ExecCommand("update SaleInfo set Name='ok' where id=?", {longName}));
    QVERIFY(!DatabaseCopy::Copy(*CurrentConnection(), pg, m_report, &error));
    for (const QString& part :
         {QString("SaleInfo"), QString("id=%1").arg(id), QString("BuyDate"), QStringLiteral("去年秋天")})
        QVERIFY2(error.contains(part), qPrintable(error));
    QVERIFY(TablesOf(pg).isEmpty());
}

void TestDatabaseCopy::checksumMismatchRollsEverythingBack()
{
    NeedServer();
    ServerDatabase server;
    QVERIFY(server.IsValid());
    SqlConnection pg;
    QVERIFY(server.Open(pg));
    QString error;
    QVERIFY(Schema::Upgrade(pg, &error));
    // A target that quietly stores something else than it was given.
    QVERIFY(pg.ExecRaw("CREATE FUNCTION shout() RETURNS trigger AS $$ BEGIN NEW.name := upper(NEW.name);"
                       " RETURN NEW; END $$ LANGUAGE plpgsql"));
    QVERIFY(
        pg.ExecRaw("CREATE TRIGGER shout BEFORE INSERT ON SaleInfo FOR EACH ROW EXECUTE FUNCTION shout()"));
    QVERIFY(ExecCommand("update SaleInfo set Name='abc' where id=(select min(id) from SaleInfo)"));

    QVERIFY(!DatabaseCopy::Copy(*CurrentConnection(), pg, m_report, &error));
    QVERIFY2(error.contains("SaleInfo") && error.contains(QStringLiteral("校验失败")), qPrintable(error));
    // Tables copied and checked before SaleInfo are gone again too.
    for (const QString& table : Schema::DataTables())
        QCOMPARE(Count(pg, "select count(*) from " + table), 0);
    QVERIFY(m_lines.join('\n').contains("AC_USERINFO"));
}

void TestDatabaseCopy::commandCopiesTheConfiguredDatabaseBothWays()
{
    NeedServer();
    ServerDatabase server;
    QVERIFY(server.IsValid());
    // The server's keys are filled in while SQLite is still the engine.
    IniFile ini(Settings::IniPath());
    QVERIFY(ini.WriteString("Database", "Engine", "SQLite"));
    QVERIFY(ini.WriteString("Database", "Host", qEnvironmentVariable("PGHOST")));
    QVERIFY(ini.WriteString("Database", "Port", qEnvironmentVariable("PGPORT")));
    QVERIFY(ini.WriteString("Database", "Name", server.Name()));
    QVERIFY(ini.WriteString("Database", "User", qEnvironmentVariable("PGUSER")));

    QString error;
    QVERIFY(!DatabaseCopy::CopyConfigured("sqlite", m_report, &error));
    QVERIFY2(error.contains("--to postgresql"), qPrintable(error));
    QVERIFY(!DatabaseCopy::CopyConfigured("mysql", m_report, &error));
    QVERIFY2(DatabaseCopy::CopyConfigured("PostgreSQL", m_report, &error), qPrintable(error));
    // A second run meets a full server and changes nothing.
    QVERIFY(!DatabaseCopy::CopyConfigured("postgresql", m_report, &error));
    QVERIFY2(error.contains(QStringLiteral("不是空的")), qPrintable(error));

    // The other way: the server is the engine, data.mdb is made anew.
    const QString original = m_env->Dir() + "original.mdb";
    m_env->DataModule()->DisconnectDatabase();
    QVERIFY(QFile::rename(m_env->DatabaseFile(), original));
    QVERIFY(ini.WriteString("Database", "Engine", "PostgreSQL"));
    QVERIFY2(DatabaseCopy::CopyConfigured("sqlite", m_report, &error), qPrintable(error));
    SqlConnection before, after;
    QVERIFY(before.Open(SqlConnection::MakeConnectionString(original)));
    QVERIFY(after.Open(SqlConnection::MakeConnectionString(m_env->DatabaseFile())));
    CompareAllTables(before, after);
    QCOMPARE(Schema::Version(after), Schema::CurrentVersion);
}

void TestDatabaseCopy::Configure(const QString& engine, const QString& name)
{
    IniFile ini(Settings::IniPath());
    QVERIFY(ini.WriteString("Database", "Engine", engine));
    QVERIFY(ini.WriteString("Database", "Host", qEnvironmentVariable("PGHOST")));
    QVERIFY(ini.WriteString("Database", "Port", qEnvironmentVariable("PGPORT")));
    QVERIFY(ini.WriteString("Database", "Name", name));
    QVERIFY(ini.WriteString("Database", "User", qEnvironmentVariable("PGUSER")));
}

void TestDatabaseCopy::newSqliteFileTakesItsNameOnlyWhenComplete()
{
    NeedServer();
    ServerDatabase server;
    QVERIFY(server.IsValid());
    Configure("SQLite", server.Name());
    QString error;
    QVERIFY2(DatabaseCopy::CopyConfigured("postgresql", m_report, &error), qPrintable(error));
    m_env->DataModule()->DisconnectDatabase();
    const QString file = m_env->DatabaseFile();
    const QString building = file + ".copying";
    QVERIFY(QFile::remove(file));
    Configure("PostgreSQL", server.Name());

    // A copy that fails half-way leaves neither name behind.
    SqlConnection pg;
    QVERIFY(server.Open(pg));
    QVERIFY(pg.ExecRaw("alter table AreaData add column Extra integer"));
    QVERIFY(!DatabaseCopy::CopyConfigured("sqlite", m_report, &error));
    QVERIFY2(error.contains("AreaData"), qPrintable(error));
    QVERIFY(!QFile::exists(file));
    QVERIFY(!QFile::exists(building));
    QVERIFY(pg.ExecRaw("alter table AreaData drop column Extra"));

    // What a copy killed half-way left is cleared by the next one, which
    // puts a complete file in place.
    for (const QString& leftover : {building, building + "-journal"}) {
        QFile junk(leftover);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(512, '\0'));
    }
    QVERIFY2(DatabaseCopy::CopyConfigured("sqlite", m_report, &error), qPrintable(error));
    QVERIFY(!QFile::exists(building));
    QVERIFY(!QFile::exists(building + "-journal"));
    SqlConnection copied;
    QVERIFY(copied.Open(SqlConnection::MakeConnectionString(file)));
    QCOMPARE(Schema::Version(copied), Schema::CurrentVersion);
    QCOMPARE(Count(copied, "select count(*) from SaleInfo"), Count(pg, "select count(*) from SaleInfo"));
    QVERIFY(Count(copied, "select count(*) from SaleInfo") > 0);
}

void TestDatabaseCopy::foreignObjectsInTheSourceAreRefused()
{
    NeedServer();
    ServerDatabase server;
    QVERIFY(server.IsValid());
    QVERIFY(CurrentConnection()->ExecRaw(
        "create trigger Wipe after insert on UseLog begin delete from SaleInfo; end"));
    SqlConnection pg;
    QVERIFY(server.Open(pg));
    QString error;
    QVERIFY(!DatabaseCopy::Copy(*CurrentConnection(), pg, m_report, &error));
    QVERIFY2(error.contains(QStringLiteral("源数据库")) &&
                 error.contains(QStringLiteral("本程序以外的数据库对象")) &&
                 error.contains(QStringLiteral("Wipe（触发器）")),
             qPrintable(error));
    QCOMPARE(TablesOf(pg), QStringList());
}

QTEST_MAIN(TestDatabaseCopy)
#include "tst_databasecopy.moc"
