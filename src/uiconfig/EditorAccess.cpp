#include "EditorAccess.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "TFunctions.h"

#include <QHash>
#include <QLabel>
#include <QSet>

namespace EditorAccess {

namespace {

// The classes of the four editors.
const QSet<QString>& EditorClasses()
{
    static const QSet<QString> classes = {QStringLiteral("TfrmMenuCfg"), QStringLiteral("TfrmToolCfg"),
                                          QStringLiteral("TFrmGroupCfg"), QStringLiteral("TFrmRight")};
    return classes;
}

struct Entry
{
    Change::Table table;
    QString key;
    QString functionID;
    bool shown;
};

bool LoadEntries(QList<Entry>& entries, QHash<QString, QString>& classOf)
{
    MemDataset rows;
    if (!OpenQuery(QStringLiteral("select FunctionID,ControlName from AC_FUNCTIONINFO"), rows))
        return false;
    for (rows.First(); !rows.Eof(); rows.Next())
        classOf.insert(rows.AsString("FunctionID").trimmed(), rows.AsString("ControlName").trimmed());
    const struct
    {
        Change::Table table;
        const char* sql;
    } tables[] = {
        {Change::Menu, "select MenuID as EntryKey,FunctionID,'Y' as IsShow from AC_MENUSTRUCT"},
        {Change::Toolbar, "select ButtonID as EntryKey,FunctionID,IsShow from AC_TOOLCFG"},
        {Change::GroupBar, "select ItemID as EntryKey,FunctionID,IsShow from AC_GROUPCFG"},
    };
    for (const auto& table : tables) {
        MemDataset entryRows;
        if (!OpenQuery(QString::fromLatin1(table.sql), entryRows))
            return false;
        for (entryRows.First(); !entryRows.Eof(); entryRows.Next())
            entries.append({table.table, entryRows.AsString("EntryKey").trimmed(),
                            entryRows.AsString("FunctionID").trimmed(),
                            entryRows.AsString("IsShow").trimmed() == QLatin1String("Y")});
    }
    return true;
}

// The editors some shown entry opens.
QSet<QString> Reached(const QList<Entry>& entries, const QHash<QString, QString>& classOf)
{
    QSet<QString> reached;
    for (const Entry& entry : entries) {
        const QString control = classOf.value(entry.functionID);
        if (entry.shown && EditorClasses().contains(control))
            reached.insert(control);
    }
    return reached;
}

} // namespace

bool CutsOffEditor(const Change& change)
{
    QList<Entry> entries;
    QHash<QString, QString> classOf;
    if (!LoadEntries(entries, classOf))
        return false;
    const QSet<QString> before = Reached(entries, classOf);
    if (change.table == Change::Catalogue) {
        if (change.removed)
            classOf.remove(change.key);
        else
            classOf.insert(change.key, change.controlName.trimmed());
    } else {
        for (qsizetype i = entries.size() - 1; i >= 0; --i) {
            Entry& entry = entries[i];
            if (entry.table != change.table || entry.key != change.key)
                continue;
            if (change.removed) {
                entries.removeAt(i);
            } else {
                entry.functionID = change.functionID.trimmed();
                entry.shown = change.shown;
            }
        }
    }
    const QSet<QString> after = Reached(entries, classOf);
    for (const QString& editor : before)
        if (!after.contains(editor))
            return true;
    return false;
}

bool MayChange(const Change& change, QWidget* parent)
{
    if (!CutsOffEditor(change))
        return true;
    ShowMessage(QStringLiteral("该项目用于打开本窗口，不能删除！"), parent);
    return false;
}

void InterfaceChanged(QLabel* note)
{
    if (Functions)
        Functions->RebuildUserInterface();
    if (note)
        note->setText(
            QStringLiteral("本机的菜单、工具栏和侧边栏已按改动重建；其他电脑在下次登录时才能看到改动。"));
}

} // namespace EditorAccess
