#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;
class SqlEngine;
class SqlCursor;
struct PgServer;

// A value bound to a "?" of a statement.  Secret values (passwords) are
// bound like any other but written "***" in the command log.
struct SqlArg
{
    SqlArg(const QVariant& v) : value(v) {}
    SqlArg(const QString& v) : value(v) {}
    SqlArg(const char* v) : value(QString::fromUtf8(v)) {}
    SqlArg(int v) : value(qint64(v)) {}
    SqlArg(qint64 v) : value(v) {}
    SqlArg(double v) : value(v) {}
    SqlArg(const QDate& v) : value(v) {}
    SqlArg(const QDateTime& v) : value(v) {}
    static SqlArg Secret(const QString& v)
    {
        SqlArg a(v);
        a.secret = true;
        return a;
    }
    static SqlArg Null() { return SqlArg(QVariant()); }

    QVariant value;
    bool secret = false;
};
using SqlArgs = QVector<SqlArg>;

// Dates and date-times are stored as ISO text "yyyy-MM-dd HH:mm:ss" (a date
// at 00:00:00), so that comparing the text orders them.
QString SqlDateTimeText(const QDateTime& value);
QString SqlDateText(const QDate& value);
// A bound value as the text an engine receives (dates as above).
QString SqlValueText(const QVariant& value);

// The statement as executed, for the command log: each "?" replaced by its
// value as a quoted literal.
QString RenderStatement(const QString& sql, const SqlArgs& args);

// The one database connection of a running program, on one of two engines:
// an SQLite file (the default, one desk) or a PostgreSQL database (several
// desks).  The connection string is kept as text, "Provider=SQLite3;Data
// Source=<file>;..." or "Provider=PostgreSQL;Host=...;Port=...;Name=...;
// User=...", so that the database can be read back from it.
class SqlConnection
{
public:
    enum class Engine { SQLite, PostgreSQL };

    SqlConnection();
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // Opens an existing database file named by `connectionString` for
    // reading and writing; never creates one.  A file that can only be read
    // (permissions, a read-only medium) is refused with SQLITE_READONLY
    // rather than opened to fail at the first save.  false with
    // ErrorString() and ErrorCode() on failure.
    bool Open(const QString& connectionString);
    // Creates a new, empty database file (for --init-database).
    bool Create(const QString& fileName);
    // Opens a new, empty database that lives in memory only (a scratch
    // schema to compare a file with).
    bool CreateInMemory();
    // Connects to a PostgreSQL database; false with libpq's reason (server
    // unreachable within the connect timeout, login refused, no database).
    bool OpenServer(const PgServer& server);
    // Opens a second connection to the database `other` has open (a session
    // of its own, for reading on another thread); false when `other` is
    // closed or lives in memory, or the database refuses one more.
    bool OpenReaderOf(const SqlConnection& other);
    void Close();
    bool IsOpen() const { return m_engine != nullptr; }
    Engine GetEngine() const { return m_kind; }
    bool IsServer() const { return m_kind == Engine::PostgreSQL; }

    // While open the string also names the mode, as the original provider did.
    QString ConnectionString() const;
    void SetConnectionString(const QString& text) { m_connectionString = text; }
    // The database file; empty on a server.
    QString FileName() const;
    QString ErrorString() const { return m_error; }
    // SQLite's (extended) result code of the last failure, 0 when none; a
    // server's failures are 1.
    int ErrorCode() const { return m_errorCode; }
    // The SQLite handle; nullptr on a server.
    sqlite3* Handle() const;
    SqlEngine* EngineHandle() const { return m_engine.get(); }
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int Changes() const;
    // In a transaction on a live connection (never on a broken one).
    bool InTransaction() const;
    // A server connection broke inside a transaction the program has not
    // ended yet: the server has undone it, and every statement fails with
    // TransactionLostMessage() until the program ends it (SqlTransaction
    // does).  The next statement after that connects anew.
    bool TransactionLost() const;
    // The rowid of the last row inserted on SQLite (a server answers an
    // INSERT ... RETURNING instead).
    qint64 LastInsertRowid() const;

    // Runs statements without logging (schema work, transactions).
    bool ExecRaw(const QString& sql);

    // A server connection that broke (the server was restarted, the session
    // ended by an administrator) is made anew at the next statement outside
    // a transaction, which then runs on the new connection.  Each time, the
    // command log gets ReconnectedMessage() and `handler` is called with it,
    // on the thread that ran the statement.  The new connection is a new
    // session: whoever keeps state in the old one (a login the server
    // remembers, a lock) must establish it again.
    using ResetHandler = std::function<void(const QString& message)>;
    void SetResetHandler(ResetHandler handler) { m_resetHandler = std::move(handler); }
    static QString ReconnectedMessage();
    static QString TransactionLostMessage();
    // Who works through this connection, kept across a reconnect so that
    // ChangeLog::ApplySession can give a new session the same values.
    void SetSessionValues(const QString& userID, const QString& desk)
    {
        m_sessionUser = userID;
        m_sessionDesk = desk;
    }
    QString SessionUser() const { return m_sessionUser; }
    QString SessionDesk() const { return m_sessionDesk; }

    static QString MakeConnectionString(const QString& fileName);
    static QString MakeServerConnectionString(const PgServer& server);

private:
    bool OpenFile(const QString& fileName, int flags, bool checkWritable);
    void Fail(int code, const QString& message);
    std::unique_ptr<SqlEngine> m_engine;
    ResetHandler m_resetHandler;
    Engine m_kind = Engine::SQLite;
    QString m_connectionString;
    std::shared_ptr<const PgServer> m_server; // the server's address while open on one
    QString m_sessionUser;
    QString m_sessionDesk;
    QString m_error;
    int m_errorCode = 0;
};

// The connection every data-access function uses (owned by the data module).
SqlConnection* CurrentConnection();
void SetCurrentConnection(SqlConnection* connection);

// One prepared statement; finalised when it goes out of scope.
class SqlStatement
{
public:
    SqlStatement(SqlConnection* connection, const QString& sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool IsValid() const { return m_cursor != nullptr; }
    // Binds the values in order.  A text no engine would store as given (a
    // NUL character, half of a surrogate pair) is refused with an error that
    // names its column.
    bool Bind(const SqlArgs& args);
    // true while a row is available; check Failed() after it returns false.
    bool Step();
    bool Failed() const { return m_failed; }
    // Runs a statement that returns no rows.
    bool Exec(const SqlArgs& args = {});
    bool Reset();

    int ColumnCount() const;
    QString ColumnName(int i) const;
    QString ColumnDeclType(int i) const;
    QVariant ColumnValue(int i) const; // raw: qint64, double, QString, QByteArray, null
    bool ColumnIsNull(int i) const;
    bool ColumnIsText(int i) const;
    // The value's UTF-8 text without a copy, valid until the next Step.
    const char* ColumnText(int i, int* length) const;
    qint64 ColumnInt64(int i) const;
    // The SQLite statement; nullptr on a server.
    sqlite3_stmt* Handle() const;
    QString ErrorString() const { return m_error; }

private:
    SqlConnection* m_connection;
    QString m_sql;
    std::unique_ptr<SqlCursor> m_cursor;
    bool m_failed = false;
    QString m_error;
};

// All-or-nothing work: rolled back unless Commit() is called.
class SqlTransaction
{
public:
    explicit SqlTransaction(SqlConnection* connection);
    ~SqlTransaction();
    bool IsActive() const { return m_active; }
    bool Commit();
    void Rollback();

private:
    SqlConnection* m_connection;
    bool m_active = false;
    bool m_nested = false;
};
