#include "TreeEditorForm.h"

#include "Dialogs.h"
#include "EditorAccess.h"
#include "UnsavedInput.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

TreeEditorForm::TreeEditorForm(QWidget* parent) : TDefForm(parent) {}

void TreeEditorForm::SetUpEditor(const Parts& parts, const DeleteTexts& texts)
{
    m_parts = parts;
    m_deleteTexts = texts;
    m_state.Bind(parts.lblState, parts.btnSave, parts.btnCancel);
    m_state.SetInputs(parts.inputs, parts.coloured);
    m_state.Browse();
    parts.lblDragInfo->hide();
    parts.tree->SetDragMode(false);
    connect(parts.tree, &QTreeWidget::currentItemChanged, this, &TreeEditorForm::CurrentNodeChanged);
    // The edited node took the inputs' values: they are stored.
    connect(parts.tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node) {
        if (m_state.EditMode == QLatin1String("UPDATE") && node == Selected())
            m_state.MarkSaved();
    });
}

void TreeEditorForm::CurrentNodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (!current)
        return;
    const QString mode = m_state.EditMode;
    if (mode == QLatin1String("UPDATE") && m_state.Modified() && previous && previous != current) {
        // Back on the edited node while the user decides.
        SelectNode(previous);
        if (!AskToSaveInput(
                this, [this] { return SaveUnsavedInput(); }, [this] { m_state.MarkSaved(); }))
            return;
        SelectNode(current);
    } else if (!mode.isEmpty() && mode != QLatin1String("UPDATE")) {
        // Adding: the node picked is where the new item goes; what was typed stays.
        current->setSelected(true);
        return;
    }
    // The node whose record the inputs show is the selected one, also
    // when the tree made it current by itself on getting the focus.
    current->setSelected(true);
    ShowNode(current);
    m_state.MarkSaved();
}

void TreeEditorForm::SelectNode(QTreeWidgetItem* node)
{
    const QSignalBlocker blocker(m_parts.tree);
    m_parts.tree->setCurrentItem(node);
    node->setSelected(true);
}

bool TreeEditorForm::HasUnsavedInput() const
{
    return m_state.Modified();
}

bool TreeEditorForm::SaveUnsavedInput()
{
    if (!m_parts.btnSave->isEnabled())
        return false;
    // The form's own 保存: an add that succeeds starts the next one with
    // empty inputs, an update marks the inputs stored.
    m_parts.btnSave->click();
    return !m_state.Modified();
}

void TreeEditorForm::DiscardUnsavedInput()
{
    CancelEdit();
}

TreeEditorForm::Parts TreeEditorForm::PartsByName(DragTree* tree) const
{
    const auto button = [this](const char* name) { return findChild<QPushButton*>(QLatin1String(name)); };
    Parts parts;
    parts.tree = tree;
    parts.lblState = findChild<QLabel*>(QStringLiteral("lblState"));
    parts.btnEdit = button("btnEdit");
    parts.btnAddSame = button("btnAddSame");
    parts.btnAddChild = button("btnAddChild");
    parts.btnSave = button("btnSave");
    parts.btnCancel = button("btnCancel");
    parts.btnDelete = button("btnDelete");
    parts.btnRootOrder = button("btnRootOrder");
    parts.btnChildOrder = button("btnChildOrder");
    parts.chkDrag = findChild<QCheckBox*>(QStringLiteral("chkDrag"));
    parts.lblDragInfo = findChild<QLabel*>(QStringLiteral("lblDragInfo"));
    return parts;
}

bool TreeEditorForm::MayDrop(QTreeWidgetItem*, QTreeWidgetItem*) const
{
    return true;
}

bool TreeEditorForm::MayDelete(QTreeWidgetItem*)
{
    return true;
}

void TreeEditorForm::RecordsChanged()
{
    EditorAccess::InterfaceChanged(findChild<QLabel*>(QStringLiteral("lblNote")));
}

void TreeEditorForm::EnterMode(const QString& mode, const QString& stateText, const QList<QWidget*>& locked)
{
    m_parts.btnEdit->setEnabled(true);
    m_state.Enter(mode, stateText, locked);
}

void TreeEditorForm::CancelEdit()
{
    m_parts.btnEdit->setEnabled(!m_parts.chkDrag->isChecked());
    m_state.Browse();
    ClearInputs();
    if (QTreeWidgetItem* node = Selected())
        ShowNode(node);
}

void TreeEditorForm::DeleteSelected()
{
    DragTree* tree = m_parts.tree;
    if (tree->topLevelItemCount() == 0)
        return;
    QTreeWidgetItem* node = Selected();
    if (!node) {
        ShowMessage(m_deleteTexts.noSelection, this);
        return;
    }
    if (node->childCount() > 0) {
        ShowMessage(m_deleteTexts.hasChildren, this);
        return;
    }
    if (!MayDelete(node))
        return;
    if (Dialogs::Instance().Ask(this, {m_deleteTexts.confirm, QString(), Dialogs::Icon::Question},
                                Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok) == Dialogs::Cancel)
        return;
    if (!DeleteRecord(node)) {
        ShowMessage(QStringLiteral("删除数据出错！"), this);
        return;
    }
    delete node;
    CancelEdit();
    RecordsChanged();
}

QList<QWidget*> TreeEditorForm::DragLocked() const
{
    QList<QWidget*> locked{m_parts.btnEdit, m_parts.btnAddChild, m_parts.btnAddSame,
                           m_parts.btnSave, m_parts.btnDelete,   m_parts.btnCancel};
    if (m_parts.dragLocksOrder)
        locked << m_parts.btnRootOrder << m_parts.btnChildOrder;
    return locked;
}

void TreeEditorForm::ToggleDragMode()
{
    CancelEdit();
    const bool on = m_parts.chkDrag->isChecked();
    m_parts.lblDragInfo->setVisible(on);
    for (QWidget* control : DragLocked())
        control->setEnabled(!on);
    // Save and Cancel belong to the edit modes, never to browsing.
    m_parts.btnSave->setEnabled(false);
    m_parts.btnCancel->setEnabled(false);
    m_parts.tree->SetDragMode(on);
}

void TreeEditorForm::DropNode(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    if (!dragged || !target || DragTree::IsInSubtree(target, dragged) || !MayDrop(dragged, target))
        return;
    m_writeFailure.clear();
    if (!WriteParent(dragged, target)) {
        ShowMessage(m_writeFailure.isEmpty() ? QStringLiteral("写数据时出错，更新失败！") : m_writeFailure,
                    this);
        ReloadTree();
        return;
    }
    DragTree::MoveAsFirstChild(dragged, target);
    RecordsChanged();
}

QString TreeEditorForm::WriteFailureText(VersionedRow::Outcome outcome, const QString& otherwise)
{
    return outcome == VersionedRow::Outcome::ChangedElsewhere
               ? QString::fromUtf16(VersionedRow::ChangedElsewhereText)
               : otherwise;
}

QTreeWidgetItem* TreeEditorForm::AppendSibling(QTreeWidgetItem* anchor)
{
    if (anchor && anchor->parent())
        return new QTreeWidgetItem(anchor->parent());
    return new QTreeWidgetItem(m_parts.tree);
}

QTreeWidgetItem* TreeEditorForm::AppendChild(QTreeWidgetItem* parent)
{
    auto* node = new QTreeWidgetItem(parent);
    parent->setExpanded(true);
    return node;
}
