#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The backup folder, BackUp/ below the program folder: how new backups are
// named, which files are listed and which automatic backups are pruned.
// Extensions are matched without regard to case, so "x.JBK" and "x.zbk"
// are listed like "x.Jbk" and "x.Zbk".  A database on a PostgreSQL server
// is backed up as "stem.pgdump" (pg_dump's custom format).
namespace BackupFolder {

enum class Kind { Archive, Plain, Server };  // ".Jbk" (listed first), ".Zbk", ".pgdump"

struct Entry
{
    QString fileName;  // without folder
    Kind kind = Kind::Plain;
    qint64 size = 0;
    QDateTime lastWrite;
};

// GetAppDir() + "BackUp/".
QString Path();
// Creates `dir` when it is missing; false when it cannot be made.
bool Ensure(const QString& dir, QString* error);

// The name stem of a new backup taken at `when`: "yyyy-MM-dd-HH-mm-ss",
// then "-2", "-3" … when a backup of that second exists already, then
// "-auto" for an automatic one.
QString NewStem(const QString& dir, const QDateTime& when, bool automatic);
// Moves the finished file `from` to `to` unless `to` exists (errno EEXIST),
// so that two backups of the same second never overwrite each other.
bool TakeName(const QString& from, const QString& to);
bool IsAutomatic(const QString& fileName);

// Archives first, then plain copies, then server backups, each group
// ordered by file name.
QList<Entry> List(const QString& dir);

// The list's size text: whole KB (integer division) below 1024 KB, else MB
// with two decimals.
QString SizeText(qint64 bytes);
// The list's date text, "yyyy-MM-dd,hh:mm:ss".
QString DateText(const QDateTime& when);

// Whether an automatic backup was made on `day`.
bool HasAutomaticBackup(const QString& dir, const QDate& day);
// Removes the oldest automatic backups beyond the `keep` newest; manual
// backups are never touched.  Returns the names it could not remove.
QStringList PruneAutomatic(const QString& dir, int keep);

} // namespace BackupFolder
