#include "StatsReport.h"

#include "XlsxExport.h"

#include <QLocale>

namespace StatsReport {

namespace {

using namespace BusinessStats;
using Report::ChartData;
using Report::ChartKind;

QVector<double> Doubles(const QVector<qint64>& values, double scale = 1.0)
{
    QVector<double> result;
    for (qint64 value : values)
        result << double(value) * scale;
    return result;
}

QStringList Labels(const QVector<Bucket>& buckets)
{
    QStringList labels;
    for (const Bucket& bucket : buckets)
        labels << bucket.label;
    return labels;
}

ChartData Named(const NamedCounts& counts, const QString& series)
{
    ChartData chart;
    Report::ChartSeries values{series, {}};
    for (const auto& [name, count] : counts) {
        chart.categories << name;
        values.values << double(count);
    }
    chart.series << values;
    return chart;
}

QString Days(double days)
{
    return QLocale::c().toString(days, 'f', 1);
}

// The figure row as it is printed.
QStringList FigureLines(const Result& r)
{
    return {
        QStringLiteral(
            "本期销售 %1 台    本期维修 %2 次    在修 %3    待取机 %4    超期 %5    本期收入 %6 元")
            .arg(r.salesTotal)
            .arg(r.visitsTotal)
            .arg(r.inRepair)
            .arg(r.waiting)
            .arg(r.overdue)
            .arg(Yuan(r.revenue)),
        QStringLiteral("保修到期：30 天内 %1 台，60 天内 %2 台，90 天内 %3 台    接收到待取机：平均 %4 天，"
                       "90% 在 %5 天内（%6 次）")
            .arg(r.expiring30)
            .arg(r.expiring60)
            .arg(r.expiring90)
            .arg(Days(r.readyAverage), Days(r.readyP90))
            .arg(r.readyCount)};
}

} // namespace

QString GroupingText(Grouping grouping)
{
    switch (grouping) {
    case Grouping::Day:
        return QStringLiteral("按日");
    case Grouping::Week:
        return QStringLiteral("按周");
    case Grouping::Month:
        return QStringLiteral("按月");
    }
    return {};
}

QString PeriodText(const Result& result)
{
    return QStringLiteral("%1 至 %2，%3")
        .arg(result.request.from.toString(QStringLiteral("yyyy-MM-dd")),
             result.request.to.toString(QStringLiteral("yyyy-MM-dd")), GroupingText(result.request.grouping));
}

QVector<NamedChart> Charts(const Result& r)
{
    QVector<NamedChart> charts;
    const QStringList periods = Labels(r.buckets);
    const QString x = GroupingText(r.request.grouping).mid(1);

    ChartData sales;
    sales.title = QStringLiteral("销售台数");
    sales.yTitle = QStringLiteral("台");
    sales.xTitle = x;
    sales.categories = periods;
    sales.series = {{QStringLiteral("本期"), Doubles(r.sales)},
                    {QStringLiteral("去年同期"), Doubles(r.salesYearBefore)}};
    charts.append({QStringLiteral("sales"), QStringLiteral("销售台数"), sales});

    ChartData types;
    types.kind = ChartKind::Pie;
    types.title = QStringLiteral("按机器类型（处理器平台）");
    types.categories = MachineTypeNames();
    types.series = {{QStringLiteral("台数"), Doubles(r.machineTypes)}};
    charts.append({QStringLiteral("types"), QStringLiteral("机器类型"), types});

    ChartData customers;
    customers.kind = ChartKind::Pie;
    customers.title = QStringLiteral("一般客户与特殊客户");
    customers.categories = CustomerNames();
    customers.series = {{QStringLiteral("台数"), Doubles(r.customers)}};
    charts.append({QStringLiteral("customers"), QStringLiteral("客户类别"), customers});

    ChartData expiry;
    expiry.title = QStringLiteral("保修到期（今后 12 个月）");
    expiry.yTitle = QStringLiteral("台");
    expiry.xTitle = QStringLiteral("月份");
    expiry.categories = Labels(r.expiryMonths);
    expiry.series = {{QStringLiteral("保修到期"), Doubles(r.expiry)}};
    charts.append({QStringLiteral("expiry"), QStringLiteral("保修到期"), expiry});

    ChartData visits;
    visits.title = QStringLiteral("维修接收（按状态）");
    visits.yTitle = QStringLiteral("次");
    visits.xTitle = x;
    visits.stacked = true;
    visits.categories = periods;
    for (int status = 0; status < 4; ++status)
        visits.series << Report::ChartSeries{RepairListModel::StatusText(status),
                                             Doubles(r.visits.value(status))};
    charts.append({QStringLiteral("visits"), QStringLiteral("维修接收"), visits});

    ChartData warranty;
    warranty.kind = ChartKind::Pie;
    warranty.title = QStringLiteral("保修内与保修外");
    warranty.categories = WarrantyNames();
    warranty.series = {{QStringLiteral("次数"), {double(r.inWarranty), double(r.outOfWarranty)}}};
    charts.append({QStringLiteral("warranty"), QStringLiteral("保修内外"), warranty});

    ChartData revenue;
    revenue.title = QStringLiteral("维修收入（取机结算）");
    revenue.yTitle = QStringLiteral("元");
    revenue.xTitle = x;
    revenue.stacked = true;
    revenue.decimals = 0;
    revenue.categories = periods;
    revenue.series = {{QStringLiteral("人工费"), Doubles(r.labor, 0.01)},
                      {QStringLiteral("配件费"), Doubles(r.parts, 0.01)}};
    charts.append({QStringLiteral("revenue"), QStringLiteral("维修收入"), revenue});

    ChartData parts = Named(r.components, QStringLiteral("更换数量"));
    parts.title = QStringLiteral("更换最多的配件（前 10 名）");
    parts.yTitle = QStringLiteral("件");
    charts.append({QStringLiteral("parts"), QStringLiteral("更换配件"), parts});

    ChartData techs = Named(r.technicians, QStringLiteral("维修次数"));
    techs.title = QStringLiteral("维修人员接修次数");
    techs.yTitle = QStringLiteral("次");
    charts.append({QStringLiteral("techs"), QStringLiteral("维修人员"), techs});
    return charts;
}

Report::PreparedReport Prepare(const Result& result, const QString& shopName)
{
    using namespace Report;
    ReportTemplate page;
    page.title = QStringLiteral("经营统计");
    page.page.marginLeft = page.page.marginRight = 12.0;
    page.page.marginTop = page.page.marginBottom = 10.0;
    const double width = page.page.PrintableRect().width();
    const auto text = [](const QString& name, const QString& value, double x, double y, double points,
                         bool bold = false) {
        Element element;
        element.kind = ElementKind::Text;
        element.name = name;
        element.text = value;
        element.box = QRectF(x, y, 0, points * 0.45);
        element.font.pointSize = points;
        element.font.bold = bold;
        element.transparent = true;
        return element;
    };

    Band& header = page.AddBand(BandKind::PageHeader, 30.0);
    header.elements << text(QStringLiteral("Title"),
                            shopName.isEmpty() ? QStringLiteral("经营统计")
                                               : shopName + QStringLiteral(" 经营统计"),
                            0, 0, 16, true);
    header.elements << text(QStringLiteral("Period"), QStringLiteral("统计期间：") + PeriodText(result), 0, 9,
                            9);
    const QStringList figures = FigureLines(result);
    header.elements << text(QStringLiteral("Figures1"), figures[0], 0, 15, 9);
    header.elements << text(QStringLiteral("Figures2"), figures[1], 0, 20, 9);
    header.elements << text(QStringLiteral("Note"), UnreadableNote(result.unreadable), 0, 25, 8);

    // Rows of one or two charts.
    const QVector<NamedChart> charts = Charts(result);
    const auto chart = [&](int index, double x, double w, double h) {
        Element element;
        element.kind = ElementKind::Chart;
        element.name = charts[index].name;
        element.box = QRectF(x, 2.0, w, h - 4.0);
        element.chart = charts[index].chart;
        return element;
    };
    const double half = (width - 6.0) / 2;
    const struct
    {
        int left, right;
        double height;
    } rows[] = {{0, -1, 70}, {1, 2, 46}, {3, -1, 58}, {4, -1, 70}, {6, -1, 64}, {5, 7, 62}, {8, -1, 58}};
    for (const auto& row : rows) {
        Band& band = page.AddBand(BandKind::Detail, row.height);
        if (row.right < 0) {
            band.elements << chart(row.left, 0, width, row.height);
        } else {
            band.elements << chart(row.left, 0, half, row.height);
            band.elements << chart(row.right, half + 6.0, half, row.height);
        }
    }
    return Report::Prepare(page);
}

bool ExportWorkbook(const Result& result, const QString& fileName, QString* error)
{
    XlsxWorkbook book;
    XlsxSheet& summary = book.Sheet(0);
    summary.SetName(QStringLiteral("概要"));
    const QVector<std::pair<QString, QVariant>> figures = {
        {QStringLiteral("统计期间"), PeriodText(result)},
        {QStringLiteral("本期销售（台）"), result.salesTotal},
        {QStringLiteral("本期维修（次）"), result.visitsTotal},
        {QStringLiteral("在修"), result.inRepair},
        {QStringLiteral("待取机"), result.waiting},
        {QStringLiteral("超期"), result.overdue},
        {QStringLiteral("本期收入（元）"), double(result.revenue) / 100.0},
        {QStringLiteral("30 天内保修到期"), result.expiring30},
        {QStringLiteral("60 天内保修到期"), result.expiring60},
        {QStringLiteral("90 天内保修到期"), result.expiring90},
        {QStringLiteral("接收到待取机（次）"), result.readyCount},
        {QStringLiteral("接收到待取机平均天数"), result.readyAverage},
        {QStringLiteral("接收到待取机 90% 天数"), result.readyP90},
        {QStringLiteral("日期无法识别的记录"), qMax<qint64>(0, result.unreadable)},
    };
    int row = 1;
    for (const auto& [caption, value] : figures) {
        summary.SetCell(row, 1, caption);
        summary.SetCell(row, 2, value);
        ++row;
    }
    summary.SetColumnWidth(1, 24);
    summary.SetColumnWidth(2, 30);
    for (const NamedChart& named : Charts(result)) {
        XlsxSheet& sheet = book.AddSheet(named.sheet);
        const bool overTime = named.name == QLatin1String("sales") || named.name == QLatin1String("visits") ||
                              named.name == QLatin1String("revenue");
        sheet.SetCell(1, 1, named.chart.title);
        sheet.SetCell(2, 1, overTime ? QStringLiteral("从") : QStringLiteral("项目"));
        int column = overTime ? 3 : 2;
        if (overTime)
            sheet.SetCell(2, 2, QStringLiteral("到"));
        for (const Report::ChartSeries& series : named.chart.series)
            sheet.SetCell(2, column++, series.name);
        for (int c = 0; c < named.chart.categories.size(); ++c) {
            int col = 1;
            if (overTime) {
                sheet.SetCell(3 + c, col++, result.buckets[c].from);
                sheet.SetCell(3 + c, col++, result.buckets[c].to);
            } else {
                sheet.SetCell(3 + c, col++, named.chart.categories[c]);
            }
            for (const Report::ChartSeries& series : named.chart.series)
                sheet.SetCell(3 + c, col++, series.values.value(c));
        }
        // The year before's own days beside the sales.
        if (named.name == QLatin1String("sales")) {
            sheet.SetCell(2, column, QStringLiteral("去年同期从"));
            sheet.SetCell(2, column + 1, QStringLiteral("去年同期到"));
            for (int c = 0; c < result.yearBefore.size(); ++c) {
                if (!result.yearBefore[c].from.isValid())
                    continue;
                sheet.SetCell(3 + c, column, result.yearBefore[c].from);
                sheet.SetCell(3 + c, column + 1, result.yearBefore[c].to);
            }
        }
        for (int c = 1; c <= sheet.ColumnCount(); ++c)
            sheet.SetColumnWidth(c, c <= 2 ? 14 : 12);
    }
    return book.Save(fileName, error);
}

} // namespace StatsReport
