#pragma once

#include "SheetReader.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QXmlStreamReader>

struct archive;

// Reads the first worksheet of an .xlsx workbook: the zip through libarchive,
// the XML parts through QXmlStreamReader.  The shared strings and the cell
// styles are read first; the sheet itself is then streamed, one row at a
// time.  Hostile files are refused: more unpacked data than the limits allow
// (a zip bomb), any document type definition (entity expansion), malformed
// XML.
class XlsxReader : public SheetReader
{
public:
    // One cell as stored: its type letter ("s", "n", "str", "inlineStr",
    // "b", "e", "d"), its text (shared strings resolved) and the number
    // format code of its style (empty for General).
    struct Cell
    {
        int column = 0; // from 0
        QString type;
        QString text;
        QString format;
    };

    // The unpacked bytes a workbook may hold: at most `ratio` times the size
    // of the file, and never more than `maxUnpacked`.
    struct Limits
    {
        qint64 maxUnpacked = 1024LL * 1024 * 1024;
        qint64 ratio = 200;
    };

    XlsxReader();
    ~XlsxReader() override;
    XlsxReader(const XlsxReader&) = delete;
    XlsxReader& operator=(const XlsxReader&) = delete;

    void SetLimits(const Limits& limits) { m_limits = limits; }

    bool Open(const QString& fileName) override;
    bool ReadRow(QVector<QVariant>* cells) override;
    int RowNumber() const override { return m_rowNumber; }

    // The next row as stored, cells in the order of the file.
    bool ReadCells(QVector<Cell>* cells);
    QString SheetName() const { return m_sheetName; }

    // The value of a stored cell: text, a number, or for a number whose
    // format shows a date a QDate (a QDateTime when it has a time of day).
    QVariant Value(const Cell& cell) const;
    // Whether a number format code shows a date or a time.
    static bool IsDateFormat(const QString& code);

private:
    bool ReadPart(const QString& path, QByteArray* data);
    bool OpenArchive(::archive** a);
    bool Count(qint64 bytes);
    bool ReadWorkbook(const QByteArray& workbook, const QByteArray& rels);
    bool ReadSharedStrings(const QByteArray& xml);
    bool ReadStyles(const QByteArray& xml);
    bool StartSheet();
    // Moves the sheet reader on by one token, feeding it more of the zip entry
    // when it runs dry; false at the end of the part or on a fault.
    bool NextToken();
    bool CheckXml(QXmlStreamReader& xml, const QString& part);
    QString CellText();

    QString m_fileName;
    qint64 m_fileSize = 0;
    qint64 m_unpacked = 0;
    Limits m_limits;
    QString m_sheetName;
    QString m_sheetPath;
    QStringList m_strings;
    QStringList m_styleFormats;
    bool m_date1904 = false;
    ::archive* m_sheetArchive = nullptr;
    bool m_sheetDrained = false;
    QXmlStreamReader m_xml;
    int m_rowNumber = 0;
    QVector<Cell> m_cells; // kept between rows for its capacity
};
