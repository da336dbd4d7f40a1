#include "ReportExportFilters.h"

#include "PdfTextMap.h"
#include "ReportRenderer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QtMath>

namespace Report {

void ApplyPageSetup(QPagedPaintDevice& device, const PageSetup& page)
{
    const QPageSize size(QSizeF(page.paperWidth, page.paperHeight), QPageSize::Millimeter, page.paperName,
                         QPageSize::FuzzyMatch);
    device.setPageLayout(QPageLayout(
        size, page.orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

bool PaintPages(QPagedPaintDevice& device, const PreparedReport& report, const QList<int>& pages,
                const PageProgress& progress)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double pixelsPerMm = DevicePixelsPerMm(painter);
    int done = 0;
    for (int index : pages) {
        if (index < 0 || index >= report.pages.size())
            continue;
        if (done > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        RenderPage(painter, report.pages[index], pixelsPerMm);
        ++done;
        if (progress && !progress(done, pages.size())) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

QImage RenderPageImage(const PreparedReport& report, int pageIndex, int dpi)
{
    const double pixelsPerMm = dpi / 25.4;
    const QSizeF size = report.page.PageSize() * pixelsPerMm;
    QImage image(qCeil(size.width()), qCeil(size.height()), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(pixelsPerMm * 1000));
    image.setDotsPerMeterY(qRound(pixelsPerMm * 1000));
    image.fill(Qt::white);
    if (pageIndex >= 0 && pageIndex < report.pages.size()) {
        QPainter painter(&image);
        RenderPage(painter, report.pages[pageIndex], pixelsPerMm);
    }
    return image;
}

bool ExportPdf(const PreparedReport& report, const QString& fileName, QString* error)
{
    // Written to memory first, so the text map can be mended before the file is written.
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("维保档案管家"));
        ApplyPageSetup(writer, report.page);
        QList<int> pages;
        for (int i = 0; i < report.pages.size(); ++i)
            pages.append(i);
        if (!PaintPages(writer, report, pages)) {
            if (error)
                *error = QStringLiteral("无法生成PDF文件“%1”。").arg(QFileInfo(fileName).fileName());
            return false;
        }
    }
    RepairPdfTextMap(pdf);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("无法写入PDF文件“%1”：%2")
                         .arg(QFileInfo(fileName).fileName(), file.errorString());
        return false;
    }
    return true;
}

QStringList PngFileNames(const QString& fileName, int pageCount)
{
    if (pageCount <= 1)
        return {fileName};
    const QFileInfo info(fileName);
    QString stem = info.filePath();
    if (!info.suffix().isEmpty())
        stem.chop(info.suffix().size() + 1);
    QStringList names;
    for (int i = 1; i <= pageCount; ++i)
        names.append(QStringLiteral("%1_%2.png").arg(stem).arg(i));
    return names;
}

bool ExportPng(const PreparedReport& report, const QString& fileName, QString* error, int dpi)
{
    const QStringList names = PngFileNames(fileName, report.pages.size());
    for (int i = 0; i < report.pages.size(); ++i) {
        if (!RenderPageImage(report, i, dpi).save(names[i], "PNG")) {
            if (error)
                *error = QStringLiteral("无法写入图片文件“%1”。").arg(QFileInfo(names[i]).fileName());
            return false;
        }
    }
    return true;
}

const QVector<ExportFilter>& ExportFilters()
{
    static const QVector<ExportFilter> filters = {
        {QStringLiteral("PDF文件(*.pdf)"), QStringLiteral("*.pdf"), &ExportPdf},
        {QStringLiteral("PNG图片，每页一个文件(*.png)"), QStringLiteral("*.png"),
         [](const PreparedReport& report, const QString& fileName, QString* error) {
             return ExportPng(report, fileName, error);
         }},
    };
    return filters;
}

} // namespace Report
