#include "SizePanel.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

// The size bar on the panel's right edge, with the collapse hot spot.
class SizeBar : public QWidget
{
public:
    explicit SizeBar(SizePanel* panel) : QWidget(panel), m_panel(panel)
    {
        setFixedWidth(7);
        setMouseTracking(true);
        setCursor(Qt::SplitHCursor);
        setToolTip(QStringLiteral("拖动改变宽度，单击中间按钮收起或展开"));
    }

    QRect HotSpot() const
    {
        const int h = qMin(60, height() / 3);
        return QRect(0, (height() - h) / 2, width(), h);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor bar = m_panel->BarColor();
        painter.fillRect(rect(), bar);
        painter.setPen(bar.lighter(125));
        painter.drawLine(0, 0, 0, height());
        painter.setPen(bar.darker(130));
        painter.drawLine(width() - 1, 0, width() - 1, height());

        painter.setRenderHint(QPainter::Antialiasing);
        const QRect spot = HotSpot();
        QColor spotColor = m_panel->HotSpotColor();
        if (m_hotHovered)
            spotColor = spotColor.lighter(120);
        painter.setPen(Qt::NoPen);
        painter.setBrush(spotColor);
        painter.drawRoundedRect(QRectF(spot).adjusted(1, 0, -1, 0), 2, 2);

        // A small triangle pointing where the panel will go.
        const QPointF c = QRectF(spot).center();
        QPainterPath arrow;
        if (m_panel->IsCollapsed()) {
            arrow.moveTo(c + QPointF(-1.5, -3));
            arrow.lineTo(c + QPointF(1.5, 0));
            arrow.lineTo(c + QPointF(-1.5, 3));
        } else {
            arrow.moveTo(c + QPointF(1.5, -3));
            arrow.lineTo(c + QPointF(-1.5, 0));
            arrow.lineTo(c + QPointF(1.5, 3));
        }
        arrow.closeSubpath();
        painter.setBrush(spotColor.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white));
        painter.drawPath(arrow);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_pressOnHotSpot = HotSpot().contains(event->position().toPoint()) || m_panel->IsCollapsed();
        m_dragging = !m_pressOnHotSpot;
        m_dragStartX = event->globalPosition().x();
        m_dragStartWidth = m_panel->PanelWidth();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (m_dragging) {
            int width = m_dragStartWidth + qRound(event->globalPosition().x() - m_dragStartX);
            // Leave the main window some room beside the panel.
            if (m_panel->parentWidget())
                width = qMin(width, m_panel->parentWidget()->width() - 100);
            m_panel->SetPanelWidth(qMax(width, m_panel->MinimumPanelWidth()));
            return;
        }
        const bool hot = HotSpot().contains(event->position().toPoint());
        if (hot != m_hotHovered) {
            m_hotHovered = hot;
            update();
        }
        setCursor(hot || m_panel->IsCollapsed() ? Qt::PointingHandCursor : Qt::SplitHCursor);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        if (m_pressOnHotSpot && rect().contains(event->position().toPoint()))
            m_panel->ToggleCollapsed();
        m_pressOnHotSpot = false;
        m_dragging = false;
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && !HotSpot().contains(event->position().toPoint()))
            m_panel->ToggleCollapsed();
    }

    void leaveEvent(QEvent*) override
    {
        m_hotHovered = false;
        update();
    }

private:
    SizePanel* m_panel;
    bool m_hotHovered = false;
    bool m_pressOnHotSpot = false;
    bool m_dragging = false;
    qreal m_dragStartX = 0;
    int m_dragStartWidth = 0;
};

SizePanel::SizePanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_bar = new SizeBar(this);
    layout->addWidget(m_bar);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    ApplyWidth();
}

void SizePanel::SetWidget(QWidget* widget)
{
    if (widget == m_widget)
        return;
    delete m_widget;
    m_widget = widget;
    if (m_widget) {
        static_cast<QHBoxLayout*>(layout())->insertWidget(0, m_widget, 1);
        m_widget->setVisible(!m_collapsed);
    }
}

void SizePanel::SetPanelWidth(int width)
{
    width = qMax(width, qMax(m_minimumWidth, SizeBarWidth()));
    if (width == m_panelWidth)
        return;
    m_panelWidth = width;
    ApplyWidth();
    emit panelWidthChanged(m_panelWidth);
}

void SizePanel::SetMinimumPanelWidth(int width)
{
    m_minimumWidth = qMax(width, SizeBarWidth());
    if (m_panelWidth < m_minimumWidth)
        SetPanelWidth(m_minimumWidth);
}

int SizePanel::SizeBarWidth() const
{
    return m_bar->maximumWidth();
}

void SizePanel::SetSizeBarWidth(int width)
{
    m_bar->setFixedWidth(qMax(3, width));
    ApplyWidth();
}

void SizePanel::SetCollapsed(bool collapsed)
{
    if (collapsed == m_collapsed)
        return;
    m_collapsed = collapsed;
    ApplyWidth();
    m_bar->update();
    emit collapsedChanged(m_collapsed);
}

void SizePanel::ApplyWidth()
{
    if (m_widget)
        m_widget->setVisible(!m_collapsed);
    setFixedWidth(m_collapsed ? SizeBarWidth() : m_panelWidth);
}

QColor SizePanel::BarColor() const
{
    return m_barColor.isValid() ? m_barColor : palette().color(QPalette::Button);
}

void SizePanel::SetBarColor(const QColor& color)
{
    m_barColor = color;
    m_bar->update();
}

QColor SizePanel::HotSpotColor() const
{
    return m_hotSpotColor.isValid() ? m_hotSpotColor : palette().color(QPalette::Mid);
}

void SizePanel::SetHotSpotColor(const QColor& color)
{
    m_hotSpotColor = color;
    m_bar->update();
}

void SizePanel::ResetSkinColors()
{
    m_barColor = QColor();
    m_hotSpotColor = QColor();
    m_bar->update();
}
