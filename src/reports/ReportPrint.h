#pragma once

#include "ReportModel.h"

#include <QList>
#include <QString>

class QPrinter;
class QWidget;

namespace Report {

// Shown where the system has no printer at all.
QString NoPrinterMessage();

// Prints one copy of every page at once on the system's default printer,
// without a printer dialog; a progress window follows multi-page work.
// False with a message for the user in error when there is no printer or
// printing failed or was cancelled.
bool PrintReport(const PreparedReport& report, QString* error, QWidget* parent = nullptr);

// Prints the given pages (0-based) on a printer that is already set up; the
// printer takes the report's page setup.  Used by PrintReport and the
// preview's print commands (and by tests with a PDF printer).
bool PrintPagesOn(QPrinter& printer, const PreparedReport& report, const QList<int>& pages, QString* error,
                  QWidget* parent = nullptr);

// True when the system knows at least one printer.
bool HasPrinters();

} // namespace Report
