#include "EditorFixture.h"
#include "PickerTree.h"
#include "TfrmToolCfg.h"

// The toolbar editor, driven through its controls.
class TestFrmToolCfg : public QObject
{
    Q_OBJECT

    using Fixture = EditorFixture<TfrmToolCfg>;

    static QStringList StoredOrder()
    {
        return Rows("select ButtonID||':'||OrderNum from AC_TOOLCFG order by OrderNum, ButtonID");
    }
    // Button ids as the list shows them, top to bottom.
    static QStringList ListedIDs(Fixture& f)
    {
        QStringList ids;
        for (int row = 0; row < f.Control<QTableWidget>("LvButton")->rowCount(); ++row)
            ids << QString::number(f.form->RowButtonID(row));
        return ids;
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void addEditAndTheListColumns()
    {
        Fixture f;
        QVERIFY2(f.env.IsValid(), qPrintable(f.env.Error()));
        QTableWidget* list = f.Control<QTableWidget>("LvButton");
        QCOMPARE(list->rowCount(), 16);
        QCOMPARE(ListRows(list).first(), QString("28|1|销售记录|Y|销售记录管理(2001)"));
        QVERIFY(!list->item(0, 0)->icon().isNull());
        QVERIFY(f.Control<QComboBox>("cmbIcon")->count() > 40 &&
                !f.Control<QComboBox>("cmbIcon")->isEnabled());

        f.Click("btnAdd");
        QVERIFY(!f.Enabled("btnAdd"));
        QCOMPARE(f.Control<QLabel>("lblState")->text(), QString("添加数据"));
        f.Control<QLineEdit>("edtText")->setText("打印 'A' \"B\"");
        f.Control<QComboBox>("cmbIcon")->setCurrentIndex(16);
        f.Control<QCheckBox>("chkIsShow")->setChecked(true);
        SelectPickerFunction(f.Control<QTreeWidget>("tvRight"), "2003");
        f.Click("btnSave");
        QCOMPARE(f.dialogs.LastText(), QString("添加工具栏按钮成功"));
        const QString id = One("select ButtonID from SeqTable");
        QCOMPARE(
            One("select ButtonText,IconIndex,IsShow,FunctionID,OrderNum from AC_TOOLCFG where ButtonID=?",
                {id}),
            QString("打印 'A' \"B\"|16|Y|2003|17"));
        QCOMPARE(ListRows(list).last(), QString("16|17|打印 'A' \"B\"|Y|打印模板(2003)"));
        QCOMPARE(f.form->CurrentButtonID(), id.toLongLong());
        QCOMPARE(f.form->EditMode(), QString("ADD"));

        // A function whose name holds brackets still selects its picker node.
        QVERIFY(ExecCommand("update AC_FUNCTIONINFO set FunctionName='日志(全部)' where FunctionID='4005'"));
        f.Click("btnCancel");
        f.Reopen();
        Fixture& g = f;
        QTableWidget* list2 = g.Control<QTableWidget>("LvButton");
        list2->selectRow(10);
        QCOMPARE(list2->item(10, 4)->text(), QString("日志(全部)(4005)"));
        QCOMPARE(PickedFunction(g.Control<QTreeWidget>("tvRight")).FunctionID, QString("4005"));

        // Edit: the shown order number is written with the row.
        g.Click("btnEdit");
        g.Control<QLineEdit>("edtText")->setText("日志");
        g.Control<QCheckBox>("chkIsShow")->setChecked(false);
        g.Click("btnClearSelFunc");
        g.Click("btnSave");
        QCOMPARE(g.dialogs.LastText(), QString("更新工具栏按钮成功"));
        QCOMPARE(One("select ButtonText,IsShow,FunctionID,OrderNum from AC_TOOLCFG where ButtonID=8"),
                 QString("日志|N||11"));
        g.Control<QLineEdit>("edtText")->clear();
        g.Click("btnSave");
        QCOMPARE(g.dialogs.LastText(), QString("按钮文字是必填项！"));
    }

    void movesStayOnScreenUntilTheOrderIsSaved()
    {
        Fixture f;
        QTableWidget* list = f.Control<QTableWidget>("LvButton");
        const QStringList stored = StoredOrder();
        const QStringList ids = ListedIDs(f);
        list->selectRow(0);
        f.Click("btnMoveUp");
        list->selectRow(15);
        f.Click("btnMoveDown");
        QCOMPARE(ListedIDs(f), ids);

        list->selectRow(0);
        f.Click("btnMoveDown");
        f.Click("btnMoveDown");
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(ListedIDs(f).mid(0, 3), QStringList({"2", "15", "1"}));
        QCOMPARE(list->item(2, 1)->text(), QString("3")); // numbers stay in place
        QCOMPARE(StoredOrder(), stored);
        f.Click("btnSaveSeq");
        QCOMPARE(Rows("select ButtonID from AC_TOOLCFG order by OrderNum").mid(0, 3),
                 QStringList({"2", "15", "1"}));
        QVERIFY(f.dialogs.Texts().isEmpty());
    }

    void movesAreTypedWorkAndEditsKeepTheStoredNumber()
    {
        Fixture f;
        QTableWidget* list = f.Control<QTableWidget>("LvButton");
        list->selectRow(0);
        f.Click("btnMoveDown");
        QVERIFY(f.form->HasUnsavedInput());
        // Button 1 now stands second; an edit before the order is saved keeps its number.
        f.Click("btnEdit");
        f.Control<QLineEdit>("edtText")->setText("销售");
        f.Click("btnSave");
        QCOMPARE(One("select ButtonText,OrderNum from AC_TOOLCFG where ButtonID=1"), QString("销售|1"));
        QCOMPARE(One("select count(*) from AC_TOOLCFG a, AC_TOOLCFG b "
                     "where a.OrderNum=b.OrderNum and a.ButtonID<b.ButtonID"),
                 QString("0"));
        // Closing with the moves not stored asks; 否 shows the stored order.
        f.dialogs.QueueAnswer(Dialogs::Cancel);
        QVERIFY(!f.form->close());
        QCOMPARE(f.dialogs.LastText(), QString("数据已修改，是否保存？"));
        f.dialogs.QueueAnswer(Dialogs::No);
        QVERIFY(f.form->close());
        QCOMPARE(ListedIDs(f).mid(0, 2), QStringList({"1", "2"}));
        QCOMPARE(Rows("select ButtonID from AC_TOOLCFG order by OrderNum").mid(0, 2),
                 QStringList({"1", "2"}));

        // In the add mode a click on a row keeps what was typed.
        f.Reopen();
        f.Click("btnAdd");
        TypeText(f.Control<QLineEdit>("edtText"), "新按钮");
        f.Control<QTableWidget>("LvButton")->selectRow(3);
        QCOMPARE(f.Control<QLineEdit>("edtText")->text(), QString("新按钮"));
        QVERIFY(!f.dialogs.Failed());
    }

    void orderNumbersAreWrittenAsOneToN()
    {
        Fixture f;
        QVERIFY(ExecCommand("delete from AC_TOOLCFG where ButtonID>3"));
        QVERIFY(ExecCommand("update AC_TOOLCFG set OrderNum=ButtonID*10"));
        f.Reopen();
        Fixture& g = f;
        QTableWidget* list = g.Control<QTableWidget>("LvButton");
        QCOMPARE(ListRows(list).size(), 3);
        QCOMPARE(list->item(2, 1)->text(), QString("30"));
        g.Click("btnSaveSeq");
        QCOMPARE(Rows("select OrderNum from AC_TOOLCFG order by ButtonID"), QStringList({"1", "2", "3"}));
        // The list shows what is stored, so a later edit keeps the place.
        QCOMPARE(list->item(2, 1)->text(), QString("3"));
        list->selectRow(2);
        g.Click("btnEdit");
        g.Click("btnSave");
        QCOMPARE(One("select OrderNum from AC_TOOLCFG where ButtonID=3"), QString("3"));

        // A failed write keeps the table and shows it again.
        list->selectRow(0);
        g.Click("btnMoveDown");
        QVERIFY(TestEnv::InjectFailure("AC_TOOLCFG", "update"));
        g.Click("btnSaveSeq");
        QCOMPARE(g.dialogs.LastText(), QString("写数据时出错，更新失败！"));
        QCOMPARE(Rows("select OrderNum from AC_TOOLCFG order by ButtonID"), QStringList({"1", "2", "3"}));
        QCOMPARE(ListedIDs(g), QStringList({"1", "2", "3"}));
    }

    void deleteRenumbersInOneWrite()
    {
        Fixture f;
        QTableWidget* list = f.Control<QTableWidget>("LvButton");
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("没有选定！"));

        // A failure while numbering the rest: the button stays.
        list->selectRow(1);
        QVERIFY(TestEnv::InjectFailure("AC_TOOLCFG", "update"));
        f.dialogs.QueueAnswer(Dialogs::Ok);
        f.Click("btnDelete");
        QCOMPARE(f.dialogs.LastText(), QString("删除工具栏出错！"));
        QCOMPARE(One("select count(*) from AC_TOOLCFG"), QString("16"));
        QCOMPARE(list->rowCount(), 16);
        QVERIFY(TestEnv::RemoveFailure("AC_TOOLCFG", "update"));

        f.dialogs.QueueAnswer(Dialogs::Cancel);
        f.Click("btnDelete");
        QCOMPARE(list->rowCount(), 16);
        f.dialogs.QueueAnswer(Dialogs::Ok);
        f.Click("btnDelete");
        QCOMPARE(list->rowCount(), 15);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(
            Rows("select OrderNum from AC_TOOLCFG order by OrderNum"),
            QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}));
        QCOMPARE(list->item(14, 1)->text(), QString("15"));
        QCOMPARE(One("select count(*) from AC_TOOLCFG where ButtonID=2"), QString("0"));
        QVERIFY(!f.dialogs.Failed());
    }
};

QTEST_MAIN(TestFrmToolCfg)
#include "tst_frmtoolcfg.moc"
