#include "TFunctions.h"
#include "TestEnv.h"
#include "UiConfigTestData.h"

#include <QTest>

using namespace TestData;

// What the generated menu, toolbar and group bar offer, worked out from
// crafted configuration tables: hidden headings, separators, order, groups
// without items, buttons without function, circular menu rows.
class TestMenuConstruction : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        QVERIFY(ExecCommand("delete from AC_MENUSTRUCT"));
        QVERIFY(ExecCommand("delete from AC_TOOLCFG"));
        QVERIFY(ExecCommand("delete from AC_GROUPCFG"));
        AddUser("CLERK");
        GrantUser("2001", "CLERK");
        GrantUser("2002", "CLERK");
    }

    void cleanup() { m_env.reset(); }

    void headingsAppearOnlyAboveAvailableEntries()
    {
        AddMenu(1, "销售", 0, "", 1);
        AddMenu(2, "记录", 1, "2001", 2);
        AddMenu(3, "报表", 1, "", 3); // heading whose entries are all unavailable
        AddMenu(4, "日志", 3, "4005", 4);
        AddMenu(5, "管理", 0, "", 5); // top-level heading, nothing available below
        AddMenu(6, "用户", 5, "4001", 6);
        AddMenu(7, "分隔", 0, "", 7); // a separator alone does not show its heading
        AddMenu(8, "-", 7, "", 8);
        AddMenu(9, "深层", 0, "", 9); // shown through a grandchild
        AddMenu(10, "中间", 9, "", 10);
        AddMenu(11, "录入", 10, "2002", 11);
        AddMenu(12, "-", 0, "", 12); // a top-level "-" is an ordinary entry
        TFunctions functions;
        functions.ResolveRights("CLERK");
        QCOMPARE(Texts(MainMenuEntries(functions.MenuSet)), QStringList({"【销售】", "【深层】", "【-】"}));
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 1)), QStringList({"记录"}));
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 9)), QStringList({"中间"}));
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 10)), QStringList({"录入"}));
        QCOMPARE(SubMenuEntries(functions.MenuSet, 1).first().tag, 2001);
        QCOMPARE(MainMenuEntries(functions.MenuSet).first().tag, 0);
    }

    void separatorsAreNeitherLeadingNorDoubled()
    {
        AddMenu(1, "销售", 0, "", 1);
        AddMenu(2, "-", 1, "", 2); // leading: dropped
        AddMenu(3, "记录", 1, "2001", 3);
        AddMenu(4, "-", 1, "", 4);
        AddMenu(5, "用户", 1, "4001", 5); // unavailable between two separators
        AddMenu(6, "-", 1, "", 6);        // doubled: dropped
        AddMenu(7, "录入", 1, "2002", 7);
        AddMenu(8, "-", 1, "", 8); // trailing: kept
        TFunctions functions;
        functions.ResolveRights("CLERK");
        const QVector<MenuEntry> entries = SubMenuEntries(functions.MenuSet, 1);
        QCOMPARE(Texts(entries), QStringList({"记录", "-", "录入", "-"}));
        QVERIFY(entries[1].separator && entries[3].separator);
        // Below the skin list a first separator does separate something.
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 1, true)).first(), QString("-"));
    }

    void submenuIsSortedStablyByOrderNum()
    {
        AddMenu(1, "销售", 0, "", 1);
        AddMenu(2, "丙", 1, "2001", 30);
        AddMenu(3, "甲", 1, "2001", 10);
        AddMenu(4, "乙一", 1, "2002", 20);
        AddMenu(5, "乙二", 1, "2002", 20);
        TFunctions functions;
        functions.ResolveRights("CLERK");
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 1)), QStringList({"甲", "乙一", "乙二", "丙"}));
    }

    void circularMenuRowsEnd()
    {
        AddMenu(1, "甲", 2, "", 1);
        AddMenu(2, "乙", 1, "", 2);
        AddMenu(3, "丙", 2, "2001", 3);
        AddMenu(4, "丁", 4, "2002", 4);
        TFunctions functions;
        functions.ResolveRights("CLERK");
        MemDataset copy = functions.MenuSet;
        MarkMenuAncestors(copy, 3);
        QVERIFY(MainMenuEntries(functions.MenuSet).isEmpty());
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 2)), QStringList({"甲", "丙"}));
    }

    void toolBarKeepsOrderAndShowsButtonsWithoutFunction()
    {
        AddButton(1, "录入", "2002", 20);
        AddButton(2, "-", "", 30);
        AddButton(3, "用户", "4001", 40); // not granted
        AddButton(4, "-", "", 50);        // doubled once the button between is gone
        AddButton(5, "说明", "", 60);     // no function: shown, does nothing
        AddButton(6, "记录", "2001", 10);
        AddButton(7, "隐藏", "2001", 5, "N");
        AddButton(8, "-", "", 70); // right end: the bar starts there, dropped
        TFunctions functions;
        functions.ResolveRights("CLERK");
        const auto granted = [&](const QString& id) { return functions.IsGranted(id); };
        const QVector<ToolButtonEntry> buttons = ToolBarEntries(ToolRows(), granted);
        QCOMPARE(Texts(buttons), QStringList({"记录", "录入", "-", "说明"}));
        QCOMPARE(buttons[0].tag, 2001);
        QCOMPARE(buttons[3].tag, -1);
        QVERIFY(!functions.RunFunction(QString::number(buttons[3].tag)));
    }

    void groupsWithoutItemsAreLeftOut()
    {
        AddGroupRow(1, " 销售 ", "", 0, 1);
        AddGroupRow(2, "记录", "2001", 1, 2);
        AddGroupRow(3, "管理", "", 0, 3); // only unavailable items
        AddGroupRow(4, "用户", "4001", 3, 4);
        AddGroupRow(5, "空组", "", 0, 5); // no items at all
        AddGroupRow(6, "其他", "", 0, 6);
        AddGroupRow(7, "说明", "", 6, 7); // item without function: not shown
        AddGroupRow(8, "录入", "2002", 6, 8);
        TFunctions functions;
        functions.ResolveRights("CLERK");
        const auto granted = [&](const QString& id) { return functions.IsGranted(id); };
        const QVector<GroupEntry> groups = GroupBarEntries(GroupRows(), granted);
        QCOMPARE(Texts(groups), QStringList({"销售:记录", "其他:录入"}));
        QCOMPARE(groups[1].items[0].tag, 2002);
    }
};

QTEST_GUILESS_MAIN(TestMenuConstruction)
#include "tst_menuconstruction.moc"
