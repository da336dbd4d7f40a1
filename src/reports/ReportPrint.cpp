#include "ReportPrint.h"

#include "PdfTextMap.h"
#include "ReportExportFilters.h"

#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

namespace Report {

QString NoPrinterMessage()
{
    return QStringLiteral("没有可用的打印机，无法打印。\n请先在系统中安装打印机。");
}

bool HasPrinters()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool PrintPagesOn(QPrinter& printer, const PreparedReport& report, const QList<int>& pages, QString* error,
                  QWidget* parent)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (report.IsEmpty() || pages.isEmpty())
        return fail(QStringLiteral("没有可打印的页面。"));
    printer.setFullPage(true);
    printer.setDocName(report.title.isEmpty() ? QStringLiteral("报表") : report.title);
    ApplyPageSetup(printer, report.page);

    // The progress window appears for multi-page work only; a single page prints at once.
    QProgressDialog progress(QStringLiteral("正在打印“%1”…").arg(printer.docName()), QStringLiteral("取消"),
                             0, int(pages.size()), parent);
    progress.setWindowTitle(QStringLiteral("打印"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(pages.size() > 1 ? 0 : 1000 * 60 * 60);
    progress.setValue(0);
    const bool done = PaintPages(printer, report, pages, [&progress](int pagesDone, int) {
        progress.setValue(pagesDone);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!done) {
        if (progress.wasCanceled()) {
            printer.abort();
            return fail(QStringLiteral("打印已取消。"));
        }
        return fail(QStringLiteral("打印机“%1”无法打印，请检查打印机。").arg(printer.printerName()));
    }
    // "Print to file" writes a PDF: mend its text map like an exported one.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        QFile file(printer.outputFileName());
        if (file.open(QIODevice::ReadWrite)) {
            QByteArray pdf = file.readAll();
            if (RepairPdfTextMap(pdf) && file.seek(0))
                file.write(pdf);
        }
    }
    return true;
}

bool PrintReport(const PreparedReport& report, QString* error, QWidget* parent)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        if (error)
            *error = HasPrinters()
                         ? QStringLiteral("没有设置默认打印机，无法打印。\n请先在系统中设置默认打印机。")
                         : NoPrinterMessage();
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setCopyCount(1);
    QList<int> pages;
    for (int i = 0; i < report.PageCount(); ++i)
        pages.append(i);
    return PrintPagesOn(printer, report, pages, error, parent);
}

} // namespace Report
