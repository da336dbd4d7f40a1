#pragma once

#include "FunctionsHost.h"
#include "Shell.h"
#include "SkinEngine.h"

#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <QPointer>

class GroupBar;
class NoticeStrip;
class RestoreWatch;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class SizePanel;
class TFunctions;
class TNewSkin;
class TfrmLogin;

// The main window (FrmMain): MDI parent of every function form, with the
// generated menu, toolbar and side group bar, a four-panel status bar with a
// clock and a tray icon.  It creates the function-rights object and the skin
// manager, logs "启动程序", asks for the login at its first show and asks
// before the program ends.
class TFrmMain : public QMainWindow, public Shell, public FunctionsHost
{
    Q_OBJECT
public:
    explicit TFrmMain(QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Wires the login dialog: the user record it fills and what a successful
    // login does here.
    void ConnectLoginDialog(TfrmLogin* dialog);

    // --- opening forms ----------------------------------------------------
    // Modes "M" (new MDI child each time), "S" (single MDI child) and "D"
    // (modal dialog, a new instance each time; freed once control is back in
    // the event loop).  An unregistered class or unknown mode does nothing.
    QWidget* OpenFunctionForm(const QString& funcID, const QString& className, const QString& mode) override;
    // The same without a function identifier (no open-windows entry).
    QWidget* OpenFormByClass(const QString& className, const QString& mode);
    QWidget* FindOpenForm(const QString& className) override;
    void RefreshLookups() override;

    // --- Shell ----------------------------------------------------------------
    QWidget* MainWindow() override { return this; }
    QMdiArea* MdiArea() override { return m_mdiArea; }
    bool RunFunction(const QString& funcID) override;
    void AddOpenWindowItem(TDefForm* form) override;
    void RemoveOpenWindowItem(TDefForm* form) override;

    // --- FunctionsHost ------------------------------------------------------------
    QMainWindow* Window() override { return this; }
    GroupBar* MainGroupBar() override { return gbMain; }
    QToolBar* MainToolBar() override { return tbrMain; }
    void CloseAllChildForms() override;
    bool ConfirmUnsavedForms() override;
    void RestoreOpenWindowItems() override;
    void SetLoginStatus(const QString& state, const QString& user) override;
    void FillSkinMenu(QMenu* item) override;

    // What a successful login does between hiding and closing the dialog.
    void LoginSucceeded();
    // Shows the login dialog when nobody is logged in (first show).
    void FormShow();
    // After a restore: every child window closed, the user logged off and
    // told, then the login against the restored data.
    void StartSessionAfterRestore();
    // Another desk restored the server's database: a notice asks this desk's
    // user to log in again once the work in hand is saved.
    void ShowRestoredElsewhere();
    RestoreWatch* RestoreWatcher() const { return m_restoreWatch; }

    // Status panel 3 at `now`: date, time and weekday (renewed when the
    // date has changed since it was computed).
    void ShowClock(const QDateTime& now);
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text);
    // A notice of the data layer (a server connection made anew) at the
    // right of the status bar, with the time it came, until the next one.
    void ShowNotice(const QString& text);
    QString NoticeText() const;
    TFunctions* FunctionRights() const { return m_functions; }
    TNewSkin* SkinManager() const { return m_skin; }
    // The strip below the work area where the workspace's notices go.
    NoticeStrip* Notices() const { return m_notices; }

    // Controls named by the system.
    QToolBar* tbrMain = nullptr;
    SizePanel* RzSizePanel1 = nullptr;
    GroupBar* gbMain = nullptr;
    QWidget* RzSizePanel2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* btnShowTool = nullptr;
    QPushButton* btnShowGroupbar = nullptr;
    QTimer* timDisplayTime = nullptr;
    QSystemTrayIcon* RzTrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    SkinEngine SkinData1;

public slots:
    void Button1Click();
    void btnShowToolClick();
    void btnShowGroupbarClick();
    void timDisplayTimeTimer();
    void N46Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    void CreateControls();
    void CreateTrayIcon();
    QWidget* OpenForm(const QString& funcID, const QString& className, const QString& mode,
                      bool withFunction);
    void ShowModalForm(QWidget* form);

    QMdiArea* m_mdiArea = nullptr;
    NoticeStrip* m_notices = nullptr;
    RestoreWatch* m_restoreWatch = nullptr;
    QLabel* m_panels[4] = {};
    QLabel* m_notice = nullptr;
    TFunctions* m_functions = nullptr;
    TNewSkin* m_skin = nullptr;
    QString m_weekday;
    QDate m_weekdayDate;
    bool m_shownOnce = false;
    // Forms made through the registry, in creation order (FindOpenForm).
    QList<QPointer<QWidget>> m_forms;
};

// The application's main window (nullptr before it exists).
extern TFrmMain* FrmMain;
