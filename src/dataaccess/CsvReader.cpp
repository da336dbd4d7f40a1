#include "CsvReader.h"

#include "GbkText.h"

#include <QStringDecoder>

namespace {

// A longer line (outside quotes or within) is no sheet a person made.
constexpr qint64 MaxRecordBytes = 4 * 1024 * 1024;

} // namespace

bool CsvReader::Open(const QString& fileName)
{
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("无法打开文件：") + m_file.errorString());
    // Valid UTF-8 from start to end means UTF-8; anything else is GB18030,
    // which decodes every byte sequence of the GBK code page.
    QStringDecoder utf8(QStringDecoder::Utf8);
    while (!m_file.atEnd() && !utf8.hasError())
        (void)QString(utf8.decode(m_file.read(1024 * 1024)));
    m_encoding = utf8.hasError() ? Encoding::Gb18030 : Encoding::Utf8;
    m_file.seek(0);
    if (m_file.peek(3) == QByteArray("\xEF\xBB\xBF"))
        m_file.seek(3);
    return true;
}

bool CsvReader::ReadLine(QString* line, QString* ending)
{
    if (m_file.atEnd())
        return false;
    // Unlimited: a limit here would be allocated for every line.  The file
    // itself is limited in size.
    QByteArray bytes = m_file.readLine();
    if (bytes.size() > MaxRecordBytes)
        return Fail(QStringLiteral("第 %1 行过长，文件不像是CSV表格。").arg(m_rowNumber + 1));
    ending->clear();
    while (bytes.endsWith('\n') || bytes.endsWith('\r')) {
        ending->prepend(QChar(bytes.back()));
        bytes.chop(1);
    }
    *line = m_encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : Gbk::Decode(bytes);
    return true;
}

bool CsvReader::ReadRow(QVector<QVariant>* cells)
{
    QString line, ending;
    while (ReadLine(&line, &ending)) {
        ++m_rowNumber;
        if (m_firstLine) {
            m_firstLine = false;
            if (!line.contains(',')) {
                if (line.contains('\t'))
                    m_separator = '\t';
                else if (line.contains(';'))
                    m_separator = ';';
            }
        }
        cells->clear();
        QString field;
        bool quoted = false;
        bool wasQuoted = false;
        qsizetype recordSize = line.size();
        int i = 0;
        for (;;) {
            if (i >= line.size()) {
                if (!quoted)
                    break;
                // A quoted field goes on over the line break.
                QString next;
                field += ending; // the line break is part of the field
                if (!ReadLine(&next, &ending))
                    return Fail(QStringLiteral("第 %1 行的引号没有结束。").arg(m_rowNumber));
                recordSize += next.size();
                if (recordSize > MaxRecordBytes)
                    return Fail(QStringLiteral("第 %1 行过长，文件不像是CSV表格。").arg(m_rowNumber));
                line = next;
                i = 0;
                continue;
            }
            if (quoted) {
                // Up to the next quote: the end of the field or a doubled quote.
                const qsizetype quote = line.indexOf(u'"', i);
                if (quote < 0) {
                    field += QStringView(line).mid(i);
                    i = int(line.size());
                    continue;
                }
                field += QStringView(line).mid(i, quote - i);
                i = int(quote) + 1;
                if (i < line.size() && line[i] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
                continue;
            }
            const QChar c = line[i];
            if (c == u'"' && field.isEmpty() && !wasQuoted) {
                quoted = wasQuoted = true;
                ++i;
            } else if (c == m_separator) {
                cells->append(field.isEmpty() ? QVariant() : QVariant(field));
                field.clear();
                wasQuoted = false;
                ++i;
            } else {
                // Plain text up to the next separator: once the field holds
                // a character, a quote in it is a quote.
                qsizetype end = line.indexOf(m_separator, i);
                if (end < 0)
                    end = line.size();
                field += QStringView(line).mid(i, end - i);
                i = int(end);
            }
        }
        cells->append(field.isEmpty() ? QVariant() : QVariant(field));
        while (!cells->isEmpty() && cells->last().isNull())
            cells->removeLast();
        if (!cells->isEmpty())
            return true;
    }
    return false;
}
