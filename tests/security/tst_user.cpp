#include "DataAccess.h"
#include "PasswordHash.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TUser.h"

#include <QDate>
#include <QTest>

// The login rules of the user record and the password change, against a
// fresh database each.
class TestUser : public QObject
{
    Q_OBJECT

    static bool AddUser(const QString& id, const QString& name, const QString& storedPass,
                        const QString& isUse, const QString& passNotOver, const QVariant& passOverDate)
    {
        return ExecCommand(
            "insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver,PassOverDate) "
            "values (?,?,?,?,?,?)",
            {id, name, SqlArg::Secret(storedPass), isUse, passNotOver, SqlArg(passOverDate)});
    }

    static QString StoredPassword(const TestEnv& env, const QString& id)
    {
        return env.Scalar("select UserPass from AC_USERINFO where UserID=?", {id}).toString();
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void fourOutcomes()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        const QDate today = QDate::currentDate();
        QVERIFY(AddUser("OFF", "停用者", PasswordHash::Hash("pw"), "N", "Y", QVariant()));
        QVERIFY(AddUser("LOWER", "小写标志", PasswordHash::Hash("pw"), "y", "Y", QVariant()));
        QVERIFY(AddUser("TODAY", "今天到期", PasswordHash::Hash("pw"), "Y", "N", today));
        QVERIFY(AddUser("PAST", "昨天到期", PasswordHash::Hash("pw"), "Y", "N", today.addDays(-1)));
        QVERIFY(AddUser("NODATE", "没有日期", PasswordHash::Hash("pw"), "Y", "N", QVariant()));
        QVERIFY(AddUser("NEVER", "永不过期", PasswordHash::Hash("pw"), "Y", "Y", QVariant()));

        TUser user;
        QCOMPARE(user.Login("NOBODY", "pw"), int(TUser::WrongPassword));
        QCOMPARE(user.Login("ADMIN", "wrong"), int(TUser::WrongPassword));
        // Letter case counts in a password.
        QCOMPARE(user.Login("ADMIN", "ADMIN"), int(TUser::WrongPassword));
        QVERIFY(user.UserID.isEmpty());
        QCOMPARE(user.Login("ADMIN", "admin"), int(TUser::Success));
        QCOMPARE(user.UserID, QString("ADMIN"));
        QCOMPARE(user.UserName, QString("系统管理员"));

        // Refused accounts leave the logged-in user's record as it was.
        QCOMPARE(user.Login("OFF", "pw"), int(TUser::Disabled));
        QCOMPARE(user.UserName, QString("系统管理员"));
        QCOMPARE(user.UserID, QString("ADMIN"));
        QCOMPARE(user.UserPass, QString("admin"));
        QCOMPARE(user.Login("LOWER", "pw"), int(TUser::Disabled));
        QCOMPARE(user.Login("PAST", "pw"), int(TUser::Expired));
        QCOMPARE(user.UserName, QString("系统管理员"));
        QCOMPARE(user.UserID, QString("ADMIN"));
        QCOMPARE(user.Login("NODATE", "pw"), int(TUser::Expired));
        // Still valid on the expiry day itself; "Y" in PassNotOver ignores the date.
        QCOMPARE(user.Login("TODAY", "pw"), int(TUser::Success));
        QCOMPARE(user.Login("NEVER", "pw"), int(TUser::Success));
        QCOMPARE(user.UserID, QString("NEVER"));
        // A wrong password of a disabled account says nothing about the account.
        QCOMPARE(user.Login("OFF", "nope"), int(TUser::WrongPassword));

        // The code is taken as stored, whatever the case typed.
        QVERIFY(AddUser("abc", "小写代码", PasswordHash::Hash("pw"), "Y", "Y", QVariant()));
        QCOMPARE(user.Login("ABC", "pw"), int(TUser::Success));
        QCOMPARE(user.UserID, QString("abc"));
    }

    void legacyPlainPasswordIsUpgradedAtLogin()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        QVERIFY(AddUser("OLD", "老用户", "secret  ", "Y", "Y", QVariant()));
        TUser user;
        QCOMPARE(user.Login("OLD", "Secret"), int(TUser::WrongPassword));
        QCOMPARE(StoredPassword(env, "OLD"), QString("secret  "));
        // Stored trailing blanks do not count.
        QCOMPARE(user.Login("OLD", "secret"), int(TUser::Success));
        const QString stored = StoredPassword(env, "OLD");
        QVERIFY(PasswordHash::IsHash(stored));
        QVERIFY(!stored.contains("secret"));
        TUser again;
        QCOMPARE(again.Login("OLD", "secret"), int(TUser::Success));
        // The command log never shows the password or its hash.
        for (const QString& line : env.CommandLogLines())
            QVERIFY2(!line.contains(stored) && !line.contains("'secret'"), qPrintable(line));
    }

    void changePassword()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        ScriptedDialogs dialogs;
        TUser user;
        QCOMPARE(user.Login("ADMIN", "admin"), int(TUser::Success));
        const QString before = StoredPassword(env, "ADMIN");

        QVERIFY(!user.ChangePassword("Admin", "new"));
        QCOMPARE(dialogs.LastText(), QString("错误：原密码出错！"));
        QCOMPARE(StoredPassword(env, "ADMIN"), before);
        QCOMPARE(user.UserPass, QString("admin"));

        QVERIFY(user.ChangePassword("admin", "N3w pass"));
        QCOMPARE(dialogs.LastText(), QString("密码更改成功！"));
        QCOMPARE(user.UserPass, QString("N3w pass"));
        TUser other;
        QCOMPARE(other.Login("ADMIN", "admin"), int(TUser::WrongPassword));
        QCOMPARE(other.Login("ADMIN", "N3w pass"), int(TUser::Success));

        // The account was deleted meanwhile: nothing is stored, and it is said.
        QVERIFY(ExecCommand("delete from AC_USERINFO where UserID='ADMIN'"));
        QVERIFY(!user.ChangePassword("N3w pass", "third"));
        QCOMPARE(dialogs.LastText(), QString("错误：更改密码失败！"));
        QCOMPARE(user.UserPass, QString("N3w pass"));
    }
};

QTEST_GUILESS_MAIN(TestUser)
#include "tst_user.moc"
