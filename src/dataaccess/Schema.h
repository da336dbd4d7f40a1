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
// Version 5: row versions of users, roles, functions, menu, toolbar and side
// bar rows; role names unique without regard to Latin case.
// Version 6: the repair desk (RepairInfo, RepairSwap, RepairCounter,
// RepairSetting), its phone index and its functions, menus and buttons.
inline constexpr int RepairVersion = 6;
// Version 7: the change log (ChangeLog) and its triggers.  The triggers are
// made anew from the logged tables' columns at the end of every upgrade
// (ChangeLog::CreateTriggers), so later steps that add columns stay logged.
inline constexpr int ChangeLogVersion = 7;
// Version 8: on a server, an index for every column the record manager
// searches by (SQLite's step is empty: its searches stay as they were).
inline constexpr int SearchIndexVersion = 8;
// Version 9: 经营统计 in the catalogue, menu, toolbar and side bar; an
// index of the visits by 取机 time.
inline constexpr int StatsVersion = 9;
// Version 10: indexes that hold everything the statistics count.
inline constexpr int StatsIndexVersion = 10;
// Version 11: on a server, an index of the two-character pieces of the
// quick-find text (SQLite's step is empty: its own index finds them).
inline constexpr int FindPairsVersion = 11;
// Version 12: the quick-find and phone indexes no longer lose the text of a
// record of id -1 on every insert (SQLite's step; the server's is empty).
inline constexpr int ReplaceTriggerVersion = 12;
inline constexpr int CurrentVersion = 12;
inline constexpr int QuickFindVersion = 2;

int Version(SqlConnection& connection);
// Brings a database of an older version (0 = empty file) up to date, or up
// to `target` (a database as an older build made it).
bool Upgrade(SqlConnection& connection, QString* error, int target = CurrentVersion);
// A database about to replace the shop's (a restored backup): it must be one
// of ours (a schema version, the main tables and on SQLite exactly the
// objects of our schema) and is brought up to the current version.  false
// with the reason otherwise.
bool AcceptRestored(SqlConnection& connection, QString* error);
// What an SQLite database holds besides or instead of the objects (tables,
// indexes, triggers, views) the schema steps up to its version create,
// compared by name and SQL text: a trigger or view of somebody else's would
// run inside the program's own writes.  The engine's own bookkeeping
// (statistics tables) is not counted.  Each entry reads "name（kind）".
struct ObjectCheck
{
    QStringList foreign; // present, but not ours or not as we made it
    QStringList missing; // ours, but absent
    bool IsClean() const { return foreign.isEmpty() && missing.isEmpty(); }
};
// false with `error` only when the database cannot be read; a server
// database and one of a newer version than this program are not judged.
bool CheckObjects(SqlConnection& connection, ObjectCheck* result, QString* error);
// The start-up form of that check: false with the reason (naming the
// objects) when the database holds anything else.
bool OnlyOurObjects(SqlConnection& connection, QString* reason);
// A list of such entries for a message, cut after the first twenty.
QString ObjectNames(const QStringList& entries);
// The refusal of a restored database that holds objects of others (their
// names go to the command log).
QString ForeignObjectsRefusal();
// The tables of the current schema that hold the shop's data (neither the
// quick-find index nor the version bookkeeping), in the order they were
// created.
const QStringList& DataTables();
// Merges the quick-find index into one segment, dropping the entries of
// deleted records, so that a compacted file really shrinks.
bool OptimizeIndexes(SqlConnection& connection, QString* error);

} // namespace Schema
