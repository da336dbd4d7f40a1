#pragma once

#include "SaleRecord.h"

#include <QString>
#include <functional>

// Writes sale records to a file: the 29 captions of the record manager's
// list as the first row, then one row per record in id order.  The rows are
// streamed from the database to the file, never held together.
namespace SaleExport {

enum class Format {
    Xlsx, // dates as real dates, the amount as a number
    Csv   // UTF-8 with a byte-order mark, so spreadsheet programs read the Chinese
};
enum class Outcome { Done, Cancelled, Failed };

// Called now and then with the rows written and the rows to write; false
// cancels.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// The format a file name asks for: .csv is CSV, anything else a workbook.
Format FormatOf(const QString& fileName);

// Writes every record matching `condition`.  The file appears only when it is
// complete: a cancelled or failed export leaves no file behind (an existing
// file of that name stays as it was).
Outcome Write(const SaleRecord::Condition& condition, const QString& fileName, Format format,
              const Progress& progress, qint64* written, QString* error);

} // namespace SaleExport
