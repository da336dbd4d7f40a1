#pragma once

#include "ReportModel.h"

#include <QAbstractScrollArea>

// The page view of the preview pane: draws the current page (two pages side
// by side in the two-page mode) of a prepared report on grey, at a zoom.
class ReportViewer : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class ZoomMode { Percent, PageWidth, WholePage, TwoPages };

    explicit ReportViewer(QWidget* parent = nullptr);

    // The report is owned by the caller and must outlive its use here.
    void SetReport(const Report::PreparedReport* report);
    // 0-based; clamped to the report's pages.
    void SetPageIndex(int index);
    int PageIndex() const { return m_page; }

    void SetZoomMode(ZoomMode mode);
    void SetZoomPercent(double percent);
    ZoomMode Mode() const { return m_mode; }
    // The scale in force, also for the fitting modes.
    double ZoomPercent() const;

    // Marks a primitive (a find hit) and scrolls it into view; page -1 clears.
    void SetHighlight(int pageIndex, int primitiveIndex);
    void ScrollToTop();
    // Device pixels per millimetre at the current zoom.
    double PixelsPerMm() const;

    // Smallest and largest percent a typed zoom may set.
    static constexpr double kMinZoom = 10.0;
    static constexpr double kMaxZoom = 500.0;

signals:
    // The scale changed (mode, percent or, in a fitting mode, the view size).
    void ZoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSizeF PageSizePx() const;
    int VisiblePages() const;
    QSize CanvasSize() const;
    QPointF PageOrigin(int slot) const;
    void UpdateScrollBars();
    void EnsureVisible(const QRectF& rectPx);

    const Report::PreparedReport* m_report = nullptr;
    int m_page = 0;
    ZoomMode m_mode = ZoomMode::Percent;
    double m_percent = 100.0;
    double m_lastEffective = 100.0;
    int m_highlightPage = -1;
    int m_highlightPrimitive = -1;
};
