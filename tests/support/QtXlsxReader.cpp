#include "QtXlsxReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <archive.h>
#include <archive_entry.h>

namespace {

constexpr int ChunkSize = 64 * 1024;

QString TextOf(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// Number formats built into the spreadsheet program that show dates or times
// (a style names them by id alone).
QString BuiltInFormat(int id)
{
    static const QHash<int, QString> codes{{14, "m/d/yyyy"}, {15, "d-mmm-yy"},   {16, "d-mmm"},
                                           {17, "mmm-yy"},   {18, "h:mm AM/PM"}, {19, "h:mm:ss AM/PM"},
                                           {20, "h:mm"},     {21, "h:mm:ss"},    {22, "m/d/yyyy h:mm"},
                                           {45, "mm:ss"},    {46, "[h]:mm:ss"},  {47, "mm:ss.0"}};
    if (codes.contains(id))
        return codes.value(id);
    // The East Asian built-in date formats.
    if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    return {};
}

// "_x000D_" and the like stand for characters XML cannot carry.
QString DecodeEscapes(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// "BC12" -> 54 (from 0); -1 when the reference has no column letters.
int ColumnOfReference(QStringView ref)
{
    int column = 0;
    int letters = 0;
    for (const QChar c : ref) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            column = column * 26 + (u - 'A' + 1);
        else if (u >= 'a' && u <= 'z')
            column = column * 26 + (u - 'a' + 1);
        else
            break;
        if (++letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : column - 1;
}

// The type letter of a cell ("n" when it has none).  The usual ones are
// shared texts, not a new string for every cell.
QString CellType(const QXmlStreamAttributes& attributes)
{
    static const QString known[] = {QStringLiteral("n"),         QStringLiteral("s"), QStringLiteral("str"),
                                    QStringLiteral("inlineStr"), QStringLiteral("b"), QStringLiteral("e"),
                                    QStringLiteral("d")};
    if (!attributes.hasAttribute(QLatin1StringView("t")))
        return known[0];
    const QStringView type = attributes.value(QLatin1StringView("t"));
    for (const QString& k : known)
        if (type == k)
            return k;
    return type.toString();
}

QStringView AttributeByLocalName(const QXmlStreamAttributes& attributes, QStringView name)
{
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == name)
            return a.value();
    return {};
}

// A part named by a relationship target, relative to the folder of `base`.
QString ResolveTarget(const QString& base, const QString& target)
{
    if (target.startsWith('/'))
        return target.mid(1);
    QString folder = base.left(base.lastIndexOf('/') + 1);
    QString rest = target;
    while (rest.startsWith(QLatin1String("../"))) {
        rest = rest.mid(3);
        folder.chop(1);
        folder = folder.left(folder.lastIndexOf('/') + 1);
    }
    return folder + rest;
}

} // namespace

QtXlsxReader::QtXlsxReader() = default;
QtXlsxReader::~QtXlsxReader() = default;

QtXlsxReader::XmlPart::~XmlPart()
{
    Close();
}

void QtXlsxReader::XmlPart::Close()
{
    if (archive)
        archive_read_free(archive);
    archive = nullptr;
}

bool QtXlsxReader::OpenArchive(::archive** a)
{
    *a = archive_read_new();
    // The seekable reader takes the entries from the central directory, so
    // skipping an entry does not unpack it.
    archive_read_support_format_zip_seekable(*a);
    if (archive_read_open_filename(*a, QFile::encodeName(m_fileName).constData(), ChunkSize) != ARCHIVE_OK) {
        const QString reason = QString::fromLocal8Bit(archive_error_string(*a));
        archive_read_free(*a);
        *a = nullptr;
        return Fail(TextOf(u"文件不是有效的Excel工作簿：") + reason);
    }
    return true;
}

bool QtXlsxReader::Count(qint64 bytes)
{
    m_unpacked += bytes;
    if (m_unpacked > MaxUnpacked)
        return Fail(TextOf(u"文件解压后的数据量过大（超过 %1 MB，可能是恶意构造的压缩文件），已拒绝读取。")
                        .arg(MaxUnpacked / (1024 * 1024)));
    return true;
}

bool QtXlsxReader::OpenPart(XmlPart* part, const QString& path)
{
    part->Close();
    part->path = path;
    part->xml.clear();
    part->xml.setNamespaceProcessing(false);
    part->drained = false;
    part->depth = 0;
    part->pending = 0;
    if (!OpenArchive(&part->archive))
        return false;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(part->archive, &entry)) == ARCHIVE_OK) {
        // The size the zip gives is checked before a byte is unpacked (an
        // entry passed over may be unpacked to find its end, so every entry
        // is); the bytes themselves are counted as they come, whatever it
        // said.
        const qint64 size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (size > MaxUnpacked)
            return Count(size);
        if (QString::fromUtf8(archive_entry_pathname(entry)) != path)
            continue;
        if (size > MaxUnpacked - m_unpacked)
            return Count(size);
        return true;
    }
    if (status == ARCHIVE_FATAL)
        Fail(TextOf(u"文件不是有效的Excel工作簿：") +
             QString::fromLocal8Bit(archive_error_string(part->archive)));
    part->Close();
    return false;
}

bool QtXlsxReader::NextToken(XmlPart& part)
{
    if (!part.archive || HasError())
        return false;
    QXmlStreamReader& xml = part.xml;
    for (;;) {
        xml.readNext();
        if (!xml.hasError()) {
            part.pending = 0;
            switch (xml.tokenType()) {
            case QXmlStreamReader::DTD:
                return Fail(TextOf(u"工作簿含有文档类型定义（DTD），为安全起见已拒绝读取。"));
            case QXmlStreamReader::StartElement:
                if (++part.depth > MaxDepth)
                    return Fail(TextOf(u"工作簿中的 XML 嵌套超过 %1 层，已拒绝读取。").arg(MaxDepth));
                break;
            case QXmlStreamReader::EndElement:
                --part.depth;
                break;
            case QXmlStreamReader::EndDocument:
                return false;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                // The parser is slow on long comments fed in pieces, and no
                // spreadsheet program writes them: a little is let through.
                m_remarks += xml.text().size() + xml.processingInstructionData().size();
                if (m_remarks > MaxToken)
                    return Fail(
                        TextOf(u"工作簿中的 XML 注释超过 %1 MB，已拒绝读取。").arg(MaxToken / (1024 * 1024)));
                break;
            default:
                break;
            }
            return true;
        }
        if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || part.drained)
            return Fail(TextOf(u"工作簿中的 %1 格式有误：%2").arg(part.path, xml.errorString()));
        // The reader holds a token until it is complete: fed a megabyte
        // without one, the token is longer than any a workbook has.
        if (part.pending > MaxToken)
            return Fail(
                TextOf(u"工作簿中的一段 XML 文本超过 %1 MB，已拒绝读取。").arg(MaxToken / (1024 * 1024)));
        // While a token is incomplete the parser looks at it again with each
        // piece: the pieces grow with it, so that it is looked at a few
        // times, not once for every 64 KB.
        // Never much past the bound, so that a token over it is refused
        // before it is complete.
        const qint64 wanted = qMax<qint64>(ChunkSize, qMin(part.pending, MaxToken - part.pending));
        QByteArray feed;
        while (feed.size() < wanted) {
            char buffer[ChunkSize];
            const la_ssize_t n = archive_read_data(part.archive, buffer, sizeof buffer);
            if (n < 0)
                return Fail(TextOf(u"工作簿已损坏：") +
                            QString::fromLocal8Bit(archive_error_string(part.archive)));
            if (n == 0) {
                part.drained = true;
                break;
            }
            if (!Count(n))
                return false;
            feed.append(buffer, n);
        }
        part.pending += feed.size();
        xml.addData(feed);
    }
}

bool QtXlsxReader::Open(const QString& fileName)
{
    m_fileName = fileName;
    m_unpacked = 0;
    m_remarks = 0;
    QString workbookPath = QStringLiteral("xl/workbook.xml");
    if (!ReadRelationships("_rels/.rels", &workbookPath))
        return false;
    return ReadWorkbook(workbookPath) && StartSheet();
}

bool QtXlsxReader::ReadRelationships(const QString& path, QString* workbookPath)
{
    XmlPart part;
    if (!OpenPart(&part, path))
        return !HasError();
    while (NextToken(part)) {
        const QXmlStreamReader& xml = part.xml;
        if (xml.isStartElement() && xml.name() == u"Relationship" &&
            xml.attributes().value("Type").endsWith(u"/officeDocument"))
            *workbookPath = ResolveTarget("", xml.attributes().value("Target").toString());
    }
    return !HasError();
}

bool QtXlsxReader::ReadWorkbook(const QString& workbookPath)
{
    QString sheetId;
    {
        XmlPart part;
        if (!OpenPart(&part, workbookPath))
            return HasError() ? false : Fail(TextOf(u"文件不是Excel工作簿（缺少 %1）。").arg(workbookPath));
        const QXmlStreamReader& xml = part.xml;
        while (NextToken(part)) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"workbookPr") {
                const QStringView v = xml.attributes().value("date1904");
                m_date1904 = v == u"1" || v == u"true";
            } else if (xml.name() == u"sheet" && sheetId.isEmpty()) {
                m_sheetName = xml.attributes().value("name").toString();
                sheetId = AttributeByLocalName(xml.attributes(), u"id").toString();
            }
        }
        if (HasError())
            return false;
    }
    if (sheetId.isEmpty())
        return Fail(TextOf(u"工作簿中没有工作表。"));

    const QString relsPath = workbookPath.left(workbookPath.lastIndexOf('/') + 1) + "_rels/" +
                             workbookPath.mid(workbookPath.lastIndexOf('/') + 1) + ".rels";
    QString stringsPath, stylesPath;
    {
        XmlPart part;
        if (!OpenPart(&part, relsPath))
            return HasError() ? false : Fail(TextOf(u"文件不是Excel工作簿（缺少 %1）。").arg(relsPath));
        const QXmlStreamReader& xml = part.xml;
        while (NextToken(part)) {
            if (!xml.isStartElement() || xml.name() != u"Relationship")
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            const QString target = ResolveTarget("xl/workbook.xml", a.value("Target").toString());
            if (a.value("Id") == sheetId)
                m_sheetPath = target;
            else if (a.value("Type").endsWith(u"/sharedStrings"))
                stringsPath = target;
            else if (a.value("Type").endsWith(u"/styles"))
                stylesPath = target;
        }
        if (HasError())
            return false;
    }
    if (m_sheetPath.isEmpty())
        return Fail(TextOf(u"工作簿中找不到工作表 %1。").arg(m_sheetName));
    if (!stringsPath.isEmpty() && !ReadSharedStrings(stringsPath))
        return false;
    if (!stylesPath.isEmpty() && !ReadStyles(stylesPath))
        return false;
    return !HasError();
}

bool QtXlsxReader::ReadSharedStrings(const QString& path)
{
    XmlPart part;
    if (!OpenPart(&part, path))
        return !HasError();
    const QXmlStreamReader& xml = part.xml;
    QString current;
    bool inItem = false, inText = false;
    int phonetic = 0;
    while (NextToken(part)) {
        if (xml.isStartElement()) {
            if (xml.name() == u"si") {
                if (m_strings.size() >= MaxEntries)
                    return Fail(
                        TextOf(u"文件中的共享字符串过多（超过 %1 个），已拒绝读取。").arg(MaxEntries));
                inItem = true;
                current.clear();
            } else if (xml.name() == u"rPh") {
                ++phonetic; // reading aids, not part of the text
            } else if (xml.name() == u"t") {
                inText = inItem && phonetic == 0;
            }
        } else if (xml.isCharacters() && inText) {
            // Escapes take up to seven characters for one.
            if (current.size() + xml.text().size() > qsizetype(MaxCellText) * 7)
                return Fail(
                    TextOf(u"文件中的共享字符串过长（超过 %1 个字符），已拒绝读取。").arg(MaxCellText));
            current += xml.text();
        } else if (xml.isEndElement()) {
            if (xml.name() == u"t") {
                inText = false;
            } else if (xml.name() == u"rPh") {
                --phonetic;
            } else if (xml.name() == u"si") {
                QString text = DecodeEscapes(current);
                if (text.size() > MaxCellText)
                    return Fail(
                        TextOf(u"文件中的共享字符串过长（超过 %1 个字符），已拒绝读取。").arg(MaxCellText));
                m_strings << text;
                inItem = false;
            }
        }
    }
    return !HasError();
}

bool QtXlsxReader::ReadStyles(const QString& path)
{
    XmlPart part;
    if (!OpenPart(&part, path))
        return !HasError();
    const QXmlStreamReader& xml = part.xml;
    QHash<int, QString> custom;
    bool inCellXfs = false;
    int entries = 0;
    while (NextToken(part)) {
        if (xml.isStartElement() && (xml.name() == u"numFmt" || xml.name() == u"xf") &&
            ++entries > MaxEntries)
            return Fail(TextOf(u"文件中的单元格样式过多（超过 %1 个），已拒绝读取。").arg(MaxEntries));
        if (xml.isStartElement() && xml.name() == u"numFmt") {
            custom.insert(xml.attributes().value("numFmtId").toInt(),
                          xml.attributes().value("formatCode").toString());
        } else if (xml.isStartElement() && xml.name() == u"cellXfs") {
            inCellXfs = true;
        } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
            inCellXfs = false;
        } else if (inCellXfs && xml.isStartElement() && xml.name() == u"xf") {
            const int id = xml.attributes().value("numFmtId").toInt();
            m_styleFormats << (custom.contains(id) ? custom.value(id) : BuiltInFormat(id));
        }
    }
    return !HasError();
}

bool QtXlsxReader::StartSheet()
{
    if (!OpenPart(&m_sheet, m_sheetPath))
        return HasError() ? false : Fail(TextOf(u"工作簿中找不到工作表 %1。").arg(m_sheetName));
    m_rowNumber = 0;
    // Up to the sheet's data; a sheet without any has no rows.
    while (NextToken(m_sheet))
        if (m_sheet.xml.isStartElement() && m_sheet.xml.name() == u"sheetData")
            return true;
    return !HasError();
}

QString QtXlsxReader::CellText()
{
    // Inside <c>: the text of <v>, or of the <t> runs of an inline string.
    const QXmlStreamReader& xml = m_sheet.xml;
    QString text;
    bool collecting = false;
    int phonetic = 0;
    while (NextToken(m_sheet)) {
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh")
                ++phonetic;
            collecting = phonetic == 0 && (xml.name() == u"v" || xml.name() == u"t");
        } else if (xml.isCharacters() && collecting) {
            if (text.size() + xml.text().size() > qsizetype(MaxCellText) * 8) {
                // Longer than any cell can be (escapes count, hence the room).
                Fail(TextOf(u"工作表中的单元格内容过长，文件不像是电子表格。"));
                return {};
            }
            if (text.isEmpty())
                text = xml.text().toString();
            else
                text += xml.text();
        } else if (xml.isEndElement()) {
            if (xml.name() == u"c")
                break;
            if (xml.name() == u"rPh")
                --phonetic;
            collecting = false;
        }
    }
    return text;
}

bool QtXlsxReader::ReadCells(QVector<Cell>* cells)
{
    cells->clear();
    const QXmlStreamReader& xml = m_sheet.xml;
    const int lastRow = m_rowNumber;
    while (NextToken(m_sheet)) {
        if (xml.isEndElement() && xml.name() == u"sheetData")
            return false;
        if (!xml.isStartElement() || xml.name() != u"row")
            continue;
        // Rows in increasing order, as the spreadsheet writes them: a row
        // repeated or out of order is no sheet a program wrote.
        const QStringView r = xml.attributes().value("r");
        bool numbered = false;
        qint64 number = r.toLongLong(&numbered);
        if (!numbered || number <= 0)
            number = qint64(lastRow) + 1;
        if (number > MaxRows)
            return Fail(TextOf(u"文件中的行过多（行号超过 %1），已拒绝读取。").arg(MaxRows));
        if (number <= lastRow)
            return Fail(TextOf(u"工作表中第 %1 行的行号重复或顺序有误，文件已损坏。").arg(number));
        const int rowNumber = int(number);
        int column = -1;
        while (NextToken(m_sheet)) {
            if (xml.isEndElement() && xml.name() == u"row")
                break;
            if (!xml.isStartElement() || xml.name() != u"c")
                continue;
            if (cells->size() >= MaxCellsPerRow)
                return Fail(TextOf(u"文件中的单元格过多（第 %1 行超过 %2 个），已拒绝读取。")
                                .arg(rowNumber)
                                .arg(MaxCellsPerRow));
            const QXmlStreamAttributes a = xml.attributes();
            const int fromRef = ColumnOfReference(a.value(QLatin1StringView("r")));
            if (fromRef >= 0 && fromRef <= column)
                return Fail(TextOf(u"工作表第 %1 行的单元格重复或顺序有误，文件已损坏。").arg(rowNumber));
            column = fromRef >= 0 ? fromRef : column + 1;
            if (column >= MaxCellsPerRow)
                return Fail(TextOf(u"工作表第 %1 行的列超出范围。").arg(rowNumber));
            Cell cell;
            cell.column = column;
            cell.type = CellType(a);
            cell.format = m_styleFormats.value(a.value(QLatin1StringView("s")).toInt());
            cell.text = CellText();
            if (cell.type == u"s") {
                bool ok = false;
                const int index = cell.text.toInt(&ok);
                if (!ok || index < 0 || index >= m_strings.size())
                    return Fail(TextOf(u"工作表第 %1 行引用了不存在的共享字符串。").arg(rowNumber));
                cell.text = m_strings.at(index);
            } else {
                cell.text = DecodeEscapes(cell.text);
            }
            cells->append(std::move(cell));
        }
        if (HasError())
            return false;
        m_rowNumber = rowNumber;
        return true;
    }
    return false;
}

bool QtXlsxReader::ReadRow(QVector<QVariant>* values)
{
    QVector<Cell>& cells = m_cells;
    while (ReadCells(&cells)) {
        values->clear();
        for (const Cell& cell : cells) {
            const QVariant value = Value(cell);
            if (value.isNull())
                continue;
            if (values->size() <= cell.column)
                values->resize(cell.column + 1);
            (*values)[cell.column] = value;
        }
        if (!values->isEmpty())
            return true;
    }
    return false;
}

bool QtXlsxReader::IsDateFormat(const QString& code)
{
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return false;
    // Quoted text, escaped characters and [colour] sections show no date.
    bool quoted = false;
    int bracket = 0;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\\') {
            ++i;
        } else if (c == '[') {
            ++bracket;
        } else if (c == ']') {
            bracket = qMax(0, bracket - 1);
        } else if (bracket == 0 && QStringLiteral("yYmMdDhHsS").contains(c)) {
            return true;
        }
    }
    return false;
}

QVariant QtXlsxReader::Value(const Cell& cell) const
{
    if (cell.type == u"s" || cell.type == u"inlineStr" || cell.type == u"str" || cell.type == u"e")
        return cell.text.isEmpty() ? QVariant() : QVariant(cell.text);
    if (cell.type == u"b")
        return QVariant(cell.text == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    if (cell.type == u"d") {
        const QDateTime dt = QDateTime::fromString(cell.text, Qt::ISODate);
        if (!dt.isValid())
            return cell.text.isEmpty() ? QVariant() : QVariant(cell.text);
        return dt.time() == QTime(0, 0) ? QVariant(dt.date()) : QVariant(dt);
    }
    if (cell.text.isEmpty())
        return {};
    bool ok = false;
    const double number = cell.text.toDouble(&ok);
    if (!ok)
        return cell.text;
    // "nan" and "inf" read as numbers: passed on as such, for the caller to
    // refuse; never taken for a day.
    if (!qIsFinite(number) || !IsDateFormat(cell.format) || number < 0 || number > 2958465)
        return number;
    // Day numbers count from 1900-01-01 as day 1, through the spreadsheet's
    // 29 February 1900 (day 60, which never was); or from 1904-01-01 as day 0.
    qint64 days = qint64(number);
    QDate base = m_date1904 ? QDate(1904, 1, 1) : (days >= 61 ? QDate(1899, 12, 30) : QDate(1899, 12, 31));
    const qint64 seconds = qRound64((number - double(days)) * 86400.0);
    const QDate date = base.addDays(days);
    if (seconds == 0)
        return date;
    return QDateTime(date, QTime(0, 0)).addSecs(seconds);
}
