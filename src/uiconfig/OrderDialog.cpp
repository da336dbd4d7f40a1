#include "OrderDialog.h"
#include "ui_OrderDialog.h"

#include "Dialogs.h"

#include <QHeaderView>

OrderDialog::OrderDialog(const OrderedTable& table, const Look& look, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::OrderDialog>()), m_table(table)
{
    ui->setupUi(this);
    setWindowTitle(QString::fromUtf8(look.title));
    ui->Label1->setText(QString::fromUtf8(look.parentLabel));
    ui->lblParent->setObjectName(QString::fromLatin1(look.parentName));
    ui->lvOrder->setObjectName(QString::fromLatin1(look.listName));
    ui->lvOrder->setAccessibleName(QString::fromUtf8(look.title));
    if (look.boldCaption) {
        QFont bold = ui->lblParent->font();
        bold.setBold(true);
        ui->lblParent->setFont(bold);
    }

    QTableWidget* list = ui->lvOrder;
    list->setColumnCount(3);
    list->setHorizontalHeaderLabels(
        {QString::fromUtf8(look.keyTitle), QString::fromUtf8(look.textTitle), QStringLiteral("顺序号")});
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->setColumnWidth(0, 80);
    list->setColumnWidth(1, 150);
    list->setColumnWidth(2, 80);
    list->horizontalHeader()->setStretchLastSection(true);

    setFixedSize(look.clientSize);
    connect(ui->btnMoveUp, &QPushButton::clicked, this, &OrderDialog::btnMoveUpClick);
    connect(ui->btnMoveDown, &QPushButton::clicked, this, &OrderDialog::btnMoveDownClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &OrderDialog::btnCloseClick);
}

OrderDialog::~OrderDialog() = default;

QTableWidget* OrderDialog::OrderList() const
{
    return ui->lvOrder;
}

QLabel* OrderDialog::ParentLabel() const
{
    return ui->lblParent;
}

void OrderDialog::LoadOrderList(const QString& caption, const QString& parentKey)
{
    m_parentKey = parentKey;
    ui->lblParent->setText(caption);
    QTableWidget* list = ui->lvOrder;
    list->setRowCount(0);
    QVector<OrderRow> rows;
    LoadSiblings(m_table, parentKey, rows);
    list->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        SetRow(i, rows[i]);
}

OrderRow OrderDialog::Row(int row) const
{
    const QTableWidget* list = ui->lvOrder;
    return {list->item(row, 0)->text(), list->item(row, 1)->text(), list->item(row, 2)->text()};
}

void OrderDialog::SetRow(int row, const OrderRow& values)
{
    QTableWidget* list = ui->lvOrder;
    const QString cells[] = {values.key, values.text, values.order};
    for (int column = 0; column < 3; ++column) {
        QTableWidgetItem* cell = list->item(row, column);
        if (!cell) {
            cell = new QTableWidgetItem;
            list->setItem(row, column, cell);
        }
        cell->setText(cells[column]);
    }
}

void OrderDialog::MoveSelected(int step)
{
    QTableWidget* list = ui->lvOrder;
    const QList<QTableWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty() || list->rowCount() < 2)
        return;
    const int row = selected.first()->row();
    const int neighbour = row + step;
    if (neighbour < 0 || neighbour >= list->rowCount())
        return;
    // The two rows exchange key and caption; each order number stays in its
    // row, so the moved child takes its neighbour's number and the other way
    // round.  Both numbers are written together or not at all.
    OrderRow moved = Row(row);
    OrderRow other = Row(neighbour);
    std::swap(moved.order, other.order);
    if (!WriteOrderNumbers(m_table, {moved, other})) {
        ShowMessage(QStringLiteral("写数据时出错，更新失败！"), this);
        LoadOrderList(ui->lblParent->text(), m_parentKey);
        return;
    }
    SetRow(neighbour, moved);
    SetRow(row, other);
    list->selectRow(neighbour);
}

void OrderDialog::btnMoveUpClick()
{
    MoveSelected(-1);
}

void OrderDialog::btnMoveDownClick()
{
    MoveSelected(1);
}

void OrderDialog::btnCloseClick()
{
    close();
}
