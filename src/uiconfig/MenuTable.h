#pragma once

#include "TMenu.h"
#include "VersionedRow.h"

// Writes to the menu table AC_MENUSTRUCT (and, for a new menu shown on the
// toolbar, to AC_TOOLCFG).  No widgets.
class MenuTable
{
public:
    // A new menu below `parentMenuID` (0: top level).  Its MenuID and OrderNum
    // come from the counters MenuID and MenuOrderID; `menu.MenuID` is set to
    // the key allocated.  With `withToolButton` a toolbar row with the same
    // text and function is added too (not shown until the toolbar editor marks
    // it so).  All in one transaction.
    static bool InsertMenu(TMenu& menu, qint32 parentMenuID, bool withToolButton);
    // Text, parent and function; OrderNum stays.  Written only while the
    // stored row has `menu.RowVersion`, which is counted up on success;
    // `outcome` tells why nothing was written.
    static bool UpdateMenu(TMenu& menu, qint32 parentMenuID, VersionedRow::Outcome* outcome = nullptr);
    static bool DeleteMenu(qint32 menuID);
};
