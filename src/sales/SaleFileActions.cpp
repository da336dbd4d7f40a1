#include "SaleFileActions.h"

#include "Dialogs.h"
#include "SaleExport.h"
#include "SaleImport.h"
#include "SalePurge.h"
#include "TFrmSaleImport.h"

#include <QDir>
#include <QProgressDialog>
#include <memory>

namespace SaleFileActions {

namespace {

// A window-modal progress window that shows itself only when the work takes
// a moment; its "取消" cancels.
std::unique_ptr<QProgressDialog> MakeProgress(QWidget* parent, const QString& objectName,
                                              const QString& label)
{
    auto progress = std::make_unique<QProgressDialog>(label, QStringLiteral("取消"), 0, 0, parent);
    progress->setObjectName(objectName);
    progress->setWindowTitle(QStringLiteral("请稍候"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    return progress;
}

QString Native(const QString& file)
{
    return QDir::toNativeSeparators(file);
}

} // namespace

bool ExportList(QWidget* parent, const SaleRecord::Condition& condition)
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("导出到Excel");
    request.filter = QStringLiteral("Excel文件|*.xlsx|CSV文件(UTF-8)|*.csv|所有文件|*.*");
    request.defaultSuffix = QStringLiteral("xlsx");
    const QString file = Dialogs::Instance().SaveFileName(parent, request);
    if (file.isEmpty())
        return false;

    auto progress = MakeProgress(parent, "dlgExportProgress", QStringLiteral("正在导出销售记录……"));
    const auto report = [&progress](qint64 done, qint64 total) {
        if (progress->maximum() != total)
            progress->setMaximum(int(qMin<qint64>(total, INT_MAX)));
        progress->setLabelText(QStringLiteral("正在导出销售记录：%1 / %2").arg(done).arg(total));
        progress->setValue(int(qMin<qint64>(done, INT_MAX)));
        return !progress->wasCanceled();
    };
    qint64 written = 0;
    QString error;
    const SaleExport::Outcome outcome =
        SaleExport::Write(condition, file, SaleExport::FormatOf(file), report, &written, &error);
    progress->close();
    switch (outcome) {
    case SaleExport::Outcome::Done:
        ShowMessage(QStringLiteral("已导出 %1 条记录到：\n%2").arg(written).arg(Native(file)), parent);
        return true;
    case SaleExport::Outcome::Cancelled:
        ShowMessage(QStringLiteral("导出已取消，没有生成文件。"), parent);
        return false;
    case SaleExport::Outcome::Failed:
        ShowMessage(QStringLiteral("导出失败，没有生成文件：\n") + error, parent);
        return false;
    }
    return false;
}

qint64 ImportFile(QWidget* parent)
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("从文件导入");
    request.filter =
        QStringLiteral("表格文件|*.xlsx;*.xls;*.csv|Excel文件|*.xlsx;*.xls|CSV文件|*.csv|所有文件|*.*");
    request.confirmOverwrite = false;
    const QString file = Dialogs::Instance().OpenFileName(parent, request);
    if (file.isEmpty())
        return 0;

    // The form reads the file on a worker thread, its preview filling as
    // it reads; it closes by itself when the file is refused.
    TFrmSaleImport dialog(parent);
    dialog.Read(file);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (dialog.ReadOutcome() == SaleImport::Outcome::Failed) {
        ShowMessage(QStringLiteral("无法导入文件 %1：\n%2").arg(Native(file), dialog.ReadError()), parent);
        return 0;
    }
    if (dialog.ReadOutcome() != SaleImport::Outcome::Done)
        return 0;
    const SaleImport::Preview& preview = dialog.CurrentPreview();
    if (preview.rows == 0) {
        ShowMessage(QStringLiteral("文件中除标题行外没有数据，没有可导入的记录。"), parent);
        return 0;
    }
    if (!accepted)
        return 0;

    QString error;
    SaleImport::Outcome outcome;
    qint64 written = 0;
    {
        auto progress = MakeProgress(parent, "dlgImportProgress", QStringLiteral("正在导入……"));
        progress->setMaximum(int(qMin<qint64>(preview.rows, INT_MAX)));
        outcome =
            SaleImport::Write(preview, dialog.SkipDuplicates(), &written, &error, [&progress](qint64 rows) {
                progress->setValue(int(qMin<qint64>(rows, INT_MAX)));
                return !progress->wasCanceled();
            });
    }
    switch (outcome) {
    case SaleImport::Outcome::Done:
        ShowMessage(QStringLiteral("已成功导入 %1 条记录。").arg(written), parent);
        return written;
    case SaleImport::Outcome::Cancelled:
        ShowMessage(QStringLiteral("导入已取消，没有写入任何记录。"), parent);
        return 0;
    case SaleImport::Outcome::Failed:
        ShowMessage(QStringLiteral("导入失败，没有写入任何记录：\n") + error, parent);
        return 0;
    }
    return 0;
}

bool PurgeExpired(QWidget* parent)
{
    SalePurge::Result result;
    QString error;
    bool purged;
    {
        auto progress = MakeProgress(parent, "dlgPurgeProgress", QStringLiteral("正在备份要删除的记录……"));
        purged = SalePurge::PurgeExpiredOrdinary(QDateTime::currentDateTime(), &result, &error,
                                                 [&progress](qint64 done, qint64 total) {
                                                     progress->setMaximum(int(qMin<qint64>(total, INT_MAX)));
                                                     progress->setValue(int(qMin<qint64>(done, INT_MAX)));
                                                     return !progress->wasCanceled();
                                                 });
    }
    if (!purged && result.cancelled) {
        ShowMessage(QStringLiteral("已取消，没有删除任何数据。"), parent);
        return false;
    }
    if (!purged) {
        ShowError(QStringLiteral("未能保存要删除的记录的副本，没有删除任何数据。\n") + error, QString(),
                  parent);
        return false;
    }
    const QString kept = result.kept > 0
                             ? QStringLiteral("\n有维修记录的 %1 台机器的记录已保留。").arg(result.kept)
                             : QString();
    if (result.deleted == 0) {
        ShowMessage(QStringLiteral("数据己经成功删除！") + kept, parent);
        return false;
    }
    ShowMessage(QStringLiteral("数据己经成功删除！\n删除的 %1 条记录已保存在：%2")
                        .arg(result.deleted)
                        .arg(Native(result.copyFile)) +
                    kept,
                parent);
    return true;
}

} // namespace SaleFileActions
