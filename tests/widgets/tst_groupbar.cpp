#include "GroupBar.h"
#include "IconList.h"
#include "SizePanel.h"

#include <QAccessible>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

// The side group bar, its side panel and the icon list they draw from.
class TestGroupBar : public QObject
{
    Q_OBJECT

    static void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // The widget that draws an item and the item's centre in it.
    static QPair<QWidget*, QPoint> Spot(GroupBarItem* item)
    {
        GroupBarGroup* group = item->Group();
        const QPoint centre = group->ItemRect(group->IndexOf(item)).center();
        QWidget* area = group->childAt(centre);
        return {area, area ? area->mapFrom(group, centre) : QPoint()};
    }
    static void Click(GroupBarItem* item)
    {
        const auto [area, pos] = Spot(item);
        QVERIFY(area);
        QTest::mouseClick(area, Qt::LeftButton, {}, pos);
    }

private slots:
    void groupsAreInsertedRemovedAndCleared()
    {
        GroupBar bar;
        QCOMPARE(bar.AddGroup("系统管理", IconList::Rights), 0);
        QCOMPARE(bar.AddGroup("销售管理"), 1);
        // The open-windows group goes on top of the configured ones.
        QCOMPARE(bar.InsertGroup(0, "当前打开的窗体", -1, true), 0);
        QCOMPARE(bar.GroupCount(), 3);
        QCOMPARE(bar.group(0)->Caption(), QString("当前打开的窗体"));
        QVERIFY(bar.group(0)->IsSpecial());
        QCOMPARE(bar.group(1)->Caption(), QString("系统管理"));
        QCOMPARE(bar.group(1)->IconIndex(), int(IconList::Rights));
        QCOMPARE(bar.IndexOf(bar.group(2)), 2);
        // Positions past the end append.
        QCOMPARE(bar.InsertGroup(99, "工具"), 3);
        QCOMPARE(bar.group(4), nullptr);

        QPointer<GroupBarGroup> removed = bar.group(1);
        bar.RemoveGroup(1);
        QCOMPARE(bar.GroupCount(), 3);
        QCOMPARE(bar.group(1)->Caption(), QString("销售管理"));
        bar.RemoveGroup(7); // out of range: nothing
        QCOMPARE(bar.GroupCount(), 3);
        FlushDeletes();
        QVERIFY(removed.isNull());

        bar.Clear();
        QCOMPARE(bar.GroupCount(), 0);
        QCOMPARE(bar.AddGroup("新组"), 0);
    }

    void itemsAreFoundAndRemovedByTagAndInstanceKey()
    {
        GroupBar bar;
        bar.AddGroup("当前打开的窗体", -1, true);
        GroupBarGroup* group = bar.group(0);
        GroupBarItem* first = group->AddItem("用户管理", 4001, 0, Qt::blue, 1);
        GroupBarItem* second = group->AddItem("用户管理", 4001, 0, Qt::blue, 2);
        group->AddItem("角色管理", 4002, 0, Qt::blue, 1);
        QCOMPARE(group->ItemCount(), 3);
        QCOMPARE(first->Tag(), 4001);
        QCOMPARE(first->FontColor(), QColor(Qt::blue));
        QCOMPARE(first->Group(), group);

        QCOMPARE(group->FindItem(4001, 2), second);
        QCOMPARE(group->FindItem(4002, 1), group->Item(2));
        QCOMPARE(group->FindItem(4001, 3), nullptr);
        QCOMPARE(group->FindItem(4003, 1), nullptr);

        // Removing one instance's entry leaves the other instance's entry.
        group->RemoveItem(group->FindItem(4001, 1));
        QCOMPARE(group->ItemCount(), 2);
        QCOMPARE(group->FindItem(4001, 1), nullptr);
        QCOMPARE(group->FindItem(4001, 2), second);

        // Two entries with the same tag and key: the first one goes first.
        GroupBarItem* twin = group->AddItem("用户管理", 4001, 0, Qt::blue, 2);
        QCOMPARE(group->FindItem(4001, 2), second);
        group->RemoveItem(group->FindItem(4001, 2));
        QCOMPARE(group->FindItem(4001, 2), twin);

        group->RemoveItem(nullptr);
        group->RemoveItem(-1);
        QCOMPARE(group->ItemCount(), 2);
        group->ClearItems();
        QCOMPARE(group->ItemCount(), 0);
    }

    void clicksReachHandlersEvenWhenTheyRebuildTheBar()
    {
        GroupBar bar;
        bar.resize(175, 400);
        bar.AddGroup("系统管理");
        GroupBarItem* user = bar.group(0)->AddItem("用户管理", 4001, IconList::User);
        GroupBarItem* self = bar.group(0)->AddItem("关闭自己", 4002);
        GroupBarItem* logOff = bar.group(0)->AddItem("注销", 1004, IconList::LogOff);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy barClicks(&bar, &GroupBar::itemClicked);

        Click(user);
        QCOMPARE(barClicks.size(), 1);
        QCOMPARE(barClicks[0][0].value<GroupBarGroup*>(), bar.group(0));
        QCOMPARE(barClicks[0][1].value<GroupBarItem*>(), user);

        // An entry that removes itself when clicked (a form closing).
        QPointer<GroupBarItem> selfGuard(self);
        connect(self, &GroupBarItem::clicked, [&] { bar.group(0)->RemoveItem(self); });
        Click(self);
        QCOMPARE(barClicks.size(), 1); // a removed entry is no longer a bar item
        FlushDeletes();
        QVERIFY(selfGuard.isNull());

        // A handler that throws the whole bar away (log-off rebuilds it).
        connect(logOff, &GroupBarItem::clicked, [&] { bar.Clear(); });
        Click(logOff);
        QCOMPARE(bar.GroupCount(), 0);
        FlushDeletes();

        // Pressing on an item and releasing elsewhere is no click.
        bar.AddGroup("工具");
        GroupBarItem* calc = bar.group(0)->AddItem("计算器", 9006, IconList::Calculator);
        QTest::qWait(0);
        QSignalSpy calcClicks(calc, &GroupBarItem::clicked);
        const auto [area, pos] = Spot(calc);
        QVERIFY(area);
        QTest::mousePress(area, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(calcClicks.size(), 0);
    }

    void itemsAreNamedButtonsForScreenReaders()
    {
        GroupBar bar;
        bar.AddGroup("系统管理");
        GroupBarItem* user = bar.group(0)->AddItem("用户管理", 4001, IconList::User);
        user->SetHint("增加、修改和停用用户");
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(user);
        QVERIFY(item);
        QCOMPARE(item->role(), QAccessible::Button);
        QCOMPARE(item->text(QAccessible::Name), QString("用户管理"));
        QCOMPARE(item->text(QAccessible::Description), QString("增加、修改和停用用户"));
        user->SetCaption("用户与权限");
        QCOMPARE(item->text(QAccessible::Name), QString("用户与权限"));

        // Items are painted, so a reader finds them only as children of
        // their group's list: reachable from the bar, placed where drawn.
        bar.group(0)->AddItem("角色管理", 4002);
        QAccessibleInterface* list = item->parent();
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), QString("系统管理"));
        QCOMPARE(list->childCount(), 2);
        QCOMPARE(list->child(0), item);
        QCOMPARE(list->indexOfChild(item), 0);
        QCOMPARE(list->child(1)->text(QAccessible::Name), QString("角色管理"));
        QAccessibleInterface* group = QAccessible::queryAccessibleInterface(bar.group(0));
        QVERIFY(group->indexOfChild(list) >= 0);
        const QRect drawn = bar.group(0)->ItemRect(0);
        QCOMPARE(item->rect(), QRect(bar.group(0)->mapToGlobal(drawn.topLeft()), drawn.size()));
        QCOMPARE(list->childAt(item->rect().center().x(), item->rect().center().y()), item);
        QVERIFY(!item->state().invisible);
        bar.group(0)->SetOpened(false);
        QVERIFY(item->state().invisible);
        bar.group(0)->SetOpened(true);
        // An automation client presses it like a click.
        QSignalSpy barClicks(&bar, &GroupBar::itemClicked);
        QAccessibleActionInterface* actions = item->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(barClicks.size(), 1);
        QCOMPARE(barClicks[0][1].value<GroupBarItem*>(), user);
    }

    void groupsCollapseFromTheirCaption()
    {
        GroupBar bar;
        bar.resize(175, 400);
        bar.AddGroup("系统管理");
        GroupBarGroup* group = bar.group(0);
        GroupBarItem* item = group->AddItem("用户管理", 4001);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(group->IsOpened());
        QVERIFY(item->IsShown());
        const int openHeight = group->sizeHint().height();

        QSignalSpy toggles(group, &GroupBarGroup::openedChanged);
        QWidget* header = group->childAt(20, 5);
        QVERIFY(header);
        QTest::mouseClick(header, Qt::LeftButton);
        QVERIFY(!group->IsOpened());
        QVERIFY(!item->IsShown());
        QVERIFY(group->sizeHint().height() < openHeight);
        QCOMPARE(toggles.size(), 1);

        QTest::mouseClick(header, Qt::LeftButton);
        QVERIFY(group->IsOpened());
        QVERIFY(item->IsShown());

        // Items added to a closed group stay hidden until it opens.
        group->SetOpened(false);
        GroupBarItem* later = group->AddItem("角色管理", 4002);
        QVERIFY(!later->IsShown());
        group->SetOpened(true);
        QVERIFY(later->IsShown());
        QCOMPARE(toggles.size(), 4);
        group->SetOpened(true); // no change, no signal
        QCOMPARE(toggles.size(), 4);
    }

    void scrollsWhenTallerThanItsRoom()
    {
        GroupBar bar;
        bar.resize(175, 200);
        for (int g = 0; g < 3; ++g) {
            bar.AddGroup(QStringLiteral("分组%1").arg(g));
            for (int i = 0; i < 8; ++i)
                bar.group(g)->AddItem(QStringLiteral("项目%1").arg(i), i);
        }
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QTRY_VERIFY(bar.verticalScrollBar()->maximum() > 0);
        QCOMPARE(bar.horizontalScrollBar()->maximum(), 0);
        // Closing the groups makes everything fit again.
        for (int g = 0; g < 3; ++g)
            bar.group(g)->SetOpened(false);
        QTRY_COMPARE(bar.verticalScrollBar()->maximum(), 0);
    }

    void sidePanelResizesAndCollapses()
    {
        QWidget window;
        window.resize(800, 500);
        auto* panel = new SizePanel(&window);
        auto* bar = new GroupBar;
        panel->SetWidget(bar);
        panel->resize(panel->width(), 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(panel->PanelWidth(), 175);
        QCOMPARE(panel->width(), 175);
        QCOMPARE(panel->SizeBarWidth(), 7);

        QSignalSpy collapses(panel, &SizePanel::collapsedChanged);
        QWidget* sizeBar = panel->childAt(panel->width() - 3, 250);
        QVERIFY(sizeBar && sizeBar != bar);
        // A click on the hot spot in the middle of the size bar collapses.
        QTest::mouseClick(sizeBar, Qt::LeftButton, {}, QPoint(3, sizeBar->height() / 2));
        QVERIFY(panel->IsCollapsed());
        QCOMPARE(panel->width(), 7);
        QVERIFY(!bar->isVisible());
        // Collapsed, any click on the bar opens it again at the old width.
        QTest::mouseClick(sizeBar, Qt::LeftButton, {}, QPoint(3, 10));
        QVERIFY(!panel->IsCollapsed());
        QCOMPARE(panel->width(), 175);
        QVERIFY(bar->isVisible());
        QCOMPARE(collapses.size(), 2);

        // Dragging the bar away from the hot spot resizes the panel.
        QTest::mousePress(sizeBar, Qt::LeftButton, {}, QPoint(3, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(43, 10), sizeBar->mapToGlobal(QPointF(43, 10)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(sizeBar, &move);
        QTest::mouseRelease(sizeBar, Qt::LeftButton, {}, QPoint(43, 10));
        QCOMPARE(panel->PanelWidth(), 215);
        QCOMPARE(panel->width(), 215);
        QVERIFY(!panel->IsCollapsed());

        // Neither narrower than the minimum nor wider than the window allows.
        panel->SetPanelWidth(10);
        QCOMPARE(panel->PanelWidth(), 60);
        QTest::mousePress(sizeBar, Qt::LeftButton, {}, QPoint(3, 10));
        QMouseEvent far(QEvent::MouseMove, QPointF(2000, 10), sizeBar->mapToGlobal(QPointF(2000, 10)),
                        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(sizeBar, &far);
        QTest::mouseRelease(sizeBar, Qt::LeftButton, {}, QPoint(2000, 10));
        QCOMPARE(panel->PanelWidth(), 700);
    }

    void iconListHasEveryIconInBothSizes()
    {
        QVERIFY(IconList::Count() >= 40);
        QSet<QByteArray> images;
        for (int i = 0; i < IconList::Count(); ++i) {
            QCOMPARE(IconList::Small(i).size(), QSize(16, 16));
            QCOMPARE(IconList::Large(i).size(), QSize(32, 32));
            QVERIFY(!IconList::Meaning(i).isEmpty());
            const QImage image = IconList::Large(i).toImage();
            images.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        // No index shows the same picture as another one.
        QCOMPARE(images.size(), IconList::Count());
        QVERIFY(!IconList::Icon(IconList::OpenWindow).isNull());
        QVERIFY(IconList::Icon(-1).isNull());
        QVERIFY(IconList::Icon(IconList::Count()).isNull());
        QVERIFY(IconList::Small(IconList::Count()).isNull());
        QVERIFY(IconList::Meaning(-1).isEmpty());
    }

    // Icons are decoded when first drawn: what they draw must be the list's
    // images in each size and state, also through a copy that was changed
    // afterwards (the shared engine is cloned then).
    void iconsDecodedLateDrawTheListsImages()
    {
        const QImage small = IconList::Small(IconList::Print).toImage();
        const QImage large = IconList::Large(IconList::Print).toImage();
        const QIcon icon = IconList::Icon(IconList::Print);
        QIcon eager;
        eager.addPixmap(IconList::Small(IconList::Print));
        eager.addPixmap(IconList::Large(IconList::Print));
        QCOMPARE(icon.availableSizes(), eager.availableSizes());
        for (const int side : {8, 16, 24, 32, 48})
            QCOMPARE(icon.actualSize(QSize(side, side)), eager.actualSize(QSize(side, side)));
        QCOMPARE(icon.pixmap(16, 16).toImage().convertToFormat(small.format()), small);
        QCOMPARE(icon.pixmap(32, 32).toImage().convertToFormat(large.format()), large);
        const QImage disabled = icon.pixmap(QSize(32, 32), QIcon::Disabled).toImage();
        QCOMPARE(disabled.size(), QSize(32, 32));
        QVERIFY(disabled.convertToFormat(large.format()) != large);

        QIcon changed = IconList::Icon(IconList::Print);
        changed.addPixmap(IconList::Large(IconList::Delete), QIcon::Active);
        const QImage other = IconList::Large(IconList::Delete).toImage();
        QCOMPARE(changed.pixmap(32, 32).toImage().convertToFormat(large.format()), large);
        QCOMPARE(changed.pixmap(QSize(32, 32), QIcon::Active).toImage().convertToFormat(other.format()),
                 other);
        const QImage shared = IconList::Icon(IconList::Print).pixmap(QSize(32, 32), QIcon::Active).toImage();
        QCOMPARE(shared.convertToFormat(large.format()), large);

        // Drawn into rectangles of the list's sizes and of others, alike.
        const auto drawn = [](const QIcon& source, const QSize& size) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            source.paint(&painter, image.rect());
            return image;
        };
        for (const QSize& size : {QSize(32, 32), QSize(16, 16), QSize(20, 20), QSize(48, 24)})
            QCOMPARE(drawn(icon, size), drawn(eager, size));
        QCOMPARE(drawn(icon, QSize(32, 32)), large.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
};

QTEST_MAIN(TestGroupBar)
#include "tst_groupbar.moc"
