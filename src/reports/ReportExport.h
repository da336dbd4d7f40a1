#pragma once

class QAbstractItemModel;
class QWidget;

// Writes the records of a preview window's record source (a header row with
// the column titles, then every row) into a new Excel workbook and opens it
// with the desktop's default program.  False when no workbook could be made;
// the caller tells the user.
bool ExportRecordsToExcel(const QAbstractItemModel& records, QWidget* parent);
