#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Reads back what the exports wrote: the cells of the first sheet of an
// .xlsx file, straight from its XML (no code shared with the writer).
struct XlsxCell
{
    QString type;   // "s" shared string, "n" number, "str"/"inlineStr" text
    QString value;  // shared strings resolved to their text
    QString format; // number format code of the cell's style, empty for General
};

// One entry of a zip archive; empty when the file or the entry is missing.
QByteArray ReadZipEntry(const QString& zipFile, const QString& entry);
// Cells by reference ("A1"); empty when the workbook cannot be read.
QMap<QString, XlsxCell> ReadXlsxCells(const QString& fileName);
