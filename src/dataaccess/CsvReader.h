#pragma once

#include "SheetReader.h"

#include <QFile>

// Reads a CSV file as a sheet of texts: fields separated by commas (or by
// tabs or semicolons when the first line has no comma), quoted fields with
// doubled quotes and line breaks inside.  The encoding is UTF-8 (with or
// without a byte-order mark) when nearly all of the file's non-ASCII byte
// sequences are valid UTF-8, GB18030 otherwise, which covers files saved in
// the GBK code page.  A row with bytes that are no text in that encoding is
// read with them left out and named by RowProblem(); one damaged byte does
// not turn a UTF-8 file into GB18030.  A file with many control bytes is no
// text at all and is refused.
class CsvReader : public SheetReader
{
public:
    enum class Encoding { Utf8, Gb18030 };

    bool Open(const QString& fileName) override;
    bool ReadRow(QVector<QVariant>* cells) override;
    int RowNumber() const override { return m_rowNumber; }
    QString RowProblem() const override { return m_rowProblem; }
    double Fraction() const override;

    Encoding DetectedEncoding() const { return m_encoding; }

private:
    // One line of the file and the line break that ended it.
    bool ReadLine(QString* line, QString* ending);

    QFile m_file;
    Encoding m_encoding = Encoding::Utf8;
    QChar m_separator = ',';
    int m_rowNumber = 0;
    bool m_firstLine = true;
    bool m_utf8Clean = false; // no byte of the file is invalid UTF-8
    QString m_rowProblem;
};
