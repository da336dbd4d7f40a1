#include "SqlConnection.h"

#include <QDate>
#include <QDateTime>
#include <QFile>

#include "PgEngine.h"
#include "SqliteEngine.h"

#include <sqlite3.h>

namespace {
SqlConnection* g_current = nullptr;

QString Quoted(const QString& text)
{
    QString t = text;
    t.replace('\'', "''");
    return '\'' + t + '\'';
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

bool SqlConnection::OpenServer(const PgServer& server)
{
    Close();
    Fail(SQLITE_OK, QString());
    m_kind = Engine::PostgreSQL;
    m_connectionString = MakeServerConnectionString(server);
    QString error;
    m_engine = PgEngine::Open(server, &error);
    if (!m_engine) {
        Fail(SQLITE_ERROR, error);
        return false;
    }
    return true;
}

void SqlConnection::Close()
{
    m_engine.reset();
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

SqlStatement::SqlStatement(SqlConnection* connection, const QString& sql) : m_connection(connection)
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
    } else if (m_connection->InTransaction()) {
        // A server ends a transaction whose COMMIT failed by itself.
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
