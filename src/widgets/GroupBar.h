#pragma once

#include <QColor>
#include <QList>
#include <QScrollArea>

class GroupBar;
class GroupBarBody;
class GroupBarGroup;
class GroupBarHeader;
class QVBoxLayout;

// One entry of a group: small icon and caption, carrying an integer tag (a
// function identifier) and an instance key (open-windows entries).  Items are
// painted by their group, not widgets of their own: a login makes a few
// hundred of them.
class GroupBarItem : public QObject
{
    Q_OBJECT
public:
    GroupBarItem(const QString& caption, int tag, int iconIndex, const QColor& color, int instanceKey,
                 GroupBarGroup* group);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    int IconIndex() const { return m_iconIndex; }
    void SetIconIndex(int index);
    // Invalid colour: the bar's item text colour.
    QColor FontColor() const { return m_color; }
    void SetFontColor(const QColor& color);
    int InstanceKey() const { return m_instanceKey; }
    void SetInstanceKey(int key) { m_instanceKey = key; }
    // Shown as tool tip while the bar's hints are on.
    QString Hint() const { return m_hint; }
    void SetHint(const QString& hint);
    GroupBarGroup* Group() const { return m_group; }
    // On screen: in a group that is open and shown.
    bool IsShown() const;

    // What a click does: clicked(), then the group's itemClicked().
    void Activate();

signals:
    void clicked();

private:
    void Repaint();

    QString m_caption;
    int m_tag;
    int m_iconIndex;
    QColor m_color;
    int m_instanceKey;
    QString m_hint;
    GroupBarGroup* m_group;
};

// A collapsible group: a caption bar over its list of items.
class GroupBarGroup : public QWidget
{
    Q_OBJECT
public:
    GroupBarGroup(const QString& caption, int iconIndex, bool special, GroupBar* bar);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    int IconIndex() const { return m_iconIndex; }
    void SetIconIndex(int index);
    // The highlighted style of the open-windows group.
    bool IsSpecial() const { return m_special; }
    void SetSpecial(bool special);
    bool IsOpened() const { return m_opened; }
    void SetOpened(bool opened);
    // Opened and holding items: the item list is on screen.
    bool IsBodyShown() const { return m_opened && !m_items.isEmpty(); }
    GroupBar* Bar() const { return m_bar; }

    GroupBarItem* AddItem(const QString& caption, int tag = 0, int iconIndex = -1,
                          const QColor& color = QColor(), int instanceKey = 0);
    int ItemCount() const { return static_cast<int>(m_items.size()); }
    GroupBarItem* Item(int index) const { return m_items.value(index); }
    int IndexOf(const GroupBarItem* item) const;
    // The first item with that tag and instance key, or nullptr.
    GroupBarItem* FindItem(int tag, int instanceKey) const;
    // Where the item is drawn, in the group's coordinates; empty while the
    // item list is not shown.
    QRect ItemRect(int index) const;
    // The widget that draws the items (screen readers see it as their list).
    GroupBarBody* ItemList() const { return m_body; }
    // Removing is safe from inside the item's own click handler: the item
    // leaves the group at once and is freed when control returns to the loop.
    void RemoveItem(int index);
    void RemoveItem(GroupBarItem* item);
    void ClearItems();

signals:
    void itemClicked(GroupBarItem* item);
    void openedChanged(bool opened);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class GroupBarItem; // repaints the body when it changes
    GroupBarHeader* m_header;
    GroupBarBody* m_body;
    QList<GroupBarItem*> m_items;
    QString m_caption;
    int m_iconIndex;
    bool m_special;
    bool m_opened = true;
    GroupBar* m_bar;
};

// The side group bar: a vertical stack of collapsible groups that scrolls
// when it is taller than its room.  Icons come from the icon list (IconList).
// Its colours follow the palette unless a skin sets them, e.g.
//   GroupBar { qproperty-headerColor: #2f5d8c; qproperty-headerTextColor: white; }
class GroupBar : public QScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ BackgroundColor WRITE SetBackgroundColor)
    Q_PROPERTY(QColor headerColor READ HeaderColor WRITE SetHeaderColor)
    Q_PROPERTY(QColor headerTextColor READ HeaderTextColor WRITE SetHeaderTextColor)
    Q_PROPERTY(QColor specialHeaderColor READ SpecialHeaderColor WRITE SetSpecialHeaderColor)
    Q_PROPERTY(QColor specialHeaderTextColor READ SpecialHeaderTextColor WRITE SetSpecialHeaderTextColor)
    Q_PROPERTY(QColor bodyColor READ BodyColor WRITE SetBodyColor)
    Q_PROPERTY(QColor borderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(QColor itemTextColor READ ItemTextColor WRITE SetItemTextColor)
    Q_PROPERTY(QColor hoverColor READ HoverColor WRITE SetHoverColor)
public:
    explicit GroupBar(QWidget* parent = nullptr);

    // Returns the index of the new group.
    int AddGroup(const QString& caption, int iconIndex = -1, bool special = false);
    int InsertGroup(int position, const QString& caption, int iconIndex = -1, bool special = false);
    void RemoveGroup(int index);
    void Clear();
    int GroupCount() const { return static_cast<int>(m_groups.size()); }
    GroupBarGroup* group(int index) const { return m_groups.value(index); }
    int IndexOf(const GroupBarGroup* group) const;

    // Space around and between the groups (the original "group border").
    int GroupBorder() const { return m_groupBorder; }
    void SetGroupBorder(int pixels);
    bool ShowHints() const { return m_showHints; }
    void SetShowHints(bool show) { m_showHints = show; }

    QColor BackgroundColor() const;
    void SetBackgroundColor(const QColor& color);
    QColor HeaderColor() const;
    void SetHeaderColor(const QColor& color);
    QColor HeaderTextColor() const;
    void SetHeaderTextColor(const QColor& color);
    QColor SpecialHeaderColor() const;
    void SetSpecialHeaderColor(const QColor& color);
    QColor SpecialHeaderTextColor() const;
    void SetSpecialHeaderTextColor(const QColor& color);
    QColor BodyColor() const;
    void SetBodyColor(const QColor& color);
    QColor BorderColor() const;
    void SetBorderColor(const QColor& color);
    QColor ItemTextColor() const;
    void SetItemTextColor(const QColor& color);
    QColor HoverColor() const;
    void SetHoverColor(const QColor& color);

public slots:
    // Back to the palette-derived colours; the skin engine calls this before
    // a new style sheet sets its own.
    void ResetSkinColors();

signals:
    void itemClicked(GroupBarGroup* group, GroupBarItem* item);

protected:
    void changeEvent(QEvent* event) override;

private:
    enum ColorRole {
        Background,
        Header,
        HeaderText,
        SpecialHeader,
        SpecialHeaderText,
        Body,
        Border,
        ItemText,
        Hover,
        ColorRoleCount
    };
    QColor Color(ColorRole role) const;
    void SetColor(ColorRole role, const QColor& color);

    friend class GroupBarGroup; // made inside the content
    QWidget* m_content;
    QVBoxLayout* m_layout;
    QList<GroupBarGroup*> m_groups;
    QColor m_colors[ColorRoleCount];
    int m_groupBorder = 8;
    bool m_showHints = true;
};
