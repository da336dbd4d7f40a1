#include "BusinessStats.h"

#include "DataAccess.h"
#include "SqlConnection.h"
#include "SqlDialect.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <thread>

namespace BusinessStats {

namespace {

// Processor names that tell the platform of a machine: the sale record has
// no type of its own, and the CPU is what the shop's machines differ by.
const char* const IntelPatterns[] = {"%intel%", "%酷睿%", "%奔腾%", "%赛扬%", "%至强%"};
const char* const AmdPatterns[] = {"%amd%", "%ryzen%", "%锐龙%", "%athlon%", "%速龙%"};

SqlConnection* Connection()
{
    return CurrentConnection();
}

QString Readable(const QString& column)
{
    return SqlDialect::ReadableDate(Connection(), column);
}

QString DayOf(const QString& column)
{
    return SqlDialect::DayOf(Connection(), column);
}

SqlArg Midnight(const QDate& day)
{
    return SqlArg(QDateTime(day, QTime(0, 0)));
}

// "(lower(coalesce(CPU,'')) like ? or ...)" with its patterns.
QString AnyPattern(const char* const* patterns, int count, SqlArgs& args)
{
    QStringList parts;
    for (int i = 0; i < count; ++i) {
        parts << QStringLiteral("lower(coalesce(CPU,'')) like ?");
        args << SqlArg(QString::fromUtf8(patterns[i]));
    }
    return '(' + parts.join(QLatin1String(" or ")) + ')';
}

QString TypeCase(SqlArgs& args)
{
    const QString intel = AnyPattern(IntelPatterns, int(std::size(IntelPatterns)), args);
    const QString amd = AnyPattern(AmdPatterns, int(std::size(AmdPatterns)), args);
    return QStringLiteral("case when %1 then 0 when %2 then 1 else 2 end").arg(intel, amd);
}

QString SalesWhere()
{
    return "BuyDate>=? and BuyDate<? and " + Readable("BuyDate");
}

// The condition that a sale's or a visit's date `column` is readable, as the
// counting queries write it: the same rows as Readable(), found without
// reading each row's date.
QString ReadableSale(const QString& column)
{
    return SqlDialect::ReadableRows(Connection(), QStringLiteral("SaleInfo"), QStringLiteral("id"), column);
}

QString ReadableVisit(const QString& column, const QString& prefix = {})
{
    return SqlDialect::ReadableRows(Connection(), QStringLiteral("RepairInfo"), QStringLiteral("RepairID"),
                                    column, prefix);
}

// The sales and visits of SalesBetween and the repair list's period.
QString CountedSales()
{
    return "BuyDate>=? and BuyDate<? and " + ReadableSale(QStringLiteral("BuyDate"));
}

QString CountedVisits(const QString& prefix = {})
{
    const QString column = prefix + "ReceivedAt";
    return column + ">=? and " + column + "<? and " + ReadableVisit(QStringLiteral("ReceivedAt"), prefix);
}

QString Hint(const QString& index)
{
    return SqlDialect::IndexHint(Connection(), index);
}

class Reader
{
public:
    Reader(SqlConnection* connection, QString* error) : m_connection(connection), m_error(error) {}
    // Runs `sql` and hands each row to `row`; false (error kept) on failure.
    template <typename Row> bool Rows(const QString& sql, const SqlArgs& args, Row row)
    {
        if (m_failed)
            return false;
        SqlStatement statement(m_connection, sql);
        if (!statement.IsValid() || !statement.Bind(args))
            return Fail(statement);
        while (statement.Step())
            row(statement);
        if (statement.Failed())
            return Fail(statement);
        return true;
    }
    bool Ok() const { return !m_failed; }

private:
    bool Fail(const SqlStatement& statement)
    {
        m_failed = true;
        if (m_error)
            *m_error = statement.ErrorString();
        return false;
    }
    SqlConnection* m_connection;
    QString* m_error;
    bool m_failed = false;
};

QDate DayKey(const SqlStatement& statement, int column)
{
    return QDate::fromString(statement.ColumnValue(column).toString().left(10), QStringLiteral("yyyy-MM-dd"));
}

// The index of the bucket holding `day`, -1 for none.
int BucketOf(const QVector<Bucket>& buckets, const QDate& day)
{
    const auto it = std::upper_bound(buckets.cbegin(), buckets.cend(), day,
                                     [](const QDate& d, const Bucket& b) { return d < b.from; });
    if (it == buckets.cbegin())
        return -1;
    const Bucket& bucket = *(it - 1);
    return day <= bucket.to ? int(it - 1 - buckets.cbegin()) : -1;
}

QDate MonthStart(const QDate& day)
{
    return QDate(day.year(), day.month(), 1);
}

NamedCounts Sorted(const QMap<QString, qint64>& counts, int limit)
{
    NamedCounts list;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        list.append({it.key(), it.value()});
    // Most first; equal counts by name, the same order on both engines.
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    if (limit > 0 && list.size() > limit)
        list.resize(limit);
    return list;
}

Target RepairTarget(const QString& caption, const QSet<int>& statuses, const QDate& from = {},
                    const QDate& to = {})
{
    Target target;
    target.kind = Target::Repairs;
    target.caption = caption;
    target.repairs.statuses = statuses;
    target.repairs.from = from;
    target.repairs.to = to;
    return target;
}

Target SalesTarget(const QString& caption, const SaleRecord::Condition& condition)
{
    Target target;
    target.kind = Target::Sales;
    target.caption = caption;
    target.sales = condition;
    return target;
}

QString Range(const QDate& from, const QDate& to)
{
    const QString f = from.toString(QStringLiteral("yyyy-MM-dd"));
    return from == to ? f : f + QStringLiteral(" 至 ") + to.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

QVector<Bucket> MakeBuckets(const QDate& from, const QDate& to, Grouping grouping)
{
    QVector<Bucket> buckets;
    if (!from.isValid() || !to.isValid() || to < from)
        return buckets;
    const bool oneYear = from.year() == to.year();
    QDate start = from;
    while (start <= to) {
        QDate end;
        QString label;
        switch (grouping) {
        case Grouping::Day:
            end = start;
            label = QStringLiteral("%1/%2").arg(start.month()).arg(start.day());
            break;
        case Grouping::Week:
            end = start.addDays(7 - start.dayOfWeek());
            label = QStringLiteral("%1/%2").arg(start.month()).arg(start.day());
            break;
        case Grouping::Month:
            end = MonthStart(start).addMonths(1).addDays(-1);
            label =
                oneYear
                    ? QStringLiteral("%1月").arg(start.month())
                    : QStringLiteral("%1/%2").arg(start.year() % 100, 2, 10, QChar('0')).arg(start.month());
            break;
        }
        end = qMin(end, to);
        buckets.append({start, end, label});
        start = end.addDays(1);
    }
    return buckets;
}

QDate YearBefore(const QDate& day, Grouping grouping)
{
    switch (grouping) {
    case Grouping::Day:
        // A leap day has no day of its own a year before.
        if (day.month() == 2 && day.day() == 29)
            return {};
        return day.addYears(-1);
    case Grouping::Week:
        return day.addDays(-364);
    case Grouping::Month:
        return day.addYears(-1);
    }
    return {};
}

double Percentile(const QMap<qint64, qint64>& histogram, double p)
{
    qint64 total = 0;
    for (qint64 count : histogram)
        total += count;
    if (total <= 0)
        return 0.0;
    // The value of the `rank`-th smallest (from 0).
    const auto valueAt = [&histogram](qint64 rank) {
        qint64 seen = 0;
        for (auto it = histogram.cbegin(); it != histogram.cend(); ++it) {
            seen += it.value();
            if (rank < seen)
                return double(it.key());
        }
        return double(histogram.lastKey());
    };
    const double rank = qBound(0.0, p, 1.0) * double(total - 1);
    const qint64 lower = qint64(std::floor(rank));
    const double low = valueAt(lower);
    return low + (rank - double(lower)) * (valueAt(qMin(lower + 1, total - 1)) - low);
}

const QStringList& MachineTypeNames()
{
    static const QStringList names = {QStringLiteral("Intel 平台"), QStringLiteral("AMD 平台"),
                                      QStringLiteral("其他")};
    return names;
}

const QStringList& CustomerNames()
{
    static const QStringList names = {QStringLiteral("一般客户"), QStringLiteral("特殊客户")};
    return names;
}

const QStringList& WarrantyNames()
{
    static const QStringList names = {QStringLiteral("保修内"), QStringLiteral("保修外")};
    return names;
}

QString NoTechnician()
{
    return QStringLiteral("未指派");
}

QString UnreadableNote(qint64 count)
{
    return count > 0 ? QStringLiteral("%1 条记录日期无法识别").arg(count) : QString();
}

QString Yuan(qint64 fen)
{
    return QLocale::c().toString(double(fen) / 100.0, 'f', 2);
}

SaleRecord::Condition SalesBetween(const QDate& from, const QDate& to)
{
    return {SalesWhere(), {Midnight(from), Midnight(to.addDays(1))}, QStringLiteral("SaleInfo_BuyDate")};
}

SaleRecord::Condition MachineTypeBetween(const QDate& from, const QDate& to, int type)
{
    SqlArgs args = {Midnight(from), Midnight(to.addDays(1))};
    const QString typeCase = TypeCase(args);
    args << SqlArg(type);
    return {SalesWhere() + " and (" + typeCase + ")=?", args, QStringLiteral("SaleInfo_BuyDate")};
}

SaleRecord::Condition CustomersBetween(const QDate& from, const QDate& to, bool special)
{
    return {SalesWhere() +
                (special ? QStringLiteral(" and TB='1'") : QStringLiteral(" and (TB is null or TB<>'1')")),
            {Midnight(from), Midnight(to.addDays(1))},
            QStringLiteral("SaleInfo_BuyDate")};
}

SaleRecord::Condition WarrantyEndBetween(const QDateTime& from, const QDateTime& until)
{
    SaleRecord::Condition condition{"OverRun>=? and OverRun<? and " + Readable("OverRun"),
                                    {SqlArg(from), SqlArg(until)},
                                    QStringLiteral("SaleInfo_OverRun")};
    condition.byWarrantyEnd = true;
    return condition;
}

namespace {

// Sales, the year before and the warranties ending.
void CountSales(Reader& read, const Request& request, Result& result)
{
    const QDate from = request.from, to = request.to;
    const int n = result.buckets.size();
    // Sales of the period: per day, machine type and customer class.  Each
    // query first counts the rows of one stored value in the order of the
    // index it reads (no sorting; a day's sales share their date), then
    // groups those few by day: the processor names are matched once per
    // name and day, not once per sale.
    SqlArgs args;
    QString sql = "select " + DayOf("BuyDate") + ", " + TypeCase(args) +
                  ", case when TB='1' then 1 else 0 end, sum(n) from (select BuyDate, TB, CPU, count(*) n"
                  " from SaleInfo" +
                  Hint("SaleInfo_BuyDateStats") + " where " + CountedSales() +
                  " group by BuyDate, TB, CPU) t group by 1, 2, 3";
    args << Midnight(from) << Midnight(to.addDays(1));
    read.Rows(sql, args, [&](const SqlStatement& row) {
        const qint64 count = row.ColumnInt64(3);
        const int bucket = BucketOf(result.buckets, DayKey(row, 0));
        if (bucket >= 0)
            result.sales[bucket] += count;
        result.machineTypes[qBound(0, int(row.ColumnInt64(1)), 2)] += count;
        result.customers[row.ColumnInt64(2) == 1 ? 1 : 0] += count;
        result.salesTotal += count;
    });

    // The same days a year before, per day, summed into the buckets.
    QDate priorFrom, priorTo;
    for (const Bucket& bucket : result.buckets) {
        Bucket prior{YearBefore(bucket.from, request.grouping), YearBefore(bucket.to, request.grouping),
                     bucket.label};
        if (!prior.from.isValid() || !prior.to.isValid())
            prior = {};
        result.yearBefore.append(prior);
        if (prior.from.isValid()) {
            priorFrom = priorFrom.isValid() ? qMin(priorFrom, prior.from) : prior.from;
            priorTo = priorTo.isValid() ? qMax(priorTo, prior.to) : prior.to;
        }
    }
    if (priorFrom.isValid()) {
        QMap<QDate, qint64> days;
        read.Rows("select " + DayOf("BuyDate") + ", sum(n) from (select BuyDate, count(*) n from SaleInfo" +
                      Hint("SaleInfo_BuyDate") + " where " + CountedSales() +
                      " group by BuyDate) t group by 1",
                  {Midnight(priorFrom), Midnight(priorTo.addDays(1))},
                  [&](const SqlStatement& row) { days[DayKey(row, 0)] += row.ColumnInt64(1); });
        for (int i = 0; i < n; ++i) {
            const Bucket& prior = result.yearBefore[i];
            if (!prior.from.isValid())
                continue;
            for (auto it = days.lowerBound(prior.from); it != days.cend() && it.key() <= prior.to; ++it)
                result.salesYearBefore[i] += it.value();
        }
    }

    // Warranties ending from now on: this month and the eleven after it.
    const QDate today = request.now.date();
    for (int m = 0; m < 12; ++m) {
        const QDate start = m == 0 ? today : MonthStart(today).addMonths(m);
        const QDate end = MonthStart(today).addMonths(m + 1).addDays(-1);
        result.expiryMonths.append({start, end, QStringLiteral("%1月").arg(start.month())});
    }
    result.expiry.fill(0, 12);
    read.Rows("select " + DayOf("OverRun") + ", sum(n) from (select OverRun, count(*) n from SaleInfo" +
                  Hint("SaleInfo_OverRun") + " where OverRun>=? and OverRun<? and " +
                  ReadableSale(QStringLiteral("OverRun")) + " group by OverRun) t group by 1",
              {SqlArg(request.now), Midnight(MonthStart(today).addMonths(12))}, [&](const SqlStatement& row) {
                  const QDate day = DayKey(row, 0);
                  const qint64 count = row.ColumnInt64(1);
                  const int month = BucketOf(result.expiryMonths, day);
                  if (month >= 0)
                      result.expiry[month] += count;
                  // As the expiring list counts: ending within N days after today.
                  const qint64 ahead = today.daysTo(day);
                  result.expiring30 += ahead <= 30 ? count : 0;
                  result.expiring60 += ahead <= 60 ? count : 0;
                  result.expiring90 += ahead <= 90 ? count : 0;
              });
}

// The visits received in the period, their time to 待取机, the money
// taken at 取机 and the visits per 维修人员.
void CountVisits(Reader& read, const SqlArgs& period, Result& result)
{
    // Visits received in the period: per day, state and warranty.
    read.Rows("select " + DayOf("ReceivedAt") +
                  ", Status, InWarranty, sum(n) from (select ReceivedAt, Status, InWarranty, count(*) n"
                  " from RepairInfo" +
                  Hint("RepairInfo_ReceivedStats") + " where " + CountedVisits() +
                  " group by ReceivedAt, Status, InWarranty) t group by 1, 2, 3",
              period, [&](const SqlStatement& row) {
                  const qint64 count = row.ColumnInt64(3);
                  const int status = int(row.ColumnInt64(1));
                  const int bucket = BucketOf(result.buckets, DayKey(row, 0));
                  if (bucket >= 0 && status >= 0 && status < 4)
                      result.visits[status][bucket] += count;
                  if (row.ColumnInt64(2) == 1)
                      result.inWarranty += count;
                  else if (row.ColumnInt64(2) == 0)
                      result.outOfWarranty += count;
                  result.visitsTotal += count;
              });

    // From 接收 to 待取机: a histogram of whole hours.
    QMap<qint64, qint64> hours;
    const QString between = SqlDialect::HoursBetween(Connection(), "ReceivedAt", "ReadyAt");
    read.Rows("select " + between + ", sum(n) from (select ReceivedAt, ReadyAt, count(*) n from RepairInfo" +
                  Hint("RepairInfo_ReceivedStats") + " where " + CountedVisits() +
                  " and ReadyAt is not null and ReadyAt>=ReceivedAt and " +
                  ReadableVisit(QStringLiteral("ReadyAt")) +
                  " group by ReceivedAt, Status, InWarranty, ReadyAt) t group by 1",
              period, [&](const SqlStatement& row) {
                  if (!row.ColumnIsNull(0))
                      hours[row.ColumnInt64(0)] += row.ColumnInt64(1);
              });
    qint64 hourSum = 0;
    for (auto it = hours.cbegin(); it != hours.cend(); ++it) {
        result.readyCount += it.value();
        hourSum += it.key() * it.value();
    }
    if (result.readyCount > 0) {
        result.readyAverage = double(hourSum) / double(result.readyCount) / 24.0;
        result.readyP90 = Percentile(hours, 0.9) / 24.0;
    }

    // Money taken at 取机, by the day of 取机.
    read.Rows("select " + DayOf("PickedUpAt") +
                  ", sum(l), sum(p) from (select PickedUpAt, sum(LaborFee) l, sum(Total-LaborFee) p"
                  " from RepairInfo" +
                  Hint("RepairInfo_PickedUpStats") +
                  " where Status=3 and PickedUpAt>=? and PickedUpAt<? and " +
                  ReadableVisit(QStringLiteral("PickedUpAt")) + " group by PickedUpAt) t group by 1",
              period, [&](const SqlStatement& row) {
                  const int bucket = BucketOf(result.buckets, DayKey(row, 0));
                  const qint64 labor = row.ColumnInt64(1), parts = row.ColumnInt64(2);
                  if (bucket >= 0) {
                      result.labor[bucket] += labor;
                      result.parts[bucket] += parts;
                  }
                  result.revenue += labor + parts;
              });

    QMap<QString, qint64> technicians;
    read.Rows("select Technician, count(*) from RepairInfo" + Hint("RepairInfo_ReceivedStats") + " where " +
                  CountedVisits() + " group by Technician",
              period, [&](const SqlStatement& row) {
                  const QString name = row.ColumnValue(0).toString().trimmed();
                  technicians[name.isEmpty() ? NoTechnician() : name] += row.ColumnInt64(1);
              });
    result.technicians = Sorted(technicians, 0);
    // Visits nobody has taken on close the list, however many.
    const auto nobody = std::find_if(result.technicians.begin(), result.technicians.end(),
                                     [](const auto& entry) { return entry.first == NoTechnician(); });
    if (nobody != result.technicians.end())
        std::rotate(nobody, nobody + 1, result.technicians.end());
}

// The components replaced most in the visits received in the period.
void CountComponents(Reader& read, const SqlArgs& period, Result& result)
{
    QMap<QString, qint64> components;
    read.Rows("select s.Component, sum(s.Qty) from RepairInfo r" + Hint("RepairInfo_ReceivedStats") +
                  " join RepairSwap s" + Hint("RepairSwap_Components") + " on s.RepairID=r.RepairID where " +
                  CountedVisits("r.") + " group by s.Component",
              period, [&](const SqlStatement& row) {
                  components[row.ColumnValue(0).toString()] += row.ColumnInt64(1);
              });
    result.components = Sorted(components, 10);
}

} // namespace

bool Compute(const Request& request, Result* out, QString* error)
{
    Result result;
    result.request = request;
    const QDate from = request.from, to = request.to;
    result.buckets = MakeBuckets(from, to, request.grouping);
    const int n = result.buckets.size();
    result.sales.fill(0, n);
    result.salesYearBefore.fill(0, n);
    result.machineTypes.fill(0, MachineTypeNames().size());
    result.customers.fill(0, 2);
    result.visits = QVector<QVector<qint64>>(4, QVector<qint64>(n, 0));
    result.labor.fill(0, n);
    result.parts.fill(0, n);
    const SqlArgs period = {Midnight(from), Midnight(to.addDays(1))};
    Reader read(Connection(), error);

    // The visits are counted on a second connection of their own while this
    // one counts the sales: the two halves fill different figures and take
    // about as long.  Without a second connection (a database in memory, a
    // server that refuses one more) both run here, one after the other.
    SqlConnection second;
    QString visitsError;
    Reader visits(&second, &visitsError);
    std::thread visitsCounter;
    if (second.OpenReaderOf(*Connection()))
        visitsCounter = std::thread([&] { CountVisits(visits, period, result); });
    CountSales(read, request, result);
    CountComponents(read, period, result);
    if (visitsCounter.joinable())
        visitsCounter.join();
    else
        CountVisits(read, period, result);
    if (!visits.Ok()) {
        if (error)
            *error = visitsError;
        return false;
    }

    // The desk now: machines in the shop and the late ones.
    read.Rows("select Status, count(*) from RepairInfo where Status<3 group by Status", {},
              [&](const SqlStatement& row) {
                  const qint64 count = row.ColumnInt64(1);
                  if (row.ColumnInt64(0) == 2)
                      result.waiting += count;
                  else
                      result.inRepair += count;
              });
    if (read.Ok()) {
        RepairReminder::Counts counts;
        if (!RepairReminder::Count(request.now, request.limits, &counts, error))
            return false;
        result.overdue = counts.overdue;
    }

    if (request.countUnreadable) {
        result.unreadable = 0;
        const auto unreadable = [&](const QString& table, const QString& column) {
            read.Rows("select count(*) from " + table +
                          SqlDialect::IndexHint(Connection(), table + "_Unreadable" + column) + " where " +
                          SqlDialect::UnreadableDate(Connection(), column),
                      {}, [&](const SqlStatement& row) { result.unreadable += row.ColumnInt64(0); });
        };
        unreadable("SaleInfo", "BuyDate");
        unreadable("RepairInfo", "ReceivedAt");
    }
    if (!read.Ok())
        return false;
    *out = std::move(result);
    return true;
}

Target TargetOf(const Result& result, const QString& part)
{
    const QStringList pieces = part.split('/');
    const QDate from = result.request.from, to = result.request.to;
    const QString period = Range(from, to);
    if (pieces.size() == 2 && pieces[0] == QLatin1String("figure")) {
        const QString& name = pieces[1];
        if (name == QLatin1String("sales"))
            return SalesTarget(QStringLiteral("本期销售（%1）").arg(period), SalesBetween(from, to));
        if (name == QLatin1String("visits"))
            return RepairTarget(QStringLiteral("本期维修（%1）").arg(period), {}, from, to);
        if (name == QLatin1String("inRepair"))
            return RepairTarget(QStringLiteral("在修"), {0, 1});
        if (name == QLatin1String("waiting"))
            return RepairTarget(QStringLiteral("待取机"), {2});
        if (name == QLatin1String("overdue")) {
            Target target = RepairTarget(QStringLiteral("超期"), {0, 1});
            target.repairs.overdueOnly = true;
            return target;
        }
        if (name == QLatin1String("revenue")) {
            Target target = RepairTarget(QStringLiteral("本期收入（%1）").arg(period), {3});
            target.repairs.pickedFrom = from;
            target.repairs.pickedTo = to;
            return target;
        }
        for (int days : {30, 60, 90})
            if (name == QStringLiteral("expiring%1").arg(days)) {
                const QDate today = result.request.now.date();
                return SalesTarget(
                    QStringLiteral("%1 天内保修到期").arg(days),
                    WarrantyEndBetween(result.request.now, QDateTime(today.addDays(days + 1), QTime(0, 0))));
            }
        return {};
    }
    if (pieces.size() != 3)
        return {};
    bool ok1 = false, ok2 = false;
    const int series = pieces[1].toInt(&ok1), category = pieces[2].toInt(&ok2);
    if (!ok1 || !ok2 || series < 0 || category < 0)
        return {};
    const QString& chart = pieces[0];
    const int n = result.buckets.size();
    if (chart == QLatin1String("sales") && category < n) {
        const Bucket& bucket = series == 0 ? result.buckets[category] : result.yearBefore.value(category);
        if (!bucket.from.isValid())
            return {};
        return SalesTarget(QStringLiteral("销售（%1）").arg(Range(bucket.from, bucket.to)),
                           SalesBetween(bucket.from, bucket.to));
    }
    if (chart == QLatin1String("types") && category < MachineTypeNames().size())
        return SalesTarget(QStringLiteral("%1（%2）").arg(MachineTypeNames()[category], period),
                           MachineTypeBetween(from, to, category));
    if (chart == QLatin1String("customers") && category < 2)
        return SalesTarget(QStringLiteral("%1（%2）").arg(CustomerNames()[category], period),
                           CustomersBetween(from, to, category == 1));
    if (chart == QLatin1String("expiry") && category < result.expiryMonths.size()) {
        const Bucket& month = result.expiryMonths[category];
        const QDateTime start = category == 0 ? result.request.now : QDateTime(month.from, QTime(0, 0));
        return SalesTarget(QStringLiteral("保修到期（%1）").arg(Range(month.from, month.to)),
                           WarrantyEndBetween(start, QDateTime(month.to.addDays(1), QTime(0, 0))));
    }
    if (chart == QLatin1String("visits") && category < n && series < 4) {
        const Bucket& bucket = result.buckets[category];
        return RepairTarget(QStringLiteral("%1（%2）")
                                .arg(RepairListModel::StatusText(series), Range(bucket.from, bucket.to)),
                            {series}, bucket.from, bucket.to);
    }
    if (chart == QLatin1String("warranty") && category < 2) {
        Target target =
            RepairTarget(QStringLiteral("%1（%2）").arg(WarrantyNames()[category], period), {}, from, to);
        target.repairs.warranty = category == 0 ? 1 : 2;
        return target;
    }
    if (chart == QLatin1String("revenue") && category < n) {
        const Bucket& bucket = result.buckets[category];
        Target target =
            RepairTarget(QStringLiteral("取机收费（%1）").arg(Range(bucket.from, bucket.to)), {3});
        target.repairs.pickedFrom = bucket.from;
        target.repairs.pickedTo = bucket.to;
        return target;
    }
    if (chart == QLatin1String("parts") && category < result.components.size()) {
        Target target = RepairTarget(
            QStringLiteral("更换%1（%2）").arg(result.components[category].first, period), {}, from, to);
        target.repairs.component = result.components[category].first;
        return target;
    }
    if (chart == QLatin1String("techs") && category < result.technicians.size()) {
        const QString name = result.technicians[category].first;
        if (name == NoTechnician())
            return {};
        Target target = RepairTarget(QStringLiteral("%1 的维修（%2）").arg(name, period), {}, from, to);
        target.repairs.technician = name;
        return target;
    }
    return {};
}

} // namespace BusinessStats
