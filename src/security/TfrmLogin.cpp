#include "TfrmLogin.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "PasswordEdit.h"
#include "StartUp.h"
#include "TUser.h"
#include "Utilities.h"
#include "ui_TfrmLogin.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QValidator>

TfrmLogin* frmLogin = nullptr;

namespace {

// User codes are upper case: whatever is typed or pasted is converted.
class UpperCaseValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// A fixed-size dialog with only the system menu and the close button.
void MakeFixedDialog(QDialog* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void CentreOnScreen(QWidget* widget)
{
    QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    widget->move(frame.topLeft());
}

} // namespace

TfrmLogin::TfrmLogin(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmLogin>())
{
    ui->setupUi(this);
    MakeFixedDialog(this);
    ShowPasswordAsStars(ui->edtPassWord);
    ui->cmbUserID->lineEdit()->setValidator(new UpperCaseValidator(ui->cmbUserID));
    // The list drops down while the user types.
    ui->cmbUserID->completer()->setCompletionMode(QCompleter::PopupCompletion);
    ui->cmbUserID->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    ui->cmbUserID->installEventFilter(this);
    ui->cmbUserID->lineEdit()->installEventFilter(this);
    // The list opens above the box, not over the password box below it.
    ui->cmbUserID->completer()->popup()->installEventFilter(this);

    connect(ui->btnLogin, &QPushButton::clicked, this, &TfrmLogin::btnLoginClick);
    connect(ui->btnClear, &QPushButton::clicked, this, &TfrmLogin::btnClearClick);
    connect(ui->btnEnd, &QPushButton::clicked, this, &TfrmLogin::btnEndClick);

    LoadUserList();
    ui->cmbUserID->setCurrentIndex(-1);
    ui->cmbUserID->setEditText(QString());
    if (!frmLogin)
        frmLogin = this;
}

TfrmLogin::~TfrmLogin()
{
    if (frmLogin == this)
        frmLogin = nullptr;
}

void TfrmLogin::LoadUserList()
{
    ui->cmbUserID->clear();
    MemDataset rows;
    if (!OpenQuery(QStringLiteral("Select UserID,UserName from AC_USERINFO where IsUse='Y'"), rows))
        return;
    for (rows.First(); !rows.Eof(); rows.Next())
        ui->cmbUserID->addItem(rows.AsString("UserID").trimmed() + "-" + rows.AsString("UserName").trimmed());
}

void TfrmLogin::Execute(TUser& user)
{
    m_user = &user;
    ui->cmbUserID->setEditText(user.UserID);
    ui->edtPassWord->clear();
    m_cancelled = false;
    exec();
}

void TfrmLogin::showEvent(QShowEvent* event)
{
    m_cancelled = false;
    CentreOnScreen(this);
    QDialog::showEvent(event);
    QTimer::singleShot(0, this, &TfrmLogin::FormActivate);
}

void TfrmLogin::FormActivate()
{
    if (!isVisible())
        return;
    if (ui->cmbUserID->currentText().isEmpty())
        ui->cmbUserID->setFocus();
    else
        ui->edtPassWord->setFocus();
}

QPoint TfrmLogin::CompletionListPlace(const QWidget* popup) const
{
    const QRect box(ui->cmbUserID->mapToGlobal(QPoint(0, 0)), ui->cmbUserID->size());
    const QScreen* screen = ui->cmbUserID->screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    if (room.isNull() || box.top() - popup->height() >= room.top())
        return QPoint(popup->x(), box.top() - popup->height());
    // No room above: beside the box.
    return QPoint(qMin(box.right() + 1, room.right() - popup->width()), box.top());
}

bool TfrmLogin::CompletionListEvent(QWidget* popup, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize: {
        // The completer places the list below the box whenever it fills it.
        const QPoint place = CompletionListPlace(popup);
        if (popup->pos() != place)
            popup->move(place);
        return false;
    }
    case QEvent::MouseButtonPress: {
        // One click on the password box closes the list and puts the cursor
        // there; the list would otherwise swallow the click.
        const QPointF global = static_cast<QMouseEvent*>(event)->globalPosition();
        const QPoint local = ui->edtPassWord->mapFromGlobal(global.toPoint());
        if (!ui->edtPassWord->rect().contains(local))
            return false;
        popup->hide();
        ui->edtPassWord->setFocus(Qt::MouseFocusReason);
        ui->edtPassWord->setCursorPosition(ui->edtPassWord->cursorPositionAt(local));
        return true;
    }
    default:
        return false;
    }
}

bool TfrmLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->cmbUserID->completer()->popup())
        return CompletionListEvent(ui->cmbUserID->completer()->popup(), event);
    if (event->type() == QEvent::FocusOut) {
        // Focus moving inside the combo (to its completion list) or away from
        // the window is not leaving the box.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            !ui->cmbUserID->hasFocus())
            cmbUserIDExit();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmLogin::cmbUserIDExit()
{
    QString code, name;
    SplitCodeAndName(ui->cmbUserID->currentText(), code, name);
    if (code != ui->cmbUserID->currentText())
        ui->cmbUserID->setEditText(code);
}

void TfrmLogin::btnClearClick()
{
    ui->cmbUserID->setEditText(QString());
    ui->edtPassWord->clear();
}

void TfrmLogin::btnEndClick()
{
    m_cancelled = true;
    if (StartingUp)
        TerminateApplication();
    QDialog::reject();
}

void TfrmLogin::reject()
{
    btnEndClick();
}

void TfrmLogin::btnLoginClick()
{
    // Enter pressed while the completion list is open: it goes with the dialog.
    ui->cmbUserID->completer()->popup()->hide();
    // An entry picked from the list is "code-name": Enter right after
    // picking must send the code, as leaving the box does.
    cmbUserIDExit();
    if (ui->cmbUserID->currentText().trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("请输入用户代码！"), this);
        ui->cmbUserID->setFocus();
        return;
    }
    if (!m_user)
        return;
    // The check fills a record of its own: the user still logged in stays
    // current until the login has been accepted.
    TUser accepted;
    const int rc = accepted.Login(ui->cmbUserID->currentText(), ui->edtPassWord->text());
    if (rc != TUser::Success) {
        if (rc == TUser::Disabled)
            ShowMessage(QStringLiteral("该账户已被禁用，请联系系统管理员！"), this);
        else if (rc == TUser::Expired)
            ShowMessage(QStringLiteral("该账户密码已过期，请联系系统管理员！"), this);
        else
            ShowMessage(QStringLiteral("用户密码有误，请重新输入！"), this);
        ui->edtPassWord->clear();
        ui->edtPassWord->setFocus();
        return;
    }
    StartingUp = false;
    hide();
    // The child windows close under the user who opened them.
    if (m_handOver)
        m_handOver();
    *m_user = accepted;
    if (m_loggedIn)
        m_loggedIn();
    done(Accepted);
}
