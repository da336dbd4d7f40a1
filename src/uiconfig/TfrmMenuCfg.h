#pragma once

#include "TMenu.h"
#include "TreeEditorForm.h"

#include <memory>

namespace Ui {
class TfrmMenuCfg;
}

// "菜单设置": edits the main menu table.  Menus are added beside or below the
// selected one (optionally with a toolbar button for the same function),
// edited with the function picked from the catalogue, deleted when they
// have no submenus, moved by drag and drop and ordered in FrmMenuOrder.  The
// main window's menu follows every stored change at once.
class TfrmMenuCfg : public TreeEditorForm
{
    Q_OBJECT
public:
    explicit TfrmMenuCfg(QWidget* parent = nullptr);
    ~TfrmMenuCfg() override;

    static TMenu NodeMenu(const QTreeWidgetItem* node);

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
    // Puts the menu a new database starts with back, after a question.
    void btnRestoreDefaultClick();
    void tvMenuDragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

protected:
    void showEvent(QShowEvent* event) override;
    void ShowNode(QTreeWidgetItem* node) override;
    void ClearInputs() override;
    bool MayDelete(QTreeWidgetItem* node) override;
    bool DeleteRecord(QTreeWidgetItem* node) override;
    bool WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target) override;
    void ReloadTree() override;

private:
    bool LoadMenuTree();
    TMenu InputRecord(qint32 menuID) const;
    void SetNode(QTreeWidgetItem* node, const TMenu& menu);
    bool AddSameLevelMenu();
    bool AddChildMenu();
    bool UpdateSelectedMenu();
    bool AddMenu(QTreeWidgetItem* parent, QTreeWidgetItem* anchor);

    std::unique_ptr<Ui::TfrmMenuCfg> ui;
    bool m_shown = false;
};
