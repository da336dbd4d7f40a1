#include "XlsxReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <archive.h>
#include <archive_entry.h>

namespace {

constexpr qint64 MinimumBudget = 16LL * 1024 * 1024;
constexpr int ChunkSize = 64 * 1024;
constexpr int MaxColumns = 16384; // the spreadsheet's last column, XFD
// The spreadsheet's own limit on the text of one cell.
constexpr int MaxCellText = 32767;
// Parts read whole (shared strings, styles, the workbook) are held in
// memory; the sheet itself is streamed.
constexpr qint64 MaxHeldPart = 128LL * 1024 * 1024;

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

XlsxReader::XlsxReader() = default;

XlsxReader::~XlsxReader()
{
    if (m_sheetArchive)
        archive_read_free(m_sheetArchive);
}

bool XlsxReader::OpenArchive(::archive** a)
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

bool XlsxReader::Count(qint64 bytes)
{
    m_unpacked += bytes;
    const qint64 budget = qMin(m_limits.maxUnpacked, qMax(MinimumBudget, m_fileSize * m_limits.ratio));
    if (m_unpacked > budget)
        return Fail(TextOf(u"文件解压后的数据量过大（可能是恶意构造的压缩文件），已拒绝读取。"));
    return true;
}

bool XlsxReader::ReadPart(const QString& path, QByteArray* data)
{
    data->clear();
    ::archive* a = nullptr;
    if (!OpenArchive(&a))
        return false;
    bool found = false;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
        if (QString::fromUtf8(archive_entry_pathname(entry)) != path)
            continue;
        found = true;
        char buffer[ChunkSize];
        la_ssize_t n;
        while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0) {
            if (!Count(n) || (data->size() + n > MaxHeldPart &&
                              !Fail(TextOf(u"工作簿中的 %1 过大，已拒绝读取。").arg(path)))) {
                archive_read_free(a);
                data->clear();
                return false;
            }
            data->append(buffer, n);
        }
        if (n < 0)
            Fail(TextOf(u"工作簿已损坏：") + QString::fromLocal8Bit(archive_error_string(a)));
        break;
    }
    if (status == ARCHIVE_FATAL)
        Fail(TextOf(u"文件不是有效的Excel工作簿：") + QString::fromLocal8Bit(archive_error_string(a)));
    archive_read_free(a);
    if (HasError())
        return false;
    return found;
}

bool XlsxReader::CheckXml(QXmlStreamReader& xml, const QString& part)
{
    if (xml.tokenType() == QXmlStreamReader::DTD)
        return Fail(TextOf(u"工作簿含有文档类型定义（DTD），为安全起见已拒绝读取。"));
    if (xml.hasError())
        return Fail(TextOf(u"工作簿中的 %1 格式有误：%2").arg(part, xml.errorString()));
    return true;
}

bool XlsxReader::Open(const QString& fileName)
{
    m_fileName = fileName;
    m_fileSize = QFileInfo(fileName).size();
    QByteArray rootRels, workbook, workbookRels, part;
    QString workbookPath = QStringLiteral("xl/workbook.xml");
    if (ReadPart("_rels/.rels", &rootRels)) {
        QXmlStreamReader xml(rootRels);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!CheckXml(xml, "_rels/.rels"))
                return false;
            if (xml.isStartElement() && xml.name() == u"Relationship" &&
                xml.attributes().value("Type").endsWith(u"/officeDocument"))
                workbookPath = ResolveTarget("", xml.attributes().value("Target").toString());
        }
    }
    if (HasError())
        return false;
    if (!ReadPart(workbookPath, &workbook))
        return Fail(TextOf(u"文件不是Excel工作簿（缺少 %1）。").arg(workbookPath));
    const QString relsPath = workbookPath.left(workbookPath.lastIndexOf('/') + 1) + "_rels/" +
                             workbookPath.mid(workbookPath.lastIndexOf('/') + 1) + ".rels";
    if (!ReadPart(relsPath, &workbookRels))
        return Fail(TextOf(u"文件不是Excel工作簿（缺少 %1）。").arg(relsPath));
    if (!ReadWorkbook(workbook, workbookRels))
        return false;
    return StartSheet();
}

bool XlsxReader::ReadWorkbook(const QByteArray& workbook, const QByteArray& rels)
{
    QString sheetId;
    {
        QXmlStreamReader xml(workbook);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!CheckXml(xml, "workbook.xml"))
                return false;
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
    }
    if (sheetId.isEmpty())
        return Fail(TextOf(u"工作簿中没有工作表。"));

    QString stringsPath, stylesPath;
    QXmlStreamReader xml(rels);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!CheckXml(xml, "workbook.xml.rels"))
            return false;
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
    if (m_sheetPath.isEmpty())
        return Fail(TextOf(u"工作簿中找不到工作表 %1。").arg(m_sheetName));

    QByteArray data;
    if (!stringsPath.isEmpty() && ReadPart(stringsPath, &data) && !ReadSharedStrings(data))
        return false;
    if (!stylesPath.isEmpty() && ReadPart(stylesPath, &data) && !ReadStyles(data))
        return false;
    return !HasError();
}

bool XlsxReader::ReadSharedStrings(const QByteArray& data)
{
    QXmlStreamReader xml(data);
    QString current;
    bool inItem = false, inText = false;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!CheckXml(xml, "sharedStrings.xml"))
            return false;
        if (xml.isStartElement()) {
            if (xml.name() == u"si") {
                inItem = true;
                current.clear();
            } else if (xml.name() == u"rPh") {
                ++phonetic; // reading aids, not part of the text
            } else if (xml.name() == u"t") {
                inText = inItem && phonetic == 0;
            }
        } else if (xml.isCharacters() && inText) {
            current += xml.text();
        } else if (xml.isEndElement()) {
            if (xml.name() == u"t") {
                inText = false;
            } else if (xml.name() == u"rPh") {
                --phonetic;
            } else if (xml.name() == u"si") {
                m_strings << DecodeEscapes(current);
                inItem = false;
            }
        }
    }
    return true;
}

bool XlsxReader::ReadStyles(const QByteArray& data)
{
    QHash<int, QString> custom;
    QXmlStreamReader xml(data);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!CheckXml(xml, "styles.xml"))
            return false;
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
    return true;
}

bool XlsxReader::StartSheet()
{
    if (!OpenArchive(&m_sheetArchive))
        return false;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(m_sheetArchive, &entry)) == ARCHIVE_OK)
        if (QString::fromUtf8(archive_entry_pathname(entry)) == m_sheetPath)
            break;
    if (status != ARCHIVE_OK)
        return Fail(TextOf(u"工作簿中找不到工作表 %1。").arg(m_sheetName));
    m_xml.clear();
    m_xml.setNamespaceProcessing(false);
    m_sheetDrained = false;
    m_rowNumber = 0;
    // Up to the sheet's data; a sheet without any has no rows.
    while (NextToken())
        if (m_xml.isStartElement() && m_xml.name() == u"sheetData")
            return true;
    return !HasError();
}

bool XlsxReader::NextToken()
{
    if (!m_sheetArchive || HasError())
        return false;
    for (;;) {
        m_xml.readNext();
        if (!m_xml.hasError()) {
            if (!CheckXml(m_xml, m_sheetPath))
                return false;
            return m_xml.tokenType() != QXmlStreamReader::EndDocument;
        }
        if (m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_sheetDrained)
            return CheckXml(m_xml, m_sheetPath);
        char buffer[ChunkSize];
        const la_ssize_t n = archive_read_data(m_sheetArchive, buffer, sizeof buffer);
        if (n < 0)
            return Fail(TextOf(u"工作簿已损坏：") +
                        QString::fromLocal8Bit(archive_error_string(m_sheetArchive)));
        if (n == 0) {
            m_sheetDrained = true;
            continue;
        }
        if (!Count(n))
            return false;
        m_xml.addData(QByteArray(buffer, int(n)));
    }
}

QString XlsxReader::CellText()
{
    // Inside <c>: the text of <v>, or of the <t> runs of an inline string.
    QString text;
    bool collecting = false;
    int phonetic = 0;
    while (NextToken()) {
        if (m_xml.isStartElement()) {
            if (m_xml.name() == u"rPh")
                ++phonetic;
            collecting = phonetic == 0 && (m_xml.name() == u"v" || m_xml.name() == u"t");
        } else if (m_xml.isCharacters() && collecting) {
            if (text.size() + m_xml.text().size() > MaxCellText * 8) {
                // Longer than any cell can be (escapes count, hence the room).
                Fail(TextOf(u"工作表中的单元格内容过长，文件不像是电子表格。"));
                return {};
            }
            if (text.isEmpty())
                text = m_xml.text().toString();
            else
                text += m_xml.text();
        } else if (m_xml.isEndElement()) {
            if (m_xml.name() == u"c")
                break;
            if (m_xml.name() == u"rPh")
                --phonetic;
            collecting = false;
        }
    }
    return text;
}

bool XlsxReader::ReadCells(QVector<Cell>* cells)
{
    cells->clear();
    int lastRow = m_rowNumber;
    while (NextToken()) {
        if (m_xml.isEndElement() && m_xml.name() == u"sheetData")
            return false;
        if (!m_xml.isStartElement() || m_xml.name() != u"row")
            continue;
        const int r = m_xml.attributes().value("r").toInt();
        const int rowNumber = r > 0 ? r : lastRow + 1;
        int column = -1;
        while (NextToken()) {
            if (m_xml.isEndElement() && m_xml.name() == u"row")
                break;
            if (!m_xml.isStartElement() || m_xml.name() != u"c")
                continue;
            const QXmlStreamAttributes a = m_xml.attributes();
            const int fromRef = ColumnOfReference(a.value(QLatin1StringView("r")));
            column = fromRef >= 0 ? fromRef : column + 1;
            if (column >= MaxColumns)
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
        m_rowNumber = lastRow = rowNumber;
        return true;
    }
    return false;
}

bool XlsxReader::ReadRow(QVector<QVariant>* values)
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

bool XlsxReader::IsDateFormat(const QString& code)
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

QVariant XlsxReader::Value(const Cell& cell) const
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
    if (!IsDateFormat(cell.format) || number < 0 || number > 2958465)
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
