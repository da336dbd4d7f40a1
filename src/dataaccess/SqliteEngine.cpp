#include "SqliteEngine.h"

#include "SqlConnection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sqlite3.h>

namespace {
// How long a statement waits for another program's lock before it fails.
constexpr int BusyTimeoutMs = 5000;

// Waits for another program's lock by looking again every millisecond.
// SQLite's own timeout looks ever more rarely (up to every 100 ms) and so
// keeps missing the moment between two of the other program's transactions
// when that one writes without pause: it could wait out its whole time.
int WaitForLock(void*, int tries)
{
    if (tries >= BusyTimeoutMs)
        return 0;
    QThread::usleep(1000);
    return 1;
}

// NewValuesObject(name, value, ...): the text json_object(name,
// json_array(NULL, value), ...) makes of names and values that are texts or
// NULL, byte for byte, in one pass: '{"name":[null,"value"],...}'.  The
// change log's row of an inserted record is of this form; built by the
// library's JSON functions it costs a call, a copy and an allocation per
// column, a large part of an import.  Quoted as the library quotes: '"'
// and '\' escaped, the control characters as \b \t \n \f \r or \u00xx,
// every other byte as it stands.
void AppendJsonString(QByteArray* out, const unsigned char* text, int bytes)
{
    static const char special[32] = {0, 0, 0, 0, 0, 0, 0, 0, 'b', 't', 'n', 0, 'f', 'r', 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0};
    out->append('"');
    int plain = 0; // bytes at the end of `text` read but not yet copied
    for (int i = 0; i < bytes; ++i) {
        const unsigned char c = text[i];
        if (c >= 0x20 && c != '"' && c != '\\') {
            ++plain;
            continue;
        }
        out->append(reinterpret_cast<const char*>(text) + i - plain, plain);
        plain = 0;
        if (c == '"' || c == '\\') {
            out->append('\\').append(char(c));
        } else if (special[c]) {
            out->append('\\').append(special[c]);
        } else {
            const char digits[] = {'\\', 'u', '0', '0', char('0' + (c >> 4)), "0123456789abcdef"[c & 0xf]};
            out->append(digits, sizeof digits);
        }
    }
    out->append(reinterpret_cast<const char*>(text) + bytes - plain, plain);
    out->append('"');
}

void NewValuesObject(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc % 2 != 0) {
        sqlite3_result_error(context, "NewValuesObject() needs names and values in pairs", -1);
        return;
    }
    // Kept between calls for its capacity: one per connection.
    QByteArray* out = static_cast<QByteArray*>(sqlite3_user_data(context));
    out->resize(0);
    out->append('{');
    for (int i = 0; i < argc; i += 2) {
        if (sqlite3_value_type(argv[i]) != SQLITE_TEXT) {
            sqlite3_result_error(context, "NewValuesObject(): a name is no text", -1);
            return;
        }
        if (i > 0)
            out->append(',');
        const unsigned char* name = sqlite3_value_text(argv[i]);
        AppendJsonString(out, name, sqlite3_value_bytes(argv[i]));
        out->append(":[null,", 7);
        const int type = sqlite3_value_type(argv[i + 1]);
        if (type == SQLITE_NULL) {
            out->append("null", 4);
        } else if (type == SQLITE_TEXT) {
            const unsigned char* value = sqlite3_value_text(argv[i + 1]);
            AppendJsonString(out, value, sqlite3_value_bytes(argv[i + 1]));
        } else {
            sqlite3_result_error(context, "NewValuesObject(): a value is neither text nor NULL", -1);
            return;
        }
        out->append(']');
    }
    out->append('}');
    sqlite3_result_text(context, out->constData(), int(out->size()), SQLITE_TRANSIENT);
}
} // namespace

std::unique_ptr<SqliteEngine> SqliteEngine::Open(const QString& fileName, int flags, bool checkWritable,
                                                 QString* error, int* code)
{
    // With its memory statistics on, the library takes a lock of its own
    // for every allocation and release to count it; nothing here reads
    // them.  Only possible before the library's first use (a later call is
    // refused and changes nothing).
    static const bool noMemoryStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(noMemoryStatistics);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        *code = db ? sqlite3_extended_errcode(db) : rc;
        *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<SqliteEngine> engine(new SqliteEngine(db));
    sqlite3_busy_handler(db, WaitForLock, nullptr);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_create_function_v2(
        db, "NewValuesObject", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, new QByteArray,
        NewValuesObject, nullptr, nullptr, [](void* buffer) { delete static_cast<QByteArray*>(buffer); });
    // Make sure the file really is a database before anybody uses it.
    if (!engine->ExecRaw("PRAGMA schema_version", error, code))
        return nullptr;
    if (checkWritable && !engine->CheckWritable(error, code))
        return nullptr;
    return engine;
}

SqliteEngine::~SqliteEngine()
{
    sqlite3_close_v2(m_db);
}

bool SqliteEngine::CheckWritable(QString* error, int* code)
{
    // SQLite quietly falls back to reading when the file cannot be opened
    // for writing (permissions, a read-only medium).
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        *code = SQLITE_READONLY;
        *error = QStringLiteral("attempt to write a readonly database");
        return false;
    }
    // A writable file in a folder that is not still cannot be changed: the
    // rollback journal beside it cannot be created.  Rewriting the header
    // inside a transaction that is rolled back opens the journal and changes
    // nothing.
    int version = 0;
    {
        std::unique_ptr<SqlCursor> statement = Prepare(QStringLiteral("PRAGMA user_version"), error);
        if (!statement || statement->Step(error) != SqlCursor::Row) {
            *code = sqlite3_extended_errcode(m_db);
            return false;
        }
        version = int(statement->ColumnInt64(0));
    }
    if (!ExecRaw("BEGIN IMMEDIATE", error, code))
        return false;
    const bool written = ExecRaw(QStringLiteral("PRAGMA user_version = %1").arg(version), error, code);
    QString ignored;
    int ignoredCode = 0;
    ExecRaw("ROLLBACK", &ignored, &ignoredCode);
    if (written)
        return true;
    // Busy means another program holds the file; anything else, that it
    // cannot be written here.
    if ((*code & 0xff) != SQLITE_BUSY && (*code & 0xff) != SQLITE_LOCKED)
        *code = SQLITE_READONLY;
    return false;
}

bool SqliteEngine::ExecRaw(const QString& sql, QString* error, int* code)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        *code = sqlite3_extended_errcode(m_db);
        *error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
        sqlite3_free(message);
        return false;
    }
    return true;
}

std::unique_ptr<SqlCursor> SqliteEngine::Prepare(const QString& sql, QString* error)
{
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, &tail) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (!stmt) {
        *error = QStringLiteral("空语句");
        return nullptr;
    }
    // One statement per call: trailing text other than blanks and ";" is refused,
    // so a value can never smuggle in a second statement.
    const QByteArray rest = QByteArray(tail).trimmed();
    if (!rest.isEmpty() && rest != ";") {
        sqlite3_finalize(stmt);
        *error = QStringLiteral("一次只能执行一条语句");
        return nullptr;
    }
    return std::make_unique<SqliteCursor>(m_db, stmt);
}

int SqliteEngine::Changes() const
{
    return sqlite3_changes(m_db);
}

bool SqliteEngine::InTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

qint64 SqliteEngine::LastInsertRowid() const
{
    return sqlite3_last_insert_rowid(m_db);
}

// --- statement -------------------------------------------------------------------

SqliteCursor::~SqliteCursor()
{
    sqlite3_finalize(m_stmt);
}

int SqliteCursor::ParameterCount() const
{
    return sqlite3_bind_parameter_count(m_stmt);
}

bool SqliteCursor::Bind(const SqlArgs& args, QString* error)
{
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
            rc = v.isNull() ? sqlite3_bind_null(m_stmt, i + 1)
                            : sqlite3_bind_int64(m_stmt, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, i + 1, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob(m_stmt, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            if (v.isNull() && v.typeId() != QMetaType::QString) {
                rc = sqlite3_bind_null(m_stmt, i + 1);
            } else {
                const QByteArray u = SqlValueText(v).toUtf8();
                rc = sqlite3_bind_text(m_stmt, i + 1, u.constData(), int(u.size()), SQLITE_TRANSIENT);
            }
        }
        }
        if (rc != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return false;
        }
    }
    return true;
}

SqlCursor::StepResult SqliteCursor::Step(QString* error)
{
    int rc = sqlite3_step(m_stmt);
    // A write outside a transaction takes the read lock first and then the
    // write lock.  When another program is committing at that moment, SQLite
    // refuses at once instead of waiting (waiting could deadlock): the
    // statement has changed nothing, so it is tried again, for as long as
    // the connection's busy timeout allows.
    if ((rc & 0xff) == SQLITE_BUSY && !m_started && sqlite3_get_autocommit(m_db) != 0 &&
        !sqlite3_stmt_readonly(m_stmt)) {
        QElapsedTimer waited;
        waited.start();
        while ((rc & 0xff) == SQLITE_BUSY && waited.elapsed() < BusyTimeoutMs) {
            sqlite3_reset(m_stmt);
            QThread::usleep(1000);
            rc = sqlite3_step(m_stmt);
        }
    }
    if (rc == SQLITE_ROW) {
        m_started = true;
        return Row;
    }
    m_started = false;
    if (rc == SQLITE_DONE)
        return Done;
    *error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return Error;
}

bool SqliteCursor::Reset()
{
    m_started = false;
    return sqlite3_reset(m_stmt) == SQLITE_OK && sqlite3_clear_bindings(m_stmt) == SQLITE_OK;
}

int SqliteCursor::ColumnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString SqliteCursor::ColumnName(int i) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

QString SqliteCursor::ColumnDeclType(int i) const
{
    const char* t = sqlite3_column_decltype(m_stmt, i);
    return t ? QString::fromUtf8(t) : QString();
}

bool SqliteCursor::ColumnIsNull(int i) const
{
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

bool SqliteCursor::ColumnIsText(int i) const
{
    return sqlite3_column_type(m_stmt, i) == SQLITE_TEXT;
}

const char* SqliteCursor::ColumnText(int i, int* length) const
{
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    *length = sqlite3_column_bytes(m_stmt, i);
    return text;
}

qint64 SqliteCursor::ColumnInt64(int i) const
{
    return sqlite3_column_int64(m_stmt, i);
}

QVariant SqliteCursor::ColumnValue(int i) const
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
