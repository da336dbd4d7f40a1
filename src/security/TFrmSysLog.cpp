#include "TFrmSysLog.h"
#include "ui_TFrmSysLog.h"

#include "TDataM.h"
#include "Dialogs.h"
#include "ExcelExport.h"
#include "SysLogModel.h"

#include <QHeaderView>
#include <QKeyEvent>

TFrmSysLog::TFrmSysLog(QWidget* parent) : TDefForm(parent), ui(std::make_unique<Ui::TFrmSysLog>())
{
    ui->setupUi(this);
    m_model = new SysLogModel(&DataM->adoSetLog, this);
    QTableView* grid = ui->GridMain;
    grid->setModel(m_model);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setColumnWidth(1, 120);
    // 130 pixels, or what a whole date and time needs in the current font.
    const int timeWidth = grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 12;
    grid->setColumnWidth(2, qMax(130, timeWidth));
    grid->setColumnWidth(3, 200);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->setFixedWidth(16);
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->installEventFilter(this);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, m_model,
            [this](const QModelIndex& current) { m_model->SetCurrentRow(current.row()); });

    connect(ui->btnReLoad, &QPushButton::clicked, this, &TFrmSysLog::btnReLoadClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &TFrmSysLog::btnDeleteClick);
    connect(ui->btnExport, &QPushButton::clicked, this, &TFrmSysLog::btnExportClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &TFrmSysLog::btnCloseClick);
}

TFrmSysLog::~TFrmSysLog() = default;

void TFrmSysLog::btnReLoadClick()
{
    // The same window of days as at connection; a failure keeps the rows.
    DataM->adoSetLog.Requery();
}

void TFrmSysLog::btnDeleteClick()
{
    const QModelIndexList selected = ui->GridMain->selectionModel()->selectedRows();
    const int n = selected.size();
    if (n == 0)
        return;
    const QString question = QStringLiteral("您确定要删除这 %1 条日志记录吗？").arg(n);
    if (Dialogs::Instance().Ask(this, {question, QStringLiteral("询问"), Dialogs::Icon::Question},
                                Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    QList<int> rows;
    for (const QModelIndex& index : selected)
        rows << index.row();
    QString error;
    if (!m_model->DeleteRows(rows, &error))
        ShowError(QStringLiteral("删除日志记录失败：") + error, QStringLiteral("错误"), this);
}

void TFrmSysLog::btnExportClick()
{
    ExportDataSetToExcel(DataM->adoSetLog, false, this, SysLogModel::Titles());
}

void TFrmSysLog::btnCloseClick()
{
    CloseChild();
}

bool TFrmSysLog::GridMainKeyDown(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Delete || event->modifiers() != Qt::NoModifier)
        return false;
    btnDeleteClick();
    return true;
}

bool TFrmSysLog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->GridMain && event->type() == QEvent::KeyPress &&
        GridMainKeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return TDefForm::eventFilter(watched, event);
}

bool TFrmSysLog::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        btnCloseClick();
        return true;
    }
    return TDefForm::FormKeyDown(event);
}
