#include "ReportViewer.h"

#include "ReportRenderer.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QtMath>

namespace {
// Grey space around and between pages, in pixels.
constexpr int kGap = 10;
// A4 portrait when there is nothing to show, so the fitting modes still have a scale.
const Report::PageSetup kEmptyPage;
} // namespace

ReportViewer::ReportViewer(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void ReportViewer::SetReport(const Report::PreparedReport* report)
{
    m_report = report;
    m_page = 0;
    m_highlightPage = -1;
    UpdateScrollBars();
    viewport()->update();
}

void ReportViewer::SetPageIndex(int index)
{
    const int count = m_report ? m_report->PageCount() : 0;
    m_page = qBound(0, index, qMax(0, count - 1));
    UpdateScrollBars();
    viewport()->update();
}

void ReportViewer::SetZoomMode(ZoomMode mode)
{
    m_mode = mode;
    UpdateScrollBars();
    viewport()->update();
    emit ZoomChanged();
}

void ReportViewer::SetZoomPercent(double percent)
{
    m_mode = ZoomMode::Percent;
    m_percent = qBound(kMinZoom, percent, kMaxZoom);
    UpdateScrollBars();
    viewport()->update();
    emit ZoomChanged();
}

double ReportViewer::ZoomPercent() const
{
    if (m_mode == ZoomMode::Percent)
        return m_percent;
    const Report::PageSetup& setup = m_report ? m_report->page : kEmptyPage;
    const QSizeF page = setup.PageSize() * (logicalDpiX() / 25.4);
    const QSize view = viewport()->size();
    const double byWidth = (view.width() - 2.0 * kGap) / page.width();
    const double byHeight = (view.height() - 2.0 * kGap) / page.height();
    double scale = byWidth;
    if (m_mode == ZoomMode::WholePage)
        scale = qMin(byWidth, byHeight);
    else if (m_mode == ZoomMode::TwoPages)
        scale = qMin((view.width() - 3.0 * kGap) / (2 * page.width()), byHeight);
    return qBound(1.0, scale * 100.0, kMaxZoom);
}

double ReportViewer::PixelsPerMm() const
{
    return logicalDpiX() / 25.4 * ZoomPercent() / 100.0;
}

QSizeF ReportViewer::PageSizePx() const
{
    const Report::PageSetup& setup = m_report ? m_report->page : kEmptyPage;
    return setup.PageSize() * PixelsPerMm();
}

int ReportViewer::VisiblePages() const
{
    if (!m_report || m_report->IsEmpty())
        return 0;
    return m_mode == ZoomMode::TwoPages && m_page + 1 < m_report->PageCount() ? 2 : 1;
}

QSize ReportViewer::CanvasSize() const
{
    const QSizeF page = PageSizePx();
    const int pageSlots = m_mode == ZoomMode::TwoPages ? 2 : 1;
    return QSize(qCeil(pageSlots * page.width() + (pageSlots + 1) * kGap), qCeil(page.height() + 2 * kGap));
}

QPointF ReportViewer::PageOrigin(int slot) const
{
    const QSize canvas = CanvasSize();
    const QSize view = viewport()->size();
    // Centred while the view is larger than the canvas, scrolled otherwise.
    const double left = canvas.width() < view.width() ? (view.width() - canvas.width()) / 2.0
                                                      : -horizontalScrollBar()->value();
    const double top = canvas.height() < view.height() ? (view.height() - canvas.height()) / 2.0
                                                       : -verticalScrollBar()->value();
    return QPointF(left + kGap + slot * (PageSizePx().width() + kGap), top + kGap);
}

void ReportViewer::UpdateScrollBars()
{
    const QSize canvas = CanvasSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, qMax(0, canvas.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, qMax(0, canvas.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(20);
    // The fitting modes change the scale with the view; tell the toolbar.
    const double effective = ZoomPercent();
    if (qAbs(effective - m_lastEffective) > 1e-6) {
        m_lastEffective = effective;
        if (m_mode != ZoomMode::Percent)
            emit ZoomChanged();
    }
}

void ReportViewer::SetHighlight(int pageIndex, int primitiveIndex)
{
    m_highlightPage = pageIndex;
    m_highlightPrimitive = primitiveIndex;
    if (m_report && pageIndex >= 0 && pageIndex < m_report->PageCount() && primitiveIndex >= 0 &&
        primitiveIndex < m_report->pages[pageIndex].primitives.size()) {
        const int slot = pageIndex - m_page;
        if (slot < 0 || slot >= VisiblePages())
            SetPageIndex(pageIndex);
        const QRectF mm = m_report->pages[pageIndex].primitives[primitiveIndex].rect;
        const double scale = PixelsPerMm();
        // In canvas coordinates: page origin without the scroll offset.
        const QPointF origin = PageOrigin(pageIndex - m_page) +
                               QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
        EnsureVisible(QRectF(origin + mm.topLeft() * scale, mm.size() * scale));
    }
    viewport()->update();
}

void ReportViewer::EnsureVisible(const QRectF& rect)
{
    const QSize view = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const int margin = 20;
    if (rect.left() < h->value() + margin || rect.right() > h->value() + view.width() - margin)
        h->setValue(int(rect.left()) - margin);
    if (rect.top() < v->value() + margin || rect.bottom() > v->value() + view.height() - margin)
        v->setValue(int(rect.center().y() - view.height() / 2.0));
}

void ReportViewer::ScrollToTop()
{
    verticalScrollBar()->setValue(0);
}

void ReportViewer::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (!m_report)
        return;
    const QSizeF size = PageSizePx();
    const double scale = PixelsPerMm();
    for (int slot = 0; slot < VisiblePages(); ++slot) {
        const int index = m_page + slot;
        const QPointF origin = PageOrigin(slot);
        const QRectF paper(origin, size);
        painter.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 90));
        painter.fillRect(paper, Qt::white);
        painter.save();
        // Only the exposed part is drawn (see RenderPage).
        painter.setClipRect(paper.intersected(QRectF(event->rect())));
        painter.translate(origin);
        Report::RenderPage(painter, m_report->pages[index], scale,
                           index == m_highlightPage ? m_highlightPrimitive : -1);
        painter.restore();
    }
}

void ReportViewer::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void ReportViewer::scrollContentsBy(int, int)
{
    viewport()->update();
}
