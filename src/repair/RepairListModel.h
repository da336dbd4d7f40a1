#pragma once

#include "PagedListModel.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <functional>

// What the repair list shows: the filters of the list form.
struct RepairListFilter
{
    QString search;              // 单号, 送修人/客户, phone digits or a word of the problem
    QSet<int> statuses{0, 1, 2}; // empty: every state
    QDate from, to;              // 接收日期, both ends included; invalid: open
    QString technician;          // empty: anyone
    int warranty = 0;            // 0 both, 1 保修内, 2 保修外
    bool overdueOnly = false;
    bool longWaitOnly = false; // 待取机 for more than the long-wait days
    // Links from the statistics, not shown by the list's own controls:
    QString component;          // a component of this name was replaced
    QDate pickedFrom, pickedTo; // 取机日期, both ends included; invalid: open
};

// The visits of RepairInfo in the repair list's columns, newest first,
// paged as the view asks.  Colours with the clock the model is given: red
// for 已接收/检修中 received more than the overdue days ago or past 预计完成,
// green for 待取机, orange for 待取机 ready more than the pickup days ago,
// grey for 已取机.
class RepairListModel : public PagedListModel
{
    Q_OBJECT
public:
    enum Column {
        ColNo,
        ColReceived,
        ColCustomer,
        ColPhone,
        ColProblem,
        ColTechnician,
        ColStatus,
        ColWarranty,
        ColTotal,
        ColWaitDays,
        ColumnCount
    };
    enum RowMark { MarkStatus, MarkReceived, MarkDue, MarkReadyOrPickedUp };
    enum Colour { NoColour, Late, Ready, ReadyLong, PickedUp };

    explicit RepairListModel(QObject* parent = nullptr);

    // The clock the colours and 等待天数 are judged by (the local time now
    // unless a test sets another).
    void SetClock(std::function<QDateTime()> clock);
    QDateTime Now() const;
    // The overdue, pickup and long-wait days of the shop's settings.
    void SetLimits(int overdueDays, int pickupDays, int longWaitDays);
    int OverdueDays() const { return m_overdueDays; }
    int PickupDays() const { return m_pickupDays; }
    int LongWaitDays() const { return m_longWaitDays; }

    bool Load(const RepairListFilter& filter, QString* error = nullptr);
    const RepairListFilter& CurrentFilter() const { return m_filter; }
    // The query of a filter judged at `now`.
    Query QueryOf(const RepairListFilter& filter, const QDateTime& now) const;

    Colour RowColour(int row) const;
    // Whole days the machine has been at the shop: until now, or until it
    // was picked up.
    int WaitDays(int row) const;

    static QString StatusText(int status);
    // A stored date-time as seconds since the epoch of the local calendar
    // (only differences and comparisons count); 0 when it is no date.
    static qint64 LocalSeconds(const char* text, int n);
    static qint64 LocalSeconds(const QDateTime& time);

private:
    QVariant RoleOf(int row, int column, int role) const;

    RepairListFilter m_filter;
    std::function<QDateTime()> m_clock;
    int m_overdueDays = 3;
    int m_pickupDays = 7;
    int m_longWaitDays = 30;
};
