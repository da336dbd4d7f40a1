#include "NoticeStrip.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QTimer>

NoticeStrip::NoticeStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("NoticeStrip"));
    setAccessibleName(QStringLiteral("通知"));
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(4, 3, 4, 3);
    m_layout->setSpacing(6);
    m_layout->addStretch(1);
    hide();
}

void NoticeStrip::AddNotice(QWidget* notice)
{
    notice->setParent(this);
    m_layout->insertWidget(1, notice);
    notice->installEventFilter(this);
    notice->show();
    UpdateVisibility();
}

QList<QWidget*> NoticeStrip::Notices() const
{
    QList<QWidget*> notices;
    for (int i = 0; i < m_layout->count(); ++i)
        if (QWidget* widget = m_layout->itemAt(i)->widget())
            notices << widget;
    return notices;
}

bool NoticeStrip::eventFilter(QObject* watched, QEvent* event)
{
    // A notice closed (hidden, then freed) may leave the strip empty; the
    // check waits until it is gone from the layout.
    if (event->type() == QEvent::Hide || event->type() == QEvent::Show || event->type() == QEvent::Destroy)
        QTimer::singleShot(0, this, &NoticeStrip::UpdateVisibility);
    return QWidget::eventFilter(watched, event);
}

void NoticeStrip::UpdateVisibility()
{
    bool any = false;
    for (QWidget* notice : Notices())
        any = any || !notice->isHidden();
    setVisible(any);
}
