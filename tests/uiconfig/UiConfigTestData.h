#pragma once

#include "DataAccess.h"
#include "MenuConstruction.h"
#include "PasswordHash.h"

#include <QStringList>
#include <QTest>

// Small writers for the configuration tables used by the rights and
// construction tests.
namespace TestData {

inline void AddUser(const QString& id)
{
    QVERIFY(ExecCommand(
        "insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) values (?,?,?,'Y','Y')",
        {id, id.toLower(), SqlArg::Secret(PasswordHash::Hash("pw"))}));
}

inline void AddFunction(const QString& id, const QString& parent, const QString& isPublic,
                        const QString& control = QString(), const QString& modal = QString())
{
    QVERIFY(ExecCommand("insert into AC_FUNCTIONINFO (FunctionID,FunctionName,ControlName,FormModal,"
                        "ParentFunctionID,IsPublic,OrderNum) values (?,?,?,?,?,?,0)",
                        {id, "F" + id, control, modal, parent, isPublic}));
}

inline void GrantUser(const QString& funcID, const QString& userID)
{
    QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values (?,?)", {funcID, userID}));
}

inline void AddMenu(int id, const QString& text, int parent, const QString& funcID, int order)
{
    QVERIFY(ExecCommand(
        "insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum) values (?,?,?,?,?)",
        {id, text, parent, funcID, order}));
}

inline void AddButton(int id, const QString& text, const QString& funcID, int order,
                      const QString& show = "Y")
{
    QVERIFY(ExecCommand("insert into AC_TOOLCFG (ButtonID,ButtonText,IconIndex,IsShow,FunctionID,OrderNum) "
                        "values (?,?,0,?,?,?)",
                        {id, text, show, funcID, order}));
}

inline void AddGroupRow(int id, const QString& text, const QString& funcID, int parent, int order)
{
    QVERIFY(ExecCommand(
        "insert into AC_GROUPCFG (ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,OrderNum) values "
        "(?,?,0,'Y',?,?,?)",
        {id, text, funcID, parent, order}));
}

inline QStringList Texts(const QVector<MenuEntry>& entries)
{
    QStringList texts;
    for (const MenuEntry& entry : entries)
        texts << entry.text;
    return texts;
}

inline QStringList Texts(const QVector<ToolButtonEntry>& entries)
{
    QStringList texts;
    for (const ToolButtonEntry& entry : entries)
        texts << (entry.separator ? QStringLiteral("-") : entry.text);
    return texts;
}

inline QStringList Texts(const QVector<GroupEntry>& groups)
{
    QStringList texts;
    for (const GroupEntry& group : groups) {
        QStringList items;
        for (const GroupItemEntry& item : group.items)
            items << item.text;
        texts << group.caption + ":" + items.join(",");
    }
    return texts;
}

inline MemDataset Rows(const QString& sql)
{
    MemDataset rows;
    if (!OpenQuery(sql, rows))
        qWarning("query failed: %s", qPrintable(sql));
    return rows;
}

inline MemDataset ToolRows()
{
    return Rows("select * from AC_TOOLCFG where IsShow='Y' order by OrderNum desc");
}

inline MemDataset GroupRows()
{
    return Rows("select * from AC_GroupCfg where IsShow='Y' order by OrderNum");
}

} // namespace TestData
