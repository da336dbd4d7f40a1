#pragma once

#include <QTreeWidget>

class QTimer;

// The tree of the catalogue, menu and group-bar editors.  In drag mode a node
// dragged with the mouse can be dropped onto another node of the same tree;
// while the pointer stays within 18 pixels of the top or bottom edge the tree
// scrolls one line every 100 ms (its timer Timer1).  The tree itself changes
// nothing on a drop: it reports the dragged and the target node, and the
// form decides and moves.
class DragTree : public QTreeWidget
{
    Q_OBJECT
public:
    enum class ScrollDirection { None, Up, Down };
    static constexpr int ScrollZone = 18;
    static constexpr int ScrollInterval = 100;

    explicit DragTree(QWidget* parent = nullptr);

    void SetDragMode(bool on);
    bool DragMode() const { return m_dragMode; }
    // Whether a node below another may be dropped on the empty area below
    // the nodes (reported as droppedOnEmpty), to become a top-level node.
    void SetDropOnEmpty(bool on) { m_dropOnEmpty = on; }

    // The selected node (the current one, when it is selected), or null.
    QTreeWidgetItem* SelectedNode() const;

    // During a drag, the pointer is at `pos` (viewport coordinates): sets the
    // scroll direction and runs or stops the timer.
    void DragOverAt(const QPoint& pos);
    // The drag is over: the timer stops.
    void EndDrag();
    ScrollDirection Direction() const { return m_direction; }
    QTimer* ScrollTimer() const { return m_timer; }

    // True when `node` is `root` or lies below it.
    static bool IsInSubtree(const QTreeWidgetItem* node, const QTreeWidgetItem* root);
    // Moves `node` with its subtree to be the first child of `target`, which
    // is expanded; the moved node stays selected.
    static void MoveAsFirstChild(QTreeWidgetItem* node, QTreeWidgetItem* target);

signals:
    // A node of this tree was dropped onto another node of it.
    void nodeDropped(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // A node that has a parent was dropped where there is no node.
    void droppedOnEmpty(QTreeWidgetItem* dragged);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ScrollOneLine();

    QTimer* m_timer;
    ScrollDirection m_direction = ScrollDirection::None;
    QTreeWidgetItem* m_dragged = nullptr;
    bool m_dragMode = false;
    bool m_dropOnEmpty = false;
};
