#pragma once

#include <QString>

class QLabel;
class QWidget;

// The menu, toolbar, group-bar and catalogue editors are reached only through
// entries of those same tables.  A change that would leave one of them
// without any entry is refused, or the shop could never edit its interface
// again.  No widgets apart from the message.
namespace EditorAccess {

// One planned change of an entry.
struct Change
{
    enum Table { Menu, Toolbar, GroupBar, Catalogue };
    Table table = Menu;
    // MenuID, ButtonID or ItemID; for the catalogue the function's number.
    QString key;
    // Deleted, or else written with these values.
    bool removed = false;
    QString functionID;  // what the entry opens afterwards
    bool shown = true;   // IsShow of a toolbar button or group item
    QString controlName; // a catalogue function's class afterwards
};

// True when an editor that some entry reaches now would be reached by none
// after the change.  A table that cannot be read refuses nothing.
bool CutsOffEditor(const Change& change);
// The same check with the message "该项目用于打开本窗口，不能删除！";
// true when the change may go ahead.
bool MayChange(const Change& change, QWidget* parent);

// After an editor stored a change: the main window's menu, toolbar and
// side bar are built anew for the user logged in, and `note` says that other
// desks see the change at their next login.
void InterfaceChanged(QLabel* note);

} // namespace EditorAccess
