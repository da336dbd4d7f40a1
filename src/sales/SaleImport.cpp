#include "SaleImport.h"

#include "ChangeLog.h"
#include "CommandLog.h"
#include "GbkText.h"
#include "SaleFileColumns.h"
#include "SaleListModel.h"
#include "SaleRecord.h"
#include "SheetReader.h"
#include "SqlConnection.h"
#include "SqlDialect.h"
#include "TDataM.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QLockFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <optional>

#include <sqlite3.h>

namespace {

using SaleFileColumns::Kind;

constexpr int ProgressEvery = 1000;
// Serial day numbers a spreadsheet may hold for a date: 1900-01-01 .. 9999-12-31.
constexpr double MaxSerialDay = 2958465;

const QString& InsertStatement()
{
    static const QString sql = [] {
        QStringList fields, marks;
        const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
        for (int c = 1; c < columns.size(); ++c) {
            fields << QLatin1String(columns[c].field);
            marks << QStringLiteral("?");
        }
        return "insert into SaleInfo (" + fields.join(',') + ") values (" + marks.join(',') + ')';
    }();
    return sql;
}

// A number as a person typed it: 13800138000, not 1.38e+10; 2 not 2.0.
QString NumberText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value); // "nan", "inf"
    if (value == double(qint64(value)) && qAbs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

QString CellText(const QVariant& cell)
{
    switch (cell.typeId()) {
    case QMetaType::Double:
        return NumberText(cell.toDouble());
    case QMetaType::QDate:
        return SaleRecord::DateText(cell.toDate());
    case QMetaType::QDateTime:
        return cell.toDateTime().toString("yyyy-MM-dd HH:mm:ss");
    default:
        return cell.toString();
    }
}

// A date from a cell: a real date, a day number, or a text the way people
// write dates (2024-03-05, 2024/3/5, 2024.3.5, 2024年3月5日, 20240305).
QDate CellDate(const QVariant& cell)
{
    switch (cell.typeId()) {
    case QMetaType::QDate:
        return cell.toDate();
    case QMetaType::QDateTime:
        return cell.toDateTime().date();
    case QMetaType::Double: {
        const double day = cell.toDouble();
        if (day >= 1 && day <= MaxSerialDay && day == double(qint64(day)))
            return qint64(day) >= 61 ? QDate(1899, 12, 30).addDays(qint64(day))
                                     : QDate(1899, 12, 31).addDays(qint64(day));
        // 20240305 typed as a number.
        if (day >= 10000000 && day <= 99991231 && day == double(qint64(day)))
            return QDate::fromString(QString::number(qint64(day)), "yyyyMMdd");
        return {};
    }
    default:
        break;
    }
    const QString text = cell.toString().trimmed();
    // The usual writing, "2024-03-05" with or without "HH:mm:ss", read
    // without the pattern below (which it matches).
    if (text.size() == 10 || text.size() == 19) {
        const auto digitsAt = [&text](int from, int count) {
            int value = 0;
            for (int i = from; i < from + count; ++i) {
                const char16_t c = text[i].unicode();
                if (c < u'0' || c > u'9')
                    return -1;
                value = value * 10 + (c - u'0');
            }
            return value;
        };
        const int year = digitsAt(0, 4), month = digitsAt(5, 2), day = digitsAt(8, 2);
        const bool time = text.size() == 19;
        if (year >= 0 && month >= 0 && day >= 0 && text[4] == u'-' && text[7] == u'-' &&
            (!time || (text[10] == u' ' && digitsAt(11, 2) >= 0 && text[13] == u':' && digitsAt(14, 2) >= 0 &&
                       text[16] == u':' && digitsAt(17, 2) >= 0)))
            return QDate(year, month, day);
    }
    static const QRegularExpression ymd(
        QStringLiteral("^(\\d{4})\\s*[-/.年]\\s*(\\d{1,2})\\s*[-/.月]\\s*(\\d{1,2})\\s*日?(?:[ "
                       "T]\\d{1,2}:\\d{2}(?::\\d{2})?)?$"));
    const QRegularExpressionMatch m = ymd.match(text);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (text.size() == 8 && text.toInt() > 0)
        return QDate::fromString(text, "yyyyMMdd");
    return {};
}

// SqlDateText() of a date of the years 1000 to 9999 ("yyyy-MM-dd 00:00:00")
// written into `out`, without formatting machinery: its length, or 0 for
// another year.
int DateTimeText(const QDate& date, char out[20])
{
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    if (year < 1000 || year > 9999)
        return 0;
    const auto two = [](char* at, int value) {
        at[0] = char('0' + value / 10);
        at[1] = char('0' + value % 10);
    };
    two(out, year / 100);
    two(out + 2, year % 100);
    out[4] = '-';
    two(out + 5, month);
    out[7] = '-';
    two(out + 8, day);
    std::memcpy(out + 10, " 00:00:00", 9);
    return 19;
}

// Half of a surrogate pair alone is no character: it cannot be stored.
bool HasLoneSurrogate(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

// The text a cell holds, without a copy; nullptr for a cell of another kind.
const QString* StringIn(const QVariant& cell)
{
    return cell.typeId() == QMetaType::QString ? static_cast<const QString*>(cell.constData()) : nullptr;
}

// Only the digits 0-9 (an empty text too).
bool IsAsciiDigits(QStringView text)
{
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

using Record = SaleImport::CheckedRow;

// The rows of a sheet through its header: reads, matches and checks.
class RecordSource
{
public:
    bool Open(const QString& fileName, QString* error)
    {
        m_reader = SheetReader::OpenFile(fileName, error);
        if (!m_reader)
            return false;
        QVector<QVariant> header;
        if (!m_reader->ReadRow(&header)) {
            *error = m_reader->HasError() ? m_reader->ErrorString() : QStringLiteral("文件中没有任何数据。");
            return false;
        }
        const int columnCount = SaleListModel::ColumnCount;
        m_sourceOf.fill(-1, columnCount);
        for (int i = 0; i < header.size(); ++i) {
            const QString text = CellText(header[i]).trimmed();
            if (text.isEmpty())
                continue;
            const int column = SaleFileColumns::Find(text);
            if (column < 0 || m_sourceOf[column] >= 0) {
                m_unmatched << text;
                continue;
            }
            m_sourceOf[column] = i;
            m_matched << SaleFileColumns::Caption(column);
        }
        QStringList missing;
        for (int c = 0; c < columnCount; ++c) {
            const Kind kind = SaleFileColumns::All()[c].kind;
            if ((kind == Kind::Required || kind == Kind::BuyDate) && m_sourceOf[c] < 0)
                missing << QStringLiteral("“%1”").arg(SaleFileColumns::Caption(c));
        }
        if (m_matched.isEmpty()) {
            *error = QStringLiteral("文件第一行没有可识别的列标题（应为“用户姓名”“地址”“购买日期”等）。");
            return false;
        }
        if (!missing.isEmpty()) {
            *error = QStringLiteral("文件第一行缺少必需的列：%1。").arg(missing.join(QString()));
            return false;
        }
        return true;
    }

    const QStringList& Matched() const { return m_matched; }
    // The rows whose texts had NUL characters taken out.
    qint64 StrippedRows() const { return m_strippedRows; }
    QString StrippedRowNumbers() const
    {
        return m_strippedRowNumbers.join(QStringLiteral("、")) +
               (m_strippedRows > m_strippedRowNumbers.size() ? QStringLiteral(" 等") : QString());
    }
    const QStringList& Unmatched() const { return m_unmatched; }
    int RowNumber() const { return m_reader->RowNumber(); }
    bool HasError() const { return m_reader->HasError(); }
    QString ErrorString() const { return m_reader->ErrorString(); }

    double Fraction() const { return m_reader ? m_reader->Fraction() : -1; }

    // The next data row; false at the end.  Faults of the row go to its
    // refusals (empty when the row can be stored).  Runs once per row of the
    // file: texts are looked at where they lie, never copied or converted
    // only to be checked.
    bool Next(Record* record)
    {
        QVector<QVariant>& cells = m_cells;
        if (!m_reader->ReadRow(&cells))
            return false;
        QVector<SaleImport::Refusal>* refusals = &record->refusals;
        refusals->clear();
        const int rowNumber = m_reader->RowNumber();
        record->row = rowNumber;
        if (!m_reader->RowProblem().isEmpty())
            refusals->append({rowNumber, QString(), m_reader->RowProblem()});
        // NUL cannot be stored as text: left out, and the preview says so.
        bool stripped = false;
        for (QVariant& cell : cells)
            if (const QString* text = StringIn(cell); text && text->contains(QChar(0))) {
                cell = QString(*text).remove(QChar(0));
                stripped = true;
            }
        if (stripped) {
            ++m_strippedRows;
            if (m_strippedRowNumbers.size() < MaxNamedRows)
                m_strippedRowNumbers << QString::number(rowNumber);
        }
        const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
        QVector<QVariant>& values = record->values;
        values.resize(columns.size() - 1);
        auto refuse = [&](int column, const QString& reason) {
            refusals->append({rowNumber, SaleFileColumns::Caption(column), reason});
        };
        static const QVariant none;
        QDate buy, over;
        for (int c = 1; c < columns.size(); ++c) {
            const SaleFileColumns::Column& column = columns[c];
            const int source = m_sourceOf[c];
            const QVariant& value = source >= 0 && source < cells.size() ? cells[source] : none;
            QVariant& stored = values[c - 1];
            stored = QVariant();
            const int type = value.typeId();
            if (type == QMetaType::Double && !std::isfinite(value.toDouble())) {
                // nan, inf: no value a person typed, and no date or number.
                refuse(c, QStringLiteral("“%1”不是可以读取的数值").arg(NumberText(value.toDouble())));
                continue;
            }
            const QString* cellString = StringIn(value);
            if (cellString && HasLoneSurrogate(*cellString)) {
                refuse(c, QStringLiteral("文本中含有不能保存的字符"));
                continue;
            }
            // The cell's text: the string itself, or a number or date
            // written out.
            const bool dateCell = type == QMetaType::QDate || type == QMetaType::QDateTime;
            const bool dateColumn = column.kind == Kind::BuyDate || column.kind == Kind::WarrantyEnd;
            // A date cell in a date column is written out only to be told
            // in a refusal; its blankness is whether it holds a date.
            const QString text = cellString               ? *cellString
                                 : dateCell && dateColumn ? QString()
                                                          : CellText(value);
            switch (column.kind) {
            case Kind::Key:
                break;
            case Kind::Required:
                if (SaleRecord::IsBlank(text))
                    refuse(c, QStringLiteral("不能为空"));
                stored = text;
                break;
            case Kind::Optional:
                stored = SaleRecord::TextOrNone(text);
                break;
            case Kind::BuyDate:
            case Kind::WarrantyEnd: {
                const bool blank = dateCell ? !(type == QMetaType::QDate ? value.toDate().isValid()
                                                                         : value.toDateTime().isValid())
                                            : SaleRecord::IsBlank(text);
                const QDate date = blank ? QDate() : CellDate(value);
                if (blank && column.kind == Kind::BuyDate)
                    refuse(c, QStringLiteral("不能为空"));
                else if (!blank && (!date.isValid() || date.year() < 1900))
                    refuse(c, QStringLiteral("“%1”不是日期").arg(CellText(value)));
                (column.kind == Kind::BuyDate ? buy : over) = date;
                break;
            }
            case Kind::Class: {
                const QString trimmed = text.trimmed();
                if (trimmed.isEmpty() || trimmed == u"否" || trimmed == u"0" || trimmed == u"普通客户" ||
                    trimmed == u"普通用户")
                    stored = QStringLiteral("0");
                else if (trimmed == u"是" || trimmed == u"1" || trimmed == u"特殊客户" ||
                         trimmed == u"特别用户")
                    stored = QStringLiteral("1");
                else
                    refuse(c, QStringLiteral("“%1”应为“是”或“否”").arg(trimmed));
                break;
            }
            case Kind::Amount: {
                const QString trimmed = text.trimmed();
                if (!IsAsciiDigits(trimmed))
                    refuse(c, QStringLiteral("“%1”不是数量").arg(trimmed));
                else if (trimmed.size() > column.maxBytes)
                    refuse(c, QStringLiteral("数量超过%1位").arg(column.maxBytes));
                // As in the entry dialog: a blank or "0" amount is one machine.
                stored = trimmed.isEmpty() || trimmed == u"0" ? QStringLiteral("1") : trimmed;
                break;
            }
            }
            if (column.maxBytes > 0 && column.kind != Kind::Amount) {
                if (const QString* storedText = StringIn(stored)) {
                    const int bytes = Gbk::ByteLength(*storedText);
                    if (bytes > column.maxBytes)
                        refuse(
                            c,
                            QStringLiteral("内容过长（%1字节，最多%2字节）").arg(bytes).arg(column.maxBytes));
                }
            }
        }
        if (buy.isValid() && !over.isValid())
            over = SaleRecord::DefaultWarrantyEnd(buy);
        if (buy.isValid())
            values[SaleListModel::ColBuyDate - 1] = buy;
        if (over.isValid())
            values[SaleListModel::ColOverRun - 1] = over;
        record->name = values[SaleListModel::ColName - 1].toString();
        record->phone = values[SaleListModel::ColPhone - 1].toString();
        record->buyDate = buy;
        return true;
    }

private:
    static constexpr int MaxNamedRows = 10;

    std::unique_ptr<SheetReader> m_reader;
    QVector<QVariant> m_cells; // kept between rows for its capacity
    QVector<int> m_sourceOf;   // list column -> sheet column, -1 when absent
    QStringList m_matched, m_unmatched;
    qint64 m_strippedRows = 0;
    QStringList m_strippedRowNumbers;
};

// A stored record with the same name, phone and purchase date, among the
// records stored before the import began.
class DuplicateFinder
{
public:
    DuplicateFinder()
        : m_statement(CurrentConnection(), "select id from SaleInfo where BuyDate=? and Name=? and Phone=? "
                                           "and id<=? limit 1")
    {
        SqlStatement last(CurrentConnection(), "select coalesce(max(id),0) from SaleInfo");
        m_lastId = last.Step() ? last.ColumnValue(0).toLongLong() : 0;
    }
    bool IsValid() const { return m_statement.IsValid(); }
    QString ErrorString() const { return m_statement.ErrorString(); }

    // The id of the stored record, 0 when there is none, -1 on a fault.
    qint64 Find(const Record& record)
    {
        if (m_lastId == 0)
            return 0;
        m_statement.Reset();
        if (!m_statement.Bind(
                {SqlArg(record.buyDate), SqlArg(record.name), SqlArg(record.phone), SqlArg(m_lastId)}))
            return -1;
        if (m_statement.Step())
            return m_statement.ColumnValue(0).toLongLong();
        return m_statement.Failed() ? -1 : 0;
    }

private:
    SqlStatement m_statement;
    qint64 m_lastId = 0;
};

} // namespace

// The accepted rows of one preview in a database file of their own, in a
// temporary folder removed with it: the row number, the id of a stored
// record it repeats (0 for none) and the values to insert.
class SaleImportStage
{
public:
    SaleImportStage()
        : m_dir(QDir::temp().filePath(QLatin1String(SaleImport::StagePrefix) + QStringLiteral("XXXXXX")))
    {
    }

    bool Open(QString* error)
    {
        if (!m_dir.isValid()) {
            *error = QStringLiteral("无法创建临时文件夹");
            return false;
        }
        // Held while the stage lives: the next import of any program leaves
        // the folder alone while this program runs.
        m_lock = std::make_unique<QLockFile>(m_dir.filePath(LockName));
        m_lock->setStaleLockTime(0);
        if (!m_lock->tryLock(0)) {
            *error = QStringLiteral("无法锁定临时文件夹");
            return false;
        }
        QStringList fields;
        const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
        for (int c = 1; c < columns.size(); ++c)
            fields << QLatin1String(columns[c].field);
        // Scratch data: no journal, no waiting for the disk.
        if (!m_db.Create(FileName()) ||
            !m_db.ExecRaw(
                "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; create table Rows (RowNo integer, "
                "Duplicate integer, " +
                fields.join(',') + ")") ||
            !m_db.ExecRaw("BEGIN")) {
            *error = m_db.ErrorString();
            return false;
        }
        m_insert = std::make_unique<SqlStatement>(&m_db, "insert into Rows values (?,?" +
                                                             QString(",?").repeated(fields.size()) + ")");
        return m_insert->IsValid() || (*error = m_insert->ErrorString(), false);
    }
    // Bound straight to the statement: the values are texts, dates or
    // empty, and this runs once per row of the file.
    bool Add(int row, qint64 duplicate, const QVector<QVariant>& values, QString* error)
    {
        sqlite3_stmt* insert = m_insert->Handle();
        sqlite3_reset(insert);
        sqlite3_bind_int64(insert, 1, row);
        sqlite3_bind_int64(insert, 2, duplicate);
        // The row's texts as UTF-8, the stage's own encoding, one after the
        // other in one buffer kept between rows: the library's conversion
        // of UTF-16 costs an allocation and a slower pass for every value.
        qsizetype space = 0;
        for (const QVariant& v : values)
            if (const QString* text = StringIn(v))
                space += m_utf8.requiredSpace(text->size());
        if (m_utf8Buffer.size() < space)
            m_utf8Buffer.resize(space);
        char* utf8 = m_utf8Buffer.data();
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values[i];
            const int index = i + 3;
            if (!v.isValid()) {
                sqlite3_bind_null(insert, index);
                continue;
            }
            if (v.typeId() == QMetaType::QDate) {
                char date[20];
                const int length = DateTimeText(v.toDate(), date);
                if (length > 0) {
                    sqlite3_bind_text(insert, index, date, length, SQLITE_TRANSIENT);
                    continue;
                }
                const QByteArray text = SqlDateText(v.toDate()).toUtf8();
                sqlite3_bind_text(insert, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                continue;
            }
            // The buffer outlives the step.
            if (const QString* text = StringIn(v)) {
                char* end = m_utf8.appendToBuffer(utf8, *text);
                sqlite3_bind_text(insert, index, utf8, int(end - utf8), SQLITE_STATIC);
                utf8 = end;
                continue;
            }
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(insert, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (sqlite3_step(insert) == SQLITE_DONE)
            return true;
        *error = QString::fromUtf8(sqlite3_errmsg(m_db.Handle()));
        return false;
    }
    bool Finish(QString* error)
    {
        m_insert.reset();
        return m_db.ExecRaw("COMMIT") || (*error = m_db.ErrorString(), false);
    }
    QString FileName() const { return m_dir.filePath("stage.db"); }
    SqlConnection* Database() { return &m_db; }

    static constexpr const char* LockName = "stage.lock";

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QLockFile> m_lock; // released before the folder goes
    SqlConnection m_db;
    std::unique_ptr<SqlStatement> m_insert;
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    QByteArray m_utf8Buffer;
};

int SaleImport::RemoveLeftoverStages(const QString& folder, int minAgeSeconds)
{
    static const QRegularExpression name(QLatin1String("^") + QLatin1String(StagePrefix) +
                                         QLatin1String("[A-Za-z0-9]{6}$"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-minAgeSeconds);
    int removed = 0;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        {QLatin1String(StagePrefix) + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        // Only folders of our own making: the name, a real folder (not a
        // link to elsewhere), and nothing in it newer than the age.
        if (!name.match(entry.fileName()).hasMatch() || entry.isSymLink() || entry.lastModified() > before)
            continue;
        QDir dir(entry.filePath());
        bool recent = false;
        for (const QFileInfo& file : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
            recent = recent || file.lastModified() > before;
        if (recent)
            continue;
        // The lock of a stage still in use is held by a running program.
        QLockFile lock(dir.filePath(SaleImportStage::LockName));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        if (dir.removeRecursively())
            ++removed;
    }
    return removed;
}

struct SaleImport::Source::Impl
{
    RecordSource source;
};

SaleImport::Source::Source() : d(std::make_unique<Impl>()) {}
SaleImport::Source::~Source() = default;

bool SaleImport::Source::Open(const QString& fileName, QString* error)
{
    return d->source.Open(fileName, error);
}

bool SaleImport::Source::Next(CheckedRow* row)
{
    return d->source.Next(row);
}

bool SaleImport::Source::HasError() const
{
    return d->source.HasError();
}

QString SaleImport::Source::ErrorString() const
{
    return d->source.ErrorString();
}

double SaleImport::Source::Fraction() const
{
    return d->source.Fraction();
}

QStringList SaleImport::Source::Matched() const
{
    return d->source.Matched();
}

QStringList SaleImport::Source::Unmatched() const
{
    return d->source.Unmatched();
}

QStringList SaleImport::Source::Notes() const
{
    if (d->source.StrippedRows() == 0)
        return {};
    return {QStringLiteral("%1 行（第 %2 行）的文字中含有空字符（NUL），已删去。")
                .arg(d->source.StrippedRows())
                .arg(d->source.StrippedRowNumbers())};
}

struct SaleImport::Builder::Impl
{
    Preview* preview = nullptr;
    std::unique_ptr<DuplicateFinder> duplicates;
    std::shared_ptr<SaleImportStage> stage;
};

SaleImport::Builder::Builder(Preview* preview) : d(std::make_unique<Impl>())
{
    d->preview = preview;
}

SaleImport::Builder::~Builder() = default;

bool SaleImport::Builder::Begin(const QString& fileName, const QStringList& matched,
                                const QStringList& unmatched, QString* error)
{
    Preview* preview = d->preview;
    *preview = Preview();
    preview->fileName = fileName;
    preview->matched = matched;
    preview->unmatched = unmatched;
    d->duplicates = std::make_unique<DuplicateFinder>();
    if (!d->duplicates->IsValid()) {
        *error = d->duplicates->ErrorString();
        return false;
    }
    d->stage = std::make_shared<SaleImportStage>();
    return d->stage->Open(error);
}

bool SaleImport::Builder::Take(const CheckedRow& row, QString* error)
{
    Preview* preview = d->preview;
    ++preview->rows;
    if (!row.refusals.isEmpty()) {
        ++preview->refusedRows;
        for (const Refusal& refusal : row.refusals)
            if (preview->refused.size() < MaxListed)
                preview->refused << refusal;
        return true;
    }
    ++preview->accepted;
    const qint64 stored = d->duplicates->Find(row);
    if (stored < 0) {
        *error = d->duplicates->ErrorString();
        return false;
    }
    if (stored > 0) {
        ++preview->duplicateRows;
        if (preview->duplicates.size() < MaxListed)
            preview->duplicates << Duplicate{row.row, row.name, row.phone, row.buyDate, stored};
    }
    return d->stage->Add(row.row, stored, row.values, error);
}

bool SaleImport::Builder::Finish(const QStringList& notes, QString* error)
{
    if (!d->stage->Finish(error))
        return false;
    d->preview->notes << notes;
    d->preview->stage = d->stage;
    return true;
}

SaleImport::Outcome SaleImport::Analyse(const QString& fileName, Preview* preview, QString* error,
                                        const Progress& progress)
{
    *preview = Preview();
    preview->fileName = fileName;
    RemoveLeftoverStages(QDir::tempPath());
    Source source;
    if (!source.Open(fileName, error))
        return Outcome::Failed;
    Builder builder(preview);
    if (!builder.Begin(fileName, source.Matched(), source.Unmatched(), error))
        return Outcome::Failed;
    CheckedRow row;
    while (source.Next(&row)) {
        if (progress && (preview->rows + 1) % ProgressEvery == 0 && !progress(preview->rows + 1))
            return Outcome::Cancelled;
        if (!builder.Take(row, error))
            return Outcome::Failed;
    }
    if (source.HasError()) {
        *error = source.ErrorString();
        return Outcome::Failed;
    }
    return builder.Finish(source.Notes(), error) ? Outcome::Done : Outcome::Failed;
}

namespace {

// The stage joined to the connection of the program for the time of a
// write, so that its rows go over in statements of many rows each.  The
// quick-find index of the sale records flushes its pending terms at the end
// of every statement; one statement per row made that the bulk of an import.
class AttachedStage
{
public:
    explicit AttachedStage(const QString& fileName)
    {
        SqlStatement attach(CurrentConnection(), QStringLiteral("attach database ? as ") + Schema);
        m_attached = attach.Exec({fileName});
        if (!m_attached)
            m_error = attach.ErrorString();
    }
    ~AttachedStage()
    {
        if (m_attached)
            CurrentConnection()->ExecRaw(QStringLiteral("detach database ") + Schema);
    }
    AttachedStage(const AttachedStage&) = delete;
    AttachedStage& operator=(const AttachedStage&) = delete;

    bool IsAttached() const { return m_attached; }
    QString ErrorString() const { return m_error; }

    static constexpr const char* Schema = "SaleImportStage";

private:
    bool m_attached = false;
    QString m_error;
};

// Rows of the stage per insert statement: large enough that the index is
// flushed rarely, small enough for steady progress.
constexpr int RowsPerStatement = 10000;
// On a server every value is a parameter: rows per statement of its own,
// 28 values each, well below the 65535 parameters a statement may carry.
constexpr int RowsPerBoundStatement = 500;

QString FieldList()
{
    QStringList fields;
    const QVector<SaleFileColumns::Column>& columns = SaleFileColumns::All();
    for (int c = 1; c < columns.size(); ++c)
        fields << QLatin1String(columns[c].field);
    return fields.join(',');
}

using Outcome = SaleImport::Outcome;

bool g_setBasedUpkeep = true;

// The quick-find index, the phone index and the change log follow every
// insert into SaleInfo through a trigger each, run once per row: for the
// rows of an import that is most of the write.  Here those triggers are set
// aside inside the import's transaction and their work is done by one
// statement each over the new rows: the trigger's own INSERT with its
// VALUES made a SELECT from SaleInfo, the row named "new" as in the
// trigger, in the order of the ids; so the rows written are the rows the
// triggers write.  The triggers are made again, from their own text, before
// the transaction ends; a rollback (a fault, a cancel) brings them back as
// well.  Only where SaleInfo carries no trigger of another hand whose work
// could depend on this, and only for triggers of the one form known here;
// otherwise the rows go in with the triggers as they are.
class SetAsideTriggers
{
public:
    // Looks at SaleInfo's triggers; false when the set-based way does not
    // apply (nothing is changed then).
    bool Prepare()
    {
        static const QStringList ours{
            QStringLiteral("SaleFind_Insert"),           QStringLiteral("SaleFind_Delete"),
            QStringLiteral("SaleFind_Update"),           QStringLiteral("SaleFind_Replace"),
            QStringLiteral("SalePhoneFind_Insert"),      QStringLiteral("SalePhoneFind_Delete"),
            QStringLiteral("SalePhoneFind_Update"),      QStringLiteral("SalePhoneFind_Replace"),
            QStringLiteral("ChangeLog_SaleInfo_Insert"), QStringLiteral("ChangeLog_SaleInfo_Delete"),
            QStringLiteral("ChangeLog_SaleInfo_Update"), QStringLiteral("RepairInfo_KeepSale")};
        static const QStringList perRow{QStringLiteral("SaleFind_Insert"),
                                        QStringLiteral("SalePhoneFind_Insert"),
                                        QStringLiteral("ChangeLog_SaleInfo_Insert")};
        // Before every insert these look for a stored record of the id the
        // insert names; the import names none (the new row's id reads -1
        // there, which they pass over), and so they do nothing for its rows
        // but cost a call each.  Set aside without a statement in their place.
        static const QStringList idle{QStringLiteral("SaleFind_Replace"),
                                      QStringLiteral("SalePhoneFind_Replace")};
        static const QStringList order = perRow + idle;
        // Temporary triggers too: one of this connection on SaleInfo is as
        // foreign as one in the file.
        SqlStatement triggers(CurrentConnection(),
                              "select name, sql from sqlite_master where type='trigger' and tbl_name=? "
                              "collate nocase union all select name, sql from sqlite_temp_master "
                              "where type='trigger' and tbl_name=? collate nocase order by 1");
        if (!triggers.Bind({QStringLiteral("SaleInfo"), QStringLiteral("SaleInfo")}))
            return false;
        while (triggers.Step()) {
            const QString name = triggers.ColumnValue(0).toString();
            const QString sql = triggers.ColumnValue(1).toString();
            if (!ours.contains(name))
                return false;
            if (idle.contains(name)) {
                if (IsIdleForNewIds(name, sql))
                    m_triggers << Trigger{name, sql, QString(), nullptr};
                continue;
            }
            if (!perRow.contains(name))
                continue;
            Trigger trigger{name, sql, FillStatement(name, sql), nullptr};
            if (trigger.fill.isEmpty())
                return false;
            m_triggers << trigger;
        }
        if (triggers.Failed() || m_triggers.isEmpty())
            return false;
        // Kept in the order the file holds them, made again in that order.
        std::sort(m_triggers.begin(), m_triggers.end(), [](const Trigger& a, const Trigger& b) {
            return order.indexOf(a.name) < order.indexOf(b.name);
        });
        return PrepareChangeLog();
    }

    // Inside the transaction: the triggers dropped (Dropped).  Kept when
    // one cannot be (a statement of the connection still reading the
    // table): those dropped are made again and the rows go in with the
    // triggers.  Failed when that too fails: the write cannot go on.
    enum class Drop { Dropped, Kept, Failed };
    Drop DropAll(QString* error)
    {
        for (qsizetype i = 0; i < m_triggers.size(); ++i)
            if (!CurrentConnection()->ExecRaw("drop trigger " + m_triggers[i].name)) {
                m_triggers.resize(i);
                m_session = {};
                return Restore(error) ? Drop::Kept : Drop::Failed;
            }
        if (!m_session.drop.isEmpty() && !CurrentConnection()->ExecRaw(m_session.drop)) {
            m_session = {};
            return Restore(error) ? Drop::Kept : Drop::Failed;
        }
        return Drop::Dropped;
    }

    // What the triggers would have written for the rows of SaleInfo whose
    // ids are above `afterId`.  The statements are made once and kept.
    bool Fill(qint64 afterId, QString* error)
    {
        for (Trigger& trigger : m_triggers) {
            if (trigger.fill.isEmpty())
                continue;
            if (!trigger.statement)
                trigger.statement = std::make_shared<SqlStatement>(CurrentConnection(), trigger.fill);
            trigger.statement->Reset();
            if (!trigger.statement->Exec({afterId})) {
                *error = trigger.statement->ErrorString();
                return false;
            }
        }
        return true;
    }

    // The triggers made again from their own text, before the commit.
    bool Restore(QString* error)
    {
        for (Trigger& trigger : m_triggers) {
            trigger.statement.reset();
            if (!CurrentConnection()->ExecRaw(trigger.sql)) {
                *error = CurrentConnection()->ErrorString();
                return false;
            }
        }
        if (!m_session.make.isEmpty() && !CurrentConnection()->ExecRaw(m_session.make)) {
            *error = CurrentConnection()->ErrorString();
            return false;
        }
        return true;
    }

    // "CREATE TRIGGER n AFTER INSERT ON SaleInfo BEGIN INSERT INTO t (...)
    // VALUES (...); END" becomes "INSERT INTO t (...) SELECT ... FROM
    // SaleInfo AS new WHERE new.id > ? ORDER BY new.id"; empty for a
    // trigger of any other form.
    static QString FillStatement(const QString& name, const QString& sql)
    {
        const QString head = "CREATE TRIGGER " + name + " AFTER INSERT ON SaleInfo BEGIN INSERT INTO ";
        const QString tail = QStringLiteral("); END");
        if (!sql.startsWith(head) || !sql.endsWith(tail))
            return {};
        const QString body = sql.mid(head.size() - 12, sql.size() - tail.size() - head.size() + 12);
        const qsizetype values = body.indexOf(QLatin1String(" VALUES ("));
        // One statement: no other ";" outside quotes, and no sub-select
        // that could read the rows being written.
        if (values < 0 || body.indexOf(QLatin1String(" VALUES ("), values + 1) >= 0 ||
            body.contains(QLatin1String("SELECT"), Qt::CaseInsensitive) || HasSemicolon(body))
            return {};
        return body.left(values) + " SELECT " + body.mid(values + 9) +
               " FROM SaleInfo AS new WHERE new.id > ? ORDER BY new.id";
    }

    // "CREATE TRIGGER n BEFORE INSERT ON SaleInfo WHEN new.id IS NOT NULL
    // AND new.id <> -1 AND EXISTS (SELECT 1 FROM SaleInfo WHERE id = new.id)
    // BEGIN ...": its body runs only for an insert that names a stored id.
    static bool IsIdleForNewIds(const QString& name, const QString& sql)
    {
        return sql.startsWith(
            "CREATE TRIGGER " + name +
            " BEFORE INSERT ON SaleInfo WHEN new.id IS NOT NULL AND new.id <> -1 AND EXISTS "
            "(SELECT 1 FROM SaleInfo WHERE id = new.id) BEGIN ");
    }

private:
    struct Trigger
    {
        QString name, sql, fill; // `fill` empty: nothing to do in its place
        std::shared_ptr<SqlStatement> statement;
    };

    // The change log's rows, the bulk of the write, by a statement of its
    // own where the log trigger is the one the program makes for SaleInfo's
    // columns as they are: it builds each row's text in one piece (the
    // trigger's chain of concatenations copies the text again for every
    // column).  The connection's session trigger completes every log row
    // by an UPDATE of its own; when it is the program's and alone on the
    // log, it too is set aside and the statement writes the completed rows.
    bool PrepareChangeLog()
    {
        const auto log = std::find_if(m_triggers.begin(), m_triggers.end(), [](const Trigger& trigger) {
            return trigger.name == QLatin1String("ChangeLog_SaleInfo_Insert");
        });
        if (log == m_triggers.end())
            return true;
        SqlDialect::ChangeLogInsertFill fill;
        QString error;
        if (!ChangeLog::InsertFillOf(*CurrentConnection(), QStringLiteral("SaleInfo"), &fill, &error))
            return false;
        if (fill.trigger.isEmpty() || log->sql != fill.trigger)
            return true; // another text: its own statement, made from it
        log->fill = fill.fill;
        SqlStatement onLog(
            CurrentConnection(),
            "select name, sql from sqlite_master where type='trigger' and tbl_name=? collate "
            "nocase union all select name, sql from sqlite_temp_master where type='trigger' and "
            "tbl_name=? collate nocase");
        if (!onLog.Bind({QStringLiteral("ChangeLog"), QStringLiteral("ChangeLog")}))
            return false;
        QVector<QStringList> found;
        while (onLog.Step())
            found << QStringList{onLog.ColumnValue(0).toString(), onLog.ColumnValue(1).toString()};
        if (onLog.Failed())
            return false;
        if (found.size() == 1 && found[0][0] == fill.sessionTriggerName &&
            found[0][1] == fill.sessionTrigger) {
            log->fill = fill.sessionFill;
            m_session.drop = "drop trigger temp." + fill.sessionTriggerName;
            m_session.make = fill.sessionTriggerSql;
        }
        return true;
    }

    static bool HasSemicolon(const QString& sql)
    {
        bool quoted = false;
        for (const QChar c : sql) {
            if (c == u'\'')
                quoted = !quoted;
            else if (c == u';' && !quoted)
                return true;
        }
        return false;
    }

    QVector<Trigger> m_triggers;
    struct
    {
        QString drop, make;
    } m_session; // the session trigger, when set aside
};

// The full-text indexes of the sale records take an import's rows with
// settings of their own for the time of the write: the terms of many rows
// are gathered in memory before they go to disk as one segment, and the
// segments are left for later writes to merge (every segment answers a
// search; the library merges them anyway once a level holds too many).
// The stored settings are put back before the commit as they were, a row
// the table did not hold removed again; a rollback undoes both.
class BulkIndexSettings
{
public:
    bool Apply(QString* error)
    {
        const QVector<QPair<QString, qint64>> settings = Settings();
        for (const char* index : {"SaleFind", "SalePhoneFind"}) {
            const QString name = QLatin1String(index);
            SqlStatement exists(CurrentConnection(),
                                "select count(*) from sqlite_master where type='table' and name=?");
            if (!exists.Bind({name + "_config"}) || !exists.Step()) {
                *error = exists.ErrorString();
                return false;
            }
            if (exists.ColumnValue(0).toInt() == 0)
                continue;
            SqlStatement stored(CurrentConnection(), "select v from " + name + "_config where k=?");
            for (const auto& [key, value] : settings) {
                stored.Reset();
                if (!stored.Bind({key})) {
                    *error = stored.ErrorString();
                    return false;
                }
                const bool held = stored.Step();
                if (stored.Failed()) {
                    *error = stored.ErrorString();
                    return false;
                }
                m_set << Setting{name, key, held ? stored.ColumnValue(0) : QVariant()};
                if (!Set(name, key, value, error))
                    return false;
            }
        }
        return true;
    }

    bool Restore(QString* error)
    {
        for (const Setting& setting : std::as_const(m_set)) {
            if (!Set(setting.index, setting.key,
                     setting.stored.isValid() ? setting.stored : QVariant(Default(setting.key)), error))
                return false;
            if (setting.stored.isValid())
                continue;
            SqlStatement remove(CurrentConnection(), "delete from " + setting.index + "_config where k=?");
            if (!remove.Exec({setting.key})) {
                *error = remove.ErrorString();
                return false;
            }
        }
        m_set.clear();
        return true;
    }

private:
    struct Setting
    {
        QString index, key;
        QVariant stored; // invalid: no row
    };

    // 8 MB of terms per segment (the library's own is 1 MB, several
    // segments per statement of an import); no merging while the rows go in.
    static QVector<QPair<QString, qint64>> Settings()
    {
        return {{QStringLiteral("hashsize"), 8 * 1024 * 1024}, {QStringLiteral("automerge"), 0}};
    }
    // The library's own values for a setting without a row.
    static qint64 Default(const QString& key) { return key == QLatin1String("hashsize") ? 1024 * 1024 : 4; }
    static bool Set(const QString& index, const QString& key, const QVariant& value, QString* error)
    {
        SqlStatement set(CurrentConnection(), "insert into " + index + "(" + index + ", rank) values (?, ?)");
        if (set.Exec({key, SqlArg(value)}))
            return true;
        *error = set.ErrorString();
        return false;
    }

    QVector<Setting> m_set;
};

// SQLite: the stage attached to the connection, its rows copied by
// "insert ... select" statements of many rows each.  Runs inside the
// caller's transaction; `stored` counts the rows written.
Outcome CopyAttached(bool skipDuplicates, qint64* stored, QString* reason,
                     const SaleImport::Progress& progress)
{
    const QString fields = FieldList();
    // Stage rows are numbered 1.. in the order of the file.
    const QString from =
        QStringLiteral(" from %1.Rows where %2")
            .arg(AttachedStage::Schema, skipDuplicates ? QStringLiteral("Duplicate=0 and ") : QString());
    const QString copy = "insert into SaleInfo (" + fields + ") select " + fields + from;

    SetAsideTriggers aside;
    const SetAsideTriggers::Drop dropped =
        g_setBasedUpkeep && aside.Prepare() ? aside.DropAll(reason) : SetAsideTriggers::Drop::Kept;
    if (dropped == SetAsideTriggers::Drop::Failed)
        return Outcome::Failed;
    const bool setBased = dropped == SetAsideTriggers::Drop::Dropped;
    BulkIndexSettings bulk;
    if (!bulk.Apply(reason))
        return Outcome::Failed;
    SqlStatement lastId(CurrentConnection(), QStringLiteral("select coalesce(max(id),0) from SaleInfo"));
    SqlStatement last(
        CurrentConnection(),
        QStringLiteral("select coalesce(max(rowid),0) from %1.Rows").arg(AttachedStage::Schema));
    SqlStatement chunk(CurrentConnection(), copy + "rowid>? and rowid<=? order by rowid");
    SqlStatement single(CurrentConnection(), copy + "rowid=?");
    SqlStatement rowNumber(
        CurrentConnection(),
        QStringLiteral("select RowNo from %1.Rows where rowid=?").arg(AttachedStage::Schema));
    for (const SqlStatement* statement : {&last, &chunk, &single, &rowNumber, &lastId})
        if (!statement->IsValid()) {
            *reason = statement->ErrorString();
            return Outcome::Failed;
        }
    if (!last.Step()) {
        *reason = last.ErrorString();
        return Outcome::Failed;
    }
    const qint64 lastRow = last.ColumnValue(0).toLongLong();
    // The row at fault in a statement that failed: its rows again one by
    // one, while the transaction still holds (a failed statement undoes only
    // itself; a fault that ended the transaction leaves nothing to search).
    auto findFault = [&](qint64 first, qint64 end) {
        if (!CurrentConnection()->InTransaction())
            return Outcome::Failed;
        for (qint64 r = first; r <= end; ++r) {
            single.Reset();
            if (single.Exec({r}))
                continue;
            rowNumber.Reset();
            const qint64 row =
                rowNumber.Bind({r}) && rowNumber.Step() ? rowNumber.ColumnValue(0).toLongLong() : r;
            *reason = QStringLiteral("第 %1 行无法保存：%2").arg(row).arg(single.ErrorString());
            return Outcome::Failed;
        }
        return Outcome::Failed;
    };
    for (qint64 first = 1; first <= lastRow; first += RowsPerStatement) {
        const qint64 end = qMin(lastRow, first + RowsPerStatement - 1);
        // The records stored so far: the new ones get ids above them.
        lastId.Reset();
        if (setBased && !lastId.Step()) {
            *reason = lastId.ErrorString();
            return Outcome::Failed;
        }
        const qint64 before = setBased ? lastId.ColumnValue(0).toLongLong() : 0;
        chunk.Reset();
        if (!chunk.Exec({first - 1, end})) {
            *reason = chunk.ErrorString();
            return findFault(first, end);
        }
        *stored += CurrentConnection()->Changes();
        if (setBased && !aside.Fill(before, reason))
            return Outcome::Failed;
        if (progress && !progress(*stored))
            return Outcome::Cancelled;
    }
    if (!bulk.Restore(reason))
        return Outcome::Failed;
    if (setBased && !aside.Restore(reason))
        return Outcome::Failed;
    return Outcome::Done;
}

// A server: the stage read from its own file and its rows sent in inserts of
// many rows each, every value bound.  Each statement runs in a savepoint, so
// that after a failure its rows can be tried one by one to name the row at
// fault (a failed statement on a server spoils the transaction otherwise).
Outcome CopyBound(SqlConnection* stage, bool skipDuplicates, qint64* stored, QString* reason,
                  const SaleImport::Progress& progress)
{
    const QString fields = FieldList();
    const int width = int(SaleFileColumns::All().size()) - 1;
    const QString oneRow = '(' + QStringLiteral("?,").repeated(width - 1) + "?)";
    auto insertOf = [&](int rows) {
        QStringList values;
        for (int i = 0; i < rows; ++i)
            values << oneRow;
        return "insert into SaleInfo (" + fields + ") values " + values.join(',');
    };
    SqlStatement read(stage, "select RowNo, " + fields + " from Rows" +
                                 (skipDuplicates ? QStringLiteral(" where Duplicate=0") : QString()) +
                                 " order by rowid");
    if (!read.IsValid()) {
        *reason = read.ErrorString();
        return Outcome::Failed;
    }
    const QString fullInsert = insertOf(RowsPerBoundStatement);
    QVector<qint64> rowNumbers;
    SqlArgs values;
    rowNumbers.reserve(RowsPerBoundStatement);
    values.reserve(RowsPerBoundStatement * width);

    auto send = [&]() {
        const int rows = int(rowNumbers.size());
        SqlTransaction savepoint(CurrentConnection());
        SqlStatement insert(CurrentConnection(), rows == RowsPerBoundStatement ? fullInsert : insertOf(rows));
        if (savepoint.IsActive() && insert.Exec(values) && savepoint.Commit()) {
            *stored += rows;
            rowNumbers.clear();
            values.clear();
            return true;
        }
        *reason = insert.ErrorString().isEmpty() ? CurrentConnection()->ErrorString() : insert.ErrorString();
        // A lost connection is no row's fault, and nothing is left to try.
        if (CurrentConnection()->TransactionLost())
            return false;
        savepoint.Rollback();
        const QString single = insertOf(1);
        for (int r = 0; r < rows; ++r) {
            SqlTransaction one(CurrentConnection());
            SqlStatement insertOne(CurrentConnection(), single);
            if (one.IsActive() && insertOne.Exec(values.mid(qsizetype(r) * width, width)))
                continue;
            *reason =
                CurrentConnection()->TransactionLost()
                    ? SqlConnection::TransactionLostMessage()
                    : QStringLiteral("第 %1 行无法保存：%2").arg(rowNumbers[r]).arg(insertOne.ErrorString());
            break;
        }
        return false;
    };

    while (read.Step()) {
        rowNumbers << read.ColumnValue(0).toLongLong();
        for (int c = 1; c <= width; ++c)
            values << SqlArg(read.ColumnValue(c));
        if (rowNumbers.size() < RowsPerBoundStatement)
            continue;
        if (!send())
            return Outcome::Failed;
        if (progress && !progress(*stored))
            return Outcome::Cancelled;
    }
    if (read.Failed()) {
        *reason = read.ErrorString();
        return Outcome::Failed;
    }
    if (!rowNumbers.isEmpty() && !send())
        return Outcome::Failed;
    if (progress && !progress(*stored))
        return Outcome::Cancelled;
    return Outcome::Done;
}

} // namespace

SaleImport::Outcome SaleImport::Write(const Preview& preview, bool skipDuplicates, qint64* written,
                                      QString* error, const Progress& progress)
{
    *written = 0;
    if (!preview.stage) {
        *error = QStringLiteral("没有可导入的预览");
        return Outcome::Failed;
    }
    // SQLite: the stage is attached outside the transaction (SQLite allows
    // nothing else) and detached after it has ended.  A server reads the
    // stage through a connection of its own.
    const bool server = CurrentConnection()->IsServer();
    std::optional<AttachedStage> attached;
    if (!server) {
        attached.emplace(preview.stage->FileName());
        if (!attached->IsAttached()) {
            *error = attached->ErrorString();
            return Outcome::Failed;
        }
    }
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive()) {
        *error = CurrentConnection()->ErrorString();
        return Outcome::Failed;
    }
    qint64 stored = 0;
    QString reason;
    const Outcome copied =
        server ? CopyBound(preview.stage->Database(), skipDuplicates, &stored, &reason, progress)
               : CopyAttached(skipDuplicates, &stored, &reason, progress);
    if (copied == Outcome::Cancelled) {
        transaction.Rollback();
        return Outcome::Cancelled;
    }
    const bool committed = copied == Outcome::Done && transaction.Commit();
    if (!committed) {
        if (copied == Outcome::Done)
            reason = CurrentConnection()->ErrorString();
        transaction.Rollback();
        WriteLogLine(QStringLiteral("失败执行：") + InsertStatement());
        WriteLogLine(QStringLiteral("失败原因:") + reason);
        *error = reason;
        *written = 0;
        return Outcome::Failed;
    }
    WriteLogLine(QStringLiteral("成功执行：") + InsertStatement() +
                 QStringLiteral("（从 %1 导入 %2 行）").arg(preview.fileName).arg(stored));
    if (DataM)
        DataM->WriteUsageLog(QStringLiteral("从文件导入销售记录：%1 条").arg(stored));
    *written = stored;
    return Outcome::Done;
}

void SaleImport::SetSetBasedUpkeep(bool on)
{
    g_setBasedUpkeep = on;
}
