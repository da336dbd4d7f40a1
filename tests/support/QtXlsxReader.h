#pragma once

#include "SheetReader.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QXmlStreamReader>

struct archive;

// The earlier .xlsx reader, which reads the XML parts through
// QXmlStreamReader, kept as it was: the tests compare the reader of the
// program with it (the same cells, the same refusals), and the benchmarks
// time it beside that reader.
class QtXlsxReader : public SheetReader
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

    // Absolute bounds, whatever the size of the file: a few megabytes of
    // zip can unpack to gigabytes, and XML can nest or repeat without end.
    static constexpr qint64 MaxUnpacked = 256LL * 1024 * 1024; // all parts together
    static constexpr int MaxDepth = 64;                        // XML elements within elements
    static constexpr qint64 MaxToken = 1024 * 1024;            // bytes of one XML token (text, tag)
    static constexpr int MaxCellsPerRow = 16384;               // also the last column, XFD
    static constexpr int MaxRows = 1048576;                    // also the last row number
    static constexpr int MaxEntries = 1000000;                 // shared strings; styles
    static constexpr int MaxCellText = 32767;                  // characters of one text

    QtXlsxReader();
    ~QtXlsxReader() override;
    QtXlsxReader(const QtXlsxReader&) = delete;
    QtXlsxReader& operator=(const QtXlsxReader&) = delete;

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
    // One part of the zip read as a stream of XML tokens.
    struct XmlPart
    {
        XmlPart() = default;
        ~XmlPart();
        XmlPart(const XmlPart&) = delete;
        XmlPart& operator=(const XmlPart&) = delete;
        void Close();

        ::archive* archive = nullptr;
        QString path;
        QXmlStreamReader xml;
        bool drained = false;
        int depth = 0;
        qint64 pending = 0; // bytes fed since the last token
    };

    bool OpenArchive(::archive** a);
    // Positions `part` at the start of the zip entry `path`: false when
    // there is none (HasError() only when the zip is at fault).
    bool OpenPart(XmlPart* part, const QString& path);
    // The next token of the part; false at its end or on a fault.
    bool NextToken(XmlPart& part);
    bool Count(qint64 bytes);
    bool ReadRelationships(const QString& path, QString* workbookPath);
    bool ReadWorkbook(const QString& workbookPath);
    bool ReadSharedStrings(const QString& path);
    bool ReadStyles(const QString& path);
    bool StartSheet();
    QString CellText();

    QString m_fileName;
    qint64 m_unpacked = 0;
    qint64 m_remarks = 0; // characters of XML comments and processing instructions
    QString m_sheetName;
    QString m_sheetPath;
    QStringList m_strings;
    QStringList m_styleFormats;
    bool m_date1904 = false;
    XmlPart m_sheet;
    int m_rowNumber = 0;
    QVector<Cell> m_cells; // kept between rows for its capacity
};
