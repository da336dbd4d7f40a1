#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;

// The small notice of warranties about to end that the main window shows
// beside its work area after a login: the count, a "查看" button and a close
// button.  It does not block anything; it stays until it is closed or its
// button is used.
class ExpiryNotice : public QFrame
{
    Q_OBJECT
public:
    ExpiryNotice(const QString& text, QWidget* parent);

    QString Text() const;

signals:
    // "查看" was pressed; the notice closes itself afterwards.
    void viewRequested();

private:
    QLabel* m_label;
    QPushButton* m_view;
    QToolButton* m_close;
};
