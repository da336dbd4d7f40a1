// 经营统计 at shop scale: 1,000,000 sale records over ten years, 200,000
// visits and 200,000 replaced components.  Prints the time of the whole
// window (every figure and the charts' page) for 本年 by month, a change of
// period, and 自定义 over two years by day; on SQLite and, when PGHOST names
// a server, on PostgreSQL.  Nothing is asserted.  With --home DIR it times
// the window on that program folder's own database instead (and with
// --pdf FILE saves the page of 本年 by month there, to look at).  --server
// runs the server part alone and keeps its database.
#include "AppDir.h"
#include "BenchSupport.h"
#include "BusinessStats.h"
#include "DataAccess.h"
#include "ReportExportFilters.h"
#include "SessionRights.h"
#include "SqlDialect.h"
#include "StatsReport.h"
#include "TDataM.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Sales = 1000000, Visits = 200000, Swaps = 200000;

// The time the last Window() took to lay out the page of charts.
double pageMs = 0;

// Every figure and the page of charts, as the window makes them.
double Window(const BusinessStats::Request& request, BusinessStats::Result* result)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!BusinessStats::Compute(request, result, &error)) {
        std::printf("failed: %s\n", qPrintable(error));
        return -1;
    }
    QElapsedTimer pageTimer;
    pageTimer.start();
    const Report::PreparedReport page = StatsReport::Prepare(*result, QStringLiteral("商店"));
    pageMs = Bench::Ms(pageTimer);
    return Bench::Ms(timer);
}

double Median(const std::function<double()>& work, int runs = 5)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i)
        times << work();
    std::sort(times.begin(), times.end());
    return times[runs / 2];
}

// The window's figures on the open database: 本年 by month when the window
// opens, the changes of period, and two years by day.
BusinessStats::Result TimeWindow()
{
    const QDate today = QDate::currentDate();
    BusinessStats::Request request;
    request.from = QDate(today.year(), 1, 1);
    request.to = QDate(today.year(), 12, 31);
    request.grouping = BusinessStats::Grouping::Month;
    request.now = QDateTime::currentDateTime();
    BusinessStats::Result result;
    const double first = Window(request, &result);
    std::printf("window opened (本年 by month, with the unreadable-date count): %.0f ms (first run)\n",
                first);
    std::printf("  sales this year %lld, visits %lld, revenue %s yuan, unreadable %lld\n",
                static_cast<long long>(result.salesTotal), static_cast<long long>(result.visitsTotal),
                qPrintable(BusinessStats::Yuan(result.revenue)), static_cast<long long>(result.unreadable));
    std::printf("  of which the page of charts: %.0f ms\n", pageMs);
    std::printf("window opened, median of 5: %.0f ms\n", Median([&] { return Window(request, &result); }));
    request.countUnreadable = false;
    BusinessStats::Request lastYear = request;
    lastYear.from = request.from.addYears(-1);
    lastYear.to = request.to.addYears(-1);
    std::printf("change of period (去年 by month), median of 5: %.0f ms\n",
                Median([&] { return Window(lastYear, &result); }));
    BusinessStats::Request month = request;
    month.from = QDate(today.year(), today.month(), 1);
    month.to = month.from.addMonths(1).addDays(-1);
    month.grouping = BusinessStats::Grouping::Day;
    std::printf("change of period (本月 by day), median of 5: %.0f ms\n",
                Median([&] { return Window(month, &result); }));
    BusinessStats::Request twoYears = request;
    twoYears.from = today.addYears(-2);
    twoYears.to = today;
    twoYears.grouping = BusinessStats::Grouping::Day;
    std::printf("自定义 two years by day (%lld bars), median of 5: %.0f ms\n",
                static_cast<long long>(MakeBuckets(twoYears.from, twoYears.to, twoYears.grouping).size()),
                Median([&] { return Window(twoYears, &result); }));
    return result;
}

int Run(bool server)
{
    QTemporaryDir dir;
    TDataM dataModule;
    if (server) {
        const QString why =
            Bench::OpenFreshServerDatabase(dir.path(), QStringLiteral("weibao_bench_stats"), dataModule);
        if (!why.isEmpty()) {
            std::printf("PostgreSQL left out: %s\n", qPrintable(why));
            return 0;
        }
    } else if (!Bench::OpenFreshDatabase(dir.path(), dataModule)) {
        return 1;
    }
    SessionRights::Install([](const QString&) { return true; }, [] { return QStringLiteral("ADMIN"); });
    std::printf("\n== %s: %d sale records, %d visits, %d swaps ==\n", server ? "PostgreSQL" : "SQLite", Sales,
                Visits, Swaps);
    QElapsedTimer fill;
    fill.start();
    const QDate today = QDate::currentDate();
    const char* cpus[] = {"Intel Core i5-12400", "AMD Ryzen 5 5600", "Intel Core i7-13700", "兆芯 KX-6640"};
    const char* parts[] = {"内存", "硬盘", "电源",   "显卡", "主板", "风扇",
                           "键盘", "鼠标", "显示器", "网卡", "声卡"};
    bool ok = Bench::InsertRows("SaleInfo", "Name,addr,BuyDate,OverRun,TB,BuyAmount,CPU", Sales,
                                [&](int i) -> SqlArgs {
                                    const QDate buy = today.addDays(-(qint64(i) * 7 % 3650));
                                    return {QStringLiteral("客户%1").arg(i),
                                            QStringLiteral("北京市"),
                                            buy,
                                            buy.addDays(365),
                                            i % 9 == 0 ? "1" : "0",
                                            "1",
                                            cpus[i % 4]};
                                });
    ok = ok &&
         Bench::InsertRows(
             "RepairInfo",
             "RepairNo,SaleID,Outside,ReceivedAt,ReadyAt,PickedUpAt,Problem,Status,InWarranty,Technician,"
             "LaborFee,Deposit,Total",
             Visits, [&](int i) -> SqlArgs {
                 const QDateTime at(today.addDays(-(qint64(i) * 3 % 1500)), QTime(10, 0));
                 const int status = i % 20 == 0 ? i % 3 : 3;
                 const QDateTime ready = at.addSecs(3600 * (4 + i % 100));
                 return {QStringLiteral("WX%1").arg(i, 7, 10, QChar('0')),
                         qint64(1 + qint64(i) * 5 % Sales),
                         0,
                         at,
                         status >= 2 ? SqlArg(ready) : SqlArg::Null(),
                         status == 3 ? SqlArg(ready.addDays(1)) : SqlArg::Null(),
                         "不开机",
                         status,
                         i % 2,
                         QStringLiteral("技师%1").arg(i % 6),
                         5000,
                         0,
                         5000 + (i % 3) * 10000};
             });
    ok = ok && Bench::InsertRows(
                   "RepairSwap", "RepairID,Component,Qty,Price,Covered", Swaps, [&](int i) -> SqlArgs {
                       return {qint64(1 + qint64(i) * 7 % Visits), parts[i % 11], 1 + i % 2, 10000, 0};
                   });
    if (!ok)
        return 1;
    for (const char* table : {"SaleInfo", "RepairInfo", "RepairSwap"}) {
        const QString analyze = SqlDialect::RefreshStatistics(CurrentConnection(), table);
        if (!analyze.isEmpty())
            CurrentConnection()->ExecRaw(analyze);
    }
    std::printf("generated in %.0f ms\n", Bench::Ms(fill));

    TimeWindow();
    return 0;
}

// The window on an existing program folder's database.
int RunOnHome(const QString& home, const QString& pdf)
{
    SetAppDir(home.endsWith('/') ? home : home + '/');
    TDataM dataModule;
    DataM = &dataModule;
    if (!dataModule.ConnectDatabase()) {
        std::fprintf(stderr, "%s\n", qPrintable(dataModule.LastError()));
        return 1;
    }
    const BusinessStats::Result result = TimeWindow();
    if (pdf.isEmpty())
        return 0;
    QString error;
    MemDataset company;
    const QString shop = OpenQuery("select name from AC_Company", company) && !company.IsEmpty()
                             ? company.AsString("name")
                             : QString();
    if (!Report::ExportPdf(StatsReport::Prepare(result, shop), pdf, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("page saved as %s\n", qPrintable(pdf));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    if (const int home = int(args.indexOf("--home")); home > 0 && home + 1 < args.size()) {
        const int pdf = int(args.indexOf("--pdf"));
        return RunOnHome(args[home + 1], pdf > 0 && pdf + 1 < args.size() ? args[pdf + 1] : QString());
    }
    // --server: the server's run alone (its database is kept for a look).
    if (args.contains(QStringLiteral("--server")))
        return Run(true);
    int rc = Run(false);
    if (rc == 0 && !qEnvironmentVariableIsEmpty("PGHOST"))
        rc = Run(true);
    return rc;
}
