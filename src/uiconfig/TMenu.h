#pragma once

#include <QMetaType>
#include <QString>

// The record each node of the menu editor's tree carries: one AC_MENUSTRUCT
// row without its parent and order.
struct TMenu
{
    qint32 MenuID = 0;
    QString MenuText;
    QString FunctionID; // empty: the entry runs no function
    qint64 RowVersion = 1; // as read; see VersionedRow
};
Q_DECLARE_METATYPE(TMenu)
