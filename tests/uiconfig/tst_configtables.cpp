#include "EditorFixture.h"
#include "FunctionCatalogue.h"
#include "GroupBarTable.h"
#include "MenuTable.h"
#include "SiblingOrder.h"
#include "ToolbarTable.h"

// The table services of the configuration editors, without windows: keys,
// stored texts and the all-or-nothing writes.
class TestConfigTables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void functionNumbers()
    {
        for (const char* id : {"1", "9", "1002", "400131", "999999"})
            QVERIFY2(FunctionCatalogue::IsValidFunctionID(id), id);
        for (const char* id : {"", "0", "-1", "+1", "007", "1234567", "12a", " 12", "１２"})
            QVERIFY2(!FunctionCatalogue::IsValidFunctionID(id), id);
        TestEnv env;
        TFunc func;
        func.FunctionID = "-1";
        func.FunctionName = "bad";
        QVERIFY(!FunctionCatalogue::InsertFunction(func, "-1"));
        QCOMPARE(One("select count(*) from AC_FUNCTIONINFO where FunctionID='-1'"), QString("0"));
        QVERIFY(!FunctionCatalogue::IsFunctionIDFree("1002"));
        QVERIFY(FunctionCatalogue::IsFunctionIDFree("1001"));
    }

    void orderExchangeIsOneWrite()
    {
        TestEnv env;
        QVector<OrderRow> rows;
        QVERIFY(LoadSiblings(MenuOrderTable, "70", rows));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].key, QString("71"));
        // The second row of the exchange fails: the first stays as it was.
        QVERIFY(TestEnv::InjectFailure("AC_MENUSTRUCT", "update", "old.MenuID=72"));
        OrderRow a = rows[0], b = rows[1];
        std::swap(a.order, b.order);
        QVERIFY(!WriteOrderNumbers(MenuOrderTable, {a, b}));
        QCOMPARE(Rows("select OrderNum from AC_MENUSTRUCT where MenuID in (71,72) order by MenuID"),
                 QStringList({rows[0].order, rows[1].order}));
        QVERIFY(TestEnv::RemoveFailure("AC_MENUSTRUCT", "update"));
        QVERIFY(WriteOrderNumbers(MenuOrderTable, {a, b}));
        QCOMPARE(Rows("select OrderNum from AC_MENUSTRUCT where MenuID in (71,72) order by MenuID"),
                 QStringList({rows[1].order, rows[0].order}));
        // Function keys are text.
        QVERIFY(LoadSiblings(FunctionOrderTable, "7000", rows));
        QCOMPARE(rows.first().key, QString("7001"));
    }

    void buttonOrderIsOneWrite()
    {
        TestEnv env;
        // Updates of button 3 fail after the others went through.
        QVERIFY(TestEnv::InjectFailure("AC_TOOLCFG", "update", "old.ButtonID=3"));
        QVERIFY(!ToolbarTable::SaveButtonOrder({13, 12, 3, 1}));
        QCOMPARE(One("select OrderNum from AC_TOOLCFG where ButtonID=13"), QString("16"));
        QVERIFY(!ToolbarTable::DeleteButton(5, {1, 2, 3, 4}));
        QCOMPARE(One("select count(*) from AC_TOOLCFG where ButtonID=5"), QString("1"));
    }

    void newKeysComeFromTheCounters()
    {
        TestEnv env;
        // Rows with higher keys than the counters: a "max" read-back would
        // hand out their keys.
        QVERIFY(ExecCommand(
            "insert into AC_GROUPCFG (ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,OrderNum) "
            "values (500,'x',0,'Y','',0,1)"));
        QVERIFY(ExecCommand("insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum) "
                            "values (500,'x',0,'',1)"));
        TItem item;
        item.ItemText = "新'项";
        item.IsShow = "Y";
        QVERIFY(GroupBarTable::InsertItem(item, 0));
        QCOMPARE(QString::number(item.ItemID), One("select ItemID from SeqTable"));
        QCOMPARE(One("select ItemText from AC_GROUPCFG where ItemID=?", {item.ItemID}), QString("新'项"));
        TMenu menu;
        menu.MenuText = "新菜单";
        QVERIFY(MenuTable::InsertMenu(menu, 0, false));
        QCOMPARE(QString::number(menu.MenuID), One("select MenuID from SeqTable"));
        ToolButtonRow button;
        button.ButtonText = "新按钮";
        QVERIFY(ToolbarTable::InsertButton(button, 20));
        QCOMPARE(QString::number(button.ButtonID), One("select ButtonID from SeqTable"));
        // A failed insert hands out no key.
        const QString counter = One("select ItemID from SeqTable");
        QVERIFY(TestEnv::InjectFailure("AC_GROUPCFG", "insert"));
        QVERIFY(!GroupBarTable::InsertItem(item, 0));
        QCOMPARE(One("select ItemID from SeqTable"), counter);
    }

    void updateOfAVanishedRowFails()
    {
        // Rows gone from under an open editor (a restored older backup): the
        // editor must not report their update as stored.
        TestEnv env;
        TMenu menu;
        menu.MenuID = 9999;
        menu.MenuText = "无此菜单";
        QVERIFY(!MenuTable::UpdateMenu(menu, 0));
        ToolButtonRow button;
        button.ButtonID = 9999;
        button.ButtonText = "无此按钮";
        QVERIFY(!ToolbarTable::UpdateButton(button, 1));
        TItem item;
        item.ItemID = 9999;
        item.ItemText = "无此项目";
        QVERIFY(!GroupBarTable::UpdateItem(item, 0));
        TFunc func;
        func.FunctionID = "999999";
        func.FunctionName = "无此功能";
        QVERIFY(!FunctionCatalogue::UpdateFunction(func, "-1"));
        // A row that is there is written, also when nothing in it changes.
        menu.MenuID = 71;
        menu.MenuText = One("select MenuText from AC_MENUSTRUCT where MenuID=71");
        QVERIFY(MenuTable::UpdateMenu(menu, 70));
        QVERIFY(MenuTable::UpdateMenu(menu, 70));
    }
};

QTEST_MAIN(TestConfigTables)
#include "tst_configtables.moc"
