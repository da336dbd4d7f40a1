#include "StatsPageView.h"

#include "ReportRenderer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

namespace {

constexpr double kGap = 12.0; // pixels around and between pages

// Whether a page point (mm) lies in a slice.
bool InSector(const Report::Primitive& p, const QPointF& at)
{
    const QPointF centre = p.rect.center();
    const double rx = p.rect.width() / 2, ry = p.rect.height() / 2;
    if (rx <= 0 || ry <= 0)
        return false;
    const double dx = (at.x() - centre.x()) / rx, dy = (centre.y() - at.y()) / ry;
    if (dx * dx + dy * dy > 1.0)
        return false;
    // Angles counter-clockwise from three o'clock, as the slice is stored.
    double angle = qRadiansToDegrees(std::atan2(dy, dx));
    const double start = qMin(p.startAngle, p.startAngle + p.spanAngle);
    const double end = qMax(p.startAngle, p.startAngle + p.spanAngle);
    for (int turn = -2; turn <= 2; ++turn)
        if (angle + 360.0 * turn >= start && angle + 360.0 * turn <= end)
            return true;
    return false;
}

} // namespace

StatsPageView::StatsPageView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatsPageView"));
    setAccessibleName(QStringLiteral("统计图表"));
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(grey);
}

void StatsPageView::SetReport(const Report::PreparedReport& report)
{
    m_report = report;
    FitWidth(m_width);
    update();
}

double StatsPageView::Scale() const
{
    const double paper = m_report.page.PageSize().width();
    return paper > 0 ? qMax(1.0, (m_width - 2 * kGap) / paper) : 1.0;
}

double StatsPageView::PageTop(int page) const
{
    return kGap + page * (m_report.page.PageSize().height() * Scale() + kGap);
}

void StatsPageView::FitWidth(int width)
{
    m_width = qMax(200, width);
    resize(m_width, qCeil(PageTop(m_report.PageCount())));
    update();
}

void StatsPageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const double scale = Scale();
    const QSizeF paper = m_report.page.PageSize() * scale;
    for (int i = 0; i < m_report.PageCount(); ++i) {
        const QRectF sheet(kGap, PageTop(i), paper.width(), paper.height());
        if (!sheet.intersects(event->rect()))
            continue;
        painter.fillRect(sheet, Qt::white);
        painter.save();
        painter.translate(sheet.topLeft());
        painter.setClipRect(
            QRectF(QPointF(0, 0), paper).intersected(event->rect().translated(-sheet.topLeft().toPoint())));
        Report::RenderPage(painter, m_report.pages[i], scale);
        painter.restore();
    }
}

QString StatsPageView::PartAt(const QPointF& point) const
{
    const double scale = Scale();
    for (int i = 0; i < m_report.PageCount(); ++i) {
        const QPointF mm = (point - QPointF(kGap, PageTop(i))) / scale;
        if (mm.y() < 0 || mm.y() > m_report.page.PageSize().height())
            continue;
        const auto& primitives = m_report.pages[i].primitives;
        for (auto it = primitives.crbegin(); it != primitives.crend(); ++it) {
            if (it->name.isEmpty())
                continue;
            if (it->kind == Report::PrimitiveKind::Area && it->rect.contains(mm))
                return it->name;
            if (it->kind == Report::PrimitiveKind::Sector && InSector(*it, mm))
                return it->name;
        }
    }
    return {};
}

QRectF StatsPageView::PartRect(const QString& name) const
{
    const double scale = Scale();
    for (int i = 0; i < m_report.PageCount(); ++i)
        for (const Report::Primitive& p : m_report.pages[i].primitives)
            if (p.name == name && p.kind == Report::PrimitiveKind::Area)
                return QRectF(p.rect.topLeft() * scale, p.rect.size() * scale).translated(kGap, PageTop(i));
    return {};
}

void StatsPageView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QString part = PartAt(event->position());
        if (!part.isEmpty()) {
            emit PartClicked(part);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void StatsPageView::mouseMoveEvent(QMouseEvent* event)
{
    setCursor(PartAt(event->position()).isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    QWidget::mouseMoveEvent(event);
}
