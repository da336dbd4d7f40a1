#pragma once

class ExpiryNotice;
class TFrmMain;

// After a login: when the user may make backups and the last good backup is
// older than a week (or there is none), or the last automatic backup failed,
// the notice in the main window's work area says so; its "立即备份" makes a
// backup at once.  Returns the notice, or nullptr when there is none.
ExpiryNotice* RemindStaleBackup(TFrmMain* window);
