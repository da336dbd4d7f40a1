#include "EditorFixture.h"
#include "FunctionTree.h"
#include "TFrmRight.h"
#include "TFrmRightOrder.h"

#include <QScrollBar>

// The function catalogue editor, driven through its controls.
class TestFrmRight : public QObject
{
    Q_OBJECT

    using Fixture = EditorFixture<TFrmRight>;

    static void TypeFunction(Fixture& f, const QString& id, const QString& name, bool isPublic = false)
    {
        f.Control<QLineEdit>("edtFunctionID")->setText(id);
        f.Control<QLineEdit>("edtFunctionName")->setText(name);
        f.Control<QLineEdit>("edtControlName")->setText("TFrmX");
        f.Control<QLineEdit>("edtFormModal")->setText("S");
        f.Control<QPlainTextEdit>("memDesc")->setPlainText("说明\n第二行");
        f.Control<QCheckBox>("chkIsPublic")->setChecked(isPublic);
    }
    static QTreeWidgetItem* Node(Fixture& f, const QString& id)
    {
        return FindFunctionNode(f.form->Tree(), id);
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void addsStayInModeBesideTheSameAnchor()
    {
        Fixture f;
        QVERIFY2(f.env.IsValid(), qPrintable(f.env.Error()));
        DragTree* tree = f.form->Tree();
        QVERIFY(Node(f, "4004"));
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("浏览数据"));
        QVERIFY(!f.Enabled("edtFunctionID") && !f.Enabled("btnSave"));

        // Nothing selected: a top-level function; quotes are stored as typed.
        ClearSelection(tree);
        f.Click("btnAddSame");
        QCOMPARE(f.form->EditMode(), QString("ADDSAME"));
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("平级添加数据"));
        TypeFunction(f, "8000", "O'Brien \"报表\"");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("添加数据成功！"));
        QCOMPARE(One("select FunctionName,ParentFunctionID,FunctionDesc,IsPublic from AC_FUNCTIONINFO where "
                     "FunctionID='8000'"),
                 QString("O'Brien \"报表\"|-1|说明\n第二行|N"));
        QCOMPARE(tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0),
                 QString("O'Brien \"报表\"(8000)"));

        // Beside 4004 twice: both land under 4000, after the existing ones.
        SelectNode(tree, Node(f, "4004"));
        f.Click("btnAddSame");
        TypeFunction(f, "4101", "甲");
        f.Click("btnSave");
        QCOMPARE(f.form->EditMode(), QString("ADDSAME"));
        QVERIFY(f.Control<QLineEdit>("edtFunctionID")->text().isEmpty());
        TypeFunction(f, "4102", "乙");
        f.Click("btnSave");
        QCOMPARE(
            Rows("select FunctionID from AC_FUNCTIONINFO where ParentFunctionID='4000' order by OrderNum")
                .mid(9),
            QStringList({"4101", "4102"}));
        QTreeWidgetItem* parent = Node(f, "4000");
        QCOMPARE(parent->child(parent->childCount() - 1)->text(0), QString("乙(4102)"));

        // A number in use, and a missing name.
        TypeFunction(f, "4101", "丙");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("该功能编号已经存在，请使用其他编号！"));
        TypeFunction(f, "4103", "");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("功能编号和功能名称是必填项！"));

        // Below a node with nothing selected: said so, nothing stored.
        f.Click("btnAddChild");
        ClearSelection(tree);
        f.dialogs.ClearRecords();
        TypeFunction(f, "4104", "丁");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.Texts(), QStringList({"没有选择任何功能！"}));
        QCOMPARE(One("select count(*) from AC_FUNCTIONINFO where FunctionID='4104'"), QString("0"));
        QVERIFY(!f.dialogs.Failed());
    }

    void numbersThatAreNotOneToSixDigitsAreRefused()
    {
        Fixture f;
        const int before = One("select count(*) from AC_FUNCTIONINFO").toInt();
        f.Click("btnAddSame");
        // Typed letters and a seventh digit never reach the box.
        QTest::keyClicks(f.Control<QLineEdit>("edtFunctionID"), "12a-34567");
        QCOMPARE(f.Control<QLineEdit>("edtFunctionID")->text(), QString("123456"));
        for (const char* id : {"", "-1", "0", "+5", "007", "12 3"}) {
            TypeFunction(f, id, "坏编号");
            f.Click("btnSave");
            QCOMPARE(f.dialogs.LastText(), QString("功能编号必须是数字"));
        }
        QCOMPARE(One("select count(*) from AC_FUNCTIONINFO").toInt(), before);
    }

    void publicParentMakesTheFunctionPublic()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        // Below the public 7000, beside its child 7001, and an edit of 7002.
        SelectNode(tree, Node(f, "7000"));
        f.Click("btnAddChild");
        TypeFunction(f, "7101", "子");
        f.Click("btnSave");
        SelectNode(tree, Node(f, "7001"));
        f.Click("btnAddSame");
        TypeFunction(f, "7102", "平级");
        f.Click("btnSave");
        SelectNode(tree, Node(f, "7002"));
        f.Click("btnEdit");
        QVERIFY(!f.Enabled("edtFunctionID"));
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("修改数据"));
        f.Control<QCheckBox>("chkIsPublic")->setChecked(false);
        f.Control<QLineEdit>("edtFunctionName")->setText("关于'本程序'");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("更新数据成功！"));
        QCOMPARE(
            Rows("select FunctionID,IsPublic from AC_FUNCTIONINFO where FunctionID in ('7101','7102','7002') "
                 "order by FunctionID"),
            QStringList({"7002|Y", "7101|Y", "7102|Y"}));
        QCOMPARE(Node(f, "7002")->text(0), QString("关于'本程序'(7002)"));
        QCOMPARE(f.form->EditMode(), QString("UPDATE"));
        // A parent that is not public leaves the box's choice.
        SelectNode(tree, Node(f, "2000"));
        f.Click("btnAddChild");
        TypeFunction(f, "2101", "私有");
        f.Click("btnSave");
        QCOMPARE(One("select IsPublic from AC_FUNCTIONINFO where FunctionID='2101'"), QString("N"));
    }

    void deleteRemovesReferencesAllOrNothing()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (1,'2003')"));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('2003','ADMIN')"));
        QVERIFY(ExecCommand(
            "insert into AC_GROUPCFG (ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,OrderNum) "
            "values (900,'模板',0,'Y','2003',1,900)"));
        const QString menuRef = "select count(*) from AC_MENUSTRUCT where FunctionID='2003'";
        QCOMPARE(One(menuRef), QString("1"));

        // A node with children is refused.
        SelectNode(tree, Node(f, "2000"));
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("该项目下尚有子功能，不能删除！"));

        // A failure in the middle of the cascade: nothing is deleted.
        SelectNode(tree, Node(f, "2003"));
        QVERIFY(TestEnv::InjectFailure("AC_TOOLCFG", "update"));
        f.dialogs.QueueAnswer(Dialogs::Ok);
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("删除数据出错！"));
        QVERIFY(Node(f, "2003"));
        QCOMPARE(One("select count(*) from AC_FUNCTIONINFO where FunctionID='2003'"), QString("1"));
        QCOMPARE(One("select count(*) from AC_ROLE_FUNCTION where FunctionID='2003'"), QString("1"));
        QCOMPARE(One(menuRef), QString("1"));
        QVERIFY(TestEnv::RemoveFailure("AC_TOOLCFG", "update"));

        // Cancel at the question keeps it; OK deletes it and its references.
        f.dialogs.QueueAnswer(Dialogs::Cancel);
        f.Click("btnDelete");
        QVERIFY(Node(f, "2003"));
        f.dialogs.QueueAnswer(Dialogs::Ok);
        f.Click("btnDelete");
        QVERIFY(!Node(f, "2003"));
        QCOMPARE(One("select count(*) from AC_FUNCTIONINFO where FunctionID='2003'"), QString("0"));
        QCOMPARE(One("select count(*) from AC_ROLE_FUNCTION where FunctionID='2003'"), QString("0"));
        QCOMPARE(One("select count(*) from AC_FUNCTION_USER where FunctionID='2003'"), QString("0"));
        QCOMPARE(One(menuRef), QString("0"));
        QCOMPARE(One("select count(*) from AC_MENUSTRUCT where MenuID=14 and FunctionID=''"), QString("1"));
        QCOMPARE(One("select FunctionID from AC_GROUPCFG where ItemID=900"), QString());
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("浏览数据"));

        // Nothing selected.
        ClearSelection(tree);
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("没有选择任何功能！"));
        QVERIFY(!f.dialogs.Failed());
    }

    void dropMovesTheSubtreeAndWritesTheParent()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        f.Click("chkDrag");
        QVERIFY(f.Control("lblDragInfo")->isVisibleTo(f.form.get()));
        for (const char* name : {"btnEdit", "btnAddSame", "btnAddChild", "btnSave", "btnDelete", "btnCancel"})
            QVERIFY2(!f.Enabled(name), name);
        QVERIFY(f.Enabled("btnRootOrder") && f.Enabled("btnChildOrder") && f.Enabled("btnPos"));

        // Onto itself or its own descendant: nothing changes.
        const QStringList before = Outline(tree);
        f.form->tvRightDragDrop(Node(f, "4000"), Node(f, "4000"));
        f.form->tvRightDragDrop(Node(f, "4000"), Node(f, "400131"));
        QCOMPARE(Outline(tree), before);
        QCOMPARE(One("select ParentFunctionID from AC_FUNCTIONINFO where FunctionID='4001'"),
                 QString("4000"));

        // 4001 with its two sub-rights under 2000, as the first child.
        f.form->tvRightDragDrop(Node(f, "4001"), Node(f, "2000"));
        QCOMPARE(Node(f, "2000")->child(0), Node(f, "4001"));
        QCOMPARE(Node(f, "4001")->childCount(), 2);
        QCOMPARE(One("select ParentFunctionID from AC_FUNCTIONINFO where FunctionID='4001'"),
                 QString("2000"));
        QCOMPARE(One("select ParentFunctionID from AC_FUNCTIONINFO where FunctionID='400131'"),
                 QString("4001"));

        // A failed write is reported and the stored tree is shown again.
        QVERIFY(TestEnv::InjectFailure("AC_FUNCTIONINFO", "update"));
        const QStringList stored = Outline(tree);
        f.form->tvRightDragDrop(Node(f, "9006"), Node(f, "3000"));
        QCOMPARE(f.dialogs.LastText(), QString("写数据时出错，更新失败！"));
        QCOMPARE(Node(f, "9006")->parent(), Node(f, "9000"));
        QCOMPARE(Outline(tree).size(), stored.size());

        // Leaving drag mode gives the edit buttons back, Save and Cancel stay off.
        f.Click("chkDrag");
        QVERIFY(!f.Control("lblDragInfo")->isVisibleTo(f.form.get()));
        QVERIFY(f.Enabled("btnEdit") && f.Enabled("btnDelete") && !f.Enabled("btnSave") &&
                !f.Enabled("btnCancel"));
    }

    void dragScrollsNearTheEdges()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        tree->resize(200, 120);
        f.Click("chkDrag");
        tree->DragOverAt(QPoint(10, tree->viewport()->height() - 5));
        QVERIFY(tree->ScrollTimer()->isActive());
        QCOMPARE(tree->ScrollTimer()->interval(), 100);
        const int top = tree->verticalScrollBar()->value();
        QTRY_VERIFY(tree->verticalScrollBar()->value() > top);
        tree->DragOverAt(QPoint(10, 5));
        QCOMPARE(tree->Direction(), DragTree::ScrollDirection::Up);
        tree->DragOverAt(QPoint(10, 60));
        QVERIFY(!tree->ScrollTimer()->isActive());
        tree->DragOverAt(QPoint(10, 2));
        tree->EndDrag();
        QVERIFY(!tree->ScrollTimer()->isActive());
    }

    void locateAndNumberCheck()
    {
        Fixture f;
        f.Control<QLineEdit>("edtPos")->setText(" 4005 ");
        f.Click("btnPos");
        QCOMPARE(f.form->Tree()->SelectedNode(), Node(f, "4005"));
        QCOMPARE(f.Control<QLineEdit>("edtFunctionName")->text(), QString("系统日志"));
        f.Control<QLineEdit>("edtPos")->setText("400");
        f.Click("btnPos");
        QCOMPARE(f.dialogs.LastText(), QString("未找到功能号为 400 的定义，请检查输入!"));

        f.Control<QLineEdit>("edtFunctionID")->clear();
        f.Click("btnDetect");
        QCOMPARE(f.dialogs.LastText(), QString("功能编号不能为空！"));
        f.Control<QLineEdit>("edtFunctionID")->setText("4005");
        f.Click("btnDetect");
        QCOMPARE(f.dialogs.LastText(), QString("该功能编号已被使用"));
        f.Control<QLineEdit>("edtFunctionID")->setText("4999");
        f.Click("btnDetect");
        QCOMPARE(f.dialogs.LastText(), QString("该功能编号可以使用"));
        // The rule of saving, with its reason: a number the check calls
        // usable can be saved.
        for (const char* id : {"007", "0", "-1", "+5"}) {
            f.Control<QLineEdit>("edtFunctionID")->setText(id);
            f.Click("btnDetect");
            QVERIFY2(f.dialogs.LastText() == "功能编号只能是1到6位数字，不能以0开头，也不能带正负号！", id);
        }
    }

    void anEditNeedsANameAndAKnownFormMode()
    {
        Fixture f;
        SelectNode(f.form->Tree(), Node(f, "4005"));
        f.Click("btnEdit");
        f.Control<QLineEdit>("edtFunctionName")->clear();
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("功能名称是必填项！"));
        f.Control<QLineEdit>("edtFunctionName")->setText("系统日志");

        // Typed: only M, S or D gets in, in upper case.
        auto* mode = f.Control<QLineEdit>("edtFormModal");
        mode->clear();
        QTest::keyClicks(mode, "x");
        QCOMPARE(mode->text(), QString());
        QTest::keyClicks(mode, "d");
        QCOMPARE(mode->text(), QString("D"));
        mode->setText("X");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("窗体模式只能是 M、S、D 或空！"));
        QCOMPARE(One("select FormModal from AC_FUNCTIONINFO where FunctionID='4005'"), QString("S"));

        // The remarks stop at the column's size.
        mode->setText("M");
        f.Control<QPlainTextEdit>("memDesc")->setPlainText(QString(300, QChar(0x6587)));
        const int kept = f.env.OnServer() ? 200 : 100;
        QCOMPARE(f.Control<QPlainTextEdit>("memDesc")->toPlainText().size(), kept);
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("更新数据成功！"));
        QCOMPARE(One("select FunctionDesc from AC_FUNCTIONINFO where FunctionID='4005'").size(), kept);
        QCOMPARE(One("select FormModal from AC_FUNCTIONINFO where FunctionID='4005'"), QString("M"));
    }

    void aFunctionMovesBackToTheTopLevel()
    {
        Fixture f;
        DragTree* tree = f.form->Tree();
        // Outside the drag mode nothing moves.
        f.form->MoveToTopLevel(Node(f, "4005"));
        QCOMPARE(Node(f, "4005")->parent(), Node(f, "4000"));
        f.Click("chkDrag");
        f.form->MoveToTopLevel(Node(f, "4005"));
        QVERIFY(!Node(f, "4005")->parent());
        QCOMPARE(tree->SelectedNode(), Node(f, "4005"));
        QCOMPARE(One("select ParentFunctionID from AC_FUNCTIONINFO where FunctionID='4005'"), QString("-1"));
        // A subtree comes along.
        f.form->MoveToTopLevel(Node(f, "4001"));
        QCOMPARE(Node(f, "400131")->parent(), Node(f, "4001"));
        QVERIFY(!Node(f, "4001")->parent());
        f.Reopen();
        QVERIFY(!Node(f, "4005")->parent());
        QVERIFY(!Node(f, "4001")->parent());
    }

    void orderDialogExchangesNeighbours()
    {
        Fixture f;
        TFrmRightOrder* dialog = FrmRightOrder();
        QTableWidget* list = dialog->OrderList();
        QCOMPARE(list->objectName(), QString("LvFunc"));
        WhileModal([&] { f.Click("btnRootOrder"); },
                   [&](QDialog* shown) {
                       QCOMPARE(shown, static_cast<QDialog*>(dialog));
                       QCOMPARE(dialog->ParentLabel()->text(), QString("功能定义根项"));
                       QCOMPARE(dialog->ParentKey(), QString("-1"));
                   });
        const QStringList roots = ListRows(list);
        QCOMPARE(roots.size(), 8);

        // ▲ on the first row and ▼ on the last do nothing.
        list->selectRow(0);
        dialog->btnMoveUpClick();
        list->selectRow(7);
        dialog->btnMoveDownClick();
        QCOMPARE(ListRows(list), roots);

        // Two exchanges: 1000 goes down twice.
        const QString stored =
            "select FunctionID from AC_FUNCTIONINFO where ParentFunctionID='-1' order by OrderNum";
        const QStringList ids = Rows(stored);
        list->selectRow(0);
        dialog->btnMoveDownClick();
        dialog->btnMoveDownClick();
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(list->item(2, 0)->text(), ids[0]);
        QCOMPARE(list->item(2, 2)->text(), roots[2].section('|', 2)); // numbers stay in place
        dialog->LoadOrderList("功能定义根项", "-1");
        QCOMPARE(Rows(stored), QStringList({ids[1], ids[2], ids[0], ids[3], ids[4], ids[5], ids[6], ids[7]}));
        QCOMPARE(ListRows(list).at(2).section('|', 0, 0), ids[0]);

        // A failed write: reported, and the list shows the stored order.
        QVERIFY(TestEnv::InjectFailure("AC_FUNCTIONINFO", "update"));
        const QStringList shown = ListRows(list);
        list->selectRow(3);
        dialog->btnMoveUpClick();
        QCOMPARE(f.dialogs.LastText(), QString("写数据时出错，更新失败！"));
        QCOMPARE(ListRows(list), shown);
        QVERIFY(TestEnv::RemoveFailure("AC_FUNCTIONINFO", "update"));

        // Children of the selected function; the tree keeps its old order.
        SelectNode(f.form->Tree(), Node(f, "7000"));
        WhileModal([&] { f.Click("btnChildOrder"); },
                   [&](QDialog*) { QCOMPARE(dialog->ParentLabel()->text(), QString("帮助")); });
        QCOMPARE(list->rowCount(), 4);
        QCOMPARE(f.form->Tree()->topLevelItem(0)->text(0), QString("系统(1000)"));
    }
};

QTEST_MAIN(TestFrmRight)
#include "tst_frmright.moc"
