#pragma once

#include <QString>
#include <QStringList>

struct PgServer;
class SqlConnection;

// The PostgreSQL client programs a server backup needs (pg_dump,
// pg_restore): where they are, whether they can serve the server, and
// running one of them.
//
// A tool is looked for in Debian's per-version folders
// (/usr/lib/postgresql/<major>/bin, newest first), then on PATH.  A tool
// older than the server cannot read its data (pg_dump refuses a newer
// server), so the newest copy not older than the server is used.
class PgTools
{
public:
    // Folders searched instead of the default ones (tests point this at a
    // folder without the tools); an empty list restores the default.
    static void SetSearchFolders(const QStringList& folders);

    // The full path of `tool` usable with a server of major version
    // `serverMajor` (0: any); empty with the text for the user in `problem`
    // naming the Debian package to install.
    static QString Find(const QString& tool, int serverMajor, QString* problem);
    // The major version `program --version` prints; 0 when it cannot be run.
    static int MajorVersion(const QString& program);
    // The major version of the server `connection` is connected to; 0 if unknown.
    static int ServerMajor(SqlConnection& connection);
    // "postgresql-client-15", or "postgresql-client" for an unknown version.
    static QString PackageFor(int serverMajor);

    // --host/--port/--username of `server`, as the tools take them (never a
    // password: libpq reads ~/.pgpass or PGPASSFILE).
    static QStringList ConnectionArguments(const PgServer& server);
    // How long the tools wait for a lock another desk holds before they
    // give up (PGOPTIONS lock_timeout), in milliseconds; 30 s unless a test
    // sets another.
    static void SetLockTimeout(int ms);
    static int LockTimeout();
    // Stops the tool running now (the wait window's 取消); every later Run
    // fails at once until ResetCancel().
    static void Cancel();
    static void ResetCancel();
    static bool Cancelled();
    static QString CancelledText();

    // Runs `program` and waits for it however long it takes (the caller is a
    // worker thread), unless Cancel() stops it; what it prints goes to
    // `output` when given.  false with the tool's own error text in `error`.
    static bool Run(const QString& program, const QStringList& arguments, int connectTimeout, QString* error,
                    QByteArray* output = nullptr);
};
