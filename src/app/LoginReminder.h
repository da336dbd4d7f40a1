#pragma once

class ExpiryNotice;
class TFrmMain;

// After a login: when the reminder is switched on, the user may open the
// record manager and at least one warranty ends within the expiring-soon
// days, the notice in the main window's work area (and, with a tray icon,
// the same words as a tray message).  Its "查看" opens the record manager on
// the expiring-soon filter.  For a user who may open the repair list, the
// open repairs join the same notice (when there are any) and show in the
// status bar.  Returns the notice, or nullptr when there is none.
ExpiryNotice* RemindExpiringWarranties(TFrmMain* window);

// At log-off: the notices and the status bar's repair line were the leaving
// user's; the next login makes its own.
void ClearReminders(TFrmMain* window);
