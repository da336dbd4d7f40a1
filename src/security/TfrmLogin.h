#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class TUser;
namespace Ui {
class TfrmLogin;
}

// The login dialog (frmLogin): created once at start, reused by "log in
// again" (function 1003).  A successful login fills the user record it was
// given; what the main window must do then is installed as the logged-in
// handler, which runs after the dialog is hidden and before it closes.
class TfrmLogin : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget* parent = nullptr);
    ~TfrmLogin() override;

    // The record a login fills: the current user of the function-rights object.
    void SetUser(TUser* user) { m_user = user; }
    TUser* User() const { return m_user; }

    // A successful login runs, once the dialog is hidden: the hand-over
    // handler while the previous user is still current (the main window
    // closes its child windows, whose "退出：" rows belong to that user),
    // then fills the user record, then runs the logged-in handler (rebuild
    // menu, toolbar and group bar, status bar, "登录系统", show the window).
    using LoggedInHandler = std::function<void()>;
    void SetHandOverHandler(LoggedInHandler handler) { m_handOver = std::move(handler); }
    void SetLoggedInHandler(LoggedInHandler handler) { m_loggedIn = std::move(handler); }

    // Log in again: `user` becomes the record to fill, its code is proposed
    // and the dialog is shown modally.
    void Execute(TUser& user);
    // Fills the user list with "code-name" of every enabled user.
    void LoadUserList();
    bool Cancelled() const { return m_cancelled; }

public slots:
    void btnLoginClick();
    void btnClearClick();
    void btnEndClick();
    // Every way of closing the dialog without logging in (close box, Esc).
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormActivate();
    void cmbUserIDExit();
    // The user-code completion list: where it opens, and a click on the
    // password box while it is open.
    QPoint CompletionListPlace(const QWidget* popup) const;
    bool CompletionListEvent(QWidget* popup, QEvent* event);

    std::unique_ptr<Ui::TfrmLogin> ui;
    TUser* m_user = nullptr;
    LoggedInHandler m_handOver;
    LoggedInHandler m_loggedIn;
    bool m_cancelled = false;
};

// The one login dialog of the program (nullptr before it is created).
extern TfrmLogin* frmLogin;
