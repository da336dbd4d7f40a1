#include "TFrmCompanySet.h"
#include "ui_TFrmCompanySet.h"

#include "Dialogs.h"
#include "GbkLengthValidator.h"
#include "GbkText.h"
#include "Settings.h"
#include "TDataM.h"
#include "UnsavedInput.h"
#include "WarrantyCard.h"

#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

namespace {

// AC_Company columns and the boxes that show them, in reading order, with
// the GBK bytes a box takes: what its column holds, so nothing typed is cut
// when stored.  The name column is written but never read back: the name box
// shows CoName.
struct ProfileColumn
{
    const char* column;
    QLineEdit* Ui::TFrmCompanySet::*box;
    int maxBytes;
};

const ProfileColumn ProfileColumns[] = {
    {"addr", &Ui::TFrmCompanySet::EditAddr, 100},
    {"Phone", &Ui::TFrmCompanySet::EditPhone, 50},
    {"Phone1", &Ui::TFrmCompanySet::EditPhone1, 50},
    {"Fax", &Ui::TFrmCompanySet::EditFax, 50},
    {"Mail", &Ui::TFrmCompanySet::EditMail, 50},
    {"Web", &Ui::TFrmCompanySet::EditWeb, 100},
    {"cn1", &Ui::TFrmCompanySet::EditCN1, Report::PromiseMaxBytes},
    {"cn2", &Ui::TFrmCompanySet::EditCN2, Report::PromiseMaxBytes},
    {"cn3", &Ui::TFrmCompanySet::EditCN3, Report::PromiseMaxBytes},
};
// AC_Company.name
constexpr int NameMaxBytes = 100;

// Tabs drawn as separate buttons above the pages.
const char* const ButtonTabsStyle = "QTabWidget::pane { border: 1px solid palette(mid); top: 2px; }"
                                    "QTabBar::tab { height: 23px; padding: 0 14px; margin: 0 4px 0 0;"
                                    " border: 1px solid palette(dark); border-radius: 3px;"
                                    " background: palette(button); }"
                                    "QTabBar::tab:selected { background: palette(midlight);"
                                    " border-color: palette(shadow); font-weight: bold; }";

} // namespace

TFrmCompanySet::TFrmCompanySet(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFrmCompanySet>())
{
    ui->setupUi(this);
    setFixedSize(375, 347);
    ui->PageControl1->setStyleSheet(QString::fromUtf8(ButtonTabsStyle));
    ui->PageControl1->setCurrentIndex(0);
    GbkLengthValidator::Apply(ui->EditInc, NameMaxBytes);
    for (const ProfileColumn& c : ProfileColumns)
        GbkLengthValidator::Apply((*ui).*c.box, c.maxBytes);
    m_watch = new InputWatch(this);
    m_watch->Watch({ui->EditInc, ui->edtSoftName});
    for (const ProfileColumn& c : ProfileColumns)
        m_watch->Watch({(*ui).*c.box});
    connect(ui->btnSave, &QPushButton::clicked, this, &TFrmCompanySet::btnSaveClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &TFrmCompanySet::btnCloseClick);
}

TFrmCompanySet::~TFrmCompanySet() = default;

void TFrmCompanySet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFrmCompanySet::FormShow()
{
    for (const ProfileColumn& c : ProfileColumns)
        ((*ui).*c.box)->clear();
    ReadNameSettings();
    LoadCompanyProfile();
    m_watch->Reset();
}

void TFrmCompanySet::ReadNameSettings()
{
    ui->EditInc->setText(Settings::CoName());
    ui->edtSoftName->setText(Settings::SoftName());
}

bool TFrmCompanySet::WriteNameSettings()
{
    const bool co = Settings::SetCoName(ui->EditInc->text());
    const bool soft = Settings::SetSoftName(ui->edtSoftName->text());
    return co && soft;
}

bool TFrmCompanySet::LoadCompanyProfile()
{
    TableDataset& query = DataM->ADOQuery1;
    query.Close();
    if (!query.Open("AC_Company")) {
        ShowError(QStringLiteral("读取本单位信息失败：") + query.ErrorString(), QString(), this);
        return false;
    }
    query.First();
    // A stored text longer than its box takes (written by an earlier version
    // or another program) is shown cut, and the user is told which.
    QStringList cut;
    for (const ProfileColumn& c : ProfileColumns) {
        if (query.IsNull(c.column))
            continue;
        QLineEdit* box = (*ui).*c.box;
        const QString value = query.AsString(c.column);
        if (Gbk::ByteLength(value) > c.maxBytes)
            cut << LabelOf(box);
        box->setText(Gbk::Truncate(value, c.maxBytes));
        box->setCursorPosition(0);
    }
    query.Close();
    if (!cut.isEmpty())
        ShowMessage(
            QStringLiteral("以下内容超过了可保存和打印的长度，只显示能保存的部分，保存时以显示的为准：") +
                cut.join(QStringLiteral("、")),
            this);
    return true;
}

QString TFrmCompanySet::LabelOf(const QWidget* box) const
{
    for (const QLabel* label : findChildren<QLabel*>())
        if (label->buddy() == box)
            return label->text().remove(QStringLiteral("：")).remove(QLatin1Char('&'));
    return box->objectName();
}

bool TFrmCompanySet::SaveCompanyProfile()
{
    TableDataset& query = DataM->ADOQuery1;
    query.Close();
    bool saved = query.Open("AC_Company");
    if (saved) {
        if (query.IsEmpty()) {
            query.Append();
        } else {
            query.First();
            query.Edit();
        }
        query.SetValue("name", ui->EditInc->text());
        for (const ProfileColumn& c : ProfileColumns)
            query.SetValue(c.column, ((*ui).*c.box)->text());
        saved = query.Post();
    }
    if (!saved) {
        ShowError(QStringLiteral("保存本单位信息失败：") + query.ErrorString(), QString(), this);
        query.Cancel();
    }
    query.Close();
    return saved;
}

void TFrmCompanySet::btnSaveClick()
{
    if (SaveAll())
        accept();
}

bool TFrmCompanySet::SaveAll()
{
    // The settings go first, so they are kept even when the row cannot be.
    const bool settings = WriteNameSettings();
    if (!settings)
        ShowError(QStringLiteral("无法写入设置文件：") + Settings::IniPath(), QString(), this);
    if (!SaveCompanyProfile() || !settings)
        return false;
    m_watch->Reset();
    return true;
}

void TFrmCompanySet::reject()
{
    if (m_watch->Touched()) {
        bool saved = false;
        if (!AskToSaveInput(this, [this, &saved] { return saved = SaveAll(); }))
            return;
        if (saved) {
            accept();
            return;
        }
    }
    QDialog::reject();
}

void TFrmCompanySet::btnCloseClick()
{
    reject();
}
