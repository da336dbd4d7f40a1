#include "DataAccess.h"
#include "TDataM.h"
#include "TUser.h"
#include "TestEnv.h"

#include <QProcess>
#include <QTest>

// A shop whose only administrator is locked out gets back in with
// "weibao --reset-password": the program run in a terminal on the configured
// database, then a real login.
class TestPasswordRecovery : public QObject
{
    Q_OBJECT

    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    static Run RunProgram(const QStringList& arguments)
    {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QStringLiteral(WEIBAO_EXE), arguments);
        Run run;
        if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit)
            return run;
        run.exitCode = child.exitCode();
        run.out = QString::fromUtf8(child.readAllStandardOutput());
        run.err = QString::fromUtf8(child.readAllStandardError());
        return run;
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void disabledAndExpiredAdministratorLogsInAgain()
    {
        TestEnv env(false, false);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        {
            SqlConnection c;
            QVERIFY(env.OpenSecondConnection(c));
            QVERIFY(c.ExecRaw("update AC_USERINFO set IsUse='N', PassNotOver='N', PassOverDate='2020-01-01 00:00:00',"
                              " UserPass='forgotten' where UserID='ADMIN'"));
        }
        const Run unknown = RunProgram({"--home", env.Dir(), "--reset-password", "NOBODY"});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY2(unknown.err.contains("NOBODY"), qPrintable(unknown.err));

        const Run run = RunProgram({"--home", env.Dir(), "--reset-password", "admin"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains("ADMIN"), qPrintable(run.out));

        TDataM dm;
        QVERIFY2(dm.ConnectDatabase(), qPrintable(dm.LastError()));
        TUser user;
        QCOMPARE(user.Login("ADMIN", "ADMIN"), int(TUser::Success));
        QCOMPARE(user.Login("ADMIN", "forgotten"), int(TUser::WrongPassword));
        QCOMPARE(env.Scalar("select UserID from UseLog where LogText=?", {"命令行重置密码：ADMIN"}).toString(),
                 QString("ADMIN"));
        // The password is stored hashed and the log shows none of it.
        QVERIFY(env.Scalar("select UserPass from AC_USERINFO where UserID='ADMIN'").toString().startsWith("$argon2"));
        QVERIFY(!env.CommandLogLines().join('\n').contains("$argon2"));
        dm.DisconnectDatabase();
    }

    void aValidExpiryDateIsKept()
    {
        TestEnv env(false, false);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        const QDate later = QDate::currentDate().addDays(30);
        {
            SqlConnection c;
            QVERIFY(env.OpenSecondConnection(c));
            SqlStatement update(&c, "update AC_USERINFO set PassNotOver='N', PassOverDate=? where UserID='ADMIN'");
            QVERIFY(update.Exec({later}));
        }
        QCOMPARE(RunProgram({"--home", env.Dir(), "--reset-password", "ADMIN"}).exitCode, 0);
        TDataM dm;
        QVERIFY2(dm.ConnectDatabase(), qPrintable(dm.LastError()));
        QCOMPARE(env.Scalar("select PassNotOver from AC_USERINFO where UserID='ADMIN'").toString(), QString("N"));
        TUser user;
        QCOMPARE(user.Login("ADMIN", "ADMIN"), int(TUser::Success));
        dm.DisconnectDatabase();
    }
};

QTEST_MAIN(TestPasswordRecovery)
#include "tst_passwordrecovery.moc"
