#pragma once

#include "FunctionTree.h"
#include "TreeEditorForm.h"

#include <memory>

namespace Ui {
class TFrmRight;
}

// "功能定义": edits the function catalogue.  The tree shows every function as
// name(number); functions are added beside or below the selected one, edited,
// deleted with their grants and references, found by number, moved under
// another function by drag and drop, and ordered in FrmRightOrder.
class TFrmRight : public TreeEditorForm
{
    Q_OBJECT
public:
    explicit TFrmRight(QWidget* parent = nullptr);
    ~TFrmRight() override;

public slots:
    void FormShow();
    void btnEditClick();
    void btnAddSameClick();
    void btnAddChildClick();
    void btnSaveClick();
    void btnCancelClick();
    void btnDeleteClick();
    void btnDetectClick();
    void btnPosClick();
    void chkDragClick();
    void btnRootOrderClick();
    void btnChildOrderClick();
    void tvRightDragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // Makes a function below another a top-level function (drag mode).
    void MoveToTopLevel(QTreeWidgetItem* node);

protected:
    void showEvent(QShowEvent* event) override;
    void ShowNode(QTreeWidgetItem* node) override;
    void ClearInputs() override;
    bool MayDelete(QTreeWidgetItem* node) override;
    bool DeleteRecord(QTreeWidgetItem* node) override;
    bool WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target) override;
    void ReloadTree() override;

private:
    void ClearFunctionFields();
    TFunc FieldsRecord() const;
    bool AddSameLevel();
    bool AddChildFunction();
    bool SaveFunctionChanges();
    bool CheckNewNumber();
    bool CheckFormModal();
    void tvRightContextMenu(const QPoint& pos);
    // Refuses a change that would leave an editor without any entry.
    bool MayStore(const TFunc& func);
    void SetNode(QTreeWidgetItem* node, const TFunc& func);

    std::unique_ptr<Ui::TFrmRight> ui;
    bool m_shown = false;
};
