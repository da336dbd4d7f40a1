#pragma once

#include <QString>
#include <QStringList>

class SqlConnection;

// The SQL text that differs between the two engines, in one place.  Every
// other statement of the program is written once and runs on both.  Both
// engines read "limit ?" and "(a,b)>(?,?)" alike, and both store dates as
// "yyyy-MM-dd HH:mm:ss" (text on SQLite, timestamp(0) on PostgreSQL, which
// prints and compares the same).
namespace SqlDialect {

// Appended to a SELECT inside a transaction that is about to write what it
// read (the key counters): the server locks the rows, so a second desk waits
// instead of reading the same value.  SQLite's BEGIN IMMEDIATE already holds
// the whole file.
QString ForUpdate(const SqlConnection* connection);

// The SELECT of every column of `table`, first the row's identity (SQLite's
// rowid; on the server the "rowid" column every table has there).
QString KeyedSelect(SqlConnection* connection, const QString& table);

// "column <op> ?" comparing without regard to the case of Latin letters.
QString NoCaseCompare(const SqlConnection* connection, const QString& column, const QString& op);

// The integer a text column holds, for comparing counts as numbers: its
// leading digits (with a sign), 0 for a text that starts with none.
QString IntegerOf(const SqlConnection* connection, const QString& column);

// Quick find of sale records: the condition on SaleInfo that its name,
// phone, fax, mobile, address or remarks contain a fragment, with one "?"
// for ContainsPattern(fragment).  On the server it reads the trigram index
// SaleInfo_Find; empty on SQLite, whose index is the table SaleFind of its
// own (SaleFindKeySource).
QString SaleFindCondition(const SqlConnection* connection);
// The same for a fragment of exactly two characters through the server's
// index of the text's two-character pieces (SaleInfo_FindPairs), which
// finds exactly those records without testing each again: three "?", bound
// to the fragment, the fragment and ContainsPattern(fragment).  Empty on
// SQLite.
QString SaleFindPairCondition(const SqlConnection* connection);
// The ILIKE pattern of text containing `fragment` literally (its percent
// signs, underscores and backslashes escaped).
QString ContainsPattern(const QString& fragment);
// SQLite: the ids (as "rowid") of the sale records the FTS5 expression bound
// to its "?" matches, ending in its where clause.
QString SaleFindKeySource(const SqlConnection* connection);

// The repair desk's searches.  A condition with `*marks` "?" each bound to
// ContainsPattern(fragment), over the same text as the server's index:
// RepairInfo's contact name and customer name, or its contact phone as
// digits (RepairFindCondition), RepairSwap's old and new serial
// (RepairSerialCondition), SaleInfo's phone and mobile as digits
// (SalePhoneCondition, the server only: SQLite reads the table
// SalePhoneFind through SalePhoneKeySource, one "?" for an FTS5 phrase).
QString RepairFindCondition(const SqlConnection* connection, bool digits, int* marks);
QString RepairSerialCondition(const SqlConnection* connection, int* marks);
QString SalePhoneCondition(const SqlConnection* connection);
QString SalePhoneKeySource(const SqlConnection* connection);
// "column" contains the "?" of ContainsPattern(fragment), Latin letters
// compared without regard to case.
QString ContainsCondition(const SqlConnection* connection, const QString& column);

// The statement run before reading through an index whose condition costs
// much more when tested on every row than when the index answers it (the
// server's planner weighs both alike and reads a table whole when nearly
// every row matches), and the one run after it.  Empty on SQLite, whose
// plans the program chooses itself.
QStringList PreferIndexes(const SqlConnection* connection);

// After many rows were written at once: the statement that lets the server's
// planner know the tables' new sizes and values (without it, until the
// server's own background analysis comes round, a search may read a whole
// table where an index would do).  Empty on SQLite, whose plans the program
// chooses itself.
QString RefreshStatistics(const SqlConnection* connection, const QString& table);

// The local time of now as stored ("yyyy-MM-dd HH:mm:ss").
QString Now(const SqlConnection* connection);

// Dates for counting by day (the business statistics).  DayOf: the day of
// a stored date as "yyyy-MM-dd" text.  ReadableDate: the condition that the
// column holds a date at all (a file written by other programs may hold
// "2024/3/5" or nothing; the server's timestamps are always dates, so there
// only a missing value is unreadable).  HoursBetween: whole hours (rounded)
// from one date-time column to another.
QString DayOf(const SqlConnection* connection, const QString& column);
QString ReadableDate(const SqlConnection* connection, const QString& column);
QString HoursBetween(const SqlConnection* connection, const QString& from, const QString& to);
// The records whose date is not readable: the condition of SQLite's partial
// indexes <table>_Unreadable<column> (which it reads through IndexHint), so
// that counting them reads only them.
QString UnreadableDate(const SqlConnection* connection, const QString& column);
// The same test as ReadableDate for counting many rows in a range of the
// date: SQLite leaves out the few keys its partial index of unreadable dates
// holds instead of reading each row's date; `key` and `column` are the
// table's own names, `prefix` ("r.") qualifies them in the outer query.
QString ReadableRows(const SqlConnection* connection, const QString& table, const QString& key,
                     const QString& column, const QString& prefix = {});

// The hint that makes SQLite read `index` (" INDEXED BY <index>", or
// " NOT INDEXED" for none); the server plans by itself: empty.
QString IndexHint(const SqlConnection* connection, const QString& index);

// The primary key columns of `table` with their declared types: a SELECT of
// (name, type, pk) with one "?" for the table name.
QString PrimaryKeyInfo(const SqlConnection* connection);

// A SELECT of how many of `count` tables ("?" each, any case) exist.
QString CountTables(const SqlConnection* connection, int count);
// The schema objects of an SQLite file: type, name, table and the SQL text
// cut to the length bound to its one "?".  Empty on a server.
QString SchemaObjects(const SqlConnection* connection);

// Reading and writing the schema version (SQLite: the file header; server:
// the one-row table SchemaVersion).
int SchemaVersion(SqlConnection& connection);
bool SetSchemaVersion(SqlConnection& connection, int version);

// Run first in a transaction that only reads and must see one state of the
// database throughout (a copy and its check); empty on SQLite, whose
// transaction already holds the file.
QString ConsistentReads(const SqlConnection* connection);

// The last value handed out by the counter that numbers `column` of `table`
// (SQLite: AUTOINCREMENT's sqlite_sequence; server: the identity), 0 when it
// never counted or there is none; -1 on failure.
qint64 KeyCounter(SqlConnection& connection, const QString& table, const QString& column);
// Makes that counter hand out values above `last` from now on (at least
// above the largest value stored); nothing where there is no counter.
bool SetKeyCounter(SqlConnection& connection, const QString& table, const QString& column, qint64 last);

// The columns of `table` in their order (without the server's "rowid"): a
// SELECT of the name, with one "?" for the table name.
QString ColumnNames(const SqlConnection* connection);

// What the change-log triggers of one table are made from.
struct ChangeLogTable
{
    QString table;         // as the program names it (written into ChangeLog.TableName)
    QStringList columns;   // the table's current columns
    QStringList keys;      // the record key, joined with "/"; empty for a one-row table
    QStringList secrets;   // written "***"
    QStringList unchanged; // never counted as a change on their own (row versions)
};
// The statements that (re)create the triggers writing one ChangeLog row for
// every inserted, updated or deleted row of the table.  The changed fields
// are a JSON object of lower-case column names, each [old, new] as text or
// null, written alike by both engines.  Only the server reads the user and
// desk from the connection (session settings); on SQLite the log row is
// completed by the connection's own temporary trigger (ChangeSessionSql).
QStringList ChangeLogTriggers(const SqlConnection* connection, const ChangeLogTable& spec);
QStringList DropChangeLogTriggers(const SqlConnection* connection, const QString& table);
// The statements that give this connection's log rows its user and desk
// (bound "?": user, desk); run again after every new connection.
QStringList ChangeSessionSql(const SqlConnection* connection);
// For a write of many rows at once on SQLite: the insert trigger of
// ChangeLogTriggers() as one statement for all rows whose key (one integer
// column) is above a bound "?", in key order, writing the same log rows.
// `trigger` is the trigger's text as SQLite keeps it, so that a caller sees
// whether the table's trigger is this one.  `sessionFill` writes each row as
// the session trigger of ChangeSessionSql() then completes it (`sessionTrigger`
// as SQLite keeps it, `sessionTriggerSql` to make it again), for a caller
// that sets that trigger aside.  All empty on a server and for a table whose
// key is not one column.
struct ChangeLogInsertFill
{
    QString trigger, fill;
    QString sessionTriggerName, sessionTrigger, sessionTriggerSql, sessionFill;
};
ChangeLogInsertFill ChangeLogInsertFillOf(const SqlConnection* connection, const ChangeLogTable& spec);
// The statement naming what inserts in the current transaction are logged
// as (one "?"; empty text for the usual 新增).
QString ChangeActionSql(const SqlConnection* connection);
// A number that names the sale table as the server knows it: a restore drops
// and remakes the tables, which gives it a new one.  Empty on SQLite, where
// no other program works on while the database is restored.
QString TableIdentitySql(const SqlConnection* connection);

} // namespace SqlDialect
