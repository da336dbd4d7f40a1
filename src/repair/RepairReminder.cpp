#include "RepairReminder.h"

#include "DataAccess.h"
#include "SqlConnection.h"

namespace RepairReminder {

namespace {

// The conditions of the three groups, over the open visits only.
const char* const LateCondition = "Status<2 and (ReceivedAt<? or DueAt<?)";
const char* const CallCondition = "Status=2 and (NotifiedAt is null or NotifiedAt<?)";
const char* const LongCondition = "Status=2 and ReadyAt<?";

QDateTime FromText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    QString text = value.toString();
    text.replace('T', ' ');
    return QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

bool Count(const QDateTime& now, const Limits& limits, Counts* counts, QString* error)
{
    *counts = {};
    // One pass over the open visits through the state index.
    const QString sql =
        QStringLiteral("select sum(case when %1 then 1 else 0 end),"
                       "sum(case when %2 then 1 else 0 end),"
                       "sum(case when %3 then 1 else 0 end) from RepairInfo where Status<3")
            .arg(QLatin1String(LateCondition), QLatin1String(CallCondition), QLatin1String(LongCondition));
    SqlStatement statement(CurrentConnection(), sql);
    const SqlArgs args = {SqlArg(now.addDays(-limits.overdueDays)), SqlArg(now),
                          SqlArg(now.addDays(-limits.pickupDays)), SqlArg(now.addDays(-limits.longWaitDays))};
    if (!statement.IsValid() || !statement.Bind(args) || !statement.Step()) {
        if (error)
            *error = statement.ErrorString();
        return false;
    }
    counts->overdue = statement.ColumnValue(0).toLongLong();
    counts->toCall = statement.ColumnValue(1).toLongLong();
    counts->longWait = statement.ColumnValue(2).toLongLong();
    return true;
}

QString LineText(const Counts& counts, const Limits& limits)
{
    return QStringLiteral("超期 %1 · 待取机 %2 · 超%3天未取 %4")
        .arg(counts.overdue)
        .arg(counts.toCall)
        .arg(limits.longWaitDays)
        .arg(counts.longWait);
}

QVector<Call> CallList(const QDateTime& now, const Limits& limits, QString* error)
{
    QVector<Call> calls;
    const QString sql =
        QStringLiteral(
            "select RepairID,RepairNo,coalesce((select Name from SaleInfo where "
            "SaleInfo.id=RepairInfo.SaleID),CustomerName),ContactName,ContactPhone,Problem,ReadyAt,"
            "NotifiedAt from RepairInfo where %1 order by ReadyAt,RepairID")
            .arg(QLatin1String(CallCondition));
    SqlStatement statement(CurrentConnection(), sql);
    if (!statement.IsValid() || !statement.Bind({SqlArg(now.addDays(-limits.pickupDays))})) {
        if (error)
            *error = statement.ErrorString();
        return calls;
    }
    while (statement.Step()) {
        Call call;
        call.repairID = statement.ColumnInt64(0);
        call.repairNo = statement.ColumnValue(1).toString();
        call.customer = statement.ColumnValue(2).toString();
        call.contact = statement.ColumnValue(3).toString();
        call.phone = statement.ColumnValue(4).toString();
        call.problem = statement.ColumnValue(5).toString();
        call.readyAt = FromText(statement.ColumnValue(6));
        call.notifiedAt = FromText(statement.ColumnValue(7));
        calls << call;
    }
    if (statement.Failed() && error)
        *error = statement.ErrorString();
    return calls;
}

bool MarkNotified(qint64 repairID, const QDateTime& now, QString* error)
{
    if (!ExecCommand("update RepairInfo set NotifiedAt=? where RepairID=? and Status=2",
                     {SqlArg(now), SqlArg(repairID)}, error))
        return false;
    if (CurrentConnection()->Changes() != 1) {
        if (error)
            *error = QStringLiteral("该机器已不在待取机状态。");
        return false;
    }
    return true;
}

} // namespace RepairReminder
