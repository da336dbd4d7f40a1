#pragma once

#include <QString>
#include <QVector>

// The tree-shaped configuration tables whose siblings are ordered by an
// integer OrderNum: the function catalogue, the menu and the group bar.  The
// order dialogs list the children of one parent and exchange the OrderNum
// values of two neighbours.
struct OrderedTable
{
    QString table;
    QString keyColumn;
    QString textColumn;
    QString parentColumn;
    // Function identifiers are text; menu and item keys are integers.
    bool textKeys = false;
};

extern const OrderedTable FunctionOrderTable; // AC_FUNCTIONINFO
extern const OrderedTable MenuOrderTable;     // AC_MENUSTRUCT
extern const OrderedTable ItemOrderTable;     // AC_GROUPCFG

// One child as the order dialogs show it: key and order number as text ("0"
// for an empty one), the caption as stored.
struct OrderRow
{
    QString key;
    QString text;
    QString order;
};

// The children of `parentKey` in ascending OrderNum.
bool LoadSiblings(const OrderedTable& table, const QString& parentKey, QVector<OrderRow>& rows);

// Gives each listed key its order number, all in one transaction.  Used for
// the exchange of two neighbours: either both rows change or neither does.
bool WriteOrderNumbers(const OrderedTable& table, const QVector<OrderRow>& rows);

// Binds a key as the column expects it.
QVariant OrderKeyValue(const OrderedTable& table, const QString& key);
