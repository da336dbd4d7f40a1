// The figures of 经营统计 against hand counts of a small fixed data set, on
// both engines, the links to exactly the counted records, the page and its
// export.
#include "BusinessStats.h"
#include "DataAccess.h"
#include "RepairListModel.h"
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "SaleListModel.h"
#include "ScriptedDialogs.h"
#include "SqlConnection.h"
#include "StatsPageView.h"
#include "StatsReport.h"
#include "TFrmBusinessStats.h"
#include "TestEnv.h"
#include "XlsxReader.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace BusinessStats;

namespace {

const QDateTime Now(QDate(2024, 6, 30), QTime(12, 0));

QVariant When(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss"));
}

qint64 AddSale(const QVariant& buy, const QVariant& overRun, const QString& cpu, const QString& tb = "0")
{
    MemDataset inserted;
    if (!OpenQuery(
            "insert into SaleInfo (Name,addr,BuyDate,OverRun,TB,BuyAmount,CPU) values (?,?,?,?,?,'1',?)"
            " returning id",
            inserted,
            {QStringLiteral("客户"), QStringLiteral("北京"), SqlArg(buy), SqlArg(overRun), tb, cpu}) ||
        inserted.IsEmpty())
        return 0;
    return inserted.AsInteger("id");
}

qint64 AddVisit(qint64 sale, const QString& no, const QString& received, const QString& ready,
                const QString& picked, int status, int inWarranty, const QString& technician, qint64 labor,
                qint64 total)
{
    MemDataset inserted;
    if (!OpenQuery(
            "insert into RepairInfo (RepairNo,SaleID,Outside,ReceivedAt,ReadyAt,PickedUpAt,Problem,Status,"
            "InWarranty,Technician,LaborFee,Total) values (?,?,0,?,?,?,?,?,?,?,?,?) returning RepairID",
            inserted,
            {no, sale, SqlArg(When(received)), SqlArg(When(ready)), SqlArg(When(picked)),
             QStringLiteral("不开机"), status, inWarranty, technician, labor, total}) ||
        inserted.IsEmpty())
        return 0;
    return inserted.AsInteger("RepairID");
}

bool AddSwap(qint64 visit, const QString& component, int qty, qint64 price, bool covered)
{
    return ExecCommand("insert into RepairSwap (RepairID,Component,Qty,Price,Covered) values (?,?,?,?,?)",
                       {visit, component, qty, price, covered ? 1 : 0});
}

Request Year2024(Grouping grouping = Grouping::Month)
{
    Request request;
    request.from = QDate(2024, 1, 1);
    request.to = QDate(2024, 12, 31);
    request.grouping = grouping;
    request.now = Now;
    return request;
}

} // namespace

class TestBusinessStats : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestEnv> m_env;
    qint64 m_visitHardDisk = 0;

private slots:
    void initTestCase()
    {
        WEIBAO_SKIP_WITHOUT_SERVER();
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        const QDate d = QDate(2024, 1, 1);
        // First and last day of a month, a leap day, a time of day, the year
        // before and after, and a record without a date.
        const qint64 first = AddSale(d, d.addDays(365), "Intel Core i5-12400");
        QVERIFY(first > 0);
        QVERIFY(AddSale(QDate(2024, 1, 31), QDate(2025, 1, 30), "AMD Ryzen 5 5600", "1"));
        QVERIFY(AddSale(QDate(2024, 2, 29), QDate(2025, 2, 28), QStringLiteral("兆芯 KX-6640")));
        QVERIFY(AddSale(QDate(2024, 3, 15), QDate(2025, 3, 15), "intel core i3"));
        QVERIFY(
            AddSale(When("2024-12-31 10:00:00"), QDate(2025, 12, 31), QStringLiteral("英特尔 Intel 酷睿")));
        QVERIFY(AddSale(QDate(2023, 1, 15), QDate(2024, 1, 15), "AMD"));
        QVERIFY(AddSale(QDate(2023, 2, 28), QDate(2024, 2, 28), "AMD"));
        QVERIFY(AddSale(QDate(2025, 1, 1), QDate(2026, 1, 1), "AMD"));
        QVERIFY(AddSale(QVariant(), QVariant(), "AMD"));
        // Warranties ending around the test's clock (bought long before).
        QVERIFY(AddSale(QDate(2022, 6, 1), QDate(2024, 6, 30), "AMD"));
        QVERIFY(AddSale(QDate(2022, 6, 1), QDate(2024, 7, 1), "AMD"));
        QVERIFY(AddSale(QDate(2022, 6, 1), QDate(2024, 7, 30), "AMD"));
        QVERIFY(AddSale(QDate(2022, 6, 1), QDate(2024, 7, 31), "AMD"));
        if (!TestEnv::OnServer()) {
            // Texts no date reader takes, inside the period as text.
            QVERIFY(AddSale(QStringLiteral("2024-1-15"), QVariant(), "Intel"));
            QVERIFY(AddSale(QStringLiteral("2024-02-30 00:00:00"), QVariant(), "Intel"));
        }

        QVERIFY(AddVisit(first, "V1", "2024-01-10 09:00:00", "2024-01-11 09:00:00", "2024-01-12 10:00:00", 3,
                         1, QStringLiteral("王工"), 0, 0));
        QVERIFY(AddSwap(m_env->Scalar("select max(RepairID) from RepairInfo").toLongLong(),
                        QStringLiteral("内存"), 1, 29900, true));
        const qint64 v2 = AddVisit(first, "V2", "2024-01-20 09:00:00", "2024-01-23 09:00:00",
                                   "2024-02-02 10:00:00", 3, 0, QStringLiteral("李工"), 5000, 34900);
        QVERIFY(AddSwap(v2, QStringLiteral("内存"), 1, 29900, false));
        QVERIFY(AddVisit(first, "V3", "2024-03-05 10:00:00", "2024-03-07 10:00:00", "", 2, 0,
                         QStringLiteral("王工"), 0, 0));
        m_visitHardDisk =
            AddVisit(first, "V4", "2024-03-06 10:00:00", "2024-03-10 10:00:00", "", 2, 1, QString(), 0, 0);
        QVERIFY(AddSwap(m_visitHardDisk, QStringLiteral("硬盘"), 3, 10000, true));
        QVERIFY(AddVisit(first, "V5", "2024-04-01 08:00:00", "", "", 1, 0, QStringLiteral("王工"), 0, 0));
        // Received the year before, picked up (and paid) in January.
        QVERIFY(AddVisit(first, "V6", "2023-12-31 09:00:00", "2024-01-01 09:00:00", "2024-01-02 09:00:00", 3,
                         0, QStringLiteral("李工"), 3000, 3000));
    }

    void cleanupTestCase() { m_env.reset(); }

    void salesByMonthAndTheYearBefore()
    {
        Result r;
        QString error;
        QVERIFY2(Compute(Year2024(), &r, &error), qPrintable(error));
        QCOMPARE(r.buckets.size(), 12);
        QCOMPARE(r.buckets[1].label, QStringLiteral("2月"));
        QCOMPARE(r.buckets[1].to, QDate(2024, 2, 29));
        QCOMPARE(r.sales, (QVector<qint64>{2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
        QCOMPARE(r.salesYearBefore, (QVector<qint64>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(r.salesTotal, 5);
        QCOMPARE(r.machineTypes, (QVector<qint64>{3, 1, 1}));
        QCOMPARE(r.customers, (QVector<qint64>{4, 1}));
        // The record without a date everywhere, the unreadable texts on SQLite.
        QCOMPARE(r.unreadable, TestEnv::OnServer() ? 1 : 3);
        QCOMPARE(UnreadableNote(r.unreadable), QStringLiteral("%1 条记录日期无法识别").arg(r.unreadable));
    }

    void leapDayHasNoDayTheYearBefore()
    {
        Request request = Year2024(Grouping::Day);
        request.from = QDate(2024, 2, 27);
        request.to = QDate(2024, 3, 1);
        Result r;
        QString error;
        QVERIFY2(Compute(request, &r, &error), qPrintable(error));
        QCOMPARE(r.sales, (QVector<qint64>{0, 0, 1, 0}));
        QCOMPARE(r.salesYearBefore, (QVector<qint64>{0, 1, 0, 0}));
        QVERIFY(!r.yearBefore[2].from.isValid());
        QCOMPARE(TargetOf(r, "sales/1/2").kind, Target::None);

        // Weeks run Monday to Sunday, cut to the period.
        const QVector<Bucket> weeks = MakeBuckets(QDate(2024, 2, 28), QDate(2024, 3, 12), Grouping::Week);
        QCOMPARE(weeks.size(), 3);
        QCOMPARE(weeks[0].to, QDate(2024, 3, 3));
        QCOMPARE(weeks[1].from, QDate(2024, 3, 4));
        QCOMPARE(weeks[2].to, QDate(2024, 3, 12));
        QCOMPARE(YearBefore(QDate(2024, 3, 4), Grouping::Week).dayOfWeek(), 1);
    }

    void emptyPeriodIsZeros()
    {
        Request request = Year2024();
        request.from = QDate(2030, 1, 1);
        request.to = QDate(2030, 3, 31);
        request.countUnreadable = false;
        Result r;
        QString error;
        QVERIFY2(Compute(request, &r, &error), qPrintable(error));
        QCOMPARE(r.sales, (QVector<qint64>{0, 0, 0}));
        QCOMPARE(r.salesYearBefore, (QVector<qint64>{0, 0, 0}));
        QCOMPARE(r.salesTotal + r.visitsTotal + r.revenue + r.readyCount, 0);
        QCOMPARE(r.readyAverage, 0.0);
        QCOMPARE(r.readyP90, 0.0);
        QCOMPARE(r.unreadable, -1);
        QVERIFY(r.components.isEmpty());
        // The page of an empty period still prepares (no division by zero).
        const Report::PreparedReport page = StatsReport::Prepare(r, QString());
        QVERIFY(page.PageCount() >= 1);
        for (const Report::PreparedPage& p : page.pages)
            for (const Report::Primitive& primitive : p.primitives)
                QVERIFY(std::isfinite(primitive.rect.x()) && std::isfinite(primitive.rect.height()));
    }

    void repairFigures()
    {
        Result r;
        QString error;
        QVERIFY2(Compute(Year2024(), &r, &error), qPrintable(error));
        QCOMPARE(r.visitsTotal, 5);
        QCOMPARE(r.visits[3][0], 2); // 已取机 received in January
        QCOMPARE(r.visits[2][2], 2); // 待取机 received in March
        QCOMPARE(r.visits[1][3], 1); // 检修中 received in April
        QCOMPARE(r.inWarranty, 2);
        QCOMPARE(r.outOfWarranty, 3);
        // 24, 72, 48 and 96 hours: an even count.
        QCOMPARE(r.readyCount, 4);
        QCOMPARE(r.readyAverage, 2.5);
        QVERIFY(qAbs(r.readyP90 - 88.8 / 24) < 1e-9);
        // Money by the day of 取机: V6 in January although received before.
        QCOMPARE(r.labor[0], 3000);
        QCOMPARE(r.parts[0], 0);
        QCOMPARE(r.labor[1], 5000);
        QCOMPARE(r.parts[1], 29900);
        QCOMPARE(r.revenue, 37900);
        QCOMPARE(r.components, (NamedCounts{{QStringLiteral("硬盘"), 3}, {QStringLiteral("内存"), 2}}));
        QCOMPARE(
            r.technicians,
            (NamedCounts{{QStringLiteral("王工"), 3}, {QStringLiteral("李工"), 1}, {NoTechnician(), 1}}));
        QCOMPARE(r.inRepair, 1);
        QCOMPARE(r.waiting, 2);
        QCOMPARE(r.overdue, 1);
        // Warranties from noon of 30 June: the one ending that day has ended.
        QCOMPARE(r.expiry, (QVector<qint64>{0, 3, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0}));
        QCOMPARE(r.expiring30, 2);
        QCOMPARE(r.expiring60, 3);
        QCOMPARE(r.expiring90, 3);
    }

    // The visits are counted on a second connection while the sales are
    // counted on the first: it must reach the same database (the figures
    // above then come from both halves), and one in memory has none.
    void secondConnectionReadsTheSameDatabase()
    {
        SqlConnection reader;
        QVERIFY2(reader.OpenReaderOf(*CurrentConnection()), qPrintable(reader.ErrorString()));
        SqlStatement count(&reader, QStringLiteral("select count(*) from RepairInfo"));
        QVERIFY(count.Step());
        QCOMPARE(count.ColumnInt64(0), m_env->Scalar("select count(*) from RepairInfo").toLongLong());
        SqlConnection memory, none;
        QVERIFY(memory.CreateInMemory());
        QVERIFY(!none.OpenReaderOf(memory));
    }

    void percentileOfEvenAndOddCounts()
    {
        QCOMPARE(Percentile({{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}, 0.9), 4.6);
        QVERIFY(qAbs(Percentile({{1, 1}, {2, 1}, {3, 1}, {4, 1}}, 0.9) - 3.7) < 1e-9);
        QVERIFY(qAbs(Percentile({{10, 3}, {20, 1}}, 0.9) - 17.0) < 1e-9);
        QCOMPARE(Percentile({{5, 1}}, 0.9), 5.0);
        QCOMPARE(Percentile({}, 0.9), 0.0);
    }

    // Every part of every chart that stands for records lists exactly the
    // records it counts.
    void linksListExactlyTheCountedRecords()
    {
        Result r;
        QString error;
        QVERIFY2(Compute(Year2024(), &r, &error), qPrintable(error));
        const Report::PreparedReport page = StatsReport::Prepare(r, QString());
        const QVector<StatsReport::NamedChart> charts = StatsReport::Charts(r);
        // Visits per part where the chart shows something other than visits.
        const QMap<QString, qint64> visitsOf = {{"revenue/0/0", 2}, {"revenue/1/0", 2}, {"revenue/0/1", 1},
                                                {"revenue/1/1", 1}, {"parts/0/0", 1},   {"parts/0/1", 2}};
        int checked = 0;
        QSet<QString> seen;
        for (const Report::PreparedPage& p : page.pages) {
            for (const Report::Primitive& primitive : p.primitives) {
                if (primitive.name.count('/') != 2 || seen.contains(primitive.name))
                    continue;
                seen.insert(primitive.name);
                const QStringList parts = primitive.name.split('/');
                const Target target = TargetOf(r, primitive.name);
                if (parts[0] == QLatin1String("techs") && parts[2].toInt() == 2) {
                    QCOMPARE(target.kind, Target::None); // 未指派
                    continue;
                }
                QVERIFY2(target.kind != Target::None, qPrintable(primitive.name));
                qint64 expected = 0;
                for (const StatsReport::NamedChart& chart : charts)
                    if (chart.name == parts[0])
                        expected = qint64(chart.chart.series[parts[1].toInt()].values[parts[2].toInt()]);
                expected = visitsOf.value(primitive.name, expected);
                qint64 listed = -1;
                if (target.kind == Target::Sales) {
                    SaleListModel model;
                    QVERIFY2(model.Load(target.sales, true, &error), qPrintable(error));
                    listed = model.MatchCount();
                } else {
                    RepairListModel model;
                    model.SetClock([] { return Now; });
                    QVERIFY2(model.Load(target.repairs, &error), qPrintable(error));
                    listed = model.MatchCount();
                }
                QVERIFY2(listed == expected, qPrintable(QStringLiteral("%1: %2 listed, %3 counted")
                                                            .arg(primitive.name)
                                                            .arg(listed)
                                                            .arg(expected)));
                ++checked;
            }
        }
        QVERIFY(checked >= 15);
        // The figures too.
        const QMap<QString, qint64> figures = {{"sales", r.salesTotal},  {"visits", r.visitsTotal},
                                               {"inRepair", r.inRepair}, {"waiting", r.waiting},
                                               {"overdue", r.overdue},   {"revenue", 3},
                                               {"expiring30", 2},        {"expiring60", 3}};
        for (auto it = figures.cbegin(); it != figures.cend(); ++it) {
            const Target target = TargetOf(r, "figure/" + it.key());
            qint64 listed = -1;
            if (target.kind == Target::Sales) {
                SaleListModel model;
                QVERIFY(model.Load(target.sales, true, &error));
                listed = model.MatchCount();
            } else {
                RepairListModel model;
                model.SetClock([] { return Now; });
                QVERIFY(model.Load(target.repairs, &error));
                listed = model.MatchCount();
            }
            QVERIFY2(listed == it.value(), qPrintable(it.key()));
        }
    }

    void pagePrintsChineseAndExports()
    {
        Result r;
        QString error;
        QVERIFY2(Compute(Year2024(), &r, &error), qPrintable(error));
        const Report::PreparedReport page = StatsReport::Prepare(r, QStringLiteral("岚石电脑"));
        QTemporaryDir dir;
        // The report file keeps the charts' areas and slices.
        const QString rmp = dir.filePath("stats.rmp");
        QVERIFY2(Report::SaveReportFile(rmp, page, &error), qPrintable(error));
        Report::PreparedReport loaded;
        QVERIFY2(Report::LoadReportFile(rmp, &loaded, &error), qPrintable(error));
        QVERIFY(loaded == page);

        const QString workbook = dir.filePath("stats.xlsx");
        QVERIFY2(StatsReport::ExportWorkbook(r, workbook, &error), qPrintable(error));
        // The first sheet holds the figures.
        XlsxReader reader;
        QVERIFY2(reader.Open(workbook), qPrintable(reader.ErrorString()));
        QCOMPARE(reader.SheetName(), QStringLiteral("概要"));
        QVector<QVariant> row;
        QMap<QString, QVariant> figures;
        while (reader.ReadRow(&row))
            if (row.size() >= 2)
                figures.insert(row[0].toString(), row[1]);
        QCOMPARE(figures.value(QStringLiteral("本期销售（台）")).toInt(), 5);
        QCOMPARE(figures.value(QStringLiteral("本期收入（元）")).toDouble(), 379.0);
        // And a sheet per chart.
        if (!QStandardPaths::findExecutable("unzip").isEmpty()) {
            QProcess list;
            list.start("unzip", {"-Z1", workbook});
            QVERIFY(list.waitForFinished(30000));
            const QStringList entries = QString::fromUtf8(list.readAllStandardOutput()).split('\n');
            QCOMPARE(entries.filter(QRegularExpression("^xl/worksheets/sheet\\d+\\.xml$")).size(),
                     1 + StatsReport::Charts(r).size());
        }

        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString pdf = dir.filePath("stats.pdf");
        QVERIFY2(Report::ExportPdf(page, pdf, &error), qPrintable(error));
        QProcess text;
        text.start("pdftotext", {pdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString pdfText = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString& caption : {QStringLiteral("销售台数"), QStringLiteral("去年同期"),
                                       QStringLiteral("保修到期"), QStringLiteral("更换最多的配件"),
                                       QStringLiteral("维修人员接修次数"), QStringLiteral("特殊客户")})
            QVERIFY2(pdfText.contains(caption), qPrintable(caption));
    }

    void windowFollowsThePeriod()
    {
        ScriptedDialogs dialogs;
        TFrmBusinessStats form;
        const auto control = [&form](const char* name) { return form.findChild<QWidget*>(name); };
        qobject_cast<QComboBox*>(control("CmbPeriod"))->setCurrentIndex(TFrmBusinessStats::Custom);
        qobject_cast<QDateEdit*>(control("DateFrom"))->setDate(QDate(2024, 1, 1));
        qobject_cast<QDateEdit*>(control("DateTo"))->setDate(QDate(2024, 12, 31));
        qobject_cast<QComboBox*>(control("CmbGroup"))->setCurrentIndex(int(Grouping::Month));
        QCOMPARE(form.Figures().salesTotal, 5);
        QCOMPARE(form.Figures().buckets.size(), 12);
        QVERIFY(qobject_cast<QToolButton*>(control("BtnFigSales"))->text().contains("5"));
        QVERIFY(form.Figures().unreadable > 0);
        QVERIFY(
            qobject_cast<QLabel*>(control("LblNote"))->text().contains(QStringLiteral("条记录日期无法识别")));
        // A click on January's bar names that part.
        form.resize(1000, 700);
        form.PageView()->FitWidth(900);
        const QRectF bar = form.PageView()->PartRect("sales/0/0");
        QVERIFY(!bar.isEmpty());
        QCOMPARE(form.PageView()->PartAt(bar.center()), QStringLiteral("sales/0/0"));
        QSignalSpy clicked(form.PageView(), &StatsPageView::PartClicked);
        QTest::mouseClick(form.PageView(), Qt::LeftButton, {}, bar.center().toPoint());
        QCOMPARE(clicked.size(), 1);
        const auto [from, to] =
            TFrmBusinessStats::PeriodDays(TFrmBusinessStats::ThisQuarter, QDate(2024, 5, 17));
        QCOMPARE(from, QDate(2024, 4, 1));
        QCOMPARE(to, QDate(2024, 6, 30));
    }

    // Counting leaves out unreadable dates through partial indexes instead
    // of reading each row's date: a warranty end, a 待取机 and a 取机 that
    // read as dates in range but are none must change nothing but the
    // visit's own count.
    void unreadableDatesOfVisitsAndWarrantiesAreLeftOut()
    {
        if (TestEnv::OnServer())
            QSKIP("the server stores only dates");
        Result before;
        QString error;
        QVERIFY2(Compute(Year2024(), &before, &error), qPrintable(error));
        const qint64 sale = AddSale(QDate(2022, 6, 1), QStringLiteral("2024-09-31 00:00:00"), "AMD");
        QVERIFY(sale > 0);
        const qint64 visit =
            AddVisit(sale, "V7", "2024-02-20 09:00:00", QString(), QString(), 3, 0, QString(), 1000, 1000);
        QVERIFY(visit > 0);
        QVERIFY(ExecCommand("update RepairInfo set ReadyAt='2024-02-30 09:00:00',"
                            " PickedUpAt='2024-02-30 10:00:00' where RepairID=?",
                            {visit}));
        Result after;
        const bool computed = Compute(Year2024(), &after, &error);
        QVERIFY(ExecCommand("delete from RepairInfo where RepairID=?", {visit}));
        QVERIFY(ExecCommand("delete from SaleInfo where id=?", {sale}));
        QVERIFY2(computed, qPrintable(error));
        QCOMPARE(after.expiry, before.expiry);
        QCOMPARE(after.expiring30, before.expiring30);
        QCOMPARE(after.expiring90, before.expiring90);
        QCOMPARE(after.readyCount, before.readyCount);
        QCOMPARE(after.readyAverage, before.readyAverage);
        QCOMPARE(after.revenue, before.revenue);
        QCOMPARE(after.labor, before.labor);
        QCOMPARE(after.visitsTotal, before.visitsTotal + 1);
        QCOMPARE(after.visits[3][1], before.visits[3][1] + 1);
    }
};

QTEST_MAIN(TestBusinessStats)
#include "tst_businessstats.moc"
