#pragma once

#include "TItem.h"
#include "VersionedRow.h"

// Writes to the group-bar table AC_GROUPCFG.  No widgets.
class GroupBarTable
{
public:
    // A new item below `parentItemID` (0: a main item).  ItemID and OrderNum
    // come from the counters ItemID and ItemOrderID in the same transaction;
    // `item.ItemID` is set to the key allocated.
    static bool InsertItem(TItem& item, qint32 parentItemID);
    // Text, parent, function, icon and shown flag; OrderNum stays.  Written
    // only while the stored row has `item.RowVersion`, counted up on success.
    static bool UpdateItem(TItem& item, qint32 parentItemID, VersionedRow::Outcome* outcome = nullptr);
    static bool DeleteItem(qint32 itemID);
};
