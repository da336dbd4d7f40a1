#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

// The open visits that need the desk: late repairs, machines waiting to be
// fetched whose customer has not been called lately, and machines left more
// than the long-wait days.  Everything is counted by the database; the clock
// is the caller's.
namespace RepairReminder {

struct Limits
{
    int overdueDays = 3; // 已接收/检修中 received longer ago than this is late
    int pickupDays = 7;  // a 已通知 call is not repeated for this long
    int longWaitDays = 30;
};

struct Counts
{
    qint64 overdue = 0;  // 已接收/检修中, late or past 预计完成
    qint64 toCall = 0;   // 待取机, not notified within the pickup days
    qint64 longWait = 0; // 待取机 since more than the long-wait days
    bool IsEmpty() const { return overdue == 0 && toCall == 0 && longWait == 0; }
};

// false with the database's message when the counts cannot be read.
bool Count(const QDateTime& now, const Limits& limits, Counts* counts, QString* error);
// "超期 x · 待取机 y · 超30天未取 z" (the long-wait days as set).
QString LineText(const Counts& counts, const Limits& limits);

// One machine to call about.
struct Call
{
    qint64 repairID = 0;
    QString repairNo, customer, contact, phone, problem;
    QDateTime readyAt, notifiedAt;
};

// The 待取机 visits not notified within the pickup days, the longest
// waiting first.
QVector<Call> CallList(const QDateTime& now, const Limits& limits, QString* error);
// Stamps 已通知 at `now` on a visit still waiting to be fetched; false when
// it no longer waits (picked up or sent back meanwhile) or the write fails.
bool MarkNotified(qint64 repairID, const QDateTime& now, QString* error);

} // namespace RepairReminder
