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

} // namespace

void RenderPage(QPainter& painter, const PreparedPage& page, double pixelsPerMm, int highlight)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.scale(pixelsPerMm / kUnitsPerMm, pixelsPerMm / kUnitsPerMm);
    for (int i = 0; i < page.primitives.size(); ++i) {
        const Primitive& primitive = page.primitives[i];
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
                painter.drawText(QPointF(x, 0), run);
                x += TextWidth(run, font) * kUnitsPerMm;
            }
            painter.restore();
            break;
        }
        }
    }
    painter.restore();
}

} // namespace Report
