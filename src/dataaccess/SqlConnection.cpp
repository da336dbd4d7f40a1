#include "SqlConnection.h"

#include <QDate>
#include <QDateTime>
#include <QFile>

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
        else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Double)
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

SqlConnection::~SqlConnection()
{
    Close();
    if (g_current == this)
        g_current = nullptr;
}

QString SqlConnection::MakeConnectionString(const QString& fileName)
{
    return "Provider=SQLite3;Data Source=" + fileName + ";Persist Security Info=True;Database Password=qvlrte507318;";
}

QString SqlConnection::ConnectionString() const
{
    if (!IsOpen())
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

int SqlConnection::Changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

bool SqlConnection::OpenFile(const QString& fileName, int flags)
{
    Close();
    Fail(SQLITE_OK, QString());
    if (fileName.isEmpty()) {
        Fail(SQLITE_MISUSE, QStringLiteral("连接字符串中没有数据库文件"));
        return false;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Fail(db ? sqlite3_extended_errcode(db) : rc,
             db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_extended_result_codes(m_db, 1);
    // Make sure the file really is a database before anybody uses it.
    if (!ExecRaw("PRAGMA schema_version")) {
        const int code = m_errorCode;
        const QString error = m_error;
        Close();
        Fail(code, error);
        return false;
    }
    return true;
}

bool SqlConnection::CheckWritable()
{
    // SQLite quietly falls back to reading when the file cannot be opened
    // for writing (permissions, a read-only medium).
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        Fail(SQLITE_READONLY, QStringLiteral("attempt to write a readonly database"));
        return false;
    }
    // A writable file in a folder that is not still cannot be changed: the
    // rollback journal beside it cannot be created.  Rewriting the header
    // inside a transaction that is rolled back opens the journal and changes
    // nothing.
    int version = 0;
    {
        SqlStatement statement(this, QStringLiteral("PRAGMA user_version"));
        if (!statement.Step()) {
            Fail(sqlite3_extended_errcode(m_db), statement.ErrorString());
            return false;
        }
        version = statement.ColumnValue(0).toInt();
    }
    if (!ExecRaw("BEGIN IMMEDIATE"))
        return false;
    const bool written = ExecRaw(QStringLiteral("PRAGMA user_version = %1").arg(version));
    int code = m_errorCode;
    const QString error = m_error;
    ExecRaw("ROLLBACK");
    if (written) {
        Fail(SQLITE_OK, QString());
        return true;
    }
    // Busy means another program holds the file; anything else, that it
    // cannot be written here.
    if ((code & 0xff) != SQLITE_BUSY && (code & 0xff) != SQLITE_LOCKED)
        code = SQLITE_READONLY;
    Fail(code, error);
    return false;
}

bool SqlConnection::Open(const QString& connectionString)
{
    m_connectionString = connectionString;
    if (!OpenFile(FileName(), SQLITE_OPEN_READWRITE))
        return false;
    if (!CheckWritable()) {
        const int code = m_errorCode;
        const QString error = m_error;
        Close();
        Fail(code, error);
        return false;
    }
    return true;
}

bool SqlConnection::Create(const QString& fileName)
{
    m_connectionString = MakeConnectionString(fileName);
    if (QFile::exists(fileName)) {
        Fail(SQLITE_CANTOPEN, QStringLiteral("数据库文件已经存在：") + fileName);
        return false;
    }
    return OpenFile(fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void SqlConnection::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqlConnection::ExecRaw(const QString& sql)
{
    if (!m_db) {
        Fail(SQLITE_MISUSE, QStringLiteral("数据库没有打开"));
        return false;
    }
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        Fail(sqlite3_extended_errcode(m_db), QString::fromUtf8(message ? message : sqlite3_errmsg(m_db)));
        sqlite3_free(message);
        return false;
    }
    return true;
}

// --- statement -----------------------------------------------------------------

SqlStatement::SqlStatement(SqlConnection* connection, const QString& sql) : m_connection(connection)
{
    if (!connection || !connection->Handle()) {
        m_error = QStringLiteral("数据库没有打开");
        m_failed = true;
        return;
    }
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(connection->Handle(), text.constData(), text.size(), &m_stmt, &tail) != SQLITE_OK) {
        SetError();
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        return;
    }
    if (!m_stmt) {
        m_error = QStringLiteral("空语句");
        m_failed = true;
        return;
    }
    // One statement per call: trailing text other than blanks and ";" is refused,
    // so a value can never smuggle in a second statement.
    const QByteArray rest = QByteArray(tail).trimmed();
    if (!rest.isEmpty() && rest != ";") {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_error = QStringLiteral("一次只能执行一条语句");
        m_failed = true;
    }
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqlStatement::SetError()
{
    m_failed = true;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_connection->Handle()));
}

bool SqlStatement::Bind(const SqlArgs& args)
{
    if (!m_stmt)
        return false;
    const int expected = sqlite3_bind_parameter_count(m_stmt);
    if (expected != args.size()) {
        m_failed = true;
        m_error = QStringLiteral("参数个数不符：需要 %1 个，给出 %2 个").arg(expected).arg(args.size());
        return false;
    }
    for (int i = 0; i < args.size(); ++i) {
        const QVariant& v = args[i].value;
        int rc;
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(m_stmt, i + 1);
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            rc = v.isNull() ? sqlite3_bind_null(m_stmt, i + 1) : sqlite3_bind_int64(m_stmt, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, i + 1, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob(m_stmt, i + 1, b.constData(), b.size(), SQLITE_TRANSIENT);
            break;
        }
        default: {
            QString text;
            if (v.typeId() == QMetaType::QDate)
                text = SqlDateText(v.toDate());
            else if (v.typeId() == QMetaType::QDateTime)
                text = SqlDateTimeText(v.toDateTime());
            else
                text = v.toString();
            if (v.isNull() && v.typeId() != QMetaType::QString) {
                rc = sqlite3_bind_null(m_stmt, i + 1);
            } else {
                const QByteArray u = text.toUtf8();
                rc = sqlite3_bind_text(m_stmt, i + 1, u.constData(), u.size(), SQLITE_TRANSIENT);
            }
        }
        }
        if (rc != SQLITE_OK) {
            SetError();
            return false;
        }
    }
    return true;
}

bool SqlStatement::Step()
{
    if (!m_stmt || m_failed)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        SetError();
    return false;
}

bool SqlStatement::Exec(const SqlArgs& args)
{
    if (!m_stmt || m_failed)
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
    return m_stmt && sqlite3_reset(m_stmt) == SQLITE_OK && sqlite3_clear_bindings(m_stmt) == SQLITE_OK;
}

int SqlStatement::ColumnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString SqlStatement::ColumnName(int i) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

QString SqlStatement::ColumnDeclType(int i) const
{
    const char* t = sqlite3_column_decltype(m_stmt, i);
    return t ? QString::fromUtf8(t) : QString();
}

int SqlStatement::ColumnSqlType(int i) const
{
    return sqlite3_column_type(m_stmt, i);
}

QVariant SqlStatement::ColumnValue(int i) const
{
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(m_stmt, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, i);
    case SQLITE_TEXT: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i));
    }
    case SQLITE_BLOB: {
        const char* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, i));
        return QByteArray(data, sqlite3_column_bytes(m_stmt, i));
    }
    default:
        return QVariant();
    }
}

// --- transaction -----------------------------------------------------------------

SqlTransaction::SqlTransaction(SqlConnection* connection) : m_connection(connection)
{
    if (!connection || !connection->Handle())
        return;
    // The outermost transaction takes the write lock at once, so two programs
    // sharing the file cannot both read a counter before either writes it;
    // inside another transaction a savepoint nests the work.
    m_nested = sqlite3_get_autocommit(connection->Handle()) == 0;
    m_active = connection->ExecRaw(m_nested ? "SAVEPOINT weibao_nested" : "BEGIN IMMEDIATE");
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
    } else {
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
