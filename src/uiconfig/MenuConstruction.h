#pragma once

#include "MemDataset.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <functional>

// What the generated menu, toolbar and group bar show, worked out from the
// menu rows, the toolbar and group-bar tables and the user's grants, without
// any widget.  TFunctions turns these entries into the main window's
// controls.

// One entry of the main menu or of a submenu.
struct MenuEntry
{
    qint64 menuID = 0;
    QString text;
    QString funcID;
    // The function identifier as a number; 0 without function (no click).
    int tag = 0;
    // True for the separators of a submenu (a top-level "-" is an ordinary
    // entry "【-】").
    bool separator = false;
    // The entry of function 4003, which also lists the skins.
    bool IsSkinEntry() const { return funcID == QLatin1String("4003"); }
};

// A tool button; `separator` entries have no caption or tag.
struct ToolButtonEntry
{
    QString text;
    int tag = -1;
    int iconIndex = 0;
    bool separator = false;
};

struct GroupItemEntry
{
    QString text;
    int tag = 0;
    int iconIndex = 0;
};

struct GroupEntry
{
    QString caption;
    int iconIndex = -1;
    QVector<GroupItemEntry> items;
};

using GrantTest = std::function<bool(const QString& funcID)>;

// One menu row as the marking below sees it.
struct MenuMark
{
    qint64 menuID = 0;
    qint64 parentID = 0;
    QString text;
    QString funcID;
    bool inUse = false; // IsUse "Y"
};

// Sets IsUse "Y" on every row of the working copy whose function is granted
// and on all ancestors of rows in use (separators never mark ancestors).
void MarkGrantedMenus(MemDataset& menuCopy, const MemDataset& grantSet);
// The same on plain rows, in menu order (the login marks its rows before
// they go into the menu set).
void MarkGrantedMenus(QVector<MenuMark>& rows, const GrantTest& isGranted);
// Sets IsUse "Y" on the row `menuID` and its ancestors, stopping at 0, at an
// unknown row, after a separator, or where the parent chain runs in a circle.
void MarkMenuAncestors(MemDataset& menuCopy, qint64 menuID);

// The top-level entries in use, in MenuSet order, captioned "【" + text + "】".
QVector<MenuEntry> MainMenuEntries(const MemDataset& menuSet);

// The rows of a menu set grouped by parent, each group stably sorted by
// OrderNum: read once, so that a menu of many entries is built without
// reading the whole set for each of them.
class MenuChildren
{
public:
    explicit MenuChildren(const MemDataset& menuSet);
    // As SubMenuEntries.
    QVector<MenuEntry> Entries(qint64 menuID, bool hasItems = false) const;

private:
    struct Child
    {
        MenuEntry entry;
        qint64 orderNum = 0;
        bool inUse = false;
    };
    QHash<qint64, QVector<Child>> m_children;
};
// The children in use of `menuID`, stably sorted by OrderNum, without leading
// or doubled separators (a trailing one stays).  `hasItems` says whether the
// submenu already holds entries (the skin list), so a first separator is kept.
QVector<MenuEntry> SubMenuEntries(const MemDataset& menuSet, qint64 menuID, bool hasItems = false);

// Toolbar rows (IsShow "Y", read in descending OrderNum) to buttons, left to
// right in ascending OrderNum; rows of ungranted functions are left out, and
// no two separators stand side by side.
QVector<ToolButtonEntry> ToolBarEntries(MemDataset toolRows, const GrantTest& isGranted);
// Group-bar rows (IsShow "Y", ascending OrderNum) to groups with their granted
// items; a group without any item is left out.
QVector<GroupEntry> GroupBarEntries(MemDataset groupRows, const GrantTest& isGranted);

// A function identifier as a control's tag: `empty` for an empty text, 0 for a
// text that is not a number.
int FunctionTag(const QString& funcID, int empty);
