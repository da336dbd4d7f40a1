#include "TFrmAboutMe.h"

#include "IconList.h"
#include "ShellOpen.h"
#include "ui_TFrmAboutMe.h"

#include <QGuiApplication>
#include <QScreen>

const char* const TFrmAboutMe::WebAddress = "https://www.weibao-dev.cn/";

TFrmAboutMe::TFrmAboutMe(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TFrmAboutMe>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->imgLogo->setPixmap(IconList::Large(IconList::Computer));
    QFont title = ui->lblTitle->font();
    title.setPointSizeF(title.pointSizeF() * 1.4);
    title.setBold(true);
    ui->lblTitle->setFont(title);
    ui->lblLink->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(WebAddress)));
    connect(ui->lblLink, &QLabel::linkActivated, this, &TFrmAboutMe::lblLinkClick);
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

TFrmAboutMe::~TFrmAboutMe() = default;

void TFrmAboutMe::lblLinkClick(const QString& link)
{
    ShellOpen(link);
}

void TFrmAboutMe::showEvent(QShowEvent* event)
{
    // Centred on the screen, not on the main window.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
