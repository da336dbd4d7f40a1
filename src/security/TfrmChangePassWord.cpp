#include "TfrmChangePassWord.h"

#include "Dialogs.h"
#include "PasswordEdit.h"
#include "TUser.h"
#include "ui_TfrmChangePassWord.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

TfrmChangePassWord* frmChangePassWord = nullptr;

TfrmChangePassWord::TfrmChangePassWord(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmChangePassWord>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    for (QLineEdit* edit : {ui->txtOldPassWord, ui->txtNewPassWord1, ui->txtNewPassWord2})
        ShowPasswordAsStars(edit);
    connect(ui->cmdConfirm, &QPushButton::clicked, this, &TfrmChangePassWord::cmdConfirmClick);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &TfrmChangePassWord::cmdCancelClick);
    if (!frmChangePassWord)
        frmChangePassWord = this;
}

TfrmChangePassWord::~TfrmChangePassWord()
{
    if (frmChangePassWord == this)
        frmChangePassWord = nullptr;
}

bool TfrmChangePassWord::Execute(TUser& user)
{
    m_user = &user;
    m_cancelled = false;
    ui->txtOldPassWord->clear();
    ui->txtNewPassWord1->clear();
    ui->txtNewPassWord2->clear();
    exec();
    return !m_cancelled;
}

void TfrmChangePassWord::showEvent(QShowEvent* event)
{
    m_cancelled = false;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
    QTimer::singleShot(0, ui->txtOldPassWord, qOverload<>(&QWidget::setFocus));
}

void TfrmChangePassWord::keyPressEvent(QKeyEvent* event)
{
    // Esc is the cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmChangePassWord::cmdConfirmClick()
{
    if (ui->txtNewPassWord2->text() != ui->txtNewPassWord1->text()) {
        // A mistyped new password must not become the only way in.
        ShowMessage(QStringLiteral("两次输入的新密码不一致，请重新输入！"), this);
        ui->txtNewPassWord2->clear();
        ui->txtNewPassWord2->setFocus();
        return;
    }
    if (m_user && m_user->ChangePassword(ui->txtOldPassWord->text(), ui->txtNewPassWord1->text()))
        accept();
    ui->txtOldPassWord->setFocus();
}

void TfrmChangePassWord::cmdCancelClick()
{
    m_cancelled = true;
    reject();
}
