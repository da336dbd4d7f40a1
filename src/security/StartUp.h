#pragma once

#include <functional>

// Set while the program starts: from the creation of the main window until
// the first successful login.  Cancelling the login while it is set ends the
// program.
extern bool StartingUp;

// Ends the program: leaves every running event loop, so a modal login dialog
// returns and the main loop ends after it.  No exit confirmation is asked.
void TerminateApplication();
// Replaces what TerminateApplication does (tests record the request instead
// of leaving their event loops); an empty handler restores the real one.
void SetTerminateHandler(std::function<void()> handler);
