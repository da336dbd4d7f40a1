#include "TFrmMain.h"

#include "AppDir.h"
#include "AutoBackup.h"
#include "BackupReminder.h"
#include "BackupStatus.h"
#include "Dialogs.h"
#include "ExpiryNotice.h"
#include "FormClasses.h"
#include "FormRegistry.h"
#include "GroupBar.h"
#include "IconList.h"
#include "LoginReminder.h"
#include "NoticeStrip.h"
#include "RestoreWatch.h"
#include "RestoredSession.h"
#include "Settings.h"
#include "SizePanel.h"
#include "StartUp.h"
#include "StatusField.h"
#include "TDataM.h"
#include "TDefForm.h"
#include "TFunctions.h"
#include "TNewSkin.h"
#include "TfrmLogin.h"
#include "Utilities.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

TFrmMain* FrmMain = nullptr;

namespace {

constexpr int PanelWidths[4] = {150, 200, 150, 200};

// A form that has been closed and waits to be freed.
bool IsClosed(const QWidget* form)
{
    if (form->isHidden() && form->testAttribute(Qt::WA_DeleteOnClose))
        return true;
    const auto* frame = qobject_cast<const QMdiSubWindow*>(form->parentWidget());
    return frame && frame->isHidden() && frame->testAttribute(Qt::WA_DeleteOnClose);
}

// Ends a local event loop when the watched window is hidden (closed).
class HideWatcher : public QObject
{
public:
    explicit HideWatcher(QEventLoop* loop) : m_loop(loop) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            m_loop->quit();
        return false;
    }

private:
    QEventLoop* m_loop;
};

} // namespace

TFrmMain::TFrmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FrmMain"));
    if (!FrmMain)
        FrmMain = this;
    Shell::Install(this);
    CreateControls();
    FormCreate();
}

TFrmMain::~TFrmMain()
{
    RestoredSession::SetHandler({});
    if (Shell::Instance() == this)
        Shell::Install(nullptr);
    if (DataM)
        DataM->SetUserSource({});
    if (FrmMain == this)
        FrmMain = nullptr;
}

void TFrmMain::CreateControls()
{
    setMinimumSize(130, 50);
    // The program's icon, also on child windows and dialogs.
    QApplication::setWindowIcon(IconList::Icon(IconList::Computer));

    // Empty until the first login puts the generated menu in its place.
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("meuMain"));
    setMenuBar(menu);

    tbrMain = new QToolBar(this);
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setMovable(false);
    tbrMain->setFloatable(false);
    tbrMain->setIconSize(QSize(24, 24));
    tbrMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbrMain->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, tbrMain);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    RzSizePanel1 = new SizePanel(central);
    RzSizePanel1->setObjectName(QStringLiteral("RzSizePanel1"));
    RzSizePanel1->SetPanelWidth(175);
    RzSizePanel1->SetSizeBarWidth(7);
    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->setSpacing(0);
    gbMain = new GroupBar(side);
    gbMain->setObjectName(QStringLiteral("gbMain"));
    gbMain->SetGroupBorder(8);
    gbMain->SetShowHints(true);
    sideLayout->addWidget(gbMain, 1);

    // The execute-by-number panel: hidden, kept for trying out identifiers.
    RzSizePanel2 = new QWidget(side);
    RzSizePanel2->setObjectName(QStringLiteral("RzSizePanel2"));
    RzSizePanel2->setFixedHeight(43);
    auto* execLayout = new QHBoxLayout(RzSizePanel2);
    execLayout->setContentsMargins(4, 4, 4, 4);
    Edit1 = new QLineEdit(QStringLiteral("40042"), RzSizePanel2);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Button1 = new QPushButton(QStringLiteral("执行"), RzSizePanel2);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    execLayout->addWidget(Edit1, 1);
    execLayout->addWidget(Button1);
    RzSizePanel2->hide();
    sideLayout->addWidget(RzSizePanel2);
    RzSizePanel1->SetWidget(side);
    connect(Button1, &QPushButton::clicked, this, &TFrmMain::Button1Click);
    connect(Edit1, &QLineEdit::returnPressed, this, &TFrmMain::Button1Click);

    m_mdiArea = new QMdiArea(central);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    m_mdiArea->setBackground(palette().color(QPalette::Dark));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The work area with the notice strip below it.
    auto* work = new QWidget(central);
    work->setObjectName(QStringLiteral("pnlWork"));
    auto* workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    workLayout->setSpacing(0);
    m_mdiArea->setParent(work);
    workLayout->addWidget(m_mdiArea, 1);
    m_notices = new NoticeStrip(work);
    m_restoreWatch = new RestoreWatch(this);
    connect(m_restoreWatch, &RestoreWatch::restoredElsewhere, this, &TFrmMain::ShowRestoredElsewhere);
    workLayout->addWidget(m_notices);
    row->addWidget(RzSizePanel1);
    row->addWidget(work, 1);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("strMain"));
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new StatusField(this, PanelWidths[i]);
        m_panels[i]->setObjectName(QStringLiteral("strMainPanel%1").arg(i));
        statusBar()->addWidget(m_panels[i], i == 3 ? 1 : 0);
    }
    // The clock stays whole; the other fields yield room on a narrow screen.
    m_panels[3]->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_notice = new StatusField(this);
    m_notice->setObjectName(QStringLiteral("strMainNotice"));
    statusBar()->addPermanentWidget(m_notice);
    if (DataM)
        connect(DataM, &TDataM::ConnectionReset, this, &TFrmMain::ShowNotice);
    // When the last backup was made, beside the clock.
    statusBar()->addPermanentWidget(new BackupStatusLabel(this));

    // The two editor shortcuts of the original window, hidden.
    btnShowTool = new QPushButton(QStringLiteral("ShowTool"), this);
    btnShowTool->setObjectName(QStringLiteral("btnShowTool"));
    btnShowTool->hide();
    btnShowGroupbar = new QPushButton(QStringLiteral("ShowGroupbar"), this);
    btnShowGroupbar->setObjectName(QStringLiteral("btnShowGroupbar"));
    btnShowGroupbar->hide();
    connect(btnShowTool, &QPushButton::clicked, this, &TFrmMain::btnShowToolClick);
    connect(btnShowGroupbar, &QPushButton::clicked, this, &TFrmMain::btnShowGroupbarClick);

    timDisplayTime = new QTimer(this);
    timDisplayTime->setObjectName(QStringLiteral("timDisplayTime"));
    timDisplayTime->setInterval(1000);
    connect(timDisplayTime, &QTimer::timeout, this, &TFrmMain::timDisplayTimeTimer);
    timDisplayTime->start();

    CreateTrayIcon();
    // Filling the screen also where no window manager maximises windows.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size());
    setWindowState(Qt::WindowMaximized);
}

void TFrmMain::CreateTrayIcon()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    struct Item
    {
        const char* name;
        const char* caption;
        const char* hint;
        int icon;
        bool visible;
        const char* function;
    };
    const Item items[] = {
        {"N46", "显示主窗体", "", IconList::MainWindow, true, nullptr},
        {"N51", "-", "", -1, true, nullptr},
        {"N52", "帮助文档(&H)", "基于Adobe Reader  格式的帮助文档", IconList::Help, false, "7003"},
        {"N53", "关于(&A)...", " 关于本程序", IconList::About, true, "7002"},
        {"N54", "-", "", -1, true, nullptr},
        {"N56", "注销", "", IconList::LogOff, true, "1004"},
        {"N57", "-", "", -1, true, nullptr},
        {"N55", "退出", "退出系统", IconList::Exit, true, "1006"},
    };
    for (const Item& item : items) {
        QAction* action = QByteArray(item.caption) == "-"
                              ? PopupMenu1->addSeparator()
                              : PopupMenu1->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setVisible(item.visible);
        if (item.icon >= 0)
            action->setIcon(IconList::Icon(item.icon));
        action->setStatusTip(QString::fromUtf8(item.hint));
        action->setToolTip(QString::fromUtf8(item.hint));
        if (item.function) {
            const QString funcID = QString::fromLatin1(item.function);
            connect(action, &QAction::triggered, this, [this, funcID] { RunFunction(funcID); });
        } else if (!action->isSeparator()) {
            connect(action, &QAction::triggered, this, &TFrmMain::N46Click);
        }
    }

    RzTrayIcon1 = new QSystemTrayIcon(IconList::Icon(IconList::Computer), this);
    RzTrayIcon1->setObjectName(QStringLiteral("RzTrayIcon1"));
    RzTrayIcon1->setContextMenu(PopupMenu1);
    connect(RzTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            N46Click();
    });
    // A desktop without a notification area simply goes without the icon.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        RzTrayIcon1->show();
}

void TFrmMain::FormCreate()
{
    StartingUp = true;
    try {
        const QString softName = Settings::SoftName();
        const QString coName = Settings::CoName();
        setWindowTitle(softName + "-" + coName);
        // The application title (captions of untitled boxes).  Not the
        // display name: the window system would append that to every
        // window title.
        QCoreApplication::setApplicationName(softName);
        RzTrayIcon1->setToolTip(softName);

        m_functions = new TFunctions(this, this);
        if (DataM)
            DataM->SetUserSource([this](QString& userID, QString& userName) {
                userID = m_functions->CurrentUser().UserID;
                userName = m_functions->CurrentUser().UserName;
            });
        m_skin = new TNewSkin(this);
        // The shipped skins may be read-only; the choice is the user's.
        m_skin->SetSkinFolder(QFileInfo(FindShipped("Skins/skins.dat")).path());
        m_skin->SetChoiceFile(GetAppDir() + "Skins/set.ini");
        m_skin->SetEngine(&SkinData1);
        m_skin->ApplySavedSkin();

        if (DataM)
            DataM->WriteUsageLog(QStringLiteral("启动程序"));
        RestoredSession::SetHandler([this] { StartSessionAfterRestore(); });
    } catch (const std::exception& error) {
        ShowMessage(QStringLiteral("错误：") + QString::fromLocal8Bit(error.what()), this);
    }
    timDisplayTimeTimer();
}

void TFrmMain::ConnectLoginDialog(TfrmLogin* dialog)
{
    if (!dialog)
        return;
    if (m_functions)
        dialog->SetUser(&m_functions->CurrentUser());
    dialog->SetHandOverHandler([this] { CloseAllChildForms(); });
    dialog->SetLoggedInHandler([this] { LoginSucceeded(); });
}

// --- showing, login, leaving -------------------------------------------------------

void TFrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        // After the window is on screen, as the login dialog is modal.
        QTimer::singleShot(0, this, &TFrmMain::FormShow);
    }
}

void TFrmMain::FormShow()
{
    try {
        if (m_functions && m_functions->CurrentUser().UserID.isEmpty() && frmLogin)
            frmLogin->exec();
        m_weekdayDate = QDate::currentDate();
        m_weekday = WeekdayName(m_weekdayDate);
        timDisplayTimeTimer();
    } catch (...) {
    }
}

void TFrmMain::LoginSucceeded()
{
    m_functions->BuildUserInterface(m_functions->CurrentUser().UserID);
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    const TUser& user = m_functions->CurrentUser();
    SetLoginStatus(QStringLiteral("已经登录"),
                   QStringLiteral("当前用户：%1(%2)").arg(user.UserName, user.UserID));
    if (DataM)
        DataM->WriteUsageLog(QStringLiteral("登录系统"));
    m_restoreWatch->Rebase();
    // The day's automatic backup, on a thread of its own: the login never waits.
    // When it ends, the backup notice is judged again, so that it neither
    // asks for a backup just made nor misses one that failed.
    if (AutoBackup* backup = AutoBackup::StartIfDue(this))
        connect(backup, &AutoBackup::Finished, this, [this] { RemindStaleBackup(this); });
    show();
    RemindExpiringWarranties(this);
    RemindStaleBackup(this);
}

void TFrmMain::ShowRestoredElsewhere()
{
    // The desk's work goes on until its user is ready: typed work is saved
    // (or given up) first, then the login against the restored data.
    auto* notice = new ExpiryNotice(QStringLiteral("其他电脑已将数据库还原到备份时的状态。请保存手头的工作，"
                                                   "然后重新登录（密码为备份时的密码）。"),
                                    m_notices);
    notice->setObjectName(QStringLiteral("RestoredNotice"));
    notice->setAccessibleName(QStringLiteral("数据还原提醒"));
    if (auto* button = notice->findChild<QPushButton*>(QStringLiteral("BtnExpiryView"))) {
        button->setObjectName(QStringLiteral("BtnRelogin"));
        button->setText(QStringLiteral("重新登录"));
    }
    notice->adjustSize();
    connect(notice, &ExpiryNotice::viewRequested, this, [this] {
        // After the notice's own signal has ended: the new session closes it.
        if (ConfirmUnsavedForms())
            RestoredSession::Request();
        else
            ShowRestoredElsewhere();
    });
    m_notices->AddNotice(notice);
}

void TFrmMain::StartSessionAfterRestore()
{
    // Menus, rights, open lists and the user all came from the replaced data.
    m_restoreWatch->Rebase();
    CloseAllChildForms();
    SetLoginStatus(QStringLiteral("未登录"), QStringLiteral("当前用户："));
    if (m_functions) {
        m_functions->CurrentUser().Clear();
        m_functions->BuildUserInterface(QString());
    }
    Dialogs::Instance().Inform(
        this, {RestoredSession::NoticeText(), QStringLiteral("提示"), Dialogs::Icon::Information});
    if (frmLogin && m_functions) {
        frmLogin->LoadUserList();
        frmLogin->Execute(m_functions->CurrentUser());
    }
}

void TFrmMain::closeEvent(QCloseEvent* event)
{
    const Dialogs::Button answer = Dialogs::Instance().Ask(
        this, {QStringLiteral("确定要退出本程序吗？"), QStringLiteral("退出程序"), Dialogs::Icon::Question},
        Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel);
    if (answer == Dialogs::Cancel || !ConfirmUnsavedForms()) {
        event->ignore();
        return;
    }
    if (DataM)
        DataM->WriteUsageLog(QStringLiteral("退出程序"));
    event->accept();
    TerminateApplication();
}

void TFrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const QRect frame = frameGeometry();
    SetStatusText(2, QStringLiteral("屏幕尺寸:%1×%2").arg(frame.width()).arg(frame.height()));
}

void TFrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimised, the program lives on as its tray icon.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && RzTrayIcon1 &&
        RzTrayIcon1->isVisible())
        QTimer::singleShot(0, this, &QWidget::hide);
}

void TFrmMain::N46Click()
{
    if (StartingUp)
        return;
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

// --- status bar and clock ----------------------------------------------------------

QString TFrmMain::StatusText(int panel) const
{
    return panel >= 0 && panel < 4 ? m_panels[panel]->text() : QString();
}

void TFrmMain::SetStatusText(int panel, const QString& text)
{
    if (panel >= 0 && panel < 4)
        m_panels[panel]->setText(text);
}

void TFrmMain::ShowNotice(const QString& text)
{
    m_notice->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + text);
}

QString TFrmMain::NoticeText() const
{
    return m_notice->text();
}

void TFrmMain::SetLoginStatus(const QString& state, const QString& user)
{
    SetStatusText(0, state);
    SetStatusText(1, user);
    if (state == QStringLiteral("未登录"))
        ClearReminders(this);
}

void TFrmMain::timDisplayTimeTimer()
{
    ShowClock(QDateTime::currentDateTime());
}

void TFrmMain::ShowClock(const QDateTime& now)
{
    // A desk PC runs overnight: the weekday follows the date.
    if (m_weekdayDate.isValid() && now.date() != m_weekdayDate) {
        m_weekdayDate = now.date();
        m_weekday = WeekdayName(m_weekdayDate);
    }
    SetStatusText(3, now.toString(QStringLiteral("yyyy年MM月dd日 HH:mm:ss")) + QStringLiteral("   ") +
                         m_weekday);
}

// --- functions and forms -----------------------------------------------------------

bool TFrmMain::RunFunction(const QString& funcID)
{
    return m_functions && m_functions->RunFunction(funcID);
}

void TFrmMain::Button1Click()
{
    RunFunction(Edit1->text());
}

void TFrmMain::btnShowToolClick()
{
    OpenFormByClass(QStringLiteral("TfrmToolCfg"), QStringLiteral("S"));
}

void TFrmMain::btnShowGroupbarClick()
{
    OpenFormByClass(QStringLiteral("TFrmGroupCfg"), QStringLiteral("S"));
}

void TFrmMain::RefreshLookups()
{
    if (DataM)
        DataM->RefreshLookups();
}

void TFrmMain::FillSkinMenu(QMenu* item)
{
    if (!m_skin)
        return;
    m_skin->FillSkinMenu(item);
    m_skin->MarkCurrentSkin(item);
}

void TFrmMain::CloseAllChildForms()
{
    const QList<QMdiSubWindow*> frames = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (auto it = frames.crbegin(); it != frames.crend(); ++it)
        (*it)->close();
}

bool TFrmMain::ConfirmUnsavedForms()
{
    // The form in front first, then the others from the last opened.
    QList<QMdiSubWindow*> frames = m_mdiArea->subWindowList(QMdiArea::StackingOrder);
    std::reverse(frames.begin(), frames.end());
    for (QMdiSubWindow* frame : std::as_const(frames)) {
        auto* form = qobject_cast<TDefForm*>(frame->widget());
        if (form && !form->ConfirmUnsavedInput())
            return false;
    }
    return true;
}

void TFrmMain::RestoreOpenWindowItems()
{
    for (QMdiSubWindow* frame : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        auto* form = qobject_cast<TDefForm*>(frame->widget());
        if (form && !form->IsClosing() && !form->FuncID.isEmpty() && form->InstanceKey >= 0)
            AddOpenWindowEntry(gbMain, form);
    }
}

void TFrmMain::AddOpenWindowItem(TDefForm* form)
{
    AddOpenWindowEntry(gbMain, form);
}

void TFrmMain::RemoveOpenWindowItem(TDefForm* form)
{
    if (!form || form->FuncID.isEmpty())
        return;
    RemoveOpenWindowEntry(gbMain, form);
}

QWidget* TFrmMain::FindOpenForm(const QString& className)
{
    const FormRegistry::Entry* entry = FormRegistry::Find(className);
    if (!entry)
        return nullptr;
    QWidget* found = nullptr;
    for (const QPointer<QWidget>& form : std::as_const(m_forms)) {
        if (!form || IsClosed(form))
            continue;
        if (form->property(FormClassProperty).toString() == className ||
            (entry->metaObject && form->metaObject()->inherits(entry->metaObject)))
            found = form;
    }
    return found;
}

QWidget* TFrmMain::OpenFunctionForm(const QString& funcID, const QString& className, const QString& mode)
{
    return OpenForm(funcID, className, mode, true);
}

QWidget* TFrmMain::OpenFormByClass(const QString& className, const QString& mode)
{
    return OpenForm(QString(), className, mode, false);
}

QWidget* TFrmMain::OpenForm(const QString& funcID, const QString& className, const QString& mode,
                            bool withFunction)
{
    const FormRegistry::Entry* entry = FormRegistry::Find(className);
    if (!entry)
        return nullptr;
    const QString letter = mode.trimmed().toUpper();
    const bool child = letter == QLatin1String("M") || letter == QLatin1String("S");
    if (!child && letter != QLatin1String("D"))
        return nullptr;

    QWidget* form = letter == QLatin1String("S") ? FindOpenForm(className) : nullptr;
    const bool created = !form;
    if (created) {
        form = entry->create(child ? nullptr : this);
        if (!form)
            return nullptr;
        if (form->windowTitle().isEmpty())
            form->setWindowTitle(entry->caption);
        form->setProperty(FormClassProperty, className);
        m_forms.removeAll(nullptr);
        m_forms << form;
        if (DataM)
            DataM->WriteUsageLog(QStringLiteral("进入：") + form->windowTitle());
    }

    if (child) {
        auto* defForm = qobject_cast<TDefForm*>(form);
        if (!defForm) {
            // Only child forms can live in the MDI area; the catalogue entry is wrong.
            ShowError(QStringLiteral("错误：窗体类 %1 不能作为子窗体打开，请检查功能定义中的打开方式。")
                          .arg(className),
                      QString(), this);
            if (created)
                form->deleteLater();
            return nullptr;
        }
        if (withFunction) {
            defForm->IsNewInstance = created;
            defForm->FuncID = funcID;
        }
        defForm->ShowAsChild();
        return defForm;
    }
    ShowModalForm(form);
    m_forms.removeAll(form);
    form->deleteLater();
    return form;
}

void TFrmMain::ShowModalForm(QWidget* form)
{
    // Fixed single border with only the system menu.
    form->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint);
    // A form that fixed its own size keeps it; any other is fixed at its
    // layout's size (or the size it has).
    const bool sizedByForm = form->minimumSize() == form->maximumSize();
    if (!sizedByForm && form->layout())
        form->layout()->setSizeConstraint(QLayout::SetFixedSize);
    else if (!sizedByForm)
        form->setFixedSize(form->size());
    if (auto* dialog = qobject_cast<QDialog*>(form)) {
        dialog->exec();
        return;
    }
    QEventLoop loop;
    HideWatcher watcher(&loop);
    form->installEventFilter(&watcher);
    form->setWindowModality(Qt::ApplicationModal);
    form->show();
    loop.exec();
    form->removeEventFilter(&watcher);
}
