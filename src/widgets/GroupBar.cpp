#include "GroupBar.h"

#include "IconList.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

constexpr int kIconSize = 16;
constexpr int kRadius = 4;
constexpr int kItemPadding = 8;

// The rectangle a one-pixel pen should trace so that it stays inside r.
QRectF PenRect(const QRect& r)
{
    return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
}

// A rectangle with rounded top corners and, when asked, rounded bottom ones.
QPainterPath RoundedPath(const QRectF& r, bool roundBottom)
{
    QPainterPath path;
    const qreal d = 2 * kRadius;
    path.moveTo(r.left(), r.bottom());
    path.lineTo(r.left(), r.top() + kRadius);
    path.arcTo(r.left(), r.top(), d, d, 180, -90);
    path.lineTo(r.right() - kRadius, r.top());
    path.arcTo(r.right() - d, r.top(), d, d, 90, -90);
    if (roundBottom) {
        path.lineTo(r.right(), r.bottom() - kRadius);
        path.arcTo(r.right() - d, r.bottom() - d, d, d, 0, -90);
        path.lineTo(r.left() + kRadius, r.bottom());
        path.arcTo(r.left(), r.bottom() - d, d, d, 270, -90);
    } else {
        path.lineTo(r.right(), r.bottom());
    }
    path.closeSubpath();
    return path;
}

// The scrolled canvas behind the groups, painted in the bar's background.
class GroupBarContent : public QWidget
{
public:
    explicit GroupBarContent(GroupBar* bar) : QWidget(bar), m_bar(bar) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_bar->BackgroundColor());
    }

private:
    GroupBar* m_bar;
};

} // namespace

// The clickable caption bar of a group.
class GroupBarHeader : public QWidget
{
public:
    explicit GroupBarHeader(GroupBarGroup* group) : QWidget(group), m_group(group)
    {
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        QFont bold = font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        return QSize(metrics.horizontalAdvance(m_group->Caption()) + 3 * kItemPadding + 2 * kIconSize,
                     qMax(26, metrics.height() + 12));
    }
    QSize minimumSizeHint() const override { return QSize(3 * kIconSize, sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const GroupBar* bar = m_group->Bar();
        const bool special = m_group->IsSpecial();
        QColor base = special ? bar->SpecialHeaderColor() : bar->HeaderColor();
        if (m_hovered)
            base = base.lighter(108);
        const QColor text = special ? bar->SpecialHeaderTextColor() : bar->HeaderTextColor();

        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, base.lighter(112));
        gradient.setColorAt(1, base);
        painter.setPen(QPen(bar->BorderColor(), 1));
        painter.setBrush(gradient);
        painter.drawPath(RoundedPath(PenRect(rect()), !m_group->IsBodyShown()));

        int x = kItemPadding;
        const QPixmap icon = IconList::Small(m_group->IconIndex());
        if (!icon.isNull()) {
            painter.drawPixmap(x, (height() - kIconSize) / 2, icon);
            x += kIconSize + 6;
        }
        const int arrowSpace = kIconSize + kItemPadding;
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(text);
        const QRect textRect(x, 0, width() - x - arrowSpace, height());
        painter.drawText(
            textRect, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(m_group->Caption(), Qt::ElideRight, textRect.width()));

        // A chevron: pointing down while opened, right while closed.
        const QPointF c(width() - kItemPadding - kIconSize / 2.0, height() / 2.0);
        QPainterPath chevron;
        if (m_group->IsOpened()) {
            chevron.moveTo(c + QPointF(-4, -2));
            chevron.lineTo(c + QPointF(0, 2));
            chevron.lineTo(c + QPointF(4, -2));
        } else {
            chevron.moveTo(c + QPointF(-2, -4));
            chevron.lineTo(c + QPointF(2, 0));
            chevron.lineTo(c + QPointF(-2, 4));
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(text, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(chevron);
    }
    void enterEvent(QEnterEvent*) override
    {
        m_hovered = true;
        update();
    }
    void leaveEvent(QEvent*) override
    {
        m_hovered = false;
        update();
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            m_group->SetOpened(!m_group->IsOpened());
    }

private:
    GroupBarGroup* m_group;
    bool m_hovered = false;
};

// ---------------------------------------------------------------- item

namespace {

// What a screen reader or an automation client sees of an item: a button
// named by its caption, described by its hint, that can be pressed.
class GroupBarItemAccessible : public QAccessibleWidget
{
public:
    explicit GroupBarItemAccessible(GroupBarItem* item) : QAccessibleWidget(item, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override
    {
        const auto* item = static_cast<const GroupBarItem*>(widget());
        if (kind == QAccessible::Name && item->accessibleName().isEmpty())
            return item->Caption();
        if (kind == QAccessible::Description && item->accessibleDescription().isEmpty())
            return item->Hint();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && widget()->isEnabled())
            static_cast<GroupBarItem*>(widget())->Activate();
    }
};

QAccessibleInterface* GroupBarItemInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("GroupBarItem") && object && object->isWidgetType())
        return new GroupBarItemAccessible(static_cast<GroupBarItem*>(object));
    return nullptr;
}

} // namespace

GroupBarItem::GroupBarItem(const QString& caption, int tag, int iconIndex, const QColor& color,
                           int instanceKey, GroupBarGroup* group)
    : QWidget(group ? group->m_body : nullptr), m_caption(caption), m_tag(tag), m_iconIndex(iconIndex),
      m_color(color), m_instanceKey(instanceKey), m_group(group)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The caption is the item's accessible name through GroupBarItemAccessible,
    // not setAccessibleName: that builds an accessible interface for each
    // item as it is made, a few hundred of them at every login.
}

void GroupBarItem::SetCaption(const QString& caption)
{
    m_caption = caption;
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    updateGeometry();
    update();
}

void GroupBarItem::SetIconIndex(int index)
{
    m_iconIndex = index;
    update();
}

void GroupBarItem::SetFontColor(const QColor& color)
{
    m_color = color;
    update();
}

void GroupBarItem::SetHint(const QString& hint)
{
    m_hint = hint;
}

QSize GroupBarItem::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(m_caption) + 3 * kItemPadding + kIconSize,
                 qMax(kIconSize + 8, metrics.height() + 8));
}

QSize GroupBarItem::minimumSizeHint() const
{
    return QSize(kIconSize + 2 * kItemPadding, sizeHint().height());
}

void GroupBarItem::paintEvent(QPaintEvent*)
{
    const GroupBar* bar = m_group->Bar();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_hovered) {
        QColor hover = bar->HoverColor();
        if (m_pressed)
            hover.setAlpha(qMin(255, hover.alpha() * 2));
        painter.setPen(Qt::NoPen);
        painter.setBrush(hover);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 0.5, -1, -0.5), 3, 3);
    }
    int x = kItemPadding;
    const QPixmap icon = IconList::Small(m_iconIndex);
    if (!icon.isNull())
        painter.drawPixmap(x, (height() - kIconSize) / 2, icon);
    // Captions line up whether or not an item has an icon.
    x += kIconSize + 6;
    QFont font = this->font();
    font.setUnderline(m_hovered);
    painter.setFont(font);
    painter.setPen(m_color.isValid() ? m_color : bar->ItemTextColor());
    const QRect textRect(x, 0, width() - x - 4, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(m_caption, Qt::ElideRight, textRect.width()));
}

void GroupBarItem::enterEvent(QEnterEvent*)
{
    m_hovered = true;
    update();
}

void GroupBarItem::leaveEvent(QEvent*)
{
    m_hovered = false;
    m_pressed = false;
    update();
}

void GroupBarItem::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        update();
    }
}

void GroupBarItem::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    update();
    if (click)
        Activate();
}

void GroupBarItem::Activate()
{
    // A handler may remove this item or rebuild the whole bar (log-off);
    // removed objects are only freed later, but they must not be reported as
    // clicked items of their former group.
    QPointer<GroupBarItem> self(this);
    emit clicked();
    if (self && m_group->IndexOf(this) >= 0)
        emit m_group->itemClicked(this);
}

bool GroupBarItem::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QString tip = m_hint;
        const int room = width() - 2 * kItemPadding - kIconSize - 6;
        if (tip.isEmpty() && fontMetrics().horizontalAdvance(m_caption) > room)
            tip = m_caption; // the caption is cut off: show it whole
        if (m_group->Bar()->ShowHints() && !tip.isEmpty())
            QToolTip::showText(help->globalPos(), tip, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

// ---------------------------------------------------------------- group

GroupBarGroup::GroupBarGroup(const QString& caption, int iconIndex, bool special, GroupBar* bar)
    : QWidget(bar ? bar->m_content : nullptr), m_caption(caption), m_iconIndex(iconIndex), m_special(special),
      m_bar(bar)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_header = new GroupBarHeader(this);
    layout->addWidget(m_header);
    m_body = new QWidget(this);
    m_bodyLayout = new QVBoxLayout(m_body);
    m_bodyLayout->setContentsMargins(3, 4, 3, 4);
    m_bodyLayout->setSpacing(0);
    layout->addWidget(m_body);
    m_body->setVisible(false); // shown once it has items
}

void GroupBarGroup::SetCaption(const QString& caption)
{
    m_caption = caption;
    m_header->updateGeometry();
    m_header->update();
}

void GroupBarGroup::SetIconIndex(int index)
{
    m_iconIndex = index;
    m_header->update();
}

void GroupBarGroup::SetSpecial(bool special)
{
    m_special = special;
    m_header->update();
}

void GroupBarGroup::SetOpened(bool opened)
{
    if (m_opened == opened)
        return;
    m_opened = opened;
    m_body->setVisible(IsBodyShown());
    m_header->update();
    update();
    emit openedChanged(m_opened);
}

GroupBarItem* GroupBarGroup::AddItem(const QString& caption, int tag, int iconIndex, const QColor& color,
                                     int instanceKey)
{
    auto* item = new GroupBarItem(caption, tag, iconIndex, color, instanceKey, this);
    m_bodyLayout->addWidget(item);
    m_items.append(item);
    m_body->setVisible(IsBodyShown());
    m_header->update();
    item->show();
    return item;
}

int GroupBarGroup::IndexOf(const GroupBarItem* item) const
{
    return static_cast<int>(m_items.indexOf(const_cast<GroupBarItem*>(item)));
}

GroupBarItem* GroupBarGroup::FindItem(int tag, int instanceKey) const
{
    for (GroupBarItem* item : m_items)
        if (item->Tag() == tag && item->InstanceKey() == instanceKey)
            return item;
    return nullptr;
}

void GroupBarGroup::RemoveItem(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    GroupBarItem* item = m_items.takeAt(index);
    m_bodyLayout->removeWidget(item);
    item->hide();
    item->deleteLater();
    if (m_items.isEmpty()) {
        m_body->setVisible(false);
        m_header->update();
    }
}

void GroupBarGroup::RemoveItem(GroupBarItem* item)
{
    RemoveItem(IndexOf(item));
}

void GroupBarGroup::ClearItems()
{
    while (!m_items.isEmpty())
        RemoveItem(static_cast<int>(m_items.size()) - 1);
}

void GroupBarGroup::paintEvent(QPaintEvent*)
{
    if (!IsBodyShown())
        return;
    // The body: a panel under the header, closed by rounded bottom corners.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRect body = rect();
    body.setTop(m_header->geometry().bottom());
    const QRectF r = PenRect(body);
    QPainterPath path;
    const qreal d = 2 * kRadius;
    path.moveTo(r.topLeft());
    path.lineTo(r.topRight());
    path.lineTo(r.right(), r.bottom() - kRadius);
    path.arcTo(r.right() - d, r.bottom() - d, d, d, 0, -90);
    path.lineTo(r.left() + kRadius, r.bottom());
    path.arcTo(r.left(), r.bottom() - d, d, d, 270, -90);
    path.closeSubpath();
    painter.setPen(QPen(m_bar->BorderColor(), 1));
    painter.setBrush(m_bar->BodyColor());
    painter.drawPath(path);
}

// ---------------------------------------------------------------- bar

GroupBar::GroupBar(QWidget* parent) : QScrollArea(parent)
{
    static const bool accessible = (QAccessible::installFactory(GroupBarItemInterface), true);
    Q_UNUSED(accessible);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    m_content = new GroupBarContent(this);
    m_layout = new QVBoxLayout(m_content);
    m_layout->setContentsMargins(m_groupBorder, m_groupBorder, m_groupBorder, m_groupBorder);
    m_layout->setSpacing(m_groupBorder);
    m_layout->addStretch(1);
    setWidget(m_content);
    verticalScrollBar()->setSingleStep(24);
}

int GroupBar::AddGroup(const QString& caption, int iconIndex, bool special)
{
    return InsertGroup(GroupCount(), caption, iconIndex, special);
}

int GroupBar::InsertGroup(int position, const QString& caption, int iconIndex, bool special)
{
    position = qBound(0, position, GroupCount());
    auto* group = new GroupBarGroup(caption, iconIndex, special, this);
    connect(group, &GroupBarGroup::itemClicked, this,
            [this, group](GroupBarItem* item) { emit itemClicked(group, item); });
    m_groups.insert(position, group);
    m_layout->insertWidget(position, group);
    group->show();
    return position;
}

void GroupBar::RemoveGroup(int index)
{
    if (index < 0 || index >= GroupCount())
        return;
    GroupBarGroup* group = m_groups.takeAt(index);
    m_layout->removeWidget(group);
    group->hide();
    // Freed later: the bar is rebuilt from inside click handlers (log-off).
    group->disconnect(this);
    group->deleteLater();
}

void GroupBar::Clear()
{
    while (GroupCount() > 0)
        RemoveGroup(GroupCount() - 1);
}

int GroupBar::IndexOf(const GroupBarGroup* group) const
{
    return static_cast<int>(m_groups.indexOf(const_cast<GroupBarGroup*>(group)));
}

void GroupBar::SetGroupBorder(int pixels)
{
    m_groupBorder = qMax(0, pixels);
    m_layout->setContentsMargins(m_groupBorder, m_groupBorder, m_groupBorder, m_groupBorder);
    m_layout->setSpacing(m_groupBorder);
}

QColor GroupBar::Color(ColorRole role) const
{
    if (m_colors[role].isValid())
        return m_colors[role];
    const QPalette& p = palette();
    switch (role) {
    case Background:
        return p.color(QPalette::Window).darker(106);
    case Header:
        return p.color(QPalette::Button);
    case HeaderText:
        return p.color(QPalette::ButtonText);
    case SpecialHeader:
        return p.color(QPalette::Highlight);
    case SpecialHeaderText:
        return p.color(QPalette::HighlightedText);
    case Body:
        return p.color(QPalette::Base);
    case Border:
        return p.color(QPalette::Mid);
    case ItemText:
        return p.color(QPalette::Text);
    case Hover: {
        QColor hover = p.color(QPalette::Highlight);
        hover.setAlpha(45);
        return hover;
    }
    case ColorRoleCount:
        break;
    }
    return QColor();
}

void GroupBar::SetColor(ColorRole role, const QColor& color)
{
    m_colors[role] = color;
    m_content->update();
}

void GroupBar::ResetSkinColors()
{
    for (QColor& color : m_colors)
        color = QColor();
    m_content->update();
}

void GroupBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        m_content->update();
    QScrollArea::changeEvent(event);
}

QColor GroupBar::BackgroundColor() const
{
    return Color(Background);
}
void GroupBar::SetBackgroundColor(const QColor& color)
{
    SetColor(Background, color);
}
QColor GroupBar::HeaderColor() const
{
    return Color(Header);
}
void GroupBar::SetHeaderColor(const QColor& color)
{
    SetColor(Header, color);
}
QColor GroupBar::HeaderTextColor() const
{
    return Color(HeaderText);
}
void GroupBar::SetHeaderTextColor(const QColor& color)
{
    SetColor(HeaderText, color);
}
QColor GroupBar::SpecialHeaderColor() const
{
    return Color(SpecialHeader);
}
void GroupBar::SetSpecialHeaderColor(const QColor& color)
{
    SetColor(SpecialHeader, color);
}
QColor GroupBar::SpecialHeaderTextColor() const
{
    return Color(SpecialHeaderText);
}
void GroupBar::SetSpecialHeaderTextColor(const QColor& color)
{
    SetColor(SpecialHeaderText, color);
}
QColor GroupBar::BodyColor() const
{
    return Color(Body);
}
void GroupBar::SetBodyColor(const QColor& color)
{
    SetColor(Body, color);
}
QColor GroupBar::BorderColor() const
{
    return Color(Border);
}
void GroupBar::SetBorderColor(const QColor& color)
{
    SetColor(Border, color);
}
QColor GroupBar::ItemTextColor() const
{
    return Color(ItemText);
}
void GroupBar::SetItemTextColor(const QColor& color)
{
    SetColor(ItemText, color);
}
QColor GroupBar::HoverColor() const
{
    return Color(Hover);
}
void GroupBar::SetHoverColor(const QColor& color)
{
    SetColor(Hover, color);
}
