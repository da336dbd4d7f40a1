#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

// What the engine needs from the owner of the program's connection: closing
// it before the database file is replaced and opening it again afterwards.
// DataModuleHost hands both to the main thread.
class ConnectionHost
{
public:
    virtual ~ConnectionHost() = default;
    virtual void Disconnect() = 0;
    virtual bool Connect(QString* error) = 0;
};

// Backup, restore and compaction of the database file, without windows, safe
// to run on a worker thread (it opens connections of its own and reaches the
// program's connection only through a ConnectionHost).
//
// A backup is a consistent snapshot taken with SQLite's online backup API,
// never a copy of the live file.  Packed, "stem.Jbk" is a zip holding the one
// entry "stem.zbk"; unpacked, "stem.zbk" is the snapshot itself.  A backup is
// written under a temporary name and appears under its final name only when
// complete, without ever replacing another file.
//
// A restore is verified before anything is replaced: the single database
// entry of the archive (or the plain copy) is extracted beside the database,
// checked with integrity_check, must be this program's schema and is brought
// up to the current version.  Only then the connection is closed, the current
// database kept as BackUp/before-restore-<stamp>.zbk, the restored file
// renamed into place and the connection opened again.  Any failure leaves the
// current database in place and connected.
class BackupEngine
{
public:
    BackupEngine(const QString& databaseFile, const QString& backupDir);

    // Writes a new backup; its full path, or empty with Error().  `level` is
    // the method 0 (store) … 5 (best); any other value counts as 3.
    QString Backup(bool compress, int level, bool automatic = false,
                   const QDateTime& when = QDateTime::currentDateTime());
    bool Restore(const QString& backupFile, ConnectionHost& host);
    // VACUUM INTO "_afs.da" beside the database, checked, then renamed into
    // place while the connection is closed.
    bool Compact(ConnectionHost& host);

    QString Error() const { return m_error; }
    // The copy of the previous database kept by the last restore.
    QString KeptFile() const { return m_kept; }

    // A consistent copy of `source` (which may be open and written by other
    // connections) in the new file `target`.
    static bool Snapshot(const QString& source, const QString& target, QString* error);
    // Writes the zip `archive` holding `file` under `entryName`.
    static bool Pack(const QString& file, const QString& entryName, const QString& archive, int level,
                     QString* error);
    // Extracts the single regular entry of any archive libarchive reads into
    // `target`; refuses archives with no entry or several, and entries whose
    // name holds a folder.
    static bool Unpack(const QString& archive, QString* entryName, const QString& target, QString* error);
    // integrity_check, our schema, upgraded to the current version.
    static bool VerifyDatabase(const QString& file, QString* error);
    // Whether the file starts with the SQLite header.
    static bool IsDatabaseFile(const QString& file);
    // zlib's level for a method 0 … 5.
    static int ZipLevel(int level);

    // How a verified file is moved over the database: rename(2), atomic on
    // one file system.  Tests replace it to simulate a crash at that step.
    using ReplaceFunction = std::function<bool(const QString& from, const QString& to, QString* error)>;
    void SetReplaceFunction(ReplaceFunction replace) { m_replace = std::move(replace); }
    static bool RenameOver(const QString& from, const QString& to, QString* error);

private:
    bool Fail(const QString& error);
    bool SwapIn(const QString& verified, ConnectionHost& host, bool keepCurrent);

    QString m_database;
    QString m_backupDir;
    QString m_error;
    QString m_kept;
    ReplaceFunction m_replace;
};
