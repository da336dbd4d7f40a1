#include "TFrmGroupCfg.h"
#include "ui_TFrmGroupCfg.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "EditorAccess.h"
#include "FunctionTree.h"
#include "GroupBarTable.h"
#include "IconList.h"
#include "PickerTree.h"
#include "SeedData.h"
#include "TFrmItemOrder.h"
#include "Utilities.h"

#include <QHash>

namespace {

constexpr int ItemRole = Qt::UserRole + 3;
const char ItemQuery[] = "select * from AC_GROUPCFG ORDER BY ORDERNUM";

} // namespace

TFrmGroupCfg::TFrmGroupCfg(QWidget* parent) : TreeEditorForm(parent), ui(std::make_unique<Ui::TFrmGroupCfg>())
{
    ui->setupUi(this);
    resize(767, 550);
    ui->tvItem->setAccessibleName(QStringLiteral("GroupBar设置"));
    ui->splLeft->setSizes({240, 515});
    ui->splLeft->setStretchFactor(1, 1);

    Parts parts = PartsByName(ui->tvItem);
    parts.inputs = {ui->edtText, ui->cmbIcon, ui->chkIsShow, ui->tvRight};
    parts.coloured = {ui->edtText, ui->cmbIcon, ui->chkIsShow};
    SetUpEditor(parts,
                {QStringLiteral("没有选择任何项目！"), QStringLiteral("该项目下尚有子项目，不能删除！"),
                 QStringLiteral("确定要删除该项目吗？")});
    // A right click selects the item under the pointer, too.
    ui->tvItem->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tvItem, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QTreeWidgetItem* node = ui->tvItem->itemAt(pos))
            ui->tvItem->setCurrentItem(node);
    });

    connect(ui->tvItem, &DragTree::nodeDropped, this, &TFrmGroupCfg::tvItemDragDrop);
    connect(ui->btnEdit, &QPushButton::clicked, this, &TFrmGroupCfg::btnEditClick);
    connect(ui->btnAddSame, &QPushButton::clicked, this, &TFrmGroupCfg::btnAddSameClick);
    connect(ui->btnAddChild, &QPushButton::clicked, this, &TFrmGroupCfg::btnAddChildClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TFrmGroupCfg::btnSaveClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TFrmGroupCfg::btnCancelClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmGroupCfg::btnDeleteClick);
    connect(ui->btnClearSelFunc, &QPushButton::clicked, this, &TFrmGroupCfg::btnClearSelFuncClick);
    connect(ui->btnRootOrder, &QPushButton::clicked, this, &TFrmGroupCfg::btnRootOrderClick);
    connect(ui->btnChildOrder, &QPushButton::clicked, this, &TFrmGroupCfg::btnChildOrderClick);
    connect(ui->chkDrag, &QCheckBox::clicked, this, &TFrmGroupCfg::chkDragClick);
    connect(ui->btnRestoreDefault, &QPushButton::clicked, this, &TFrmGroupCfg::btnRestoreDefaultClick);
}

TFrmGroupCfg::~TFrmGroupCfg() = default;

TItem TFrmGroupCfg::NodeItem(const QTreeWidgetItem* node)
{
    return node ? node->data(0, ItemRole).value<TItem>() : TItem();
}

void TFrmGroupCfg::SetNode(QTreeWidgetItem* node, const TItem& item)
{
    node->setText(0, item.ItemText);
    node->setIcon(0, IconList::Icon(item.IconIndex));
    node->setData(0, ItemRole, QVariant::fromValue(item));
}

void TFrmGroupCfg::showEvent(QShowEvent* event)
{
    TreeEditorForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFrmGroupCfg::FormShow()
{
    LoadItemTree();
    LoadFunctionTree(ui->tvRight, FunctionTreeForm::GroupBarEditor);
    ui->cmbIcon->clear();
    for (int i = 0; i < IconList::Count(); ++i)
        ui->cmbIcon->addItem(IconList::Icon(i), QString::number(i));
}

void TFrmGroupCfg::ReloadTree()
{
    LoadItemTree();
}

bool TFrmGroupCfg::LoadItemTree()
{
    DragTree* tree = ui->tvItem;
    tree->clear();
    MemDataset rows;
    if (!OpenQuery(QString::fromLatin1(ItemQuery), rows)) {
        ShowMessage(QStringLiteral("初始化失败：") + QString::fromLatin1(ItemQuery), this);
        return false;
    }
    QHash<qint64, QVector<TItem>> children;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        TItem item;
        item.ItemID = qint32(rows.AsInteger(QStringLiteral("ItemID")));
        item.ItemText = rows.AsString(QStringLiteral("ItemText"));
        item.IconIndex = qint32(rows.AsInteger(QStringLiteral("IconIndex")));
        item.FunctionID = rows.AsString(QStringLiteral("FunctionID"));
        item.IsShow = rows.AsString(QStringLiteral("IsShow"));
        item.RowVersion = FieldAsInteger(rows, QStringLiteral("RowVersion"), 1);
        children[rows.AsInteger(QStringLiteral("ParentItemID"))].append(item);
    }
    BuildTree(tree, children, [](const TItem& item) { return qint64(item.ItemID); },
              [this](QTreeWidgetItem* node, const TItem& item) { SetNode(node, item); });
    return true;
}

void TFrmGroupCfg::ShowNode(QTreeWidgetItem* node)
{
    const TItem item = NodeItem(node);
    ui->edtText->setText(item.ItemText);
    ui->cmbIcon->setCurrentIndex(item.IconIndex);
    ui->chkIsShow->setChecked(item.IsShow == QLatin1String("Y"));
    SelectPickerFunction(ui->tvRight, item.FunctionID);
}

void TFrmGroupCfg::ClearInputs()
{
    ui->edtText->clear();
    if (ui->cmbIcon->count() > 0)
        ui->cmbIcon->setCurrentIndex(0);
    ui->chkIsShow->setChecked(true);
    SelectPickerFunction(ui->tvRight, QString());
}

TItem TFrmGroupCfg::InputRecord(qint32 itemID) const
{
    TItem item;
    item.ItemID = itemID;
    item.ItemText = ui->edtText->text();
    item.IconIndex = qMax(0, ui->cmbIcon->currentIndex());
    item.IsShow = ui->chkIsShow->isChecked() ? QStringLiteral("Y") : QStringLiteral("N");
    item.FunctionID = PickedFunction(ui->tvRight).FunctionID;
    return item;
}

void TFrmGroupCfg::EnterItemMode(const QString& mode, const QString& text)
{
    EnterMode(mode, text);
    ui->edtText->setFocus();
}

void TFrmGroupCfg::btnEditClick()
{
    if (!Selected())
        return;
    EnterItemMode(QStringLiteral("UPDATE"), QStringLiteral("修改项目"));
}

void TFrmGroupCfg::btnAddSameClick()
{
    EnterItemMode(QStringLiteral("ADDSAME"), QStringLiteral("添加主项"));
    ClearInputs();
}

void TFrmGroupCfg::btnAddChildClick()
{
    EnterItemMode(QStringLiteral("ADDCHILD"), QStringLiteral("添加子项"));
    ClearInputs();
}

void TFrmGroupCfg::btnCancelClick()
{
    CancelEdit();
}

void TFrmGroupCfg::btnSaveClick()
{
    const QString mode = EditMode();
    if (mode == QLatin1String("ADDSAME")) {
        if (AddItem(nullptr))
            btnAddSameClick();
    } else if (mode == QLatin1String("ADDCHILD")) {
        QTreeWidgetItem* parent = Selected();
        if (!parent)
            return;
        // The side bar has two levels: groups and their entries.
        if (parent->parent()) {
            ShowMessage(QStringLiteral("最多只能有两级,先选择主项目!"), this);
            return;
        }
        if (AddItem(parent))
            btnAddChildClick();
    } else if (mode == QLatin1String("UPDATE")) {
        UpdateSelectedItem();
    }
}

bool TFrmGroupCfg::AddItem(QTreeWidgetItem* parent)
{
    if (ui->edtText->text().isEmpty()) {
        ShowMessage(QStringLiteral("项目文字是必填项！"), this);
        return false;
    }
    TItem item = InputRecord(0);
    if (!GroupBarTable::InsertItem(item, parent ? NodeItem(parent).ItemID : 0)) {
        ShowMessage(QStringLiteral("添加数据出错！"), this);
        return false;
    }
    SetNode(parent ? AppendChild(parent) : new QTreeWidgetItem(ui->tvItem), item);
    ClearInputs();
    RecordsChanged();
    ShowMessage(QStringLiteral("添加数据成功！"), this);
    return true;
}

bool TFrmGroupCfg::UpdateSelectedItem()
{
    QTreeWidgetItem* node = Selected();
    if (!node) {
        ShowMessage(QStringLiteral("没有选择项目，更新失败！"), this);
        return false;
    }
    TItem item = InputRecord(NodeItem(node).ItemID);
    item.RowVersion = NodeItem(node).RowVersion;
    const qint32 parentID = node->parent() ? NodeItem(node->parent()).ItemID : 0;
    EditorAccess::Change change;
    change.table = EditorAccess::Change::GroupBar;
    change.key = QString::number(item.ItemID);
    change.functionID = item.FunctionID;
    change.shown = item.IsShow == QLatin1String("Y");
    if (!EditorAccess::MayChange(change, this))
        return false;
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!GroupBarTable::UpdateItem(item, parentID, &outcome)) {
        ShowMessage(WriteFailureText(outcome, QStringLiteral("写数据时出错，更新失败！")), this);
        return false;
    }
    SetNode(node, item);
    RecordsChanged();
    ShowMessage(QStringLiteral("更新数据成功！"), this);
    return true;
}

void TFrmGroupCfg::btnDeleteClick()
{
    DeleteSelected();
}

bool TFrmGroupCfg::MayDelete(QTreeWidgetItem* node)
{
    EditorAccess::Change change;
    change.table = EditorAccess::Change::GroupBar;
    change.key = QString::number(NodeItem(node).ItemID);
    change.removed = true;
    return EditorAccess::MayChange(change, this);
}

bool TFrmGroupCfg::DeleteRecord(QTreeWidgetItem* node)
{
    return GroupBarTable::DeleteItem(NodeItem(node).ItemID);
}

void TFrmGroupCfg::btnClearSelFuncClick()
{
    SelectPickerFunction(ui->tvRight, QString());
}

void TFrmGroupCfg::btnRootOrderClick()
{
    if (!Selected())
        return;
    TFrmItemOrder* dialog = FrmItemOrder();
    dialog->LoadOrderList(QStringLiteral("主项数据"), QStringLiteral("0"));
    dialog->exec();
    RecordsChanged();
}

void TFrmGroupCfg::btnChildOrderClick()
{
    QTreeWidgetItem* node = Selected();
    if (!node)
        return;
    const TItem item = NodeItem(node);
    TFrmItemOrder* dialog = FrmItemOrder();
    dialog->LoadOrderList(item.ItemText, QString::number(item.ItemID));
    dialog->exec();
    RecordsChanged();
}

void TFrmGroupCfg::btnRestoreDefaultClick()
{
    if (!ConfirmUnsavedInput())
        return;
    if (Dialogs::Instance().Ask(
            this,
            {QStringLiteral("恢复默认界面将删除所有侧边栏项目，换成程序自带的项目。\n确定要恢复吗？"),
             QString(), Dialogs::Icon::Question},
            Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok)
        return;
    QString error;
    if (!RestoreSeededInterface(SeededInterface::GroupBar, &error))
        ShowError(QStringLiteral("恢复默认侧边栏失败：") + error, QString(), this);
    CancelEdit();
    ReloadTree();
    RecordsChanged();
}

void TFrmGroupCfg::chkDragClick()
{
    ToggleDragMode();
}

void TFrmGroupCfg::tvItemDragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    DropNode(dragged, target);
}

bool TFrmGroupCfg::MayDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target) const
{
    // Only onto a main item, and only an item without sub-items: those would
    // land on a third level, which the side bar never shows.
    return !target->parent() && dragged->childCount() == 0;
}

bool TFrmGroupCfg::WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    TItem item = NodeItem(dragged);
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!GroupBarTable::UpdateItem(item, NodeItem(target).ItemID, &outcome)) {
        m_writeFailure = WriteFailureText(outcome, QString());
        return false;
    }
    SetNode(dragged, item);
    return true;
}
