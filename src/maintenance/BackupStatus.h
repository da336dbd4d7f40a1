#pragma once

#include "StatusField.h"
#include <QDateTime>
#include <QString>
#include <functional>

// When the last good backup was made and whether the last automatic one
// failed: the status line of the main window and the notice after a login.
namespace BackupStatus {

// How many days a backup may be old before the notice says so.
constexpr int StaleDays = 7;

// The usage-log texts of the backups' results (each backup writes one).
QString ManualDoneText(const QString& fileName);
QString ManualFailedText(const QString& reason);
QString AutomaticDoneText(const QString& fileName);
QString AutomaticFailedText();
// Made in BackUp/, but the copy to the second folder failed.
QString AutomaticCopyFailedText(const QString& fileName);

struct State
{
    QDateTime lastGood; // invalid: no backup at all
    bool lastAutomaticFailed = false;
    bool lastCopyFailed = false; // the last automatic backup did not reach the second folder
};

// The newest backup in `backupDir` (not the copies a restore keeps) and the
// last automatic backup's result in the usage log.
State Read(const QString& backupDir);

// "上次备份：2027-01-05 09:12（3天前）", or "上次备份：从未备份".
QString StatusText(const State& state, const QDateTime& now);
// The notice after a login; empty when none is due.
QString NoticeText(const State& state, const QDateTime& now);

using Clock = std::function<QDateTime()>;
// The clock of the status line and the notice (tests set their own; an
// empty one is the system clock).
void SetClock(Clock clock);
QDateTime Now();

} // namespace BackupStatus

// The status-bar field with the last backup; renewed every minute and
// whenever Refresh() is called (after a backup).
class BackupStatusLabel : public StatusField
{
    Q_OBJECT
public:
    explicit BackupStatusLabel(QWidget* parent = nullptr);

    // Every such field of the program, after a backup or restore.
    static void RefreshAll();

public slots:
    void Refresh();
};
