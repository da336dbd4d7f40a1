#pragma once

#include <QColor>
#include <QWidget>

class SizeBar;

// A side panel docked at the left of the main window: its content (the group
// bar) beside a size bar on the right edge.  Dragging the size bar changes the
// width; the hot spot in its middle (or a double click) collapses the panel to
// the bare size bar and opens it again.
class SizePanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor barColor READ BarColor WRITE SetBarColor)
    Q_PROPERTY(QColor hotSpotColor READ HotSpotColor WRITE SetHotSpotColor)
public:
    explicit SizePanel(QWidget* parent = nullptr);

    // The panel takes ownership of the content widget.
    void SetWidget(QWidget* widget);
    QWidget* Widget() const { return m_widget; }

    // Width of the opened panel, size bar included.
    int PanelWidth() const { return m_panelWidth; }
    void SetPanelWidth(int width);
    int MinimumPanelWidth() const { return m_minimumWidth; }
    void SetMinimumPanelWidth(int width);
    int SizeBarWidth() const;
    void SetSizeBarWidth(int width);

    bool IsCollapsed() const { return m_collapsed; }
    void SetCollapsed(bool collapsed);
    void ToggleCollapsed() { SetCollapsed(!m_collapsed); }

    QColor BarColor() const;
    void SetBarColor(const QColor& color);
    QColor HotSpotColor() const;
    void SetHotSpotColor(const QColor& color);

public slots:
    // Back to the palette-derived colours (see GroupBar::ResetSkinColors).
    void ResetSkinColors();

signals:
    void collapsedChanged(bool collapsed);
    void panelWidthChanged(int width);

private:
    friend class SizeBar;
    void ApplyWidth();

    QWidget* m_widget = nullptr;
    SizeBar* m_bar;
    int m_panelWidth = 175;
    int m_minimumWidth = 60;
    bool m_collapsed = false;
    QColor m_barColor;
    QColor m_hotSpotColor;
};
