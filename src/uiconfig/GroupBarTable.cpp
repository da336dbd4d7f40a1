#include "GroupBarTable.h"

#include "DataAccess.h"

bool GroupBarTable::InsertItem(TItem& item, qint32 parentItemID)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    const qint64 itemID =
        NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("ItemID")).toLongLong();
    const qint64 order =
        NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("ItemOrderID")).toLongLong();
    if (itemID <= 0 || order <= 0)
        return false;
    if (!ExecCommand(
            QStringLiteral("Insert into AC_GROUPCFG values (?,?,?,?,?,?,?)"),
            {itemID, item.ItemText, item.IconIndex, item.IsShow, item.FunctionID, parentItemID, order}) ||
        !transaction.Commit())
        return false;
    item.ItemID = qint32(itemID);
    return true;
}

bool GroupBarTable::UpdateItem(const TItem& item, qint32 parentItemID)
{
    // An item gone meanwhile (a restored older backup) is not updated.
    return ExecCommand(
               QStringLiteral("update AC_GROUPCFG set ItemText=?,ParentItemID=?,FunctionID=?,IconIndex=?,"
                              "IsShow=? where ItemID=?"),
               {item.ItemText, parentItemID, item.FunctionID, item.IconIndex, item.IsShow, item.ItemID}) &&
           CurrentConnection()->Changes() > 0;
}

bool GroupBarTable::DeleteItem(qint32 itemID)
{
    return ExecCommand(QStringLiteral("delete from AC_GROUPCFG where ItemID=?"), {itemID});
}
