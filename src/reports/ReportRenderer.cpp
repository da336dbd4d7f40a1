#include "ReportRenderer.h"

#include "QrCode.h"
#include "ReportFonts.h"

#include <QPaintDevice>
#include <QPainter>

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
    QPen pen(Qt::black);
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
