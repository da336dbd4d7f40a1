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
            QStringLiteral(
                "Insert into AC_GROUPCFG (ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,"
                "OrderNum) values (?,?,?,?,?,?,?)"),
            {itemID, item.ItemText, item.IconIndex, item.IsShow, item.FunctionID, parentItemID, order}) ||
        !transaction.Commit())
        return false;
    item.ItemID = qint32(itemID);
    return true;
}

bool GroupBarTable::UpdateItem(TItem& item, qint32 parentItemID, VersionedRow::Outcome* outcome)
{
    // An item gone meanwhile (a restored older backup) is not updated.
    const VersionedRow::Outcome result = VersionedRow::Update(
        QStringLiteral("AC_GROUPCFG"), QStringLiteral("ItemID"), item.ItemID, &item.RowVersion,
        QStringLiteral("ItemText=?,ParentItemID=?,FunctionID=?,IconIndex=?,IsShow=?"),
        {item.ItemText, parentItemID, item.FunctionID, item.IconIndex, item.IsShow});
    if (outcome)
        *outcome = result;
    return result == VersionedRow::Outcome::Saved;
}

bool GroupBarTable::DeleteItem(qint32 itemID)
{
    return ExecCommand(QStringLiteral("delete from AC_GROUPCFG where ItemID=?"), {itemID});
}
