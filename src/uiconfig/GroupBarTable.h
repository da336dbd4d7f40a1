#pragma once

#include "TItem.h"

// Writes to the group-bar table AC_GROUPCFG.  No widgets.
class GroupBarTable
{
public:
    // A new item below `parentItemID` (0: a main item).  ItemID and OrderNum
    // come from the counters ItemID and ItemOrderID in the same transaction;
    // `item.ItemID` is set to the key allocated.
    static bool InsertItem(TItem& item, qint32 parentItemID);
    // Text, parent, function, icon and shown flag; OrderNum stays.
    static bool UpdateItem(const TItem& item, qint32 parentItemID);
    static bool DeleteItem(qint32 itemID);
};
