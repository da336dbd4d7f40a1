#include "ReportFonts.h"
#include "ReportModel.h"

#include <QLocale>
#include <cmath>

// Charts as primitives of a prepared page: axes, grid and labels are lines
// and texts, bars are areas, slices are sectors and a line series is a
// polyline, so a chart previews, prints, exports and is stored in a report
// file like any other part of a page.
namespace Report {

namespace {

// A palette that stays apart for people who do not tell red from green
// (blue, orange, bluish green, vermilion, sky blue, purple, yellow, grey),
// each with a hatch pattern of its own for greyscale print.
constexpr quint32 kPalette[] = {0xff0072b2, 0xffe69f00, 0xff009e73, 0xffd55e00,
                                0xff56b4e9, 0xffcc79a7, 0xfff0e442, 0xff999999};
constexpr quint32 kGrid = 0xffc8c8c8;
constexpr double kTitlePoints = 10.0;
constexpr double kLabelPoints = 7.0;
constexpr double kValuePoints = 6.0;

FontSpec Font(double points, bool bold = false)
{
    FontSpec font;
    font.pointSize = points;
    font.bold = bold;
    return font;
}

void AddText(PreparedPage& page, const QString& text, double x, double y, const FontSpec& font,
             bool opaque = false)
{
    Primitive p;
    p.kind = PrimitiveKind::Text;
    p.opaque = opaque;
    p.text = text;
    p.font = font;
    p.rect = QRectF(x, y, TextWidth(text, font), EmSize(font));
    page.primitives.append(p);
}

// A text centred on x (clipped to nothing when it is empty).
void AddCentred(PreparedPage& page, const QString& text, double x, double y, const FontSpec& font)
{
    AddText(page, text, x - TextWidth(text, font) / 2, y, font);
}

void AddLine(PreparedPage& page, const QLineF& line, quint32 color = 0xff000000, int pen = 1)
{
    Primitive p;
    p.kind = PrimitiveKind::Line;
    p.line = line;
    p.rect = QRectF(line.p1(), line.p2()).normalized();
    p.color = color;
    p.penWidth = pen;
    page.primitives.append(p);
}

void AddArea(PreparedPage& page, const QRectF& rect, int index, const QString& name)
{
    Primitive p;
    p.kind = PrimitiveKind::Area;
    p.name = name;
    p.rect = rect;
    p.color = ChartColor(index);
    p.pattern = ChartPattern(index);
    page.primitives.append(p);
}

QString ValueText(double value, int decimals)
{
    return QLocale::c().toString(value, 'f', decimals);
}

// A round step for about `ticks` divisions up to `top`: 1, 2 or 5 times a
// power of ten (never below 1 for whole numbers).
double NiceStep(double top, int ticks, int decimals)
{
    const double raw = top / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double f : {1.0, 2.0, 5.0, 10.0}) {
        step = f * power;
        if (step >= raw)
            break;
    }
    return qMax(step, decimals == 0 ? 1.0 : std::pow(10.0, -decimals));
}

// The legend in one row from (x, y) to the right: swatch and name per
// entry; returns its height.
double AddLegend(PreparedPage& page, const QStringList& names, const QRectF& box, bool line)
{
    const FontSpec font = Font(kLabelPoints);
    const double em = EmSize(font);
    double x = box.left(), y = box.top();
    for (int i = 0; i < names.size(); ++i) {
        const double width = 6.0 + TextWidth(names[i], font) + 4.0;
        if (x > box.left() && x + width > box.right()) {
            x = box.left();
            y += em + 1.0;
        }
        if (line) {
            Primitive p;
            p.kind = PrimitiveKind::Polyline;
            p.points = QPolygonF({QPointF(x, y + em / 2), QPointF(x + 5, y + em / 2)});
            p.rect = p.points.boundingRect();
            p.color = ChartColor(i);
            p.penWidth = 2;
            p.penStyle = i % 2 ? PenStyle::DashDotDot : PenStyle::Solid;
            p.marker = ChartMarker(i);
            page.primitives.append(p);
        } else {
            AddArea(page, QRectF(x, y + 0.2, 5.0, em - 0.4), i, {});
        }
        AddText(page, names[i], x + 6.0, y, font);
        x += width;
    }
    return y + em - box.top();
}

QStringList SeriesNames(const ChartData& chart)
{
    QStringList names;
    for (const ChartSeries& series : chart.series)
        names << series.name;
    return names;
}

double ValueAt(const ChartSeries& series, int category)
{
    return category < series.values.size() && std::isfinite(series.values[category])
               ? qMax(0.0, series.values[category])
               : 0.0;
}

void LayoutAxes(const ChartData& chart, const QString& name, const QRectF& area, PreparedPage& page)
{
    const FontSpec label = Font(kLabelPoints), small = Font(kValuePoints);
    const double em = EmSize(label);
    QRectF plot = area;
    // Legend above the plot when there is more than one series.
    if (chart.series.size() > 1)
        plot.setTop(plot.top() + AddLegend(page, SeriesNames(chart), plot, chart.kind == ChartKind::Line) +
                    1.5);
    if (!chart.yTitle.isEmpty()) {
        AddText(page, chart.yTitle, plot.left(), plot.top(), label);
        plot.setTop(plot.top() + em + 1.0);
    }
    // Room for the value labels over the highest bar.
    plot.setTop(plot.top() + EmSize(small) + 0.5);

    const int n = chart.categories.size();
    double top = 0.0;
    for (int c = 0; c < n; ++c) {
        double sum = 0.0;
        for (const ChartSeries& series : chart.series) {
            if (chart.stacked && chart.kind == ChartKind::Bar)
                sum += ValueAt(series, c);
            else
                top = qMax(top, ValueAt(series, c));
        }
        top = qMax(top, sum);
    }
    const int ticks = 4;
    const double step = NiceStep(top > 0 ? top : 1.0, ticks, chart.decimals);
    const int steps = qMax(1, int(std::ceil((top > 0 ? top : 1.0) / step - 1e-9)));
    const double axisTop = step * steps;

    double labelWidth = 0.0;
    for (int i = 0; i <= steps; ++i)
        labelWidth = qMax(labelWidth, TextWidth(ValueText(i * step, chart.decimals), label));
    plot.setLeft(plot.left() + labelWidth + 1.5);
    plot.setBottom(plot.bottom() - em - 1.0 - (chart.xTitle.isEmpty() ? 0.0 : em + 0.5));
    if (plot.width() <= 1 || plot.height() <= 1)
        return;

    for (int i = 0; i <= steps; ++i) {
        const double y = plot.bottom() - plot.height() * i / steps;
        if (i > 0)
            AddLine(page, QLineF(plot.left(), y, plot.right(), y), kGrid);
        const QString text = ValueText(i * step, chart.decimals);
        AddText(page, text, plot.left() - 1.0 - TextWidth(text, label), y - em / 2, label);
    }
    AddLine(page, QLineF(plot.left(), plot.top(), plot.left(), plot.bottom()));
    AddLine(page, QLineF(plot.left(), plot.bottom(), plot.right(), plot.bottom()));
    if (!chart.xTitle.isEmpty())
        AddText(page, chart.xTitle, plot.right() - TextWidth(chart.xTitle, label), plot.bottom() + em + 1.5,
                label);
    if (n == 0)
        return;

    // Category labels: every k-th one when they would run into each other.
    const double slot = plot.width() / n;
    double widest = 0.0;
    for (const QString& category : chart.categories)
        widest = qMax(widest, TextWidth(category, label));
    const int every = qMax(1, int(std::ceil((widest + 1.5) / slot)));
    for (int c = 0; c < n; c += every)
        AddCentred(page, chart.categories[c], plot.left() + slot * (c + 0.5), plot.bottom() + 0.8, label);

    const auto yOf = [&](double value) { return plot.bottom() - plot.height() * value / axisTop; };
    const int count = chart.series.size();
    if (chart.kind == ChartKind::Line) {
        for (int s = 0; s < count; ++s) {
            Primitive p;
            p.kind = PrimitiveKind::Polyline;
            p.color = ChartColor(s);
            p.penWidth = 2;
            p.penStyle = s % 2 ? PenStyle::DashDotDot : PenStyle::Solid;
            p.marker = slot >= 3.0 ? ChartMarker(s) : Marker::None;
            for (int c = 0; c < n; ++c)
                p.points << QPointF(plot.left() + slot * (c + 0.5), yOf(ValueAt(chart.series[s], c)));
            p.rect = p.points.boundingRect();
            p.name = QStringLiteral("%1/%2").arg(name).arg(s);
            page.primitives.append(p);
        }
        return;
    }
    const double groupWidth = slot * 0.8;
    const double barWidth = chart.stacked ? groupWidth : groupWidth / qMax(1, count);
    for (int c = 0; c < n; ++c) {
        double base = 0.0;
        for (int s = 0; s < count; ++s) {
            const double value = ValueAt(chart.series[s], c);
            const double left = plot.left() + slot * c + slot * 0.1 + (chart.stacked ? 0.0 : barWidth * s);
            const double from = chart.stacked ? base : 0.0;
            const QRectF bar(QPointF(left, yOf(from + value)), QPointF(left + barWidth, yOf(from)));
            if (value > 0)
                AddArea(page, bar, s, QStringLiteral("%1/%2/%3").arg(name).arg(s).arg(c));
            base += value;
            if (!chart.valueLabels || value <= 0)
                continue;
            const QString text = ValueText(value, chart.decimals);
            const double width = TextWidth(text, small);
            if (chart.stacked) {
                // Inside its part when it fits there, on white over the hatching.
                if (width <= barWidth && bar.height() >= EmSize(small) + 0.4 && count > 1)
                    AddText(page, text, bar.center().x() - width / 2, bar.center().y() - EmSize(small) / 2,
                            small, true);
            } else if (width <= barWidth + slot * 0.1) {
                AddText(page, text, bar.center().x() - width / 2, bar.top() - EmSize(small) - 0.3, small);
            }
        }
        if (chart.stacked && chart.valueLabels && base > 0) {
            const QString text = ValueText(base, chart.decimals);
            const double width = TextWidth(text, small);
            if (width <= slot)
                AddText(page, text, plot.left() + slot * (c + 0.5) - width / 2,
                        yOf(base) - EmSize(small) - 0.3, small);
        }
    }
}

void LayoutPie(const ChartData& chart, const QString& name, const QRectF& area, PreparedPage& page)
{
    const FontSpec label = Font(kLabelPoints);
    const double em = EmSize(label);
    const ChartSeries series = chart.series.value(0);
    const int n = chart.categories.size();
    double total = 0.0;
    for (int c = 0; c < n; ++c)
        total += ValueAt(series, c);
    const double side = qMin(area.height(), area.width() * 0.45);
    const QRectF circle(area.left(), area.top() + (area.height() - side) / 2, side, side);
    if (total <= 0) {
        AddCentred(page, QStringLiteral("无数据"), circle.center().x(), circle.center().y() - em / 2, label);
        return;
    }
    double angle = 90.0;
    for (int c = 0; c < n; ++c) {
        const double value = ValueAt(series, c);
        if (value <= 0)
            continue;
        Primitive p;
        p.kind = PrimitiveKind::Sector;
        p.name = QStringLiteral("%1/0/%2").arg(name).arg(c);
        p.rect = circle;
        p.color = ChartColor(c);
        p.pattern = ChartPattern(c);
        p.startAngle = angle;
        // Clockwise from twelve o'clock.
        p.spanAngle = -360.0 * value / total;
        angle += p.spanAngle;
        page.primitives.append(p);
    }
    // The legend beside the pie, with the value and the share of each slice.
    double y = area.top() + qMax(0.0, (area.height() - n * (em + 1.2)) / 2);
    const double x = circle.right() + 4.0;
    for (int c = 0; c < n; ++c) {
        const double value = ValueAt(series, c);
        AddArea(page, QRectF(x, y + 0.2, 5.0, em - 0.4), c,
                value > 0 ? QStringLiteral("%1/0/%2").arg(name).arg(c) : QString());
        const QString text = QStringLiteral("%1  %2（%3%）")
                                 .arg(chart.categories[c], ValueText(value, chart.decimals),
                                      QLocale::c().toString(100.0 * value / total, 'f', 1));
        AddText(page, text, x + 6.5, y, label);
        y += em + 1.2;
    }
}

} // namespace

quint32 ChartColor(int index)
{
    return kPalette[qAbs(index) % int(std::size(kPalette))];
}

FillPattern ChartPattern(int index)
{
    return FillPattern(qAbs(index) % kFillPatternCount);
}

Marker ChartMarker(int index)
{
    return Marker(1 + qAbs(index) % (kMarkerCount - 1));
}

void LayoutChart(const ChartData& chart, const QString& name, const QRectF& box, PreparedPage& page)
{
    QRectF area = box;
    if (!chart.title.isEmpty()) {
        const FontSpec title = Font(kTitlePoints, true);
        AddText(page, chart.title, box.left(), box.top(), title);
        area.setTop(area.top() + EmSize(title) + 2.0);
    }
    if (chart.kind == ChartKind::Pie)
        LayoutPie(chart, name, area, page);
    else
        LayoutAxes(chart, name, area, page);
}

} // namespace Report
