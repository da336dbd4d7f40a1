#pragma once

#include <QWidget>

class QHBoxLayout;

// The strip below the main window's work area that holds the notices of the
// workspace (warranties about to end and the like).  It takes room of its
// own, so a notice never covers a form's controls, and its notices are
// ordinary children of the window: a screen reader reaches their text and
// buttons.  It shows only while it holds a visible notice.
class NoticeStrip : public QWidget
{
    Q_OBJECT
public:
    explicit NoticeStrip(QWidget* parent = nullptr);

    // Takes the notice (right-aligned, newest on the left) and shows it.
    void AddNotice(QWidget* notice);
    QList<QWidget*> Notices() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateVisibility();

    QHBoxLayout* m_layout;
};
