#include "AppDir.h"
#include "DataAccess.h"
#include "SaleImport.h"
#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace {

// A PostgreSQL server of this suite's own, in a temporary folder and
// reached through its socket only, so that it can be stopped and started
// under a running connection without disturbing any other suite.  Under
// root it runs as "postgres", as the server insists.
class PrivateServer
{
public:
    ~PrivateServer() { Control({"stop", "-m", "immediate"}); }

    // Empty when running, else why not.
    QString Start()
    {
        const QStringList found = QDir(QStringLiteral("/usr/lib/postgresql"))
                                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& version : found)
            if (QFile::exists("/usr/lib/postgresql/" + version + "/bin/pg_ctl"))
                m_bin = "/usr/lib/postgresql/" + version + "/bin/";
        if (m_bin.isEmpty())
            return QStringLiteral("no pg_ctl below /usr/lib/postgresql");
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        m_user = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
        if (geteuid() == 0) {
            const passwd* postgres = getpwnam("postgres");
            if (!postgres ||
                chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0)
                return QStringLiteral("no user postgres to run the server as");
            m_user = QStringLiteral("postgres");
        }
        QString output;
        if (!Run(m_bin + "initdb",
                 {"-D", DataDir(), "-U", m_user, "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8",
                  "--no-sync"},
                 &output))
            return "initdb failed: " + output;
        return StartAgain() ? QString() : QStringLiteral("the server did not start");
    }

    bool StartAgain()
    {
        return Control({"start", "-w", "-l", m_dir.path() + "/server.log", "-o",
                        "-k " + m_dir.path() + " -c listen_addresses='' -c fsync=off -p 5439"});
    }
    bool Stop() { return Control({"stop", "-w", "-m", "fast"}); }
    bool Restart() { return Control({"restart", "-w", "-m", "fast"}); }

    // What TestEnv reads to put its databases on a server.
    void Export() const
    {
        qputenv("PGHOST", QFile::encodeName(m_dir.path()));
        qputenv("PGPORT", "5439");
        qputenv("PGUSER", m_user.toUtf8());
        qputenv("WEIBAO_TEST_ENGINE", "PostgreSQL");
    }

private:
    QString DataDir() const { return m_dir.path() + "/data"; }

    bool Control(const QStringList& arguments)
    {
        if (m_bin.isEmpty() || !QFile::exists(DataDir()))
            return false;
        QString output;
        return Run(m_bin + "pg_ctl", QStringList{"-D", DataDir()} + arguments, &output);
    }

    bool Run(const QString& program, const QStringList& arguments, QString* output)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0)
            process.start(QStringLiteral("runuser"),
                          QStringList{"-u", "postgres", "--", program} + arguments);
        else
            process.start(program, arguments);
        const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
                        process.exitCode() == 0;
        *output = QString::fromLocal8Bit(process.readAll());
        return ok;
    }

    QTemporaryDir m_dir{QStringLiteral("/tmp/weibao-reconnect-XXXXXX")};
    QString m_bin;
    QString m_user;
};

qint64 Count(const QString& sql)
{
    MemDataset rows;
    return OpenQuery(sql, rows) && !rows.IsEmpty() ? rows.Value(0).toLongLong() : -1;
}

int LinesWith(const TestEnv& env, const QString& text)
{
    int n = 0;
    for (const QString& line : env.CommandLogLines())
        n += line.contains(text) ? 1 : 0;
    return n;
}

// Makes the statements that insert a sale named `name` end their own
// session, as a server restart or an administrator would.
bool KillSessionOnInsertOf(const QString& name)
{
    SqlConnection* c = CurrentConnection();
    return c->ExecRaw(
               "create function end_session() returns trigger language plpgsql as $$ begin "
               "perform pg_terminate_backend(pg_backend_pid()); perform pg_sleep(5); return new; end $$") &&
           c->ExecRaw("create trigger end_session before insert on SaleInfo for each row when (new.Name = '" +
                      name + "') execute function end_session()");
}

} // namespace

// A server connection that breaks (the server restarted, the session ended)
// is made anew at the next statement; inside a transaction the transaction
// fails as a whole and the next one connects anew.
class TestReconnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString why = m_server.Start();
        if (!why.isEmpty())
            QSKIP(qPrintable("PostgreSQL not available: " + why));
        m_server.Export();
    }

    void restartBetweenTwoStatements()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        QSignalSpy resets(env.DataModule(), &TDataM::ConnectionReset);
        QCOMPARE(Count("select count(*) from SaleInfo"), 0);
        QVERIFY(m_server.Restart());

        // The write after the restart runs on a new connection, once told.
        QString error;
        QVERIFY2(ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"甲", "北京"}, &error),
                 qPrintable(error));
        QCOMPARE(resets.count(), 1);
        QCOMPARE(resets.at(0).at(0).toString(), QStringLiteral("与数据库服务器的连接已断开，已重新连接。"));
        QCOMPARE(LinesWith(env, SqlConnection::ReconnectedMessage()), 1);
        QCOMPARE(Count("select count(*) from SaleInfo"), 1);
        QCOMPARE(resets.count(), 1);

        // A server that is down: the statement fails and says so; once it
        // is back, the next statement reconnects.
        QVERIFY(m_server.Stop());
        QVERIFY(!ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"乙", "上海"}, &error));
        QVERIFY2(error.contains(QStringLiteral("重新连接失败")), qPrintable(error));
        QVERIFY(!CurrentConnection()->InTransaction());
        QVERIFY(m_server.StartAgain());
        SqlTransaction transaction(CurrentConnection());
        QVERIFY(transaction.IsActive());
        QVERIFY(ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"丙", "天津"}));
        QVERIFY(transaction.Commit());
        QCOMPARE(Count("select count(*) from SaleInfo"), 2);
        QCOMPARE(resets.count(), 2);
    }

    void sessionEndedInsideATransaction()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        QSignalSpy resets(env.DataModule(), &TDataM::ConnectionReset);
        const qint64 backend = Count("select pg_backend_pid()");
        {
            SqlTransaction transaction(CurrentConnection());
            QVERIFY(transaction.IsActive());
            QVERIFY(ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"甲", "北京"}));
            QString error;
            QVERIFY2(
                TestEnv::Maintain(QStringLiteral("select pg_terminate_backend(%1)").arg(backend), &error),
                qPrintable(error));
            // The server's end of the session takes a moment to close.
            SqlConnection admin;
            QVERIFY(admin.OpenServer(TestEnv::ServerFromEnvironment(QStringLiteral("postgres"))));
            for (int i = 0; i < 200; ++i) {
                SqlStatement alive(&admin,
                                   QStringLiteral("select count(*) from pg_stat_activity where pid = ?"));
                if (!alive.Bind({backend}) || !alive.Step() || alive.ColumnValue(0).toInt() == 0)
                    break;
                QThread::msleep(50);
            }

            QVERIFY(!ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"乙", "上海"}, &error));
            QCOMPARE(error, QStringLiteral("与数据库服务器的连接已断开，所做的修改已全部撤销"));
            QVERIFY(!CurrentConnection()->InTransaction());
            QVERIFY(CurrentConnection()->TransactionLost());
            // Nothing of the transaction runs on a new connection.
            QVERIFY(!ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"丙", "天津"}, &error));
            QCOMPARE(error, SqlConnection::TransactionLostMessage());
            QCOMPARE(resets.count(), 0);
            QVERIFY(!transaction.Commit());
            QCOMPARE(CurrentConnection()->ErrorString(), SqlConnection::TransactionLostMessage());
        }
        QVERIFY(!CurrentConnection()->TransactionLost());

        // The next transaction reconnects and works.
        {
            SqlTransaction transaction(CurrentConnection());
            QVERIFY(transaction.IsActive());
            QVERIFY(ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"丁", "重庆"}));
            QVERIFY(transaction.Commit());
        }
        QCOMPARE(resets.count(), 1);
        QCOMPARE(Count("select count(*) from SaleInfo"), 1);
        QCOMPARE(env.Scalar("select Name from SaleInfo").toString(), QStringLiteral("丁"));
    }

    void sessionEndedWhileAStatementRuns()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        QSignalSpy resets(env.DataModule(), &TDataM::ConnectionReset);
        QVERIFY(KillSessionOnInsertOf(QStringLiteral("断")));

        // Inside a transaction: the transaction is gone as a whole.
        {
            SqlTransaction transaction(CurrentConnection());
            QVERIFY(ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"甲", "北京"}));
            QString error;
            QVERIFY(!ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"断", "上海"}, &error));
            QCOMPARE(error, SqlConnection::TransactionLostMessage());
            QVERIFY(!transaction.Commit());
        }
        QCOMPARE(Count("select count(*) from SaleInfo"), 0);
        QCOMPARE(resets.count(), 1);

        // Outside one a write is not sent twice: it is reported as perhaps
        // not done, and the connection is new for the next statement.
        QString error;
        QVERIFY(!ExecCommand("insert into SaleInfo (Name, addr) values (?, ?)", {"断", "上海"}, &error));
        QVERIFY2(error.contains(QStringLiteral("已重新连接")) &&
                     error.contains(QStringLiteral("可能没有完成")),
                 qPrintable(error));
        QCOMPARE(resets.count(), 2);
        QCOMPARE(Count("select count(*) from SaleInfo"), 0);
        QCOMPARE(resets.count(), 2);
    }

    void lostConnectionDuringAnImportBlamesNoRow()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        QTemporaryDir folder;
        const QString file = folder.path() + "/sales.csv";
        {
            QFile csv(file);
            QVERIFY(csv.open(QIODevice::WriteOnly));
            csv.write(QStringLiteral("姓名,住址,购机日期\r\n甲,北京,2024-01-02\r\n乙,上海,2024-02-03\r\n"
                                     "断,天津,2024-03-04\r\n丁,重庆,2024-04-05\r\n")
                          .toUtf8());
        }
        SaleImport::Preview preview;
        QString error;
        QCOMPARE(SaleImport::Analyse(file, &preview, &error), SaleImport::Outcome::Done);
        QCOMPARE(preview.accepted, qint64(4));
        QVERIFY(KillSessionOnInsertOf(QStringLiteral("断")));
        qint64 written = -1;
        QCOMPARE(SaleImport::Write(preview, false, &written, &error), SaleImport::Outcome::Failed);
        QCOMPARE(error, SqlConnection::TransactionLostMessage());
        QCOMPARE(written, qint64(0));
        QVERIFY(!CurrentConnection()->TransactionLost());
        QCOMPARE(Count("select count(*) from SaleInfo"), 0);
    }

private:
    PrivateServer m_server;
};

QTEST_GUILESS_MAIN(TestReconnect)
#include "tst_reconnect.moc"
