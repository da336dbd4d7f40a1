#include "TfrmMenuCfg.h"
#include "ui_TfrmMenuCfg.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "EditorAccess.h"
#include "FunctionTree.h"
#include "MenuTable.h"
#include "PickerTree.h"
#include "SeedData.h"
#include "TFrmMenuOrder.h"
#include "Utilities.h"

#include <QHash>

namespace {

constexpr int MenuRole = Qt::UserRole + 3;
const char MenuQuery[] = "select * from AC_MENUSTRUCT ORDER BY ORDERNUM";

qint32 ParentMenuID(const QTreeWidgetItem* node)
{
    return node && node->parent() ? TfrmMenuCfg::NodeMenu(node->parent()).MenuID : 0;
}

} // namespace

TfrmMenuCfg::TfrmMenuCfg(QWidget* parent) : TreeEditorForm(parent), ui(std::make_unique<Ui::TfrmMenuCfg>())
{
    ui->setupUi(this);
    resize(799, 540);
    ui->tvMenu->setAccessibleName(QStringLiteral("菜单设置"));

    Parts parts = PartsByName(ui->tvMenu);
    parts.inputs = {ui->edtMenuText, ui->tvRight, ui->chkShowInToolBar};
    parts.coloured = {ui->edtMenuText};
    SetUpEditor(parts,
                {QStringLiteral("没有选择任何菜单！"), QStringLiteral("该项目下尚有子菜单，不能删除！"),
                 QStringLiteral("确定要删除该菜单吗？")});

    connect(ui->tvMenu, &DragTree::nodeDropped, this, &TfrmMenuCfg::tvMenuDragDrop);
    connect(ui->btnEdit, &QPushButton::clicked, this, &TfrmMenuCfg::btnEditClick);
    connect(ui->btnAddSame, &QPushButton::clicked, this, &TfrmMenuCfg::btnAddSameClick);
    connect(ui->btnAddChild, &QPushButton::clicked, this, &TfrmMenuCfg::btnAddChildClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TfrmMenuCfg::btnSaveClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmMenuCfg::btnCancelClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TfrmMenuCfg::btnDeleteClick);
    connect(ui->btnClearSelFunc, &QPushButton::clicked, this, &TfrmMenuCfg::btnClearSelFuncClick);
    connect(ui->btnRootOrder, &QPushButton::clicked, this, &TfrmMenuCfg::btnRootOrderClick);
    connect(ui->btnChildOrder, &QPushButton::clicked, this, &TfrmMenuCfg::btnChildOrderClick);
    connect(ui->chkDrag, &QCheckBox::clicked, this, &TfrmMenuCfg::chkDragClick);
    connect(ui->btnRestoreDefault, &QPushButton::clicked, this, &TfrmMenuCfg::btnRestoreDefaultClick);
}

TfrmMenuCfg::~TfrmMenuCfg() = default;

TMenu TfrmMenuCfg::NodeMenu(const QTreeWidgetItem* node)
{
    return node ? node->data(0, MenuRole).value<TMenu>() : TMenu();
}

void TfrmMenuCfg::SetNode(QTreeWidgetItem* node, const TMenu& menu)
{
    node->setText(0, menu.MenuText);
    node->setData(0, MenuRole, QVariant::fromValue(menu));
}

void TfrmMenuCfg::showEvent(QShowEvent* event)
{
    TreeEditorForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMenuCfg::FormShow()
{
    LoadMenuTree();
    LoadFunctionTree(ui->tvRight, FunctionTreeForm::MenuEditor);
}

void TfrmMenuCfg::ReloadTree()
{
    LoadMenuTree();
}

bool TfrmMenuCfg::LoadMenuTree()
{
    DragTree* tree = ui->tvMenu;
    tree->clear();
    MemDataset rows;
    if (!OpenQuery(QString::fromLatin1(MenuQuery), rows)) {
        ShowMessage(QStringLiteral("初始化失败：") + QString::fromLatin1(MenuQuery), this);
        return false;
    }
    QHash<qint64, QVector<TMenu>> children;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        TMenu menu;
        menu.MenuID = qint32(rows.AsInteger(QStringLiteral("MenuID")));
        menu.MenuText = rows.AsString(QStringLiteral("MenuText"));
        menu.FunctionID = rows.AsString(QStringLiteral("FunctionID"));
        menu.RowVersion = FieldAsInteger(rows, QStringLiteral("RowVersion"), 1);
        children[rows.AsInteger(QStringLiteral("ParentMenuID"))].append(menu);
    }
    BuildTree(tree, children, [](const TMenu& menu) { return qint64(menu.MenuID); },
              [this](QTreeWidgetItem* node, const TMenu& menu) { SetNode(node, menu); });
    return true;
}

void TfrmMenuCfg::ShowNode(QTreeWidgetItem* node)
{
    const TMenu menu = NodeMenu(node);
    ui->edtMenuText->setText(menu.MenuText);
    SelectPickerFunction(ui->tvRight, menu.FunctionID);
}

void TfrmMenuCfg::ClearInputs()
{
    ui->edtMenuText->clear();
    SelectPickerFunction(ui->tvRight, QString());
    ui->chkShowInToolBar->setChecked(false);
}

TMenu TfrmMenuCfg::InputRecord(qint32 menuID) const
{
    TMenu menu;
    menu.MenuID = menuID;
    menu.MenuText = ui->edtMenuText->text();
    menu.FunctionID = PickedFunction(ui->tvRight).FunctionID;
    return menu;
}

void TfrmMenuCfg::btnEditClick()
{
    if (!Selected())
        return;
    EnterMode(QStringLiteral("UPDATE"), QStringLiteral("修改菜单"), {ui->chkShowInToolBar});
    ui->edtMenuText->setFocus();
}

void TfrmMenuCfg::btnAddSameClick()
{
    EnterMode(QStringLiteral("ADDSAME"), QStringLiteral("平级添加菜单"));
    ClearInputs();
    ui->edtMenuText->setFocus();
}

void TfrmMenuCfg::btnAddChildClick()
{
    EnterMode(QStringLiteral("ADDCHILD"), QStringLiteral("添加子菜单"));
    ClearInputs();
    ui->edtMenuText->setFocus();
}

void TfrmMenuCfg::btnCancelClick()
{
    CancelEdit();
}

void TfrmMenuCfg::btnSaveClick()
{
    const QString mode = EditMode();
    if (mode == QLatin1String("ADDSAME")) {
        if (AddSameLevelMenu())
            btnAddSameClick();
    } else if (mode == QLatin1String("ADDCHILD")) {
        if (AddChildMenu())
            btnAddChildClick();
    } else if (mode == QLatin1String("UPDATE")) {
        UpdateSelectedMenu();
    }
}

bool TfrmMenuCfg::AddMenu(QTreeWidgetItem* parent, QTreeWidgetItem* anchor)
{
    if (ui->edtMenuText->text().isEmpty()) {
        ShowMessage(QStringLiteral("菜单文字是必填项！"), this);
        return false;
    }
    TMenu menu = InputRecord(0);
    const qint32 parentID = parent ? NodeMenu(parent).MenuID : ParentMenuID(anchor);
    if (!MenuTable::InsertMenu(menu, parentID, ui->chkShowInToolBar->isChecked())) {
        ShowMessage(QStringLiteral("添加数据出错！"), this);
        return false;
    }
    SetNode(parent ? AppendChild(parent) : AppendSibling(anchor), menu);
    ClearInputs();
    RecordsChanged();
    ShowMessage(QStringLiteral("添加数据成功！"), this);
    return true;
}

bool TfrmMenuCfg::AddSameLevelMenu()
{
    return AddMenu(nullptr, Selected());
}

bool TfrmMenuCfg::AddChildMenu()
{
    QTreeWidgetItem* parent = Selected();
    return parent && AddMenu(parent, nullptr);
}

bool TfrmMenuCfg::UpdateSelectedMenu()
{
    QTreeWidgetItem* node = Selected();
    if (!node) {
        ShowMessage(QStringLiteral("没有选择菜单，更新失败！"), this);
        return false;
    }
    TMenu menu = InputRecord(NodeMenu(node).MenuID);
    menu.RowVersion = NodeMenu(node).RowVersion;
    EditorAccess::Change change;
    change.table = EditorAccess::Change::Menu;
    change.key = QString::number(menu.MenuID);
    change.functionID = menu.FunctionID;
    if (!EditorAccess::MayChange(change, this))
        return false;
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!MenuTable::UpdateMenu(menu, ParentMenuID(node), &outcome)) {
        ShowMessage(WriteFailureText(outcome, QStringLiteral("写数据时出错，更新失败！")), this);
        return false;
    }
    SetNode(node, menu);
    RecordsChanged();
    ShowMessage(QStringLiteral("更新数据成功！"), this);
    return true;
}

void TfrmMenuCfg::btnDeleteClick()
{
    DeleteSelected();
}

bool TfrmMenuCfg::MayDelete(QTreeWidgetItem* node)
{
    EditorAccess::Change change;
    change.table = EditorAccess::Change::Menu;
    change.key = QString::number(NodeMenu(node).MenuID);
    change.removed = true;
    return EditorAccess::MayChange(change, this);
}

bool TfrmMenuCfg::DeleteRecord(QTreeWidgetItem* node)
{
    return MenuTable::DeleteMenu(NodeMenu(node).MenuID);
}

void TfrmMenuCfg::btnClearSelFuncClick()
{
    SelectPickerFunction(ui->tvRight, QString());
}

void TfrmMenuCfg::btnRootOrderClick()
{
    TFrmMenuOrder* dialog = FrmMenuOrder();
    dialog->LoadOrderList(QStringLiteral("根菜单项"), QStringLiteral("0"));
    dialog->exec();
    RecordsChanged();
}

void TfrmMenuCfg::btnChildOrderClick()
{
    QTreeWidgetItem* node = Selected();
    if (!node)
        return;
    const TMenu menu = NodeMenu(node);
    TFrmMenuOrder* dialog = FrmMenuOrder();
    dialog->LoadOrderList(menu.MenuText, QString::number(menu.MenuID));
    dialog->exec();
    RecordsChanged();
}

void TfrmMenuCfg::btnRestoreDefaultClick()
{
    if (!ConfirmUnsavedInput())
        return;
    if (Dialogs::Instance().Ask(
            this,
            {QStringLiteral("恢复默认界面将删除所有菜单项，换成程序自带的菜单。\n确定要恢复吗？"), QString(),
             Dialogs::Icon::Question},
            Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok)
        return;
    QString error;
    if (!RestoreSeededInterface(SeededInterface::Menu, &error))
        ShowError(QStringLiteral("恢复默认菜单失败：") + error, QString(), this);
    CancelEdit();
    ReloadTree();
    RecordsChanged();
}

void TfrmMenuCfg::chkDragClick()
{
    ToggleDragMode();
}

void TfrmMenuCfg::tvMenuDragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    DropNode(dragged, target);
}

bool TfrmMenuCfg::WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    TMenu menu = NodeMenu(dragged);
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!MenuTable::UpdateMenu(menu, NodeMenu(target).MenuID, &outcome)) {
        m_writeFailure = WriteFailureText(outcome, QString());
        return false;
    }
    SetNode(dragged, menu);
    return true;
}
