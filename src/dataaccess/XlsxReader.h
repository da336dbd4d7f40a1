#pragma once

#include "SheetReader.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>

// Reads the first worksheet of an .xlsx workbook: the zip through libarchive,
// the XML parts through XmlScanner, a streaming scanner made for them (expat
// for a part in another encoding than UTF-8), fed 64 KB at a time.  The
// shared strings and the cell styles are read first; the sheet itself is
// then streamed on a thread of its own, a few pieces ahead of the rows
// handed out one by one, so that unpacking and parsing go on beside what the
// caller does with the rows.  Every part is streamed through bounds of its
// own (see below), so memory and time stay small whatever the file holds.
// Hostile files are refused with the bound they broke: unpacked data (a zip
// bomb), nesting, overlong tokens, too many cells, rows or entries, any
// document type definition (entity expansion: a document type is refused as
// soon as it starts, so no entity is ever declared or expanded), malformed
// XML.  Element names are read without their namespace prefix.
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
        bool dateStyle = false; // IsDateFormat(format), known from the style
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

    // The XML parser of the parts: the scanner made for them, or expat (kept
    // to compare with; a part in another encoding than UTF-8 is always read
    // by expat).
    enum class Parser { Scanner, Expat };
    static void SetParser(Parser parser) { s_parser = parser; }
    // Whether the sheet is parsed on a thread of its own, ahead of the rows
    // handed out (off only to compare with).
    static void SetReadAhead(bool on) { s_readAhead = on; }

    XlsxReader();
    ~XlsxReader() override;
    XlsxReader(const XlsxReader&) = delete;
    XlsxReader& operator=(const XlsxReader&) = delete;

    bool Open(const QString& fileName) override;
    bool ReadRow(QVector<QVariant>* cells) override;
    int RowNumber() const override { return m_rowNumber; }
    // The share of the sheet's XML parsed (the rows handed out lag behind
    // by the few pieces parsed ahead at most).
    double Fraction() const override;

    // The next row as stored, cells in the order of the file (a reader is
    // read by ReadRow or by ReadCells, not by both).
    bool ReadCells(QVector<Cell>* cells);
    QString SheetName() const { return m_sheetName; }

    // The value of a stored cell: text, a number, or for a number whose
    // format shows a date a QDate (a QDateTime when it has a time of day).
    QVariant Value(const Cell& cell) const;
    // Whether a number format code shows a date or a time.
    static bool IsDateFormat(const QString& code);

private:
    class Sink;
    class Part;
    class SheetSink;
    class ReadAhead;
    friend class Part;
    friend class SheetSink;
    friend class ReadAhead;

    // A row of the sheet parsed but not yet handed out.
    struct ParsedRow
    {
        int number = 0;
        QVector<Cell> cells;
        QVector<QVariant> values; // the cells' values, once AsValues() ran
        bool asValues = false;
    };

    // The next row parsed, nullptr at the end.
    ParsedRow* NextParsed();
    // Turns the row's cells into values (their texts moved, not copied).
    void AsValues(ParsedRow& row) const;

    // Notes the first refusal; it is reported (Fail) once the rows parsed
    // before it have been handed out, as a reader that parsed no further
    // would.
    void Refuse(const QString& error);
    // Reports a noted refusal now; false when there is one.
    bool Settle();
    bool Count(qint64 bytes);
    bool ReadPart(const QString& path, Sink& sink, bool* found = nullptr);
    bool ReadRelationships(const QString& path, QString* workbookPath);
    bool ReadWorkbook(const QString& workbookPath);
    bool ReadSharedStrings(const QString& path);
    bool ReadStyles(const QString& path);
    bool StartSheet();

    static Parser s_parser;
    static bool s_readAhead;

    QString m_fileName;
    QString m_refusal;
    qint64 m_unpacked = 0;
    qint64 m_remarks = 0; // characters of XML comments and processing instructions
    QString m_sheetName;
    QString m_sheetPath;
    QStringList m_strings;
    QStringList m_styleFormats;
    QVector<bool> m_styleIsDate; // IsDateFormat() of each style's format
    bool m_date1904 = false;
    Part* m_activePart = nullptr; // the part being read
    std::unique_ptr<SheetSink> m_sheetSink;
    std::unique_ptr<Part> m_sheet;
    QVector<ParsedRow> m_parsed; // parsed, not yet handed over to m_ready
    // While the sheet is parsed on a thread of its own, that thread alone
    // touches the parts, m_parsed and the refusal; its rows come over in
    // batches.
    std::unique_ptr<ReadAhead> m_ahead;
    double m_fraction = -1; // of the last batch taken
    // Rows are read as values (ReadRow): the thread turns them into values
    // as it parses them.
    std::atomic<bool> m_valuesWanted = false;
    QVector<ParsedRow> m_ready; // handed out from m_nextReady on
    qsizetype m_nextReady = 0;
    int m_rowNumber = 0;
};
