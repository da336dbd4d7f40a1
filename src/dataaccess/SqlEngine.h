#pragma once

#include <QString>
#include <QVariant>
#include <memory>

struct SqlArg;
using SqlArgs = QVector<SqlArg>;

// What one database engine must do for SqlConnection and SqlStatement.
// Each engine lives in its own file (SqliteEngine, PgEngine); the SQL text
// that differs between engines lives in SqlDialect.

// One prepared statement of an engine: bound, stepped row by row.
class SqlCursor
{
public:
    enum StepResult { Row, Done, Error };
    virtual ~SqlCursor() = default;
    virtual int ParameterCount() const = 0;
    virtual bool Bind(const SqlArgs& args, QString* error) = 0;
    virtual StepResult Step(QString* error) = 0;
    virtual bool Reset() = 0;
    virtual int ColumnCount() const = 0;
    virtual QString ColumnName(int i) const = 0;
    // The declared type in SQLite words ("INTEGER", "TEXT(10)", "DATETIME",
    // "REAL", "BLOB"); empty for a computed column.
    virtual QString ColumnDeclType(int i) const = 0;
    virtual bool ColumnIsNull(int i) const = 0;
    // Text, as opposed to a number or bytes (dates are text on both engines).
    virtual bool ColumnIsText(int i) const = 0;
    // The value as qint64, double, QString or QByteArray; null for NULL.
    virtual QVariant ColumnValue(int i) const = 0;
    // The value's text (UTF-8) without a copy, valid until the next Step.
    virtual const char* ColumnText(int i, int* length) const = 0;
    virtual qint64 ColumnInt64(int i) const = 0;
};

// One open connection of an engine.
class SqlEngine
{
public:
    virtual ~SqlEngine() = default;
    // Runs statements that return nothing (schema work, transactions).
    virtual bool ExecRaw(const QString& sql, QString* error, int* code) = 0;
    // Prepares one statement written with "?" marks; nullptr with `error`.
    virtual std::unique_ptr<SqlCursor> Prepare(const QString& sql, QString* error) = 0;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    virtual int Changes() const = 0;
    // In a transaction on a live connection.
    virtual bool InTransaction() const = 0;
    // The connection broke inside a transaction that has not been ended yet
    // (a server only): the transaction is gone, its statements fail.
    virtual bool TransactionLost() const { return false; }
};
