#include "ExpiryNotice.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

ExpiryNotice::ExpiryNotice(const QString& text, QWidget* parent) : QFrame(parent)
{
    setObjectName("ExpiryNotice");
    // Read out as one notice with its text, then its two buttons.
    setAccessibleName(QStringLiteral("即将过保提醒"));
    setAccessibleDescription(text);
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    // Orange like the expiring rows of the record manager, so the two read as one.
    setStyleSheet("ExpiryNotice { background: #fff4e0; border: 1px solid #ffa500; border-radius: 3px; }");

    m_label = new QLabel(text, this);
    m_label->setObjectName("LblExpiryNotice");
    m_view = new QPushButton(QStringLiteral("查看"), this);
    m_view->setObjectName("BtnExpiryView");
    m_view->setAccessibleName(QStringLiteral("查看即将过保的客户"));
    m_close = new QToolButton(this);
    m_close->setObjectName("BtnExpiryClose");
    m_close->setText(QStringLiteral("×"));
    m_close->setAutoRaise(true);
    m_close->setAccessibleName(QStringLiteral("关闭"));
    m_close->setToolTip(QStringLiteral("关闭"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 4, 6);
    layout->setSpacing(8);
    m_lines = new QVBoxLayout;
    m_lines->setSpacing(4);
    m_lines->addWidget(m_label);
    layout->addLayout(m_lines);
    layout->addWidget(m_view, 0, Qt::AlignTop);
    layout->addWidget(m_close, 0, Qt::AlignTop);
    // Only further lines to show: no count, nothing to view.
    m_label->setVisible(!text.isEmpty());
    m_view->setVisible(!text.isEmpty());

    connect(m_view, &QPushButton::clicked, this, [this] {
        emit viewRequested();
        close();
    });
    connect(m_close, &QToolButton::clicked, this, &QWidget::close);
}

QString ExpiryNotice::Text() const
{
    return m_label->text();
}

QLabel* ExpiryNotice::AddLine(const QString& html, const QString& objectName)
{
    auto* line = new QLabel(html, this);
    line->setObjectName(objectName);
    line->setTextFormat(Qt::RichText);
    line->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(line, &QLabel::linkActivated, this, [this](const QString& link) {
        emit linkActivated(link);
        close();
    });
    m_lines->addWidget(line);
    adjustSize();
    return line;
}

