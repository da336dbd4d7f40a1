#pragma once

#include "SaleExport.h"

#include <QDateTime>
#include <QString>

// Deletes the expired records of ordinary customers, but only after a copy of
// exactly those records is complete in BackUp/purged-<stamp>.xlsx below the
// program folder.  The copy and the deletion run in one transaction, so they
// see the same rows.
namespace SalePurge {

struct Result
{
    qint64 deleted = 0;
    // Expired records kept because their machine has repair visits.
    qint64 kept = 0;
    QString copyFile; // empty when nothing was to be deleted
    bool cancelled = false;
};

// The folder the copies go to.
QString BackupFolder();

// Removes what copies broken off by a crash left in the folder: the
// unfinished files beside a copy (".purged-<stamp>.xlsx.<random>"), never a
// finished copy.  Run at start, before any purge can be under way.  Returns
// how many were removed.
int RemovePartialCopies();

// Records whose warranty ended at or before `now` and whose class is not
// special; a machine with repair visits keeps its record (counted in kept).  false with *error, and nothing
// deleted, when the copy cannot be written or the deletion fails; false with result->cancelled, and nothing
// deleted, when `progress` cancels the copy.
bool PurgeExpiredOrdinary(const QDateTime& now, Result* result, QString* error,
                          const SaleExport::Progress& progress = {});

} // namespace SalePurge
