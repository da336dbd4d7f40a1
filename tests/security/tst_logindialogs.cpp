#include "TfrmChangePassWord.h"
#include "DataAccess.h"
#include "TfrmLogin.h"
#include "PasswordHash.h"
#include "ScriptedDialogs.h"
#include "StartUp.h"
#include "TestEnv.h"
#include "TUser.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

// The login and change-password dialogs on their own: user list, input rules,
// refusals, cancelling during and after start-up, the confirmation box.  What
// a successful login does to the main window is tested with the main window.
class TestLoginDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    int m_terminated = 0;

    template <typename T> static T* Child(QWidget* parent, const char* name)
    {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }

    static void AddUser(const QString& id, const QString& name, const QString& isUse,
                        const QString& passNotOver, const QVariant& overDate)
    {
        QVERIFY(ExecCommand(
            "insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver,PassOverDate) "
            "values (?,?,?,?,?,?)",
            {id, name, SqlArg::Secret(PasswordHash::Hash("pw")), isUse, passNotOver, SqlArg(overDate)}));
    }

    // Shows the dialog as a window of its own and gives it the focus.
    static void ShowActive(QWidget* dialog)
    {
        dialog->show();
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_terminated = 0;
        SetTerminateHandler([this] { ++m_terminated; });
        StartingUp = false;
    }

    void cleanup()
    {
        SetTerminateHandler({});
        StartingUp = false;
        m_dialogs.reset();
        m_env.reset();
    }

    void userListHoldsEnabledUsers()
    {
        AddUser("ZHANG", " 张三 ", "Y", "Y", QVariant());
        AddUser("LI", "李四", "N", "Y", QVariant());
        TfrmLogin login;
        QCOMPARE(login.windowTitle(), QString("系统登录"));
        auto* combo = Child<QComboBox>(&login, "cmbUserID");
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        entries.sort();
        QCOMPARE(entries, QStringList({"ADMIN-系统管理员", "ZHANG-张三"}));
        QVERIFY(combo->currentText().isEmpty());
    }

    void inputIsUpperCaseAndCutAtDashOnLeaving()
    {
        TfrmLogin login;
        ShowActive(&login);
        auto* combo = Child<QComboBox>(&login, "cmbUserID");
        auto* password = Child<QLineEdit>(&login, "edtPassWord");
        combo->setFocus();
        QTest::keyClicks(combo, "ad-min");
        QCOMPARE(combo->currentText(), QString("AD-MIN"));
        password->setFocus();
        QCOMPARE(combo->currentText(), QString("AD"));

        combo->setFocus();
        combo->setCurrentIndex(0);
        QCOMPARE(combo->currentText(), QString("ADMIN-系统管理员"));
        QTest::keyClick(combo, Qt::Key_Tab);
        QCOMPARE(combo->currentText(), QString("ADMIN"));
        QVERIFY(password->hasFocus());
    }

    void completionListLeavesThePasswordBoxFree()
    {
        TfrmLogin login;
        ShowActive(&login);
        auto* combo = Child<QComboBox>(&login, "cmbUserID");
        auto* password = Child<QLineEdit>(&login, "edtPassWord");
        password->setText("abc");
        combo->setFocus();
        QTest::keyClicks(combo->lineEdit(), "a");
        QAbstractItemView* list = combo->completer()->popup();
        QTRY_VERIFY(list->isVisible());
        const QRect passwordBox(password->mapToGlobal(QPoint(0, 0)), password->size());
        QVERIFY(!list->geometry().intersects(passwordBox));
        // One click on the password box closes the list and puts the cursor there.
        const QPoint target = password->rect().center();
        QTest::mouseClick(list, Qt::LeftButton, Qt::NoModifier, list->mapFromGlobal(password->mapToGlobal(target)));
        QVERIFY(!list->isVisible());
        QVERIFY(password->hasFocus());
        QCOMPARE(password->cursorPosition(), password->cursorPositionAt(target));
        QCOMPARE(combo->currentText(), QString("A"));
    }

    void passwordsShowStarsUnderASkin()
    {
        qApp->setStyleSheet("QLineEdit { border: 1px solid #808080; }");
        TfrmLogin login;
        TfrmChangePassWord change;
        auto* password = Child<QLineEdit>(&login, "edtPassWord");
        password->setText("abc");
        QCOMPARE(password->displayText(), QString("***"));
        auto* confirmation = Child<QLineEdit>(&change, "txtNewPassWord2");
        confirmation->setText("ab");
        QCOMPARE(confirmation->displayText(), QString("**"));
        qApp->setStyleSheet(QString());
    }

    void enterRightAfterPickingLogsIn()
    {
        TUser user;
        TfrmLogin login;
        login.SetUser(&user);
        ShowActive(&login);
        auto* combo = Child<QComboBox>(&login, "cmbUserID");
        combo->setFocus();
        combo->setCurrentIndex(0);
        QCOMPARE(combo->currentText(), QString("ADMIN-系统管理员"));
        Child<QLineEdit>(&login, "edtPassWord")->setText("admin");
        QTest::keyClick(combo, Qt::Key_Return);
        QVERIFY(m_dialogs->Texts().isEmpty());
        QCOMPARE(user.UserID, QString("ADMIN"));
        QVERIFY(!login.isVisible());
    }

    void refusalsEmptyThePassword_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("no code") << "  "
                                 << "pw"
                                 << "请输入用户代码！";
        QTest::newRow("wrong password") << "ADMIN"
                                        << "Admin"
                                        << "用户密码有误，请重新输入！";
        QTest::newRow("unknown user") << "NOBODY"
                                      << "pw"
                                      << "用户密码有误，请重新输入！";
        QTest::newRow("disabled") << "OFF"
                                  << "pw"
                                  << "该账户已被禁用，请联系系统管理员！";
        QTest::newRow("expired") << "PAST"
                                 << "pw"
                                 << "该账户密码已过期，请联系系统管理员！";
    }

    void refusalsEmptyThePassword()
    {
        QFETCH(QString, code);
        QFETCH(QString, password);
        QFETCH(QString, message);
        AddUser("OFF", "停用", "N", "Y", QVariant());
        AddUser("PAST", "过期", "Y", "N", QDate::currentDate().addDays(-1));
        TUser user;
        TfrmLogin login;
        login.SetUser(&user);
        int loggedIn = 0;
        login.SetLoggedInHandler([&] { ++loggedIn; });
        login.show();
        Child<QComboBox>(&login, "cmbUserID")->setEditText(code);
        Child<QLineEdit>(&login, "edtPassWord")->setText(password);
        QTest::mouseClick(Child<QPushButton>(&login, "btnLogin"), Qt::LeftButton);
        QCOMPARE(m_dialogs->Texts(), QStringList({message}));
        // A missing code keeps the password; a refused login empties it.
        QCOMPARE(Child<QLineEdit>(&login, "edtPassWord")->text().isEmpty(), !code.trimmed().isEmpty());
        QCOMPARE(loggedIn, 0);
        QVERIFY(login.isVisible());
        QVERIFY(user.UserID.isEmpty());

        QTest::mouseClick(Child<QPushButton>(&login, "btnClear"), Qt::LeftButton);
        QVERIFY(Child<QComboBox>(&login, "cmbUserID")->currentText().isEmpty());
    }

    void successRunsTheHandlerWhileHiddenAndEndsStartUp()
    {
        StartingUp = true;
        TUser user;
        TfrmLogin login;
        login.SetUser(&user);
        bool hiddenDuringHandler = false;
        bool startingUpDuringHandler = true;
        QString userDuringHandOver = "unset";
        login.SetHandOverHandler([&] { userDuringHandOver = user.UserID; });
        login.SetLoggedInHandler([&] {
            hiddenDuringHandler = !login.isVisible();
            startingUpDuringHandler = StartingUp;
        });
        QTimer::singleShot(0, &login, [&] {
            Child<QComboBox>(&login, "cmbUserID")->setEditText("ADMIN");
            Child<QLineEdit>(&login, "edtPassWord")->setText("admin");
            Child<QPushButton>(&login, "btnLogin")->click();
        });
        QCOMPARE(login.exec(), int(QDialog::Accepted));
        QVERIFY(hiddenDuringHandler);
        QVERIFY(!startingUpDuringHandler);
        // The hand-over runs while the previous (here: nobody) is still current.
        QCOMPARE(userDuringHandOver, QString());
        QVERIFY(!StartingUp);
        QCOMPARE(user.UserID, QString("ADMIN"));
        QCOMPARE(m_terminated, 0);
        QVERIFY(m_dialogs->Texts().isEmpty());
    }

    void cancelEndsTheProgramOnlyDuringStartUp()
    {
        TUser user;
        TfrmLogin login;
        login.SetUser(&user);
        StartingUp = true;
        QTimer::singleShot(0, &login, [&] { Child<QPushButton>(&login, "btnEnd")->click(); });
        QCOMPARE(login.exec(), int(QDialog::Rejected));
        QCOMPARE(m_terminated, 1);
        QVERIFY(login.Cancelled());

        // The close box during start-up as well.
        QTimer::singleShot(0, &login, [&] { login.close(); });
        login.exec();
        QCOMPARE(m_terminated, 2);

        // Logging in again later: cancel keeps the user.
        StartingUp = false;
        QCOMPARE(user.Login("ADMIN", "admin"), int(TUser::Success));
        QTimer::singleShot(0, &login, [&] {
            QCOMPARE(Child<QComboBox>(&login, "cmbUserID")->currentText(), QString("ADMIN"));
            QVERIFY(Child<QLineEdit>(&login, "edtPassWord")->text().isEmpty());
            QTest::keyClick(&login, Qt::Key_Escape);
        });
        Child<QLineEdit>(&login, "edtPassWord")->setText("left over");
        login.Execute(user);
        QCOMPARE(m_terminated, 2);
        QCOMPARE(user.UserID, QString("ADMIN"));
    }

    void changePasswordNeedsMatchingConfirmation()
    {
        TUser user;
        QCOMPARE(user.Login("ADMIN", "admin"), int(TUser::Success));
        const QString before =
            m_env->Scalar("select UserPass from AC_USERINFO where UserID='ADMIN'").toString();
        TfrmChangePassWord dialog;
        QCOMPARE(dialog.windowTitle(), QString("更改密码"));
        auto* oldPass = Child<QLineEdit>(&dialog, "txtOldPassWord");
        auto* new1 = Child<QLineEdit>(&dialog, "txtNewPassWord1");
        auto* new2 = Child<QLineEdit>(&dialog, "txtNewPassWord2");
        auto* confirm = Child<QPushButton>(&dialog, "cmdConfirm");
        bool stillOpen = false;
        QTimer::singleShot(0, &dialog, [&] {
            QVERIFY(oldPass->text().isEmpty() && new1->text().isEmpty() && new2->text().isEmpty());
            oldPass->setText("admin");
            new1->setText("one");
            new2->setText("onE");
            confirm->click();
            // Wrong old password: the inputs keep their contents.
            new2->setText("one");
            oldPass->setText("bad");
            confirm->click();
            stillOpen = dialog.isVisible();
            oldPass->setText("admin");
            confirm->click();
        });
        oldPass->setText("stale");
        QVERIFY(dialog.Execute(user));
        QVERIFY(stillOpen);
        QCOMPARE(m_dialogs->Texts(), QStringList({"两次输入的新密码不一致，请重新输入！",
                                                  "错误：原密码出错！", "密码更改成功！"}));
        QVERIFY(m_env->Scalar("select UserPass from AC_USERINFO where UserID='ADMIN'").toString() != before);
        TUser check;
        QCOMPARE(check.Login("ADMIN", "one"), int(TUser::Success));

        // Cancel: false, nothing changed.
        QTimer::singleShot(0, &dialog, [&] {
            new1->setText("two");
            new2->setText("two");
            Child<QPushButton>(&dialog, "cmdCancel")->click();
        });
        QVERIFY(!dialog.Execute(user));
        QCOMPARE(check.Login("ADMIN", "one"), int(TUser::Success));
    }
};

QTEST_MAIN(TestLoginDialogs)
#include "tst_logindialogs.moc"
