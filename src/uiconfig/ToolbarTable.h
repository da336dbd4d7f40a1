#pragma once

#include "VersionedRow.h"

#include <QString>
#include <QVector>

// One AC_TOOLCFG row as the toolbar editor lists it, with the name of its
// function (empty when it has none or the function is gone).
struct ToolButtonRow
{
    qint64 ButtonID = 0;
    QString ButtonText;
    int IconIndex = 0;
    QString IsShow;
    QString FunctionID;
    QString FunctionName;
    QString OrderNum; // as stored, "0" when empty
    qint64 RowVersion = 1; // as read; see VersionedRow
};

// Reads and writes the toolbar table AC_TOOLCFG.  No widgets.
class ToolbarTable
{
public:
    // Every button in ascending OrderNum.
    static bool LoadButtons(QVector<ToolButtonRow>& rows);
    // A new button; its ButtonID comes from the counter ButtonID in the same
    // transaction and is set in `row`.
    static bool InsertButton(ToolButtonRow& row, qint64 orderNum);
    // Written only while the stored row has `row.RowVersion`, counted up on
    // success; `outcome` tells why nothing was written.
    static bool UpdateButton(ToolButtonRow& row, qint64 orderNum, VersionedRow::Outcome* outcome = nullptr);
    // Deletes a button and numbers the remaining ones, given in their list
    // order, 1, 2, 3 …, all or nothing.
    static bool DeleteButton(qint64 buttonID, const QVector<qint64>& remaining);
    // OrderNum 1, 2, 3 … in the order given, all or nothing.
    static bool SaveButtonOrder(const QVector<qint64>& buttonIDs);
};
