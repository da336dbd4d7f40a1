#pragma once

#include <QString>
#include <QStringList>

class SqlConnection;

// The database schema and its version.  The version lives in the file
// (PRAGMA user_version); opening a file made by an older build upgrades it
// step by step in one transaction, a file from a newer build is refused.
namespace Schema {

// Version 1: the first schema.
// Version 2: the quick-find index of the sale records (SaleFind).
// Version 3: user codes in AC_ROLE_USER and AC_FUNCTION_USER compare
// without regard to case.
// Version 4: the row version of a sale record (SaleInfo.RowVersion).
// Version 5: the change log (ChangeLog) and its triggers.  The triggers are
// made anew from the logged tables' columns at the end of every upgrade
// (ChangeLog::CreateTriggers), so later steps that add columns stay logged.
inline constexpr int CurrentVersion = 5;
inline constexpr int ChangeLogVersion = 5;
inline constexpr int QuickFindVersion = 2;

int Version(SqlConnection& connection);
// Brings a database of an older version (0 = empty file) up to date, or up
// to `target` (a database as an older build made it).
bool Upgrade(SqlConnection& connection, QString* error, int target = CurrentVersion);
// A database about to replace the shop's (a restored backup): it must be one
// of ours (a schema version and the main tables) and is brought up to the
// current version.  false with the reason otherwise.
bool AcceptRestored(SqlConnection& connection, QString* error);
// The tables of the current schema that hold the shop's data (neither the
// quick-find index nor the version bookkeeping), in the order they were
// created.
const QStringList& DataTables();
// Merges the quick-find index into one segment, dropping the entries of
// deleted records, so that a compacted file really shrinks.
bool OptimizeIndexes(SqlConnection& connection, QString* error);

} // namespace Schema
