#include "TfrmToolCfg.h"
#include "ui_TfrmToolCfg.h"

#include "Dialogs.h"
#include "FunctionTree.h"
#include "IconList.h"
#include "PickerTree.h"
#include "Utilities.h"

#include <QHeaderView>

namespace {

constexpr int ButtonIDRole = Qt::UserRole + 1;
constexpr int FunctionIDRole = Qt::UserRole + 2;
constexpr int FunctionNameRole = Qt::UserRole + 3;
constexpr int RowVersionRole = Qt::UserRole + 4;

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

    connect(list, &QTableWidget::currentCellChanged, this, [this](int row) { ShowRow(row); });
    connect(list, &QTableWidget::cellClicked, this, [this](int row) { ShowRow(row); });
    connect(ui->btnAdd, &QPushButton::clicked, this, &TfrmToolCfg::btnAddClick);
    connect(ui->btnEdit, &QPushButton::clicked, this, &TfrmToolCfg::btnEditClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TfrmToolCfg::btnSaveClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmToolCfg::btnCancelClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TfrmToolCfg::btnDeleteClick);
    connect(ui->btnClearSelFunc, &QPushButton::clicked, this, &TfrmToolCfg::btnClearSelFuncClick);
    connect(ui->btnMoveUp, &QPushButton::clicked, this, &TfrmToolCfg::btnMoveUpClick);
    connect(ui->btnMoveDown, &QPushButton::clicked, this, &TfrmToolCfg::btnMoveDownClick);
    connect(ui->btnSaveSeq, &QPushButton::clicked, this, &TfrmToolCfg::btnSaveSeqClick);
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
    for (int i = 0; i < rows.size(); ++i)
        SetRow(i, rows[i]);
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
    if (ui->edtText->text().isEmpty()) {
        ShowMessage(QStringLiteral("按钮文字是必填项！"), this);
        return;
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
            return;
        }
        button.OrderNum = QString::number(n + 1);
        list->setRowCount(n + 1);
        SetRow(n, button);
        list->selectRow(n);
        ShowRow(n);
        ShowMessage(QStringLiteral("添加工具栏按钮成功"), this);
    } else if (EditMode() == QLatin1String("UPDATE")) {
        const int row = SelectedRow();
        if (row < 0)
            return;
        button.ButtonID = RowButtonID(row);
        button.RowVersion = RowButton(row).RowVersion;
        button.OrderNum = list->item(row, ColOrder)->text();
        VersionedRow::Outcome outcome = VersionedRow::Outcome::Failed;
        if (!ToolbarTable::UpdateButton(button, TextToInt(button.OrderNum), &outcome)) {
            ShowMessage(outcome == VersionedRow::Outcome::ChangedElsewhere
                            ? QString::fromUtf16(VersionedRow::ChangedElsewhereText)
                            : QStringLiteral("写数据时出错，更新失败！"),
                        this);
            return;
        }
        SetRow(row, button);
        ShowMessage(QStringLiteral("更新工具栏按钮成功"), this);
    }
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
    for (int i = 0; i < list->rowCount(); ++i)
        list->item(i, ColOrder)->setText(QString::number(i + 1));
    if (list->rowCount() > 0)
        list->selectRow(0);
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
    std::swap(moved.OrderNum, other.OrderNum);
    SetRow(neighbour, moved);
    SetRow(row, other);
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
    QTableWidget* list = ui->LvButton;
    if (!ToolbarTable::SaveButtonOrder(ListedButtonIDs())) {
        ShowMessage(QStringLiteral("写数据时出错，更新失败！"), this);
        LoadButtonList();
        return;
    }
    // The list shows the numbers now stored, so a later edit of a row keeps
    // its place.
    for (int row = 0; row < list->rowCount(); ++row)
        list->item(row, ColOrder)->setText(QString::number(row + 1));
}
