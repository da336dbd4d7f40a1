#include "MenuConstruction.h"

#include "Utilities.h"

#include <QSet>
#include <algorithm>

namespace {

const QString Separator = QStringLiteral("-");

// Row number of `menuID` in the dataset, -1 when it has none.
int FindMenuRow(const MemDataset& menus, qint64 menuID)
{
    const int field = menus.FieldIndex("MenuID");
    for (int row = 0; row < menus.RecordCount(); ++row)
        if (menus.ValueAt(row, field).toLongLong() == menuID)
            return row;
    return -1;
}

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

void MarkMenuAncestors(MemDataset& menuCopy, qint64 menuID)
{
    QSet<qint64> seen;
    while (menuID != 0 && !seen.contains(menuID)) {
        seen.insert(menuID);
        const int row = FindMenuRow(menuCopy, menuID);
        if (row < 0)
            return;
        menuCopy.MoveTo(row);
        const qint64 parent = menuCopy.AsInteger("ParentMenuID");
        const QString text = menuCopy.AsString("MenuText");
        SetIsUse(menuCopy, row);
        if (text == Separator)
            return;
        menuID = parent;
    }
}

void MarkGrantedMenus(MemDataset& menuCopy, const MemDataset& grantSet)
{
    const MemDataset snapshot = menuCopy;
    const QSet<QString> granted = ValuesOf(grantSet, "FuncID");
    for (int row = 0; row < snapshot.RecordCount(); ++row) {
        const auto value = [&](const char* field) {
            return snapshot.ValueAt(row, snapshot.FieldIndex(field));
        };
        const QString text = value("MenuText").toString();
        const qint64 parent = value("ParentMenuID").toLongLong();
        if (value("IsUse").toString() != QLatin1String("Y") || text == Separator) {
            if (!granted.contains(value("FuncID").toString()))
                continue;
            const int target = FindMenuRow(menuCopy, value("MenuID").toLongLong());
            if (target >= 0)
                SetIsUse(menuCopy, target);
            if (text != Separator)
                MarkMenuAncestors(menuCopy, parent);
        } else {
            MarkMenuAncestors(menuCopy, parent);
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

QVector<MenuEntry> SubMenuEntries(const MemDataset& menuSet, qint64 menuID, bool hasItems)
{
    struct Record
    {
        MenuEntry entry;
        qint64 orderNum;
        bool inUse;
    };
    QVector<Record> records;
    MemDataset rows = menuSet;
    rows.ClearFilter();
    for (rows.First(); !rows.Eof(); rows.Next()) {
        if (rows.AsInteger("ParentMenuID") != menuID)
            continue;
        Record record;
        record.entry.menuID = rows.AsInteger("MenuID");
        record.entry.text = rows.AsString("MenuText");
        record.entry.funcID = rows.AsString("FuncID");
        record.entry.tag = FunctionTag(record.entry.funcID, 0);
        record.entry.separator = record.entry.text == Separator;
        record.orderNum = rows.AsInteger("OrderNum");
        record.inUse = rows.AsString("IsUse") == QLatin1String("Y");
        records << record;
    }
    // Stable: equal OrderNum values keep the order in which they were loaded.
    std::stable_sort(records.begin(), records.end(),
                     [](const Record& a, const Record& b) { return a.orderNum < b.orderNum; });

    QVector<MenuEntry> entries;
    for (const Record& record : records) {
        if (!record.inUse)
            continue;
        if (record.entry.separator) {
            const bool empty = entries.isEmpty() && !hasItems;
            if (empty || (!entries.isEmpty() && entries.last().separator))
                continue;
        }
        entries << record.entry;
    }
    return entries;
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
    QVector<GroupEntry> groups;
    groupRows.ClearFilter();
    for (groupRows.First(); !groupRows.Eof(); groupRows.Next()) {
        if (groupRows.AsInteger("ParentItemID") != 0)
            continue;
        const qint64 itemID = groupRows.AsInteger("ItemID");
        GroupEntry group;
        group.caption = groupRows.AsString("ItemText").trimmed();
        group.iconIndex = int(FieldAsInteger(groupRows, "IconIndex", 0));
        for (int row = 0; row < groupRows.RecordCount(); ++row) {
            const auto value = [&](const char* field) {
                return groupRows.ValueAt(row, groupRows.FieldIndex(field));
            };
            if (value("ParentItemID").toLongLong() != itemID || itemID == 0)
                continue;
            const QString funcID = value("FunctionID").toString();
            if (funcID.isEmpty() || !isGranted(funcID))
                continue;
            GroupItemEntry item;
            item.text = value("ItemText").toString();
            item.tag = FunctionTag(funcID, 0);
            item.iconIndex = int(TextToInt(value("IconIndex").toString()));
            group.items << item;
        }
        if (!group.items.isEmpty())
            groups << group;
    }
    return groups;
}
