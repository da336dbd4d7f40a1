// The repair desk at shop scale: 100,000 sale records, 50,000 visits and
// 100,000 replaced components.  Prints the time of a phone-fragment search,
// one machine's history, the reminder counts, 保存并打印 up to the preview
// and the receipt PDF; on SQLite and, when PGHOST names a server, on
// PostgreSQL.  Nothing is asserted.
#include "BenchSupport.h"
#include "DataAccess.h"
#include "RepairRecord.h"
#include "RepairSearch.h"
#include "RepairSlips.h"
#include "ReportExportFilters.h"
#include "ReportPreviewDialog.h"
#include "SessionRights.h"
#include "SqlDialect.h"
#include "TDataM.h"
#include "TFrmRepairInput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Sales = 100000, Visits = 50000, Swaps = 100000;

double Median(std::function<void()> work, int runs = 5)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times << Bench::Ms(timer);
    }
    std::sort(times.begin(), times.end());
    return times[runs / 2];
}

int Run(bool server)
{
    QTemporaryDir dir;
    TDataM dataModule;
    const QString database = QStringLiteral("weibao_bench_repair");
    if (server) {
        const QString why = Bench::OpenFreshServerDatabase(dir.path(), database, dataModule);
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
    bool ok =
        Bench::InsertRows("SaleInfo", "Name,Phone,Mobile,addr,BuyDate,OverRun,CPU,Memory,HD,MainBoard", Sales,
                          [&](int i) -> SqlArgs {
                              const QDate buy = today.addDays(-(i % 1500));
                              return {QStringLiteral("客户%1").arg(i),
                                      QStringLiteral("010-6%1").arg(1000000 + i),
                                      QStringLiteral("13%1").arg(100000000 + qint64(i) * 7919 % 899999999),
                                      QStringLiteral("北京市海淀区%1号").arg(i % 300),
                                      buy,
                                      buy.addDays(365),
                                      "Intel Core i5-12400",
                                      "16GB DDR4",
                                      "512GB NVMe",
                                      "华硕 B660M"};
                          });
    ok =
        ok &&
        Bench::InsertRows(
            "RepairInfo",
            "RepairNo,SaleID,Outside,ContactName,ContactPhone,ReceivedAt,Problem,Status,InWarranty,"
            "LaborFee,Deposit,Total",
            Visits, [&](int i) -> SqlArgs {
                const QDateTime at(today.addDays(-(i % 700) - 1), QTime(10, 0));
                return {QStringLiteral("WX%1-%2").arg(at.date().toString("yyMMdd")).arg(i, 5, 10, QChar('0')),
                        qint64(1 + qint64(i) * 2 % Sales),
                        0,
                        QStringLiteral("送修人%1").arg(i),
                        QStringLiteral("139-%1").arg(10000000 + i),
                        at,
                        "不开机",
                        i % 4,
                        i % 2,
                        5000,
                        0,
                        5000};
            });
    ok = ok && Bench::InsertRows("RepairSwap",
                                 "RepairID,Component,OldModel,OldSerial,NewModel,NewSerial,Qty,Price,Covered",
                                 Swaps, [&](int i) -> SqlArgs {
                                     return {qint64(1 + i % Visits),
                                             "内存",
                                             "16GB DDR4",
                                             QStringLiteral("OLD%1").arg(i),
                                             "32GB DDR4",
                                             QStringLiteral("NEW%1").arg(i),
                                             1,
                                             59900,
                                             0};
                                 });
    if (!ok)
        return 1;
    for (const QString& table : {"SaleInfo", "RepairInfo", "RepairSwap"}) {
        const QString analyze = SqlDialect::RefreshStatistics(CurrentConnection(), table);
        if (!analyze.isEmpty())
            CurrentConnection()->ExecRaw(analyze);
    }
    std::printf("generated in %.0f ms\n", Bench::Ms(fill));

    QString error;
    int found = 0;
    std::printf("phone fragment \"4321\" (first 50): %.1f ms\n",
                Median([&] { found = RepairSearch::Find("4321", 50, &error).size(); }));
    std::printf("  (%d machines found)\n", found);
    std::printf("name fragment \"客户9999\": %.1f ms\n",
                Median([&] { RepairSearch::Find(QStringLiteral("客户9999"), 50, &error); }));
    std::printf("serial fragment \"NEW7777\": %.1f ms\n",
                Median([&] { RepairSearch::Find("NEW7777", 50, &error); }));
    std::printf("one machine's history and configuration: %.1f ms\n", Median([&] {
                    RepairRecord::History(2, &error);
                    RepairRecord::CurrentConfiguration(2, &error);
                }));
    const QDateTime now = QDateTime::currentDateTime();
    std::printf(
        "reminder counts (超期 / 待取机 / 超30天未取): %.1f ms\n", Median([&] {
            MemDataset counts;
            OpenQuery("select (select count(*) from RepairInfo where Status<2 and (ReceivedAt<? or DueAt<?)),"
                      " (select count(*) from RepairInfo where Status=2),"
                      " (select count(*) from RepairInfo where Status=2 and ReadyAt<?)",
                      counts, {now.addDays(-3), now, now.addDays(-30)});
        }));

    // 保存并打印: the form with a machine, saved, the slip prepared and the
    // preview window built.
    TFrmRepairInput form;
    form.show();
    TFrmRepairInput::SlipSink = [](const Report::PreparedReport& report) {
        ReportPreviewDialog preview(report);
        preview.show();
        QApplication::processEvents();
    };
    const double savePrint = Median([&] {
        form.PickMachine(4 + qint64(QDateTime::currentMSecsSinceEpoch() % 1000) * 2);
        form.findChild<QPlainTextEdit*>("MemProblem")->setPlainText(QStringLiteral("开机无显示"));
        QMetaObject::invokeMethod(&form, "BtnSavePrintClick");
    });
    std::printf("保存并打印 up to the preview: %.1f ms\n", savePrint);
    TFrmRepairInput::SlipSink = nullptr;
    RepairVisit visit;
    RepairRecord::Load(1, &visit, &error);
    const QString pdf = dir.filePath("receipt.pdf");
    std::printf("receipt PDF (取机单, 80 mm): %.1f ms\n", Median([&] {
                    Report::ExportPdf(RepairSlips::PreparePickupSlip(RepairSlips::DataOf(visit), true), pdf,
                                      &error);
                }));
    SessionRights::Uninstall();
    dataModule.DisconnectDatabase();
    DataM = nullptr;
    if (server)
        Bench::DropServerDatabase(database);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (app.arguments().contains("--sqlite"))
        return Run(false);
    if (app.arguments().contains("--server"))
        return Run(true);
    for (const char* engine : {"--sqlite", "--server"}) {
        if (QByteArray(engine) == "--server" && !Bench::ServerUnavailableReason().isEmpty()) {
            std::printf("\n== PostgreSQL left out: %s ==\n", qPrintable(Bench::ServerUnavailableReason()));
            continue;
        }
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {engine});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
