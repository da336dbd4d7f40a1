#pragma once

#include "DragTree.h"
#include "EditState.h"
#include "TDefForm.h"
#include "VersionedRow.h"

#include <QHash>
#include <QSet>
#include <QVector>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

// What the catalogue, menu and group-bar editors share: a tree of records,
// the browse and edit modes with lblState, add beside or below the selected
// node, edit, save, cancel, delete of a leaf, the two order buttons and a
// drag mode in which a node moves under another one.  Each editor supplies
// its records, messages and table writes through the hooks below.
class TreeEditorForm : public TDefForm
{
    Q_OBJECT
public:
    const EditState& State() const { return m_state; }
    QString EditMode() const { return m_state.EditMode; }
    DragTree* Tree() const { return m_parts.tree; }

    // In an edit mode with typed input; saving is the form's 保存.
    bool HasUnsavedInput() const override;
    bool SaveUnsavedInput() override;
    void DiscardUnsavedInput() override;

protected:
    explicit TreeEditorForm(QWidget* parent = nullptr);

    struct Parts
    {
        DragTree* tree = nullptr;
        QLabel* lblState = nullptr;
        QPushButton* btnEdit = nullptr;
        QPushButton* btnAddSame = nullptr;
        QPushButton* btnAddChild = nullptr;
        QPushButton* btnSave = nullptr;
        QPushButton* btnCancel = nullptr;
        QPushButton* btnDelete = nullptr;
        QPushButton* btnRootOrder = nullptr;
        QPushButton* btnChildOrder = nullptr;
        QCheckBox* chkDrag = nullptr;
        QLabel* lblDragInfo = nullptr;
        QList<QWidget*> inputs;
        QList<QWidget*> coloured;
        // Whether the order buttons are locked in drag mode too.
        bool dragLocksOrder = true;
    };
    // The messages of the delete step, in the editor's words.
    struct DeleteTexts
    {
        QString noSelection;
        QString hasChildren;
        QString confirm;
    };
    void SetUpEditor(const Parts& parts, const DeleteTexts& texts);
    // The shared controls found by their names (btnEdit, btnAddSame, …,
    // lblState, chkDrag, lblDragInfo), which every editor's form uses.
    Parts PartsByName(DragTree* tree) const;

    // The selected node's record into the inputs (any mode).
    virtual void ShowNode(QTreeWidgetItem* node) = 0;
    virtual void ClearInputs() = 0;
    virtual bool DeleteRecord(QTreeWidgetItem* node) = 0;
    // The stored parent of `dragged` becomes `target`'s key.
    virtual bool WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target) = 0;
    // A further condition on drops (the group bar's two levels).
    virtual bool MayDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target) const;
    // Fills the tree from the table again.
    virtual void ReloadTree() = 0;
    // Whether the node may be deleted (the form says why not).
    virtual bool MayDelete(QTreeWidgetItem* node);
    // A change was stored: the main window's interface is built anew and
    // the note lblNote says so.
    void RecordsChanged();

    QTreeWidgetItem* Selected() const { return m_parts.tree->SelectedNode(); }
    // Enters an edit mode; `locked` inputs stay disabled.
    void EnterMode(const QString& mode, const QString& stateText, const QList<QWidget*>& locked = {});
    // The Cancel step: browse, inputs from the selected node.
    void CancelEdit();
    // The Delete step: a selected leaf, after the question.
    void DeleteSelected();
    // chkDrag was clicked.
    void ToggleDragMode();
    // A node was dropped: moved under the target and stored, or, when the
    // write fails, reported and the stored tree shown again.
    void DropNode(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // Appends a new node beside `anchor` (top level without one) or below
    // `parent`.
    QTreeWidgetItem* AppendSibling(QTreeWidgetItem* anchor);
    QTreeWidgetItem* AppendChild(QTreeWidgetItem* parent);

    // Fills `tree` from records grouped by their parent key, depth first
    // from the top level (parent 0).  Each key is placed once, so stored
    // parents that run in a circle cannot make the descent endless.
    template <typename Record, typename KeyOf, typename SetNode>
    static void BuildTree(QTreeWidget* tree, const QHash<qint64, QVector<Record>>& children, KeyOf keyOf,
                          SetNode setNode);

    // What a failed record write is reported as: the conflict text when
    // another desk changed the row since it was read, else `otherwise`.
    static QString WriteFailureText(VersionedRow::Outcome outcome, const QString& otherwise);

    EditState m_state;
    // Set by WriteParent when its failure needs its own words.
    QString m_writeFailure;

private:
    QList<QWidget*> DragLocked() const;
    // The tree's current node changed from `previous`: the inputs follow it,
    // except in an add mode, where the node only anchors the new item.  In
    // the edit mode with typed input the user is asked first.
    void CurrentNodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void SelectNode(QTreeWidgetItem* node);

    Parts m_parts;
    DeleteTexts m_deleteTexts;
};

template <typename Record, typename KeyOf, typename SetNode>
void TreeEditorForm::BuildTree(QTreeWidget* tree, const QHash<qint64, QVector<Record>>& children, KeyOf keyOf,
                               SetNode setNode)
{
    QSet<qint64> placed;
    std::function<void(qint64, QTreeWidgetItem*)> addChildren = [&](qint64 parentID, QTreeWidgetItem* parentNode) {
        for (const Record& record : children.value(parentID)) {
            const qint64 key = keyOf(record);
            if (placed.contains(key))
                continue;
            placed.insert(key);
            auto* node = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(tree);
            setNode(node, record);
            addChildren(key, node);
        }
    };
    addChildren(0, nullptr);
    tree->expandAll();
}
