#include "DataAccess.h"
#include "FunctionTree.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"

#include <QTest>
#include <QTreeWidget>

// The one loader of the catalogue tree that the administration forms share:
// order, reachability, captions per form, the public flag, and stored data
// that would make a naive descent run forever.
class TestFunctionTree : public QObject
{
    Q_OBJECT

    static void ReplaceCatalogue(const QList<QStringList>& rows)
    {
        QVERIFY(ExecCommand("delete from AC_FUNCTIONINFO"));
        for (const QStringList& r : rows) {
            // id, name, control, parent, public, order
            QVERIFY(ExecCommand("insert into AC_FUNCTIONINFO (FunctionID,FunctionName,FunctionDesc,ControlName,"
                                "FormModal,ParentFunctionID,IsPublic,OrderNum) values (?,?,?,?,?,?,?,?)",
                                {r[0], r[1], "说明" + r[0], r[2], "S", r[3], r[4], r[5].toInt()}));
        }
    }

    // Captions in tree order, indented by depth.
    static QStringList Outline(QTreeWidget& tree)
    {
        QStringList lines;
        std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* node, int depth) {
            lines << QString(depth * 2, QLatin1Char(' ')) + node->text(0);
            QVERIFY(node->childCount() == 0 || node->isExpanded());
            for (int i = 0; i < node->childCount(); ++i)
                walk(node->child(i), depth + 1);
        };
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            walk(tree.topLevelItem(i), 0);
        return lines;
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void orderReachabilityAndCaptions()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        ReplaceCatalogue({
            {"2", "销售", "", "-1", "N", "2"},
            {"1", "系统", "", "-1", "Y", "1"},
            {"12", "第二", "TFrmB", "1", "y", "2"},
            {"11", "第一", "TFrmA", "1", "T", "1"},
            {"111", "孙", "", "11", "t", "5"},
            {"91", "孤儿", "", "90", "Y", "0"}, // parent 90 does not exist
        });

        QTreeWidget tree;
        QVERIFY(LoadFunctionTree(&tree, FunctionTreeForm::CatalogueEditor));
        QCOMPARE(Outline(tree), QStringList({"系统(1)", "  第一(11)", "    孙(111)", "  第二(12)", "销售(2)"}));

        QTreeWidgetItem* first = FindFunctionNode(&tree, "11");
        QVERIFY(first);
        const TFunc func = NodeFunc(first);
        QCOMPARE(func.ControlName, QString("TFrmA"));
        QCOMPARE(func.FunctionDesc, QString("说明11"));
        QVERIFY(func.IsPublic);
        QVERIFY(NodeFunc(FindFunctionNode(&tree, "12")).IsPublic);
        QVERIFY(NodeFunc(FindFunctionNode(&tree, "111")).IsPublic);
        QVERIFY(!NodeFunc(FindFunctionNode(&tree, "2")).IsPublic);
        QVERIFY(!FindFunctionNode(&tree, "91"));

        // Captions and description copying per form; a reload replaces the tree.
        QVERIFY(LoadFunctionTree(&tree, FunctionTreeForm::MenuEditor));
        QCOMPARE(Outline(tree), QStringList({"系统", "  第一(TFrmA)", "    孙", "  第二(TFrmB)", "销售"}));
        QVERIFY(NodeFunc(FindFunctionNode(&tree, "11")).FunctionDesc.isEmpty());
        QVERIFY(LoadFunctionTree(&tree, FunctionTreeForm::UserAdmin));
        QCOMPARE(tree.topLevelItem(0)->text(0), QString("系统"));
        QCOMPARE(NodeFunc(FindFunctionNode(&tree, "11")).FunctionDesc, QString("说明11"));
        QVERIFY(dialogs.Texts().isEmpty());
    }

    void storedCyclesAreWalkedOnce()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        // "-1" as an identifier under "-1", and a loop 5 → 6 → 5 below it.
        ReplaceCatalogue({
            {"-1", "负一", "", "-1", "N", "1"},
            {"5", "五", "", "-1", "N", "2"},
            {"6", "六", "", "5", "N", "1"},
            {"5x", "回环", "", "6", "N", "1"},
        });
        QVERIFY(ExecCommand("update AC_FUNCTIONINFO set ParentFunctionID='6' where FunctionID='5'"));
        QVERIFY(ExecCommand("update AC_FUNCTIONINFO set ParentFunctionID='5' where FunctionID='6'"));
        QTreeWidget tree;
        QVERIFY(LoadFunctionTree(&tree, FunctionTreeForm::RoleAdmin));
        // 5 and 6 point at each other and never reach "-1": not shown.
        QCOMPARE(Outline(tree), QStringList({"负一"}));
    }

    void emptyAndUnreadableCatalogue()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        QTreeWidget tree;
        QVERIFY(LoadFunctionTree(&tree, FunctionTreeForm::ToolbarEditor));
        QVERIFY(tree.topLevelItemCount() > 0);

        QVERIFY(ExecCommand("delete from AC_FUNCTIONINFO"));
        QVERIFY(!LoadFunctionTree(&tree, FunctionTreeForm::ToolbarEditor));
        QCOMPARE(tree.topLevelItemCount(), 0);
        QVERIFY(dialogs.Texts().isEmpty());

        QVERIFY(ExecCommand("drop table AC_FUNCTIONINFO"));
        QVERIFY(!LoadFunctionTree(&tree, FunctionTreeForm::ToolbarEditor));
        QCOMPARE(dialogs.Texts(), QStringList({"初始化失败：select * from AC_FUNCTIONINFO ORDER BY ORDERNUM"}));
    }
};

QTEST_MAIN(TestFunctionTree)
#include "tst_functiontree.moc"
