#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

class SqlConnection;
namespace SqlDialect {
struct ChangeLogInsertFill;
}

// Who changed what, kept by the database itself: triggers on the logged
// tables write one ChangeLog row for every inserted, updated or deleted row,
// whatever program or path wrote it, in the writing statement's own
// transaction (a statement that fails leaves no log row).  The program
// itself only reads the log, brings deleted records back and removes old
// rows on request.
namespace ChangeLog {

inline const QString Inserted = QStringLiteral("新增");
inline const QString Updated = QStringLiteral("修改");
inline const QString Deleted = QStringLiteral("删除");
inline const QString Restored = QStringLiteral("恢复");
inline const QString Purged = QStringLiteral("清理");
inline constexpr int MaxDeskLength = 64;

// A table with a change log.  A new table is logged by adding one line to
// Tables(); its triggers are made by the next schema upgrade.
struct Table
{
    const char* name;
    const char* keys;    // the record key's columns, comma-separated; "" for a one-row table
    const char* secrets; // columns whose values are never logged (written "***")
    bool restorable;     // a deleted record may be brought back (one integer key)
};
const QVector<Table>& Tables();
const Table* FindTable(const QString& name);

// (Re)creates the triggers of every logged table that exists, from the
// table's columns as they are now.  Schema::Upgrade calls it after every
// upgrade, so a later step that adds columns to a logged table needs to do
// nothing for them to be logged.  Runs inside the caller's transaction.
bool CreateTriggers(SqlConnection& connection, QString* error);
// Removes them (a copy between engines writes the log rows as they were).
bool DropTriggers(SqlConnection& connection, QString* error);
// The log of an insert of many rows of `table` at once, written by one
// statement instead of the insert trigger (SQLite; see
// SqlDialect::ChangeLogInsertFillOf).  *fill stays empty for a table that is
// not logged, not made yet, or on a server.
bool InsertFillOf(SqlConnection& connection, const QString& table, SqlDialect::ChangeLogInsertFill* fill,
                  QString* error);

// This machine's name as written into the log.
QString ThisDesk();
// Makes every row this connection logs carry `userID` and `desk` (a
// temporary table on SQLite, session settings on the server), and keeps the
// values on the connection.  Called at login; empty values after logging off.
bool SetSession(SqlConnection& connection, const QString& userID, const QString& desk = ThisDesk());
// Gives the connection's session the values kept on it again: to be called
// whenever the connection was opened anew (a reconnect to the server).
bool ApplySession(SqlConnection& connection);

struct Field
{
    QString name; // the column, lower case
    QVariant oldValue;
    QVariant newValue; // a null QVariant for SQL NULL
};
struct Entry
{
    qint64 logID = 0;
    QString time;
    QString userID;
    QString desk;
    QString table;
    QString key;
    QString action;
    QVector<Field> fields;
};
// The changed fields as stored ({"name":[old,new],...}), in their order.
QVector<Field> ParseFields(const QString& text);
// The log rows of one record, newest first.
bool History(SqlConnection& connection, const QString& table, const QString& key, QVector<Entry>* entries,
             QString* error);
bool ReadEntry(SqlConnection& connection, qint64 logID, Entry* entry, QString* error);

// Puts the record a 删除 row logged back, in one transaction that logs it
// as 恢复: with its old key when that is free, else with a new one.
// *restoredKey is the key it has now.
bool RestoreDeleted(SqlConnection& connection, qint64 logID, qint64* restoredKey, QString* error);
// Removes the log rows older than `years` years and logs that as 清理.
bool Purge(SqlConnection& connection, int years, qint64* removed, QString* error);

} // namespace ChangeLog
