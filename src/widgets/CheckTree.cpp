#include "CheckTree.h"

#include <QKeyEvent>

#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

namespace {

// Gives all descendants the state; nodes without a box get one only when
// withoutBox is set.
void SetSubtreeState(QTreeWidgetItem* item, Qt::CheckState state, bool withoutBox)
{
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (withoutBox || child->data(0, Qt::CheckStateRole).isValid())
            child->setCheckState(0, state);
        SetSubtreeState(child, state, withoutBox);
    }
}

// The state a parent gets from its children; children without a box count
// for nothing.
Qt::CheckState StateFromChildren(const QTreeWidgetItem* item)
{
    bool anyChecked = false;
    bool anyUnchecked = false;
    for (int i = 0; i < item->childCount(); ++i) {
        const QVariant state = item->child(i)->data(0, Qt::CheckStateRole);
        if (!state.isValid())
            continue;
        switch (static_cast<Qt::CheckState>(state.toInt())) {
        case Qt::PartiallyChecked:
            return Qt::PartiallyChecked;
        case Qt::Checked:
            anyChecked = true;
            break;
        case Qt::Unchecked:
            anyUnchecked = true;
            break;
        }
    }
    if (anyChecked && anyUnchecked)
        return Qt::PartiallyChecked;
    return anyChecked ? Qt::Checked : Qt::Unchecked;
}

} // namespace

// Every user toggle (mouse or keyboard) reaches the model through the
// delegate's editorEvent; program changes do not, which is what separates
// the propagated user clicks from states set by code.
class CheckTreeDelegate : public QStyledItemDelegate
{
public:
    explicit CheckTreeDelegate(CheckTree* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (m_tree->ChecksReadOnly()) {
            // Swallow what would toggle a box; other clicks select as usual.
            const QEvent::Type type = event->type();
            if (type == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                return key == Qt::Key_Space || key == Qt::Key_Select;
            }
            return type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
        }
        const QVariant before = index.data(Qt::CheckStateRole);
        const bool handled = QStyledItemDelegate::editorEvent(event, model, option, index);
        if (handled && before.isValid() && index.data(Qt::CheckStateRole) != before)
            m_tree->Propagate(m_tree->itemFromIndex(index));
        return handled;
    }

private:
    CheckTree* m_tree;
};

CheckTree::CheckTree(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setItemDelegate(new CheckTreeDelegate(this));
    connect(model(), &QAbstractItemModel::rowsInserted, this, &CheckTree::PrepareNodes);
}

int CheckTree::StateIndex(const QTreeWidgetItem* item)
{
    const QVariant state = item->data(0, Qt::CheckStateRole);
    if (!state.isValid())
        return 0;
    switch (static_cast<Qt::CheckState>(state.toInt())) {
    case Qt::Unchecked:
        return 1;
    case Qt::Checked:
        return 2;
    case Qt::PartiallyChecked:
        return 3;
    }
    return 0;
}

void CheckTree::ToggleNode(QTreeWidgetItem* item)
{
    if (!item || !item->data(0, Qt::CheckStateRole).isValid())
        return;
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    Propagate(item);
}

void CheckTree::UncheckAll()
{
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->data(0, Qt::CheckStateRole).isValid())
            (*it)->setCheckState(0, Qt::Unchecked);
}

void CheckTree::Propagate(QTreeWidgetItem* item)
{
    if (!item)
        return;
    SetSubtreeState(item, item->checkState(0), false);
    for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
        if (parent->data(0, Qt::CheckStateRole).isValid())
            parent->setCheckState(0, StateFromChildren(parent));
    emit nodeToggled(item);
}

void CheckTree::PrepareNodes(const QModelIndex& parent, int first, int last)
{
    // New nodes (with any children they bring along) get an unchecked box;
    // the built-in automatic tristate is switched off, the tree does its own.
    QList<QTreeWidgetItem*> pending;
    for (int row = first; row <= last; ++row)
        if (QTreeWidgetItem* item = itemFromIndex(model()->index(row, 0, parent)))
            pending << item;
    while (!pending.isEmpty()) {
        QTreeWidgetItem* item = pending.takeLast();
        item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsAutoTristate &
                       ~Qt::ItemIsUserTristate);
        if (!item->data(0, Qt::CheckStateRole).isValid())
            item->setCheckState(0, Qt::Unchecked);
        for (int i = 0; i < item->childCount(); ++i)
            pending << item->child(i);
    }
}

void CheckTreeNodeByID(const QString& id, QTreeWidget* tree)
{
    if (!tree)
        return;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        QTreeWidgetItem* node = *it;
        if (node->data(0, CheckTree::NodeIdRole).toString() != id)
            continue;
        node->setCheckState(0, Qt::Checked);
        SetSubtreeState(node, Qt::Checked, true);
        for (QTreeWidgetItem* parent = node->parent(); parent; parent = parent->parent())
            parent->setCheckState(0, Qt::PartiallyChecked);
        return;
    }
}
