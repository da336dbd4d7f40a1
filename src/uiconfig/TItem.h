#pragma once

#include <QMetaType>
#include <QString>

// The record each node of the group-bar editor's tree carries: one
// AC_GROUPCFG row without its parent and order.
struct TItem
{
    qint32 ItemID = 0;
    QString ItemText;
    qint32 IconIndex = 0;
    QString FunctionID; // empty for a main item
    QString IsShow;     // "Y": shown
    qint64 RowVersion = 1; // as read; see VersionedRow
};
Q_DECLARE_METATYPE(TItem)
