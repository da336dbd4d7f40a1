#pragma once

#include "MemDataset.h"
#include "SqlConnection.h"

#include <QString>
#include <functional>

// The functions through which the program reaches the database.  Every value
// is bound to a "?" of the statement, never pasted into its text; the command
// log shows each statement as executed, with the values written in as quoted
// literals ("成功执行：…", or "失败执行：…" followed by "失败原因:…").

// Runs a SELECT; on success `target` holds its fields and rows (cursor on
// the first row).  On failure `target` is left untouched.
bool OpenQuery(const QString& sql, MemDataset& target, const SqlArgs& args = {}, QString* error = nullptr);
// Runs a SELECT and hands each row to `take` as it is read, logged as
// OpenQuery logs; no dataset is built (for look-ups of many rows read often).
bool ReadEach(const QString& sql, const SqlArgs& args, const std::function<void(const SqlStatement&)>& take,
              QString* error = nullptr);
// A column's value as text (empty for NULL), without a QVariant in between.
QString TextAt(const SqlStatement& row, int column);
// Runs one data-changing statement.
bool ExecCommand(const QString& sql, const SqlArgs& args = {}, QString* error = nullptr);
// Allocates the next value of a counter column of `table` ("SeqTable") in one
// transaction: the first value is 1, a missing row or a null counter counts
// as 0.  "0" when nothing could be allocated.
QString NextSequenceValue(const QString& table, const QString& column);
// The database file named by the connection string of the open connection.
QString GetDatabaseFileName();
// Same, from any connection string: the text after "Data Source=", up to
// ";Mode=" when present; empty when there is no "Data Source=".
QString DatabaseFileNameFromConnectionString(const QString& connectionString);

// Stores `newPassword` (hashed) for the user; the log shows "***".  false
// also when no row of that user exists.
bool SetUserPassword(const QString& userID, const QString& newPassword);
// The AC_USERINFO rows of `userID` whose password matches `password`.
bool QueryUserLogin(const QString& userID, const QString& password, MemDataset& target);

// Loads every row of a prepared statement into `target` (fields from the
// statement's columns).  With `firstColumnIsKey` the first column becomes
// each row's key instead of a field.  Used by OpenQuery and TableDataset.
bool LoadRows(SqlStatement& statement, MemDataset& target, bool firstColumnIsKey, QString* error);
