#include "TFrmRepairManage.h"

#include "SaleEntryEvents.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "FormRegistry.h"
#include "IconList.h"
#include "RepairExport.h"
#include "RepairSettings.h"
#include "Shell.h"
#include "TFrmRepairCall.h"
#include "TFrmRepairHistory.h"
#include "TFrmRepairInput.h"
#include "ui_TFrmRepairManage.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTimer>

namespace {

// Widths of the ten columns, in pixels.
constexpr int ColumnWidths[RepairListModel::ColumnCount] = {120, 90, 90, 110, 220, 80, 70, 70, 80, 70};

const char* const IntakeFunction = "6001";

} // namespace

TFrmRepairManage::TFrmRepairManage(QWidget* parent)
    : TDefForm(parent), m_ui(std::make_unique<Ui::TFrmRepairManage>()), m_model(new RepairListModel(this))
{
    m_ui->setupUi(this);
    const std::pair<QAction*, int> icons[] = {
        {m_ui->TBtnNew, IconList::CustomerEntry},   {m_ui->TBtnOpen, IconList::OpenFolder},
        {m_ui->TBtnHistory, IconList::SaleRecords}, {m_ui->TBtnCall, IconList::Clock},
        {m_ui->TBtnRefresh, IconList::Calendar},    {m_ui->TBtnExport, IconList::Export}};
    for (const auto& [action, icon] : icons) {
        action->setIcon(IconList::Icon(icon));
        if (QWidget* button = m_ui->ToolBar1->widgetForAction(action))
            button->setMinimumSize(77, 36);
    }
    connect(m_ui->TBtnNew, &QAction::triggered, this, &TFrmRepairManage::TBtnNewClick);
    connect(m_ui->TBtnOpen, &QAction::triggered, this, &TFrmRepairManage::TBtnOpenClick);
    connect(m_ui->TBtnHistory, &QAction::triggered, this, &TFrmRepairManage::TBtnHistoryClick);
    connect(m_ui->TBtnCall, &QAction::triggered, this, &TFrmRepairManage::TBtnCallClick);
    connect(m_ui->TBtnRefresh, &QAction::triggered, this, &TFrmRepairManage::BtnSearchClick);
    connect(m_ui->TBtnExport, &QAction::triggered, this, &TFrmRepairManage::TBtnExportClick);
    connect(m_ui->BtnSearch, &QPushButton::clicked, this, &TFrmRepairManage::BtnSearchClick);

    // The check boxes and choices list at once; typed text after a pause.
    for (QCheckBox* box : {m_ui->ChkReceived, m_ui->ChkRepairing, m_ui->ChkReady, m_ui->ChkPickedUp,
                           m_ui->ChkOverdue, m_ui->ChkLongWait, m_ui->ChkDate})
        connect(box, &QCheckBox::toggled, this, &TFrmRepairManage::BtnSearchClick);
    connect(m_ui->CmbWarranty, &QComboBox::activated, this, &TFrmRepairManage::BtnSearchClick);
    connect(m_ui->CmbTechnician, &QComboBox::activated, this, &TFrmRepairManage::BtnSearchClick);
    m_findTimer = new QTimer(this);
    m_findTimer->setSingleShot(true);
    m_findTimer->setInterval(300);
    connect(m_findTimer, &QTimer::timeout, this, &TFrmRepairManage::BtnSearchClick);
    connect(m_ui->EditFind, &QLineEdit::textChanged, m_findTimer, qOverload<>(&QTimer::start));
    connect(m_ui->EditFind, &QLineEdit::returnPressed, this, &TFrmRepairManage::BtnSearchClick);

    const QDate today = QDate::currentDate();
    m_ui->DateFrom->setDate(today.addMonths(-1));
    m_ui->DateTo->setDate(today);
    m_ui->DateFrom->setEnabled(false);
    m_ui->DateTo->setEnabled(false);
    connect(m_ui->ChkDate, &QCheckBox::toggled, m_ui->DateFrom, &QWidget::setEnabled);
    connect(m_ui->ChkDate, &QCheckBox::toggled, m_ui->DateTo, &QWidget::setEnabled);
    connect(m_ui->DateFrom, &QDateEdit::dateChanged, this, [this] {
        if (m_ui->ChkDate->isChecked())
            m_findTimer->start();
    });
    connect(m_ui->DateTo, &QDateEdit::dateChanged, this, [this] {
        if (m_ui->ChkDate->isChecked())
            m_findTimer->start();
    });
    // Inputs read as their labels.
    m_ui->DateFrom->setAccessibleName(QStringLiteral("接收日期从"));
    m_ui->DateTo->setAccessibleName(QStringLiteral("接收日期至"));
    m_ui->ChkDate->setAccessibleName(QStringLiteral("按接收日期"));
    m_ui->EditFind->setAccessibleName(QStringLiteral("查找"));
    m_ui->CmbTechnician->setAccessibleName(QStringLiteral("维修人员"));
    m_ui->CmbWarranty->setAccessibleName(QStringLiteral("保修"));

    const RepairSettings settings = RepairSettings::Load();
    m_model->SetLimits(settings.overdueDays, settings.pickupDays, settings.longWaitDays);
    m_ui->ChkLongWait->setText(QStringLiteral("只看超%1天未取").arg(settings.longWaitDays));

    m_status = new QLabel(m_ui->sb1);
    m_status->setObjectName("sb1Panel");
    m_ui->sb1->addWidget(m_status, 1);
    SetupList();
    // A visit saved or moved in an intake form shows here at once.
    connect(SaleEntryEvents::Instance(), &SaleEntryEvents::repairsChanged, this,
            &TFrmRepairManage::ReloadKeepingSelection);
    connect(m_model, &PagedListModel::fetchFailed, this, &TFrmRepairManage::ModelFetchFailed);
    FillTechnicians();
    BtnSearchClick();
}

TFrmRepairManage::~TFrmRepairManage() = default;

void TFrmRepairManage::SetupList()
{
    QTableView* list = m_ui->ListView1;
    list->setModel(m_model);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    QHeaderView* header = list->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < RepairListModel::ColumnCount; ++c)
        header->resizeSection(c, ColumnWidths[c]);
    header->setStretchLastSection(true);
    connect(list, &QTableView::doubleClicked, this, &TFrmRepairManage::TBtnOpenClick);
    connect(list, &QWidget::customContextMenuRequested, this, &TFrmRepairManage::ListView1ContextPopup);
}

void TFrmRepairManage::FillTechnicians()
{
    // The names used so far, for the drop-down; typing another name works too.
    const QString current = m_ui->CmbTechnician->currentText();
    m_ui->CmbTechnician->clear();
    m_ui->CmbTechnician->addItem(QString());
    SqlStatement names(CurrentConnection(), "select distinct Technician from RepairInfo where Technician<>'' "
                                            "order by Technician");
    while (names.Step())
        m_ui->CmbTechnician->addItem(names.ColumnValue(0).toString());
    m_ui->CmbTechnician->setCurrentText(current);
}

QString TFrmRepairManage::StatusText() const
{
    return m_status->text();
}

RepairListFilter TFrmRepairManage::FilterFromControls() const
{
    RepairListFilter filter;
    filter.search = m_ui->EditFind->text();
    filter.statuses.clear();
    const QCheckBox* boxes[] = {m_ui->ChkReceived, m_ui->ChkRepairing, m_ui->ChkReady, m_ui->ChkPickedUp};
    for (int status = 0; status < 4; ++status)
        if (boxes[status]->isChecked())
            filter.statuses.insert(status);
    // No state ticked lists nothing rather than everything.
    if (filter.statuses.isEmpty())
        filter.statuses.insert(-1);
    if (m_ui->ChkDate->isChecked()) {
        filter.from = m_ui->DateFrom->date();
        filter.to = m_ui->DateTo->date();
    }
    filter.technician = m_ui->CmbTechnician->currentText().trimmed();
    filter.warranty = m_ui->CmbWarranty->currentIndex();
    filter.overdueOnly = m_ui->ChkOverdue->isChecked();
    filter.longWaitOnly = m_ui->ChkLongWait->isChecked();
    // The parts of a link the controls cannot show stay until the next
    // search of the user's own.
    filter.component = m_link.component;
    filter.pickedFrom = m_link.pickedFrom;
    filter.pickedTo = m_link.pickedTo;
    return filter;
}

void TFrmRepairManage::ShowFilter(const RepairListFilter& filter)
{
    {
        // One load at the end, not one per control.
        const QSignalBlocker b1(m_ui->EditFind), b2(m_ui->ChkReceived), b3(m_ui->ChkRepairing),
            b4(m_ui->ChkReady), b5(m_ui->ChkPickedUp), b6(m_ui->ChkOverdue), b7(m_ui->ChkLongWait),
            b8(m_ui->ChkDate), b9(m_ui->DateFrom), b10(m_ui->DateTo);
        m_ui->EditFind->setText(filter.search);
        const bool every = filter.statuses.isEmpty();
        m_ui->ChkReceived->setChecked(every || filter.statuses.contains(0));
        m_ui->ChkRepairing->setChecked(every || filter.statuses.contains(1));
        m_ui->ChkReady->setChecked(every || filter.statuses.contains(2));
        m_ui->ChkPickedUp->setChecked(every || filter.statuses.contains(3));
        m_ui->ChkDate->setChecked(filter.from.isValid() || filter.to.isValid());
        m_ui->DateFrom->setEnabled(m_ui->ChkDate->isChecked());
        m_ui->DateTo->setEnabled(m_ui->ChkDate->isChecked());
        if (filter.from.isValid())
            m_ui->DateFrom->setDate(filter.from);
        if (filter.to.isValid())
            m_ui->DateTo->setDate(filter.to);
        m_ui->CmbTechnician->setCurrentText(filter.technician);
        m_ui->CmbWarranty->setCurrentIndex(qBound(0, filter.warranty, 2));
        m_ui->ChkOverdue->setChecked(filter.overdueOnly);
        m_ui->ChkLongWait->setChecked(filter.longWaitOnly);
    }
    m_link = filter;
    m_showingLink = true;
    BtnSearchClick();
    m_showingLink = false;
}

void TFrmRepairManage::BtnSearchClick()
{
    m_findTimer->stop();
    QString error;
    if (!m_showingLink)
        m_link = {};
    const bool loaded = m_model->Load(FilterFromControls(), &error);
    m_status->setText(QStringLiteral("共有 [%1] 项").arg(qMax<qint64>(0, m_model->MatchCount())));
    if (!loaded)
        ShowError(error, QString(), this);
}

void TFrmRepairManage::ModelFetchFailed(const QString& error)
{
    ShowError(error, QString(), this);
}

void TFrmRepairManage::ReloadKeepingSelection()
{
    const int selected = SelectedRow();
    const qint64 id = selected >= 0 ? m_model->RecordId(selected) : 0;
    BtnSearchClick();
    // Looked for among the rows of the first page, which the reload holds.
    for (int row = 0; id > 0 && row < qMin(m_model->rowCount(), 200); ++row)
        if (m_model->RecordId(row) == id) {
            m_ui->ListView1->selectRow(row);
            break;
        }
}

int TFrmRepairManage::SelectedRow() const
{
    const QItemSelectionModel* selection = m_ui->ListView1->selectionModel();
    if (!selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QWidget* TFrmRepairManage::OpenVisit(qint64 repairID, QWidget* parent)
{
    // Through the catalogue, so that the user's right to the intake form
    // counts and the form lives where the main window puts it.
    QWidget* form = nullptr;
    if (Shell* shell = Shell::Instance()) {
        if (!shell->RunFunction(QLatin1String(IntakeFunction)))
            return nullptr;
        form = shell->FindOpenForm(QStringLiteral("TFrmRepairInput"));
    } else if (const FormRegistry::Entry* entry = FormRegistry::Find(QStringLiteral("TFrmRepairInput"))) {
        form = entry->create(parent);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
    }
    auto* input = qobject_cast<TFrmRepairInput*>(form);
    if (input && repairID > 0 && !input->OpenVisit(repairID))
        return nullptr;
    return input;
}

void TFrmRepairManage::TBtnNewClick()
{
    OpenVisit(0, this);
}

void TFrmRepairManage::TBtnOpenClick()
{
    const int row = SelectedRow();
    if (row >= 0)
        OpenVisit(m_model->RecordId(row), this);
}

void TFrmRepairManage::TBtnHistoryClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    // The visit's machine: a machine bought elsewhere has no history beyond the visit.
    SqlStatement sale(CurrentConnection(), "select SaleID from RepairInfo where RepairID=?");
    if (!sale.Bind({SqlArg(m_model->RecordId(row))}) || !sale.Step() || sale.ColumnIsNull(0)) {
        ShowMessage(QStringLiteral("该机器不是本店销售的，没有维修档案。"), this);
        return;
    }
    ShowRepairHistory(sale.ColumnInt64(0), this);
}

void TFrmRepairManage::TBtnCallClick()
{
    TFrmRepairCall::ShowCallList(this);
}

void TFrmRepairManage::TBtnExportClick()
{
    if (m_model->rowCount() == 0) {
        ShowMessage(QStringLiteral("列表中没有记录可以导出。"), this);
        return;
    }
    Dialogs::FileRequest request;
    request.title = QStringLiteral("导出到Excel");
    request.filter = QStringLiteral("Excel文件|*.xlsx");
    request.defaultSuffix = QStringLiteral("xlsx");
    const QString file = Dialogs::Instance().SaveFileName(this, request);
    if (file.isEmpty())
        return;
    qint64 written = 0;
    QString error;
    if (!RepairExport::Write(*m_model, file, &written, &error)) {
        ShowMessage(QStringLiteral("导出失败，没有生成文件：\n") + error, this);
        return;
    }
    ShowMessage(
        QStringLiteral("已导出 %1 条维修记录到：\n%2").arg(written).arg(QDir::toNativeSeparators(file)),
        this);
}

void TFrmRepairManage::ListView1ContextPopup(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(m_ui->TBtnOpen);
    menu.setDefaultAction(m_ui->TBtnOpen);
    menu.addAction(m_ui->TBtnHistory);
    menu.addSeparator();
    menu.addAction(m_ui->TBtnExport);
    menu.exec(m_ui->ListView1->viewport()->mapToGlobal(pos));
}
