#pragma once

#include <QWidget>

class GroupBar;
class GroupBarItem;
class QKeyEvent;
class QMdiArea;
class QMdiSubWindow;

// Base class of every form the main window shows as an MDI child.  A newly
// created instance adds an entry to the open-windows group; closing it writes
// "退出：" + caption to the usage log, removes exactly its own entry and frees
// the form.
//
// A descendant that may refuse to close overrides closeEvent and calls
// TDefForm::closeEvent only when it lets the form go.  A form with an edit
// mode tells through HasUnsavedInput whether it holds typed input not yet
// stored; closing it then asks first (ConfirmUnsavedInput).
class TDefForm : public QWidget
{
    Q_OBJECT
public:
    explicit TDefForm(QWidget* parent = nullptr);
    ~TDefForm() override;

    QString FuncID;
    // Tells two open instances of one function apart; unique for the run.
    int InstanceKey = -1;
    bool IsNewInstance = false;
    // The form sees key presses (FormKeyDown) before its controls do.
    bool KeyPreview = true;

    // Makes the form a maximised MDI child of the main window and shows it
    // (again); a new instance first gets its open-windows entry.  Without a
    // main window (Shell) the form is shown as a window of its own.
    virtual void ShowAsChild();

    // Closes the form (its MDI sub-window when it has one).
    void CloseChild();
    // Closed and waiting to be freed: FindOpenForm must pass over it.
    bool IsClosing() const { return m_closed; }
    QMdiSubWindow* SubWindow() const;

    // Typed input that is not stored yet (none by default).
    virtual bool HasUnsavedInput() const;
    // Stores it; false when that failed (the form has said why).
    virtual bool SaveUnsavedInput();
    // Drops it: the form shows the stored values again.
    virtual void DiscardUnsavedInput();
    // Before something that would lose typed input: true when the form holds
    // none, or the user had it saved (successfully) or dropped; false when
    // he chose to stay.  The form comes to the front to ask.
    bool ConfirmUnsavedInput();

public slots:
    // The form's open-windows entry was clicked: the form comes to the front.
    void OpenWindowItemClick();

protected:
    void AddOpenWindowItem();
    void closeEvent(QCloseEvent* event) override;
    // Called for each key press aimed at the focused control inside the form
    // while KeyPreview is on; returning true consumes the key.
    virtual bool FormKeyDown(QKeyEvent* event);

private:
    friend class KeyPreviewFilter;
    // Makes the frame the active, topmost one with the focus inside it.
    static void BringToFront(QMdiArea* area, QMdiSubWindow* frame);
    void ChildFormClose();
    bool m_closed = false;
    bool m_hasOpenWindowItem = false;
};

// The open-windows entry of a form in group 0 of the group bar: caption =
// the form's caption, blue, tag = FuncID as a number, its instance key, icon
// 0; a click brings the form to the front (OpenWindowItemClick).  For the main window's
// Shell::AddOpenWindowItem / RemoveOpenWindowItem.  Nothing happens when the
// bar has no group or the form has no function identifier.
GroupBarItem* AddOpenWindowEntry(GroupBar* bar, TDefForm* form);
// Removes the first entry of group 0 with the form's tag and instance key.
bool RemoveOpenWindowEntry(GroupBar* bar, const TDefForm* form);
