#include "StatusField.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

StatusField::StatusField(QWidget* parent, int preferredWidth)
    : QLabel(parent), m_preferredWidth(preferredWidth)
{
    setContentsMargins(4, 0, 4, 0);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize StatusField::sizeHint() const
{
    const QSize text = QLabel::sizeHint();
    return {qMax(text.width(), m_preferredWidth), text.height()};
}

QSize StatusField::minimumSizeHint() const
{
    const QMargins m = contentsMargins();
    const int least = fontMetrics().averageCharWidth() * 4 + m.left() + m.right();
    return {qMin(least, sizeHint().width()), QLabel::minimumSizeHint().height()};
}

bool StatusField::IsElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void StatusField::paintEvent(QPaintEvent* event)
{
    if (!IsElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

bool StatusField::event(QEvent* event)
{
    // The whole text of a cut field on hovering it.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (IsElided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}
