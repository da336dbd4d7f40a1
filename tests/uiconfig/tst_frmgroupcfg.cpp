#include "EditorFixture.h"
#include "PickerTree.h"
#include "TFrmGroupCfg.h"
#include "TFrmItemOrder.h"

// The group-bar editor, driven through its controls.
class TestFrmGroupCfg : public QObject
{
    Q_OBJECT

    using Fixture = EditorFixture<TFrmGroupCfg>;

    static QTreeWidgetItem* Item(Fixture& f, const QString& text) { return NodeByText(f.form->Tree(), text); }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void mainItemsSubItemsAndTheTwoLevels()
    {
        Fixture f;
        QVERIFY2(f.env.IsValid(), qPrintable(f.env.Error()));
        DragTree* tree = f.form->Tree();
        QCOMPARE(tree->topLevelItemCount(), 6);
        QVERIFY(!Item(f, "销售管理")->icon(0).isNull());

        // 添加主项 with a sub-item selected still adds a main item.
        SelectNode(tree, Item(f, "客户信息输入"));
        f.Click("btnAddSame");
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("添加主项"));
        QVERIFY(f.Control<QCheckBox>("chkIsShow")->isChecked());
        QCOMPARE(f.Control<QComboBox>("cmbIcon")->currentIndex(), 0);
        f.Control<QLineEdit>("edtText")->setText("常用 'A' \"B\"");
        f.Control<QComboBox>("cmbIcon")->setCurrentIndex(9);
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("添加数据成功！"));
        const QString id = One("select ItemID from SeqTable");
        QCOMPARE(
            One("select ItemText,IconIndex,IsShow,FunctionID,ParentItemID from AC_GROUPCFG where ItemID=?",
                {id}),
            QString("常用 'A' \"B\"|9|Y||0"));
        QCOMPARE(tree->topLevelItem(6)->text(0), QString("常用 'A' \"B\""));
        QCOMPARE(f.form->EditMode(), QString("ADDSAME"));
        QVERIFY(f.Control<QLineEdit>("edtText")->text().isEmpty() &&
                f.Control<QCheckBox>("chkIsShow")->isChecked());

        // A sub-item below a sub-item is refused; below a main item it is added.
        f.Click("btnAddChild");
        f.Control<QLineEdit>("edtText")->setText("三级");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("最多只能有两级,先选择主项目!"));
        SelectNode(tree, tree->topLevelItem(6));
        f.Click("btnAddChild");
        f.Control<QLineEdit>("edtText")->setText("计算器");
        f.Control<QCheckBox>("chkIsShow")->setChecked(false);
        SelectPickerFunction(f.Control<QTreeWidget>("tvRight"), "9006");
        f.Click("btnSave");
        QCOMPARE(One("select IsShow,FunctionID,ParentItemID from AC_GROUPCFG where ItemText='计算器'"),
                 QString("N|9006|") + id);
        QCOMPARE(tree->topLevelItem(6)->child(0)->text(0), QString("计算器"));
        QCOMPARE(f.form->EditMode(), QString("ADDCHILD"));

        // Nothing selected: nothing happens.
        ClearSelection(tree);
        f.dialogs.ClearRecords();
        f.Control<QLineEdit>("edtText")->setText("无");
        f.Click("btnSave");
        QVERIFY(f.dialogs.Texts().isEmpty());

        // Edit shows the item and stores text, icon, flag and function.
        f.Click("btnCancel");
        SelectNode(tree, Item(f, "角色管理"));
        QCOMPARE(f.Control<QComboBox>("cmbIcon")->currentIndex(), 3);
        QCOMPARE(PickedFunction(f.Control<QTreeWidget>("tvRight")).FunctionID, QString("4002"));
        f.Click("btnEdit");
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("修改项目"));
        f.Control<QLineEdit>("edtText")->setText("角色");
        f.Control<QComboBox>("cmbIcon")->setCurrentIndex(2);
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("更新数据成功！"));
        QCOMPARE(One("select ItemText,IconIndex,ParentItemID from AC_GROUPCFG where ItemID=10"),
                 QString("角色|2|8"));

        // Deleting a main item needs its sub-items gone first.
        SelectNode(tree, Item(f, "系统"));
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("该项目下尚有子项目，不能删除！"));
        SelectNode(tree, Item(f, "退出"));
        f.dialogs.QueueAnswer(Dialogs::Ok);
        f.Click("btnDelete");
        QCOMPARE(One("select count(*) from AC_GROUPCFG where ItemID=20"), QString("0"));
        QVERIFY(!f.dialogs.Failed());
    }

    void dropsOnlyOntoMainItems()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        f.Click("chkDrag");
        QVERIFY(!f.Enabled("btnRootOrder") && !f.Enabled("btnAddSame"));
        const QStringList before = Outline(tree);
        // Onto a sub-item, onto itself, and a main item with sub-items onto
        // another main item: refused, nothing written.
        f.form->tvItemDragDrop(Item(f, "用户管理"), Item(f, "备份数据"));
        f.form->tvItemDragDrop(Item(f, "用户管理"), Item(f, "用户管理"));
        f.form->tvItemDragDrop(Item(f, "数据维护"), Item(f, "系统"));
        QCOMPARE(Outline(tree), before);
        QCOMPARE(One("select ParentItemID from AC_GROUPCFG where ItemID=13"), QString("0"));

        f.form->tvItemDragDrop(Item(f, "用户管理"), Item(f, "系统"));
        QCOMPARE(Item(f, "系统")->child(0), Item(f, "用户管理"));
        QCOMPARE(One("select ParentItemID from AC_GROUPCFG where ItemID=9"), QString("17"));
        // A failed write is reported and the stored tree comes back.
        QVERIFY(TestEnv::InjectFailure("AC_GROUPCFG", "update"));
        f.form->tvItemDragDrop(Item(f, "角色管理"), Item(f, "系统"));
        QCOMPARE(f.dialogs.LastText(), QString("写数据时出错，更新失败！"));
        QCOMPARE(Item(f, "角色管理")->parent(), Item(f, "系统管理"));
    }

    void orderDialog()
    {
        Fixture f;
        TFrmItemOrder* dialog = FrmItemOrder();
        // 主项排序 needs a selected item.
        f.Click("btnRootOrder");
        QCOMPARE(dialog->isVisible(), false);
        SelectNode(f.form->Tree(), Item(f, "备份数据"));
        WhileModal([&] { f.Click("btnRootOrder"); },
                   [&](QDialog*) { QCOMPARE(dialog->ParentLabel()->text(), QString("主项数据")); });
        QTableWidget* list = dialog->OrderList();
        QCOMPARE(list->objectName(), QString("LvItem"));
        QCOMPARE(ListRows(list).first(), QString("1|销售管理|1"));
        list->selectRow(5);
        dialog->btnMoveUpClick();
        dialog->btnMoveUpClick();
        dialog->LoadOrderList("主项数据", "0");
        QCOMPARE(ListRows(list).mid(3, 3), QStringList({"17|系统|13", "8|系统管理|19", "13|数据维护|23"}));
        // A sub-item has no children: an empty list.
        WhileModal([&] { f.Click("btnChildOrder"); },
                   [&](QDialog*) { QCOMPARE(dialog->ParentLabel()->text(), QString("备份数据")); });
        QCOMPARE(list->rowCount(), 0);
    }
};

QTEST_MAIN(TestFrmGroupCfg)
#include "tst_frmgroupcfg.moc"
