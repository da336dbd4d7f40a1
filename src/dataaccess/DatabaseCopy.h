#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class SqlConnection;

// Moving a shop's data from one engine to the other (weibao
// --copy-database).  Every table of the schema is copied from the source
// into an empty target in one transaction on the target, keys kept, and
// every table is checked (row count and a checksum computed the same way on
// both sides) before that transaction is committed.  A value the target
// cannot store, a target that holds data or any difference rolls all of it
// back: the target is then as it was.  The source is only read.
namespace DatabaseCopy {

// One line of progress for the terminal.
using Report = std::function<void(const QString& line)>;

// Copies `source` (at the current schema version) into `target` (empty or
// without tables; its schema is brought up to date in the same
// transaction).  false with a message for the user.
bool Copy(SqlConnection& source, SqlConnection& target, const Report& report, QString* error);

// The rows of one table in key order: how many, and the SHA-256 of their
// canonical text (integers as numbers, dates as "yyyy-MM-dd HH:mm:ss", NULL
// distinct from an empty text), the same for equal rows on either engine.
struct TableSum
{
    qint64 rows = 0;
    QByteArray digest;
};
bool Checksum(SqlConnection& connection, const QString& table, TableSum* sum, QString* error);

// The command: the source is the engine Quorel.ini configures, the target
// the other one, named by `to` ("postgresql": the server of the same
// [Database] section; "sqlite": data/data.mdb; a missing one is built as
// data/data.mdb.copying and renamed into place once copied and checked,
// and is never left behind by a copy that fails).
bool CopyConfigured(const QString& to, const Report& report, QString* error);

} // namespace DatabaseCopy
