#include "TFrmSaleImport.h"

#include "SaleRecord.h"
#include "ui_TFrmSaleImport.h"

#include <QDir>
#include <QHeaderView>

namespace {

QTableWidgetItem* Item(const QString& text)
{
    return new QTableWidgetItem(text);
}

} // namespace

TFrmSaleImport::TFrmSaleImport(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TFrmSaleImport>())
{
    m_ui->setupUi(this);
    connect(m_ui->btnImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->lvRefused->horizontalHeader()->resizeSection(0, 70);
    m_ui->lvRefused->horizontalHeader()->resizeSection(1, 110);
    m_ui->lvDuplicates->horizontalHeader()->resizeSection(0, 70);
    m_ui->lvDuplicates->horizontalHeader()->resizeSection(1, 110);
    m_ui->lvDuplicates->horizontalHeader()->resizeSection(2, 140);
    m_ui->lvDuplicates->horizontalHeader()->resizeSection(3, 110);
}

TFrmSaleImport::~TFrmSaleImport() = default;

bool TFrmSaleImport::SkipDuplicates() const
{
    return m_ui->chkSkipDuplicates->isChecked();
}

void TFrmSaleImport::SetPreview(const SaleImport::Preview& preview)
{
    m_ui->lblFile->setText(QStringLiteral("文件：") + QDir::toNativeSeparators(preview.fileName));
    m_ui->lblSummary->setText(
        QStringLiteral("共 %1 行数据：可以导入 %2 行（其中疑似重复 %3 行），拒绝 %4 行。")
            .arg(preview.rows)
            .arg(preview.accepted)
            .arg(preview.duplicateRows)
            .arg(preview.refusedRows));
    m_ui->lblUnmatched->setText(preview.unmatched.isEmpty()
                                    ? QStringLiteral("所有列都已识别。")
                                    : QStringLiteral("未识别的列（将被忽略）：") +
                                          preview.unmatched.join(QStringLiteral("、")));
    m_ui->lblNotes->setText(preview.notes.join('\n'));
    m_ui->lblNotes->setVisible(!preview.notes.isEmpty());

    QTableWidget* refused = m_ui->lvRefused;
    refused->setRowCount(int(preview.refused.size()));
    for (int i = 0; i < preview.refused.size(); ++i) {
        const SaleImport::Refusal& r = preview.refused[i];
        refused->setItem(i, 0, Item(QString::number(r.row)));
        refused->setItem(i, 1, Item(r.column));
        refused->setItem(i, 2, Item(r.reason));
    }
    QTableWidget* duplicates = m_ui->lvDuplicates;
    duplicates->setRowCount(int(preview.duplicates.size()));
    for (int i = 0; i < preview.duplicates.size(); ++i) {
        const SaleImport::Duplicate& d = preview.duplicates[i];
        duplicates->setItem(i, 0, Item(QString::number(d.row)));
        duplicates->setItem(i, 1, Item(d.name));
        duplicates->setItem(i, 2, Item(d.phone));
        duplicates->setItem(i, 3, Item(SaleRecord::DateText(d.buyDate)));
        duplicates->setItem(i, 4, Item(QString::number(d.storedId)));
    }
    // Only the first entries are listed; the counts count every row.
    const auto more = [](qsizetype listed) {
        return listed >= SaleImport::MaxListed ? QStringLiteral("（列出前 %1 条）").arg(listed) : QString();
    };
    m_ui->tabPreview->setTabText(0, QStringLiteral("拒绝的行 (%1)").arg(preview.refusedRows) +
                                        more(preview.refused.size()));
    m_ui->tabPreview->setTabText(1, QStringLiteral("疑似重复的行 (%1)").arg(preview.duplicateRows) +
                                        more(preview.duplicates.size()));
    m_ui->tabPreview->setCurrentIndex(preview.refusedRows == 0 && preview.duplicateRows > 0 ? 1 : 0);
    m_ui->chkSkipDuplicates->setEnabled(preview.duplicateRows > 0);
    m_ui->btnImport->setEnabled(preview.accepted > 0);
}
