#include "TFrmRole.h"
#include "ui_TFrmRole.h"

#include "AccountGuard.h"
#include "Dialogs.h"
#include "FunctionTree.h"
#include "InputShade.h"
#include "RoleAdmin.h"
#include "RoleRows.h"
#include "VersionedRow.h"

#include <QSignalBlocker>
#include <QTreeWidgetItemIterator>

namespace {
// Line breaks inside the form's messages: LF, then CR.
const QString LfCr = QStringLiteral("\n\r");
} // namespace

TFrmRole::TFrmRole(QWidget* parent) : TDefForm(parent), ui(std::make_unique<Ui::TFrmRole>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("FrmRole"));
    ui->LvRole->setColumnWidth(0, 100);
    ui->LvRole->setColumnWidth(1, 200);
    SetInputs(false);

    m_watch = new InputWatch(this);
    m_watch->Watch({ui->edtRole, ui->edtDesc});
    m_watch->WatchChecks(ui->tvRight);
    connect(ui->LvRole, &QTreeWidget::itemSelectionChanged, this, &TFrmRole::RoleRowChanged);
    connect(ui->btnEdit, &QPushButton::clicked, this, &TFrmRole::btnEditClick);
    connect(ui->btnAdd, &QPushButton::clicked, this, &TFrmRole::btnAddClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TFrmRole::btnSaveClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmRole::btnDeleteClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TFrmRole::btnCancelClick);
}

TFrmRole::~TFrmRole() = default;

void TFrmRole::showEvent(QShowEvent* event)
{
    TDefForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFrmRole::FormShow()
{
    LoadRoleRows(ui->LvRole);
    LoadFunctionTree(ui->tvRight, FunctionTreeForm::RoleAdmin);
}

QTreeWidgetItem* TFrmRole::SelectedRoleRow() const
{
    const QList<QTreeWidgetItem*> selected = ui->LvRole->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TFrmRole::RoleRowChanged()
{
    QTreeWidgetItem* row = SelectedRoleRow();
    const auto selectQuietly = [this](QTreeWidgetItem* item) {
        const QSignalBlocker blocker(ui->LvRole);
        ui->LvRole->setCurrentItem(item);
    };
    QTreeWidgetItem* shown = nullptr;
    for (int i = 0; i < ui->LvRole->topLevelItemCount(); ++i)
        if (ui->LvRole->topLevelItem(i)->data(0, RoleIdRole).toLongLong() == CurrentRoleID)
            shown = ui->LvRole->topLevelItem(i);
    if (row && shown && row != shown && HasUnsavedInput()) {
        // Back on the role being edited while the user decides.
        selectQuietly(shown);
        if (!ConfirmUnsavedInput())
            return;
        selectQuietly(row);
    }
    LvRoleClick();
}

bool TFrmRole::HasUnsavedInput() const
{
    return !EditMode.isEmpty() && m_watch->Touched();
}

bool TFrmRole::SaveUnsavedInput()
{
    btnSaveClick();
    return !m_watch->Touched();
}

void TFrmRole::DiscardUnsavedInput()
{
    btnCancelClick();
}

void TFrmRole::LvRoleClick()
{
    ClearRoleFields();
    QTreeWidgetItem* row = SelectedRoleRow();
    if (!row)
        return;
    CurrentRoleID = row->data(0, RoleIdRole).toLongLong();
    ui->edtRole->setText(row->text(0));
    ui->edtDesc->setText(row->text(1));
    LoadRoleFunctions(CurrentRoleID);
}

void TFrmRole::ClearRoleFields()
{
    ui->edtRole->clear();
    ui->edtDesc->clear();
    ui->tvRight->UncheckAll();
}

void TFrmRole::LoadRoleFunctions(qint64 roleID)
{
    QStringList functionIDs;
    RoleAdmin::LoadRoleFunctions(roleID, functionIDs);
    for (const QString& id : functionIDs)
        CheckTreeNodeByID(id, ui->tvRight);
}

QStringList TFrmRole::TopmostCheckedFunctions() const
{
    QStringList ids;
    for (QTreeWidgetItemIterator it(ui->tvRight); *it; ++it) {
        const QTreeWidgetItem* node = *it;
        if (node->checkState(0) != Qt::Checked)
            continue;
        if (node->parent() && node->parent()->checkState(0) == Qt::Checked)
            continue;
        ids << NodeFunc(node).FunctionID;
    }
    return ids;
}

void TFrmRole::SetInputs(bool editable)
{
    SetInputEditable(ui->edtRole, editable);
    SetInputEditable(ui->edtDesc, editable);
    // The tree stays browsable; only its boxes follow the mode.
    ui->tvRight->setEnabled(true);
    ui->tvRight->SetChecksReadOnly(!editable);
}

void TFrmRole::btnEditClick()
{
    if (!SelectedRoleRow())
        return;
    // The selected role as stored, also when checks of an add are showing.
    LvRoleClick();
    ui->btnEdit->setEnabled(true);
    ui->btnSave->setEnabled(true);
    ui->btnCancel->setEnabled(true);
    SetInputs(true);
    ui->edtRole->setFocus();
    EditMode = QStringLiteral("UPDATE");
    m_watch->Reset();
    ui->lblState->setText(QStringLiteral("修改数据"));
}

void TFrmRole::btnAddClick()
{
    ui->btnEdit->setEnabled(true);
    ui->btnCancel->setEnabled(true);
    ui->btnSave->setEnabled(true);
    ui->btnAdd->setEnabled(false);
    SetInputs(true);
    ClearRoleFields();
    ui->edtRole->setFocus();
    EditMode = QStringLiteral("ADD");
    m_watch->Reset();
    ui->lblState->setText(QStringLiteral("添加数据"));
}

void TFrmRole::btnCancelClick()
{
    ui->btnEdit->setEnabled(true);
    ui->btnAdd->setEnabled(true);
    ui->btnCancel->setEnabled(false);
    ui->btnSave->setEnabled(false);
    SetInputs(false);
    EditMode.clear();
    m_watch->Reset();
    ui->lblState->setText(QStringLiteral("浏览数据"));
    LvRoleClick();
}

void TFrmRole::btnSaveClick()
{
    const QString name = ui->edtRole->text().trimmed();
    const QString desc = ui->edtDesc->text().trimmed();
    if (EditMode == QStringLiteral("ADD")) {
        if (name.isEmpty()) {
            ShowMessage(QStringLiteral("角色名称是必填项！"), this);
            return;
        }
        if (!RoleAdmin::IsRoleNameFree(name)) {
            ShowMessage(QStringLiteral("该角色已经存在！"), this);
            return;
        }
        const qint64 key = RoleAdmin::InsertRole(name, desc, TopmostCheckedFunctions());
        if (key < 0) {
            // Another desk may have added the name a moment ago: the
            // database's unique index refused it.
            ShowMessage(RoleAdmin::IsRoleNameFree(name) ? QStringLiteral("添加角色出错！")
                                                        : QStringLiteral("该角色已经存在！"),
                        this);
            return;
        }
        {
            const QSignalBlocker blocker(ui->LvRole);
            auto* row = new QTreeWidgetItem(ui->LvRole, {name, desc});
            row->setData(0, RoleIdRole, key);
            row->setData(0, RoleVersionRole, 1);
        }
        m_watch->Reset();
        ShowMessage(QStringLiteral("添加角色成功"), this);
        return;
    }
    if (EditMode != QStringLiteral("UPDATE"))
        return;
    QTreeWidgetItem* row = SelectedRoleRow();
    if (!row)
        return;
    // The note beside the name promises unique names; it holds on rename too.
    if (name.isEmpty()) {
        ShowMessage(QStringLiteral("角色名称是必填项！"), this);
        return;
    }
    if (!RoleAdmin::IsRoleNameFree(name, CurrentRoleID)) {
        ShowMessage(QStringLiteral("该角色已经存在！"), this);
        return;
    }
    qint64 version = row->data(0, RoleVersionRole).toLongLong();
    switch (RoleAdmin::UpdateRole(CurrentRoleID, &version, name, desc, TopmostCheckedFunctions())) {
    case RoleAdmin::WriteResult::Written:
        break;
    case RoleAdmin::WriteResult::LockedOut:
        ShowMessage(QString::fromUtf16(AccountGuard::LockOutText), this);
        return;
    case RoleAdmin::WriteResult::ChangedElsewhere:
        ShowMessage(QString::fromUtf16(VersionedRow::ChangedElsewhereText), this);
        return;
    case RoleAdmin::WriteResult::Missing:
    case RoleAdmin::WriteResult::Failed:
        ShowMessage(RoleAdmin::IsRoleNameFree(name, CurrentRoleID) ? QStringLiteral("修改角色出错！")
                                                                   : QStringLiteral("该角色已经存在！"),
                    this);
        return;
    }
    row->setData(0, RoleVersionRole, version);
    row->setText(0, name);
    row->setText(1, desc);
    m_watch->Reset();
}

void TFrmRole::btnDeleteClick()
{
    QTreeWidgetItem* row = SelectedRoleRow();
    if (!row) {
        ShowMessage(QStringLiteral("没有选择角色！"), this);
        return;
    }
    const QString question =
        QStringLiteral("删除该角色将使相应的用户失去权限。") + LfCr + QStringLiteral("确定要删除该角色吗？");
    if (Dialogs::Instance().Ask(this, {question, QStringLiteral("确认"), Dialogs::Icon::Question},
                                Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok) == Dialogs::Cancel)
        return;
    switch (RoleAdmin::DeleteRole(CurrentRoleID)) {
    case RoleAdmin::WriteResult::Written:
        break;
    case RoleAdmin::WriteResult::LockedOut:
        ShowMessage(QString::fromUtf16(AccountGuard::LockOutText), this);
        return;
    default:
        ShowMessage(QStringLiteral("删除角色出错！"), this);
        return;
    }
    {
        const QSignalBlocker blocker(ui->LvRole);
        delete row;
        ui->LvRole->clearSelection();
    }
    if (ui->LvRole->topLevelItemCount() > 0) {
        const QSignalBlocker blocker(ui->LvRole);
        ui->LvRole->setCurrentItem(ui->LvRole->topLevelItem(0));
    }
    btnCancelClick();
}
