#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;

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

// The statement as executed, for the command log: each "?" replaced by its
// value as a quoted literal.
QString RenderStatement(const QString& sql, const SqlArgs& args);

// The one database connection of a running program.  The connection string is
// kept as text, "Provider=SQLite3;Data Source=<file>;...", so that the
// database file can be read back from it.
class SqlConnection
{
public:
    SqlConnection() = default;
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
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // While open the string also names the mode, as the original provider did.
    QString ConnectionString() const;
    void SetConnectionString(const QString& text) { m_connectionString = text; }
    QString FileName() const;
    QString ErrorString() const { return m_error; }
    // SQLite's (extended) result code of the last failure, 0 when none.
    int ErrorCode() const { return m_errorCode; }
    sqlite3* Handle() const { return m_db; }
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int Changes() const;

    // Runs statements without logging (schema work, transactions).
    bool ExecRaw(const QString& sql);

    static QString MakeConnectionString(const QString& fileName);

private:
    bool OpenFile(const QString& fileName, int flags);
    bool CheckWritable();
    void Fail(int code, const QString& message);
    sqlite3* m_db = nullptr;
    QString m_connectionString;
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

    bool IsValid() const { return m_stmt != nullptr; }
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
    QVariant ColumnValue(int i) const;  // raw: qint64, double, QString, QByteArray, null
    int ColumnSqlType(int i) const;
    sqlite3_stmt* Handle() const { return m_stmt; }
    QString ErrorString() const { return m_error; }

private:
    void SetError();
    SqlConnection* m_connection;
    sqlite3_stmt* m_stmt = nullptr;
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
