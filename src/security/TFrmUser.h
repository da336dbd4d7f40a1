#pragma once

#include "TDefForm.h"
#include "UnsavedInput.h"
#include "UserAdmin.h"

#include <memory>

namespace Ui {
class TFrmUser;
}
class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

// "用户管理": the accounts of AC_USERINFO with their personal data, account
// switch and password expiry (page "基本信息", sub-right 400131), and the
// roles and functions granted to them (page "系统权限", sub-right 400132).
// Browse, "ADD" and "UPDATE" modes as the other administration forms.
class TFrmUser : public TDefForm
{
    Q_OBJECT
public:
    explicit TFrmUser(QWidget* parent = nullptr);
    ~TFrmUser() override;

    QString EditMode;
    QString SelectedUserID;
    bool CanEditBasic = false;
    bool CanEditRights = false;
    int SortColumn = 0;
    bool SortAscending = false;

    // Data roles of a grant row of lvRight: its key and its kind.
    static constexpr int GrantKeyRole = Qt::UserRole + 1;
    static constexpr int GrantKindRole = Qt::UserRole + 2;
    // Appends name(key) to `list` unless a grant of that kind and key is
    // already there; true when the row was added.
    static bool AddGrantRow(const QString& name, const QString& key, QTreeWidget* list, UserGrant::Kind kind);
    // The grants of lvRight, in list order.
    QList<UserGrant> GrantRows() const;

    // In an edit mode with typed input; saving is 保存.
    bool HasUnsavedInput() const override;
    bool SaveUnsavedInput() override;
    void DiscardUnsavedInput() override;

public slots:
    void FormShow();
    void lvUserColumnClick(int column);
    void lvUserSelectItem();
    void edtKeyWordChange();
    void btnEditClick();
    void btnAddClick();
    void btnSaveClick();
    void btnDeleteClick();
    void btnCancelClick();
    void rbOutOfDateClick();
    void rbNotOverDueClick();
    void btnAddRoleClick();
    void btnDeleteRoleClick();
    void btnAddFuncClick();
    void btnDeleteFuncClick();
    void btnPl_1Click();
    void btnPl_2Click();
    void btnResetPasswordClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ClearUserFields();
    bool LoadUserRows(QTreeWidget* list);
    void LoadGrantRows(QTreeWidget* list, const QString& userID);
    void LoadUser(const QString& userID);
    void ShowUserPanel(int page);
    QString ValidateUser(QChar kind) const;
    UserRecord FieldsToRecord() const;
    void SetBasicInputs(bool editable, bool withUserID);
    void SetRightsInputs(bool enabled);
    void FillCodeCombo(QComboBox* combo, const QString& sql, const char* codeField, const char* nameField);
    QTreeWidgetItem* SelectedUserRow() const;
    void UpdateResetButton();

    std::unique_ptr<Ui::TFrmUser> ui;
    bool m_shown = false;
    QString m_loadedUserID;   // the user whose stored data the fields show
    qint64 m_rowVersion = 0;  // that user's row version as read
    bool m_grantsRead = true; // lvRight holds that user's grants in full
    InputWatch* m_watch = nullptr;
};
