#include "TFrmRepairHistory.h"
#include "ui_TFrmRepairHistory.h"

#include "RepairRecord.h"
#include "RepairRules.h"

#include <QHeaderView>

namespace {

void SetupTable(QTableWidget* table, const QStringList& headers)
{
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
}

void AddRow(QTableWidget* table, const QStringList& values)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int i = 0; i < values.size(); ++i)
        table->setItem(row, i, new QTableWidgetItem(values[i]));
}

QString Date(const QDateTime& value)
{
    return value.isValid() ? value.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

} // namespace

TFrmRepairHistory::TFrmRepairHistory(qint64 saleID, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TFrmRepairHistory>()), m_saleID(saleID)
{
    m_ui->setupUi(this);
    SetupTable(m_ui->GrdVisits,
               {QStringLiteral("单号"), QStringLiteral("接收日期"), QStringLiteral("取机日期"),
                QStringLiteral("故障描述"), QStringLiteral("处理措施"), QStringLiteral("状态"),
                QStringLiteral("保修"), QStringLiteral("合计")});
    SetupTable(m_ui->GrdSwaps,
               {QStringLiteral("日期"), QStringLiteral("单号"), QStringLiteral("部件"),
                QStringLiteral("原型号"), QStringLiteral("原序列号"), QStringLiteral("新型号"),
                QStringLiteral("新序列号"), QStringLiteral("保修至")});
    SetupTable(m_ui->GrdConfig,
               {QStringLiteral("部件"), QStringLiteral("出厂配置"), QStringLiteral("当前配置")});
    connect(m_ui->BtnClose, &QPushButton::clicked, this, &QDialog::accept);
    Fill();
}

TFrmRepairHistory::~TFrmRepairHistory() = default;

void TFrmRepairHistory::Fill()
{
    const RepairRecord::SaleMachine sale = RepairRecord::LoadSale(m_saleID);
    m_ui->LblMachine->setText(QStringLiteral("客户：%1    电话：%2    购买日期：%3    销售记录编号：%4")
                                  .arg(sale.name, sale.mobile.trimmed().isEmpty() ? sale.phone : sale.mobile,
                                       sale.buyDate.toString(QStringLiteral("yyyy-MM-dd")))
                                  .arg(m_saleID));
    QString error;
    const QVector<RepairVisit> visits = RepairRecord::History(m_saleID, &error);
    for (const RepairVisit& v : visits) {
        AddRow(m_ui->GrdVisits, {v.repairNo, Date(v.receivedAt), Date(v.pickedUpAt), v.problem.simplified(),
                                 v.action.simplified(), RepairRules::StatusText(v.status),
                                 v.inWarranty ? QStringLiteral("保修") : QStringLiteral("不保修"),
                                 RepairRules::YuanText(v.total)});
        // A swap dates from its pickup, or from the visit while the machine is in.
        const QString date = Date(v.pickedUpAt.isValid() ? v.pickedUpAt : v.receivedAt);
        for (const RepairSwapLine& s : v.swaps)
            AddRow(m_ui->GrdSwaps,
                   {date, v.repairNo, s.component, s.oldModel, s.oldSerial, s.newModel, s.newSerial,
                    s.warrantyUntil.isValid() ? s.warrantyUntil.toString(QStringLiteral("yyyy-MM-dd"))
                                              : QString()});
    }
    const auto now = RepairRecord::CurrentConfiguration(m_saleID, &error);
    for (const auto& [caption, model] : now) {
        QString sold;
        for (const auto& [c, m] : sale.components)
            if (c == caption)
                sold = m;
        AddRow(m_ui->GrdConfig, {caption, sold, model});
        if (sold != model)
            for (int column = 0; column < 3; ++column) {
                QFont bold = m_ui->GrdConfig->item(m_ui->GrdConfig->rowCount() - 1, column)->font();
                bold.setBold(true);
                m_ui->GrdConfig->item(m_ui->GrdConfig->rowCount() - 1, column)->setFont(bold);
            }
    }
    for (QTableWidget* table : {m_ui->GrdVisits, m_ui->GrdSwaps, m_ui->GrdConfig})
        table->resizeColumnsToContents();
}

TFrmRepairHistory* ShowRepairHistory(qint64 saleID, QWidget* parent)
{
    auto* window = new TFrmRepairHistory(saleID, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}
