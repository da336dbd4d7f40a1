#include "ReportRenderer.h"

#include "QrCode.h"
#include "ReportFonts.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace Report {

double PenWidthMm(int penWidth)
{
    return penWidth >= 2 ? 0.5 : 0.25;
}

double DevicePixelsPerMm(const QPainter& painter)
{
    return painter.device()->logicalDpiX() / 25.4;
}

namespace {

QPen MakePen(const Primitive& primitive, double pixelsPerMm)
{
    const double widthMm = PenWidthMm(primitive.penWidth);
    QPen pen(primitive.kind == PrimitiveKind::Line || primitive.kind == PrimitiveKind::Polyline
                 ? QColor::fromRgba(primitive.color)
                 : QColor(Qt::black));
    // Below one device pixel a hairline is drawn, so thin rules stay visible at small zooms.
    pen.setWidthF(widthMm * pixelsPerMm < 1.0 ? 0.0 : widthMm * kUnitsPerMm);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (primitive.penStyle == PenStyle::DashDotDot) {
        // Dash 10, dot 2, dot 2 pen widths with gaps of 4: about 2.5 mm dashes with a thin pen.
        pen.setDashPattern({10, 4, 2, 4, 2, 4});
    }
    return pen;
}

QRectF Units(const QRectF& mm)
{
    return QRectF(mm.x() * kUnitsPerMm, mm.y() * kUnitsPerMm, mm.width() * kUnitsPerMm,
                  mm.height() * kUnitsPerMm);
}

// Room around a primitive's box for pens, glyph overhangs and the find
// marker, in design units.
constexpr double kInkMargin = 3.0 * kUnitsPerMm;
// Characters drawn at a time from a long run on the screen.
constexpr qsizetype kScreenPiece = 64;

// The area of the page a primitive may put ink on, in design units.
QRectF InkBounds(const Primitive& primitive)
{
    const QRectF box = primitive.kind == PrimitiveKind::Line
                           ? QRectF(primitive.line.p1(), primitive.line.p2()).normalized()
                           : primitive.rect;
    return Units(box).adjusted(-kInkMargin, -kInkMargin, kInkMargin, kInkMargin);
}

// Hatch lines 1.6 mm apart, 0.18 mm wide, over the colour of an area or a
// slice, clipped to its shape: drawn in page units, so a print and a PDF
// show the same pattern as the screen (Qt's brush patterns are in device
// pixels and vanish at printer resolutions).
void DrawHatch(QPainter& painter, const QPainterPath& shape, FillPattern pattern)
{
    if (pattern == FillPattern::Solid)
        return;
    const double gap = 1.6 * kUnitsPerMm;
    const QRectF bounds = shape.boundingRect();
    painter.save();
    painter.setClipPath(shape, Qt::IntersectClip);
    QPen pen(QColor(0, 0, 0, 200));
    pen.setWidthF(0.18 * kUnitsPerMm);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double x0 = std::floor(bounds.left() / gap) * gap, y0 = std::floor(bounds.top() / gap) * gap;
    const double size = bounds.width() + bounds.height();
    const auto diagonals = [&](bool forward) {
        for (double d = -size; d <= size + gap; d += gap) {
            const double x = x0 + d;
            if (forward)
                painter.drawLine(QLineF(x, bounds.bottom() + gap, x + size + gap, bounds.bottom() - size));
            else
                painter.drawLine(QLineF(x, bounds.top() - gap, x + size + gap, bounds.top() + size));
        }
    };
    const auto horizontals = [&] {
        for (double y = y0; y <= bounds.bottom(); y += gap)
            painter.drawLine(QLineF(bounds.left(), y, bounds.right(), y));
    };
    const auto verticals = [&] {
        for (double x = x0; x <= bounds.right(); x += gap)
            painter.drawLine(QLineF(x, bounds.top(), x, bounds.bottom()));
    };
    switch (pattern) {
    case FillPattern::Diagonal:
        diagonals(true);
        break;
    case FillPattern::BackDiagonal:
        diagonals(false);
        break;
    case FillPattern::CrossDiagonal:
        diagonals(true);
        diagonals(false);
        break;
    case FillPattern::Horizontal:
        horizontals();
        break;
    case FillPattern::Vertical:
        verticals();
        break;
    case FillPattern::Cross:
        horizontals();
        verticals();
        break;
    case FillPattern::Dots:
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 200));
        for (double y = y0; y <= bounds.bottom(); y += gap)
            for (double x = x0 + (int(std::round(y / gap)) % 2 ? gap / 2 : 0); x <= bounds.right(); x += gap)
                painter.drawEllipse(QPointF(x, y), 0.25 * kUnitsPerMm, 0.25 * kUnitsPerMm);
        break;
    case FillPattern::Solid:
        break;
    }
    painter.restore();
}

// A filled shape: colour, hatch and a thin dark outline.
void DrawFilled(QPainter& painter, const QPainterPath& shape, const Primitive& primitive)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(primitive.color));
    painter.drawPath(shape);
    DrawHatch(painter, shape, primitive.pattern);
    QPen outline(QColor(40, 40, 40));
    outline.setWidthF(0.15 * kUnitsPerMm);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

void DrawMarker(QPainter& painter, const QPointF& at, Marker marker, const QColor& color)
{
    const double r = 0.9 * kUnitsPerMm;
    QPen outline(Qt::black);
    outline.setWidthF(0.15 * kUnitsPerMm);
    painter.setPen(outline);
    painter.setBrush(color);
    switch (marker) {
    case Marker::Circle:
        painter.drawEllipse(at, r, r);
        break;
    case Marker::Square:
        painter.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r));
        break;
    case Marker::Triangle:
        painter.drawPolygon(
            QPolygonF({QPointF(at.x(), at.y() - r * 1.2), QPointF(at.x() + r, at.y() + r * 0.8),
                       QPointF(at.x() - r, at.y() + r * 0.8)}));
        break;
    case Marker::Diamond:
        painter.drawPolygon(
            QPolygonF({QPointF(at.x(), at.y() - r * 1.2), QPointF(at.x() + r * 1.2, at.y()),
                       QPointF(at.x(), at.y() + r * 1.2), QPointF(at.x() - r * 1.2, at.y())}));
        break;
    case Marker::None:
        break;
    }
}

} // namespace

void RenderPage(QPainter& painter, const PreparedPage& page, double pixelsPerMm, int highlight)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.scale(pixelsPerMm / kUnitsPerMm, pixelsPerMm / kUnitsPerMm);
    // On the screen only the exposed part of the page is drawn: a page with
    // thousands of texts, or a very long one, must not hold up scrolling.
    const bool clipped = painter.hasClipping();
    const QRectF visible = clipped ? painter.clipBoundingRect() : QRectF();
    for (int i = 0; i < page.primitives.size(); ++i) {
        const Primitive& primitive = page.primitives[i];
        if (clipped && !visible.intersects(InkBounds(primitive)))
            continue;
        switch (primitive.kind) {
        case PrimitiveKind::Line:
            painter.setPen(MakePen(primitive, pixelsPerMm));
            painter.drawLine(QLineF(primitive.line.p1() * kUnitsPerMm, primitive.line.p2() * kUnitsPerMm));
            break;
        case PrimitiveKind::Rect:
            painter.setPen(MakePen(primitive, pixelsPerMm));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(Units(primitive.rect));
            break;
        case PrimitiveKind::QrCode:
            QrCode::Encode(primitive.text).Paint(painter, Units(primitive.rect));
            break;
        case PrimitiveKind::Area: {
            QPainterPath shape;
            shape.addRect(Units(primitive.rect));
            DrawFilled(painter, shape, primitive);
            break;
        }
        case PrimitiveKind::Sector: {
            const QRectF box = Units(primitive.rect);
            QPainterPath shape(box.center());
            shape.arcTo(box, primitive.startAngle, primitive.spanAngle);
            shape.closeSubpath();
            DrawFilled(painter, shape, primitive);
            break;
        }
        case PrimitiveKind::Polyline: {
            QPolygonF points;
            for (const QPointF& point : primitive.points)
                points << point * kUnitsPerMm;
            painter.setPen(MakePen(primitive, pixelsPerMm));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(points);
            for (const QPointF& point : points)
                DrawMarker(painter, point, primitive.marker, QColor::fromRgba(primitive.color));
            break;
        }
        case PrimitiveKind::Text: {
            if (primitive.text.isEmpty() && i != highlight)
                break;
            const QRectF box = Units(primitive.rect);
            if (i == highlight)
                painter.fillRect(box.adjusted(-50, 0, 50, 0), QColor(255, 215, 0));
            else if (primitive.opaque)
                painter.fillRect(box, Qt::white);
            painter.setPen(Qt::black);
            painter.setFont(MakeFont(primitive.font));
            const double baseline = EmSize(primitive.font) * kBaselineEm * kUnitsPerMm;
            painter.save();
            painter.translate(box.left(), box.top() + baseline);
            painter.scale(primitive.stretch, 1.0);
            const QFont font = painter.font();
            double x = 0.0;
            for (const QString& run : ShapingRuns(primitive.text)) {
                // On the screen a long run goes in pieces, so that only the
                // visible ones are shaped and drawn.
                const qsizetype piece = clipped ? kScreenPiece : run.size();
                qsizetype from = 0;
                while (from < run.size()) {
                    qsizetype count = qMin(piece, run.size() - from);
                    if (from + count < run.size() && run[from + count - 1].isHighSurrogate())
                        ++count; // never split a surrogate pair
                    const QString part = run.mid(from, count);
                    from += count;
                    const double left = box.left() + x * primitive.stretch;
                    if (clipped && left > visible.right() + kInkMargin)
                        break;
                    const double width = TextWidth(part, font) * kUnitsPerMm;
                    if (!clipped || left + width * primitive.stretch >= visible.left() - kInkMargin)
                        painter.drawText(QPointF(x, 0), part);
                    x += width;
                }
            }
            painter.restore();
            break;
        }
        }
    }
    painter.restore();
}

} // namespace Report
