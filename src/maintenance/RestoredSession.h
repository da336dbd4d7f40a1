#pragma once

#include <QString>
#include <functional>

// After a restore the data of the running session (menus, rights, open
// lists, the user's password) belongs to the database that was replaced.
// The main window installs what starts the session anew; the backup dialog
// asks for it once its own modal loop has ended.
namespace RestoredSession {

// What the user is told before logging in again.
QString NoticeText();
// The line the restore question adds beneath the fixed question.
QString QuestionLine(bool onServer);

void SetHandler(std::function<void()> handler);
// Runs the handler once control is back in the event loop (the dialog that
// asks has closed by then); false, doing nothing, without a handler.
bool Request();

} // namespace RestoredSession
