#pragma once

#include <QString>

class GroupBar;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;

// What the function-rights object needs from the main window: the controls it
// rebuilds and the actions of the built-in functions.  The main window
// implements it and hands itself to TFunctions.
class FunctionsHost
{
public:
    virtual ~FunctionsHost() = default;

    virtual QMainWindow* Window() = 0;
    virtual GroupBar* MainGroupBar() = 0;
    virtual QToolBar* MainToolBar() = 0;
    // Closes and frees every MDI child, from the last to the first.
    virtual void CloseAllChildForms() = 0;
    // Before logging in again or off: every child form with typed input asks
    // whether to save it; false when the user chose to stay.
    virtual bool ConfirmUnsavedForms() { return true; }
    // The menu, toolbar and group bar were built anew: the entries of the
    // open forms go back into the open-windows group.
    virtual void RestoreOpenWindowItems() {}
    // Status-bar panels 0 (login state) and 1 (current user).
    virtual void SetLoginStatus(const QString& state, const QString& user) = 0;
    virtual QWidget* OpenFunctionForm(const QString& funcID, const QString& className,
                                      const QString& mode) = 0;
    virtual void RefreshLookups() = 0;
    // Lists the skins under the skin menu entry and checks the chosen one.
    virtual void FillSkinMenu(QMenu* item) = 0;
};
