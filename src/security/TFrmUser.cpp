#include "TFrmUser.h"
#include "ui_TFrmUser.h"

#include "AccountGuard.h"
#include "DataAccess.h"
#include "Dialogs.h"
#include "FunctionTree.h"
#include "InputShade.h"
#include "RoleRows.h"
#include "SessionRights.h"
#include "TDataM.h"
#include "UpperCaseValidator.h"
#include "Utilities.h"
#include "VersionedRow.h"

#include <QCollator>
#include <QHeaderView>
#include <QSignalBlocker>

namespace {

// Line breaks inside the form's messages: LF, then CR.
const QString LfCr = QStringLiteral("\n\r");

// The user name of a list row without the state shown after it.
constexpr int PlainNameRole = Qt::UserRole + 10;

QString PlainName(const QTreeWidgetItem* row)
{
    const QVariant name = row->data(1, PlainNameRole);
    return name.isValid() ? name.toString() : row->text(1);
}

// Chinese names sort by their pinyin, as a shop's staff list is read.
const QCollator& PinyinCollator()
{
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::Chinese, QLocale::China)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

// User codes sort without regard to the case of ASCII letters, names in
// pinyin order.
class UserRowItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == 1)
            return PinyinCollator().compare(PlainName(this), PlainName(&other)) < 0;
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

// Code and name of a list row; an account that cannot log in is grey, with
// its state after the name and in the tooltip.
void ShowUserRow(QTreeWidgetItem* row, const UserListRow& user)
{
    QString state;
    QString tip;
    if (!user.IsUse) {
        state = QStringLiteral("(已停用)");
        tip = QStringLiteral("该账号已停用");
    } else if (user.Expired) {
        state = QStringLiteral("(已过期)");
        tip = QStringLiteral("该账号的密码已过期");
    }
    row->setText(0, user.UserID);
    row->setText(1, user.UserName + state);
    row->setData(1, PlainNameRole, user.UserName);
    for (int column = 0; column < 2; ++column) {
        row->setToolTip(column, tip);
        if (state.isEmpty())
            row->setData(column, Qt::ForegroundRole, QVariant());
        else
            row->setForeground(column, QColor(Qt::gray));
    }
}

// The start date a user has not been given shows as a blank box.
const QDate NoDate(1900, 1, 1);

bool IsCurrentUser(const QString& userID)
{
    return userID.compare(SessionRights::CurrentUserID().trimmed(), Qt::CaseInsensitive) == 0;
}

QString GrantCaption(const QString& name, const QString& key)
{
    return name + QLatin1Char('(') + key + QLatin1Char(')');
}

QString GrantKindText(UserGrant::Kind kind)
{
    return kind == UserGrant::Role ? QStringLiteral("角色") : QStringLiteral("功能");
}

// The code of the chosen "code-name" entry; 0 for the empty entry.
qint64 ChosenCode(const QComboBox* combo)
{
    QString code;
    QString name;
    SplitCodeAndName(combo->currentText(), code, name);
    return TextToInt(code);
}

// The entry whose code is exactly `code`; the empty first entry otherwise.
void SelectCode(QComboBox* combo, qint64 code)
{
    int index = combo->count() > 0 ? 0 : -1;
    for (int i = 1; i < combo->count(); ++i) {
        QString entryCode;
        QString name;
        SplitCodeAndName(combo->itemText(i), entryCode, name);
        if (TextToInt(entryCode) == code) {
            index = i;
            break;
        }
    }
    combo->setCurrentIndex(index);
}

} // namespace

TFrmUser::TFrmUser(QWidget* parent) : TDefForm(parent), ui(std::make_unique<Ui::TFrmUser>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("FrmUser"));

    for (QLineEdit* edit : {ui->edtKeyWord, ui->edtUserID, ui->edtHomeTel, ui->edtMobileTel, ui->edtWorkTel,
                            ui->edtEmail, ui->edtQQ, ui->edtMSN, ui->edtAddress})
        edit->setValidator(new UpperCaseValidator(edit));
    ui->edtKeyWord->setAttribute(Qt::WA_InputMethodEnabled, false);
    ui->dtWorkStartDate->setMinimumDate(NoDate);
    ui->dtWorkStartDate->setSpecialValueText(QStringLiteral(" "));
    ui->cmbSex->addItems({QString(), QStringLiteral("男"), QStringLiteral("女")});

    ui->lvUser->setColumnWidth(0, 70);
    ui->lvUser->setColumnWidth(1, 80);
    ui->lvUser->header()->setSectionsClickable(true);
    ui->lvUser->header()->setSortIndicatorShown(false);
    ui->LvRole->setColumnWidth(0, 100);
    ui->LvRole->setColumnWidth(1, 138);
    ui->lvRight->setColumnWidth(0, 150);
    ui->lvRight->setColumnWidth(1, 200);

    // Nothing to show until the sub-rights are known (FormShow).
    ui->btnPl_1->hide();
    ui->btnPl_2->hide();
    ui->pl_1->hide();
    ui->Pl_2->hide();
    SetBasicInputs(false, true);
    SetRightsInputs(false);

    m_watch = new InputWatch(this);
    m_watch->Watch({ui->edtUserID,     ui->edtUserName,  ui->cmbDept,         ui->cmbWorkPost,
                    ui->cmbPersonType, ui->cmbSex,       ui->dtWorkStartDate, ui->edtHomeTel,
                    ui->edtMobileTel,  ui->edtWorkTel,   ui->edtEmail,        ui->edtQQ,
                    ui->edtMSN,        ui->edtAddress,   ui->chkEnableUser,   ui->rbNotOverDue,
                    ui->rbOutOfDate,   ui->dtOutOfDate,  ui->btnAddRole,      ui->btnDeleteRole,
                    ui->btnAddFunc,    ui->btnDeleteFunc});

    connect(ui->lvUser->header(), &QHeaderView::sectionClicked, this, &TFrmUser::lvUserColumnClick);
    connect(ui->lvUser, &QTreeWidget::itemSelectionChanged, this, &TFrmUser::lvUserSelectItem);
    connect(ui->edtKeyWord, &QLineEdit::textChanged, this, &TFrmUser::edtKeyWordChange);
    connect(ui->btnEdit, &QPushButton::clicked, this, &TFrmUser::btnEditClick);
    connect(ui->btnAdd, &QPushButton::clicked, this, &TFrmUser::btnAddClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TFrmUser::btnSaveClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmUser::btnDeleteClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TFrmUser::btnCancelClick);
    connect(ui->rbOutOfDate, &QRadioButton::clicked, this, &TFrmUser::rbOutOfDateClick);
    connect(ui->rbNotOverDue, &QRadioButton::clicked, this, &TFrmUser::rbNotOverDueClick);
    connect(ui->btnAddRole, &QToolButton::clicked, this, &TFrmUser::btnAddRoleClick);
    connect(ui->btnDeleteRole, &QToolButton::clicked, this, &TFrmUser::btnDeleteRoleClick);
    connect(ui->btnAddFunc, &QToolButton::clicked, this, &TFrmUser::btnAddFuncClick);
    connect(ui->btnDeleteFunc, &QToolButton::clicked, this, &TFrmUser::btnDeleteFuncClick);
    connect(ui->btnPl_1, &QPushButton::clicked, this, &TFrmUser::btnPl_1Click);
    connect(ui->btnPl_2, &QPushButton::clicked, this, &TFrmUser::btnPl_2Click);
    connect(ui->btnResetPassword, &QPushButton::clicked, this, &TFrmUser::btnResetPasswordClick);
}

TFrmUser::~TFrmUser() = default;

void TFrmUser::showEvent(QShowEvent* event)
{
    TDefForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFrmUser::FormShow()
{
    CanEditBasic = SessionRights::IsGranted(QStringLiteral("400131"));
    CanEditRights = SessionRights::IsGranted(QStringLiteral("400132"));
    if (CanEditBasic)
        ShowUserPanel(1);
    else if (CanEditRights)
        ShowUserPanel(2);
    else
        ShowUserPanel(0);
    ui->btnPl_1->setVisible(CanEditBasic);
    ui->btnPl_2->setVisible(CanEditRights);
    ui->btnDelete->setEnabled(CanEditBasic || CanEditRights);
    ui->btnResetPassword->setVisible(CanEditBasic);
    UpdateResetButton();

    FillCodeCombo(ui->cmbDept, QStringLiteral("select * from AC_DEPT"), "DeptID", "DeptName");
    FillCodeCombo(ui->cmbWorkPost, QStringLiteral("select * from AC_WORKPOST"), "PostID", "PostName");
    FillCodeCombo(ui->cmbPersonType, QStringLiteral("select * from AC_PERSONTYPE"), "TypeID", "TypeName");
    LoadRoleRows(ui->LvRole);
    LoadUserRows(ui->lvUser);
    ui->dtOutOfDate->setDate(QDate::currentDate());
    ui->dtWorkStartDate->setDate(QDate::currentDate());
    LoadFunctionTree(ui->tvRight, FunctionTreeForm::UserAdmin);
}

void TFrmUser::FillCodeCombo(QComboBox* combo, const QString& sql, const char* codeField,
                             const char* nameField)
{
    combo->clear();
    combo->addItem(QString());
    MemDataset rows;
    if (OpenQuery(sql, rows)) {
        for (rows.First(); !rows.Eof(); rows.Next())
            combo->addItem(rows.AsString(QLatin1String(codeField)).trimmed() + QLatin1Char('-') +
                           rows.AsString(QLatin1String(nameField)).trimmed());
    }
    combo->setCurrentIndex(0);
}

bool TFrmUser::LoadUserRows(QTreeWidget* list)
{
    QList<UserListRow> users;
    const QSignalBlocker blocker(list);
    list->clear();
    if (!UserAdmin::LoadUserList(users))
        return false;
    for (const UserListRow& user : users)
        ShowUserRow(new UserRowItem(list), user);
    return true;
}

void TFrmUser::LoadGrantRows(QTreeWidget* list, const QString& userID)
{
    list->clear();
    QList<UserGrant> grants;
    m_grantsRead = UserAdmin::LoadGrants(userID, grants);
    for (const UserGrant& grant : grants)
        AddGrantRow(grant.name, grant.key, list, grant.kind);
    // A list read in part must never be written back as the user's grants.
    if (!m_grantsRead)
        ShowMessage(QStringLiteral("读取该用户的权限时出错，不能保存该用户的资料！"), this);
}

bool TFrmUser::AddGrantRow(const QString& name, const QString& key, QTreeWidget* list, UserGrant::Kind kind)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        if (row->data(0, GrantKeyRole).toString() == key && row->data(0, GrantKindRole).toInt() == kind)
            return false;
    }
    auto* row = new QTreeWidgetItem(list, {GrantCaption(name, key), GrantKindText(kind)});
    row->setData(0, GrantKeyRole, key);
    row->setData(0, GrantKindRole, int(kind));
    return true;
}

QList<UserGrant> TFrmUser::GrantRows() const
{
    QList<UserGrant> grants;
    for (int i = 0; i < ui->lvRight->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ui->lvRight->topLevelItem(i);
        const auto kind = static_cast<UserGrant::Kind>(row->data(0, GrantKindRole).toInt());
        grants.append({kind, row->data(0, GrantKeyRole).toString(), row->text(0)});
    }
    return grants;
}

void TFrmUser::ShowUserPanel(int page)
{
    ui->pl_1->setVisible(page == 1);
    ui->Pl_2->setVisible(page == 2);
    ui->btnPl_1->setChecked(page == 1);
    ui->btnPl_2->setChecked(page == 2);
    // The explanation is what stands behind the panels.
    ui->lblNote->setVisible(page != 1 && page != 2);
}

QTreeWidgetItem* TFrmUser::SelectedUserRow() const
{
    const QList<QTreeWidgetItem*> selected = ui->lvUser->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// --- selecting and searching --------------------------------------------------

void TFrmUser::lvUserSelectItem()
{
    QTreeWidgetItem* row = SelectedUserRow();
    if (row && HasUnsavedInput() && row->text(0).trimmed() != SelectedUserID) {
        // Back on the user being edited while the user decides.
        const auto selectQuietly = [this](const QString& userID) {
            const QSignalBlocker blocker(ui->lvUser);
            for (int i = 0; i < ui->lvUser->topLevelItemCount(); ++i)
                if (ui->lvUser->topLevelItem(i)->text(0).trimmed() == userID)
                    ui->lvUser->setCurrentItem(ui->lvUser->topLevelItem(i));
        };
        const QString chosen = row->text(0).trimmed();
        selectQuietly(SelectedUserID);
        if (!ConfirmUnsavedInput())
            return;
        selectQuietly(chosen);
        row = SelectedUserRow();
    }
    if (row)
        LoadUser(row->text(0).trimmed());
}

bool TFrmUser::HasUnsavedInput() const
{
    return !EditMode.isEmpty() && m_watch->Touched();
}

bool TFrmUser::SaveUnsavedInput()
{
    btnSaveClick();
    return !m_watch->Touched();
}

void TFrmUser::DiscardUnsavedInput()
{
    btnCancelClick();
}

void TFrmUser::LoadUser(const QString& userID)
{
    SelectedUserID = userID;
    m_loadedUserID.clear();
    UserRecord user;
    QString error;
    const UserAdmin::LoadResult loaded = UserAdmin::LoadUser(userID, user, &error);
    if (loaded != UserAdmin::LoadResult::Loaded) {
        // Whatever the fields held belongs to another user: it must not be
        // saved under this one.
        ClearUserFields();
        UpdateResetButton();
        ShowMessage(loaded == UserAdmin::LoadResult::Missing
                        ? QStringLiteral("该用户已经不存在，可能已被其他用户删除。")
                        : QStringLiteral("读取用户信息出错：") + error,
                    this);
        return;
    }
    m_loadedUserID = user.UserID;
    m_rowVersion = user.RowVersion;
    ui->edtUserID->setText(user.UserID);
    ui->edtUserName->setText(user.UserName);
    SelectCode(ui->cmbDept, user.DeptID);
    SelectCode(ui->cmbWorkPost, user.WorkPostID);
    SelectCode(ui->cmbPersonType, user.PersonTypeID);
    const int sex = ui->cmbSex->findText(user.Sex, Qt::MatchExactly);
    ui->cmbSex->setCurrentIndex(sex);
    ui->dtWorkStartDate->setDate(user.WorkStartDate.isValid() ? user.WorkStartDate : NoDate);
    ui->edtHomeTel->setText(user.HomeTel);
    ui->edtWorkTel->setText(user.WorkTel);
    ui->edtMobileTel->setText(user.MobileTel);
    ui->edtEmail->setText(user.Email);
    ui->edtQQ->setText(user.QQ);
    ui->edtMSN->setText(user.MSN);
    ui->edtAddress->setText(user.Address);
    ui->chkEnableUser->setChecked(user.IsUse);
    if (!user.PassNotOver) {
        ui->rbOutOfDate->setChecked(true);
        ui->dtOutOfDate->setDate(user.PassOverDate.isValid() ? user.PassOverDate : QDate::currentDate());
        SetInputEditable(ui->dtOutOfDate, CanEditBasic && !EditMode.isEmpty());
    } else {
        ui->rbNotOverDue->setChecked(true);
        rbNotOverDueClick();
    }
    LoadGrantRows(ui->lvRight, SelectedUserID);
    LoadRoleRows(ui->LvRole);
    UpdateResetButton();
}

void TFrmUser::lvUserColumnClick(int column)
{
    ui->lblKeyWord->setText(ui->lvUser->headerItem()->text(column));
    SortColumn = column;
    ui->lvUser->sortItems(column, SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    SortAscending = !SortAscending;
}

void TFrmUser::edtKeyWordChange()
{
    const QString keyword = ui->edtKeyWord->text().trimmed();
    const int column = ui->lblKeyWord->text() == QStringLiteral("用户名称") ? 1 : 0;
    for (int i = 0; i < ui->lvUser->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ui->lvUser->topLevelItem(i);
        const QString value = column == 1 ? PlainName(row) : row->text(0);
        if (value.trimmed() != keyword)
            continue;
        ui->lvUser->setCurrentItem(row);
        ui->lvUser->scrollToItem(row);
    }
}

// --- modes --------------------------------------------------------------------

void TFrmUser::SetBasicInputs(bool editable, bool withUserID)
{
    if (withUserID)
        SetInputEditable(ui->edtUserID, editable);
    for (QWidget* input : std::initializer_list<QWidget*>{
             ui->edtUserName, ui->cmbDept, ui->cmbWorkPost, ui->cmbPersonType, ui->cmbSex,
             ui->dtWorkStartDate, ui->edtHomeTel, ui->edtMobileTel, ui->edtWorkTel, ui->edtEmail, ui->edtQQ,
             ui->edtMSN, ui->edtAddress, ui->chkEnableUser, ui->rbNotOverDue, ui->rbOutOfDate})
        SetInputEditable(input, editable);
    SetInputEditable(ui->dtOutOfDate, editable && ui->rbOutOfDate->isChecked());
}

void TFrmUser::SetRightsInputs(bool enabled)
{
    // The lists and the tree can always be browsed; the buttons change them.
    for (QWidget* list : std::initializer_list<QWidget*>{ui->LvRole, ui->tvRight, ui->lvRight})
        list->setEnabled(true);
    for (QWidget* input : std::initializer_list<QWidget*>{ui->btnAddRole, ui->btnDeleteRole, ui->btnAddFunc,
                                                          ui->btnDeleteFunc})
        input->setEnabled(enabled);
}

void TFrmUser::UpdateResetButton()
{
    // The logged-in user changes his own password with 更改密码.
    ui->btnResetPassword->setEnabled(CanEditBasic && !m_loadedUserID.isEmpty() && EditMode != "ADD" &&
                                     !IsCurrentUser(m_loadedUserID));
}

void TFrmUser::btnResetPasswordClick()
{
    QTreeWidgetItem* row = SelectedUserRow();
    if (!CanEditBasic || !row || m_loadedUserID.isEmpty() || IsCurrentUser(m_loadedUserID))
        return;
    const QString userID = m_loadedUserID;
    const QString question = QStringLiteral("确定要把用户“%1”的密码重置为用户代码吗？").arg(userID);
    if (Dialogs::Instance().Ask(this, {question, QStringLiteral("确认"), Dialogs::Icon::Question},
                                Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok)
        return;
    QString error;
    if (!UserAdmin::ResetPassword(userID, false, nullptr, &error)) {
        ShowMessage(QStringLiteral("重置密码出错：") + error, this);
        return;
    }
    // The reset counted the row version up: what the form holds is current.
    const qint64 version =
        VersionedRow::Read(QStringLiteral("AC_USERINFO"), QStringLiteral("UserID"), userID);
    if (version > 0)
        m_rowVersion = version;
    if (DataM)
        DataM->WriteUsageLog(QStringLiteral("重置用户密码：") + userID);
    ShowMessage(QStringLiteral("用户“%1”的密码已重置为用户代码。").arg(userID), this);
}

void TFrmUser::btnEditClick()
{
    QTreeWidgetItem* row = SelectedUserRow();
    if (!row)
        return;
    // Pressed during an add, the fields still hold the typed new user: what
    // is edited is the selected user as stored.
    if (EditMode == QStringLiteral("ADD"))
        LoadUser(row->text(0).trimmed());
    ui->btnEdit->setEnabled(true);
    ui->btnSave->setEnabled(true);
    ui->btnCancel->setEnabled(true);
    if (CanEditBasic) {
        SetBasicInputs(true, false);
        SetInputEditable(ui->edtUserID, false);
    }
    if (CanEditRights)
        SetRightsInputs(true);
    EditMode = QStringLiteral("UPDATE");
    m_watch->Reset();
    ui->lblState->setText(QStringLiteral("修改用户资料"));
    UpdateResetButton();
}

void TFrmUser::btnAddClick()
{
    ui->btnEdit->setEnabled(true);
    ui->btnSave->setEnabled(true);
    ui->btnCancel->setEnabled(true);
    ui->btnAdd->setEnabled(false);
    if (CanEditBasic) {
        SetBasicInputs(true, true);
        ui->dtOutOfDate->setDate(QDate::currentDate());
        ShowUserPanel(1);
    }
    if (CanEditRights)
        SetRightsInputs(true);
    ClearUserFields();
    EditMode = QStringLiteral("ADD");
    m_watch->Reset();
    ui->lblState->setText(QStringLiteral("添加用户"));
    UpdateResetButton();
    if (CanEditBasic)
        ui->edtUserID->setFocus();
}

void TFrmUser::btnCancelClick()
{
    ui->btnEdit->setEnabled(true);
    ui->btnAdd->setEnabled(true);
    ui->btnSave->setEnabled(false);
    ui->btnCancel->setEnabled(false);
    if (CanEditBasic)
        SetBasicInputs(false, true);
    if (CanEditRights)
        SetRightsInputs(false);
    EditMode.clear();
    m_watch->Reset();
    ui->lblState->setText(QStringLiteral("浏览用户信息"));
    lvUserSelectItem();
}

void TFrmUser::rbOutOfDateClick()
{
    SetInputEditable(ui->dtOutOfDate, true);
}

void TFrmUser::rbNotOverDueClick()
{
    SetInputEditable(ui->dtOutOfDate, false);
}

void TFrmUser::btnPl_1Click()
{
    ShowUserPanel(1);
}

void TFrmUser::btnPl_2Click()
{
    ShowUserPanel(2);
}

void TFrmUser::ClearUserFields()
{
    ui->edtUserID->clear();
    ui->edtUserName->clear();
    ui->dtWorkStartDate->setDate(QDate::currentDate());
    for (QComboBox* combo : {ui->cmbDept, ui->cmbWorkPost, ui->cmbPersonType, ui->cmbSex})
        if (combo->count() > 0)
            combo->setCurrentIndex(0);
    for (QLineEdit* edit : {ui->edtHomeTel, ui->edtMobileTel, ui->edtWorkTel, ui->edtEmail, ui->edtQQ,
                            ui->edtMSN, ui->edtAddress})
        edit->clear();
    ui->chkEnableUser->setChecked(true);
    ui->rbNotOverDue->setChecked(true);
    rbNotOverDueClick();
    LoadRoleRows(ui->LvRole);
    ui->lvRight->clear();
    m_grantsRead = true;
}

// --- grants -------------------------------------------------------------------

void TFrmUser::btnAddRoleClick()
{
    if (QTreeWidgetItem* role = ui->LvRole->currentItem())
        AddGrantRow(role->text(0), role->data(0, RoleIdRole).toString(), ui->lvRight, UserGrant::Role);
}

void TFrmUser::btnAddFuncClick()
{
    if (QTreeWidgetItem* node = ui->tvRight->currentItem())
        AddGrantRow(node->text(0), NodeFunc(node).FunctionID, ui->lvRight, UserGrant::Function);
}

void TFrmUser::btnDeleteRoleClick()
{
    delete ui->lvRight->currentItem();
}

void TFrmUser::btnDeleteFuncClick()
{
    delete ui->lvRight->currentItem();
}

// --- saving and deleting ------------------------------------------------------

QString TFrmUser::ValidateUser(QChar kind) const
{
    // A code or name of blanks only is as empty as no text at all: it
    // would be stored as an empty key.
    const QString code = ui->edtUserID->text().trimmed();
    QString errors;
    if (code.isEmpty())
        errors += LfCr + QStringLiteral("用户代码不能为空");
    else if (kind == QLatin1Char('A') && !UserAdmin::IsValidUserID(code))
        errors += LfCr + QStringLiteral("用户代码只能由字母、数字和下划线组成！");
    if (ui->edtUserName->text().trimmed().isEmpty())
        errors += LfCr + QStringLiteral("用户姓名不能为空");
    if (kind == QLatin1Char('A') && UserAdmin::IsValidUserID(code) && !UserAdmin::IsUserIDFree(code))
        errors += LfCr + QStringLiteral("用户代码已经存在");
    return errors;
}

UserRecord TFrmUser::FieldsToRecord() const
{
    UserRecord user;
    user.UserID = ui->edtUserID->text().trimmed();
    user.UserName = ui->edtUserName->text().trimmed();
    user.Sex = ui->cmbSex->currentText();
    user.WorkPostID = ChosenCode(ui->cmbWorkPost);
    user.DeptID = ChosenCode(ui->cmbDept);
    user.PersonTypeID = ChosenCode(ui->cmbPersonType);
    if (ui->dtWorkStartDate->date() != NoDate)
        user.WorkStartDate = ui->dtWorkStartDate->date();
    user.HomeTel = ui->edtHomeTel->text().trimmed();
    user.WorkTel = ui->edtWorkTel->text().trimmed();
    user.MobileTel = ui->edtMobileTel->text().trimmed();
    user.Email = ui->edtEmail->text().trimmed();
    user.QQ = ui->edtQQ->text().trimmed();
    user.MSN = ui->edtMSN->text().trimmed();
    user.Address = ui->edtAddress->text().trimmed();
    user.IsUse = ui->chkEnableUser->isChecked();
    user.PassNotOver = ui->rbNotOverDue->isChecked();
    user.PassOverDate = ui->dtOutOfDate->date();
    return user;
}

void TFrmUser::btnSaveClick()
{
    if (EditMode == QStringLiteral("ADD")) {
        const QString errors = ValidateUser(QLatin1Char('A'));
        if (!errors.isEmpty()) {
            ShowMessage(QStringLiteral("添加用户时发生以下错误：") + LfCr + errors, this);
            return;
        }
        const UserRecord user = FieldsToRecord();
        switch (UserAdmin::AddUser(user, GrantRows())) {
        case UserAdmin::SaveResult::UserFailed:
            ShowMessage(QStringLiteral("添加用户信息时发生错误"), this);
            return;
        case UserAdmin::SaveResult::GrantsFailed:
            ShowMessage(QStringLiteral("添加用户权限时发生错误"), this);
            return;
        case UserAdmin::SaveResult::Saved:
            break;
        }
        ShowMessage(QStringLiteral("添加用户成功"), this);
        {
            // The new row goes at the end, unsorted, and is not selected.
            const QSignalBlocker blocker(ui->lvUser);
            ShowUserRow(new UserRowItem(ui->lvUser),
                        {user.UserID, user.UserName, user.IsUse,
                         !AccountGuard::IsAccountValid(true, user.PassNotOver, user.PassOverDate,
                                                       QDate::currentDate())});
        }
        ClearUserFields();
        m_watch->Reset();
        return;
    }
    if (EditMode != QStringLiteral("UPDATE"))
        return;
    QTreeWidgetItem* row = SelectedUserRow();
    if (!row)
        return;
    // Only the user whose stored data the fields show can be written, and
    // his grants only when they were read in full.
    if (m_loadedUserID.isEmpty() ||
        m_loadedUserID.compare(row->text(0).trimmed(), Qt::CaseInsensitive) != 0) {
        ShowMessage(QStringLiteral("没有读出该用户的资料，不能保存！"), this);
        return;
    }
    const QString errors = ValidateUser(QLatin1Char('U'));
    if (!errors.isEmpty()) {
        ShowMessage(QStringLiteral("修改用户信息时发生以下错误：") + LfCr + errors, this);
        return;
    }
    if (CanEditRights && !m_grantsRead) {
        ShowMessage(QStringLiteral("读取该用户的权限时出错，不能保存该用户的资料！"), this);
        return;
    }
    UserRecord user = FieldsToRecord();
    user.UserID = m_loadedUserID;
    user.RowVersion = m_rowVersion;
    if (CanEditBasic && IsCurrentUser(user.UserID) &&
        !AccountGuard::IsAccountValid(user.IsUse, user.PassNotOver, user.PassOverDate,
                                      QDate::currentDate())) {
        ShowMessage(QString::fromUtf16(AccountGuard::CurrentUserText), this);
        return;
    }
    switch (UserAdmin::UpdateUser(user, GrantRows(), CanEditBasic, CanEditRights)) {
    case UserAdmin::SaveResult::UserFailed:
        ShowMessage(QStringLiteral("修改用户信息时发生错误"), this);
        return;
    case UserAdmin::SaveResult::GrantsFailed:
        ShowMessage(QStringLiteral("修改用户权限时发生错误"), this);
        return;
    case UserAdmin::SaveResult::LockedOut:
        ShowMessage(QString::fromUtf16(AccountGuard::LockOutText), this);
        return;
    case UserAdmin::SaveResult::ChangedElsewhere:
        ShowMessage(QString::fromUtf16(VersionedRow::ChangedElsewhereText), this);
        return;
    case UserAdmin::SaveResult::Missing:
        ShowMessage(QStringLiteral("该用户已经不存在，可能已被其他用户删除。"), this);
        return;
    case UserAdmin::SaveResult::Saved:
        break;
    }
    m_rowVersion = user.RowVersion;
    // Only what was stored reaches the list.
    if (CanEditBasic)
        ShowUserRow(row, {user.UserID, user.UserName, user.IsUse,
                          !AccountGuard::IsAccountValid(true, user.PassNotOver, user.PassOverDate,
                                                        QDate::currentDate())});
    m_watch->Reset();
    ShowMessage(QStringLiteral("修改用户信息成功"), this);
}

void TFrmUser::btnDeleteClick()
{
    QTreeWidgetItem* row = SelectedUserRow();
    if (!row) {
        ShowMessage(QStringLiteral("没有选择用户！"), this);
        return;
    }
    const QString userID = row->text(0).trimmed();
    // Deleting the account at the desk would take its own rights away, and
    // with the only administrator lock everybody out.
    if (IsCurrentUser(userID)) {
        ShowMessage(QStringLiteral("不能删除当前登录的用户！"), this);
        return;
    }
    const QString question = QStringLiteral("删除用户后，所有用户信息及拥有的权限都将被删除且不能恢复。") +
                             LfCr + QStringLiteral("确定要删除该用户吗？");
    if (Dialogs::Instance().Ask(this, {question, QStringLiteral("确认"), Dialogs::Icon::Question},
                                Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok) == Dialogs::Cancel)
        return;
    switch (UserAdmin::DeleteUser(userID)) {
    case UserAdmin::DeleteResult::Deleted:
        break;
    case UserAdmin::DeleteResult::LockedOut:
        ShowMessage(QString::fromUtf16(AccountGuard::LockOutText), this);
        return;
    case UserAdmin::DeleteResult::Failed:
        ShowMessage(QStringLiteral("删除用户出错！"), this);
        return;
    }
    {
        const QSignalBlocker blocker(ui->lvUser);
        delete row;
    }
    if (ui->lvUser->topLevelItemCount() > 0) {
        QTreeWidgetItem* first = ui->lvUser->topLevelItem(0);
        ui->lvUser->setCurrentItem(first);
        ui->lvUser->scrollToItem(first);
    } else {
        SelectedUserID.clear();
        ClearUserFields();
    }
    btnCancelClick();
}
