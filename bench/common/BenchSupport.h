#pragma once

#include "SqlConnection.h"

#include <QString>
#include <functional>

class QElapsedTimer;
class TDataM;

// What the benchmarks share: clocks, memory figures and a fresh database.
namespace Bench {

// Milliseconds since the timer started.
double Ms(const QElapsedTimer& timer);
// Processor time of this process (user + system), in ms: on a busy machine
// the wall-clock time says more about the neighbours than about the code.
double CpuMs();
// The peak resident memory (VmHWM) since the start or the last ResetPeak().
double PeakMegabytes();
// Starts a new peak: creating a database hashes the administrator's password
// with a memory-hard hash, whose peak would hide everything measured after it.
void ResetPeak();
// Points the program folder at `dir`, creates data/data.mdb there with the
// built-in configuration and connects `dataModule` to it.  Errors go to
// standard error.
bool OpenFreshDatabase(const QString& dir, TDataM& dataModule);

// The same on the PostgreSQL server named by PGHOST, PGPORT and PGUSER: a
// new database `name` (replacing one left by an earlier run), Quorel.ini in
// `dir` pointed at it.  Empty when it worked, else why not.
QString OpenFreshServerDatabase(const QString& dir, const QString& name, TDataM& dataModule);
// Drops a database made by OpenFreshServerDatabase.
void DropServerDatabase(const QString& name);
// Empty when PGHOST names a server that answers, else why the server runs
// of a benchmark are left out.
QString ServerUnavailableReason();

// `count` rows into `table` (its `columns`, comma-separated), `row(i)`
// giving the values of row i: many rows a statement, every value bound, in
// one transaction.  false, saying why on stderr, when a statement fails.
bool InsertRows(const QString& table, const QString& columns, int count,
                const std::function<SqlArgs(int)>& row);

} // namespace Bench
