// The chart primitives of the report engine: bar, line and pie charts laid
// out as primitives, drawn readable in greyscale, kept by the report file,
// and report files of the versions before charts still open.
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "ReportModel.h"
#include "ReportRenderer.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>

using namespace Report;

namespace {

ChartData TwoSeries(ChartKind kind = ChartKind::Bar)
{
    ChartData chart;
    chart.kind = kind;
    chart.title = QStringLiteral("销售台数");
    chart.yTitle = QStringLiteral("台");
    chart.categories = {QStringLiteral("1月"), QStringLiteral("2月"), QStringLiteral("3月")};
    chart.series = {{QStringLiteral("本期"), {40, 0, 20}}, {QStringLiteral("去年同期"), {40, 10, 0}}};
    return chart;
}

PreparedReport OnePage(const ChartData& chart, const QRectF& box = QRectF(10, 10, 180, 90))
{
    PreparedReport report;
    report.pages.append(PreparedPage());
    LayoutChart(chart, QStringLiteral("c"), box, report.pages[0]);
    return report;
}

const Primitive* Find(const PreparedReport& report, const QString& name)
{
    for (const Primitive& p : report.pages[0].primitives)
        if (p.name == name)
            return &p;
    return nullptr;
}

// Mean and spread of the grey levels inside a rectangle (mm) of a page
// drawn at `dpi`.
std::pair<double, double> GreyStats(const QImage& image, const QRectF& mm, int dpi)
{
    const double scale = dpi / 25.4;
    const QRect area = QRectF(mm.topLeft() * scale, mm.size() * scale).toAlignedRect().adjusted(3, 3, -3, -3);
    double sum = 0, squares = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const double grey = qGray(image.pixel(x, y));
            sum += grey;
            squares += grey * grey;
            ++n;
        }
    const double mean = sum / n;
    return {mean, std::sqrt(qMax(0.0, squares / n - mean * mean))};
}

} // namespace

class TestReportChart : public QObject
{
    Q_OBJECT

private slots:
    void barsStandForTheirValues()
    {
        const PreparedReport report = OnePage(TwoSeries());
        const Primitive* jan = Find(report, "c/0/0");
        const Primitive* mar = Find(report, "c/0/2");
        QVERIFY(jan && mar);
        QCOMPARE(jan->kind, PrimitiveKind::Area);
        // Twice the value, twice the height, on one base line.
        QVERIFY(qAbs(jan->rect.height() - 2 * mar->rect.height()) < 1e-6);
        QVERIFY(qAbs(jan->rect.bottom() - mar->rect.bottom()) < 1e-6);
        // A zero is no bar at all; each series has its colour and pattern.
        QVERIFY(!Find(report, "c/0/1"));
        QVERIFY(!Find(report, "c/1/2"));
        const Primitive* prior = Find(report, "c/1/0");
        QVERIFY(prior);
        QVERIFY(prior->color != jan->color);
        QVERIFY(prior->pattern != jan->pattern);
        // The legend names both series and the texts are there.
        QStringList texts;
        for (const Primitive& p : report.pages[0].primitives)
            if (p.kind == PrimitiveKind::Text)
                texts << p.text;
        for (const char* text : {"销售台数", "本期", "去年同期", "1月", "3月", "台", "0", "40"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);

        // Stacked: one column per category, the parts on each other.
        ChartData stacked = TwoSeries();
        stacked.stacked = true;
        const PreparedReport tower = OnePage(stacked);
        const Primitive* low = Find(tower, "c/0/0");
        const Primitive* high = Find(tower, "c/1/0");
        QVERIFY(low && high);
        QVERIFY(qAbs(high->rect.bottom() - low->rect.top()) < 1e-6);
        QCOMPARE(high->rect.left(), low->rect.left());
    }

    void emptyAndLineAndPie()
    {
        // All zero: axes and labels, nothing that is not a number.
        ChartData empty = TwoSeries();
        for (ChartSeries& series : empty.series)
            series.values = {0, 0, 0};
        for (ChartKind kind : {ChartKind::Bar, ChartKind::Line, ChartKind::Pie}) {
            empty.kind = kind;
            const PreparedReport report = OnePage(empty);
            QVERIFY(!report.pages[0].primitives.isEmpty());
            for (const Primitive& p : report.pages[0].primitives) {
                QVERIFY(std::isfinite(p.rect.top()) && std::isfinite(p.rect.height()));
                for (const QPointF& point : p.points)
                    QVERIFY(std::isfinite(point.y()));
                QVERIFY(p.kind != PrimitiveKind::Sector);
            }
        }
        const PreparedReport line = OnePage(TwoSeries(ChartKind::Line));
        const Primitive* first = Find(line, "c/0");
        QVERIFY(first);
        QCOMPARE(first->kind, PrimitiveKind::Polyline);
        QCOMPARE(first->points.size(), 3);
        QVERIFY(first->marker != Marker::None);
        QVERIFY(first->points[1].y() > first->points[0].y()); // 0 below 40

        ChartData pie = TwoSeries(ChartKind::Pie);
        pie.series[0].values = {30, 0, 10};
        const PreparedReport slices = OnePage(pie);
        const Primitive* big = Find(slices, "c/0/0");
        const Primitive* small = Find(slices, "c/0/2");
        QVERIFY(big && small && big->kind == PrimitiveKind::Sector);
        QVERIFY(!Find(slices, "c/0/1") || Find(slices, "c/0/1")->kind != PrimitiveKind::Sector);
        QVERIFY(qAbs(big->spanAngle + small->spanAngle + 360.0) < 1e-9);
        QVERIFY(qAbs(big->spanAngle / small->spanAngle - 3.0) < 1e-9);
        QStringList texts;
        for (const Primitive& p : slices.pages[0].primitives)
            texts << p.text;
        QVERIFY2(texts.join('|').contains(QStringLiteral("1月  30（75.0%）")), qPrintable(texts.join('|')));
    }

    // Two series of equal value drawn on paper and looked at in grey: the
    // hatched one differs from the solid one by its pattern, whatever the
    // colours turn into.
    void seriesTellApartInGreyscale()
    {
        ChartData chart = TwoSeries();
        chart.series = {
            {QStringLiteral("甲"), {50}}, {QStringLiteral("乙"), {50}}, {QStringLiteral("丙"), {50}}};
        chart.categories = {QStringLiteral("一")};
        PreparedReport report = OnePage(chart, QRectF(10, 10, 120, 80));
        report.page.paperWidth = 140;
        report.page.paperHeight = 100;
        const QImage image = RenderPageImage(report, 0, 200).convertToFormat(QImage::Format_Grayscale8);
        QVector<std::pair<double, double>> bars;
        for (int s = 0; s < 3; ++s) {
            const Primitive* bar = Find(report, QStringLiteral("c/%1/0").arg(s));
            QVERIFY(bar);
            bars << GreyStats(image, bar->rect, 200);
        }
        // The solid bar is even; the hatched ones are striped.
        QVERIFY2(bars[0].second < 5, qPrintable(QString::number(bars[0].second)));
        QVERIFY2(bars[1].second > 20, qPrintable(QString::number(bars[1].second)));
        QVERIFY2(bars[2].second > 20, qPrintable(QString::number(bars[2].second)));
    }

    void reportFileKeepsChartsAndReadsOldFiles()
    {
        PreparedReport report = OnePage(TwoSeries());
        const PreparedReport pie = OnePage(TwoSeries(ChartKind::Pie));
        const PreparedReport line = OnePage(TwoSeries(ChartKind::Line));
        report.pages << pie.pages << line.pages;
        PreparedReport loaded;
        QString error;
        QVERIFY2(DeserializeReport(SerializeReport(report), "x.rmp", &loaded, &error), qPrintable(error));
        QVERIFY(loaded == report);

        // A file of version 2 (before colours and charts): one text.
        QByteArray payload;
        {
            QDataStream out(&payload, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_4);
            out << QStringLiteral("A4") << 210.0 << 297.0 << quint8(0) << 10.0 << 10.0 << 10.0 << 10.0;
            out << QStringLiteral("旧报表") << quint32(1) << quint32(1);
            out << quint8(0) << QStringLiteral("Name") << QRectF(20, 20, 30, 5) << QLineF()
                << QStringLiteral("旧文字");
            out << QStringLiteral("宋体") << 12.0 << false << false;
            out << qint32(1) << quint8(0) << false << 1.0;
        }
        QByteArray data("WBRMP\r\n\x1a", 8);
        {
            QDataStream out(&data, QIODevice::WriteOnly | QIODevice::Append);
            out << quint16(2) << quint32(payload.size());
        }
        data += QCryptographicHash::hash(payload, QCryptographicHash::Sha256) + payload;
        QVERIFY2(DeserializeReport(data, "old.rmp", &loaded, &error), qPrintable(error));
        QCOMPARE(loaded.title, QStringLiteral("旧报表"));
        QCOMPARE(loaded.pages[0].primitives.size(), 1);
        QCOMPARE(loaded.pages[0].primitives[0].text, QStringLiteral("旧文字"));
        QCOMPARE(loaded.pages[0].primitives[0].color, 0xff000000u);

        // A chart's kind in a file that says version 2 is damage.
        QByteArray badPayload;
        {
            QDataStream out(&badPayload, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_4);
            out << QStringLiteral("A4") << 210.0 << 297.0 << quint8(0) << 10.0 << 10.0 << 10.0 << 10.0;
            out << QStringLiteral("旧报表") << quint32(1) << quint32(1);
            out << quint8(PrimitiveKind::Area) << QString() << QRectF(20, 20, 30, 5) << QLineF() << QString();
            out << QStringLiteral("宋体") << 12.0 << false << false;
            out << qint32(1) << quint8(0) << false << 1.0;
        }
        QByteArray badData("WBRMP\r\n\x1a", 8);
        {
            QDataStream out(&badData, QIODevice::WriteOnly | QIODevice::Append);
            out << quint16(2) << quint32(badPayload.size());
        }
        badData += QCryptographicHash::hash(badPayload, QCryptographicHash::Sha256) + badPayload;
        QVERIFY(!DeserializeReport(badData, "bad.rmp", &loaded, &error));
        QVERIFY(error.contains(QStringLiteral("已损坏")));
    }
};

QTEST_MAIN(TestReportChart)
#include "tst_reportchart.moc"
