#pragma once

#include "PgEngine.h"

#include <QDateTime>
#include <QString>

class ConnectionHost;
class SqlConnection;

// Backup, restore and compaction of the database on a PostgreSQL server,
// without windows, safe to run on a worker thread.  The work is done by the
// server's own client programs (PgTools), run as separate processes.
//
// A backup is pg_dump's custom format, "stem.pgdump" in the backup folder,
// named like the other backups and written under a temporary name first.
//
// A restore never touches the database before the archive has proved
// itself: it is restored into a scratch database made for the purpose
// (dropped afterwards whatever happens), which must hold this program's
// tables, must not be of a newer schema version and is brought up to the
// current one.  The scratch database as verified is dumped again; the
// current database is kept as BackUp/before-restore-<stamp>.pgdump; then
// the verified dump replaces the tables of the database with pg_restore
// --clean in one transaction, so that a failure half way leaves the
// database as it was.  Other desks may stay connected: they wait while the
// tables are replaced and then see the restored records.
class PgBackup
{
public:
    PgBackup(const PgServer& server, const QString& backupDir);

    // Writes a new backup; its full path, or empty with Error().  `level`
    // is the method 0 (store) … 5 (best) of the zip backups.
    QString Backup(bool compress, int level, bool automatic = false,
                   const QDateTime& when = QDateTime::currentDateTime());
    bool Restore(const QString& backupFile, ConnectionHost& host);
    // VACUUM (FULL, ANALYZE) of every table of the database.
    bool Compact();

    QString Error() const { return m_error; }
    // The dump of the previous database kept by the last restore.
    QString KeptFile() const { return m_kept; }

    // Empty when pg_dump and pg_restore are there and can serve the server,
    // else the text for the user naming the package to install.
    static QString MissingTools(const PgServer& server);
    // Whether the file starts like a pg_dump custom-format archive.
    static bool IsServerArchive(const QString& file);
    // Why `file` cannot be restored on this desk's engine (a server backup
    // on SQLite, anything else on the server); empty when it may be tried.
    static QString WrongEngine(const QString& file, bool onServer);
    // pg_dump's compression for the zip backups' packing and method.
    static int DumpLevel(bool compress, int level);

    static constexpr const char* Suffix = ".pgdump";
    // The name every scratch database of a restore starts with.
    static constexpr const char* ScratchPrefix = "weibao_restore_";

private:
    bool Fail(const QString& error);
    QString FindTool(const QString& tool, QString* error);
    bool Dump(const QString& pgDump, const PgServer& from, const QString& file, int level, QString* error);
    bool RestoreInto(const QString& pgRestore, const PgServer& to, const QString& file, bool replace,
                     QString* error);
    static bool Verify(const PgServer& database, QString* error);
    // Whether every table of the database can be locked within the lock
    // timeout (nobody else is in the middle of using one).
    static bool TablesFree(SqlConnection& connection, QString* error);

    PgServer m_server;
    QString m_backupDir;
    QString m_error;
    QString m_kept;
    int m_serverMajor = -1;
};
