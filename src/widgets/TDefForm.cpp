#include "TDefForm.h"

#include "TDataM.h"
#include "GroupBar.h"
#include "IconList.h"
#include "Shell.h"
#include "UnsavedInput.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace {

// Instance keys count up for the whole run, so two instances never share one.
int g_lastInstanceKey = 0;

// The MDI frame around a form; it tells the form whether a close comes from
// the frame (its close button, CloseChild) or from the form alone.
class ChildFrame : public QMdiSubWindow
{
public:
    bool IsClosing() const { return m_closing; }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        m_closing = true;
        QMdiSubWindow::closeEvent(event);
        m_closing = false;
    }

private:
    bool m_closing = false;
};

} // namespace

// Key preview: one application-wide filter hands each key press aimed at a
// focused control to the nearest enclosing form first.  Only the focus
// widget counts, because Qt passes an unhandled key on to the parents and the
// filter sees it again there.
class KeyPreviewFilter : public QObject
{
public:
    static void Install()
    {
        static KeyPreviewFilter* filter = nullptr;
        if (!filter && qApp) {
            filter = new KeyPreviewFilter;
            filter->setParent(qApp);
            qApp->installEventFilter(filter);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || watched != QApplication::focusWidget())
            return false;
        for (auto* widget = static_cast<QWidget*>(watched); widget; widget = widget->parentWidget()) {
            if (auto* form = qobject_cast<TDefForm*>(widget))
                return form->KeyPreview && form->FormKeyDown(static_cast<QKeyEvent*>(event));
        }
        return false;
    }
};

TDefForm::TDefForm(QWidget* parent) : QWidget(parent)
{
    KeyPreviewFilter::Install();
}

TDefForm::~TDefForm() = default;

bool TDefForm::FormKeyDown(QKeyEvent*)
{
    return false;
}

void TDefForm::ShowAsChild()
{
    if (IsNewInstance && !m_hasOpenWindowItem)
        AddOpenWindowItem();
    setAttribute(Qt::WA_DeleteOnClose);

    QMdiArea* area = Shell::Instance() ? Shell::Instance()->MdiArea() : nullptr;
    if (!area) {
        show();
        raise();
        return;
    }
    QMdiSubWindow* frame = SubWindow();
    if (!frame) {
        frame = new ChildFrame;
        frame->setWidget(this);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        area->addSubWindow(frame);
    }
    frame->showMaximized();
    BringToFront(area, frame);
    // Activation the window system hands back late (after a box closed, or
    // once the menu that opened the form has gone) must not put another form
    // in front again.
    QPointer<QMdiSubWindow> shown(frame);
    QTimer::singleShot(0, frame, [area, shown] {
        if (shown && shown->isVisible() && area->activeSubWindow() != shown)
            BringToFront(area, shown);
    });
}

void TDefForm::BringToFront(QMdiArea* area, QMdiSubWindow* frame)
{
    // The main window must be the active one, or the area makes the frame
    // active only on paper and the form that holds the focus stays in front.
    QWidget* window = area->window();
    if (window && !window->isActiveWindow())
        window->activateWindow();
    area->setActiveSubWindow(frame);
    frame->raise();
    // The focus goes into the form: focus left in another form (the control
    // that opened a box) would activate that form's frame again.
    QWidget* form = frame->widget();
    QWidget* focus = QApplication::focusWidget();
    if (form && !(focus && frame->isAncestorOf(focus))) {
        QWidget* target = form->focusWidget();
        if (!target || !target->isVisible() || !target->isEnabled())
            target = form;
        if (target == form) {
            // The first control that takes the focus, else the form itself.
            for (QWidget* next = form->nextInFocusChain(); next && next != form;
                 next = next->nextInFocusChain())
                if (form->isAncestorOf(next) && next->isVisible() && next->isEnabled() &&
                    (next->focusPolicy() & Qt::TabFocus)) {
                    target = next;
                    break;
                }
        }
        target->setFocus(Qt::OtherFocusReason);
    }
}

void TDefForm::CloseChild()
{
    if (QMdiSubWindow* frame = SubWindow())
        frame->close();
    else
        close();
}

QMdiSubWindow* TDefForm::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TDefForm::OpenWindowItemClick()
{
    // The entry stands for this very window: bring it to the front, also
    // when its function opens a new window each time (mode "M").
    if (!m_closed)
        ShowAsChild();
}

void TDefForm::AddOpenWindowItem()
{
    InstanceKey = ++g_lastInstanceKey;
    m_hasOpenWindowItem = true;
    if (Shell::Instance())
        Shell::Instance()->AddOpenWindowItem(this);
}

bool TDefForm::HasUnsavedInput() const
{
    return false;
}

bool TDefForm::SaveUnsavedInput()
{
    return true;
}

void TDefForm::DiscardUnsavedInput() {}

bool TDefForm::ConfirmUnsavedInput()
{
    if (m_closed || !HasUnsavedInput())
        return true;
    // The question is about this form: show it.
    if (isHidden() ||
        (SubWindow() && SubWindow()->mdiArea() && SubWindow()->mdiArea()->activeSubWindow() != SubWindow()))
        ShowAsChild();
    return AskToSaveInput(
        this, [this] { return SaveUnsavedInput() && !HasUnsavedInput(); }, [this] { DiscardUnsavedInput(); });
}

void TDefForm::closeEvent(QCloseEvent* event)
{
    if (!ConfirmUnsavedInput()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    ChildFormClose();
    auto* frame = dynamic_cast<ChildFrame*>(SubWindow());
    if (frame && !frame->IsClosing()) {
        // close() on the form itself: the frame must go too.  Closing it
        // comes back here only as a no-op and frees frame and form together.
        event->ignore();
        frame->close();
    }
}

void TDefForm::ChildFormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    if (DataM)
        DataM->WriteUsageLog(QStringLiteral("退出：") + windowTitle());
    if (!FuncID.isEmpty() && Shell::Instance())
        Shell::Instance()->RemoveOpenWindowItem(this);
}

GroupBarItem* AddOpenWindowEntry(GroupBar* bar, TDefForm* form)
{
    if (!bar || !form || form->FuncID.isEmpty() || bar->GroupCount() == 0)
        return nullptr;
    GroupBarItem* item = bar->group(0)->AddItem(form->windowTitle(), form->FuncID.toInt(),
                                                IconList::OpenWindow, QColor(Qt::blue), form->InstanceKey);
    QObject::connect(item, &GroupBarItem::clicked, form, &TDefForm::OpenWindowItemClick);
    return item;
}

bool RemoveOpenWindowEntry(GroupBar* bar, const TDefForm* form)
{
    if (!bar || !form || form->FuncID.isEmpty() || bar->GroupCount() == 0)
        return false;
    GroupBarGroup* group = bar->group(0);
    GroupBarItem* item = group->FindItem(form->FuncID.toInt(), form->InstanceKey);
    if (!item)
        return false;
    group->RemoveItem(item);
    return true;
}
