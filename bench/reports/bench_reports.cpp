// Times the warranty card: preparing it, and preparing plus rendering it to a
// PDF file and to a 300 dpi image.  Prints the median of each over the runs.
//   bench_reports [--runs N] [--demo DIR]
// --demo writes a filled demo card as PDF, PNG and .rmp into DIR and exits.
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "WarrantyCard.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

WarrantyCardData DemoCard()
{
    WarrantyCardData d;
    d.LblIncName = QStringLiteral("维保档案管家");
    d.LblPrintDate = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    d.LblName = QStringLiteral("张三丰");
    d.LblPhone = QStringLiteral("010-62345678");
    d.LblFax = QStringLiteral("010-62345679");
    d.Lblmobile = QStringLiteral("13812345678");
    d.LblBuyAmount = QStringLiteral("2");
    d.LblAddr = QStringLiteral("北京市海淀区中关村大街27号 中关村大厦1201室");
    d.LblBuyDate = QStringLiteral("2024-03-15");
    d.LblOverRun = QStringLiteral("2025-03-15");
    d.LblCpu = QStringLiteral("Intel Core i5-12400");
    d.Lblmouse = QStringLiteral("罗技 M100");
    d.Lblmainboard = QStringLiteral("华硕 PRIME B660M-K");
    d.Lbldisplay = QStringLiteral("AOC 24B2XH 23.8寸");
    d.LblMemory = QStringLiteral("16GB DDR4 3200");
    d.Lblbox = QStringLiteral("航嘉 GS");
    d.LblHD = QStringLiteral("512GB NVMe");
    d.LblPower = QStringLiteral("航嘉 400W");
    d.LblSound = QStringLiteral("板载");
    d.LblSoundBox = QStringLiteral("漫步者 R101V");
    d.LbldisplayCard = QStringLiteral("七彩虹 RTX 3060 12G");
    d.LblPrint = QStringLiteral("无");
    d.LblCDROM = QStringLiteral("无");
    d.LblNetWork = QStringLiteral("板载千兆");
    d.Lblfloppy = QStringLiteral("无");
    d.LblModem = QStringLiteral("无");
    d.LblKeyBoard = QStringLiteral("罗技 K120");
    d.LblOther = QStringLiteral("无线网卡");
    d.QMemo =
        QStringLiteral("整机保修一年，显示器三年。\n客户自带系统安装盘。硬盘已分区：C盘200GB，D盘其余空间。"
                       "请妥善保管本保修书，维修时凭本保修书及购机发票办理。");
    d.LblCN1 = QStringLiteral("1、整机一年免费保修，终身维护。");
    d.LblCN2 = QStringLiteral("2、人为损坏、私自拆机不在保修之列。");
    d.LblCN3 = QStringLiteral("3、上门服务请拨打服务电话。");
    d.LblIncAddr = QStringLiteral("北京市海淀区中关村电子市场三层A318");
    d.LblIncPhone = QStringLiteral("010-88886666");
    d.LblIncMail = QStringLiteral("service@example.com");
    d.LblIncFax = QStringLiteral("010-88886667");
    d.LblIncWeb = QStringLiteral("www.example.com");
    d.LblIncPhone1 = QStringLiteral("400-800-1234");
    return d;
}

double MedianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int runs = 50;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = qMax(1, args[++i].toInt());
        if (args[i] == QLatin1String("--demo") && i + 1 < args.size()) {
            const QDir dir(args[++i]);
            const Report::PreparedReport card = Report::PrepareWarrantyCard(DemoCard());
            QString error;
            const bool ok =
                Report::ExportPdf(card, dir.filePath(QStringLiteral("demo-card.pdf")), &error) &&
                Report::ExportPng(card, dir.filePath(QStringLiteral("demo-card.png")), &error, 100) &&
                Report::SaveReportFile(dir.filePath(QStringLiteral("demo-card.rmp")), card, &error);
            std::printf("%s\n", ok ? "demo card written" : qPrintable(error));
            return ok ? 0 : 1;
        }
    }

    const WarrantyCardData data = DemoCard();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("card.pdf"));
    // One unmeasured run loads the fonts.
    Report::ExportPdf(Report::PrepareWarrantyCard(data), pdf, nullptr);

    const double prepare = MedianMs(runs, [&] { Report::PrepareWarrantyCard(data); });
    const double toPdf =
        MedianMs(runs, [&] { Report::ExportPdf(Report::PrepareWarrantyCard(data), pdf, nullptr); });
    const double toImage =
        MedianMs(runs, [&] { Report::RenderPageImage(Report::PrepareWarrantyCard(data), 0, 300); });
    std::printf("warranty card, median of %d runs per card:\n", runs);
    std::printf("  prepare                       %8.2f ms\n", prepare);
    std::printf("  prepare + render to PDF       %8.2f ms\n", toPdf);
    std::printf("  prepare + render 300 dpi image %7.2f ms\n", toImage);
    return 0;
}
