#include "WarrantyCardCode.h"

#include <QStringList>

QString WarrantyCardCodeText(qint64 recordId, const QString& customer, const QDate& buyDate,
                             const QDate& warrantyEnd, const QString& shop)
{
    if (recordId <= 0)
        return {};
    const auto date = [](const QDate& d) { return d.isValid() ? d.toString("yyyy-MM-dd") : QString(); };
    QStringList lines = {
        QStringLiteral("保修档案编号：%1").arg(recordId), QStringLiteral("客户：") + customer.trimmed(),
        QStringLiteral("购机日期：") + date(buyDate), QStringLiteral("过保日期：") + date(warrantyEnd)};
    if (!shop.trimmed().isEmpty())
        lines << QStringLiteral("商家：") + shop.trimmed();
    return lines.join(QLatin1Char('\n'));
}
