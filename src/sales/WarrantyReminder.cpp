#include "WarrantyReminder.h"

#include "DataAccess.h"
#include "SaleRecord.h"

namespace WarrantyReminder {

qint64 CountExpiring(const QDateTime& now, int days, QString* error)
{
    const SaleRecord::Condition condition = SaleRecord::ExpiringCustomers(now, days);
    MemDataset result;
    if (!OpenQuery("select count(*) as n from SaleInfo where " + condition.where, result, condition.args,
                   error) ||
        result.IsEmpty())
        return -1;
    return result.AsInteger("n");
}

QString NoticeText(qint64 count, int days)
{
    return QStringLiteral("有 %1 位客户的保修将在 %2 天内到期").arg(count).arg(days);
}

} // namespace WarrantyReminder
