#pragma once

#include <QString>
#include <QStringList>

class QFile;

// Temporary files of backups and restores that a killed or failed run left
// behind: ".snapshot-*", ".pack-*", ".pgdump-*", ".restore-*" (and their
// "-journal") in the backup folder, "restore-*.tmp" (and its "-journal") and
// the "_afs.*" files of older compactions in the data folder.  While a run
// writes such a file it holds an exclusive flock on it (MarkInUse); a file
// nobody holds is abandoned and removed at the next start and before each
// backup or restore.  Only names this program makes are ever touched.
namespace Leftovers {

// Marks the open `file` as being written by this run; the mark goes with
// the file's handle (and with the process, should it be killed).
bool MarkInUse(QFile& file);

// Removes the abandoned temporary files of both folders; returns their names.
QStringList Remove(const QString& backupDir, const QString& dataDir);

// Keeps the newest `keep` copies a restore made of the database it replaced
// ("before-restore-*"); returns the names it removed.
QStringList PruneKeptCopies(const QString& backupDir, int keep = 5);

} // namespace Leftovers
