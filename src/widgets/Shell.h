#pragma once

#include <QString>

class QWidget;
class QMdiArea;
class TDefForm;

// What the forms of every subsystem need from the main window.  The main
// window (TFrmMain) implements it and installs itself; forms reach it through
// Shell::Instance(), so no subsystem library depends on the application.
class Shell
{
public:
    virtual ~Shell() = default;

    virtual QWidget* MainWindow() = 0;
    virtual QMdiArea* MdiArea() = 0;
    // Runs a function identifier (built-in action or catalogue form).
    virtual bool RunFunction(const QString& funcID) = 0;
    // The last open form of that registered class (or of a class derived
    // from it), or nullptr.
    virtual QWidget* FindOpenForm(const QString& className) = 0;
    // Entries of the open-windows group of the side bar.
    virtual void AddOpenWindowItem(TDefForm* form) = 0;
    virtual void RemoveOpenWindowItem(TDefForm* form) = 0;

    // nullptr when no main window exists (tests of single forms).
    static Shell* Instance();
    static void Install(Shell* shell);
};
