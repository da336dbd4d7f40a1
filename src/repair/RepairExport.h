#pragma once

#include <QString>

class RepairListModel;

// Writes the visits a repair list shows (its whole filter, not only the
// rows fetched so far) to a workbook: the list's captions as the first row,
// dates as dates, money and days as numbers.  The file appears only when it
// is complete.
namespace RepairExport {

bool Write(const RepairListModel& list, const QString& fileName, qint64* written, QString* error);

} // namespace RepairExport
