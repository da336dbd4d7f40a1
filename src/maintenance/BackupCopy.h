#pragma once

#include <QString>

// Copies of backups off the machine (a USB stick, a network share): the copy
// is written under a temporary name in the target folder, read back and
// compared (size and SHA-256) with the backup, and only then takes the
// backup's name there (the next free "-2", "-3" … when that name is taken by
// another file).  A failed copy leaves nothing behind.
namespace BackupCopy {

// Copies `backup` into `folder`; the full path of the copy, or empty with
// `error` (why, for the user).
QString CopyTo(const QString& backup, const QString& folder, QString* error);

// SHA-256 of a file as hex; empty when it cannot be read.
QByteArray Sha256(const QString& file);

} // namespace BackupCopy
