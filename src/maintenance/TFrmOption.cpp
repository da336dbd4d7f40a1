#include "TFrmOption.h"
#include "ui_TFrmOption.h"

#include "Dialogs.h"
#include "IniFile.h"
#include "Settings.h"
#include "UnsavedInput.h"

#include <QDir>
#include <QShowEvent>

namespace {
constexpr int StandardMethod = 3;
}

TFrmOption::TFrmOption(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFrmOption>())
{
    ui->setupUi(this);
    setFixedSize(352, 281);
    ui->btnSave->setAutoDefault(true);
    ui->btnClose->setAutoDefault(false);
    ui->btnBrowse->setAutoDefault(false);
    ui->edtCopyTo->setAccessibleName(QStringLiteral("同时复制到"));
    connect(ui->btnBrowse, &QPushButton::clicked, this, &TFrmOption::btnBrowseClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TFrmOption::btnSaveClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    m_watch = new InputWatch(this);
    m_watch->WatchAll(this);
}

TFrmOption::~TFrmOption() = default;

void TFrmOption::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFrmOption::FormShow()
{
    m_ini = std::make_unique<IniFile>(Settings::IniPath());
    LoadSet();
    m_watch->Reset();
}

void TFrmOption::LoadSet()
{
    if (!m_ini)
        m_ini = std::make_unique<IniFile>(Settings::IniPath());
    const bool packed = m_ini->ReadInteger("BackUpSet", "BackUp", 1) != 0;
    ui->optYes->setChecked(packed);
    ui->optNo->setChecked(!packed);
    // A method outside the list shows (and is saved as) the standard one.
    const int method = m_ini->ReadInteger("BackUpSet", "Set", StandardMethod);
    ui->cmbMode->setCurrentIndex(method >= 0 && method < ui->cmbMode->count() ? method : StandardMethod);
    // Without a setting the daily backup is on.
    ui->chkAuto->setChecked(m_ini->ReadInteger("BackUpSet", "Auto", 1) == 1);
    ui->edtCopyTo->setText(m_ini->ReadString("BackUpSet", "CopyTo", QString()).trimmed());
    ui->spnKeep->setValue(m_ini->ReadInteger("BackUpSet", "Keep", 10));
}

bool TFrmOption::SaveSet()
{
    if (!m_ini)
        m_ini = std::make_unique<IniFile>(Settings::IniPath());
    const int method = ui->cmbMode->currentIndex() >= 0 ? ui->cmbMode->currentIndex() : StandardMethod;
    bool ok = m_ini->WriteInteger("BackUpSet", "BackUp", ui->optNo->isChecked() ? 0 : 1);
    ok = m_ini->WriteInteger("BackUpSet", "Set", method) && ok;
    ok = m_ini->WriteInteger("BackUpSet", "Auto", ui->chkAuto->isChecked() ? 1 : 0) && ok;
    ok = m_ini->WriteInteger("BackUpSet", "Keep", ui->spnKeep->value()) && ok;
    ok = m_ini->WriteString("BackUpSet", "CopyTo", ui->edtCopyTo->text().trimmed()) && ok;
    return ok;
}

void TFrmOption::btnBrowseClick()
{
    const QString folder = Dialogs::Instance().ExistingDirectory(
        this, {QStringLiteral("选择自动备份同时复制到的文件夹"), QString(), QString(), ui->edtCopyTo->text()});
    if (!folder.isEmpty())
        ui->edtCopyTo->setText(QDir::toNativeSeparators(folder));
}

void TFrmOption::btnSaveClick()
{
    if (!SaveSet()) {
        Dialogs::Instance().Inform(this, {QStringLiteral("无法写入设置文件“%1”，设置没有保存。").arg(m_ini->Path()),
                                          QStringLiteral("错误"), Dialogs::Icon::Critical});
        return;
    }
    m_watch->Reset();
    accept();
}

void TFrmOption::reject()
{
    if (m_watch->Touched() && !AskToSaveInput(this, [this] {
            btnSaveClick();
            return !m_watch->Touched();
        }))
        return;
    if (isVisible())
        QDialog::reject();
}
