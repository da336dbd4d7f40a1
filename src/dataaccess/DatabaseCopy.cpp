#include "DatabaseCopy.h"

#include "AppDir.h"
#include "ChangeLog.h"
#include "Schema.h"
#include "Settings.h"
#include "SqlConnection.h"
#include "SqlDialect.h"
#include "Utilities.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <memory>

namespace DatabaseCopy {

namespace {

enum class Kind { Integer, Date, Text };

struct Column
{
    QString name;
    Kind kind = Kind::Text;
    int maxLength = 0; // characters the column holds; 0: no limit
};

// How one table is read and written: its key (the integer primary key, or
// the row's identity "rowid" where there is none) and its columns.
struct Layout
{
    QString table;
    QString key;
    bool keyIsRowid = false;
    QVector<Column> columns; // without "rowid"; an integer key is one of them

    QString SelectList() const
    {
        QStringList names;
        if (keyIsRowid)
            names << QStringLiteral("rowid");
        for (const Column& column : columns)
            names << column.name;
        return names.join(',');
    }
    int Width() const { return int(columns.size()) + (keyIsRowid ? 1 : 0); }
    // The kind of selected value `i` (the rowid first when it is the key).
    Kind KindAt(int i) const
    {
        return keyIsRowid ? (i == 0 ? Kind::Integer : columns[i - 1].kind) : columns[i].kind;
    }
    const Column* ColumnAt(int i) const
    {
        return keyIsRowid ? (i == 0 ? nullptr : &columns[i - 1]) : &columns[i];
    }
    int KeyIndex() const
    {
        if (keyIsRowid)
            return 0;
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        return 0;
    }
};

Kind KindOf(const QString& declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.startsWith(QLatin1String("INT")) || type.startsWith(QLatin1String("BIGINT")) ||
        type.startsWith(QLatin1String("SMALLINT")))
        return Kind::Integer;
    if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME")))
        return Kind::Date;
    return Kind::Text;
}

int LengthOf(const QString& declaredType)
{
    static const QRegularExpression size(QStringLiteral("\\((\\d+)\\)"));
    const QRegularExpressionMatch match = size.match(declaredType);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool ReadLayout(SqlConnection& connection, const QString& table, Layout* layout, QString* error)
{
    *layout = Layout{table, {}, false, {}};
    // The columns as the engine declares them (a server knows them once the
    // statement ran).
    SqlStatement columns(&connection, "select * from " + table + " where 1=0");
    columns.Step();
    if (!columns.IsValid() || columns.Failed()) {
        *error = QStringLiteral("读取表 %1 的结构失败：%2").arg(table, columns.ErrorString());
        return false;
    }
    for (int i = 0; i < columns.ColumnCount(); ++i) {
        const QString name = columns.ColumnName(i);
        if (name.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
            continue;
        const QString type = columns.ColumnDeclType(i);
        layout->columns.append({name, KindOf(type), LengthOf(type)});
    }
    SqlStatement keys(&connection, SqlDialect::PrimaryKeyInfo(&connection));
    if (!keys.Bind({table})) {
        *error = keys.ErrorString();
        return false;
    }
    QStringList keyNames, keyTypes;
    while (keys.Step())
        if (keys.ColumnValue(2).toLongLong() > 0) {
            keyNames << keys.ColumnValue(0).toString();
            keyTypes << keys.ColumnValue(1).toString();
        }
    if (keys.Failed()) {
        *error = keys.ErrorString();
        return false;
    }
    // An integer primary key is the row's identity on both engines; any
    // other table is keyed by its rowid, which is copied as it is.
    if (keyNames.size() == 1 && keyTypes[0].compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) {
        layout->key = keyNames[0];
    } else {
        layout->key = QStringLiteral("rowid");
        layout->keyIsRowid = true;
    }
    return true;
}

// The target's columns in the source's order, with the target's limits;
// false when the two tables differ.
bool MatchLayouts(const Layout& source, const Layout& target, Layout* written, QString* error)
{
    *written = source;
    const auto differ = [&](const QString& what) {
        *error = QStringLiteral("表 %1 在两个数据库中的结构不同（%2），无法复制。").arg(source.table, what);
        return false;
    };
    if (source.keyIsRowid != target.keyIsRowid || source.key.compare(target.key, Qt::CaseInsensitive) != 0)
        return differ(QStringLiteral("键 %1 / %2").arg(source.key, target.key));
    if (source.columns.size() != target.columns.size())
        return differ(QStringLiteral("字段数 %1 / %2").arg(source.columns.size()).arg(target.columns.size()));
    for (Column& column : written->columns) {
        const auto found = std::find_if(target.columns.begin(), target.columns.end(), [&](const Column& c) {
            return c.name.compare(column.name, Qt::CaseInsensitive) == 0;
        });
        if (found == target.columns.end())
            return differ(QStringLiteral("字段 %1").arg(column.name));
        if (found->kind != column.kind)
            return differ(QStringLiteral("字段 %1 的类型").arg(column.name));
        column.maxLength = found->maxLength;
    }
    return true;
}

bool IntegerOf(const QVariant& value, qint64* number)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        *number = value.toLongLong();
        return true;
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (d != double(qint64(d)))
            return false;
        *number = qint64(d);
        return true;
    }
    case QMetaType::QString: {
        bool ok = false;
        *number = value.toString().toLongLong(&ok);
        return ok;
    }
    default:
        return false;
    }
}

// A stored date as "yyyy-MM-dd HH:mm:ss": the program writes that form; a
// date alone, a "T" between date and time, minutes without seconds and
// fractions of a second are read too.  false for anything else.
bool DateOf(const QVariant& value, QString* text)
{
    if (value.typeId() != QMetaType::QString)
        return false;
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})(?:[ T](\\d{2}:\\d{2})(?::(\\d{2})(?:\\.\\d+)?)?)?$"));
    const QRegularExpressionMatch match = form.match(value.toString());
    if (!match.hasMatch())
        return false;
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
    const QString seconds = match.captured(3).isEmpty() ? QStringLiteral("00") : match.captured(3);
    const QString clock =
        match.captured(2).isEmpty() ? QStringLiteral("00:00:00") : match.captured(2) + ':' + seconds;
    const QTime time = QTime::fromString(clock, QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return false;
    *text = match.captured(1) + ' ' + clock;
    return true;
}

// One value in the canonical text of a row: a letter for its kind, then
// the value, so that NULL, an empty text, 0 and "0" all differ.
void AppendCanonical(QByteArray& row, const QVariant& value, Kind kind)
{
    if (!value.isValid()) {
        row += "N;";
        return;
    }
    qint64 number = 0;
    if (kind == Kind::Integer && IntegerOf(value, &number)) {
        row += 'I' + QByteArray::number(number) + ';';
        return;
    }
    QString date;
    if (kind == Kind::Date && DateOf(value, &date)) {
        row += 'D' + date.toUtf8() + ';';
        return;
    }
    const QByteArray text = value.typeId() == QMetaType::QByteArray ? "0x" + value.toByteArray().toHex()
                                                                    : value.toString().toUtf8();
    row += 'T' + QByteArray::number(text.size()) + ':' + text + ';';
}

// The value as the target stores it, or why it cannot.
bool ValueForTarget(const QVariant& value, const Column& column, bool server, QVariant* out, QString* problem)
{
    if (!value.isValid()) {
        *out = QVariant();
        return true;
    }
    const QString shown =
        value.typeId() == QMetaType::QByteArray ? QStringLiteral("（二进制数据）") : value.toString();
    switch (column.kind) {
    case Kind::Integer: {
        qint64 number = 0;
        if (!IntegerOf(value, &number)) {
            *problem = QStringLiteral("的值“%1”不是整数").arg(shown);
            return false;
        }
        *out = number;
        return true;
    }
    case Kind::Date: {
        QString date;
        if (!DateOf(value, &date)) {
            *problem = QStringLiteral("的值“%1”不是可识别的日期（应为 yyyy-MM-dd HH:mm:ss）").arg(shown);
            return false;
        }
        *out = date;
        return true;
    }
    case Kind::Text:
        break;
    }
    if (value.typeId() == QMetaType::QByteArray) {
        *problem = QStringLiteral("是二进制数据，不是文字");
        return false;
    }
    const QString text = value.toString();
    if (server && text.contains(QChar(0))) {
        *problem = QStringLiteral("含有空字符（\\0），服务器无法保存");
        return false;
    }
    if (server && column.maxLength > 0 && CharacterCount(text) > column.maxLength) {
        *problem = QStringLiteral("的值有 %1 个字符，超过了该字段的 %2 个字符：“%3”")
                       .arg(CharacterCount(text))
                       .arg(column.maxLength)
                       .arg(text);
        return false;
    }
    *out = text;
    return true;
}

// Reads every row of `layout` in key order into the running checksum;
// `row` receives each row's values as read (for the copy).
template <typename EachRow>
bool ReadRows(SqlConnection& connection, const Layout& layout, TableSum* sum, QString* error, EachRow eachRow)
{
    *sum = {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    SqlStatement rows(&connection,
                      "select " + layout.SelectList() + " from " + layout.table + " order by " + layout.key);
    const int width = layout.Width();
    QVector<QVariant> values(width);
    QByteArray canonical;
    while (rows.Step()) {
        canonical.clear();
        for (int i = 0; i < width; ++i) {
            values[i] = rows.ColumnValue(i);
            AppendCanonical(canonical, values[i], layout.KindAt(i));
        }
        canonical += '\n';
        hash.addData(canonical);
        ++sum->rows;
        if (!eachRow(values))
            return false;
    }
    if (!rows.IsValid() || rows.Failed()) {
        *error = QStringLiteral("读取表 %1 失败：%2").arg(layout.table, rows.ErrorString());
        return false;
    }
    sum->digest = hash.result();
    return true;
}

// Writes rows in multi-row INSERTs of a fixed number of rows (the last one
// shorter), every value bound.
class ChunkWriter
{
public:
    ChunkWriter(SqlConnection& target, const Layout& layout) : m_target(target), m_layout(layout)
    {
        // Well below the bound values either engine takes in one statement.
        m_rowsPerChunk = qBound(1, 20000 / qMax(1, layout.Width()), 500);
    }

    bool Add(const QVector<QVariant>& values, QString* error)
    {
        for (const QVariant& value : values)
            m_pending << SqlArg(value);
        if (++m_rows == m_rowsPerChunk)
            return Flush(error);
        return true;
    }

    bool Flush(QString* error)
    {
        if (m_rows == 0)
            return true;
        // Full chunks share one statement; the shorter last one has its own.
        const bool full = m_rows == m_rowsPerChunk;
        std::unique_ptr<SqlStatement>& statement = full ? m_full : m_partial;
        if (!full || !statement)
            statement = std::make_unique<SqlStatement>(&m_target, InsertText(m_rows));
        const bool written = statement->IsValid() && statement->Exec(m_pending) && statement->Reset();
        if (!written) {
            *error = QStringLiteral("写入表 %1 失败：%2").arg(m_layout.table, statement->ErrorString());
            return false;
        }
        m_pending.clear();
        m_rows = 0;
        return true;
    }

private:
    QString InsertText(int rows) const
    {
        const QString marks = '(' + QStringList(m_layout.Width(), QStringLiteral("?")).join(',') + ')';
        return "insert into " + m_layout.table + " (" + m_layout.SelectList() + ") values " +
               QStringList(rows, marks).join(',');
    }

    SqlConnection& m_target;
    const Layout& m_layout;
    int m_rowsPerChunk = 1;
    int m_rows = 0;
    SqlArgs m_pending;
    std::unique_ptr<SqlStatement> m_full;
    std::unique_ptr<SqlStatement> m_partial;
};

QString ShortDigest(const QByteArray& digest)
{
    return QString::fromLatin1(digest.toHex().left(12));
}

QString Describe(const SqlConnection& connection)
{
    if (connection.IsServer()) {
        QString where = connection.ConnectionString();
        where.remove(QStringLiteral("Provider=PostgreSQL;"));
        while (where.endsWith(';'))
            where.chop(1);
        return QStringLiteral("PostgreSQL（%1）").arg(where);
    }
    return QStringLiteral("SQLite（%1）").arg(QDir::toNativeSeparators(connection.FileName()));
}

bool CopyTable(SqlConnection& source, SqlConnection& target, const QString& table, const Report& report,
               QString* error)
{
    Layout read, written, targetLayout;
    if (!ReadLayout(source, table, &read, error) || !ReadLayout(target, table, &targetLayout, error) ||
        !MatchLayouts(read, targetLayout, &written, error))
        return false;

    ChunkWriter writer(target, written);
    const int keyIndex = written.KeyIndex();
    const bool server = target.IsServer();
    QVector<QVariant> converted(written.Width());
    const Column rowid{QStringLiteral("rowid"), Kind::Integer, 0};
    // A large table reports its progress on the way, so the terminal never
    // looks stuck.
    constexpr qint64 ReportEvery = 20000;
    SqlStatement count(&source, "select count(*) from " + table);
    const qint64 total = count.Step() ? count.ColumnValue(0).toLongLong() : 0;
    qint64 done = 0;
    TableSum sourceSum;
    const bool copied = ReadRows(source, read, &sourceSum, error, [&](const QVector<QVariant>& values) {
        for (int i = 0; i < values.size(); ++i) {
            const Column* column = written.ColumnAt(i);
            QString problem;
            if (!ValueForTarget(values[i], column ? *column : rowid, server, &converted[i], &problem)) {
                *error = QStringLiteral("表 %1 中 %2=%3 的记录，字段 %4 %5。\n请先在原数据库中改正这条记录，"
                                        "然后重新复制。")
                             .arg(table, written.key, values[keyIndex].toString(),
                                  column ? column->name : QStringLiteral("rowid"), problem);
                return false;
            }
        }
        if (!writer.Add(converted, error))
            return false;
        if (++done % ReportEvery == 0)
            report(QStringLiteral("  %1：已复制 %2 / %3 条……").arg(table).arg(done).arg(total));
        return true;
    });
    if (!copied || !writer.Flush(error))
        return false;

    // Deleted numbers stay used: the target's counter continues where the
    // source's stood, not merely after the largest key copied.
    const qint64 counter = SqlDialect::KeyCounter(source, table, written.key);
    if (counter < 0 || !SqlDialect::SetKeyCounter(target, table, written.key, counter)) {
        *error = QStringLiteral("设置表 %1 的编号计数器失败：%2")
                     .arg(table, counter < 0 ? source.ErrorString() : target.ErrorString());
        return false;
    }

    // The check reads the target back as it now stands in the transaction.
    TableSum targetSum;
    if (!ReadRows(target, written, &targetSum, error, [](const QVector<QVariant>&) { return true; }))
        return false;
    if (targetSum.rows != sourceSum.rows) {
        *error = QStringLiteral("表 %1 校验失败：源数据库 %2 条记录，目标数据库 %3 条。")
                     .arg(table)
                     .arg(sourceSum.rows)
                     .arg(targetSum.rows);
        return false;
    }
    if (targetSum.digest != sourceSum.digest) {
        *error = QStringLiteral("表 %1 校验失败：%2 条记录的内容不一致（校验和 %3 / %4）。")
                     .arg(table)
                     .arg(sourceSum.rows)
                     .arg(ShortDigest(sourceSum.digest), ShortDigest(targetSum.digest));
        return false;
    }
    report(QStringLiteral("  %1：%2 条记录，已复制，校验一致（%3）")
               .arg(table)
               .arg(sourceSum.rows)
               .arg(ShortDigest(sourceSum.digest)));
    return true;
}

// The new database file, committed and closed, read once more as a whole
// and then given its final name, which must still be free.
bool PutInPlace(const QString& built, const QString& file, QString* error)
{
    {
        SqlConnection check;
        QString problem;
        if (!check.Open(SqlConnection::MakeConnectionString(built))) {
            problem = check.ErrorString();
        } else {
            SqlStatement quick(&check, QStringLiteral("PRAGMA quick_check"));
            problem = quick.Step() ? quick.ColumnValue(0).toString() : quick.ErrorString();
            if (problem == QLatin1String("ok"))
                problem.clear();
            else if (problem.isEmpty())
                problem = QStringLiteral("无法读取");
            if (problem.isEmpty() && Schema::Version(check) != Schema::CurrentVersion)
                problem = QStringLiteral("数据库版本不对");
        }
        if (!problem.isEmpty()) {
            *error = QStringLiteral("复制后的数据库 %1 检查未通过：%2")
                         .arg(QDir::toNativeSeparators(built), problem);
            return false;
        }
    }
    if (!QFile::rename(built, file)) {
        *error = QStringLiteral("无法把复制好的数据库 %1 改名为 %2%3。")
                     .arg(QDir::toNativeSeparators(built), QDir::toNativeSeparators(file),
                          QFileInfo::exists(file) ? QStringLiteral("（该文件已经存在）") : QString());
        return false;
    }
    return true;
}

} // namespace

bool Checksum(SqlConnection& connection, const QString& table, TableSum* sum, QString* error)
{
    Layout layout;
    return ReadLayout(connection, table, &layout, error) &&
           ReadRows(connection, layout, sum, error, [](const QVector<QVariant>&) { return true; });
}

bool Copy(SqlConnection& source, SqlConnection& target, const Report& report, QString* error)
{
    const QString nothingWritten = QStringLiteral("\n已全部撤销，目标数据库没有任何改变。");
    const int version = Schema::Version(source);
    if (version < 0) {
        *error = QStringLiteral("无法读取源数据库的版本：") + source.ErrorString();
        return false;
    }
    if (version == 0) {
        *error = QStringLiteral("源数据库是空的（没有表），没有可复制的数据。");
        return false;
    }
    // The copy never writes to the source: an older source is upgraded by
    // the program itself, at its next start, where the user expects it.
    if (version < Schema::CurrentVersion) {
        *error = QStringLiteral("源数据库的版本是 %1，本程序的数据库版本是 %2。请先用本程序正常启动一次"
                                "（启动时会把数据库升级到当前版本），然后再复制。")
                     .arg(version)
                     .arg(Schema::CurrentVersion);
        return false;
    }
    if (version > Schema::CurrentVersion) {
        *error = QStringLiteral("源数据库由更新版本的程序创建（版本 %1，本程序支持到版本 %2），"
                                "请使用新版本的程序复制。")
                     .arg(version)
                     .arg(Schema::CurrentVersion);
        return false;
    }

    // A trigger or view of somebody else's in an SQLite file would run inside
    // the copy's reads or writes: such a file is neither read nor written.
    for (SqlConnection* connection : {&source, &target}) {
        Schema::ObjectCheck check;
        QString reason;
        if (!Schema::CheckObjects(*connection, &check, &reason)) {
            *error = QStringLiteral("无法读取%1数据库的结构：%2")
                         .arg(connection == &source ? QStringLiteral("源") : QStringLiteral("目标"), reason);
            return false;
        }
        if (!check.foreign.isEmpty()) {
            *error = QStringLiteral("%1数据库 %2 中含有本程序以外的数据库对象：%3。")
                         .arg(connection == &source ? QStringLiteral("源") : QStringLiteral("目标"),
                              Describe(*connection), Schema::ObjectNames(check.foreign));
            return false;
        }
    }

    // The source is read as one state, the target written as one transaction.
    SqlTransaction reading(&source);
    const QString consistent = SqlDialect::ConsistentReads(&source);
    if (!reading.IsActive() || (!consistent.isEmpty() && !source.ExecRaw(consistent))) {
        *error = QStringLiteral("无法读取源数据库（它可能正被其他程序写入）：") + source.ErrorString();
        return false;
    }
    SqlTransaction writing(&target);
    if (!writing.IsActive()) {
        *error = QStringLiteral("无法写入目标数据库：") + target.ErrorString();
        return false;
    }
    QString reason;
    if (!Schema::Upgrade(target, &reason)) {
        *error = QStringLiteral("无法在目标数据库中建立表：") + reason + nothingWritten;
        return false;
    }
    for (const QString& table : Schema::DataTables()) {
        SqlStatement count(&target, "select count(*) from " + table);
        if (!count.Step()) {
            *error = QStringLiteral("读取目标数据库的表 %1 失败：%2").arg(table, count.ErrorString());
            return false;
        }
        if (const qint64 rows = count.ColumnValue(0).toLongLong(); rows > 0) {
            *error = QStringLiteral("目标数据库不是空的：表 %1 已有 %2 条记录。复制只写入空的数据库，"
                                    "不会覆盖或合并已有的数据。")
                         .arg(table)
                         .arg(rows) +
                     nothingWritten;
            return false;
        }
    }

    // The change log is copied as it stands: the rows copied into the
    // logged tables are no changes of their own.
    if (!ChangeLog::DropTriggers(target, &reason)) {
        *error = QStringLiteral("无法在目标数据库中建立表：") + reason + nothingWritten;
        return false;
    }
    report(QStringLiteral("从 %1\n复制到 %2").arg(Describe(source), Describe(target)));
    for (const QString& table : Schema::DataTables()) {
        if (!CopyTable(source, target, table, report, error)) {
            *error += nothingWritten;
            return false;
        }
    }
    if (!ChangeLog::CreateTriggers(target, &reason)) {
        *error = QStringLiteral("无法在目标数据库中建立触发器：") + reason + nothingWritten;
        return false;
    }
    if (!writing.Commit()) {
        *error = QStringLiteral("提交失败：") + target.ErrorString() + nothingWritten;
        return false;
    }
    reading.Rollback();
    // Statistics are a help, not a part of the copy: a failure only says so.
    for (const QString& table : Schema::DataTables()) {
        const QString analyze = SqlDialect::RefreshStatistics(&target, table);
        if (!analyze.isEmpty() && !target.ExecRaw(analyze)) {
            report(QStringLiteral("（更新服务器统计信息失败：%1；服务器稍后会自行更新。）")
                       .arg(target.ErrorString()));
            break;
        }
    }
    report(QStringLiteral("复制完成：%1 个表全部校验一致。").arg(Schema::DataTables().size()));
    return true;
}

bool CopyConfigured(const QString& to, const Report& report, QString* error)
{
    const QString wanted = to.trimmed().toLower();
    if (wanted != QLatin1String("postgresql") && wanted != QLatin1String("sqlite")) {
        *error = QStringLiteral("--to 只能是 postgresql 或 sqlite，而不是“%1”。").arg(to);
        return false;
    }
    const bool toServer = wanted == QLatin1String("postgresql");
    if (toServer == Settings::DatabaseIsServer()) {
        *error =
            QStringLiteral("Quorel.ini 的 [Database] Engine 已经是 %1。复制的源是配置的引擎，目标是另一种："
                           "从 SQLite 复制用 --to postgresql，从 PostgreSQL 复制用 --to sqlite。")
                .arg(Settings::DatabaseEngine());
        return false;
    }
    const QString file = GetAppDir() + "data/data.mdb";
    const PgServer server = Settings::DatabaseServer();

    SqlConnection source;
    if (!toServer) {
        if (!source.OpenServer(server)) {
            *error = QStringLiteral("无法连接源数据库服务器：") + source.ErrorString();
            return false;
        }
    } else if (!QFileInfo::exists(file)) {
        *error = QStringLiteral("找不到源数据库文件 %1。").arg(QDir::toNativeSeparators(file));
        return false;
    } else if (!source.Open(SqlConnection::MakeConnectionString(file))) {
        *error = QStringLiteral("无法打开源数据库 %1：%2")
                     .arg(QDir::toNativeSeparators(file), source.ErrorString());
        return false;
    }

    SqlConnection target;
    // A new file is written under a name of its own beside data.mdb and
    // takes that name only once it is complete and checked: a copy broken
    // off half-way never leaves a data.mdb that passes for a database.
    const QString building = file + ".copying";
    bool created = false;
    if (toServer) {
        if (!target.OpenServer(server)) {
            *error = QStringLiteral(
                         "无法连接目标数据库服务器（Quorel.ini 的 [Database] Host、Port、Name、User）：") +
                     target.ErrorString();
            return false;
        }
    } else if (QFileInfo::exists(file)) {
        if (!target.Open(SqlConnection::MakeConnectionString(file))) {
            *error = QStringLiteral("无法打开目标数据库 %1：%2")
                         .arg(QDir::toNativeSeparators(file), target.ErrorString());
            return false;
        }
    } else {
        // What an earlier copy broken off left behind.
        QFile::remove(building);
        QFile::remove(building + "-journal");
        created = QDir().mkpath(QFileInfo(file).absolutePath()) && target.Create(building);
        if (!created) {
            *error = QStringLiteral("无法创建目标数据库 %1：%2")
                         .arg(QDir::toNativeSeparators(building), target.ErrorString());
            QFile::remove(building);
            return false;
        }
    }

    bool copied = Copy(source, target, report, error);
    target.Close();
    if (created && copied)
        copied = PutInPlace(building, file, error);
    // A file made for a copy that failed would pass for a database next time.
    if (created && !copied) {
        QFile::remove(building);
        QFile::remove(building + "-journal");
    }
    return copied;
}

} // namespace DatabaseCopy
