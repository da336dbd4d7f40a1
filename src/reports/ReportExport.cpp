#include "ReportExport.h"

#include <QAbstractItemModel>

// The workbook writer of the data-access layer is not available to the
// reports yet; until it is wired in here, no workbook is made.
bool ExportRecordsToExcel(const QAbstractItemModel& records, QWidget* parent)
{
    Q_UNUSED(records);
    Q_UNUSED(parent);
    return false;
}
