#include "AccountGuard.h"
#include "CheckTree.h"
#include "DataAccess.h"
#include "FunctionTree.h"
#include "ScriptedDialogs.h"
#include "TFrmRole.h"
#include "TestEnv.h"
#include "VersionedRow.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

// The role administration driven through its controls: what a save stores
// from the check tree, how a stored role is shown, unique names, and deletes
// that go all the way or not at all.
class TestRoleAdmin : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

    template <typename T> static T* Child(QWidget* parent, const char* name)
    {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }

    static void Click(QWidget* form, const char* button) { Child<QPushButton>(form, button)->click(); }

    static QStringList Column(QTreeWidget* list, int column)
    {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            texts << list->topLevelItem(i)->text(column);
        return texts;
    }

    QStringList StoredFunctions(const QString& roleName) const
    {
        QStringList ids;
        MemDataset rows;
        if (OpenQuery("select f.FunctionID from AC_ROLE_FUNCTION f join AC_ROLEINFO r on r.RoleID=f.RoleID "
                      "where r.RoleName=? order by f.FunctionID",
                      rows, {roleName}))
            for (rows.First(); !rows.Eof(); rows.Next())
                ids << rows.Value(0).toString();
        return ids;
    }

    // States of the catalogue nodes in tree order, as 1 unchecked, 2 checked, 3 partly.
    static QString States(QTreeWidget* tree)
    {
        QString states;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            states += QString::number(CheckTree::StateIndex(*it));
        return states;
    }

    static void Select(QTreeWidget* roles, const QString& name)
    {
        roles->setCurrentItem(roles->findItems(name, Qt::MatchExactly).value(0));
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        m_dialogs = std::make_unique<ScriptedDialogs>();
        // 系统 1 ─ 用户 11 ─ 新增 111, 删除 112
        //        └ 角色 12
        // 销售 2 ─ 记录 21
        QVERIFY(ExecCommand("delete from AC_FUNCTIONINFO"));
        const char* rows[][4] = {{"1", "系统", "-1", "1"},   {"11", "用户", "1", "2"},
                                 {"111", "新增", "11", "3"}, {"112", "删除", "11", "4"},
                                 {"12", "角色", "1", "5"},   {"2", "销售", "-1", "6"},
                                 {"21", "记录", "2", "7"}};
        for (const auto& r : rows)
            QVERIFY(
                ExecCommand("insert into AC_FUNCTIONINFO (FunctionID,FunctionName,ParentFunctionID,IsPublic,"
                            "OrderNum) values (?,?,?,'N',?)",
                            {r[0], QString::fromUtf8(r[1]), r[2], QString(r[3]).toInt()}));
    }

    void cleanup()
    {
        QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join("; ")));
        m_dialogs.reset();
        m_env.reset();
    }

    void saveStoresTheTopmostCheckedFunctions()
    {
        TFrmRole form;
        form.show();
        QCOMPARE(form.size(), QSize(705, 506));
        auto* tree = Child<CheckTree>(&form, "tvRight");
        QVERIFY(tree->isEnabled() && tree->ChecksReadOnly());
        Click(&form, "btnAdd");
        QCOMPARE(Child<QLabel>(&form, "lblState")->text(), QString("添加数据"));
        QVERIFY(!tree->ChecksReadOnly());

        // A parent checked: only the parent is stored.
        Child<QLineEdit>(&form, "edtRole")->setText("店长");
        tree->ToggleNode(FindFunctionNode(tree, "1"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加角色成功"));
        QCOMPARE(StoredFunctions("店长"), QStringList({"1"}));
        // Saving again under the same name is refused.
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("该角色已经存在！"));

        // Every child one by one checks the parent; the parent alone is stored.
        Click(&form, "btnCancel");
        Click(&form, "btnAdd");
        Child<QLineEdit>(&form, "edtRole")->setText("用户管理员");
        tree->ToggleNode(FindFunctionNode(tree, "111"));
        tree->ToggleNode(FindFunctionNode(tree, "112"));
        Click(&form, "btnSave");
        QCOMPARE(StoredFunctions("用户管理员"), QStringList({"11"}));

        // One child unchecked again: the remaining checked nodes one by one,
        // partly checked ancestors never.
        Click(&form, "btnCancel");
        Click(&form, "btnAdd");
        Child<QLineEdit>(&form, "edtRole")->setText("销售与角色");
        tree->ToggleNode(FindFunctionNode(tree, "1"));
        tree->ToggleNode(FindFunctionNode(tree, "11"));
        tree->ToggleNode(FindFunctionNode(tree, "21"));
        Click(&form, "btnSave");
        QCOMPARE(StoredFunctions("销售与角色"), QStringList({"12", "2"}));

        // No check at all: no function row.
        Click(&form, "btnCancel");
        Click(&form, "btnAdd");
        Child<QLineEdit>(&form, "edtRole")->setText("空角色");
        Click(&form, "btnSave");
        QVERIFY(StoredFunctions("空角色").isEmpty());
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO").toInt(), 5);

        // A function row that cannot be written takes the role row and its key with it.
        QVERIFY(TestEnv::InjectFailure("AC_ROLE_FUNCTION", "insert"));
        const int lastKey = m_env->Scalar("select RoleID from SeqTable").toInt();
        Child<QLineEdit>(&form, "edtRole")->setText("写不进");
        tree->ToggleNode(FindFunctionNode(tree, "2"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加角色出错！"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO").toInt(), 5);
        QCOMPARE(m_env->Scalar("select RoleID from SeqTable").toInt(), lastKey);
        QCOMPARE(Child<QTreeWidget>(&form, "LvRole")->topLevelItemCount(), 5);
    }

    void everyInputHasAName()
    {
        TFrmRole form;
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

    void aStoredRoleShowsItsBranchCheckedAndAncestorsPartly()
    {
        QVERIFY(
            ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (5,'记录员','只看记录')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (5,'21')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (5,'11')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (5,'999')")); // no longer in the catalogue
        TFrmRole form;
        form.show();
        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        auto* tree = Child<CheckTree>(&form, "tvRight");
        Select(roles, "记录员");
        QCOMPARE(Child<QLineEdit>(&form, "edtRole")->text(), QString("记录员"));
        QCOMPARE(Child<QLineEdit>(&form, "edtDesc")->text(), QString("只看记录"));
        // 1 11 111 112 12 2 21: the only child 21 makes 2 partly checked all the same.
        QCOMPARE(States(tree), QString("3222132"));

        // Another role clears the tree first.
        Select(roles, "系统管理员");
        QVERIFY(!States(tree).contains('3'));
        // The arrow keys load each role in turn.
        roles->setFocus();
        QTest::keyClick(roles, Qt::Key_Down);
        QCOMPARE(Child<QLineEdit>(&form, "edtRole")->text(), QString("记录员"));
        QCOMPARE(form.CurrentRoleID, qint64(5));
    }

    void namesAreRequiredAndUniqueOnAddAndRename()
    {
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (5,'收银','')"));
        TFrmRole form;
        form.show();
        Click(&form, "btnAdd");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("角色名称是必填项！"));
        Child<QLineEdit>(&form, "edtRole")->setText("收银");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("该角色已经存在！"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO").toInt(), 2);

        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        Select(roles, "收银");
        Click(&form, "btnEdit");
        QCOMPARE(form.EditMode, QString("UPDATE"));
        Child<QLineEdit>(&form, "edtRole")->setText("系统管理员");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("该角色已经存在！"));
        Child<QLineEdit>(&form, "edtRole")->setText("  ");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("角色名称是必填项！"));
        QCOMPARE(m_env->Scalar("select RoleName from AC_ROLEINFO where RoleID=5").toString(),
                 QString("收银"));

        // Edit shows the role as stored, whatever an add had checked.
        Click(&form, "btnCancel");
        Click(&form, "btnAdd");
        Child<CheckTree>(&form, "tvRight")
            ->ToggleNode(FindFunctionNode(Child<CheckTree>(&form, "tvRight"), "1"));
        Click(&form, "btnEdit");
        QCOMPARE(States(Child<CheckTree>(&form, "tvRight")), QString("1111111"));
        QCOMPARE(Child<QLineEdit>(&form, "edtRole")->text(), QString("收银"));

        // Its own name is no conflict; the new functions replace the old.
        m_dialogs->ClearRecords();
        Child<QLineEdit>(&form, "edtRole")->setText("收银");
        Child<QLineEdit>(&form, "edtDesc")->setText("前台收款");
        Child<CheckTree>(&form, "tvRight")
            ->ToggleNode(FindFunctionNode(Child<CheckTree>(&form, "tvRight"), "2"));
        Click(&form, "btnSave");
        QVERIFY(m_dialogs->Texts().isEmpty());
        QCOMPARE(StoredFunctions("收银"), QStringList({"2"}));
        QCOMPARE(Column(roles, 1), QStringList({"拥有全部功能", "前台收款"}));
    }

    void saveOfAVanishedRoleStoresNothing()
    {
        // The role is gone from under the open form (a restore of an older
        // backup, another desk): its save must fail, not store its functions.
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (5,'收银','')"));
        TFrmRole form;
        form.show();
        Select(Child<QTreeWidget>(&form, "LvRole"), "收银");
        Click(&form, "btnEdit");
        QVERIFY(ExecCommand("delete from AC_ROLEINFO where RoleID=5"));
        Child<CheckTree>(&form, "tvRight")
            ->ToggleNode(FindFunctionNode(Child<CheckTree>(&form, "tvRight"), "2"));
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("修改角色出错！"));
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLE_FUNCTION where RoleID=5").toInt(), 0);
    }

    void browsingShowsTheTreeButItsBoxesStayPut()
    {
        TFrmRole form;
        form.show();
        Select(Child<QTreeWidget>(&form, "LvRole"), "系统管理员");
        auto* tree = Child<CheckTree>(&form, "tvRight");
        tree->collapseAll();
        tree->expandItem(tree->topLevelItem(0));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        const QString before = States(tree);
        tree->setFocus();
        tree->setCurrentItem(FindFunctionNode(tree, "21"));
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(States(tree), before);
        Click(&form, "btnEdit");
        tree->setCurrentItem(FindFunctionNode(tree, "21"));
        QTest::keyClick(tree, Qt::Key_Space);
        QVERIFY(States(tree) != before);
    }

    void namesDifferingOnlyInLatinCaseAreOneName()
    {
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (5,'Kasse','')"));
        TFrmRole form;
        form.show();
        Click(&form, "btnAdd");
        Child<QLineEdit>(&form, "edtRole")->setText("KASSE");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("该角色已经存在！"));
        Child<QLineEdit>(&form, "edtRole")->setText("Kassen");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("添加角色成功"));
        Click(&form, "btnCancel");
        Select(Child<QTreeWidget>(&form, "LvRole"), "Kassen");
        Click(&form, "btnEdit");
        Child<QLineEdit>(&form, "edtRole")->setText("kasse");
        Click(&form, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString("该角色已经存在！"));
        // Its own name in another case is a rename, not a clash.
        Child<QLineEdit>(&form, "edtRole")->setText("KASSEN");
        m_dialogs->ClearRecords();
        Click(&form, "btnSave");
        QVERIFY(m_dialogs->Texts().isEmpty());
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO where RoleName='KASSEN'").toInt(), 1);
    }

    void aSaveOverAnotherDesksChangeIsRefused()
    {
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (5,'收银','')"));
        SqlConnection second;
        QVERIFY(m_env->OpenSecondConnection(second));
        SqlConnection* first = CurrentConnection();
        TFrmRole here;
        here.show();
        Select(Child<QTreeWidget>(&here, "LvRole"), "收银");
        Click(&here, "btnEdit");
        {
            SetCurrentConnection(&second);
            TFrmRole there;
            there.show();
            Select(Child<QTreeWidget>(&there, "LvRole"), "收银");
            Click(&there, "btnEdit");
            Child<QLineEdit>(&there, "edtDesc")->setText("那边的描述");
            Click(&there, "btnSave");
            SetCurrentConnection(first);
        }
        Child<QLineEdit>(&here, "edtDesc")->setText("这边的描述");
        auto* tree = Child<CheckTree>(&here, "tvRight");
        tree->ToggleNode(FindFunctionNode(tree, "2"));
        Click(&here, "btnSave");
        QCOMPARE(m_dialogs->LastText(), QString::fromUtf16(VersionedRow::ChangedElsewhereText));
        QCOMPARE(m_env->Scalar("select RoleDesc from AC_ROLEINFO where RoleID=5").toString(), QString("那边的描述"));
        QVERIFY(StoredFunctions("收银").isEmpty());
    }

    // With the shop's own catalogue: the role that carries 用户管理 for the
    // only administrator can be neither deleted nor stripped of it.
    void theRoleOfTheLastAdministratorKeepsItsRight()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        const QString lockOut = QString::fromUtf16(AccountGuard::LockOutText);
        TFrmRole form;
        form.show();
        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        auto* tree = Child<CheckTree>(&form, "tvRight");
        Select(roles, "系统管理员");
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), lockOut);
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO where RoleID=1").toInt(), 1);

        const int stored = m_env->Scalar("select count(*) from AC_ROLE_FUNCTION where RoleID=1").toInt();
        for (const char* id : {"4000", "4001", "400132"}) {
            Click(&form, "btnEdit");
            tree->ToggleNode(FindFunctionNode(tree, id));
            Click(&form, "btnSave");
            QVERIFY2(m_dialogs->LastText() == lockOut, id);
            QCOMPARE(m_env->Scalar("select count(*) from AC_ROLE_FUNCTION where RoleID=1").toInt(), stored);
            Click(&form, "btnCancel");
        }
        // Taking away something else is fine.
        Click(&form, "btnEdit");
        tree->ToggleNode(FindFunctionNode(tree, "2000"));
        m_dialogs->ClearRecords();
        Click(&form, "btnSave");
        QVERIFY(m_dialogs->Texts().isEmpty());

        // An expired or disabled second administrator does not count; a valid one does.
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,IsUse,PassNotOver,PassOverDate) "
                            "values ('LI','李四','Y','N',?)",
                            {QDate::currentDate().addDays(-1)}));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('4000','LI')"));
        Click(&form, "btnCancel");
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), lockOut);
        QVERIFY(ExecCommand("update AC_USERINFO set PassNotOver='Y' where UserID='LI'"));
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO where RoleID=1").toInt(), 0);
    }

    void deleteTakesTheRoleAndItsAssignmentsTogether()
    {
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (5,'收银','')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (5,'2')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (5,'ADMIN')"));
        TFrmRole form;
        form.show();
        Click(&form, "btnDelete");
        QCOMPARE(m_dialogs->LastText(), QString("没有选择角色！"));

        auto* roles = Child<QTreeWidget>(&form, "LvRole");
        Select(roles, "收银");
        QVERIFY(TestEnv::InjectFailure("AC_ROLE_USER", "delete"));
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(
            m_dialogs->Texts().mid(1),
            QStringList({"删除该角色将使相应的用户失去权限。\n\r确定要删除该角色吗？", "删除角色出错！"}));
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO where RoleID=5").toInt(), 1);
        QCOMPARE(roles->topLevelItemCount(), 2);

        QVERIFY(TestEnv::RemoveFailure("AC_ROLE_USER", "delete"));
        m_dialogs->QueueAnswer(Dialogs::Cancel);
        Click(&form, "btnDelete");
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO where RoleID=5").toInt(), 1);
        m_dialogs->QueueAnswer(Dialogs::Ok);
        Click(&form, "btnDelete");
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLEINFO where RoleID=5").toInt(), 0);
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLE_USER where RoleID=5").toInt(), 0);
        QCOMPARE(m_env->Scalar("select count(*) from AC_ROLE_FUNCTION where RoleID=5").toInt(), 1);
        // The first remaining role is selected and shown, in browse mode.
        QCOMPARE(Column(roles, 0), QStringList({"系统管理员"}));
        QCOMPARE(Child<QLineEdit>(&form, "edtRole")->text(), QString("系统管理员"));
        QCOMPARE(Child<QLabel>(&form, "lblState")->text(), QString("浏览数据"));
        QVERIFY(!Child<QLineEdit>(&form, "edtRole")->isEnabled());
    }
};

QTEST_MAIN(TestRoleAdmin)
#include "tst_roleadmin.moc"
