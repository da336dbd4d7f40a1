#include "SiblingOrder.h"

#include "DataAccess.h"
#include "Utilities.h"

const OrderedTable FunctionOrderTable{"AC_FUNCTIONINFO", "FunctionID", "FunctionName", "ParentFunctionID",
                                      true};
const OrderedTable MenuOrderTable{"AC_MENUSTRUCT", "MenuID", "MenuText", "ParentMenuID", false};
const OrderedTable ItemOrderTable{"AC_GROUPCFG", "ItemID", "ItemText", "ParentItemID", false};

QVariant OrderKeyValue(const OrderedTable& table, const QString& key)
{
    if (table.textKeys)
        return key;
    return TextToInt(key);
}

bool LoadSiblings(const OrderedTable& table, const QString& parentKey, QVector<OrderRow>& rows)
{
    rows.clear();
    MemDataset data;
    const QString sql =
        QStringLiteral("Select * from %1 where %2=? order by ordernum").arg(table.table, table.parentColumn);
    if (!OpenQuery(sql, data, {SqlArg(OrderKeyValue(table, parentKey))}))
        return false;
    for (data.First(); !data.Eof(); data.Next()) {
        rows.append({FieldAsText(data, table.keyColumn, QStringLiteral("0")),
                     FieldAsText(data, table.textColumn, QString()),
                     FieldAsText(data, QStringLiteral("OrderNum"), QStringLiteral("0"))});
    }
    return true;
}

bool WriteOrderNumbers(const OrderedTable& table, const QVector<OrderRow>& rows)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    const QString sql =
        QStringLiteral("update %1 set OrderNum=? where %2=?").arg(table.table, table.keyColumn);
    for (const OrderRow& row : rows) {
        bool ok = false;
        const qint64 order = TextToInt(row.order, &ok);
        if (!ok || !ExecCommand(sql, {order, SqlArg(OrderKeyValue(table, row.key))}))
            return false;
    }
    return transaction.Commit();
}
