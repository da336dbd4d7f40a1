#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

// Reads the first sheet of a spreadsheet file row by row, so that a file of
// any length is read in the memory of one row.  A cell is a QString, a
// double, a QDate, a QDateTime or null (empty).  Implementations: XlsxReader
// (.xlsx), XlsReader (.xls, the old binary format) and CsvReader (.csv).
class SheetReader
{
public:
    // Larger files are refused before anything is read.
    static constexpr qint64 MaxFileSize = 64LL * 1024 * 1024;

    virtual ~SheetReader() = default;

    // false with ErrorString() when the file cannot be read as this kind.
    virtual bool Open(const QString& fileName) = 0;
    // The next row that holds anything, cells by column from 0; false at the
    // end of the sheet or on a fault (then HasError()).
    virtual bool ReadRow(QVector<QVariant>* cells) = 0;
    // The row number of the row last read, as the spreadsheet shows it (from 1).
    virtual int RowNumber() const = 0;
    // Why the row last read cannot be taken as it stands (bytes that are no
    // text in the file's encoding), empty when it can.  The reader goes on
    // with the next row; the caller refuses this one.
    virtual QString RowProblem() const { return {}; }
    // How much of the file has been read, from 0 to 1; below 0 when the
    // reader cannot tell.
    virtual double Fraction() const { return -1; }

    bool HasError() const { return !m_error.isEmpty(); }
    QString ErrorString() const { return m_error; }

    // The reader for a file, chosen by its contents (a zip is a workbook, an
    // OLE compound file an old workbook, text a CSV file), and opened.  An
    // empty, oversized, binary or unreadable file gives nullptr and *error.
    static std::unique_ptr<SheetReader> OpenFile(const QString& fileName, QString* error);
    // What a file that is neither a workbook nor text is told.
    static QString NotASheetMessage();
    // Makes the reader of .xlsx files (XlsxReader); a benchmark puts an
    // earlier reader in its place to time the two.  nullptr: XlsxReader.
    using Factory = std::unique_ptr<SheetReader> (*)();
    static void SetXlsxFactory(Factory factory);

protected:
    bool Fail(const QString& error)
    {
        if (m_error.isEmpty())
            m_error = error;
        return false;
    }

private:
    QString m_error;
};
