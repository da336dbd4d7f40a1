#pragma once

#include "RepairListModel.h"
#include "RepairReminder.h"
#include "SaleRecord.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVector>
#include <utility>

// The figures of 经营统计: sales, warranties ending and the repair desk,
// for a period in days, weeks or months.  Every figure is counted by the
// database (grouped by day at most, so a year is a few hundred rows whatever
// the number of records); days are summed into weeks and months here, alike
// for both engines.  Records whose date cannot be read are left out and
// counted.
namespace BusinessStats {

enum class Grouping { Day = 0, Week, Month };

// One bar of a chart over time: its days (both included) and its caption.
struct Bucket
{
    QDate from, to;
    QString label;
};
// The days of [from, to] in days, weeks (Monday to Sunday) or months; the
// first and last are cut to the period.
QVector<Bucket> MakeBuckets(const QDate& from, const QDate& to, Grouping grouping);
// The same days a year before: the same date (a 29 February has none), the
// same weekday 52 weeks before, or the same month.  Invalid when there is none.
QDate YearBefore(const QDate& day, Grouping grouping);

// The value below which `p` (0..1) of the counted values lie, from a
// histogram (value -> how many), interpolated between neighbouring ranks as
// a spreadsheet's PERCENTILE does; 0 for an empty histogram.
double Percentile(const QMap<qint64, qint64>& histogram, double p);

struct Request
{
    QDate from, to; // both included
    Grouping grouping = Grouping::Month;
    QDateTime now;
    RepairReminder::Limits limits;
    // The unreadable dates are counted over whole tables: once per window,
    // not at every change of period.
    bool countUnreadable = true;
};

using NamedCounts = QVector<std::pair<QString, qint64>>;

struct Result
{
    Request request;
    QVector<Bucket> buckets;
    // Sales per bucket and in the same days a year before.
    QVector<qint64> sales, salesYearBefore;
    QVector<Bucket> yearBefore;   // the days of salesYearBefore (from invalid: none)
    QVector<qint64> machineTypes; // MachineTypeNames()
    QVector<qint64> customers;    // 一般客户, 特殊客户
    // Warranties ending in this month (from now) and the 11 after it.
    QVector<Bucket> expiryMonths;
    QVector<qint64> expiry;
    qint64 expiring30 = 0, expiring60 = 0, expiring90 = 0;
    // Visits received per bucket, one row per state (0..3).
    QVector<QVector<qint64>> visits;
    qint64 inWarranty = 0, outOfWarranty = 0;
    // From 接收 to 待取机, in days, over the visits received in the period
    // that reached 待取机.
    qint64 readyCount = 0;
    double readyAverage = 0.0, readyP90 = 0.0;
    // 人工费 and 配件费 (fen) of the visits picked up, per bucket of 取机.
    QVector<qint64> labor, parts;
    NamedCounts components;  // the 10 replaced most (quantity)
    NamedCounts technicians; // visits received per 维修人员
    // The figure row.
    qint64 salesTotal = 0, visitsTotal = 0, inRepair = 0, waiting = 0, overdue = 0, revenue = 0;
    qint64 unreadable = -1; // -1: not counted this time
};

const QStringList& MachineTypeNames();
const QStringList& CustomerNames();
const QStringList& WarrantyNames();
// The name of a visit without a 维修人员.
QString NoTechnician();

bool Compute(const Request& request, Result* result, QString* error);

// "N 条记录日期无法识别", empty when there are none.
QString UnreadableNote(qint64 count);
// Fen as yuan with two decimals.
QString Yuan(qint64 fen);

// What a click on a bar, a slice or a figure opens: the sale records or the
// visits counted there, exactly.
struct Target
{
    enum Kind { None, Sales, Repairs } kind = None;
    SaleRecord::Condition sales;
    RepairListFilter repairs;
    QString caption;
};
// `part` is "<chart>/<series>/<category>" (a chart's part as the report
// names it) or "figure/<name>".
Target TargetOf(const Result& result, const QString& part);

// The conditions the counting uses, for the sale record manager.
SaleRecord::Condition SalesBetween(const QDate& from, const QDate& to);
SaleRecord::Condition MachineTypeBetween(const QDate& from, const QDate& to, int type);
SaleRecord::Condition CustomersBetween(const QDate& from, const QDate& to, bool special);
SaleRecord::Condition WarrantyEndBetween(const QDateTime& from, const QDateTime& until);

} // namespace BusinessStats
