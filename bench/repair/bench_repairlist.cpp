// Times the repair list and its reminders over 100 000 sale records and
// 50 000 visits (most picked up, a few thousand open): the three reminder
// counts, the list's first page under the default filter and under a phone
// fragment, scrolling to the end of every visit, and the export of the open
// visits.  On SQLite, then on the PostgreSQL server named by PGHOST, PGPORT
// and PGUSER (left out, with the reason, when none answers).
//   bench_repairlist              both engines, each in a process of its own
//   bench_repairlist --sqlite | --server
#include "BenchSupport.h"
#include "RepairExport.h"
#include "RepairListModel.h"
#include "RepairReminder.h"
#include "SqlConnection.h"
#include "SqlDialect.h"
#include "TDataM.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

using Bench::Ms;

constexpr int Sales = 100000;
constexpr int Visits = 50000;

// Sale records and visits in one transaction, one statement each: visit i
// belongs to machine i*2; one in 20 is in one of the four states by turn,
// the rest picked up; received over the last three years.
bool Generate(bool server)
{
    const QString series = server
                               ? "with c(i) as (select generate_series(1, ?::int)) "
                               : "with recursive c(i) as (select 1 union all select i+1 from c where i<?) ";
    SqlTransaction transaction(CurrentConnection());
    SqlStatement sales(
        CurrentConnection(),
        series +
            "insert into SaleInfo (Name,Phone,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory) "
            "select '客户'||(i%5000), '010-'||(62000000+i), '138'||(10000000+i), '北京', " +
            (server ? QString("date '2020-01-01' + i/60, date '2023-01-01' + i/60")
                    : QString("date('2020-01-01','+'||(i/60)||' days'), "
                              "date('2023-01-01','+'||(i/60)||' days')")) +
            ", '0', '1', 'i5', '16GB' from c");
    if (!sales.Exec({Sales}))
        return false;
    // One visit every half hour until now; the last one received now.
    const QString received = server ? "now()::timestamp(0) - ((?::int - i) * interval '30 minutes')"
                                    : "datetime('now','localtime','-'||((? - i)*30)||' minutes')";
    const QString status = "case when i%20=0 then i/20%4 else 3 end";
    SqlStatement visits(
        CurrentConnection(),
        series +
            "insert into RepairInfo (RepairNo,SaleID,ContactName,ContactPhone,ReceivedAt,DueAt,"
            "ReadyAt,PickedUpAt,Problem,Technician,Status,InWarranty,Total) "
            "select 'WX'||(100000+i), i*2, '客户'||(i%5000), '138'||(10000000+i*2), r, r, "
            "case when s>=2 then r end, case when s=3 then r end, '不开机', "
            "case when i%3=0 then '王工' else '李工' end, s, i%2, i*10 from "
            "(select i, " +
            received + " as r, " + status + " as s from c) as v");
    if (!visits.Exec({Visits, Visits}) || !transaction.Commit())
        return false;
    for (const char* table : {"SaleInfo", "RepairInfo"}) {
        const QString analyze = SqlDialect::RefreshStatistics(CurrentConnection(), table);
        if (!analyze.isEmpty() && !CurrentConnection()->ExecRaw(analyze))
            return false;
    }
    return true;
}

double Best(int runs, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, Ms(timer));
    }
    return best;
}

int Run(bool server)
{
    QTemporaryDir dir;
    TDataM dataModule;
    const QString name = QStringLiteral("weibao_bench_repairlist_%1").arg(QCoreApplication::applicationPid());
    if (server) {
        const QString error = Bench::OpenFreshServerDatabase(dir.path(), name, dataModule);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    } else if (!Bench::OpenFreshDatabase(dir.path(), dataModule)) {
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    if (!Generate(server)) {
        std::fprintf(stderr, "generating failed: %s\n", qPrintable(CurrentConnection()->ErrorString()));
        return 1;
    }
    std::printf("\n== %d sale records, %d visits, %s ==\n", Sales, Visits,
                server ? "PostgreSQL (local server, Unix socket)" : "SQLite");
    std::printf("generate                                   %9.1f ms\n", Ms(timer));

    const QDateTime now = QDateTime::currentDateTime();
    RepairReminder::Counts counts;
    const double counted = Best(5, [&] { RepairReminder::Count(now, {3, 7, 30}, &counts, nullptr); });
    std::printf("reminder counts (best of 5)                %9.1f ms  (%s)\n", counted,
                qPrintable(RepairReminder::LineText(counts, {3, 7, 30})));
    const double calls = Best(5, [&] { RepairReminder::CallList(now, {3, 7, 30}, nullptr); });
    std::printf("call list (best of 5)                      %9.1f ms  (%lld machines)\n", calls,
                qlonglong(RepairReminder::CallList(now, {3, 7, 30}, nullptr).size()));

    RepairListModel model;
    const double open = Best(5, [&] { model.Load(RepairListFilter{}); });
    std::printf("list, default filter: count + first page   %9.1f ms  (%lld open visits)\n", open,
                qlonglong(model.MatchCount()));
    RepairListFilter phone;
    phone.statuses.clear();
    phone.search = QStringLiteral("0012-46");
    const double found = Best(3, [&] { model.Load(phone); });
    std::printf("list, phone fragment over every visit      %9.1f ms  (%lld found)\n", found,
                qlonglong(model.MatchCount()));
    RepairListFilter overdue;
    overdue.overdueOnly = true;
    const double late = Best(5, [&] { model.Load(overdue); });
    std::printf("list, 只看超期                             %9.1f ms  (%lld late)\n", late,
                qlonglong(model.MatchCount()));

    RepairListFilter every;
    every.statuses.clear();
    timer.restart();
    model.Load(every);
    while (model.canFetchMore({}))
        model.fetchMore({});
    std::printf("every visit, to the end                    %9.1f ms  (%d rows)\n", Ms(timer),
                model.rowCount());

    model.Load(RepairListFilter{});
    qint64 written = 0;
    QString error;
    timer.restart();
    RepairExport::Write(model, dir.path() + "/open.xlsx", &written, &error);
    std::printf("export of the open visits to .xlsx         %9.1f ms  (%lld rows)\n", Ms(timer),
                qlonglong(written));
    if (server)
        Bench::DropServerDatabase(name);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains("--sqlite"))
        return Run(false);
    if (args.contains("--server"))
        return Run(true);
    int result = 0;
    for (const char* engine : {"--sqlite", "--server"}) {
        const QString unavailable = Bench::ServerUnavailableReason();
        if (QLatin1String(engine) == QLatin1String("--server") && !unavailable.isEmpty()) {
            std::printf("\n(server run left out: %s)\n", qPrintable(unavailable));
            continue;
        }
        std::fflush(stdout);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {QLatin1String(engine)});
        child.waitForFinished(-1);
        result |= child.exitCode();
    }
    return result;
}
