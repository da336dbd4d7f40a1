#include "DataAccess.h"
#include "TDefForm.h"
#include "GroupBar.h"
#include "Shell.h"
#include "TestEnv.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>

namespace {

// A main window reduced to what child forms use: an MDI area and a group bar
// whose group 0 is the open-windows group.
class FakeShell : public Shell
{
public:
    FakeShell()
    {
        auto* layout = new QHBoxLayout(&window);
        bar = new GroupBar;
        bar->AddGroup("当前打开的窗体", -1, true);
        area = new QMdiArea;
        layout->addWidget(bar);
        layout->addWidget(area, 1);
        window.resize(900, 600);
        window.show();
        Shell::Install(this);
    }
    ~FakeShell() override { Shell::Install(nullptr); }

    QWidget* MainWindow() override { return &window; }
    QMdiArea* MdiArea() override { return area; }
    bool RunFunction(const QString& funcID) override
    {
        runs << funcID;
        return true;
    }
    QWidget* FindOpenForm(const QString&) override { return nullptr; }
    void AddOpenWindowItem(TDefForm* form) override { AddOpenWindowEntry(bar, form); }
    void RemoveOpenWindowItem(TDefForm* form) override
    {
        removeCalls++;
        RemoveOpenWindowEntry(bar, form);
    }

    GroupBarGroup* OpenWindows() const { return bar->group(0); }

    QWidget window;
    GroupBar* bar;
    QMdiArea* area;
    QStringList runs;
    int removeCalls = 0;
};

// A form that keeps unsaved input and refuses to close while it has some.
class GuardedForm : public TDefForm
{
public:
    bool dirty = true;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (dirty)
            event->ignore();
        else
            TDefForm::closeEvent(event);
    }
};

// A form that handles F5 itself, before its controls see it.
class RefreshForm : public TDefForm
{
public:
    RefreshForm() { edit = new QLineEdit(this); }
    QLineEdit* edit;
    int refreshes = 0;

protected:
    bool FormKeyDown(QKeyEvent* event) override
    {
        if (event->key() != Qt::Key_F5)
            return false;
        refreshes++;
        return true;
    }
};

TDefForm* OpenForm(const QString& caption, const QString& funcID, bool isNew = true)
{
    auto* form = new TDefForm;
    form->setWindowTitle(caption);
    form->FuncID = funcID;
    form->IsNewInstance = isNew;
    form->ShowAsChild();
    return form;
}

void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

// The child form base: open-windows entries, MDI frames, closing and its
// usage-log row, key preview.
class TestDefForm : public QObject
{
    Q_OBJECT

    static int UsageRows(const TestEnv& env, const QString& text)
    {
        return env.Scalar("select count(*) from UseLog where LogText=?", {SqlArg(text)}).toInt();
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void twoInstancesHaveOwnEntriesAndCloseSeparately()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        FakeShell shell;
        QPointer<TDefForm> first = OpenForm("用户管理", "4001");
        QPointer<TDefForm> second = OpenForm("用户管理", "4001");

        QVERIFY(first->InstanceKey != second->InstanceKey);
        QCOMPARE(shell.OpenWindows()->ItemCount(), 2);
        GroupBarItem* entry = shell.OpenWindows()->Item(0);
        QCOMPARE(entry->Caption(), QString("用户管理"));
        QCOMPARE(entry->Tag(), 4001);
        QCOMPARE(entry->InstanceKey(), first->InstanceKey);
        QCOMPARE(entry->FontColor(), QColor(Qt::blue));
        QCOMPARE(entry->IconIndex(), 0);

        // Both are maximised children; the later one is in front.
        QCOMPARE(shell.area->subWindowList().size(), 2);
        QVERIFY(second->SubWindow()->isMaximized());
        QCOMPARE(shell.area->activeSubWindow(), second->SubWindow());

        // Closing the first removes only its own entry and logs it.
        QPointer<QMdiSubWindow> firstFrame = first->SubWindow();
        first->CloseChild();
        QVERIFY(first->IsClosing());
        QVERIFY(!second->IsClosing());
        FlushDeletes();
        QVERIFY(first.isNull());
        QVERIFY(firstFrame.isNull());
        QCOMPARE(shell.OpenWindows()->ItemCount(), 1);
        QCOMPARE(shell.OpenWindows()->Item(0)->InstanceKey(), second->InstanceKey);
        QCOMPARE(UsageRows(env, "退出：用户管理"), 1);

        // The frame's own close button does the same.
        second->SubWindow()->close();
        FlushDeletes();
        QVERIFY(second.isNull());
        QCOMPARE(shell.OpenWindows()->ItemCount(), 0);
        QVERIFY(shell.area->subWindowList().isEmpty());
        QCOMPARE(UsageRows(env, "退出：用户管理"), 2);
    }

    void closingTheFormItselfTakesTheFrameAlong()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        FakeShell shell;
        QPointer<TDefForm> form = OpenForm("系统日志", "4005");
        QPointer<QMdiSubWindow> frame = form->SubWindow();
        form->close();
        FlushDeletes();
        QVERIFY(form.isNull());
        QVERIFY(frame.isNull());
        QCOMPARE(shell.OpenWindows()->ItemCount(), 0);
        QCOMPARE(UsageRows(env, "退出：系统日志"), 1); // once, not once per window
    }

    void showingAgainReusesFrameAndEntry()
    {
        FakeShell shell;
        TDefForm* form = OpenForm("销售记录管理", "5001");
        QMdiSubWindow* frame = form->SubWindow();
        TDefForm* other = OpenForm("角色管理", "4002");
        frame->showNormal();

        // A single-instance function opened again: same form, no new entry.
        form->IsNewInstance = false;
        form->ShowAsChild();
        QCOMPARE(form->SubWindow(), frame);
        QVERIFY(frame->isMaximized());
        QCOMPARE(shell.area->activeSubWindow(), frame);
        // Even an opener that leaves IsNewInstance set gets no second entry.
        form->IsNewInstance = true;
        form->ShowAsChild();
        QCOMPARE(shell.OpenWindows()->ItemCount(), 2);
        QCOMPARE(shell.area->subWindowList().size(), 2);
        other->CloseChild();
        form->CloseChild();
        FlushDeletes();
    }

    void formWithoutFunctionHasNoEntry()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        FakeShell shell;
        QPointer<TDefForm> form = OpenForm("工具栏设置", QString(), false);
        QCOMPARE(shell.OpenWindows()->ItemCount(), 0);
        QVERIFY(form->SubWindow());
        form->CloseChild();
        FlushDeletes();
        QVERIFY(form.isNull());
        QCOMPARE(shell.removeCalls, 0);
        QCOMPARE(UsageRows(env, "退出：工具栏设置"), 1);
    }

    void entryClickBringsItsOwnFormToTheFront()
    {
        FakeShell shell;
        QVERIFY(QTest::qWaitForWindowExposed(&shell.window));
        // Two windows of one function, as mode "M" opens them.
        TDefForm* first = OpenForm("打印模板", "2003");
        TDefForm* second = OpenForm("打印模板", "2003");
        QCOMPARE(shell.area->activeSubWindow(), second->SubWindow());
        shell.OpenWindows()->Item(0)->Activate();
        QCOMPARE(shell.area->activeSubWindow(), first->SubWindow());
        shell.OpenWindows()->Item(1)->Activate();
        QCOMPARE(shell.area->activeSubWindow(), second->SubWindow());
        // No function is run: nothing new opens.
        QVERIFY(shell.runs.isEmpty());
        QCOMPARE(shell.area->subWindowList().size(), 2);
        second->CloseChild();
        first->CloseChild();
        FlushDeletes();
    }

    void refusedCloseKeepsEverything()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        FakeShell shell;
        QPointer<GuardedForm> form = new GuardedForm;
        form->setWindowTitle("角色管理");
        form->FuncID = "4002";
        form->IsNewInstance = true;
        form->ShowAsChild();
        form->CloseChild();
        FlushDeletes();
        QVERIFY(!form.isNull());
        QVERIFY(form->SubWindow());
        QCOMPARE(shell.OpenWindows()->ItemCount(), 1);
        QCOMPARE(UsageRows(env, "退出：角色管理"), 0);

        form->dirty = false;
        form->CloseChild();
        FlushDeletes();
        QVERIFY(form.isNull());
        QCOMPARE(shell.OpenWindows()->ItemCount(), 0);
        QCOMPARE(UsageRows(env, "退出：角色管理"), 1);
    }

    void withoutMainWindowTheFormStandsAlone()
    {
        QVERIFY(!Shell::Instance());
        QPointer<TDefForm> form = OpenForm("用户管理", "4001");
        QVERIFY(form->isVisible());
        QVERIFY(!form->SubWindow());
        QVERIFY(form->InstanceKey > 0);
        form->CloseChild();
        FlushDeletes();
        QVERIFY(form.isNull());
    }

    void formSeesKeysBeforeItsControls()
    {
        FakeShell shell;
        auto* form = new RefreshForm;
        form->FuncID = "5001";
        form->ShowAsChild();
        QApplication::setActiveWindow(&shell.window);
        form->edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form->edit);

        QTest::keyClick(form->edit, Qt::Key_F5);
        QTest::keyClick(form->edit, Qt::Key_A);
        QCOMPARE(form->refreshes, 1);
        QCOMPARE(form->edit->text(), QString("a"));

        form->KeyPreview = false;
        QTest::keyClick(form->edit, Qt::Key_F5);
        QCOMPARE(form->refreshes, 1);
        form->CloseChild();
        FlushDeletes();
    }
};

QTEST_MAIN(TestDefForm)
#include "tst_defform.moc"
