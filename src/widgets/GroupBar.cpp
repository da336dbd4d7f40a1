#include "GroupBar.h"

#include "IconList.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
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

// The item list of a group, all items painted by this one widget.  It tracks
// which item the mouse is over and which one was pressed, shows their hints
// and turns a press and release on the same item into a click.
class GroupBarBody : public QWidget
{
    Q_OBJECT
public:
    explicit GroupBarBody(GroupBarGroup* group) : QWidget(group), m_group(group)
    {
        setMouseTracking(true);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    GroupBarGroup* Group() const { return m_group; }
    int ItemHeight() const { return qMax(kIconSize + 8, fontMetrics().height() + 8); }
    QRect ItemRect(int index) const
    {
        return QRect(kBodyMargin.left(), kBodyMargin.top() + index * ItemHeight(),
                     width() - kBodyMargin.left() - kBodyMargin.right(), ItemHeight());
    }
    GroupBarItem* ItemAt(const QPoint& pos) const
    {
        if (pos.x() < kBodyMargin.left() || pos.x() >= width() - kBodyMargin.right() ||
            pos.y() < kBodyMargin.top())
            return nullptr;
        return m_group->Item((pos.y() - kBodyMargin.top()) / ItemHeight());
    }

    // Wide enough for the icons: the bar's width is the side panel's, and a
    // caption that does not fit is cut off and shown whole as its tip.
    // Measuring every caption would cost more than the rest of a login's bar.
    QSize sizeHint() const override
    {
        return QSize(kIconSize + 2 * kItemPadding + kBodyMargin.left() + kBodyMargin.right(),
                     m_group->ItemCount() * ItemHeight() + kBodyMargin.top() + kBodyMargin.bottom());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    // An item was added or removed.
    void ItemsChanged()
    {
        updateGeometry();
        update();
    }
    void ItemRemoved(const GroupBarItem* item)
    {
        if (m_hovered == item)
            SetHovered(nullptr);
        if (m_pressed == item)
            m_pressed = nullptr;
        ItemsChanged();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int height = ItemHeight();
        const int first = qMax(0, (event->rect().top() - kBodyMargin.top()) / height);
        const int last =
            qMin(m_group->ItemCount() - 1, (event->rect().bottom() - kBodyMargin.top()) / height);
        for (int i = first; i <= last; ++i)
            PaintItem(painter, m_group->Item(i), ItemRect(i));
    }
    void mouseMoveEvent(QMouseEvent* event) override { SetHovered(ItemAt(event->position().toPoint())); }
    void leaveEvent(QEvent*) override
    {
        SetHovered(nullptr);
        m_pressed = nullptr;
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_pressed = ItemAt(event->position().toPoint());
        SetHovered(m_pressed);
        update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        GroupBarItem* item = ItemAt(event->position().toPoint());
        const bool click = item && item == m_pressed && event->button() == Qt::LeftButton;
        m_pressed = nullptr;
        SetHovered(item);
        update();
        if (click)
            item->Activate();
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const GroupBarItem* item = ItemAt(help->pos());
            QString tip;
            if (item) {
                tip = item->Hint();
                const int room =
                    width() - kBodyMargin.left() - kBodyMargin.right() - 2 * kItemPadding - kIconSize - 6;
                if (tip.isEmpty() && fontMetrics().horizontalAdvance(item->Caption()) > room)
                    tip = item->Caption(); // the caption is cut off: show it whole
            }
            if (m_group->Bar()->ShowHints() && !tip.isEmpty())
                QToolTip::showText(help->globalPos(), tip, this, ItemRect(m_group->IndexOf(item)));
            else
                QToolTip::hideText();
            return true;
        }
        return QWidget::event(event);
    }

private:
    void SetHovered(const GroupBarItem* item)
    {
        if (m_hovered == item)
            return;
        if (m_hovered)
            update(ItemRect(m_group->IndexOf(m_hovered)));
        m_hovered = item;
        if (m_hovered) {
            update(ItemRect(m_group->IndexOf(m_hovered)));
            setCursor(Qt::PointingHandCursor);
        } else {
            unsetCursor();
        }
    }

    void PaintItem(QPainter& painter, const GroupBarItem* item, const QRect& rect) const
    {
        const GroupBar* bar = m_group->Bar();
        const bool hovered = item == m_hovered;
        if (hovered) {
            QColor hover = bar->HoverColor();
            if (m_pressed == item)
                hover.setAlpha(qMin(255, hover.alpha() * 2));
            painter.setPen(Qt::NoPen);
            painter.setBrush(hover);
            painter.drawRoundedRect(QRectF(rect).adjusted(1, 0.5, -1, -0.5), 3, 3);
        }
        int x = rect.left() + kItemPadding;
        const QPixmap icon = IconList::Small(item->IconIndex());
        if (!icon.isNull())
            painter.drawPixmap(x, rect.top() + (rect.height() - kIconSize) / 2, icon);
        // Captions line up whether or not an item has an icon.
        x += kIconSize + 6;
        QFont font = this->font();
        font.setUnderline(hovered);
        painter.setFont(font);
        painter.setPen(item->FontColor().isValid() ? item->FontColor() : bar->ItemTextColor());
        const QRect textRect(x, rect.top(), rect.right() - x - 4, rect.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(item->Caption(), Qt::ElideRight, textRect.width()));
    }

    static constexpr QMargins kBodyMargin{3, 4, 3, 4};

    GroupBarGroup* m_group;
    const GroupBarItem* m_hovered = nullptr;
    const GroupBarItem* m_pressed = nullptr;
};

namespace {

// What a screen reader or an automation client sees of an item: a button
// named by its caption, described by its hint, that can be pressed.  It is a
// child of its group's item list.
class GroupBarItemAccessible : public QAccessibleObject, public QAccessibleActionInterface
{
public:
    explicit GroupBarItemAccessible(GroupBarItem* item) : QAccessibleObject(item) {}

    GroupBarItem* Item() const { return static_cast<GroupBarItem*>(object()); }
    GroupBarBody* Body() const { return Item()->Group() ? Item()->Group()->ItemList() : nullptr; }

    bool isValid() const override { return QAccessibleObject::isValid() && Body(); }
    QWindow* window() const override
    {
        const QWidget* top = Body() ? Body()->window() : nullptr;
        return top ? top->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(Body()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return Item()->Caption();
        if (kind == QAccessible::Description)
            return Item()->Hint();
        return QString();
    }
    QRect rect() const override
    {
        const GroupBarBody* body = Body();
        const int index = Item()->Group()->IndexOf(Item());
        if (!body || !body->isVisible() || index < 0)
            return QRect();
        const QRect local = body->ItemRect(index);
        return QRect(body->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !Item()->IsShown();
        state.offscreen = state.invisible;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && Body() && Body()->isEnabled())
            Item()->Activate();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

// A group's item list: a list named by the group's caption, whose children
// are its items.
class GroupBarBodyAccessible : public QAccessibleWidget
{
public:
    explicit GroupBarBodyAccessible(GroupBarBody* body) : QAccessibleWidget(body, QAccessible::List) {}

    GroupBarGroup* Group() const { return static_cast<GroupBarBody*>(widget())->Group(); }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Group()->Caption();
        return QAccessibleWidget::text(kind);
    }
    int childCount() const override { return Group()->ItemCount(); }
    QAccessibleInterface* child(int index) const override
    {
        GroupBarItem* item = Group()->Item(index);
        return item ? QAccessible::queryAccessibleInterface(item) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? Group()->IndexOf(qobject_cast<const GroupBarItem*>(child->object())) : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const auto* body = static_cast<GroupBarBody*>(widget());
        GroupBarItem* item = body->ItemAt(body->mapFromGlobal(QPoint(x, y)));
        return item ? QAccessible::queryAccessibleInterface(item) : nullptr;
    }
};

QAccessibleInterface* GroupBarInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("GroupBarItem"))
        return new GroupBarItemAccessible(static_cast<GroupBarItem*>(object));
    if (className == QLatin1String("GroupBarBody"))
        return new GroupBarBodyAccessible(static_cast<GroupBarBody*>(object));
    return nullptr;
}

} // namespace

GroupBarItem::GroupBarItem(const QString& caption, int tag, int iconIndex, const QColor& color,
                           int instanceKey, GroupBarGroup* group)
    : QObject(group), m_caption(caption), m_tag(tag), m_iconIndex(iconIndex), m_color(color),
      m_instanceKey(instanceKey), m_group(group)
{
}

void GroupBarItem::Repaint()
{
    // An item's size does not depend on what it shows: only its row is drawn again.
    if (const int index = m_group ? m_group->IndexOf(this) : -1; index >= 0)
        m_group->m_body->update(m_group->m_body->ItemRect(index));
}

void GroupBarItem::SetCaption(const QString& caption)
{
    m_caption = caption;
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    Repaint();
}

void GroupBarItem::SetIconIndex(int index)
{
    m_iconIndex = index;
    Repaint();
}

void GroupBarItem::SetFontColor(const QColor& color)
{
    m_color = color;
    Repaint();
}

void GroupBarItem::SetHint(const QString& hint)
{
    m_hint = hint;
}

bool GroupBarItem::IsShown() const
{
    return m_group && m_group->IndexOf(this) >= 0 && m_group->m_body->isVisible();
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
    m_body = new GroupBarBody(this);
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
    m_items.append(item);
    m_body->ItemsChanged();
    if (m_items.size() == 1) {
        m_body->setVisible(IsBodyShown());
        m_header->update();
    }
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
    m_body->ItemRemoved(item);
    item->deleteLater();
    if (m_items.isEmpty()) {
        m_body->setVisible(false);
        m_header->update();
    }
}

QRect GroupBarGroup::ItemRect(int index) const
{
    if (index < 0 || index >= m_items.size() || !IsBodyShown())
        return QRect();
    return m_body->ItemRect(index).translated(m_body->pos());
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
    static const bool accessible = (QAccessible::installFactory(GroupBarInterface), true);
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

#include "GroupBar.moc"
