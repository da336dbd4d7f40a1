#include "CheckTree.h"

#include <QStyle>
#include <QTest>

// The three-state check tree: user toggles propagate, program states do not,
// and CheckTreeNodeByID marks a stored function the way the role form needs.
class TestCheckTree : public QObject
{
    Q_OBJECT

    // Catalogue shape used by every case:
    //   系统管理 1 ─ 用户管理 11 ─ 新增 111, 删除 112
    //              └ 角色管理 12
    //   销售管理 2 ─ 销售记录 21
    struct Tree
    {
        CheckTree tree;
        QTreeWidgetItem *sys, *user, *userAdd, *userDelete, *role, *sale, *saleRecords;

        Tree()
        {
            sys = Node(nullptr, "系统管理", "1");
            user = Node(sys, "用户管理", "11");
            userAdd = Node(user, "新增", "111");
            userDelete = Node(user, "删除", "112");
            role = Node(sys, "角色管理", "12");
            sale = Node(nullptr, "销售管理", "2");
            saleRecords = Node(sale, "销售记录", "21");
            tree.expandAll();
            tree.resize(300, 300);
        }
        QTreeWidgetItem* Node(QTreeWidgetItem* parent, const char* caption, const char* id)
        {
            auto* item = new QTreeWidgetItem({QString::fromUtf8(caption)});
            item->setData(0, CheckTree::NodeIdRole, QString::fromLatin1(id));
            if (parent)
                parent->addChild(item);
            else
                tree.addTopLevelItem(item);
            return item;
        }
        void Click(QTreeWidgetItem* item)
        {
            // Where the style puts the check box inside the item's cell.
            QStyleOptionViewItem option;
            option.initFrom(tree.viewport());
            option.rect = tree.visualItemRect(item);
            option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
            option.text = item->text(0);
            const QRect box =
                tree.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &tree);
            QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, box.center());
        }
        QString States() const
        {
            QString states;
            for (auto* item : {sys, user, userAdd, userDelete, role, sale, saleRecords})
                states += QString::number(CheckTree::StateIndex(item));
            return states;
        }
    };

private slots:
    void nodesGetUncheckedBoxesWhenAdded()
    {
        Tree t;
        QCOMPARE(t.States(), QString("1111111"));
        // A node that arrives with children already attached.
        auto* branch = new QTreeWidgetItem({"备份"});
        auto* leaf = new QTreeWidgetItem(branch, {"恢复"});
        t.tree.addTopLevelItem(branch);
        QCOMPARE(CheckTree::StateIndex(branch), 1);
        QCOMPARE(CheckTree::StateIndex(leaf), 1);
    }

    void clicksPropagateDownAndUp()
    {
        Tree t;
        t.tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.tree));

        // Checking a node checks everything below it; its parent is mixed.
        t.Click(t.user);
        QCOMPARE(t.States(), QString("3222111"));
        // The last unchecked sibling checked: the parent becomes checked.
        t.Click(t.role);
        QCOMPARE(t.States(), QString("2222211"));
        // Unchecking a grandchild: both ancestors are partly checked.
        t.Click(t.userDelete);
        QCOMPARE(t.States(), QString("3321211"));
        // A partly checked child keeps its parent partly checked even when
        // all other children are checked.
        QCOMPARE(CheckTree::StateIndex(t.role), 2);
        // Clicking a partly checked node checks it with all its descendants.
        t.Click(t.sys);
        QCOMPARE(t.States(), QString("2222211"));
        // Clicking a checked node unchecks the whole branch.
        t.Click(t.sys);
        QCOMPARE(t.States(), QString("1111111"));
        // The only child checked: the parent is checked, not partly.
        t.Click(t.saleRecords);
        QCOMPARE(t.States(), QString("1111122"));
    }

    void spaceTogglesTheCurrentNode()
    {
        Tree t;
        t.tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.tree));
        t.tree.setCurrentItem(t.role);
        QTest::keyClick(&t.tree, Qt::Key_Space);
        QCOMPARE(t.States(), QString("3111211"));
        QTest::keyClick(&t.tree, Qt::Key_Space);
        QCOMPARE(t.States(), QString("1111111"));
    }

    void disabledTreeAndProgramStatesDoNotPropagate()
    {
        Tree t;
        t.tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t.tree));
        t.tree.setEnabled(false);
        QTest::ignoreMessage(QtWarningMsg, "Mouse event \"MousePress\" not accepted by receiving widget");
        QTest::ignoreMessage(QtWarningMsg, "Mouse event \"MouseRelease\" not accepted by receiving widget");
        t.Click(t.user);
        QCOMPARE(t.States(), QString("1111111"));
        t.tree.setEnabled(true);

        t.sys->setCheckState(0, Qt::Checked);
        t.userAdd->setCheckState(0, Qt::Checked);
        QCOMPARE(t.States(), QString("2121111"));
        t.tree.UncheckAll();
        QCOMPARE(t.States(), QString("1111111"));
    }

    void checkNodeByIdChecksBranchAndMarksAncestors()
    {
        Tree t;
        CheckTreeNodeByID("11", &t.tree);
        QCOMPARE(t.States(), QString("3222111"));
        // An only child still leaves its parent partly checked.
        CheckTreeNodeByID("21", &t.tree);
        QCOMPARE(t.States(), QString("3222132"));
        // Unknown identifiers change nothing.
        CheckTreeNodeByID("999", &t.tree);
        CheckTreeNodeByID("", &t.tree);
        QCOMPARE(t.States(), QString("3222132"));
        // Checking a leaf below a checked node marks the node partly checked:
        // the rule sets ancestors, it does not recompute them.
        CheckTreeNodeByID("112", &t.tree);
        QCOMPARE(t.States(), QString("3322132"));
    }

    void checkNodeByIdTakesTheFirstNodeInTreeOrder()
    {
        Tree t;
        t.saleRecords->setData(0, CheckTree::NodeIdRole, "12"); // same id as 角色管理
        CheckTreeNodeByID("12", &t.tree);
        QCOMPARE(t.States(), QString("3111211"));

        // Plain trees without boxes get the states as well.
        QTreeWidget plain;
        auto* root = new QTreeWidgetItem(&plain, {"根"});
        auto* child = new QTreeWidgetItem(root, {"子"});
        auto* grandChild = new QTreeWidgetItem(child, {"孙"});
        child->setData(0, CheckTree::NodeIdRole, "7");
        CheckTreeNodeByID("7", &plain);
        QCOMPARE(root->checkState(0), Qt::PartiallyChecked);
        QCOMPARE(child->checkState(0), Qt::Checked);
        QCOMPARE(grandChild->checkState(0), Qt::Checked);
        CheckTreeNodeByID("7", nullptr);
    }
};

QTEST_MAIN(TestCheckTree)
#include "tst_checktree.moc"
