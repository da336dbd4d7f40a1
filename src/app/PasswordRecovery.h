#pragma once

#include <QString>

class QTextStream;

// "weibao --reset-password USERCODE": for a shop whose administrator forgot
// his password or let his account lapse.  Whoever can reach the program
// folder (or the --home folder) connects to the configured database, sets
// the user's password to the user code, enables the account and clears an
// expiry date in the past.  What it did goes to `out` and the usage log, a
// failure to `err`.  The exit code: 0 done, 1 failed.
int ResetPasswordCommand(const QString& userID, QTextStream& out, QTextStream& err);
