#include "TFrmRepairCall.h"

#include "SaleEntryEvents.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "RepairRecord.h"
#include "RepairSettings.h"
#include "TFrmRepairManage.h"
#include "ui_TFrmRepairCall.h"

#include <QHeaderView>
#include <QTableWidgetItem>

namespace {

const char16_t* const Captions[] = {u"单号", u"客户", u"送修人", u"电话", u"故障", u"完工时间", u"上次通知"};
constexpr int Widths[] = {120, 90, 80, 120, 200, 130, 130};

QString TimeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}

} // namespace

TFrmRepairCall::TFrmRepairCall(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TFrmRepairCall>())
{
    m_ui->setupUi(this);
    const RepairSettings settings = RepairSettings::Load();
    m_limits = {settings.overdueDays, settings.pickupDays, settings.longWaitDays};
    QTableWidget* grid = m_ui->GridCalls;
    grid->setColumnCount(int(std::size(Captions)));
    for (int c = 0; c < grid->columnCount(); ++c) {
        grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf16(Captions[c])));
        grid->setColumnWidth(c, Widths[c]);
    }
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(m_ui->BtnNotified, &QPushButton::clicked, this, &TFrmRepairCall::BtnNotifiedClick);
    connect(m_ui->BtnOpen, &QPushButton::clicked, this, &TFrmRepairCall::BtnOpenClick);
    connect(m_ui->BtnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &TFrmRepairCall::BtnOpenClick);
    Reload();
}

TFrmRepairCall::~TFrmRepairCall() = default;

void TFrmRepairCall::SetClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
    Reload();
}

QDateTime TFrmRepairCall::Now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

void TFrmRepairCall::Reload()
{
    QString error;
    m_calls = RepairReminder::CallList(Now(), m_limits, &error);
    if (!error.isEmpty())
        ShowError(error, QString(), this);
    QTableWidget* grid = m_ui->GridCalls;
    grid->setRowCount(int(m_calls.size()));
    for (int row = 0; row < m_calls.size(); ++row) {
        const RepairReminder::Call& call = m_calls[row];
        const QString texts[] = {call.repairNo,
                                 call.customer,
                                 call.contact,
                                 call.phone,
                                 QString(call.problem).replace('\n', ' '),
                                 TimeText(call.readyAt),
                                 TimeText(call.notifiedAt)};
        for (int c = 0; c < int(std::size(texts)); ++c)
            grid->setItem(row, c, new QTableWidgetItem(texts[c]));
    }
    m_ui->LblCount->setText(QStringLiteral("共 %1 台待通知").arg(m_calls.size()));
    m_ui->BtnNotified->setEnabled(!m_calls.isEmpty());
    m_ui->BtnOpen->setEnabled(!m_calls.isEmpty());
    if (!m_calls.isEmpty())
        grid->selectRow(0);
}

int TFrmRepairCall::SelectedRow() const
{
    const int row = m_ui->GridCalls->currentRow();
    return row >= 0 && row < m_calls.size() ? row : -1;
}

void TFrmRepairCall::BtnNotifiedClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    const RepairReminder::Call call = m_calls[row];
    QString error;
    if (!RepairReminder::MarkNotified(call.repairID, Now(), &error))
        ShowMessage(error, this);
    else
        RepairRecord::LogUsage(QStringLiteral("已通知取机：") + call.repairNo);
    Reload();
    emit SaleEntryEvents::Instance()->repairsChanged();
}

void TFrmRepairCall::BtnOpenClick()
{
    const int row = SelectedRow();
    if (row >= 0)
        TFrmRepairManage::OpenVisit(m_calls[row].repairID, parentWidget());
}

TFrmRepairCall* TFrmRepairCall::ShowCallList(QWidget* parent)
{
    auto* dialog = new TFrmRepairCall(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}
