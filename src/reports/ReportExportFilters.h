#pragma once

#include "ReportModel.h"

#include <QImage>
#include <QStringList>
#include <functional>

class QPagedPaintDevice;

namespace Report {

// Called after each page; returning false stops the work.
using PageProgress = std::function<bool(int pagesDone, int pageCount)>;

// Sets the device's page size and orientation to the report's page setup.
void ApplyPageSetup(QPagedPaintDevice& device, const PageSetup& page);
// Paints the given pages (0-based) on a device whose painter origin is the
// paper's top-left corner.  False when the device cannot be painted on or
// progress asked to stop.
bool PaintPages(QPagedPaintDevice& device, const PreparedReport& report, const QList<int>& pages,
                const PageProgress& progress = {});

QImage RenderPageImage(const PreparedReport& report, int pageIndex, int dpi);

// PDF with every page and real (searchable) text.
bool ExportPdf(const PreparedReport& report, const QString& fileName, QString* error);
// One PNG per page: the chosen name itself for a one-page report, otherwise
// "<name>_<n>.png" for page n.
bool ExportPng(const PreparedReport& report, const QString& fileName, QString* error, int dpi = 150);
QStringList PngFileNames(const QString& fileName, int pageCount);

// An export format of the save dialog's type list.
struct ExportFilter
{
    QString description;
    QString mask; // "*.pdf"
    std::function<bool(const PreparedReport&, const QString&, QString*)> write;
};
// The registered export filters in the order the save dialog lists them.
const QVector<ExportFilter>& ExportFilters();

} // namespace Report
