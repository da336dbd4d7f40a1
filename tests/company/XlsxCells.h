#pragma once

#include "XlsxReader.h"

#include <QMap>
#include <QString>

// The cells of the first sheet of a workbook by reference ("A1"), as stored,
// read with the program's own reader; empty when the file cannot be read.
inline QMap<QString, XlsxReader::Cell> ReadXlsxCells(const QString& fileName)
{
    QMap<QString, XlsxReader::Cell> cells;
    XlsxReader reader;
    if (!reader.Open(fileName))
        return cells;
    QVector<XlsxReader::Cell> row;
    while (reader.ReadCells(&row)) {
        for (const XlsxReader::Cell& cell : row) {
            QString letters;
            for (int n = cell.column + 1; n > 0; n = (n - 1) / 26)
                letters.prepend(QChar('A' + (n - 1) % 26));
            cells.insert(letters + QString::number(reader.RowNumber()), cell);
        }
    }
    return cells;
}
