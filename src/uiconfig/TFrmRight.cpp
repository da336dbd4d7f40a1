#include "TFrmRight.h"
#include "ui_TFrmRight.h"

#include "Dialogs.h"
#include "EditorAccess.h"
#include "FunctionCatalogue.h"
#include "TFrmRightOrder.h"

#include <QMenu>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTreeWidgetItemIterator>

namespace {

QString ParentKey(const QTreeWidgetItem* node)
{
    return node && node->parent() ? NodeFunc(node->parent()).FunctionID : QStringLiteral("-1");
}

bool ParentIsPublic(const QTreeWidgetItem* node)
{
    return node && node->parent() && NodeFunc(node->parent()).IsPublic;
}

} // namespace

TFrmRight::TFrmRight(QWidget* parent) : TreeEditorForm(parent), ui(std::make_unique<Ui::TFrmRight>())
{
    ui->setupUi(this);
    resize(734, 529);
    // Typed characters other than digits are dropped; a pasted text is held
    // to the same rule.
    ui->edtFunctionID->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), ui->edtFunctionID));
    // Only the three modes, or none, can be typed or pasted.
    ui->edtFormModal->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[MSDmsd]?")), ui->edtFormModal));
    connect(ui->edtFormModal, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text != text.toUpper())
            ui->edtFormModal->setText(text.toUpper());
    });
    // The description stops where the column does.
    connect(ui->memDesc, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = ui->memDesc->toPlainText();
        const QString fitted = FunctionCatalogue::FitDescription(text);
        if (fitted == text)
            return;
        const QSignalBlocker blocker(ui->memDesc);
        ui->memDesc->setPlainText(fitted);
        ui->memDesc->moveCursor(QTextCursor::End);
    });
    ui->tvRight->SetDropOnEmpty(true);
    ui->tvRight->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tvRight, &QWidget::customContextMenuRequested, this, &TFrmRight::tvRightContextMenu);
    connect(ui->tvRight, &DragTree::droppedOnEmpty, this, &TFrmRight::MoveToTopLevel);
    ui->tvRight->setAccessibleName(QStringLiteral("功能定义"));

    Parts parts = PartsByName(ui->tvRight);
    parts.inputs = {ui->edtFunctionID, ui->edtFunctionName, ui->edtControlName,
                    ui->edtFormModal,  ui->chkIsPublic,     ui->memDesc};
    parts.coloured = {ui->edtFunctionID, ui->edtFunctionName, ui->edtControlName, ui->edtFormModal,
                      ui->memDesc};
    // Locate, the number check and the order buttons stay usable in drag mode.
    parts.dragLocksOrder = false;
    SetUpEditor(parts,
                {QStringLiteral("没有选择任何功能！"), QStringLiteral("该项目下尚有子功能，不能删除！"),
                 QStringLiteral("确定要删除该项目吗？")});
    connect(ui->tvRight, &DragTree::nodeDropped, this, &TFrmRight::tvRightDragDrop);

    connect(ui->btnEdit, &QPushButton::clicked, this, &TFrmRight::btnEditClick);
    connect(ui->btnAddSame, &QPushButton::clicked, this, &TFrmRight::btnAddSameClick);
    connect(ui->btnAddChild, &QPushButton::clicked, this, &TFrmRight::btnAddChildClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TFrmRight::btnSaveClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TFrmRight::btnCancelClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmRight::btnDeleteClick);
    connect(ui->btnDetect, &QPushButton::clicked, this, &TFrmRight::btnDetectClick);
    connect(ui->btnPos, &QPushButton::clicked, this, &TFrmRight::btnPosClick);
    connect(ui->edtPos, &QLineEdit::returnPressed, this, &TFrmRight::btnPosClick);
    connect(ui->chkDrag, &QCheckBox::clicked, this, &TFrmRight::chkDragClick);
    connect(ui->btnRootOrder, &QPushButton::clicked, this, &TFrmRight::btnRootOrderClick);
    connect(ui->btnChildOrder, &QPushButton::clicked, this, &TFrmRight::btnChildOrderClick);
}

TFrmRight::~TFrmRight() = default;

void TFrmRight::showEvent(QShowEvent* event)
{
    TreeEditorForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFrmRight::FormShow()
{
    ReloadTree();
}

void TFrmRight::ReloadTree()
{
    LoadFunctionTree(ui->tvRight, FunctionTreeForm::CatalogueEditor);
}

void TFrmRight::ShowNode(QTreeWidgetItem* node)
{
    const TFunc func = NodeFunc(node);
    ui->edtFunctionID->setText(func.FunctionID);
    ui->edtFunctionName->setText(func.FunctionName);
    ui->edtControlName->setText(func.ControlName);
    ui->edtFormModal->setText(func.FormModal);
    ui->chkIsPublic->setChecked(func.IsPublic);
    ui->memDesc->setPlainText(func.FunctionDesc);
}

void TFrmRight::ClearFunctionFields()
{
    ui->edtFunctionID->clear();
    ui->edtFunctionName->clear();
    ui->edtControlName->clear();
    ui->edtFormModal->clear();
    ui->memDesc->clear();
    ui->chkIsPublic->setChecked(false);
}

void TFrmRight::ClearInputs()
{
    ClearFunctionFields();
}

TFunc TFrmRight::FieldsRecord() const
{
    TFunc func;
    func.FunctionID = ui->edtFunctionID->text();
    func.FunctionName = ui->edtFunctionName->text();
    func.ControlName = ui->edtControlName->text();
    func.FormModal = ui->edtFormModal->text();
    func.FunctionDesc = ui->memDesc->toPlainText();
    func.IsPublic = ui->chkIsPublic->isChecked();
    return func;
}

void TFrmRight::SetNode(QTreeWidgetItem* node, const TFunc& func)
{
    node->setText(0, FunctionNodeCaption(func, FunctionTreeForm::CatalogueEditor));
    SetNodeFunc(node, func);
}

void TFrmRight::btnAddSameClick()
{
    EnterMode(QStringLiteral("ADDSAME"), QStringLiteral("平级添加数据"));
    ClearFunctionFields();
    ui->edtFunctionID->setFocus();
}

void TFrmRight::btnAddChildClick()
{
    EnterMode(QStringLiteral("ADDCHILD"), QStringLiteral("添加子功能"));
    ClearFunctionFields();
    ui->edtFunctionID->setFocus();
}

void TFrmRight::btnEditClick()
{
    if (!Selected())
        return;
    // The number of a function never changes.
    EnterMode(QStringLiteral("UPDATE"), QStringLiteral("修改数据"), {ui->edtFunctionID});
    ui->edtFunctionName->setFocus();
}

void TFrmRight::btnCancelClick()
{
    CancelEdit();
}

void TFrmRight::btnSaveClick()
{
    const QString mode = EditMode();
    if (mode == QLatin1String("UPDATE")) {
        // The number shown is the stored one of the selected node.
        SaveFunctionChanges();
        return;
    }
    if (mode == QLatin1String("ADDCHILD") && !Selected()) {
        ShowMessage(QStringLiteral("没有选择任何功能！"), this);
        return;
    }
    if (!FunctionCatalogue::IsValidFunctionID(ui->edtFunctionID->text())) {
        ShowMessage(QStringLiteral("功能编号必须是数字"), this);
        return;
    }
    if (mode == QLatin1String("ADDSAME")) {
        if (AddSameLevel())
            btnAddSameClick();
    } else if (mode == QLatin1String("ADDCHILD")) {
        if (AddChildFunction())
            btnAddChildClick();
    }
}

bool TFrmRight::CheckNewNumber()
{
    if (ui->edtFunctionID->text().isEmpty() || ui->edtFunctionName->text().isEmpty()) {
        ShowMessage(QStringLiteral("功能编号和功能名称是必填项！"), this);
        return false;
    }
    if (!FunctionCatalogue::IsFunctionIDFree(ui->edtFunctionID->text())) {
        ShowMessage(QStringLiteral("该功能编号已经存在，请使用其他编号！"), this);
        return false;
    }
    return CheckFormModal();
}

bool TFrmRight::CheckFormModal()
{
    if (FunctionCatalogue::IsValidFormModal(ui->edtFormModal->text()))
        return true;
    ShowMessage(QStringLiteral("窗体模式只能是 M、S、D 或空！"), this);
    return false;
}

bool TFrmRight::AddSameLevel()
{
    if (!CheckNewNumber())
        return false;
    QTreeWidgetItem* anchor = Selected();
    TFunc func = FieldsRecord();
    // A function below a public function is public itself.
    if (ParentIsPublic(anchor))
        func.IsPublic = true;
    if (!FunctionCatalogue::InsertFunction(func, ParentKey(anchor))) {
        ShowMessage(QStringLiteral("添加数据出错！"), this);
        return false;
    }
    SetNode(AppendSibling(anchor), func);
    ClearFunctionFields();
    RecordsChanged();
    ShowMessage(QStringLiteral("添加数据成功！"), this);
    return true;
}

bool TFrmRight::AddChildFunction()
{
    if (!CheckNewNumber())
        return false;
    QTreeWidgetItem* parent = Selected();
    if (!parent)
        return false;
    TFunc func = FieldsRecord();
    if (NodeFunc(parent).IsPublic)
        func.IsPublic = true;
    if (!FunctionCatalogue::InsertFunction(func, NodeFunc(parent).FunctionID)) {
        ShowMessage(QStringLiteral("添加数据出错！"), this);
        return false;
    }
    SetNode(AppendChild(parent), func);
    parent->setExpanded(true);
    ClearFunctionFields();
    RecordsChanged();
    ShowMessage(QStringLiteral("添加数据成功！"), this);
    return true;
}

bool TFrmRight::SaveFunctionChanges()
{
    QTreeWidgetItem* node = Selected();
    if (!node) {
        ShowMessage(QStringLiteral("没有选择任何功能，更新失败！"), this);
        return false;
    }
    if (ui->edtFunctionName->text().isEmpty()) {
        ShowMessage(QStringLiteral("功能名称是必填项！"), this);
        return false;
    }
    if (!CheckFormModal())
        return false;
    TFunc func = FieldsRecord();
    func.FunctionID = NodeFunc(node).FunctionID;
    func.RowVersion = NodeFunc(node).RowVersion;
    func.FunctionDesc = FunctionCatalogue::FitDescription(func.FunctionDesc);
    if (ParentIsPublic(node))
        func.IsPublic = true;
    if (!MayStore(func))
        return false;
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!FunctionCatalogue::UpdateFunction(func, ParentKey(node), &outcome)) {
        ShowMessage(WriteFailureText(outcome, QStringLiteral("写数据时出错，更新失败！")), this);
        return false;
    }
    SetNode(node, func);
    RecordsChanged();
    ShowMessage(QStringLiteral("更新数据成功！"), this);
    return true;
}

void TFrmRight::btnDetectClick()
{
    // The same rule as saving, with the reason a number cannot be used.
    const QString problem = FunctionCatalogue::FunctionIDProblem(ui->edtFunctionID->text(), true);
    ShowMessage(problem.isEmpty() ? QStringLiteral("该功能编号可以使用") : problem, this);
}

void TFrmRight::btnDeleteClick()
{
    DeleteSelected();
}

bool TFrmRight::MayStore(const TFunc& func)
{
    EditorAccess::Change change;
    change.table = EditorAccess::Change::Catalogue;
    change.key = func.FunctionID;
    change.controlName = func.ControlName;
    return EditorAccess::MayChange(change, this);
}

bool TFrmRight::MayDelete(QTreeWidgetItem* node)
{
    EditorAccess::Change change;
    change.table = EditorAccess::Change::Catalogue;
    change.key = NodeFunc(node).FunctionID;
    change.removed = true;
    return EditorAccess::MayChange(change, this);
}

bool TFrmRight::DeleteRecord(QTreeWidgetItem* node)
{
    return FunctionCatalogue::DeleteFunction(NodeFunc(node).FunctionID);
}

void TFrmRight::btnPosClick()
{
    const QString key = ui->edtPos->text().trimmed();
    if (key.isEmpty())
        return;
    QTreeWidgetItem* node = FindFunctionNode(ui->tvRight, key);
    if (!node) {
        ShowMessage(QStringLiteral("未找到功能号为 ") + key + QStringLiteral(" 的定义，请检查输入!"), this);
        return;
    }
    ui->tvRight->setCurrentItem(node);
    ui->tvRight->scrollToItem(node);
}

void TFrmRight::chkDragClick()
{
    ToggleDragMode();
}

void TFrmRight::tvRightDragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    DropNode(dragged, target);
}

bool TFrmRight::WriteParent(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    TFunc func = NodeFunc(dragged);
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!FunctionCatalogue::UpdateFunction(func, NodeFunc(target).FunctionID, &outcome)) {
        m_writeFailure = WriteFailureText(outcome, QString());
        return false;
    }
    SetNode(dragged, func);
    return true;
}

void TFrmRight::MoveToTopLevel(QTreeWidgetItem* node)
{
    if (!node || !node->parent() || !ui->chkDrag->isChecked())
        return;
    TFunc func = NodeFunc(node);
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!FunctionCatalogue::UpdateFunction(func, QStringLiteral("-1"), &outcome)) {
        ShowMessage(WriteFailureText(outcome, QStringLiteral("写数据时出错，更新失败！")), this);
        ReloadTree();
        return;
    }
    // Last among the top-level functions until the next load sorts by OrderNum.
    QList<QTreeWidgetItem*> expanded;
    for (QTreeWidgetItemIterator it(node); *it && DragTree::IsInSubtree(*it, node); ++it)
        if ((*it)->isExpanded())
            expanded << *it;
    node->parent()->takeChild(node->parent()->indexOfChild(node));
    ui->tvRight->addTopLevelItem(node);
    for (QTreeWidgetItem* n : expanded)
        n->setExpanded(true);
    SetNode(node, func);
    ui->tvRight->setCurrentItem(node);
    ui->tvRight->scrollToItem(node);
}

void TFrmRight::tvRightContextMenu(const QPoint& pos)
{
    QTreeWidgetItem* node = ui->tvRight->itemAt(pos);
    if (!node)
        node = Selected();
    QMenu menu(this);
    QAction* toTop = menu.addAction(QStringLiteral("移到顶层"));
    toTop->setObjectName(QStringLiteral("actMoveToTop"));
    // Moving belongs to the drag mode, where editing is off.
    toTop->setEnabled(node && node->parent() && ui->chkDrag->isChecked());
    if (menu.exec(ui->tvRight->viewport()->mapToGlobal(pos)) == toTop)
        MoveToTopLevel(node);
}

void TFrmRight::btnRootOrderClick()
{
    TFrmRightOrder* dialog = FrmRightOrder();
    dialog->LoadOrderList(QStringLiteral("功能定义根项"), QStringLiteral("-1"));
    dialog->exec();
}

void TFrmRight::btnChildOrderClick()
{
    QTreeWidgetItem* node = Selected();
    if (!node)
        return;
    const TFunc func = NodeFunc(node);
    TFrmRightOrder* dialog = FrmRightOrder();
    dialog->LoadOrderList(func.FunctionName, func.FunctionID);
    dialog->exec();
}
