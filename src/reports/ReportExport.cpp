#include "ReportExport.h"

#include "ExcelExport.h"

#include <QAbstractItemModel>

bool ExportRecordsToExcel(const QAbstractItemModel& records, QWidget* parent)
{
    Q_UNUSED(parent);
    ExcelWorkbook excel;
    XlsxSheet* sheet = nullptr;
    if (!OpenExcelWorkbook(excel, sheet, true))
        return false;
    // Captions in row 1, records from row 2, one column per model column.
    const int columns = records.columnCount();
    for (int c = 0; c < columns; ++c)
        sheet->SetCell(1, c + 1, records.headerData(c, Qt::Horizontal, Qt::DisplayRole));
    for (int r = 0; r < records.rowCount(); ++r)
        for (int c = 0; c < columns; ++c)
            sheet->SetCell(r + 2, c + 1, records.data(records.index(r, c), Qt::DisplayRole));
    return excel.Show();
}
