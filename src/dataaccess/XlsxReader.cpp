#include "XlsxReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <archive.h>
#include <archive_entry.h>
#include <expat.h>

#include "XmlScanner.h"

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
int ColumnOfReference(const char* ref)
{
    int column = 0;
    int letters = 0;
    for (const char* p = ref; *p; ++p) {
        const char c = *p;
        if (c >= 'A' && c <= 'Z')
            column = column * 26 + (c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            column = column * 26 + (c - 'a' + 1);
        else
            break;
        if (++letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : column - 1;
}

// The value of attribute `name` (NUL-terminated pairs as expat gives them),
// nullptr when absent.
const char* Attribute(const char** attributes, const char* name)
{
    for (const char** a = attributes; *a; a += 2)
        if (std::strcmp(a[0], name) == 0)
            return a[1];
    return nullptr;
}

QString AttributeText(const char** attributes, const char* name)
{
    const char* value = Attribute(attributes, name);
    return value ? QString::fromUtf8(value) : QString();
}

// The first attribute whose name without its prefix is `name` (r:id).
const char* AttributeByLocalName(const char** attributes, const char* name)
{
    for (const char** a = attributes; *a; a += 2) {
        const char* colon = std::strrchr(a[0], ':');
        if (std::strcmp(colon ? colon + 1 : a[0], name) == 0)
            return a[1];
    }
    return nullptr;
}

// A whole number written in plain digits, as the spreadsheet writes style
// and string indexes; anything else goes through the general reading.
int IntegerOf(const char* text, bool* ok)
{
    if (text && *text && std::strlen(text) <= 9) {
        int value = 0;
        const char* p = text;
        for (; *p >= '0' && *p <= '9'; ++p)
            value = value * 10 + (*p - '0');
        if (*p == 0) {
            *ok = true;
            return value;
        }
    }
    return QString::fromUtf8(text).toInt(ok);
}

// The type letter of a cell ("n" when it has none).  The usual ones are
// shared texts, not a new string for every cell.
const QString* KnownTypes()
{
    static const QString known[] = {QStringLiteral("n"),         QStringLiteral("s"), QStringLiteral("str"),
                                    QStringLiteral("inlineStr"), QStringLiteral("b"), QStringLiteral("e"),
                                    QStringLiteral("d")};
    return known;
}

QString CellType(const char* type)
{
    static const char* const names[] = {"n", "s", "str", "inlineStr", "b", "e", "d"};
    const QString* known = KnownTypes();
    if (!type)
        return known[0];
    if (type[0] != 0 && type[1] == 0) {
        for (int i : {0, 1, 4, 5, 6})
            if (type[0] == names[i][0])
                return known[i];
    } else if (std::strcmp(type, "inlineStr") == 0) {
        return known[3];
    } else if (std::strcmp(type, "str") == 0) {
        return known[2];
    }
    return QString::fromUtf8(type);
}

// Whether a cell of the type holds text: "s", "e", "inlineStr", "str"
// (told by their letters, as this runs for every cell).
bool HoldsText(const QString& type)
{
    switch (type.size()) {
    case 1:
        return type.front() == u's' || type.front() == u'e';
    case 3:
        return type == u"str";
    case 9:
        // Mostly the shared text itself.
        return type.constData() == KnownTypes()[3].constData() || type == u"inlineStr";
    default:
        return false;
    }
}

// Whether a cell's type is the one letter `letter` ("s", "b", "e", ...).
bool TypeIs(const QString& type, char16_t letter)
{
    return type.size() == 1 && type.front() == letter;
}

// UTF-16 units of `n` bytes of valid UTF-8 (as expat hands out): one per
// character, two for those beyond the basic plane.
qsizetype Utf16Length(const char* s, int n)
{
    qsizetype units = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

// Whether `name` is `literal` (element names of the sheet, compared for
// every cell).
template <size_t N> bool NameIs(const char* name, const char (&literal)[N])
{
    for (size_t i = 0; i < N; ++i)
        if (name[i] != literal[i])
            return false;
    return true;
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

// What one part's elements mean; the part calls it for each event.  A sink
// refuses through the reader and stops its part.
class XlsxReader::Sink
{
public:
    virtual ~Sink() = default;
    virtual void Start(const char* name, const char** attributes) = 0;
    virtual void End(const char* name) = 0;
    virtual void Text(const char*, int) {}
};

namespace {

// Whether a document is in an encoding other than UTF-8 (a byte order mark
// of UTF-16, or a declaration naming another), judged by its first piece.
bool OtherEncoding(const char* data, qsizetype size)
{
    const QByteArrayView head(data, size);
    if (size >= 2 && (head[0] == 0 || head[1] == 0 || (uchar(head[0]) == 0xFE && uchar(head[1]) == 0xFF) ||
                      (uchar(head[0]) == 0xFF && uchar(head[1]) == 0xFE)))
        return true;
    const QByteArrayView text = head.startsWith("\xEF\xBB\xBF") ? head.sliced(3) : head;
    if (!text.startsWith("<?xml"))
        return false;
    const qsizetype close = text.indexOf("?>");
    const QByteArrayView declaration = text.first(close < 0 ? 0 : close);
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return false;
    QByteArrayView rest = declaration.sliced(at + 8).trimmed();
    if (!rest.startsWith('='))
        return false;
    rest = rest.sliced(1).trimmed();
    if (rest.isEmpty())
        return false;
    const qsizetype end = rest.indexOf(rest.front(), 1);
    const QByteArray name = rest.sliced(1, end < 0 ? rest.size() - 1 : end - 1).toByteArray().toLower();
    return name != "utf-8";
}

} // namespace

XlsxReader::Parser XlsxReader::s_parser = XlsxReader::Parser::Scanner;
bool XlsxReader::s_readAhead = true;

// One part of the zip read 64 KB of unpacked data at a time, through the
// scanner (expat for a part in another encoding than UTF-8, or when chosen
// for comparison).  The bounds that the events cannot see are kept here:
// unpacked bytes, nesting, the length of one token, comments, and no
// document type.  Elements reach the sink by their names without prefix.
class XlsxReader::Part : public XmlScanner::Handler
{
public:
    Part(XlsxReader& reader, Sink& sink) : m_reader(reader), m_sink(sink) {}
    ~Part() override
    {
        if (m_reader.m_activePart == this)
            m_reader.m_activePart = nullptr;
        if (m_parser)
            XML_ParserFree(m_parser);
        if (m_archive)
            archive_read_free(m_archive);
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    // Positions the part at the start of the zip entry `path`: false when
    // there is none (a refusal noted only when the zip is at fault).
    bool Open(const QString& path);
    // Parses the next piece of the part; false once it has ended (the root
    // element closed, or Finish() called) or was refused.
    bool Feed();
    // Ends the part (from a handler: nothing after this event is read, as
    // nothing after the root element is).
    void Finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        if (m_scanner)
            m_scanner->Stop();
        if (m_parsing && m_parser)
            XML_StopParser(m_parser, XML_FALSE);
    }
    void Refuse(const QString& error) { m_reader.Refuse(error); }
    bool Finished() const { return m_finished; }
    double Fraction() const { return m_size > 0 ? qMin(1.0, double(m_fed) / double(m_size)) : -1; }

private:
    // The events, from either parser.
    void StartElement(const char* name, const char** attributes) override
    {
        if (++m_depth > MaxDepth)
            return Refuse(TextOf(u"工作簿中的 XML 嵌套超过 %1 层，已拒绝读取。").arg(MaxDepth));
        m_sink.Start(name, attributes);
    }
    void EndElement(const char* name) override
    {
        m_sink.End(name);
        if (--m_depth == 0 && !m_finished)
            Finish();
    }
    void Characters(const char* text, int length) override { m_sink.Text(text, length); }
    void Remark(qsizetype length) override
    {
        // No spreadsheet program writes comments: a little is let through.
        m_reader.m_remarks += length;
        if (m_reader.m_remarks > MaxToken)
            Refuse(TextOf(u"工作簿中的 XML 注释超过 %1 MB，已拒绝读取。").arg(MaxToken / (1024 * 1024)));
    }
    void DocumentType() override
    {
        // Refused where it starts: no entity of it is ever declared or
        // expanded.
        Refuse(TextOf(u"工作簿含有文档类型定义（DTD），为安全起见已拒绝读取。"));
    }

    static const char* LocalName(const char* name)
    {
        const char* colon = std::strrchr(name, ':');
        return colon ? colon + 1 : name;
    }
    static void OnStart(void* data, const XML_Char* name, const XML_Char** attributes)
    {
        auto* part = static_cast<Part*>(data);
        part->Event();
        part->StartElement(LocalName(name), attributes);
    }
    static void OnEnd(void* data, const XML_Char* name)
    {
        auto* part = static_cast<Part*>(data);
        part->Event();
        part->EndElement(LocalName(name));
    }
    static void OnText(void* data, const XML_Char* text, int length)
    {
        auto* part = static_cast<Part*>(data);
        part->Event();
        part->Characters(text, length);
    }
    static void OnComment(void* data, const XML_Char* text)
    {
        auto* part = static_cast<Part*>(data);
        part->Event();
        part->Remark(Utf16Length(text, int(std::strlen(text))));
    }
    static void OnInstruction(void* data, const XML_Char*, const XML_Char* text)
    {
        auto* part = static_cast<Part*>(data);
        part->Event();
        part->Remark(text ? Utf16Length(text, int(std::strlen(text))) : 0);
    }
    static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        static_cast<Part*>(data)->DocumentType();
    }
    static void OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                         const XML_Char*, const XML_Char*, const XML_Char*)
    {
        static_cast<Part*>(data)->DocumentType();
    }
    // Where the event began, in bytes of the part: the bytes fed past it
    // belong to a token not yet complete.
    void Event() { m_lastEvent = XML_GetCurrentByteIndex(m_parser); }

    bool StartExpat();
    // The next piece of the entry into `buffer`: its size, -1 when refused.
    la_ssize_t Unpack(void* buffer);

    XlsxReader& m_reader;
    Sink& m_sink;
    ::archive* m_archive = nullptr;
    bool m_opened = false;
    std::unique_ptr<XmlScanner> m_scanner;
    XML_Parser m_parser = nullptr;
    QString m_path;
    qint64 m_fed = 0;
    qint64 m_size = 0; // as the zip gives it, 0 when it gives none
    qint64 m_lastEvent = 0;
    int m_depth = 0;
    bool m_finished = false;
    bool m_parsing = false;
};

bool XlsxReader::Part::Open(const QString& path)
{
    m_path = path;
    m_archive = archive_read_new();
    // The seekable reader takes the entries from the central directory, so
    // skipping an entry does not unpack it.
    archive_read_support_format_zip_seekable(m_archive);
    if (archive_read_open_filename(m_archive, QFile::encodeName(m_reader.m_fileName).constData(),
                                   ChunkSize) != ARCHIVE_OK) {
        m_reader.Refuse(TextOf(u"文件不是有效的Excel工作簿：") +
                        QString::fromLocal8Bit(archive_error_string(m_archive)));
        return false;
    }
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(m_archive, &entry)) == ARCHIVE_OK) {
        // The size the zip gives is checked before a byte is unpacked (an
        // entry passed over may be unpacked to find its end, so every entry
        // is); the bytes themselves are counted as they come, whatever it
        // said.
        const qint64 size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (size > MaxUnpacked)
            return m_reader.Count(size);
        if (QString::fromUtf8(archive_entry_pathname(entry)) != path)
            continue;
        if (size > MaxUnpacked - m_reader.m_unpacked)
            return m_reader.Count(size);
        m_size = size;
        m_opened = true;
        m_reader.m_activePart = this;
        return true;
    }
    if (status == ARCHIVE_FATAL)
        m_reader.Refuse(TextOf(u"文件不是有效的Excel工作簿：") +
                        QString::fromLocal8Bit(archive_error_string(m_archive)));
    return false;
}

bool XlsxReader::Part::StartExpat()
{
    m_parser = XML_ParserCreate(nullptr);
    if (!m_parser) {
        m_reader.Refuse(TextOf(u"内存不足，无法读取工作簿。"));
        return false;
    }
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(m_parser, OnText);
    XML_SetCommentHandler(m_parser, OnComment);
    XML_SetProcessingInstructionHandler(m_parser, OnInstruction);
    XML_SetStartDoctypeDeclHandler(m_parser, OnDoctype);
    XML_SetEntityDeclHandler(m_parser, OnEntity);
    XML_SetParamEntityParsing(m_parser, XML_PARAM_ENTITY_PARSING_NEVER);
    return true;
}

la_ssize_t XlsxReader::Part::Unpack(void* buffer)
{
    const la_ssize_t n = archive_read_data(m_archive, buffer, ChunkSize);
    if (n < 0) {
        m_reader.Refuse(TextOf(u"工作簿已损坏：") + QString::fromLocal8Bit(archive_error_string(m_archive)));
        return -1;
    }
    if (n > 0 && !m_reader.Count(n))
        return -1;
    m_fed += n;
    return n;
}

bool XlsxReader::Part::Feed()
{
    if (m_finished || !m_opened || !m_reader.m_refusal.isEmpty())
        return false;
    la_ssize_t n;
    if (!m_scanner && !m_parser) {
        // The first piece chooses the parser.
        QByteArray first(ChunkSize, Qt::Uninitialized);
        if ((n = Unpack(first.data())) < 0)
            return false;
        if (s_parser == Parser::Expat || OtherEncoding(first.constData(), n)) {
            if (!StartExpat())
                return false;
            std::memcpy(XML_GetBuffer(m_parser, ChunkSize), first.constData(), size_t(n));
        } else {
            m_scanner = std::make_unique<XmlScanner>(*this);
            std::memcpy(m_scanner->Room(ChunkSize), first.constData(), size_t(n));
        }
    } else {
        void* buffer = m_scanner ? m_scanner->Room(ChunkSize) : XML_GetBuffer(m_parser, ChunkSize);
        if (!buffer) {
            m_reader.Refuse(TextOf(u"内存不足，无法读取工作簿。"));
            return false;
        }
        if ((n = Unpack(buffer)) < 0)
            return false;
    }
    QString malformed;
    m_parsing = true;
    if (m_scanner) {
        m_scanner->Scan(n, n == 0);
        m_lastEvent = m_scanner->EventOffset();
        if (m_scanner->Failed())
            malformed = QString::fromUtf8(m_scanner->Error());
    } else if (XML_ParseBuffer(m_parser, int(n), n == 0) == XML_STATUS_ERROR) {
        malformed = QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(m_parser)));
    }
    m_parsing = false;
    // A stop from a handler has said why (or ended the part early).
    if (!malformed.isEmpty() && !m_finished)
        m_reader.Refuse(TextOf(u"工作簿中的 %1 格式有误：%2").arg(m_path, malformed));
    if (!malformed.isEmpty())
        m_finished = true;
    if (m_finished)
        return false;
    if (n == 0) {
        m_finished = true;
        return false;
    }
    // The parser holds a token until it is complete: fed a megabyte past
    // the last event, the token is longer than any a workbook has.
    if (m_fed - m_lastEvent > MaxToken) {
        Refuse(TextOf(u"工作簿中的一段 XML 文本超过 %1 MB，已拒绝读取。").arg(MaxToken / (1024 * 1024)));
        return false;
    }
    return !m_finished;
}

// The sheet parsed on a thread of its own while the rows parsed before are
// handed out: the unpacking and the XML beside whatever the caller does
// with the rows.  At most a few pieces are parsed ahead (memory stays flat);
// a refusal ends the last batch, after the rows parsed before it.
class XlsxReader::ReadAhead
{
public:
    struct Batch
    {
        QVector<ParsedRow> rows;
        double fraction = -1;
        bool last = false; // the sheet ended or was refused
    };

    explicit ReadAhead(XlsxReader& reader) : m_reader(reader), m_thread([this] { Run(); }) {}
    ~ReadAhead()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_room.notify_all();
        m_thread.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Rows handed out, for the thread to free: what it allocated is freed
    // where it was allocated, not across threads.
    void Return(QVector<ParsedRow>&& rows)
    {
        std::lock_guard lock(m_mutex);
        m_spent.push_back(std::move(rows));
    }

    // The next batch, once there is one.
    Batch Take()
    {
        std::unique_lock lock(m_mutex);
        m_filled.wait(lock, [this] { return !m_batches.empty(); });
        Batch batch = std::move(m_batches.front());
        m_batches.pop_front();
        lock.unlock();
        m_room.notify_one();
        return batch;
    }

private:
    static constexpr size_t MaxBatches = 16; // pieces of 64 KB

    void Run()
    {
        while (!m_stop) {
            {
                std::vector<QVector<ParsedRow>> spent;
                {
                    std::lock_guard lock(m_mutex);
                    spent.swap(m_spent);
                }
            }
            const bool going = m_reader.m_sheet->Feed();
            if (going && m_reader.m_parsed.isEmpty())
                continue;
            Batch batch;
            batch.rows = std::move(m_reader.m_parsed);
            m_reader.m_parsed = {};
            // The values too, when they are what is read.
            if (m_reader.m_valuesWanted)
                for (ParsedRow& row : batch.rows)
                    m_reader.AsValues(row);
            batch.fraction = m_reader.m_sheet->Fraction();
            batch.last = !going;
            {
                std::unique_lock lock(m_mutex);
                m_room.wait(lock, [this] { return m_stop || m_batches.size() < MaxBatches; });
                if (m_stop)
                    return;
                m_batches.push_back(std::move(batch));
            }
            m_filled.notify_one();
            if (!going)
                return;
        }
    }

    XlsxReader& m_reader;
    std::mutex m_mutex;
    std::condition_variable m_filled, m_room;
    std::deque<Batch> m_batches;
    std::vector<QVector<ParsedRow>> m_spent;
    std::atomic<bool> m_stop = false;
    std::thread m_thread; // last: started once the rest is built
};

XlsxReader::XlsxReader() = default;

XlsxReader::~XlsxReader()
{
    // The thread uses the sheet's part: it ends first.
    m_ahead.reset();
}

void XlsxReader::Refuse(const QString& error)
{
    if (m_refusal.isEmpty())
        m_refusal = error;
    // Nothing of the part after the event that broke a bound is read.
    if (m_activePart)
        m_activePart->Finish();
}

bool XlsxReader::Settle()
{
    return m_refusal.isEmpty() || Fail(m_refusal);
}

bool XlsxReader::Count(qint64 bytes)
{
    m_unpacked += bytes;
    if (m_unpacked > MaxUnpacked) {
        Refuse(TextOf(u"文件解压后的数据量过大（超过 %1 MB，可能是恶意构造的压缩文件），已拒绝读取。")
                   .arg(MaxUnpacked / (1024 * 1024)));
        return false;
    }
    return true;
}

bool XlsxReader::ReadPart(const QString& path, Sink& sink, bool* found)
{
    Part part(*this, sink);
    const bool opened = part.Open(path);
    if (found)
        *found = opened;
    while (opened && part.Feed()) {
    }
    return Settle();
}

bool XlsxReader::Open(const QString& fileName)
{
    m_fileName = fileName;
    m_unpacked = 0;
    m_remarks = 0;
    QString workbookPath = QStringLiteral("xl/workbook.xml");
    if (!ReadRelationships("_rels/.rels", &workbookPath))
        return false;
    return ReadWorkbook(workbookPath) && StartSheet();
}

bool XlsxReader::ReadRelationships(const QString& path, QString* workbookPath)
{
    struct : Sink
    {
        QString* workbookPath;
        void Start(const char* name, const char** a) override
        {
            if (std::strcmp(name, "Relationship") != 0)
                return;
            const char* type = Attribute(a, "Type");
            if (type && QByteArrayView(type).endsWith("/officeDocument"))
                *workbookPath = ResolveTarget("", AttributeText(a, "Target"));
        }
        void End(const char*) override {}
    } sink;
    sink.workbookPath = workbookPath;
    return ReadPart(path, sink);
}

bool XlsxReader::ReadWorkbook(const QString& workbookPath)
{
    struct : Sink
    {
        XlsxReader* reader;
        QString sheetId;
        void Start(const char* name, const char** a) override
        {
            if (std::strcmp(name, "workbookPr") == 0) {
                const char* v = Attribute(a, "date1904");
                reader->m_date1904 = v && (std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0);
            } else if (std::strcmp(name, "sheet") == 0 && sheetId.isEmpty()) {
                reader->m_sheetName = AttributeText(a, "name");
                const char* id = AttributeByLocalName(a, "id");
                sheetId = id ? QString::fromUtf8(id) : QString();
            }
        }
        void End(const char*) override {}
    } book;
    book.reader = this;
    bool found = false;
    if (!ReadPart(workbookPath, book, &found))
        return false;
    if (!found)
        return Fail(TextOf(u"文件不是Excel工作簿（缺少 %1）。").arg(workbookPath));
    if (book.sheetId.isEmpty())
        return Fail(TextOf(u"工作簿中没有工作表。"));

    const QString relsPath = workbookPath.left(workbookPath.lastIndexOf('/') + 1) + "_rels/" +
                             workbookPath.mid(workbookPath.lastIndexOf('/') + 1) + ".rels";
    struct : Sink
    {
        QString sheetId, sheetPath, stringsPath, stylesPath;
        void Start(const char* name, const char** a) override
        {
            if (std::strcmp(name, "Relationship") != 0)
                return;
            const QString target = ResolveTarget("xl/workbook.xml", AttributeText(a, "Target"));
            const char* type = Attribute(a, "Type");
            const QByteArrayView typeView = type ? QByteArrayView(type) : QByteArrayView();
            if (AttributeText(a, "Id") == sheetId)
                sheetPath = target;
            else if (typeView.endsWith("/sharedStrings"))
                stringsPath = target;
            else if (typeView.endsWith("/styles"))
                stylesPath = target;
        }
        void End(const char*) override {}
    } rels;
    rels.sheetId = book.sheetId;
    if (!ReadPart(relsPath, rels, &found))
        return false;
    if (!found)
        return Fail(TextOf(u"文件不是Excel工作簿（缺少 %1）。").arg(relsPath));
    m_sheetPath = rels.sheetPath;
    if (m_sheetPath.isEmpty())
        return Fail(TextOf(u"工作簿中找不到工作表 %1。").arg(m_sheetName));
    if (!rels.stringsPath.isEmpty() && !ReadSharedStrings(rels.stringsPath))
        return false;
    if (!rels.stylesPath.isEmpty() && !ReadStyles(rels.stylesPath))
        return false;
    return !HasError();
}

bool XlsxReader::ReadSharedStrings(const QString& path)
{
    struct : Sink
    {
        XlsxReader* reader;
        QString current;
        bool inItem = false, inText = false;
        int phonetic = 0;
        void Start(const char* name, const char**) override
        {
            if (std::strcmp(name, "si") == 0) {
                if (reader->m_strings.size() >= MaxEntries)
                    return Refuse(
                        TextOf(u"文件中的共享字符串过多（超过 %1 个），已拒绝读取。").arg(MaxEntries));
                inItem = true;
                current.clear();
            } else if (std::strcmp(name, "rPh") == 0) {
                ++phonetic; // reading aids, not part of the text
            } else if (std::strcmp(name, "t") == 0) {
                inText = inItem && phonetic == 0;
            }
        }
        void Text(const char* text, int length) override
        {
            if (!inText)
                return;
            // Escapes take up to seven characters for one.
            if (current.size() + Utf16Length(text, length) > qsizetype(MaxCellText) * 7)
                return Refuse(
                    TextOf(u"文件中的共享字符串过长（超过 %1 个字符），已拒绝读取。").arg(MaxCellText));
            current += QString::fromUtf8(text, length);
        }
        void End(const char* name) override
        {
            if (std::strcmp(name, "t") == 0) {
                inText = false;
            } else if (std::strcmp(name, "rPh") == 0) {
                --phonetic;
            } else if (std::strcmp(name, "si") == 0) {
                QString text = DecodeEscapes(current);
                if (text.size() > MaxCellText)
                    return Refuse(
                        TextOf(u"文件中的共享字符串过长（超过 %1 个字符），已拒绝读取。").arg(MaxCellText));
                reader->m_strings << text;
                inItem = false;
            }
        }
        void Refuse(const QString& error)
        {
            reader->Refuse(error);
            inItem = inText = false;
        }
    } sink;
    sink.reader = this;
    return ReadPart(path, sink);
}

bool XlsxReader::ReadStyles(const QString& path)
{
    struct : Sink
    {
        XlsxReader* reader;
        QHash<int, QString> custom;
        bool inCellXfs = false;
        int entries = 0;
        void Start(const char* name, const char** a) override
        {
            const bool numFmt = std::strcmp(name, "numFmt") == 0;
            const bool xf = std::strcmp(name, "xf") == 0;
            if ((numFmt || xf) && ++entries > MaxEntries) {
                reader->Refuse(TextOf(u"文件中的单元格样式过多（超过 %1 个），已拒绝读取。").arg(MaxEntries));
                inCellXfs = false;
                return;
            }
            if (numFmt) {
                custom.insert(AttributeText(a, "numFmtId").toInt(), AttributeText(a, "formatCode"));
            } else if (std::strcmp(name, "cellXfs") == 0) {
                inCellXfs = true;
            } else if (inCellXfs && xf) {
                const int id = AttributeText(a, "numFmtId").toInt();
                reader->m_styleFormats << (custom.contains(id) ? custom.value(id) : BuiltInFormat(id));
                reader->m_styleIsDate << IsDateFormat(reader->m_styleFormats.constLast());
            }
        }
        void End(const char* name) override
        {
            if (std::strcmp(name, "cellXfs") == 0)
                inCellXfs = false;
        }
    } sink;
    sink.reader = this;
    return ReadPart(path, sink);
}
// The sheet: its rows as they complete, each checked as it comes (rows in
// increasing order, cells in order and within the last column, texts
// within their length, shared strings that exist).
class XlsxReader::SheetSink : public XlsxReader::Sink
{
public:
    explicit SheetSink(XlsxReader& reader) : m_reader(reader) {}

    // Up to the sheet's data; a sheet without any has no rows.
    bool InData() const { return m_state != State::Before; }

    void Start(const char* name, const char** a) override
    {
        switch (m_state) {
        case State::Before:
            if (std::strcmp(name, "sheetData") == 0)
                m_state = State::Data;
            return;
        case State::Data:
            if (NameIs(name, "row"))
                StartRow(a);
            return;
        case State::Row:
            if (NameIs(name, "c"))
                StartCell(a);
            return;
        case State::Cell:
            // Inside <c>: the text of <v>, or of the <t> runs of an inline
            // string, never of its reading aids.
            if (NameIs(name, "rPh"))
                ++m_phonetic;
            m_collecting = m_phonetic == 0 && (NameIs(name, "v") || NameIs(name, "t"));
            return;
        case State::Done:
            return;
        }
    }

    void End(const char* name) override
    {
        switch (m_state) {
        case State::Before:
            return;
        case State::Data:
            if (std::strcmp(name, "sheetData") == 0) {
                m_state = State::Done;
                m_reader.m_sheet->Finish();
            }
            return;
        case State::Row:
            if (NameIs(name, "row"))
                EndRow();
            return;
        case State::Cell:
            if (NameIs(name, "c"))
                return EndCell();
            if (NameIs(name, "rPh"))
                --m_phonetic;
            m_collecting = false;
            return;
        case State::Done:
            return;
        }
    }

    void Text(const char* text, int length) override
    {
        if (m_state != State::Cell || !m_collecting)
            return;
        m_text.append(text, size_t(length));
        // Longer than any cell can be (escapes count, hence the room).  A
        // character takes a byte at least: they are counted only once the
        // bytes are beyond the bound.
        if (qsizetype(m_text.size()) > qsizetype(MaxCellText) * 8) {
            m_textLength += Utf16Length(m_text.data() + m_counted, int(qsizetype(m_text.size()) - m_counted));
            m_counted = qsizetype(m_text.size());
            if (m_textLength > qsizetype(MaxCellText) * 8)
                return Refuse(TextOf(u"工作表中的单元格内容过长，文件不像是电子表格。"));
        }
    }

private:
    enum class State { Before, Data, Row, Cell, Done };

    void Refuse(const QString& error)
    {
        m_reader.Refuse(error);
        m_state = State::Done;
    }

    void StartRow(const char** a)
    {
        // Rows in increasing order, as the spreadsheet writes them: a row
        // repeated or out of order is no sheet a program wrote.
        const char* r = Attribute(a, "r");
        bool numbered = false;
        qint64 number = r ? QByteArrayView(r).toLongLong(&numbered) : 0;
        if (!numbered || number <= 0)
            number = qint64(m_lastRow) + 1;
        if (number > MaxRows)
            return Refuse(TextOf(u"文件中的行过多（行号超过 %1），已拒绝读取。").arg(MaxRows));
        if (number <= m_lastRow)
            return Refuse(TextOf(u"工作表中第 %1 行的行号重复或顺序有误，文件已损坏。").arg(number));
        m_row.number = int(number);
        m_row.cells.clear();
        // Rows are alike: room for as many cells as the last one had.
        m_row.cells.reserve(m_lastRowCells);
        m_column = -1;
        m_state = State::Row;
    }

    void EndRow()
    {
        m_lastRow = m_row.number;
        m_lastRowCells = m_row.cells.size();
        m_reader.m_parsed.append(std::move(m_row));
        m_row = {};
        m_state = State::Data;
    }

    void StartCell(const char** a)
    {
        const int rowNumber = m_row.number;
        if (m_row.cells.size() >= MaxCellsPerRow)
            return Refuse(TextOf(u"文件中的单元格过多（第 %1 行超过 %2 个），已拒绝读取。")
                              .arg(rowNumber)
                              .arg(MaxCellsPerRow));
        // The attributes in one pass: this runs for every cell of the sheet.
        const char *ref = nullptr, *type = nullptr, *style = nullptr;
        for (const char** at = a; *at; at += 2) {
            const char* name = at[0];
            if (name[0] == 0 || name[1] != 0)
                continue;
            if (name[0] == 'r' && !ref)
                ref = at[1];
            else if (name[0] == 't' && !type)
                type = at[1];
            else if (name[0] == 's' && !style)
                style = at[1];
        }
        const int fromRef = ref ? ColumnOfReference(ref) : -1;
        if (fromRef >= 0 && fromRef <= m_column)
            return Refuse(TextOf(u"工作表第 %1 行的单元格重复或顺序有误，文件已损坏。").arg(rowNumber));
        m_column = fromRef >= 0 ? fromRef : m_column + 1;
        if (m_column >= MaxCellsPerRow)
            return Refuse(TextOf(u"工作表第 %1 行的列超出范围。").arg(rowNumber));
        m_cell.column = m_column;
        m_cell.type = CellType(type);
        bool ok = false;
        const int styleIndex = style ? IntegerOf(style, &ok) : 0;
        const int formatIndex = ok ? styleIndex : 0;
        if (formatIndex >= 0 && formatIndex < m_reader.m_styleFormats.size()) {
            m_cell.format = m_reader.m_styleFormats.at(formatIndex);
            m_cell.dateStyle = m_reader.m_styleIsDate.at(formatIndex);
        } else {
            m_cell.format.clear();
            m_cell.dateStyle = false;
        }
        m_text.clear();
        m_textLength = 0;
        m_counted = 0;
        m_phonetic = 0;
        m_collecting = false;
        m_state = State::Cell;
    }

    void EndCell()
    {
        if (TypeIs(m_cell.type, u's')) {
            m_text.push_back('\0');
            bool ok = false;
            const int index = IntegerOf(m_text.data(), &ok);
            if (!ok || index < 0 || index >= m_reader.m_strings.size())
                return Refuse(TextOf(u"工作表第 %1 行引用了不存在的共享字符串。").arg(m_row.number));
            m_cell.text = m_reader.m_strings.at(index);
        } else {
            const QByteArrayView bytes(m_text.data(), qsizetype(m_text.size()));
            m_cell.text =
                bytes.contains("_x") ? DecodeEscapes(QString::fromUtf8(bytes)) : QString::fromUtf8(bytes);
        }
        m_row.cells.append(std::move(m_cell));
        m_cell = {};
        m_state = State::Row;
    }

    XlsxReader& m_reader;
    State m_state = State::Before;
    int m_lastRow = 0;
    qsizetype m_lastRowCells = 0;
    ParsedRow m_row;
    int m_column = -1;
    Cell m_cell;
    std::string m_text;
    qsizetype m_textLength = 0; // UTF-16 units of m_text up to m_counted
    qsizetype m_counted = 0;
    int m_phonetic = 0;
    bool m_collecting = false;
};

bool XlsxReader::StartSheet()
{
    m_ahead.reset();
    m_sheetSink = std::make_unique<SheetSink>(*this);
    m_sheet = std::make_unique<Part>(*this, *m_sheetSink);
    m_parsed.clear();
    m_ready.clear();
    m_nextReady = 0;
    m_rowNumber = 0;
    if (!m_sheet->Open(m_sheetPath))
        return Settle() ? Fail(TextOf(u"工作簿中找不到工作表 %1。").arg(m_sheetName)) : false;
    while (!m_sheetSink->InData() && m_sheet->Feed()) {
    }
    // A fault before the sheet's data refuses the file; one after it waits
    // for the rows before it.
    if (!m_sheetSink->InData())
        return Settle();
    // The rest of the sheet is parsed ahead, on a thread of its own.
    std::swap(m_ready, m_parsed);
    if (s_readAhead && m_refusal.isEmpty() && !m_sheet->Finished()) {
        m_fraction = m_sheet->Fraction();
        m_ahead = std::make_unique<ReadAhead>(*this);
    }
    return true;
}

XlsxReader::ParsedRow* XlsxReader::NextParsed()
{
    for (;;) {
        if (m_nextReady < m_ready.size())
            return &m_ready[m_nextReady++];
        if (m_ahead)
            m_ahead->Return(std::move(m_ready));
        m_ready.clear();
        m_nextReady = 0;
        if (m_ahead) {
            ReadAhead::Batch batch = m_ahead->Take();
            m_ready = std::move(batch.rows);
            m_fraction = batch.fraction;
            // Once the thread has ended, what it noted is this thread's.
            if (batch.last)
                m_ahead.reset();
            continue;
        }
        if (!m_parsed.isEmpty()) {
            std::swap(m_ready, m_parsed);
            continue;
        }
        if (!Settle() || !m_sheet || !m_sheet->Feed()) {
            if (m_parsed.isEmpty()) {
                Settle();
                return nullptr;
            }
        }
    }
}

bool XlsxReader::ReadCells(QVector<Cell>* cells)
{
    cells->clear();
    ParsedRow* row = NextParsed();
    if (!row)
        return false;
    std::swap(*cells, row->cells);
    m_rowNumber = row->number;
    return true;
}

double XlsxReader::Fraction() const
{
    if (m_ahead)
        return m_fraction;
    return m_sheet ? m_sheet->Fraction() : -1;
}

void XlsxReader::AsValues(ParsedRow& row) const
{
    QVector<QVariant>& values = row.values;
    values.clear();
    for (Cell& cell : row.cells) {
        // A text is handed on, not copied.
        QVariant value = !HoldsText(cell.type) ? Value(cell)
                         : cell.text.isEmpty() ? QVariant()
                                               : QVariant(std::move(cell.text));
        if (value.isNull())
            continue;
        if (values.size() <= cell.column)
            values.resize(cell.column + 1);
        values[cell.column] = std::move(value);
    }
    row.cells.clear();
    row.asValues = true;
}

bool XlsxReader::ReadRow(QVector<QVariant>* values)
{
    m_valuesWanted = true;
    while (ParsedRow* row = NextParsed()) {
        if (!row->asValues)
            AsValues(*row);
        m_rowNumber = row->number;
        if (row->values.isEmpty())
            continue;
        std::swap(*values, row->values);
        return true;
    }
    values->clear();
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
    const QString& type = cell.type;
    if (HoldsText(type))
        return cell.text.isEmpty() ? QVariant() : QVariant(cell.text);
    if (TypeIs(type, u'b'))
        return QVariant(cell.text == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    if (TypeIs(type, u'd')) {
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
    if (!qIsFinite(number) || !cell.dateStyle || number < 0 || number > 2958465)
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
