#include "TfrmToolCfg.h"
#include "ui_TfrmToolCfg.h"

#include "Dialogs.h"
#include "EditorAccess.h"
#include "FunctionTree.h"
#include "IconList.h"
#include "PickerTree.h"
#include "SeedData.h"
#include "UnsavedInput.h"
#include "Utilities.h"

#include <QHeaderView>
#include <QSignalBlocker>

namespace {

constexpr int ButtonIDRole = Qt::UserRole + 1;
constexpr int FunctionIDRole = Qt::UserRole + 2;
constexpr int FunctionNameRole = Qt::UserRole + 3;
constexpr int RowVersionRole = Qt::UserRole + 4;
// The order number stored for the row, which ▲/▼ do not change: the order
// column shows the place in the list.
constexpr int StoredOrderRole = Qt::UserRole + 5;

QString FunctionText(const QString& name, const QString& id)
{
    return id.isEmpty() ? name : name + QLatin1Char('(') + id + QLatin1Char(')');
}

} // namespace

TfrmToolCfg::TfrmToolCfg(QWidget* parent) : TDefForm(parent), ui(std::make_unique<Ui::TfrmToolCfg>())
{
    ui->setupUi(this);
    resize(647, 484);

    QTableWidget* list = ui->LvButton;
    list->setAccessibleName(QStringLiteral("工具栏设置"));
    list->setColumnCount(ColumnCount);
    list->setHorizontalHeaderLabels({QStringLiteral("图标"), QStringLiteral("顺序号"),
                                     QStringLiteral("按钮文字"), QStringLiteral("是否显示"),
                                     QStringLiteral("关联功能")});
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(qMax(20, list->fontMetrics().height() + 6));
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->setColumnWidth(ColIcon, 60);
    list->setColumnWidth(ColOrder, 80);
    list->setColumnWidth(ColText, 150);
    list->setColumnWidth(ColShow, 80);
    list->setColumnWidth(ColFunction, 150);
    list->horizontalHeader()->setStretchLastSection(true);

    m_state.Bind(ui->lblState, ui->btnSave, ui->btnCancel);
    m_state.SetInputs({ui->edtText, ui->cmbIcon, ui->chkIsShow, ui->tvRight}, {ui->edtText, ui->tvRight});
    m_state.Browse();

    connect(list, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previous) { CurrentRowChanged(row, previous); });
    connect(ui->btnAdd, &QPushButton::clicked, this, &TfrmToolCfg::btnAddClick);
    connect(ui->btnEdit, &QPushButton::clicked, this, &TfrmToolCfg::btnEditClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TfrmToolCfg::btnSaveClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmToolCfg::btnCancelClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TfrmToolCfg::btnDeleteClick);
    connect(ui->btnClearSelFunc, &QPushButton::clicked, this, &TfrmToolCfg::btnClearSelFuncClick);
    connect(ui->btnMoveUp, &QPushButton::clicked, this, &TfrmToolCfg::btnMoveUpClick);
    connect(ui->btnMoveDown, &QPushButton::clicked, this, &TfrmToolCfg::btnMoveDownClick);
    connect(ui->btnSaveSeq, &QPushButton::clicked, this, &TfrmToolCfg::btnSaveSeqClick);
    connect(ui->btnRestoreDefault, &QPushButton::clicked, this, &TfrmToolCfg::btnRestoreDefaultClick);
}

TfrmToolCfg::~TfrmToolCfg() = default;

void TfrmToolCfg::showEvent(QShowEvent* event)
{
    TDefForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmToolCfg::FormShow()
{
    ui->cmbIcon->clear();
    for (int i = 0; i < IconList::Count(); ++i)
        ui->cmbIcon->addItem(IconList::Icon(i), QString::number(i));
    LoadButtonList();
    LoadFunctionTree(ui->tvRight, FunctionTreeForm::ToolbarEditor);
}

void TfrmToolCfg::LoadButtonList()
{
    QTableWidget* list = ui->LvButton;
    list->setRowCount(0);
    QVector<ToolButtonRow> rows;
    ToolbarTable::LoadButtons(rows);
    list->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        SetRow(i, rows[i]);
        list->item(i, ColIcon)->setData(StoredOrderRole, rows[i].OrderNum);
    }
    m_orderMoved = false;
}

void TfrmToolCfg::SetRow(int row, const ToolButtonRow& button)
{
    QTableWidget* list = ui->LvButton;
    const QString cells[ColumnCount] = {QString::number(button.IconIndex), button.OrderNum, button.ButtonText,
                                        button.IsShow, FunctionText(button.FunctionName, button.FunctionID)};
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem* cell = list->item(row, column);
        if (!cell) {
            cell = new QTableWidgetItem;
            list->setItem(row, column, cell);
        }
        cell->setText(cells[column]);
    }
    QTableWidgetItem* first = list->item(row, ColIcon);
    first->setIcon(IconList::Icon(button.IconIndex));
    first->setData(ButtonIDRole, button.ButtonID);
    // The function is kept beside the row, not parsed back from its text.
    first->setData(FunctionIDRole, button.FunctionID);
    first->setData(FunctionNameRole, button.FunctionName);
    first->setData(RowVersionRole, button.RowVersion);
}

ToolButtonRow TfrmToolCfg::RowButton(int row) const
{
    const QTableWidget* list = ui->LvButton;
    ToolButtonRow button;
    const QTableWidgetItem* first = list->item(row, ColIcon);
    button.ButtonID = first->data(ButtonIDRole).toLongLong();
    button.FunctionID = first->data(FunctionIDRole).toString();
    button.FunctionName = first->data(FunctionNameRole).toString();
    button.RowVersion = first->data(RowVersionRole).toLongLong();
    button.IconIndex = first->text().toInt();
    button.OrderNum = list->item(row, ColOrder)->text();
    button.ButtonText = list->item(row, ColText)->text();
    button.IsShow = list->item(row, ColShow)->text();
    return button;
}

qint64 TfrmToolCfg::RowButtonID(int row) const
{
    return RowButton(row).ButtonID;
}

int TfrmToolCfg::SelectedRow() const
{
    const QList<QTableWidgetItem*> selected = ui->LvButton->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void TfrmToolCfg::CurrentRowChanged(int row, int previous)
{
    const QString mode = m_state.EditMode;
    if (mode == QLatin1String("ADD"))
        return;
    if (mode == QLatin1String("UPDATE") && m_state.Modified() && previous >= 0 && previous != row) {
        // Back on the edited row while the user decides.
        SelectRowQuietly(previous);
        if (!AskToSaveInput(
                this, [this] { return SaveEdit(); }, [this] { m_state.MarkSaved(); }))
            return;
        SelectRowQuietly(row);
    }
    ShowRow(row);
    m_state.MarkSaved();
}

void TfrmToolCfg::SelectRowQuietly(int row)
{
    const QSignalBlocker blocker(ui->LvButton);
    ui->LvButton->selectRow(row);
}

void TfrmToolCfg::ShowRow(int row)
{
    if (row < 0 || row >= ui->LvButton->rowCount() || !ui->LvButton->item(row, ColIcon))
        return;
    const ToolButtonRow button = RowButton(row);
    ui->edtText->setText(button.ButtonText);
    ui->cmbIcon->setCurrentIndex(button.IconIndex);
    m_currentButtonID = button.ButtonID;
    ui->chkIsShow->setChecked(button.IsShow == QLatin1String("Y"));
    SelectPickerFunction(ui->tvRight, button.FunctionID);
}

void TfrmToolCfg::ClearInputs()
{
    ui->edtText->clear();
    ui->cmbIcon->setCurrentIndex(ui->cmbIcon->count() > 0 ? 0 : -1);
    ui->chkIsShow->setChecked(false);
    SelectPickerFunction(ui->tvRight, QString());
}

void TfrmToolCfg::btnAddClick()
{
    ui->btnEdit->setEnabled(true);
    m_state.Enter(QStringLiteral("ADD"), QStringLiteral("添加数据"));
    ui->btnAdd->setEnabled(false);
    ClearInputs();
    ui->edtText->setFocus();
}

void TfrmToolCfg::btnEditClick()
{
    if (SelectedRow() < 0)
        return;
    ui->btnEdit->setEnabled(true);
    ui->btnAdd->setEnabled(true);
    m_state.Enter(QStringLiteral("UPDATE"), QStringLiteral("修改数据"));
    ui->edtText->setFocus();
}

void TfrmToolCfg::btnCancelClick()
{
    ui->btnEdit->setEnabled(true);
    ui->btnAdd->setEnabled(true);
    m_state.Browse();
    ShowRow(SelectedRow());
}

void TfrmToolCfg::btnSaveClick()
{
    SaveEdit();
}

bool TfrmToolCfg::MayStore(const ToolButtonRow& button, bool removed)
{
    EditorAccess::Change change;
    change.table = EditorAccess::Change::Toolbar;
    change.key = QString::number(button.ButtonID);
    change.removed = removed;
    change.functionID = button.FunctionID;
    change.shown = button.IsShow == QLatin1String("Y");
    return EditorAccess::MayChange(change, this);
}

bool TfrmToolCfg::SaveEdit()
{
    if (ui->edtText->text().isEmpty()) {
        ShowMessage(QStringLiteral("按钮文字是必填项！"), this);
        return false;
    }
    const TFunc func = PickedFunction(ui->tvRight);
    ToolButtonRow button;
    button.ButtonText = ui->edtText->text();
    button.IconIndex = qMax(0, ui->cmbIcon->currentIndex());
    button.IsShow = ui->chkIsShow->isChecked() ? QStringLiteral("Y") : QStringLiteral("N");
    button.FunctionID = func.FunctionID;
    button.FunctionName = func.FunctionName;
    QTableWidget* list = ui->LvButton;

    if (EditMode() == QLatin1String("ADD")) {
        const int n = list->rowCount();
        if (!ToolbarTable::InsertButton(button, n + 1)) {
            ShowMessage(QStringLiteral("添加数据出错！"), this);
            return false;
        }
        button.OrderNum = QString::number(n + 1);
        list->setRowCount(n + 1);
        SetRow(n, button);
        list->item(n, ColIcon)->setData(StoredOrderRole, button.OrderNum);
        SelectRowQuietly(n);
        ShowRow(n);
        m_state.MarkSaved();
        EditorAccess::InterfaceChanged(ui->lblNote);
        ShowMessage(QStringLiteral("添加工具栏按钮成功"), this);
        return true;
    }
    if (EditMode() != QLatin1String("UPDATE"))
        return false;
    const int row = SelectedRow();
    if (row < 0)
        return false;
    button.ButtonID = RowButtonID(row);
    button.RowVersion = RowButton(row).RowVersion;
    // The number stored for the row, not its place after moves that are
    // not stored: two buttons must never share one.
    const QString stored = list->item(row, ColIcon)->data(StoredOrderRole).toString();
    button.OrderNum = list->item(row, ColOrder)->text();
    if (!MayStore(button, false))
        return false;
    VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
    if (!ToolbarTable::UpdateButton(button, TextToInt(stored), &outcome)) {
        ShowMessage(outcome == VersionedRow::Outcome::ChangedElsewhere
                        ? QString::fromUtf16(VersionedRow::ChangedElsewhereText)
                        : QStringLiteral("写数据时出错，更新失败！"),
                    this);
        return false;
    }
    SetRow(row, button);
    m_state.MarkSaved();
    EditorAccess::InterfaceChanged(ui->lblNote);
    ShowMessage(QStringLiteral("更新工具栏按钮成功"), this);
    return true;
}

QVector<qint64> TfrmToolCfg::ListedButtonIDs() const
{
    QVector<qint64> ids;
    for (int row = 0; row < ui->LvButton->rowCount(); ++row)
        ids << RowButtonID(row);
    return ids;
}

void TfrmToolCfg::btnDeleteClick()
{
    const int row = SelectedRow();
    if (row < 0) {
        ShowMessage(QStringLiteral("没有选定！"), this);
        return;
    }
    if (Dialogs::Instance().Ask(
            this, {QStringLiteral("确定要删除该工具栏按钮吗？"), QString(), Dialogs::Icon::Question},
            Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok) == Dialogs::Cancel)
        return;
    if (!MayStore(RowButton(row), true))
        return;
    const qint64 buttonID = RowButtonID(row);
    QVector<qint64> remaining = ListedButtonIDs();
    remaining.removeAt(row);
    // The delete and the new numbering of the rest are one write.
    if (!ToolbarTable::DeleteButton(buttonID, remaining)) {
        ShowMessage(QStringLiteral("删除工具栏出错！"), this);
        return;
    }
    QTableWidget* list = ui->LvButton;
    list->removeRow(row);
    // The rest are stored in the list's order now, moves included.
    for (int i = 0; i < list->rowCount(); ++i) {
        list->item(i, ColOrder)->setText(QString::number(i + 1));
        list->item(i, ColIcon)->setData(StoredOrderRole, QString::number(i + 1));
    }
    m_orderMoved = false;
    if (list->rowCount() > 0)
        list->selectRow(0);
    EditorAccess::InterfaceChanged(ui->lblNote);
}

void TfrmToolCfg::btnClearSelFuncClick()
{
    SelectPickerFunction(ui->tvRight, QString());
}

void TfrmToolCfg::MoveSelected(int step)
{
    QTableWidget* list = ui->LvButton;
    const int row = SelectedRow();
    if (row < 0 || list->rowCount() < 2)
        return;
    const int neighbour = row + step;
    if (neighbour < 0 || neighbour >= list->rowCount())
        return;
    // Everything but the order numbers changes places; nothing is stored
    // until "保存按钮顺序".
    ToolButtonRow moved = RowButton(row);
    ToolButtonRow other = RowButton(neighbour);
    const QVariant movedStored = list->item(row, ColIcon)->data(StoredOrderRole);
    const QVariant otherStored = list->item(neighbour, ColIcon)->data(StoredOrderRole);
    std::swap(moved.OrderNum, other.OrderNum);
    SetRow(neighbour, moved);
    SetRow(row, other);
    list->item(neighbour, ColIcon)->setData(StoredOrderRole, movedStored);
    list->item(row, ColIcon)->setData(StoredOrderRole, otherStored);
    m_orderMoved = true;
    list->selectRow(neighbour);
}

void TfrmToolCfg::btnMoveUpClick()
{
    MoveSelected(-1);
}

void TfrmToolCfg::btnMoveDownClick()
{
    MoveSelected(1);
}

void TfrmToolCfg::btnSaveSeqClick()
{
    SaveOrder();
}

bool TfrmToolCfg::SaveOrder()
{
    QTableWidget* list = ui->LvButton;
    if (!ToolbarTable::SaveButtonOrder(ListedButtonIDs())) {
        ShowMessage(QStringLiteral("写数据时出错，更新失败！"), this);
        LoadButtonList();
        return false;
    }
    // The list shows the numbers now stored, so a later edit of a row keeps
    // its place.
    for (int row = 0; row < list->rowCount(); ++row) {
        list->item(row, ColOrder)->setText(QString::number(row + 1));
        list->item(row, ColIcon)->setData(StoredOrderRole, QString::number(row + 1));
    }
    m_orderMoved = false;
    EditorAccess::InterfaceChanged(ui->lblNote);
    return true;
}

bool TfrmToolCfg::HasUnsavedInput() const
{
    return m_state.Modified() || m_orderMoved;
}

bool TfrmToolCfg::SaveUnsavedInput()
{
    if (m_state.Modified() && !SaveEdit())
        return false;
    return !m_orderMoved || SaveOrder();
}

void TfrmToolCfg::DiscardUnsavedInput()
{
    if (m_orderMoved) {
        // The stored order back on screen.
        const qint64 current = m_currentButtonID;
        LoadButtonList();
        for (int row = 0; row < ui->LvButton->rowCount(); ++row)
            if (RowButtonID(row) == current)
                SelectRowQuietly(row);
    }
    btnCancelClick();
}

void TfrmToolCfg::btnRestoreDefaultClick()
{
    if (!ConfirmUnsavedInput())
        return;
    if (Dialogs::Instance().Ask(
            this,
            {QStringLiteral("恢复默认界面将删除所有工具栏按钮，换成程序自带的按钮。\n确定要恢复吗？"),
             QString(), Dialogs::Icon::Question},
            Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok)
        return;
    QString error;
    if (!RestoreSeededInterface(SeededInterface::Toolbar, &error))
        ShowError(QStringLiteral("恢复默认工具栏失败：") + error, QString(), this);
    LoadButtonList();
    btnCancelClick();
    EditorAccess::InterfaceChanged(ui->lblNote);
}
