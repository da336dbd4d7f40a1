#pragma once

#include <QLabel>

// A field of plain text in a status bar.  It asks for its preferred width
// (or its text's, when longer) but yields room down to a few characters when
// the window is narrow: the text is then cut with "…" and shown whole in the
// tool tip, so neighbouring fields never draw over each other.
class StatusField : public QLabel
{
    Q_OBJECT
public:
    explicit StatusField(QWidget* parent = nullptr, int preferredWidth = 0);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Whether the text is cut at the field's present width.
    bool IsElided() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int m_preferredWidth;
};
