#include "SqlConnection.h"

#include <QDate>
#include <QDateTime>
#include <QFile>

#include "ChangeLog.h"
#include "CommandLog.h"
#include "PgEngine.h"
#include "SqliteEngine.h"

#include <sqlite3.h>

namespace {
SqlConnection* g_current = nullptr;

QString Quoted(const QString& text)
{
    QString t = text;
    t.replace('\'', "''");
    // A NUL would end the line for every reader of the log.
    t.replace(QChar(0), QLatin1String("\\0"));
    return '\'' + t + '\'';
}

// What in a text no engine stores as it is: a NUL (a server cuts the text
// there) or half of a UTF-16 surrogate pair (it has no UTF-8 form and would
// become "?").  Empty when the text is fine.
QString UnstorableCharacter(const QString& text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isNull())
            return QStringLiteral("空字符");
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return QStringLiteral("不成对的代理字符 U+%1")
                .arg(uint(c.unicode()), 4, 16, QLatin1Char('0'))
                .toUpper();
    }
    return {};
}

bool IsNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == '_' || c == '.' || c == '"';
}

// The column a "?" of a statement is for, so that a refused value can be
// named: "column = ?" (or <, >, like ...) and the column list of
// "insert into table (a, b) values (?, ?)".  Empty when it cannot be told.
QString ParameterColumn(const QString& sql, int index)
{
    // Where the mark is, outside quotes, and where VALUES tuples begin.
    qsizetype at = -1;
    int seen = 0;
    QChar quote;
    for (qsizetype i = 0; i < sql.size() && at < 0; ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?' && seen++ == index) {
            at = i;
        }
    }
    if (at < 0)
        return {};
    qsizetype i = at - 1;
    while (i >= 0 && sql[i].isSpace())
        --i;
    // "column <operator> ?"
    const qsizetype operatorEnd = i;
    while (i >= 0 && QStringLiteral("=<>!").contains(sql[i]))
        --i;
    if (i == operatorEnd) {
        for (const QLatin1String word : {QLatin1String("like"), QLatin1String("glob")})
            if (i + 1 >= word.size() &&
                sql.mid(i + 1 - word.size(), word.size()).compare(word, Qt::CaseInsensitive) == 0) {
                i -= word.size();
                break;
            }
    }
    if (i != operatorEnd) {
        while (i >= 0 && sql[i].isSpace())
            --i;
        const qsizetype end = i + 1;
        while (i >= 0 && IsNameCharacter(sql[i]))
            --i;
        QString name = sql.mid(i + 1, end - i - 1);
        name.remove('"');
        return name.section('.', -1);
    }
    // "insert into t (a, b) values (?, ?), (?, ?)": the mark's place in its
    // tuple picks the column.
    const qsizetype values = sql.lastIndexOf(QLatin1String("values"), at, Qt::CaseInsensitive);
    const qsizetype open = sql.indexOf('(');
    const qsizetype close = sql.indexOf(')', open);
    if (values < 0 || open < 0 || close < 0 || close > values ||
        !sql.trimmed().startsWith(QLatin1String("insert"), Qt::CaseInsensitive))
        return {};
    int position = 0;
    for (qsizetype j = at - 1; j > values && sql[j] != '('; --j)
        if (sql[j] == ',')
            ++position;
    const QStringList columns = sql.mid(open + 1, close - open - 1).split(',');
    if (position >= columns.size())
        return {};
    QString name = columns[position].trimmed();
    name.remove('"');
    return name;
}
} // namespace

QString SqlDateTimeText(const QDateTime& value)
{
    return value.toString("yyyy-MM-dd HH:mm:ss");
}

QString SqlDateText(const QDate& value)
{
    return value.toString("yyyy-MM-dd") + " 00:00:00";
}

QString SqlValueText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate)
        return SqlDateText(value.toDate());
    if (value.typeId() == QMetaType::QDateTime)
        return SqlDateTimeText(value.toDateTime());
    return value.toString();
}

QString RenderStatement(const QString& sql, const SqlArgs& args)
{
    if (args.isEmpty())
        return sql;
    QString out;
    out.reserve(sql.size() + 16 * args.size());
    int next = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            out += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c != '?' || next >= args.size()) {
            out += c;
            continue;
        }
        const SqlArg& arg = args[next++];
        const QVariant& v = arg.value;
        if (arg.secret)
            out += "'***'";
        else if (v.isNull())
            out += "NULL";
        else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int ||
                 v.typeId() == QMetaType::Double)
            out += v.toString();
        else if (v.typeId() == QMetaType::QDate)
            out += Quoted(SqlDateText(v.toDate()));
        else if (v.typeId() == QMetaType::QDateTime)
            out += Quoted(SqlDateTimeText(v.toDateTime()));
        else
            out += Quoted(v.toString());
    }
    return out;
}

// --- connection ------------------------------------------------------------

SqlConnection* CurrentConnection()
{
    return g_current;
}

void SetCurrentConnection(SqlConnection* connection)
{
    g_current = connection;
}

SqlConnection::SqlConnection() = default;

SqlConnection::~SqlConnection()
{
    Close();
    if (g_current == this)
        g_current = nullptr;
}

QString SqlConnection::MakeConnectionString(const QString& fileName)
{
    return "Provider=SQLite3;Data Source=" + fileName +
           ";Persist Security Info=True;Database Password=qvlrte507318;";
}

QString SqlConnection::MakeServerConnectionString(const PgServer& server)
{
    // No password: libpq takes it from ~/.pgpass or the service file.
    return QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Name=%3;User=%4;")
        .arg(server.host, server.port > 0 ? QString::number(server.port) : QString(), server.name,
             server.user);
}

QString SqlConnection::ConnectionString() const
{
    if (!IsOpen() || IsServer())
        return m_connectionString;
    // Like the original provider, an open connection reports its mode right
    // after the data source.
    QString text = m_connectionString;
    const int start = text.indexOf("Data Source=");
    if (start >= 0) {
        const int end = text.indexOf(';', start);
        text.insert(end < 0 ? text.size() : end, ";Mode=Share Deny None");
    }
    return text;
}

QString SqlConnection::FileName() const
{
    const int start = m_connectionString.indexOf("Data Source=");
    if (start < 0)
        return {};
    const int from = start + int(strlen("Data Source="));
    const int end = m_connectionString.indexOf(';', from);
    return m_connectionString.mid(from, end < 0 ? -1 : end - from);
}

void SqlConnection::Fail(int code, const QString& message)
{
    m_errorCode = code;
    m_error = message;
}

sqlite3* SqlConnection::Handle() const
{
    return m_engine && !IsServer() ? static_cast<SqliteEngine*>(m_engine.get())->Handle() : nullptr;
}

int SqlConnection::Changes() const
{
    return m_engine ? m_engine->Changes() : 0;
}

qint64 SqlConnection::LastInsertRowid() const
{
    return m_engine && !IsServer() ? static_cast<SqliteEngine*>(m_engine.get())->LastInsertRowid() : 0;
}

bool SqlConnection::InTransaction() const
{
    return m_engine && m_engine->InTransaction();
}

bool SqlConnection::TransactionLost() const
{
    return m_engine && m_engine->TransactionLost();
}

QString SqlConnection::ReconnectedMessage()
{
    return QStringLiteral("与数据库服务器的连接已断开，已重新连接。");
}

QString SqlConnection::TransactionLostMessage()
{
    return QStringLiteral("与数据库服务器的连接已断开，所做的修改已全部撤销");
}

bool SqlConnection::OpenFile(const QString& fileName, int flags, bool checkWritable)
{
    Close();
    Fail(SQLITE_OK, QString());
    m_kind = Engine::SQLite;
    if (fileName.isEmpty()) {
        Fail(SQLITE_MISUSE, QStringLiteral("连接字符串中没有数据库文件"));
        return false;
    }
    QString error;
    int code = SQLITE_OK;
    m_engine = SqliteEngine::Open(fileName, flags, checkWritable, &error, &code);
    if (!m_engine) {
        Fail(code, error);
        return false;
    }
    return true;
}

bool SqlConnection::Open(const QString& connectionString)
{
    m_connectionString = connectionString;
    return OpenFile(FileName(), SQLITE_OPEN_READWRITE, true);
}

bool SqlConnection::Create(const QString& fileName)
{
    m_connectionString = MakeConnectionString(fileName);
    if (QFile::exists(fileName)) {
        Fail(SQLITE_CANTOPEN, QStringLiteral("数据库文件已经存在：") + fileName);
        return false;
    }
    return OpenFile(fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false);
}

bool SqlConnection::CreateInMemory()
{
    m_connectionString = MakeConnectionString(QStringLiteral(":memory:"));
    return OpenFile(QStringLiteral(":memory:"),
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY, false);
}

bool SqlConnection::OpenServer(const PgServer& server)
{
    Close();
    Fail(SQLITE_OK, QString());
    m_kind = Engine::PostgreSQL;
    m_connectionString = MakeServerConnectionString(server);
    QString error;
    std::unique_ptr<PgEngine> engine = PgEngine::Open(server, &error);
    if (!engine) {
        Fail(SQLITE_ERROR, error);
        return false;
    }
    engine->SetResetHandler([this] {
        WriteLogLine(ReconnectedMessage());
        // A new session knows nothing of the old one's settings: the change
        // log's user and desk are given to it again before the statement
        // that found the break runs.  Not again while doing so, should the
        // server drop this session too.
        static thread_local bool reapplying = false;
        if (!reapplying) {
            reapplying = true;
            ChangeLog::ApplySession(*this);
            reapplying = false;
        }
        if (m_resetHandler)
            m_resetHandler(ReconnectedMessage());
    });
    m_engine = std::move(engine);
    m_server = std::make_shared<const PgServer>(server);
    return true;
}

bool SqlConnection::OpenReaderOf(const SqlConnection& other)
{
    if (!other.IsOpen())
        return false;
    if (other.IsServer())
        return other.m_server && OpenServer(*other.m_server);
    const QString file = other.FileName();
    if (file.isEmpty() || file == QLatin1String(":memory:"))
        return false;
    m_connectionString = other.m_connectionString;
    return OpenFile(file, SQLITE_OPEN_READONLY, false);
}

void SqlConnection::Close()
{
    m_engine.reset();
    m_server.reset();
}

bool SqlConnection::ExecRaw(const QString& sql)
{
    if (!m_engine) {
        Fail(SQLITE_MISUSE, QStringLiteral("数据库没有打开"));
        return false;
    }
    QString error;
    int code = SQLITE_OK;
    if (!m_engine->ExecRaw(sql, &error, &code)) {
        Fail(code, error);
        return false;
    }
    return true;
}

// --- statement -----------------------------------------------------------------

SqlStatement::SqlStatement(SqlConnection* connection, const QString& sql)
    : m_connection(connection), m_sql(sql)
{
    if (!connection || !connection->IsOpen()) {
        m_error = QStringLiteral("数据库没有打开");
        m_failed = true;
        return;
    }
    m_cursor = connection->EngineHandle()->Prepare(sql, &m_error);
    if (!m_cursor)
        m_failed = true;
}

SqlStatement::~SqlStatement() = default;

sqlite3_stmt* SqlStatement::Handle() const
{
    return m_cursor && !m_connection->IsServer() ? static_cast<SqliteCursor*>(m_cursor.get())->Handle()
                                                 : nullptr;
}

bool SqlStatement::Bind(const SqlArgs& args)
{
    if (!m_cursor)
        return false;
    const int expected = m_cursor->ParameterCount();
    if (expected != args.size()) {
        m_failed = true;
        m_error = QStringLiteral("参数个数不符：需要 %1 个，给出 %2 个").arg(expected).arg(args.size());
        return false;
    }
    for (int i = 0; i < args.size(); ++i) {
        if (args[i].value.typeId() != QMetaType::QString)
            continue;
        const QString problem = UnstorableCharacter(args[i].value.toString());
        if (problem.isEmpty())
            continue;
        const QString column = ParameterColumn(m_sql, i);
        m_failed = true;
        m_error = column.isEmpty()
                      ? QStringLiteral("文本中含有不能保存的字符（第 %1 个值中的%2）").arg(i + 1).arg(problem)
                      : QStringLiteral("文本中含有不能保存的字符（字段 %1 中的%2）").arg(column, problem);
        return false;
    }
    if (!m_cursor->Bind(args, &m_error)) {
        m_failed = true;
        return false;
    }
    return true;
}

bool SqlStatement::Step()
{
    if (!m_cursor || m_failed)
        return false;
    switch (m_cursor->Step(&m_error)) {
    case SqlCursor::Row:
        return true;
    case SqlCursor::Done:
        return false;
    case SqlCursor::Error:
        m_failed = true;
        return false;
    }
    return false;
}

bool SqlStatement::Exec(const SqlArgs& args)
{
    if (!m_cursor || m_failed)
        return false;
    if (!Bind(args))
        return false;
    while (Step()) {
    }
    return !m_failed;
}

bool SqlStatement::Reset()
{
    m_failed = false;
    return m_cursor && m_cursor->Reset();
}

int SqlStatement::ColumnCount() const
{
    return m_cursor ? m_cursor->ColumnCount() : 0;
}

QString SqlStatement::ColumnName(int i) const
{
    return m_cursor->ColumnName(i);
}

QString SqlStatement::ColumnDeclType(int i) const
{
    return m_cursor->ColumnDeclType(i);
}

bool SqlStatement::ColumnIsNull(int i) const
{
    return m_cursor->ColumnIsNull(i);
}

bool SqlStatement::ColumnIsText(int i) const
{
    return m_cursor->ColumnIsText(i);
}

const char* SqlStatement::ColumnText(int i, int* length) const
{
    return m_cursor->ColumnText(i, length);
}

qint64 SqlStatement::ColumnInt64(int i) const
{
    return m_cursor->ColumnInt64(i);
}

QVariant SqlStatement::ColumnValue(int i) const
{
    return m_cursor->ColumnValue(i);
}

// --- transaction -----------------------------------------------------------------

SqlTransaction::SqlTransaction(SqlConnection* connection) : m_connection(connection)
{
    if (!connection || !connection->IsOpen())
        return;
    // The outermost transaction takes SQLite's write lock at once, so two
    // programs sharing the file cannot both read a counter before either
    // writes it (a server locks the rows it changes instead); inside another
    // transaction a savepoint nests the work.
    m_nested = connection->InTransaction();
    m_active = connection->ExecRaw(m_nested ? "SAVEPOINT weibao_nested"
                                            : (connection->IsServer() ? "BEGIN" : "BEGIN IMMEDIATE"));
}

SqlTransaction::~SqlTransaction()
{
    if (m_active)
        Rollback();
}

void SqlTransaction::Rollback()
{
    m_active = false;
    if (m_nested) {
        m_connection->ExecRaw("ROLLBACK TO weibao_nested");
        m_connection->ExecRaw("RELEASE weibao_nested");
    } else if (m_connection->InTransaction() || m_connection->TransactionLost()) {
        // A server ends a transaction whose COMMIT failed by itself; one
        // whose connection broke is ended here so the next can reconnect.
        m_connection->ExecRaw("ROLLBACK");
    }
}

bool SqlTransaction::Commit()
{
    if (!m_active)
        return false;
    if (m_connection->ExecRaw(m_nested ? "RELEASE weibao_nested" : "COMMIT")) {
        m_active = false;
        return true;
    }
    Rollback();
    return false;
}
