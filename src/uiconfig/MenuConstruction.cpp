#include "MenuConstruction.h"

#include "Utilities.h"

#include <QSet>
#include <algorithm>

namespace {

const QString Separator = QStringLiteral("-");

// The values of one field, for look-ups in constant time.
QSet<QString> ValuesOf(const MemDataset& set, const QString& field)
{
    QSet<QString> values;
    const int index = set.FieldIndex(field);
    for (int row = 0; row < set.RecordCount(); ++row)
        values.insert(set.ValueAt(row, index).toString());
    return values;
}

void SetIsUse(MemDataset& menus, int row)
{
    menus.MoveTo(row);
    menus.SetValue("IsUse", "Y");
    menus.Post();
}

} // namespace

int FunctionTag(const QString& funcID, int empty)
{
    if (funcID.trimmed().isEmpty())
        return empty;
    bool ok = false;
    const qint64 value = TextToInt(funcID, &ok);
    return ok ? int(value) : 0;
}

namespace {

// Marks the chain of rows from `menuID` up; `done` holds the rows whose
// chain was marked before, where the walk can stop (the rest of the chain
// is the same).
void MarkChain(MemDataset& menuCopy, const QHash<qint64, int>& rowOf, qint64 menuID, QSet<qint64>& done)
{
    const int parentField = menuCopy.FieldIndex("ParentMenuID");
    const int textField = menuCopy.FieldIndex("MenuText");
    const int useField = menuCopy.FieldIndex("IsUse");
    while (menuID != 0 && !done.contains(menuID)) {
        done.insert(menuID);
        const int row = rowOf.value(menuID, -1);
        if (row < 0)
            return;
        const qint64 parent = menuCopy.ValueAt(row, parentField).toLongLong();
        const QString text = menuCopy.ValueAt(row, textField).toString();
        if (menuCopy.ValueAt(row, useField).toString() != QLatin1String("Y"))
            SetIsUse(menuCopy, row);
        if (text == Separator)
            return;
        menuID = parent;
    }
}

// The first row of each MenuID.
QHash<qint64, int> MenuRows(const MemDataset& menus)
{
    QHash<qint64, int> rows;
    const int field = menus.FieldIndex("MenuID");
    rows.reserve(menus.RecordCount());
    for (int row = 0; row < menus.RecordCount(); ++row)
        rows.insert(menus.ValueAt(row, field).toLongLong(), row);
    // insert() keeps the last: put the first of duplicates back.
    for (int row = menus.RecordCount() - 1; row >= 0; --row)
        rows[menus.ValueAt(row, field).toLongLong()] = row;
    return rows;
}

} // namespace

void MarkMenuAncestors(MemDataset& menuCopy, qint64 menuID)
{
    QSet<qint64> done;
    MarkChain(menuCopy, MenuRows(menuCopy), menuID, done);
}

void MarkGrantedMenus(MemDataset& menuCopy, const MemDataset& grantSet)
{
    const MemDataset snapshot = menuCopy;
    const QSet<QString> granted = ValuesOf(grantSet, "FuncID");
    // Rows are only marked, never moved: one look-up table for the walk.
    const QHash<qint64, int> rowOf = MenuRows(menuCopy);
    const int textField = snapshot.FieldIndex("MenuText");
    const int parentField = snapshot.FieldIndex("ParentMenuID");
    const int useField = snapshot.FieldIndex("IsUse");
    const int funcField = snapshot.FieldIndex("FuncID");
    const int idField = snapshot.FieldIndex("MenuID");
    QSet<qint64> done;
    for (int row = 0; row < snapshot.RecordCount(); ++row) {
        const QString text = snapshot.ValueAt(row, textField).toString();
        const qint64 parent = snapshot.ValueAt(row, parentField).toLongLong();
        if (snapshot.ValueAt(row, useField).toString() != QLatin1String("Y") || text == Separator) {
            if (!granted.contains(snapshot.ValueAt(row, funcField).toString()))
                continue;
            const int target = rowOf.value(snapshot.ValueAt(row, idField).toLongLong(), -1);
            if (target >= 0)
                SetIsUse(menuCopy, target);
            if (text != Separator)
                MarkChain(menuCopy, rowOf, parent, done);
        } else {
            MarkChain(menuCopy, rowOf, parent, done);
        }
    }
}

QVector<MenuEntry> MainMenuEntries(const MemDataset& menuSet)
{
    QVector<MenuEntry> entries;
    MemDataset rows = menuSet;
    rows.ClearFilter();
    for (rows.First(); !rows.Eof(); rows.Next()) {
        if (rows.AsInteger("ParentMenuID") != 0 || rows.AsString("IsUse") != QLatin1String("Y"))
            continue;
        MenuEntry entry;
        entry.menuID = rows.AsInteger("MenuID");
        entry.text = QStringLiteral("【") + rows.AsString("MenuText") + QStringLiteral("】");
        entry.funcID = rows.AsString("FuncID");
        entry.tag = FunctionTag(entry.funcID, 0);
        entries << entry;
    }
    return entries;
}

MenuChildren::MenuChildren(const MemDataset& menuSet)
{
    const int idField = menuSet.FieldIndex("MenuID");
    const int textField = menuSet.FieldIndex("MenuText");
    const int parentField = menuSet.FieldIndex("ParentMenuID");
    const int funcField = menuSet.FieldIndex("FuncID");
    const int orderField = menuSet.FieldIndex("OrderNum");
    const int useField = menuSet.FieldIndex("IsUse");
    // Every row, whatever filter the set has.
    MemDataset rows = menuSet;
    rows.ClearFilter();
    for (int row = 0; row < rows.RecordCount(); ++row) {
        Child child;
        child.entry.menuID = rows.ValueAt(row, idField).toLongLong();
        child.entry.text = rows.ValueAt(row, textField).toString();
        child.entry.funcID = rows.ValueAt(row, funcField).toString();
        child.entry.tag = FunctionTag(child.entry.funcID, 0);
        child.entry.separator = child.entry.text == Separator;
        child.orderNum = rows.ValueAt(row, orderField).toLongLong();
        child.inUse = rows.ValueAt(row, useField).toString() == QLatin1String("Y");
        m_children[rows.ValueAt(row, parentField).toLongLong()].append(child);
    }
    // Stable: equal OrderNum values keep the order in which they were loaded.
    for (QVector<Child>& children : m_children)
        std::stable_sort(children.begin(), children.end(),
                         [](const Child& a, const Child& b) { return a.orderNum < b.orderNum; });
}

QVector<MenuEntry> MenuChildren::Entries(qint64 menuID, bool hasItems) const
{
    QVector<MenuEntry> entries;
    const auto it = m_children.constFind(menuID);
    if (it == m_children.cend())
        return entries;
    for (const Child& child : *it) {
        if (!child.inUse)
            continue;
        if (child.entry.separator) {
            const bool empty = entries.isEmpty() && !hasItems;
            if (empty || (!entries.isEmpty() && entries.last().separator))
                continue;
        }
        entries << child.entry;
    }
    return entries;
}

QVector<MenuEntry> SubMenuEntries(const MemDataset& menuSet, qint64 menuID, bool hasItems)
{
    return MenuChildren(menuSet).Entries(menuID, hasItems);
}

QVector<ToolButtonEntry> ToolBarEntries(MemDataset toolRows, const GrantTest& isGranted)
{
    // The rows come in descending OrderNum and each button is put in front of
    // the ones placed before it, so the bar reads in ascending OrderNum.
    QVector<ToolButtonEntry> placed;
    toolRows.ClearFilter();
    for (toolRows.First(); !toolRows.Eof(); toolRows.Next()) {
        const QString funcID = toolRows.AsString("FunctionID");
        if (!funcID.isEmpty() && !isGranted(funcID))
            continue;
        ToolButtonEntry entry;
        entry.text = toolRows.AsString("ButtonText");
        entry.iconIndex = int(FieldAsInteger(toolRows, "IconIndex", 0));
        entry.separator = entry.text == Separator;
        if (entry.separator) {
            if (placed.isEmpty() || placed.last().separator)
                continue;
            entry.text.clear();
        } else {
            entry.tag = FunctionTag(funcID, -1);
        }
        placed << entry;
    }
    std::reverse(placed.begin(), placed.end());
    return placed;
}

QVector<GroupEntry> GroupBarEntries(MemDataset groupRows, const GrantTest& isGranted)
{
    groupRows.ClearFilter();
    const int parentField = groupRows.FieldIndex("ParentItemID");
    const int idField = groupRows.FieldIndex("ItemID");
    const int textField = groupRows.FieldIndex("ItemText");
    const int iconField = groupRows.FieldIndex("IconIndex");
    const int funcField = groupRows.FieldIndex("FunctionID");
    // The items of each group in row order, read in one pass.
    QHash<qint64, QVector<int>> itemRows;
    for (int row = 0; row < groupRows.RecordCount(); ++row)
        itemRows[groupRows.ValueAt(row, parentField).toLongLong()].append(row);
    QVector<GroupEntry> groups;
    for (const int row : itemRows.value(0)) {
        const qint64 itemID = groupRows.ValueAt(row, idField).toLongLong();
        groupRows.MoveTo(row);
        GroupEntry group;
        group.caption = groupRows.AsString("ItemText").trimmed();
        group.iconIndex = int(FieldAsInteger(groupRows, "IconIndex", 0));
        if (itemID != 0) {
            for (const int item : itemRows.value(itemID)) {
                const QString funcID = groupRows.ValueAt(item, funcField).toString();
                if (funcID.isEmpty() || !isGranted(funcID))
                    continue;
                GroupItemEntry entry;
                entry.text = groupRows.ValueAt(item, textField).toString();
                entry.tag = FunctionTag(funcID, 0);
                entry.iconIndex = int(TextToInt(groupRows.ValueAt(item, iconField).toString()));
                group.items << entry;
            }
        }
        if (!group.items.isEmpty())
            groups << group;
    }
    return groups;
}
