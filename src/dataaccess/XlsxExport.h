#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <deque>
#include <memory>

class MemDataset;

// One worksheet held in memory until its workbook is written.  Rows and
// columns count from 1, as the spreadsheet shows them.  A QString cell is
// written as text, a number as a number, a QDateTime as a date and time and a
// QDate as a date (both real spreadsheet dates carrying a date format); a
// null cell stays empty.
class XlsxSheet
{
public:
    explicit XlsxSheet(const QString& name = QStringLiteral("Sheet1"));

    QString Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    void SetCell(int row, int column, const QVariant& value);
    QVariant Cell(int row, int column) const;
    // The last row and column that hold a cell (0 when the sheet is empty).
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    int ColumnCount() const { return m_columns; }
    void Clear();

    // Width in characters, as the spreadsheet counts them; 0 = default.
    void SetColumnWidth(int column, double width);
    double ColumnWidth(int column) const;

private:
    QString m_name;
    QVector<QVector<QVariant>> m_rows;
    QVector<double> m_widths;
    int m_columns = 0;
};

// A workbook of one or more sheets, written as one .xlsx file.
class XlsxWorkbook
{
public:
    XlsxWorkbook();

    int SheetCount() const { return static_cast<int>(m_sheets.size()); }
    XlsxSheet& Sheet(int index = 0) { return m_sheets.at(index); }
    const XlsxSheet& Sheet(int index = 0) const { return m_sheets.at(index); }
    XlsxSheet& AddSheet(const QString& name);

    // Writes the workbook to `fileName`.  The file is first written beside
    // its target and then put in its place, so an existing file is replaced
    // only by a complete workbook.  false (with *error) when it cannot be
    // written; nothing is left behind then.
    bool Save(const QString& fileName, QString* error = nullptr) const;

private:
    // A deque keeps references to sheets valid when one is added.
    std::deque<XlsxSheet> m_sheets;
};

// Writes one worksheet row by row without holding its rows: the rows go to
// a temporary file as they come (the library's constant-memory mode).  The
// workbook is written beside its target and only put in its place by
// Commit(), so a workbook that is not committed (cancelled, failed) leaves no
// file behind.  Cell values as for XlsxSheet.
class XlsxStreamWriter
{
public:
    explicit XlsxStreamWriter(const QString& fileName);
    ~XlsxStreamWriter();
    XlsxStreamWriter(const XlsxStreamWriter&) = delete;
    XlsxStreamWriter& operator=(const XlsxStreamWriter&) = delete;

    bool Open(const QString& sheetName, QString* error = nullptr);
    // Widths in characters, before the first row.
    void SetColumnWidth(int column, double width);
    // For a wide list with captions in its first row: that row stays in
    // view and is printed on every page, pages are landscape.
    void SetCaptionRow();
    // Appends the next row (columns from 1 = the list's first value).
    bool AppendRow(const QVariantList& values, QString* error = nullptr);
    bool Commit(QString* error = nullptr);
    // Drops the unfinished workbook.
    void Discard();

private:
    class Private;
    std::unique_ptr<Private> d;
};

// Puts the visible rows of `dataset` into `sheet`: the captions in row
// startRow + 1 (the field names, or the entries of `captions` where given),
// one row per record below, in field order.  A date-time field whose values
// all fall on midnight is written as dates.  Column widths follow the
// longest text.  The dataset's cursor does not move.
void FillSheetFromDataset(const MemDataset& dataset, int startRow, XlsxSheet& sheet,
                          const QStringList& captions = {});
