#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;

// The small notice of warranties about to end that sits in the lower right
// corner of the main window's work area after a login: the count, a "查看"
// button and a close button.  It does not block anything; it stays until
// it is closed or its button is used, and follows the area when it resizes.
class ExpiryNotice : public QFrame
{
    Q_OBJECT
public:
    ExpiryNotice(const QString& text, QWidget* area);

    QString Text() const;

signals:
    // "查看" was pressed; the notice closes itself afterwards.
    void viewRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();

    QLabel* m_label;
    QPushButton* m_view;
    QToolButton* m_close;
};
