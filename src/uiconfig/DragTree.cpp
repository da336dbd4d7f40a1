#include "DragTree.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>

namespace {

const char NodeMimeType[] = "application/x-weibao-tree-node";

} // namespace

DragTree::DragTree(QWidget* parent) : QTreeWidget(parent), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(ScrollInterval);
    connect(m_timer, &QTimer::timeout, this, &DragTree::ScrollOneLine);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHeaderHidden(true);
    SetDragMode(false);
}

void DragTree::SetDragMode(bool on)
{
    m_dragMode = on;
    setDragEnabled(on);
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
    setDragDropMode(on ? QAbstractItemView::DragDrop : QAbstractItemView::NoDragDrop);
    setDropIndicatorShown(on);
    if (!on)
        EndDrag();
}

QTreeWidgetItem* DragTree::SelectedNode() const
{
    QTreeWidgetItem* node = currentItem();
    return node && node->isSelected() ? node : nullptr;
}

void DragTree::DragOverAt(const QPoint& pos)
{
    if (pos.y() < ScrollZone)
        m_direction = ScrollDirection::Up;
    else if (pos.y() > viewport()->height() - ScrollZone)
        m_direction = ScrollDirection::Down;
    else
        m_direction = ScrollDirection::None;
    if (m_direction == ScrollDirection::None)
        m_timer->stop();
    else if (!m_timer->isActive())
        m_timer->start();
}

void DragTree::EndDrag()
{
    m_timer->stop();
    m_direction = ScrollDirection::None;
}

void DragTree::ScrollOneLine()
{
    QScrollBar* bar = verticalScrollBar();
    if (m_direction == ScrollDirection::Up)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_direction == ScrollDirection::Down)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

bool DragTree::IsInSubtree(const QTreeWidgetItem* node, const QTreeWidgetItem* root)
{
    for (const QTreeWidgetItem* n = node; n; n = n->parent()) {
        if (n == root)
            return true;
    }
    return false;
}

void DragTree::MoveAsFirstChild(QTreeWidgetItem* node, QTreeWidgetItem* target)
{
    QTreeWidget* tree = node->treeWidget();
    // Taking a node out of the tree collapses what lies below it; remember
    // which nodes were open so the moved subtree looks as before.
    QList<QTreeWidgetItem*> expanded;
    QList<QTreeWidgetItem*> pending{node};
    while (!pending.isEmpty()) {
        QTreeWidgetItem* n = pending.takeLast();
        if (n->isExpanded())
            expanded << n;
        for (int i = 0; i < n->childCount(); ++i)
            pending << n->child(i);
    }
    if (QTreeWidgetItem* parent = node->parent())
        parent->takeChild(parent->indexOfChild(node));
    else
        tree->takeTopLevelItem(tree->indexOfTopLevelItem(node));
    target->insertChild(0, node);
    target->setExpanded(true);
    for (QTreeWidgetItem* n : expanded)
        n->setExpanded(true);
    if (tree) {
        tree->setCurrentItem(node);
        tree->scrollToItem(node);
    }
}

void DragTree::startDrag(Qt::DropActions)
{
    m_dragged = SelectedNode();
    if (!m_dragged)
        return;
    // Our own drag, not the item view's: after a move the view would remove
    // the dragged rows itself, and the forms move the nodes.
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(NodeMimeType), QByteArray());
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
    m_dragged = nullptr;
    EndDrag();
}

void DragTree::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_dragMode && event->source() == this &&
        event->mimeData()->hasFormat(QString::fromLatin1(NodeMimeType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DragTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_dragMode || event->source() != this) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    DragOverAt(pos);
    QTreeWidgetItem* target = itemAt(pos);
    if (target && m_dragged && !IsInSubtree(target, m_dragged))
        event->acceptProposedAction();
    else if (!target && m_dropOnEmpty && m_dragged && m_dragged->parent())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DragTree::dropEvent(QDropEvent* event)
{
    EndDrag();
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    QTreeWidgetItem* dragged = m_dragged;
    // Nothing for the item view to do with the rows.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (m_dragMode && event->source() == this && dragged && target)
        emit nodeDropped(dragged, target);
    else if (m_dragMode && event->source() == this && dragged && !target && m_dropOnEmpty &&
             dragged->parent())
        emit droppedOnEmpty(dragged);
}
