#include "AccountGuard.h"
#include "DataAccess.h"
#include "FunctionTree.h"
#include "PasswordHash.h"
#include "ScriptedDialogs.h"
#include "SessionRights.h"
#include "StartUp.h"
#include "TFrmUser.h"
#include "TUser.h"
#include "TestEnv.h"
#include "TfrmLogin.h"
#include "VersionedRow.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

// The user administration driven through its controls: modes, validation,
// the grant list, sub-rights, all-or-nothing saves and deletes, and the
// accounts it creates logging in through the real login dialog.
class TestUserAdmin : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QSet<QString> m_granted;

    template <typename T> static T* Child(QWidget* parent, const char* name)
    {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }

    static QTreeWidgetItem* Row(QTreeWidget* list, const QString& caption)
    {
        const auto found = list->findItems(caption, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }

    static QStringList Column(QTreeWidget* list, int column)
    {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            texts << list->topLevelItem(i)->text(column);
        return texts;
    }

    static QStringList Grants(const QString& userID)
    {
        QStringList grants;
        MemDataset rows;
        if (OpenQuery("select 'R'||RoleID from AC_ROLE_USER where UserID=? union all "
                      "select 'F'||FunctionID from AC_FUNCTION_USER where UserID=?",
                      rows, {userID, userID}))
            for (rows.First(); !rows.Eof(); rows.Next())
                grants << rows.Value(0).toString();
        grants.sort();
        return grants;
    }

    static void Click(QWidget* form, const char* button) { Child<QAbstractButton>(form, button)->click(); }

    // Every grant row as stored, with the row's identity: a rewrite that
    // puts the same grants back still shows.
    QString StoredGrantRows() const
    {
        QStringList rows;
        for (const char* sql : {"select rowid,RoleID,UserID from AC_ROLE_USER order by rowid",
                                "select rowid,FunctionID,UserID from AC_FUNCTION_USER order by rowid"}) {
            MemDataset data;
            if (!OpenQuery(sql, data))
                return "unreadable";
            for (data.First(); !data.Eof(); data.Next())
                rows << data.Value(0).toString() + "|" + data.Value(1).toString() + "|" + data.Value(2).toString();
        }
        return rows.join(';');
    }

    static void AddUserRow(const char* id, const char* name, const char* isUse = "Y", const char* notOver = "Y",
                           const QVariant& overDate = {})
    {
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,IsUse,PassNotOver,PassOverDate) "
                            "values (?,?,?,?,?)",
                            {id, QString::fromUtf8(name), isUse, notOver, SqlArg(overDate)}));
    }

    // Types a new user's code and name into the add mode of `form`.
    static void TypeUser(QWidget* form, const QString& code, const QString& name)
    {
        auto* id = Child<QLineEdit>(form, "edtUserID");
        id->clear();
        QTest::keyClicks(id, code);
        Child<QLineEdit>(form, "edtUserName")->setText(name);
    }

    // One attempt through the real login dialog; the texts it showed.
    QStringList LogIn(const QString& code, const QString& password, TUser& user)
    {
        m_dialogs->ClearRecords();
        TfrmLogin login;
        login.SetUser(&user);
        login.SetLoggedInHandler([] {});
        QTimer::singleShot(0, &login, [&] {
            Child<QComboBox>(&login, "cmbUserID")->setEditText(code);
            Child<QLineEdit>(&login, "edtPassWord")->setText(password);
            Child<QPushButton>(&login, "btnLogin")->click();
            if (login.isVisible())
                Child<QPushButton>(&login, "btnEnd")->click();
        });
        login.exec();
        return m_dialogs->Texts();
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_granted = {"400131", "400132"};
        SessionRights::Install([this](const QString& id) { return m_granted.contains(id); },
                               [] { return QStringLiteral("ADMIN"); });
        StartingUp = false;
    }

    void cleanup()
    {
        SessionRights::Uninstall();
        QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join("; ")));
        m_dialogs.reset();
        m_env.reset();
    }

    void addValidatesAndStoresTheUserWithItsGrants()
    {
        TFrmUser form;
        form.show();
        QCOMPARE(form.size(), QSize(710, 546));
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        QCOMPARE(Column(users, 0), QStringList({"ADMIN"}));

        Click(&form, "btnAdd");
        QCOMPARE(form.EditMode, QString("ADD"));
        QCOMPARE(Child<QLabel>(&form, "lblState")->text(), QString("添加用户"));
        QVERIFY(Child<QLineEdit>(&form, "edtUserID")->isEnabled());
        QCOMPARE(Child<QLineEdit>(&form, "edtUserID")->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(!Child<QDateEdit>(&form, "dtOutOfDate")->isEnabled());
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(),
                 QString("添加用户时发生以下错误：\n\r\n\r用户代码不能为空\n\r用户姓名不能为空"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO").toInt(), 1);

        // Lower case becomes upper case; the eleventh character is refused.
        TypeUser(&form, "zhang12345x", "张三");
        QCOMPARE(Child<QLineEdit>(&form, "edtUserID")->text(), QString("ZHANG12345"));
        TypeUser(&form, "admin", "重名");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加用户时发生以下错误：\n\r\n\r用户代码已经存在"));

        TypeUser(&form, "zhang", "张三");
        Child<QComboBox>(&form, "cmbSex")->setCurrentIndex(1);
        Child<QLineEdit>(&form, "edtMobileTel")->setText("13900001111");
        auto* expiry = Child<QRadioButton>(&form, "rbOutOfDate");
        expiry->click();
        QVERIFY(Child<QDateEdit>(&form, "dtOutOfDate")->isEnabled());
        Child<QDateEdit>(&form, "dtOutOfDate")->setDate(QDate::currentDate().addDays(30));
        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        roles->setCurrentItem(roles->topLevelItem(0));
        Click(&form, "btnAddRole");
        auto* tree = Child<QTreeWidget>(&form, "tvRight");
        tree->setCurrentItem(tree->topLevelItem(0));
        Click(&form, "btnAddFunc");
        QCOMPARE(Column(Child<QTreeWidget>(&form, "lvRight"), 1), QStringList({"角色", "功能"}));
        m_dialogs->ClearRecords();
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->Texts(), QStringList({"添加用户成功"}));

        // The new row at the end, the form still adding, with empty fields.
        QCOMPARE(Column(users, 0), QStringList({"ADMIN", "ZHANG"}));
        QCOMPARE(form.EditMode, QString("ADD"));
        QVERIFY(Child<QLineEdit>(&form, "edtUserID")->text().isEmpty());
        QCOMPARE(Child<QTreeWidget>(&form, "lvRight")->topLevelItemCount(), 0);

        const QString topFunction = NodeFunc(tree->topLevelItem(0)).FunctionID;
        QCOMPARE(Grants("ZHANG"), QStringList({"F" + topFunction, "R1"}));
        QCOMPARE(
            m_env->Scalar("select Sex||MobileTel||IsUse||PassNotOver from AC_USERINFO where UserID='ZHANG'")
                .toString(),
            QString("男13900001111YN"));
        QCOMPARE(m_env->Scalar("select PassOverDate from AC_USERINFO where UserID='ZHANG'").toString(),
                 QDate::currentDate().addDays(30).toString("yyyy-MM-dd") + " 00:00:00");
        // The first password is the user code, stored as a hash and never logged.
        const QString stored =
            m_env->Scalar("select UserPass from AC_USERINFO where UserID='ZHANG'").toString();
        QVERIFY(PasswordHash::IsHash(stored));
        QVERIFY(PasswordHash::Verify(stored, "ZHANG"));
        const QStringList log = m_env->CommandLogLines();
        QVERIFY(std::none_of(log.begin(), log.end(), [&](const QString& l) { return l.contains(stored); }));
        QVERIFY(std::any_of(log.begin(), log.end(), [](const QString& l) {
            return l.contains("Insert into AC_USERINFO") && l.contains("***");
        }));
    }

    void createdAndChangedUsersLogInAsTheRulesSay()
    {
        TFrmUser form;
        form.show();
        Click(&form, "btnAdd");
        TypeUser(&form, "wang", "王五");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加用户成功"));

        TUser user;
        QCOMPARE(LogIn("WANG", "wang", user), QStringList({"用户密码有误，请重新输入！"}));
        QVERIFY(LogIn("WANG", "WANG", user).isEmpty());
        QCOMPARE(user.UserID, QString("WANG"));
        QCOMPARE(user.UserName, QString("王五"));

        // Expiring yesterday refuses the login; expiring today still lets it in.
        Click(&form, "btnCancel");
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "WANG"));
        Click(&form, "btnEdit");
        QCOMPARE(form.EditMode, QString("UPDATE"));
        QVERIFY(!Child<QLineEdit>(&form, "edtUserID")->isEnabled());
        Child<QRadioButton>(&form, "rbOutOfDate")->click();
        Child<QDateEdit>(&form, "dtOutOfDate")->setDate(QDate::currentDate().addDays(-1));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        TUser other;
        QCOMPARE(LogIn("WANG", "WANG", other), QStringList({"该账户密码已过期，请联系系统管理员！"}));
        Child<QDateEdit>(&form, "dtOutOfDate")->setDate(QDate::currentDate());
        Click(&form, "btnSave");
        QVERIFY(LogIn("WANG", "WANG", other).isEmpty());

        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(false);
        Click(&form, "btnSave");
        QCOMPARE(LogIn("WANG", "WANG", other), QStringList({"该账户已被禁用，请联系系统管理员！"}));

        // A stored expiry with no date shows today in the picker, disabled while browsing.
        QVERIFY(ExecCommand("update AC_USERINFO set PassOverDate=null where UserID='WANG'"));
        Click(&form, "btnCancel");
        QVERIFY(Child<QRadioButton>(&form, "rbOutOfDate")->isChecked());
        QCOMPARE(Child<QDateEdit>(&form, "dtOutOfDate")->date(), QDate::currentDate());
        QVERIFY(!Child<QDateEdit>(&form, "dtOutOfDate")->isEnabled());
        QCOMPARE(Child<QDateEdit>(&form, "dtOutOfDate")->palette().color(QPalette::Base),
                 QColor(0xC0, 0xC0, 0xC0));
    }

    void editDuringAnAddEditsTheSelectedUserAsStored()
    {
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "ADMIN"));
        Click(&form, "btnAdd");
        TypeUser(&form, "new", "新人");
        Click(&form, "btnEdit");
        QCOMPARE(form.EditMode, QString("UPDATE"));
        QCOMPARE(Child<QLineEdit>(&form, "edtUserID")->text(), QString("ADMIN"));
        QCOMPARE(Child<QLineEdit>(&form, "edtUserName")->text(), QString("系统管理员"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO").toInt(), 1);
        QCOMPARE(Grants("ADMIN"), QStringList({"R1"}));
        QVERIFY(Grants("NEW").isEmpty());

        // A user deleted elsewhere in the meantime is not written again.
        QVERIFY(ExecCommand("update AC_USERINFO set UserID='GONE' where UserID='ADMIN'"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("该用户已经不存在，可能已被其他用户删除。"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLE_USER where UserID='ADMIN'").toInt(), 1);
    }

    void grantListKeepsKeysBesideTheRows()
    {
        QVERIFY(
            ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (7,'经理(前台)','x')"));
        TFrmUser form;
        form.show();
        Click(&form, "btnAdd");
        auto* grants = Child<QTreeWidget>(&form, "lvRight");
        QVERIFY(TFrmUser::AddGrantRow("经理(前台)", "7", grants, UserGrant::Role));
        QVERIFY(!TFrmUser::AddGrantRow("经理(前台)", "7", grants, UserGrant::Role));
        // A function whose identifier happens to equal a role key is another grant.
        QVERIFY(TFrmUser::AddGrantRow("功能七", "7", grants, UserGrant::Function));
        QCOMPARE(Column(grants, 0), QStringList({"经理(前台)(7)", "功能七(7)"}));
        // The button adds the selected role once, however often it is pressed.
        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        roles->setCurrentItem(Row(roles, "经理(前台)"));
        Click(&form, "btnAddRole");
        QCOMPARE(grants->topLevelItemCount(), 2);
        grants->setCurrentItem(grants->topLevelItem(1));
        Click(&form, "btnDeleteFunc");

        TypeUser(&form, "li", "李四");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加用户成功"));
        QCOMPARE(Grants("LI"), QStringList({"R7"}));
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "LI"));
        QCOMPARE(Column(grants, 0), QStringList({"经理(前台)(7)"}));
        QCOMPARE(grants->topLevelItem(0)->data(0, TFrmUser::GrantKeyRole).toString(), QString("7"));

        // A grant of a function no longer in the catalogue survives a save unchanged.
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('777','LI')"));
        Click(&form, "btnCancel");
        Click(&form, "btnEdit");
        QCOMPARE(Column(grants, 0), QStringList({"经理(前台)(7)", "(777)"}));
        Click(&form, "btnSave");
        QCOMPARE(Grants("LI"), QStringList({"F777", "R7"}));
    }

    void aFailedAddLeavesNothingBehind()
    {
        TFrmUser form;
        form.show();
        Click(&form, "btnAdd");
        TypeUser(&form, "li", "李四");
        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        roles->setCurrentItem(roles->topLevelItem(0));
        Click(&form, "btnAddRole");
        QVERIFY(TestEnv::InjectFailure("AC_ROLE_USER", "insert"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加用户权限时发生错误"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO where UserID='LI'").toInt(), 0);
        // The typed data stays for another try.
        QCOMPARE(Child<QLineEdit>(&form, "edtUserID")->text(), QString("LI"));
        QCOMPARE(Column(Child<QTreeWidget>(&form, "lvRight"), 1), QStringList({"角色"}));

        QVERIFY(TestEnv::RemoveFailure("AC_ROLE_USER", "insert"));
        QVERIFY(TestEnv::InjectFailure("AC_USERINFO", "insert"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加用户信息时发生错误"));
        QVERIFY(Grants("LI").isEmpty());
        QCOMPARE(Column(Child<QTreeWidget>(&form, "lvUser"), 0), QStringList({"ADMIN"}));
    }

    void everyInputHasAName()
    {
        TFrmUser form;
        form.show();
        QStringList unnamed;
        for (QWidget* input : form.findChildren<QWidget*>()) {
            const bool isInput = qobject_cast<QLineEdit*>(input) || qobject_cast<QComboBox*>(input) ||
                                 qobject_cast<QAbstractSpinBox*>(input) ||
                                 qobject_cast<QAbstractItemView*>(input);
            // Parts of a control (a combo's edit, a popup's list) are named by the control.
            if (!isInput || input->window() != &form || qobject_cast<QHeaderView*>(input) ||
                qobject_cast<QComboBox*>(input->parentWidget()) ||
                qobject_cast<QAbstractSpinBox*>(input->parentWidget()))
                continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(input);
            if (!accessible || accessible->text(QAccessible::Name).isEmpty())
                unnamed << input->objectName();
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    }

    void subRightsDecideWhatCanBeSeenAndChanged()
    {
        m_granted.clear();
        {
            TFrmUser form;
            form.show();
            QVERIFY(Child<QLabel>(&form, "lblNote")->isVisible());
            QVERIFY(!Child<QWidget>(&form, "pl_1")->isVisible());
            QVERIFY(!Child<QWidget>(&form, "Pl_2")->isVisible());
            QVERIFY(!Child<QPushButton>(&form, "btnPl_1")->isVisible());
            QVERIFY(!Child<QPushButton>(&form, "btnPl_2")->isVisible());
            QVERIFY(!Child<QPushButton>(&form, "btnDelete")->isEnabled());
            Click(&form, "btnAdd");
            QCOMPARE(form.EditMode, QString("ADD"));
            QVERIFY(!Child<QLineEdit>(&form, "edtUserID")->isEnabled());
            QVERIFY(!Child<QToolButton>(&form, "btnAddRole")->isEnabled());
        }
        m_granted = {"400132"};
        TFrmUser form;
        form.show();
        QVERIFY(!Child<QLabel>(&form, "lblNote")->isVisible());
        QVERIFY(Child<QWidget>(&form, "Pl_2")->isVisible());
        QVERIFY(!Child<QWidget>(&form, "pl_1")->isVisible());
        QVERIFY(!Child<QPushButton>(&form, "btnPl_1")->isVisible());
        QVERIFY(Child<QPushButton>(&form, "btnPl_2")->isVisible());
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "ADMIN"));
        Click(&form, "btnEdit");
        QVERIFY(Child<QTreeWidget>(&form, "lvRight")->isEnabled());
        QVERIFY(!Child<QLineEdit>(&form, "edtUserName")->isEnabled());
    }

    void failedUpdatesLeaveStoredDataAndListAlone()
    {
        QVERIFY(ExecCommand(
            "insert into AC_USERINFO (UserID,UserName,IsUse,PassNotOver) values ('LI','李四','Y','Y')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (1,'LI')"));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('1002','LI')"));
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "LI"));
        Click(&form, "btnEdit");

        // Validation: nothing stored, the row keeps the stored name.
        Child<QLineEdit>(&form, "edtUserName")->clear();
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息时发生以下错误：\n\r\n\r用户姓名不能为空"));
        QCOMPARE(Row(users, "LI")->text(1), QString("李四"));

        // A grant insert that fails half-way: the old grants and the old row stay.
        QVERIFY(TestEnv::InjectFailure("AC_FUNCTION_USER", "insert"));
        Child<QLineEdit>(&form, "edtUserName")->setText("李四新");
        auto* tree = Child<QTreeWidget>(&form, "tvRight");
        tree->setCurrentItem(tree->topLevelItem(1));
        Click(&form, "btnAddFunc");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户权限时发生错误"));
        QCOMPARE(Grants("LI"), QStringList({"F1002", "R1"}));
        QCOMPARE(m_env->Scalar("select UserName from AC_USERINFO where UserID='LI'").toString(),
                 QString("李四"));
        QCOMPARE(Row(users, "LI")->text(1), QString("李四"));

        QVERIFY(TestEnv::RemoveFailure("AC_FUNCTION_USER", "insert"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        QCOMPARE(Grants("LI").size(), 3);
        QCOMPARE(Row(users, "LI")->text(1), QString("李四新"));
    }

    void deleteRefusesTheLoggedInUserAndRemovesEverythingElse()
    {
        QVERIFY(ExecCommand(
            "insert into AC_USERINFO (UserID,UserName,IsUse,PassNotOver) values ('LI','李四','Y','Y')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (1,'LI')"));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('1002','LI')"));
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), QString("没有选择用户！"));

        users->setCurrentItem(Row(users, "ADMIN"));
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), QString("不能删除当前登录的用户！"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO where UserID='ADMIN'").toInt(), 1);

        users->setCurrentItem(Row(users, "LI"));
        m_dialogs->QueueAnswer(Dialogs::Cancel);
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(),
                 QString("删除用户后，所有用户信息及拥有的权限都将被删除且不能恢复。\n\r"
                         "确定要删除该用户吗？"));
        QCOMPARE(Grants("LI").size(), 2);

        // A failing grant delete keeps the user row too.
        QVERIFY(TestEnv::InjectFailure("AC_FUNCTION_USER", "delete"));
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), QString("删除用户出错！"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO where UserID='LI'").toInt(), 1);
        QCOMPARE(Grants("LI").size(), 2);

        QVERIFY(TestEnv::RemoveFailure("AC_FUNCTION_USER", "delete"));
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO where UserID='LI'").toInt(), 0);
        QVERIFY(Grants("LI").isEmpty());
        QCOMPARE(Column(users, 0), QStringList({"ADMIN"}));
        QCOMPARE(Child<QLineEdit>(&form, "edtUserID")->text(), QString("ADMIN"));
        QCOMPARE(form.EditMode, QString());
    }

    // The shop can never lose its last enabled, unexpired account that holds
    // 用户管理 with 系统权限; everything else about it can still change.
    void lastAdministratorCannotBeLockedOutThroughTheUserForm()
    {
        SessionRights::Install([this](const QString& id) { return m_granted.contains(id); },
                               [] { return QStringLiteral("CLERK"); });
        const QString lockOut = QString::fromUtf16(AccountGuard::LockOutText);
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "ADMIN"));
        Click(&form, "btnEdit");

        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(false);
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), lockOut);
        QCOMPARE(m_env->Scalar("select IsUse from AC_USERINFO where UserID='ADMIN'").toString(), QString("Y"));
        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(true);

        Child<QRadioButton>(&form, "rbOutOfDate")->click();
        Child<QDateEdit>(&form, "dtOutOfDate")->setDate(QDate::currentDate().addDays(-1));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), lockOut);
        QCOMPARE(m_env->Scalar("select PassNotOver from AC_USERINFO where UserID='ADMIN'").toString(),
                 QString("Y"));
        Child<QRadioButton>(&form, "rbNotOverDue")->click();

        const QString grants = StoredGrantRows();
        auto* granted = Child<QTreeWidget>(&form, "lvRight");
        granted->setCurrentItem(granted->topLevelItem(0));
        Click(&form, "btnDeleteRole");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), lockOut);
        QCOMPARE(StoredGrantRows(), grants);

        // His phone number is his own business.
        Click(&form, "btnCancel");
        Click(&form, "btnEdit");
        Child<QLineEdit>(&form, "edtMobileTel")->setText("13800001111");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        QCOMPARE(m_env->Scalar("select MobileTel from AC_USERINFO where UserID='ADMIN'").toString(),
                 QString("13800001111"));
        QCOMPARE(Grants("ADMIN"), QStringList({"R1"}));

        Click(&form, "btnCancel");
        const QString stored = StoredGrantRows();
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), lockOut);
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO where UserID='ADMIN'").toInt(), 1);
        QCOMPARE(StoredGrantRows(), stored);

        // With a second administrator, a function grant is as good as the
        // role, and the first may go.
        AddUserRow("LI", "李四");
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('4001','LI')"));
        users->setCurrentItem(Row(users, "ADMIN"));
        Click(&form, "btnEdit");
        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(false);
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        QCOMPARE(m_env->Scalar("select IsUse from AC_USERINFO where UserID='ADMIN'").toString(), QString("N"));
    }

    void theLoggedInUserCannotDisableHimself()
    {
        AddUserRow("LI", "李四");
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (1,'LI')"));
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "ADMIN"));
        Click(&form, "btnEdit");
        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(false);
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("不能停用当前登录的用户！"));
        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(true);
        Child<QRadioButton>(&form, "rbOutOfDate")->click();
        Child<QDateEdit>(&form, "dtOutOfDate")->setDate(QDate::currentDate().addDays(-3));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("不能停用当前登录的用户！"));
        QCOMPARE(m_env->Scalar("select PassNotOver from AC_USERINFO where UserID='ADMIN'").toString(),
                 QString("Y"));
        // Expiring today is still valid.
        Child<QDateEdit>(&form, "dtOutOfDate")->setDate(QDate::currentDate());
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
    }

    void resetPasswordMakesTheCodeThePasswordAgain()
    {
        AddUserRow("LI", "李四");
        QVERIFY(SetUserPassword("LI", "secret"));
        TFrmUser form;
        form.show();
        auto* reset = Child<QPushButton>(&form, "btnResetPassword");
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "ADMIN"));
        QVERIFY(!reset->isEnabled());
        users->setCurrentItem(Row(users, "LI"));
        QVERIFY(reset->isEnabled());

        m_dialogs->QueueAnswer(Dialogs::Cancel);
        reset->click();
        TUser user;
        QCOMPARE(LogIn("LI", "LI", user), QStringList({"用户密码有误，请重新输入！"}));

        m_dialogs->QueueAnswer(Dialogs::Ok);
        reset->click();
        QCOMPARE(m_dialogs->LastText(), QString("用户“LI”的密码已重置为用户代码。"));
        QVERIFY(LogIn("LI", "LI", user).isEmpty());
        QCOMPARE(m_env->Scalar("select count(*) from UseLog where LogText=?", {"重置用户密码：LI"}).toInt(), 1);
        const QString log = m_env->CommandLogLines().filter("UserPass").join('\n');
        QVERIFY(log.contains("***"));
        QVERIFY(!log.contains("$argon2"));
        // The form still holds the current version: an edit after the reset saves.
        Click(&form, "btnEdit");
        Child<QLineEdit>(&form, "edtQQ")->setText("12345");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
    }

    void userCodesHoldLettersDigitsAndUnderscoresOnly()
    {
        AddUserRow("OLD-1", "老张");
        TFrmUser form;
        form.show();
        Click(&form, "btnAdd");
        for (const char* code : {"A-B", "A B", "张三", "A.B"}) {
            Child<QLineEdit>(&form, "edtUserID")->setText(QString::fromUtf8(code));
            Child<QLineEdit>(&form, "edtUserName")->setText("某人");
            Click(&form, "btnSave");
            QVERIFY2(m_dialogs->LastText().contains("用户代码只能由字母、数字和下划线组成！"), code);
        }
        TypeUser(&form, "wang_5", "王五");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加用户成功"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO").toInt(), 3);

        // A stored code from before the rule loads and saves as it is.
        Click(&form, "btnCancel");
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "OLD-1"));
        QCOMPARE(Child<QLineEdit>(&form, "edtUserName")->text(), QString("老张"));
        Click(&form, "btnEdit");
        Child<QLineEdit>(&form, "edtUserName")->setText("老张三");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        QCOMPARE(m_env->Scalar("select UserName from AC_USERINFO where UserID='OLD-1'").toString(),
                 QString("老张三"));
    }

    void grantsAreWrittenOnlyWhenReadAndAllowed()
    {
        AddUserRow("LI", "李四");
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (1,'LI')"));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('1002','LI')"));
        // A grant whose role is gone stays as stored.
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (99,'LI')"));
        const QString grants = StoredGrantRows();
        {
            TFrmUser form;
            form.show();
            auto* users = Child<QTreeWidget>(&form, "lvUser");
            QVERIFY(ExecCommand("alter table AC_FUNCTION_USER rename to AC_FUNCTION_USER_AWAY"));
            users->setCurrentItem(Row(users, "LI"));
            QCOMPARE(m_dialogs->LastText(), QString("读取该用户的权限时出错，不能保存该用户的资料！"));
            QVERIFY(ExecCommand("alter table AC_FUNCTION_USER_AWAY rename to AC_FUNCTION_USER"));
            Click(&form, "btnEdit");
            Child<QLineEdit>(&form, "edtQQ")->setText("777");
            Click(&form, "btnSave");
            QCOMPARE(m_dialogs->LastText(), QString("读取该用户的权限时出错，不能保存该用户的资料！"));
            QCOMPARE(StoredGrantRows(), grants);
            QVERIFY(m_env->Scalar("select QQ from AC_USERINFO where UserID='LI'").toString().isEmpty());
        }
        m_granted = {"400131"};
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "LI"));
        Click(&form, "btnEdit");
        Child<QLineEdit>(&form, "edtMobileTel")->setText("13900002222");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
        QCOMPARE(m_env->Scalar("select MobileTel from AC_USERINFO where UserID='LI'").toString(),
                 QString("13900002222"));
        QCOMPARE(StoredGrantRows(), grants);

        // A user deleted at another desk is cleared from the form, not
        // written from what it showed.
        QVERIFY(ExecCommand("delete from AC_USERINFO where UserID='LI'"));
        Click(&form, "btnCancel");
        QCOMPARE(m_dialogs->LastText(), QString("该用户已经不存在，可能已被其他用户删除。"));
        QVERIFY(Child<QLineEdit>(&form, "edtUserName")->text().isEmpty());
        Click(&form, "btnEdit");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("没有读出该用户的资料，不能保存！"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_USERINFO where UserID='LI'").toInt(), 0);
    }

    void aSaveOverAnotherDesksChangeIsRefused()
    {
        AddUserRow("LI", "李四");
        SqlConnection second;
        QVERIFY(m_env->OpenSecondConnection(second));
        SqlConnection* first = CurrentConnection();
        TFrmUser here;
        here.show();
        auto* users = Child<QTreeWidget>(&here, "lvUser");
        users->setCurrentItem(Row(users, "LI"));
        Click(&here, "btnEdit");
        {
            // The other desk opens, changes and saves the same user.
            SetCurrentConnection(&second);
            TFrmUser there;
            there.show();
            auto* list = Child<QTreeWidget>(&there, "lvUser");
            list->setCurrentItem(Row(list, "LI"));
            Click(&there, "btnEdit");
            Child<QLineEdit>(&there, "edtWorkTel")->setText("6001");
            Click(&there, "btnSave");
            QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
            SetCurrentConnection(first);
        }
        Child<QLineEdit>(&here, "edtWorkTel")->setText("5001");
        Click(&here, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString::fromUtf16(VersionedRow::ChangedElsewhereText));
        QCOMPARE(m_env->Scalar("select WorkTel from AC_USERINFO where UserID='LI'").toString(), QString("6001"));
        // Read again, the change goes through.
        Click(&here, "btnCancel");
        Click(&here, "btnEdit");
        Child<QLineEdit>(&here, "edtWorkTel")->setText("5001");
        Click(&here, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改用户信息成功"));
    }

    void emptyStartDateStaysEmpty()
    {
        AddUserRow("LI", "李四");
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "LI"));
        auto* start = Child<QDateEdit>(&form, "dtWorkStartDate");
        QCOMPARE(start->text().trimmed(), QString());
        Click(&form, "btnEdit");
        Click(&form, "btnSave");
        QVERIFY(m_env->Scalar("select WorkStartDate from AC_USERINFO where UserID='LI'").isNull());
        start->setDate(QDate(2021, 3, 1));
        Click(&form, "btnSave");
        QCOMPARE(m_env->Scalar("select WorkStartDate from AC_USERINFO where UserID='LI'").toString().left(10),
                 QString("2021-03-01"));
    }

    void listShowsAccountStateAndSortsNamesByPinyin()
    {
        AddUserRow("ZS", "张三");
        AddUserRow("LS", "李四", "N");
        AddUserRow("WW", "王五", "Y", "N", QDate::currentDate().addDays(-1));
        AddUserRow("AM", "阿明", "Y", "N", QDate::currentDate());
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        QCOMPARE(Row(users, "LS")->text(1), QString("李四(已停用)"));
        QCOMPARE(Row(users, "LS")->toolTip(1), QString("该账号已停用"));
        QCOMPARE(Row(users, "WW")->text(1), QString("王五(已过期)"));
        QCOMPARE(Row(users, "WW")->toolTip(0), QString("该账号的密码已过期"));
        QCOMPARE(Row(users, "WW")->foreground(0).color(), QColor(Qt::gray));
        QCOMPARE(Row(users, "AM")->text(1), QString("阿明"));
        QVERIFY(Row(users, "AM")->toolTip(1).isEmpty());

        users->header()->sectionClicked(1);
        users->header()->sectionClicked(1);
        QStringList names = Column(users, 1);
        names.removeOne("系统管理员");
        QCOMPARE(names, QStringList({"阿明", "李四(已停用)", "王五(已过期)", "张三"}));
        // The keyword finds a name whatever its state.
        auto* keyword = Child<QLineEdit>(&form, "edtKeyWord");
        keyword->setText("李四");
        QCOMPARE(users->selectedItems().value(0), Row(users, "LS"));

        // Saving changes the state shown.
        Click(&form, "btnEdit");
        Child<QCheckBox>(&form, "chkEnableUser")->setChecked(true);
        Click(&form, "btnSave");
        QCOMPARE(Row(users, "LS")->text(1), QString("李四"));
        QVERIFY(Row(users, "LS")->toolTip(1).isEmpty());
    }

    void rightListsCanBeBrowsedButNotChanged()
    {
        TFrmUser form;
        form.show();
        Click(&form, "btnPl_2");
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "ADMIN"));
        auto* tree = Child<QTreeWidget>(&form, "tvRight");
        QVERIFY(tree->isEnabled());
        QVERIFY(Child<QTreeWidget>(&form, "LvRole")->isEnabled());
        QVERIFY(Child<QTreeWidget>(&form, "lvRight")->isEnabled());
        tree->collapseAll();
        tree->expandItem(tree->topLevelItem(0));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QVERIFY(!Child<QToolButton>(&form, "btnAddFunc")->isEnabled());
        QVERIFY(!Child<QToolButton>(&form, "btnDeleteRole")->isEnabled());
    }

    void listSortsAlternatelyAndSearchesExactly()
    {
        for (const char* id : {"bob", "LI", "ZHANG", "LIU"})
            QVERIFY(ExecCommand(
                "insert into AC_USERINFO (UserID,UserName,IsUse,PassNotOver) values (?,?,'Y','Y')",
                {id, QString::fromLatin1(id) + "名"}));
        TFrmUser form;
        form.show();
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->header()->sectionClicked(0);
        QCOMPARE(Column(users, 0), QStringList({"ZHANG", "LIU", "LI", "bob", "ADMIN"}));
        users->header()->sectionClicked(0);
        QCOMPARE(Column(users, 0), QStringList({"ADMIN", "bob", "LI", "LIU", "ZHANG"}));

        auto* keyword = Child<QLineEdit>(&form, "edtKeyWord");
        QTest::keyClicks(keyword, "l");
        QVERIFY(users->selectedItems().isEmpty());
        QTest::keyClicks(keyword, "i");
        QCOMPARE(users->selectedItems().value(0), Row(users, "LI"));
        QCOMPARE(Child<QLineEdit>(&form, "edtUserID")->text(), QString("LI"));

        users->header()->sectionClicked(1);
        QCOMPARE(Child<QLabel>(&form, "lblKeyWord")->text(), QString("用户名称"));
        // Names follow the Chinese (pinyin) order, Chinese before Latin.
        QCOMPARE(Column(users, 1), QStringList({"ZHANG名", "LIU名", "LI名", "bob名", "系统管理员"}));
    }

    void codeCombosSelectTheExactCode()
    {
        // "2-" also occurs inside the first entry's name.
        QVERIFY(ExecCommand("insert into AC_DEPT values (1,'楼层2-东','')"));
        QVERIFY(ExecCommand("insert into AC_DEPT values (2,'二部','')"));
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,DeptID,IsUse,PassNotOver) "
                            "values ('LI','李四',2,'Y','Y')"));
        TFrmUser form;
        form.show();
        auto* dept = Child<QComboBox>(&form, "cmbDept");
        QCOMPARE(dept->count(), 3);
        QCOMPARE(dept->itemText(1), QString("1-楼层2-东"));
        auto* users = Child<QTreeWidget>(&form, "lvUser");
        users->setCurrentItem(Row(users, "LI"));
        QCOMPARE(dept->currentText(), QString("2-二部"));
        Click(&form, "btnEdit");
        Click(&form, "btnSave");
        QCOMPARE(m_env->Scalar("select DeptID from AC_USERINFO where UserID='LI'").toInt(), 2);
        dept->setCurrentIndex(0);
        Click(&form, "btnSave");
        QCOMPARE(m_env->Scalar("select DeptID from AC_USERINFO where UserID='LI'").toInt(), 0);
    }
};

QTEST_MAIN(TestUserAdmin)
#include "tst_useradmin.moc"
