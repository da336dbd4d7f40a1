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

// The first row of each menu identifier.
QHash<qint64, int> MenuRows(const QVector<MenuMark>& rows)
{
    QHash<qint64, int> first;
    first.reserve(rows.size());
    for (int row = rows.size() - 1; row >= 0; --row)
        first.insert(rows[row].menuID, row);
    return first;
}

// Marks the chain of rows from `menuID` up; `done` holds the rows whose
// chain was marked before, where the walk can stop (the rest of the chain
// is the same).
void MarkChain(QVector<MenuMark>& rows, const QHash<qint64, int>& rowOf, qint64 menuID, QSet<qint64>& done)
{
    while (menuID != 0 && !done.contains(menuID)) {
        done.insert(menuID);
        const int row = rowOf.value(menuID, -1);
        if (row < 0)
            return;
        rows[row].inUse = true;
        if (rows[row].text == Separator)
            return;
        menuID = rows[row].parentID;
    }
}

QVector<MenuMark> MarksOf(const MemDataset& menus)
{
    const int idField = menus.FieldIndex("MenuID");
    const int parentField = menus.FieldIndex("ParentMenuID");
    const int textField = menus.FieldIndex("MenuText");
    const int funcField = menus.FieldIndex("FuncID");
    const int useField = menus.FieldIndex("IsUse");
    QVector<MenuMark> rows;
    rows.reserve(menus.RecordCount());
    for (int row = 0; row < menus.RecordCount(); ++row)
        rows.append({menus.ValueAt(row, idField).toLongLong(), menus.ValueAt(row, parentField).toLongLong(),
                     menus.ValueAt(row, textField).toString(), menus.ValueAt(row, funcField).toString(),
                     menus.ValueAt(row, useField).toString() == QLatin1String("Y")});
    return rows;
}

// Writes the rows newly in use back into the set they were read from.
void SetMarks(MemDataset& menus, const QVector<MenuMark>& before, const QVector<MenuMark>& after)
{
    for (int row = 0; row < after.size(); ++row)
        if (after[row].inUse && !before[row].inUse)
            SetIsUse(menus, row);
}

} // namespace

void MarkMenuAncestors(MemDataset& menuCopy, qint64 menuID)
{
    const QVector<MenuMark> before = MarksOf(menuCopy);
    QVector<MenuMark> rows = before;
    QSet<qint64> done;
    MarkChain(rows, MenuRows(rows), menuID, done);
    SetMarks(menuCopy, before, rows);
}

void MarkGrantedMenus(QVector<MenuMark>& rows, const GrantTest& isGranted)
{
    // Whether a row starts in use is judged on the rows as they came in;
    // rows are only marked, never moved: one look-up table for the walk.
    QVector<bool> wasInUse(rows.size());
    for (int row = 0; row < rows.size(); ++row)
        wasInUse[row] = rows[row].inUse;
    const QHash<qint64, int> rowOf = MenuRows(rows);
    QSet<qint64> done;
    for (int row = 0; row < rows.size(); ++row) {
        const bool separator = rows[row].text == Separator;
        if (!wasInUse[row] || separator) {
            if (!isGranted(rows[row].funcID))
                continue;
            const int target = rowOf.value(rows[row].menuID, -1);
            if (target >= 0)
                rows[target].inUse = true;
            if (!separator)
                MarkChain(rows, rowOf, rows[row].parentID, done);
        } else {
            MarkChain(rows, rowOf, rows[row].parentID, done);
        }
    }
}

void MarkGrantedMenus(MemDataset& menuCopy, const MemDataset& grantSet)
{
    const QSet<QString> granted = ValuesOf(grantSet, "FuncID");
    const QVector<MenuMark> before = MarksOf(menuCopy);
    QVector<MenuMark> rows = before;
    MarkGrantedMenus(rows, [&granted](const QString& funcID) { return granted.contains(funcID); });
    SetMarks(menuCopy, before, rows);
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
