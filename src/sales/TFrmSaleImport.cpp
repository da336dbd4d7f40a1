#include "TFrmSaleImport.h"

#include "SaleImportRun.h"
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
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TFrmSaleImport::reject);
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

bool TFrmSaleImport::IsReading() const
{
    return m_run && m_run->IsRunning();
}

const SaleImport::Preview& TFrmSaleImport::CurrentPreview() const
{
    return m_run ? m_run->CurrentPreview() : m_shown;
}

void TFrmSaleImport::Read(const QString& fileName)
{
    m_run = std::make_unique<SaleImportRun>();
    connect(m_run.get(), &SaleImportRun::Progressed, this, &TFrmSaleImport::ShowProgress);
    connect(m_run.get(), &SaleImportRun::Finished, this, &TFrmSaleImport::ReadFinished);
    m_outcome = SaleImport::Outcome::Cancelled;
    m_error.clear();
    m_ui->lvRefused->setRowCount(0);
    m_ui->lvDuplicates->setRowCount(0);
    m_ui->lblFile->setText(QStringLiteral("文件：") + QDir::toNativeSeparators(fileName));
    m_ui->lblSummary->setText(QStringLiteral("正在读取……"));
    m_ui->lblUnmatched->clear();
    m_ui->lblNotes->hide();
    m_ui->lblProgress->setText(QStringLiteral("正在读取文件……"));
    m_ui->pbRead->setValue(0);
    m_ui->lblProgress->show();
    m_ui->pbRead->show();
    m_ui->btnImport->setEnabled(false);
    m_ui->chkSkipDuplicates->setEnabled(false);
    m_run->Start(fileName);
}

void TFrmSaleImport::ShowProgress()
{
    const SaleImport::Preview& preview = m_run->CurrentPreview();
    const double fraction = m_run->Fraction();
    if (fraction < 0) {
        m_ui->pbRead->setRange(0, 0); // the reader cannot tell: busy
    } else {
        m_ui->pbRead->setRange(0, 1000);
        m_ui->pbRead->setValue(int(fraction * 1000));
    }
    m_ui->lblProgress->setText(QStringLiteral("正在读取文件：已读 %1 行").arg(preview.rows));
    ShowPreview(preview, false);
}

void TFrmSaleImport::ReadFinished()
{
    m_outcome = m_run->Result();
    m_error = m_run->ErrorString();
    const SaleImport::Preview& preview = m_run->CurrentPreview();
    // A refused file, or one without data rows: the caller says so.
    if (m_outcome != SaleImport::Outcome::Done || preview.rows == 0) {
        QDialog::reject();
        return;
    }
    m_ui->pbRead->setRange(0, 1000);
    m_ui->pbRead->setValue(1000);
    m_ui->lblProgress->setText(QStringLiteral("读取完成：共 %1 行").arg(preview.rows));
    ShowPreview(preview, true);
}

void TFrmSaleImport::reject()
{
    // "取消" while reading stops the reading; the staged rows are dropped.
    if (IsReading())
        m_run->Cancel();
    QDialog::reject();
}

void TFrmSaleImport::SetPreview(const SaleImport::Preview& preview)
{
    m_run.reset();
    m_shown = preview;
    m_outcome = SaleImport::Outcome::Done;
    m_ui->lvRefused->setRowCount(0);
    m_ui->lvDuplicates->setRowCount(0);
    m_ui->lblProgress->hide();
    m_ui->pbRead->hide();
    ShowPreview(m_shown, true);
}

void TFrmSaleImport::ShowPreview(const SaleImport::Preview& preview, bool complete)
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

    // The lists only grow while the file is read: the new entries are added.
    QTableWidget* refused = m_ui->lvRefused;
    const int refusedShown = refused->rowCount();
    refused->setRowCount(int(preview.refused.size()));
    for (int i = refusedShown; i < preview.refused.size(); ++i) {
        const SaleImport::Refusal& r = preview.refused[i];
        refused->setItem(i, 0, Item(QString::number(r.row)));
        refused->setItem(i, 1, Item(r.column));
        refused->setItem(i, 2, Item(r.reason));
    }
    QTableWidget* duplicates = m_ui->lvDuplicates;
    const int duplicatesShown = duplicates->rowCount();
    duplicates->setRowCount(int(preview.duplicates.size()));
    for (int i = duplicatesShown; i < preview.duplicates.size(); ++i) {
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
    if (!complete)
        return;
    m_ui->tabPreview->setCurrentIndex(preview.refusedRows == 0 && preview.duplicateRows > 0 ? 1 : 0);
    m_ui->chkSkipDuplicates->setEnabled(preview.duplicateRows > 0);
    m_ui->btnImport->setEnabled(preview.accepted > 0);
}
