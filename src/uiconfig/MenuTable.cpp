#include "MenuTable.h"

#include "DataAccess.h"

bool MenuTable::InsertMenu(TMenu& menu, qint32 parentMenuID, bool withToolButton)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    const qint64 menuID =
        NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("MenuID")).toLongLong();
    const qint64 order =
        NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("MenuOrderID")).toLongLong();
    if (menuID <= 0 || order <= 0)
        return false;
    if (!ExecCommand(
            QStringLiteral("Insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum)"
                           " values (?,?,?,?,?)"),
            {menuID, menu.MenuText, parentMenuID, menu.FunctionID, order}))
        return false;
    if (withToolButton) {
        const qint64 buttonID =
            NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("ButtonID")).toLongLong();
        if (buttonID <= 0 ||
            !ExecCommand(
                QStringLiteral("Insert into AC_TOOLCFG (ButtonID,ButtonText,FunctionID) values (?,?,?)"),
                {buttonID, menu.MenuText, menu.FunctionID}))
            return false;
    }
    if (!transaction.Commit())
        return false;
    menu.MenuID = qint32(menuID);
    return true;
}

bool MenuTable::UpdateMenu(TMenu& menu, qint32 parentMenuID, VersionedRow::Outcome* outcome)
{
    // A menu gone meanwhile (a restored older backup) is not updated.
    const VersionedRow::Outcome result =
        VersionedRow::Update(QStringLiteral("AC_MENUSTRUCT"), QStringLiteral("MenuID"), menu.MenuID,
                             &menu.RowVersion, QStringLiteral("MenuText=?,ParentMenuID=?,FunctionID=?"),
                             {menu.MenuText, parentMenuID, menu.FunctionID});
    if (outcome)
        *outcome = result;
    return result == VersionedRow::Outcome::Saved;
}

bool MenuTable::DeleteMenu(qint32 menuID)
{
    return ExecCommand(QStringLiteral("delete from AC_MENUSTRUCT where MenuID=?"), {menuID});
}
