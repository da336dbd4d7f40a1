#pragma once

#include <QString>

// Whether other programs work on the same database file.  Every running
// program holds a shared flock(2) on "<database>.lock" beside the database
// (data/data.mdb.lock), taken at start and given up at exit; the system
// drops it when a program crashes.  Restore and compaction rewrite the
// database and need it to themselves: they take the lock exclusively, which
// fails while any other program holds it.  Backups only read and take
// nothing.  The lock file itself is never removed (removing it would let a
// second program lock a new file while the first still holds the old one).
namespace DatabaseLock {

// The text telling the user why a restore or compaction was refused.
QString InUseText();
// "<database>.lock".
QString LockFileFor(const QString& databaseFile);

// Takes the shared lock of this program on `databaseFile`, waiting up to
// `waitMs` while a restore or compaction of another program holds it
// exclusively.  Holding it already (for the same file) is fine.
bool HoldShared(const QString& databaseFile, QString* error, int waitMs = 30000);
// Gives the shared lock up (program end, tests).
void ReleaseShared();
// The database whose shared lock this program holds; empty when none.
QString SharedFile();

} // namespace DatabaseLock

// The database to oneself for the lifetime of this object: this program's
// shared lock is turned into an exclusive one (or, without it, an
// exclusive lock is taken), and turned back when done.  Acquired() is false
// while another program holds the lock.
class ExclusiveDatabaseUse
{
public:
    explicit ExclusiveDatabaseUse(const QString& databaseFile);
    ~ExclusiveDatabaseUse();
    ExclusiveDatabaseUse(const ExclusiveDatabaseUse&) = delete;
    ExclusiveDatabaseUse& operator=(const ExclusiveDatabaseUse&) = delete;

    bool Acquired() const { return m_acquired; }
    // Why not, for the user: the in-use text, or why the lock file could not be opened.
    QString Error() const { return m_error; }

private:
    bool m_acquired = false;
    bool m_converted = false;  // the program's own shared lock was turned exclusive
    int m_fd = -1;             // a lock of its own otherwise
    QString m_error;
};
