#include "PickerTree.h"

#include <QTreeWidget>

void SelectPickerFunction(QTreeWidget* picker, const QString& id)
{
    picker->clearSelection();
    picker->setCurrentItem(nullptr);
    if (id.isEmpty())
        return;
    if (QTreeWidgetItem* node = FindFunctionNode(picker, id)) {
        picker->setCurrentItem(node);
        node->setSelected(true);
        picker->scrollToItem(node);
    }
}

TFunc PickedFunction(const QTreeWidget* picker)
{
    QTreeWidgetItem* node = picker->currentItem();
    return node && node->isSelected() ? NodeFunc(node) : TFunc();
}
