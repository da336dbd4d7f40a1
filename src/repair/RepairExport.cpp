#include "RepairExport.h"

#include "RepairListModel.h"
#include "XlsxExport.h"

namespace RepairExport {

namespace {

// Column widths of the workbook, in characters.
constexpr double Widths[RepairListModel::ColumnCount] = {16, 12, 12, 16, 40, 10, 8, 8, 10, 9};

QVariant CellValue(const RepairListModel& rows, int row, int column)
{
    const QString text = rows.Text(row, column);
    switch (column) {
    case RepairListModel::ColReceived: {
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        return date.isValid() ? QVariant(date) : QVariant(text);
    }
    case RepairListModel::ColTotal:
        return text.toDouble();
    case RepairListModel::ColWaitDays:
        return rows.WaitDays(row);
    default:
        return text;
    }
}

} // namespace

bool Write(const RepairListModel& list, const QString& fileName, qint64* written, QString* error)
{
    *written = 0;
    // A list of its own over the same filter and clock, read to its end:
    // the visits are tens of thousands at most.
    RepairListModel rows;
    rows.SetLimits(list.OverdueDays(), list.PickupDays(), list.LongWaitDays());
    const QDateTime now = list.Now();
    rows.SetClock([now] { return now; });
    QString failure;
    QObject::connect(&rows, &PagedListModel::fetchFailed, [&failure](const QString& e) { failure = e; });
    if (!rows.Load(list.CurrentFilter(), error))
        return false;
    while (rows.canFetchMore({}) && failure.isEmpty())
        rows.fetchMore({});
    if (!failure.isEmpty()) {
        *error = failure;
        return false;
    }
    XlsxStreamWriter writer(fileName);
    if (!writer.Open(QStringLiteral("维修记录"), error))
        return false;
    writer.SetCaptionRow();
    QVariantList captions;
    for (int c = 0; c < RepairListModel::ColumnCount; ++c) {
        writer.SetColumnWidth(c + 1, Widths[c]);
        captions << rows.ColumnCaption(c);
    }
    if (!writer.AppendRow(captions, error))
        return false;
    for (int row = 0; row < rows.rowCount(); ++row) {
        QVariantList cells;
        for (int c = 0; c < RepairListModel::ColumnCount; ++c)
            cells << CellValue(rows, row, c);
        if (!writer.AppendRow(cells, error))
            return false;
    }
    if (!writer.Commit(error))
        return false;
    *written = rows.rowCount();
    return true;
}

} // namespace RepairExport
