#pragma once

#include "SqlEngine.h"

struct sqlite3;
struct sqlite3_stmt;

// The embedded engine: one SQLite database file through its C API.
class SqliteEngine : public SqlEngine
{
public:
    // Opens `fileName` with SQLite's open flags; nullptr with the reason and
    // SQLite's extended result code.  With `checkWritable` a file that can
    // only be read is refused (SQLITE_READONLY), and a file another program
    // holds locked is refused (SQLITE_BUSY).
    static std::unique_ptr<SqliteEngine> Open(const QString& fileName, int flags, bool checkWritable,
                                              QString* error, int* code);
    ~SqliteEngine() override;

    bool ExecRaw(const QString& sql, QString* error, int* code) override;
    std::unique_ptr<SqlCursor> Prepare(const QString& sql, QString* error) override;
    int Changes() const override;
    bool InTransaction() const override;
    qint64 LastInsertRowid() const;
    sqlite3* Handle() const { return m_db; }

private:
    explicit SqliteEngine(sqlite3* db) : m_db(db) {}
    bool CheckWritable(QString* error, int* code);
    sqlite3* m_db;
};

class SqliteCursor : public SqlCursor
{
public:
    SqliteCursor(sqlite3* db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt) {}
    ~SqliteCursor() override;
    int ParameterCount() const override;
    bool Bind(const SqlArgs& args, QString* error) override;
    StepResult Step(QString* error) override;
    bool Reset() override;
    int ColumnCount() const override;
    QString ColumnName(int i) const override;
    QString ColumnDeclType(int i) const override;
    bool ColumnIsNull(int i) const override;
    bool ColumnIsText(int i) const override;
    QVariant ColumnValue(int i) const override;
    const char* ColumnText(int i, int* length) const override;
    qint64 ColumnInt64(int i) const override;
    sqlite3_stmt* Handle() const { return m_stmt; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt;
    bool m_started = false; // a row was returned since the last reset
};
