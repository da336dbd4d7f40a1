#include "TFrmRepairOption.h"
#include "ui_TFrmRepairOption.h"

#include "Dialogs.h"
#include "RepairRecord.h"
#include "RepairSettings.h"

TFrmRepairOption::TFrmRepairOption(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TFrmRepairOption>())
{
    m_ui->setupUi(this);
    const RepairSettings s = RepairSettings::Load();
    m_ui->SpnOverdue->setValue(s.overdueDays);
    m_ui->SpnPickup->setValue(s.pickupDays);
    m_ui->SpnLongWait->setValue(s.longWaitDays);
    m_ui->SpnPartWarranty->setValue(s.partWarrantyDays);
    m_ui->SpnDue->setValue(s.dueDays);
    m_ui->MemPhrases->setPlainText(s.phrases.join(QLatin1Char('\n')));
    m_ui->MemNotice->setPlainText(s.notice);
    m_ui->ChkReceipt->setChecked(RepairSettings::ReceiptLayout());
    connect(m_ui->BtnOK, &QPushButton::clicked, this, &TFrmRepairOption::BtnOKClick);
    connect(m_ui->BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmRepairOption::~TFrmRepairOption() = default;

void TFrmRepairOption::BtnOKClick()
{
    RepairSettings s;
    s.overdueDays = m_ui->SpnOverdue->value();
    s.pickupDays = m_ui->SpnPickup->value();
    s.longWaitDays = m_ui->SpnLongWait->value();
    s.partWarrantyDays = m_ui->SpnPartWarranty->value();
    s.dueDays = m_ui->SpnDue->value();
    for (const QString& line : m_ui->MemPhrases->toPlainText().split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            s.phrases << line.trimmed();
    s.notice = m_ui->MemNotice->toPlainText().trimmed();
    QString error;
    if (!s.Save(&error)) {
        ShowError(QStringLiteral("保存维修设置失败：") + error, QString(), this);
        return;
    }
    if (!RepairSettings::SetReceiptLayout(m_ui->ChkReceipt->isChecked())) {
        ShowError(QStringLiteral("无法写入本机的设置文件。"), QString(), this);
        return;
    }
    RepairRecord::LogUsage(QStringLiteral("修改维修设置"));
    accept();
}
