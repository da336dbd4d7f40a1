#pragma once

#include "SqlEngine.h"

#include <QByteArray>
#include <QVector>
#include <functional>

struct pg_conn;
struct pg_result;

// Where a PostgreSQL database is: the [Database] keys of Quorel.ini.  The
// password is never part of it: libpq reads it from ~/.pgpass or a service
// file, as every PostgreSQL client does.
struct PgServer
{
    QString host;            // a name, an address or a socket folder; empty: libpq's default
    int port = 0;            // 0: libpq's default (5432)
    QString name;            // the database
    QString user;            // empty: libpq's default (the login name)
    int connectTimeout = 10; // seconds
};

// The server engine: one PostgreSQL connection through libpq.  Statements
// are written with "?" marks like everywhere else and sent with the values
// as parameters ($1, $2, ...), never pasted into the text.
class PgEngine : public SqlEngine
{
public:
    // nullptr with libpq's reason when the server cannot be reached, refuses
    // the login or has no such database; never waits longer than the
    // connect timeout.
    static std::unique_ptr<PgEngine> Open(const PgServer& server, QString* error);
    ~PgEngine() override;

    bool ExecRaw(const QString& sql, QString* error, int* code) override;
    std::unique_ptr<SqlCursor> Prepare(const QString& sql, QString* error) override;
    int Changes() const override { return m_changes; }
    bool InTransaction() const override;
    bool TransactionLost() const override { return m_lost; }

    pg_conn* Handle() const { return m_conn; }
    void SetChanges(int changes) { m_changes = changes; }

    // Called each time a broken connection has been made anew.
    void SetResetHandler(std::function<void()> handler) { m_onReset = std::move(handler); }
    // Sends one statement through `send` on a live connection and returns
    // its result.  A connection the server has closed (a restart, a
    // terminated session) is made anew once before the statement when no
    // transaction was open; inside one the transaction is lost and the
    // statement fails, and so does every later one until the program ends
    // the transaction (ROLLBACK).  A connection that breaks while the
    // statement runs outside a transaction is made anew too, and the
    // statement sent again when `retryable` (it only reads).  nullptr with
    // `error` when nothing came back; `broke` tells whether the connection
    // broke while the statement ran (whether it was done is then unknown).
    pg_result* Run(const std::function<pg_result*()>& send, bool retryable, QString* error,
                   bool* broke = nullptr);
    // Whether a statement may be sent a second time after its connection
    // broke: it reads only, or opens a transaction.
    static bool IsRetryable(const QByteArray& sql);

    // "?" marks outside quotes and comments replaced by $1..$n; `count`
    // receives n.
    static QString TranslateMarks(const QString& sql, int* count);

private:
    explicit PgEngine(pg_conn* conn) : m_conn(conn) {}
    bool CheckLink(QString* error);
    bool Reset(QString* error);
    void NoteTransactionState();
    void LoseTransaction(QString* error);
    pg_conn* m_conn;
    int m_changes = 0;
    bool m_inTransaction = false; // as of the last statement
    bool m_lost = false;
    std::function<void()> m_onReset;
};

class PgCursor : public SqlCursor
{
public:
    PgCursor(PgEngine* engine, QByteArray sql, int parameters);
    ~PgCursor() override;
    int ParameterCount() const override { return m_parameters; }
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

private:
    bool Execute(QString* error);
    void Clear();
    PgEngine* m_engine;
    QByteArray m_sql;
    int m_parameters;
    QVector<QByteArray> m_values;
    QVector<bool> m_null;
    QVector<bool> m_binary;
    bool m_retryable;
    pg_result* m_result = nullptr;
    int m_row = -1;
    int m_rows = 0;
};
