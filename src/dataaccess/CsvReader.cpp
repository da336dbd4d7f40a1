#include "CsvReader.h"

#include "GbkText.h"

#include <QStringDecoder>

namespace {

// A longer line (outside quotes or within) is no sheet a person made.
constexpr qint64 MaxRecordBytes = 4 * 1024 * 1024;

// Counts of a byte sequence read as UTF-8.
struct Utf8Count
{
    qint64 multiByte = 0; // valid sequences of two to four bytes
    qint64 invalid = 0;   // bytes that start no valid sequence
    qint64 control = 0;   // control bytes no text holds (not tab, line feed, form feed, return)
};

// The length of the valid UTF-8 sequence at `p` (2..4), 0 when there is none.
int SequenceLength(const uchar* p, const uchar* end)
{
    const uchar lead = p[0];
    int length;
    uchar low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (end - p < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return length;
}

void CountUtf8(const QByteArray& bytes, Utf8Count* count)
{
    const uchar* p = reinterpret_cast<const uchar*>(bytes.constData());
    const uchar* end = p + bytes.size();
    while (p < end) {
        const uchar c = *p;
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r') || c == 0x7F)
                ++count->control;
            ++p;
            continue;
        }
        const int length = SequenceLength(p, end);
        if (length == 0) {
            ++count->invalid;
            ++p;
        } else {
            ++count->multiByte;
            p += length;
        }
    }
}

} // namespace

bool CsvReader::Open(const QString& fileName)
{
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("无法打开文件：") + m_file.errorString());
    // UTF-8 when at least nine in ten of the non-ASCII sequences are valid
    // UTF-8: text in the GBK code page makes a valid sequence only now and
    // then by chance, while a UTF-8 file damaged in a few places stays
    // nearly all valid.  Read in blocks that end on a line break, so that no
    // sequence is cut in two.
    Utf8Count count;
    QByteArray carry;
    qint64 total = 0;
    while (!m_file.atEnd()) {
        QByteArray block = carry + m_file.read(1024 * 1024);
        const qsizetype cut = m_file.atEnd() ? block.size() : block.lastIndexOf('\n') + 1;
        carry = block.mid(cut > 0 ? cut : block.size());
        block.truncate(cut > 0 ? cut : block.size());
        total += block.size();
        CountUtf8(block, &count);
    }
    if (count.control * 100 > total)
        return Fail(NotASheetMessage());
    m_encoding = count.invalid * 9 <= count.multiByte ? Encoding::Utf8 : Encoding::Gb18030;
    // Lines end on ASCII bytes, which no multi-byte sequence holds: in a
    // file without an invalid byte no line has one.
    m_utf8Clean = count.invalid == 0;
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
    if (m_encoding == Encoding::Utf8) {
        Utf8Count count;
        if (!m_utf8Clean)
            CountUtf8(bytes, &count);
        if (count.invalid > 0) {
            m_rowProblem = QStringLiteral("含有无法识别的字节（不是有效的 UTF-8 文字）");
            // Left out, as the GB18030 reading leaves out what it cannot read.
            QStringDecoder utf8(QStringDecoder::Utf8);
            *line = utf8.decode(bytes);
            line->remove(QChar::ReplacementCharacter);
            return true;
        }
        *line = QString::fromUtf8(bytes);
    } else {
        int invalid = 0;
        *line = Gbk::Decode(bytes, &invalid);
        if (invalid > 0)
            m_rowProblem = QStringLiteral("含有无法识别的字节（不是有效的 GB18030 文字）");
    }
    return true;
}

bool CsvReader::ReadRow(QVector<QVariant>* cells)
{
    QString line, ending;
    m_rowProblem.clear();
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
        m_rowProblem.clear(); // a blank row is skipped, its bytes with it
    }
    return false;
}

double CsvReader::Fraction() const
{
    const qint64 size = m_file.size();
    return size > 0 ? double(m_file.pos()) / double(size) : -1;
}
