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
// entry of the archive (zip, 7z or rar) or the plain copy is extracted
// beside the database, checked with integrity_check, must be this program's
// schema and is brought up to the current version.  Only then the current
// database is kept as BackUp/before-restore-<stamp>.zbk and the verified
// pages are copied into the live database through the backup API, in one
// journaled transaction.  Compaction runs VACUUM on the live database.  Both
// rewrite the database in place, never by renaming another file over it:
// every connection (also another desk's) stays on the one database, and
// sees either the old contents or the new.  Both need the database to
// themselves (DatabaseLock) and refuse while another program has it open.
class BackupEngine
{
public:
    BackupEngine(const QString& databaseFile, const QString& backupDir);

    // Writes a new backup; its full path, or empty with Error().  `level` is
    // the method 0 (store) … 5 (best); any other value counts as 3.
    QString Backup(bool compress, int level, bool automatic = false,
                   const QDateTime& when = QDateTime::currentDateTime());
    bool Restore(const QString& backupFile, ConnectionHost& host);
    // VACUUM of the live database after a free-space check.
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
    // Extracts the single regular entry of a zip, 7z or rar archive into
    // `target`; refuses other formats, archives with no entry or several,
    // and unsafe entry names.  Stops, empties `target` and refuses with
    // TooLargeText() as soon as more than the entry's declared size or
    // `maxBytes` (when not negative) would be written.
    static bool Unpack(const QString& archive, QString* entryName, const QString& target, QString* error,
                       qint64 maxBytes = -1);
    static QString TooLargeText();
    // What a restore may unpack: the smallest of 4 × the database + 1 GB and
    // the data folder's free space less 100 MB.
    qint64 UnpackLimit() const;
    // integrity_check, our schema, upgraded to the current version.
    static bool VerifyDatabase(const QString& file, QString* error);
    // Whether the file starts with the SQLite header.
    static bool IsDatabaseFile(const QString& file);
    // zlib's level for a method 0 … 5.
    static int ZipLevel(int level);

    // How a verified file replaces the contents of the live database:
    // CopyIntoLive.  Tests replace it to simulate a failure at that step.
    using ReplaceFunction = std::function<bool(const QString& from, const QString& to, QString* error)>;
    void SetReplaceFunction(ReplaceFunction replace) { m_replace = std::move(replace); }
    // How the live database is compacted: VacuumInPlace.
    using CompactFunction = std::function<bool(const QString& database, QString* error)>;
    void SetCompactFunction(CompactFunction compact) { m_compact = std::move(compact); }

    // Copies every page of `from` into the open, live database `to` in one
    // transaction of the backup API.
    static bool CopyIntoLive(const QString& from, const QString& to, QString* error);
    // Merges the quick-find index and runs VACUUM on `database`.
    static bool VacuumInPlace(const QString& database, QString* error);
    // rename(2) of `from` over `to` (the benchmark compares with it).
    static bool RenameOver(const QString& from, const QString& to, QString* error);

private:
    bool Fail(const QString& error);
    // After the database was rewritten: the program's connection opened
    // anew; `done` starts the error when that fails.
    bool Refresh(ConnectionHost& host, const QString& done);
    void RemoveLeftovers() const;

    QString m_database;
    QString m_backupDir;
    QString m_error;
    QString m_kept;
    ReplaceFunction m_replace;
    CompactFunction m_compact;
};
