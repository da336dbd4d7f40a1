#pragma once

#include "TItem.h"
#include "TreeEditorForm.h"

#include <memory>

namespace Ui {
class TFrmGroupCfg;
}

// "GroupBar设置": edits the side group bar's table, two levels deep: main
// items (the groups) and their sub-items (the entries that open functions).
// Items are added, edited with text, icon, shown flag and function, deleted
// when they have no sub-items, moved under another main item by drag and
// drop and ordered in FrmItemOrder.  The main window's group bar follows
// every stored change at once.
class TFrmGroupCfg : public TreeEditorForm
{
    Q_OBJECT
public:
    explicit TFrmGroupCfg(QWidget* parent = nullptr);
    ~TFrmGroupCfg() override;

    static TItem NodeItem(const QTreeWidgetItem* node);

public slots:
    void FormShow();
    void btnEditClick();
    void btnAddSameClick();
    void btnAddChildClick();
    void btnSaveClick();
    void btnCancelClick();
    void btnDeleteClick();
    void btnClearSelFuncClick();
    void btnRootOrderClick();
    void btnChildOrderClick();
    void chkDragClick();
    // Puts the group bar a new database starts with back, after a question.
    void btnRestoreDefaultClick();
    void tvItemDragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

protected:
    void showEvent(QShowEvent* event) override;
    void ShowNode(QTreeWidgetItem* node) override;
    void ClearInputs() override;
    bool MayDelete(QTreeWidgetItem* node) override;
    bool DeleteRecord(QTreeWidgetItem* node) override;
    bool MayDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target) const override;
    bool WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target) override;
    void ReloadTree() override;

private:
    bool LoadItemTree();
    TItem InputRecord(qint32 itemID) const;
    void SetNode(QTreeWidgetItem* node, const TItem& item);
    bool AddItem(QTreeWidgetItem* parent);
    bool UpdateSelectedItem();
    void EnterItemMode(const QString& mode, const QString& text);

    std::unique_ptr<Ui::TFrmGroupCfg> ui;
    bool m_shown = false;
};
