#include "EditorFixture.h"
#include "SqlConnection.h"

#include <QPushButton>
#include "PickerTree.h"
#include "TFrmMenuOrder.h"
#include "TfrmMenuCfg.h"

// The menu editor, driven through its controls.
class TestFrmMenuCfg : public QObject
{
    Q_OBJECT

    using Fixture = EditorFixture<TfrmMenuCfg>;

    static QTreeWidgetItem* Menu(Fixture& f, const QString& text) { return NodeByText(f.form->Tree(), text); }
    static void Type(Fixture& f, const QString& text, const QString& funcID, bool toolbar = false)
    {
        f.Control<QLineEdit>("edtMenuText")->setText(text);
        SelectPickerFunction(f.Control<QTreeWidget>("tvRight"), funcID);
        f.Control<QCheckBox>("chkShowInToolBar")->setChecked(toolbar);
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void addsWithToolbarRowAndAllocatedKeys()
    {
        Fixture f;
        QVERIFY2(f.env.IsValid(), qPrintable(f.env.Error()));
        DragTree* tree = f.form->Tree();
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("系统(&S)"));
        QVERIFY(!f.Control<QTreeWidget>("tvRight")->isEnabled() &&
                !f.Control<QCheckBox>("chkShowInToolBar")->isEnabled());
        // A stray high key must not be taken for the new row's.
        QVERIFY(ExecCommand("insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum) "
                            "values (9999,'孤立',777,'',1)"));

        ClearSelection(tree);
        f.Click("btnAddSame");
        QVERIFY(f.Control<QCheckBox>("chkShowInToolBar")->isEnabled());
        Type(f, "报表 'A' \"B\"", "2003", true);
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("添加数据成功！"));
        const QString counter = One("select MenuID from SeqTable");
        QCOMPARE(One("select MenuID,ParentMenuID,FunctionID from AC_MENUSTRUCT where MenuText=?",
                     {"报表 'A' \"B\""}),
                 counter + "|0|2003");
        QTreeWidgetItem* added = tree->topLevelItem(tree->topLevelItemCount() - 1);
        QCOMPARE(TfrmMenuCfg::NodeMenu(added).MenuID, counter.toInt());
        QCOMPARE(One("select ButtonText,FunctionID,IconIndex is null,IsShow is null,OrderNum is null from "
                     "AC_TOOLCFG "
                     "where ButtonID=(select ButtonID from SeqTable)"),
                 QString("报表 'A' \"B\"|2003|1|1|1"));
        // Same mode, empty inputs, the box unticked.
        QCOMPARE(f.form->EditMode(), QString("ADDSAME"));
        QVERIFY(f.Control<QLineEdit>("edtMenuText")->text().isEmpty() &&
                !f.Control<QCheckBox>("chkShowInToolBar")->isChecked());
        QVERIFY(PickedFunction(f.Control<QTreeWidget>("tvRight")).FunctionID.isEmpty());

        // Two adds beside 用户管理(&U) both go under 系统管理(&A).
        SelectNode(tree, Menu(f, "用户管理(&U)"));
        f.Click("btnAddSame");
        Type(f, "甲", "");
        f.Click("btnSave");
        Type(f, "乙", "4005");
        f.Click("btnSave");
        QCOMPARE(Rows("select MenuText,FunctionID from AC_MENUSTRUCT where ParentMenuID=30 order by OrderNum")
                     .mid(11),
                 QStringList({"甲|", "乙|4005"}));
        QCOMPARE(Menu(f, "乙")->parent(), Menu(f, "系统管理(&A)"));

        // The toolbar row fails: the menu is not added either.
        QVERIFY(TestEnv::InjectFailure("AC_TOOLCFG", "insert"));
        const QString menus = One("select count(*) from AC_MENUSTRUCT");
        Type(f, "丙", "4005", true);
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("添加数据出错！"));
        QCOMPARE(One("select count(*) from AC_MENUSTRUCT"), menus);
        QVERIFY(!Menu(f, "丙"));
        QCOMPARE(f.Control<QLineEdit>("edtMenuText")->text(), QString("丙"));
        QVERIFY(TestEnv::RemoveFailure("AC_TOOLCFG", "insert"));

        // Empty text, and a child with nothing selected.
        Type(f, "", "");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("菜单文字是必填项！"));
        f.Click("btnAddChild");
        ClearSelection(tree);
        f.dialogs.ClearRecords();
        Type(f, "丁", "");
        f.Click("btnSave");
        QVERIFY(f.dialogs.Texts().isEmpty());
        QVERIFY(!f.dialogs.Failed());
    }

    void editShowsAndStoresTheBoundFunction()
    {
        Fixture f;
        SelectNode(f.form->Tree(), Menu(f, "角色管理(&R)"));
        QCOMPARE(f.Control<QLineEdit>("edtMenuText")->text(), QString("角色管理(&R)"));
        QCOMPARE(PickedFunction(f.Control<QTreeWidget>("tvRight")).FunctionID, QString("4002"));
        QCOMPARE(f.Control<QTreeWidget>("tvRight")->currentItem()->text(0), QString("角色管理(TFrmRole)"));
        f.Click("btnEdit");
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("修改菜单"));
        QVERIFY(!f.Control<QCheckBox>("chkShowInToolBar")->isEnabled());
        f.Control<QLineEdit>("edtMenuText")->clear();
        f.Click("btnClearSelFunc");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("更新数据成功！"));
        QCOMPARE(One("select MenuText,FunctionID,ParentMenuID from AC_MENUSTRUCT where MenuID=32"),
                 QString("||30"));
        QCOMPARE(f.form->EditMode(), QString("UPDATE"));
        f.Click("btnCancel");
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("浏览数据"));
        QVERIFY(!f.Control<QLineEdit>("edtMenuText")->isEnabled());
    }

    void aSaveOverAnotherDesksChangeIsRefused()
    {
        Fixture f;
        SelectNode(f.form->Tree(), Menu(f, "角色管理(&R)"));
        f.Click("btnEdit");
        {
            // The other desk, on its own connection, saves the same menu row.
            SqlConnection second;
            QVERIFY(f.env.OpenSecondConnection(second));
            SqlConnection* first = CurrentConnection();
            SetCurrentConnection(&second);
            TfrmMenuCfg there;
            there.show();
            SelectNode(there.Tree(), NodeByText(there.Tree(), "角色管理(&R)"));
            there.findChild<QPushButton*>("btnEdit")->click();
            there.findChild<QLineEdit*>("edtMenuText")->setText("角色(&R)");
            there.findChild<QPushButton*>("btnSave")->click();
            SetCurrentConnection(first);
        }
        QCOMPARE(f.dialogs.LastText(), QString("更新数据成功！"));
        f.Control<QLineEdit>("edtMenuText")->setText("角色维护(&R)");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("该记录已被其他用户修改，请重新打开后再修改。"));
        QCOMPARE(One("select MenuText from AC_MENUSTRUCT where MenuID=32"), QString("角色(&R)"));
        // A drop is checked the same way; once read again, the edit saves.
        f.Click("btnCancel");
        f.Reopen();
        SelectNode(f.form->Tree(), Menu(f, "角色(&R)"));
        f.Click("btnEdit");
        f.Control<QLineEdit>("edtMenuText")->setText("角色维护(&R)");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("更新数据成功！"));
        QVERIFY(ExecCommand("update AC_MENUSTRUCT set RowVersion=RowVersion+1 where MenuID=32"));
        f.Click("btnCancel");
        f.Click("chkDrag");
        f.form->tvMenuDragDrop(Menu(f, "角色维护(&R)"), Menu(f, "帮助(&H)"));
        QCOMPARE(f.dialogs.LastText(), QString("该记录已被其他用户修改，请重新打开后再修改。"));
        QCOMPARE(One("select ParentMenuID from AC_MENUSTRUCT where MenuID=32"), QString("30"));
    }

    void deleteAndDrop()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        SelectNode(tree, Menu(f, "工具(&T)"));
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("该项目下尚有子菜单，不能删除！"));
        SelectNode(tree, Menu(f, "记事本(&N)"));
        f.dialogs.QueueAnswer(Dialogs::Ok);
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.Boxes().last().text, QString("确定要删除该菜单吗？"));
        QVERIFY(!Menu(f, "记事本(&N)"));
        QCOMPARE(One("select count(*) from AC_MENUSTRUCT where MenuID=62"), QString("0"));

        f.Click("chkDrag");
        QVERIFY(!f.Enabled("btnRootOrder") && !f.Enabled("btnChildOrder") && !f.Enabled("btnEdit"));
        const QStringList before = Outline(tree);
        f.form->tvMenuDragDrop(Menu(f, "系统(&S)"), Menu(f, "退出(&X)"));
        f.form->tvMenuDragDrop(Menu(f, "系统(&S)"), Menu(f, "系统(&S)"));
        QCOMPARE(Outline(tree), before);
        QCOMPARE(One("select ParentMenuID from AC_MENUSTRUCT where MenuID=1"), QString("0"));

        f.form->tvMenuDragDrop(Menu(f, "工具(&T)"), Menu(f, "帮助(&H)"));
        QCOMPARE(Menu(f, "帮助(&H)")->child(0), Menu(f, "工具(&T)"));
        QCOMPARE(Menu(f, "工具(&T)")->child(0)->text(0), QString("计算器(&C)"));
        QCOMPARE(One("select ParentMenuID from AC_MENUSTRUCT where MenuID=60"), QString("70"));
        f.Click("chkDrag");
        QVERIFY(f.Enabled("btnRootOrder") && f.Enabled("btnEdit") && !f.Enabled("btnSave"));
    }

    void switchingNodesKeepsTypedWork()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        SelectNode(tree, Menu(f, "角色管理(&R)"));
        f.Click("btnEdit");
        auto* edit = f.Control<QLineEdit>("edtMenuText");
        edit->selectAll();
        TypeText(edit, "角色");
        QVERIFY(f.form->HasUnsavedInput());
        // 取消: the edited node stays selected with what was typed.
        f.dialogs.QueueAnswer(Dialogs::Cancel);
        tree->setCurrentItem(Menu(f, "用户管理(&U)"));
        QCOMPARE(f.dialogs.LastText(), QString("数据已修改，是否保存？"));
        QCOMPARE(tree->currentItem(), Menu(f, "角色管理(&R)"));
        QCOMPARE(edit->text(), QString("角色"));
        // 是 stores it for the node it was typed for, then shows the other one.
        f.dialogs.QueueAnswer(Dialogs::Yes);
        tree->setCurrentItem(Menu(f, "用户管理(&U)"));
        QCOMPARE(One("select MenuText from AC_MENUSTRUCT where MenuID=32"), QString("角色"));
        QCOMPARE(One("select MenuText from AC_MENUSTRUCT where MenuID=31"), QString("用户管理(&U)"));
        QCOMPARE(edit->text(), QString("用户管理(&U)"));
        QVERIFY(!f.form->HasUnsavedInput());

        // Adding: the node clicked only anchors the new menu.
        f.Click("btnAddSame");
        TypeText(edit, "新菜单");
        tree->setCurrentItem(Menu(f, "备份数据(&B)"));
        QCOMPARE(edit->text(), QString("新菜单"));
        f.Click("btnSave");
        QCOMPARE(One("select ParentMenuID from AC_MENUSTRUCT where MenuText=?", {"新菜单"}), QString("50"));
        QVERIFY(f.dialogs.PendingAnswers() == 0 && !f.dialogs.Failed());
    }

    void orderDialog()
    {
        Fixture f;
        TFrmMenuOrder* dialog = FrmMenuOrder();
        SelectNode(f.form->Tree(), Menu(f, "帮助(&H)"));
        WhileModal([&] { f.Click("btnChildOrder"); },
                   [&](QDialog*) { QCOMPARE(dialog->ParentLabel()->text(), QString("帮助(&H)")); });
        QTableWidget* list = dialog->OrderList();
        QCOMPARE(list->objectName(), QString("LvMenu"));
        QCOMPARE(list->columnWidth(1), 150);
        const QStringList rows = ListRows(list);
        QCOMPARE(rows.size(), 4);
        list->selectRow(1);
        dialog->btnMoveUpClick();
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(ListRows(list)[0], rows[1].section('|', 0, 1) + "|" + rows[0].section('|', 2));
        dialog->LoadOrderList("帮助(&H)", "70");
        QCOMPARE(ListRows(list)[0].section('|', 0, 0), QString("72"));
        WhileModal([&] { f.Click("btnRootOrder"); },
                   [&](QDialog*) { QCOMPARE(dialog->ParentLabel()->text(), QString("根菜单项")); });
        QCOMPARE(list->rowCount(), 8);
    }
};

QTEST_MAIN(TestFrmMenuCfg)
#include "tst_frmmenucfg.moc"
