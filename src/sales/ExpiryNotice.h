#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// The small notice of warranties about to end that the main window shows
// beside its work area after a login: the count, a "查看" button and a close
// button; further lines (with links) below the count, for other things the
// desk should see to.  Without a count only the further lines show.  It does
// not block anything; it stays until it is closed or its button is used.
class ExpiryNotice : public QFrame
{
    Q_OBJECT
public:
    ExpiryNotice(const QString& text, QWidget* parent);

    QString Text() const;
    // A line of rich text below the count; its links are reported by
    // linkActivated, and following one closes the notice.
    QLabel* AddLine(const QString& html, const QString& objectName);

signals:
    // "查看" was pressed; the notice closes itself afterwards.
    void viewRequested();
    void linkActivated(const QString& link);

private:
    QVBoxLayout* m_lines;
    QLabel* m_label;
    QPushButton* m_view;
    QToolButton* m_close;
};
