#include "WarrantyCardCode.h"

#include <QRegularExpression>
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

qint64 WarrantyCardRecordId(const QString& text)
{
    static const QRegularExpression first(
        QStringLiteral("^\\s*保修档案编号[：:]\\s*(\\d{1,18})\\s*(?:\\n|$)"));
    const QRegularExpressionMatch m = first.match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : 0;
}

bool IsWarrantyCardLine(const QString& text)
{
    static const QRegularExpression line(QStringLiteral("^\\s*(客户|购机日期|过保日期|商家)[：:]"));
    return line.match(text).hasMatch();
}
