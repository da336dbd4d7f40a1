#pragma once

#include "TDefForm.h"
#include "UnsavedInput.h"

#include <QStringList>
#include <memory>

namespace Ui {
class TFrmRole;
}
class QTreeWidgetItem;

// "角色管理": the roles of AC_ROLEINFO and the functions each grants, edited
// in a check tree of the whole catalogue.  Only the topmost fully checked
// functions are stored; a grant covers everything below it.
class TFrmRole : public TDefForm
{
    Q_OBJECT
public:
    explicit TFrmRole(QWidget* parent = nullptr);
    ~TFrmRole() override;

    QString EditMode;
    qint64 CurrentRoleID = -1;

    // FunctionIDs of the checked nodes whose parent is not checked, in tree
    // order: what a save stores.
    QStringList TopmostCheckedFunctions() const;

public slots:
    void FormShow();
    void LvRoleClick();
    void btnEditClick();
    void btnAddClick();
    void btnSaveClick();
    void btnDeleteClick();
    void btnCancelClick();

public:
    // In an edit mode with typed input; saving is 保存.
    bool HasUnsavedInput() const override;
    bool SaveUnsavedInput() override;
    void DiscardUnsavedInput() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Another role row was selected: typed input is asked about first.
    void RoleRowChanged();
    void ClearRoleFields();
    void LoadRoleFunctions(qint64 roleID);
    void SetInputs(bool editable);
    QTreeWidgetItem* SelectedRoleRow() const;

    std::unique_ptr<Ui::TFrmRole> ui;
    bool m_shown = false;
    InputWatch* m_watch = nullptr;
};
