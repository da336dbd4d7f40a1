#include "TFrmSaleManage.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "IconList.h"
#include "IniFile.h"
#include "QuickFind.h"
#include "SaleEntryEvents.h"
#include "SaleFileActions.h"
#include "SaleListModel.h"
#include "Settings.h"
#include "TDataM.h"
#include "TFrmInputInfo.h"
#include "WarrantyCardCode.h"
#include "WarrantySettings.h"
#include "ui_TFrmInputInfo.h"
#include "ui_TFrmSaleManage.h"

#include <QAccessibleWidget>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace {

// A split button (its face runs the action, its arrow opens the menu) as a
// screen reader sees it: both actions, where the toolkit offers only the
// menu for a tool button that has one.
class SplitButtonAccessible : public QAccessibleWidget
{
public:
    explicit SplitButtonAccessible(QToolButton* button)
        : QAccessibleWidget(button, QAccessible::ButtonDropDown)
    {
    }

    // Marks the button; an interface the toolkit made for it before is dropped.
    static void Install(QToolButton* button)
    {
        InstallFactory();
        button->setProperty("splitButton", true);
        if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(button);
            made && !dynamic_cast<SplitButtonAccessible*>(made))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }

private:
    static void InstallFactory()
    {
        static bool installed = false;
        if (installed)
            return;
        installed = true;
        QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
            auto* button = qobject_cast<QToolButton*>(object);
            if (button && button->property("splitButton").toBool())
                return new SplitButtonAccessible(button);
            return nullptr;
        });
    }

public:
    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return Button()->text();
        return own;
    }
    QStringList actionNames() const override
    {
        if (!widget()->isEnabled())
            return {};
        return {pressAction(), showMenuAction()};
    }
    void doAction(const QString& action) override
    {
        if (!widget()->isEnabled())
            return;
        if (action == pressAction())
            Button()->click();
        else if (action == showMenuAction())
            Button()->showMenu();
    }

private:
    QToolButton* Button() const { return static_cast<QToolButton*>(widget()); }
};

} // namespace

namespace {

struct ColumnWidth
{
    int width, minimum, maximum;
};

// Width, minimum and maximum of the 29 list columns, in pixels.
constexpr ColumnWidth ColumnWidths[SaleListModel::ColumnCount] = {
    {0, 0, 1},       {70, 70, 80},  {70, 70, 150}, {70, 70, 150}, {90, 90, 120},   {120, 120, 300},
    {90, 90, 90},    {90, 90, 90},  {70, 70, 70},  {70, 70, 70},  {100, 100, 150}, {100, 100, 120},
    {100, 100, 120}, {80, 80, 120}, {80, 80, 120}, {80, 80, 120}, {80, 80, 120},   {80, 80, 150},
    {80, 60, 100},   {60, 60, 120}, {80, 80, 120}, {80, 80, 120}, {80, 80, 120},   {80, 80, 120},
    {80, 80, 120},   {80, 80, 120}, {80, 80, 120}, {80, 80, 200}, {80, 80, 500}};

const char16_t* const SearchFailed = u"查询出错,请检查条件!";

// set.ini section of the list's column widths: one key per user code, the
// widths of the visible columns 1..28 separated by commas.
const char* const WidthsSection = "SaleManageColumns";

// 宋体 at 14 pixels; where it is missing, the installed CJK serif (or sans) font.
QFont ListFont()
{
    QFont font;
    QStringList families;
    for (const char* name : {"宋体", "SimSun", "Noto Serif CJK SC", "Noto Sans CJK SC"})
        if (QFontDatabase::hasFamily(QString::fromUtf8(name)))
            families << QString::fromUtf8(name);
    if (!families.isEmpty())
        font.setFamilies(families);
    font.setPixelSize(14);
    return font;
}

} // namespace

TFrmSaleManage::TFrmSaleManage(QWidget* parent)
    : TDefForm(parent), m_ui(std::make_unique<Ui::TFrmSaleManage>()), m_model(new SaleListModel(this))
{
    m_ui->setupUi(this);
    const std::pair<QAction*, int> icons[] = {{m_ui->TBtnEnter, IconList::CustomerEntry},
                                              {m_ui->TBtnPT, IconList::User},
                                              {m_ui->TBtnTS, IconList::Roles},
                                              {m_ui->BtnOverRun, IconList::Warning},
                                              {m_ui->BtnWGB, IconList::Calendar},
                                              {m_ui->TBtnAll, IconList::SaleRecords}};
    for (const auto& [action, icon] : icons) {
        action->setIcon(IconList::Icon(icon));
        if (QWidget* button = m_ui->ToolBar3->widgetForAction(action))
            button->setMinimumSize(77, 36);
    }
    connect(m_ui->TBtnEnter, &QAction::triggered, this, &TFrmSaleManage::TBtnEnterClick);
    connect(m_ui->TBtnPT, &QAction::triggered, this, &TFrmSaleManage::TBtnPTClick);
    connect(m_ui->TBtnTS, &QAction::triggered, this, &TFrmSaleManage::TBtnTSClick);
    connect(m_ui->BtnOverRun, &QAction::triggered, this, &TFrmSaleManage::BtnOverRunClick);
    connect(m_ui->BtnWGB, &QAction::triggered, this, &TFrmSaleManage::BtnWGBClick);
    connect(m_ui->TBtnAll, &QAction::triggered, this, &TFrmSaleManage::TBtnAllClick);
    connect(m_ui->N11, &QAction::triggered, this, &TFrmSaleManage::N11Click);
    connect(m_ui->N13, &QAction::triggered, this, &TFrmSaleManage::N13Click);
    connect(m_ui->N15, &QAction::triggered, this, &TFrmSaleManage::N15Click);
    connect(m_ui->BtnSearch, &QPushButton::clicked, this, &TFrmSaleManage::BtnSearchClick);
    connect(m_ui->BtnView, &QPushButton::clicked, this, &TFrmSaleManage::N11Click);
    connect(m_ui->BtnDel, &QPushButton::clicked, this, &TFrmSaleManage::BtnDelClick);
    connect(m_ui->BtnDelOverRun, &QPushButton::clicked, this, &TFrmSaleManage::BtnDelOverRunClick);
    // Records in and out of files.
    m_ui->TBtnExport->setIcon(IconList::Icon(IconList::Export));
    m_ui->TBtnImport->setIcon(IconList::Icon(IconList::OpenFolder));
    for (QAction* action : {m_ui->TBtnExport, m_ui->TBtnImport})
        if (QWidget* button = m_ui->ToolBar3->widgetForAction(action))
            button->setMinimumSize(77, 36);
    connect(m_ui->TBtnExport, &QAction::triggered, this, &TFrmSaleManage::TBtnExportClick);
    connect(m_ui->TBtnImport, &QAction::triggered, this, &TFrmSaleManage::TBtnImportClick);

    for (const SaleRecord::SearchField& field : SaleRecord::SearchFields())
        m_ui->CmbSearchName->addItem(QString::fromUtf16(field.caption));
    // The field chosen earlier in this run is still the one searched: show it.
    m_ui->CmbSearchName->setCurrentIndex(SaleRecord::SearchFieldIndex(SearchColumn));
    connect(m_ui->CmbSearchName, &QComboBox::activated, this, &TFrmSaleManage::CmbSearchNameSelect);
    m_ui->CmbOperator->addItems(SaleRecord::SearchOperators());
    m_ui->CmbOperator->setCurrentIndex(0);

    m_status = new QLabel(m_ui->sb1);
    m_status->setObjectName("sb1Panel");
    m_ui->sb1->addWidget(m_status, 1);
    SetupList();
    connect(m_model, &SaleListModel::fetchFailed, this, &TFrmSaleManage::ModelFetchFailed);
    SetupExpiringButton();
    SetupRepairHistory();
    SetupQuickFind();
    // Whatever an entry dialog did, the list shows its toolbar filter again.
    connect(SaleEntryEvents::Instance(), &SaleEntryEvents::entryClosed, this, &TFrmSaleManage::ReloadList);
    connect(SaleEntryEvents::Instance(), &SaleEntryEvents::repairsChanged, m_model,
            &SaleListModel::RefreshOpenRepairs);
}

TFrmSaleManage::~TFrmSaleManage()
{
    if (m_saveWidths && m_saveWidths->isActive())
        SaveColumnWidths();
}

void TFrmSaleManage::RestoreColumnWidths()
{
    const QString user = DataM ? DataM->CurrentUserID() : QString();
    if (user.isEmpty())
        return;
    const QStringList widths =
        IniFile(Settings::UserIniPath()).ReadString(WidthsSection, user).split(',', Qt::SkipEmptyParts);
    QHeaderView* header = m_ui->ListView1->horizontalHeader();
    // Whatever the file holds, each column stays within its own bounds.
    for (int c = SaleListModel::ColId + 1; c < SaleListModel::ColumnCount && c <= widths.size(); ++c) {
        bool ok = false;
        const int width = widths[c - 1].trimmed().toInt(&ok);
        if (ok)
            header->resizeSection(c, qBound(ColumnWidths[c].minimum, width, ColumnWidths[c].maximum));
    }
}

bool TFrmSaleManage::SaveColumnWidths()
{
    const QString user = DataM ? DataM->CurrentUserID() : QString();
    if (user.isEmpty())
        return false;
    QStringList widths;
    for (int c = SaleListModel::ColId + 1; c < SaleListModel::ColumnCount; ++c)
        widths << QString::number(m_ui->ListView1->columnWidth(c));
    const QString path = Settings::UserIniPath();
    QDir().mkpath(QFileInfo(path).path());
    return IniFile(path).WriteString(WidthsSection, user, widths.join(','));
}

void TFrmSaleManage::SetupList()
{
    QTableView* list = m_ui->ListView1;
    list->setFont(ListFont());
    list->setModel(m_model);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    QHeaderView* header = list->horizontalHeader();
    header->setHighlightSections(false);
    header->setMinimumSectionSize(0);
    header->setSectionsMovable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < SaleListModel::ColumnCount; ++c)
        header->resizeSection(c, ColumnWidths[c].width);
    // The key column is there for the program, not the user.
    list->setColumnHidden(SaleListModel::ColId, true);
    RestoreColumnWidths();
    // Widths the user drags are written a moment after the drag, not on
    // every pixel of it.
    m_saveWidths = new QTimer(this);
    m_saveWidths->setSingleShot(true);
    m_saveWidths->setInterval(500);
    connect(m_saveWidths, &QTimer::timeout, this, &TFrmSaleManage::SaveColumnWidths);
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        ClampColumnWidth(column, width);
        m_saveWidths->start();
    });
    connect(list, &QTableView::doubleClicked, this, &TFrmSaleManage::N11Click);
    connect(list, &QWidget::customContextMenuRequested, this, &TFrmSaleManage::ListView1ContextPopup);
}

void TFrmSaleManage::ClampColumnWidth(int column, int width)
{
    if (column <= SaleListModel::ColId || column >= SaleListModel::ColumnCount)
        return;
    const int clamped = qBound(ColumnWidths[column].minimum, width, ColumnWidths[column].maximum);
    if (clamped != width)
        m_ui->ListView1->horizontalHeader()->resizeSection(column, clamped);
}

QString TFrmSaleManage::StatusText() const
{
    return m_status->text();
}

void TFrmSaleManage::LoadFilter(const SaleRecord::Condition& condition, int mode)
{
    if (mode != 0)
        ListMode = mode;
    m_searchShown = false;
    // A filter chosen over a quick find empties the box it no longer shows.
    if (m_findShown) {
        m_findShown = false;
        m_findTimer->stop();
        const QSignalBlocker quiet(m_ui->EditFind);
        m_ui->EditFind->clear();
    }
    m_filterLoaded = true;
    m_lastFilter = condition;
    m_lastFilterMode = mode;
    // A load replaces the list whole; pages of an earlier load are dropped
    // with it, so a click during scrolling cannot mix two lists.
    QString error;
    const bool loaded = m_model->Load(condition, true, &error);
    m_status->setText(QStringLiteral("共有 [%1] 项").arg(qMax<qint64>(0, m_model->MatchCount())));
    if (!loaded)
        ShowError(error, QString(), this);
}

void TFrmSaleManage::ShowCondition(const SaleRecord::Condition& condition)
{
    LoadFilter(condition, 0);
}

void TFrmSaleManage::TBtnPTClick()
{
    LoadFilter(SaleRecord::OrdinaryCustomers(), ModeOrdinary);
}

void TFrmSaleManage::TBtnTSClick()
{
    LoadFilter(SaleRecord::SpecialCustomers(), ModeSpecial);
}

void TFrmSaleManage::BtnOverRunClick()
{
    LoadFilter(SaleRecord::ExpiredCustomers(QDateTime::currentDateTime()), ModeExpired);
}

void TFrmSaleManage::BtnWGBClick()
{
    LoadFilter(SaleRecord::UnexpiredCustomers(QDateTime::currentDateTime()), ModeUnexpired);
}

void TFrmSaleManage::TBtnAllClick()
{
    LoadFilter(SaleRecord::AllCustomers(), ModeAll);
}

void TFrmSaleManage::N13Click()
{
    LoadFilter(SaleRecord::UnexpiredCustomers(QDateTime::currentDateTime()), 0);
}

void TFrmSaleManage::N15Click()
{
    LoadFilter(SaleRecord::ExpiredCustomers(QDateTime::currentDateTime()), 0);
}

void TFrmSaleManage::ReloadList()
{
    // A quick find on show stays on show, with what changed.
    if (m_findShown && !m_searchShown) {
        QuickFindRun();
        return;
    }
    switch (ListMode) {
    case ModeOrdinary:
        TBtnPTClick();
        break;
    case ModeSpecial:
        TBtnTSClick();
        break;
    case ModeExpired:
        BtnOverRunClick();
        break;
    case ModeUnexpired:
        BtnWGBClick();
        break;
    case ModeAll:
        TBtnAllClick();
        break;
    case ModeExpiring:
        BtnExpiringClick();
        break;
    default:
        break;
    }
}

void TFrmSaleManage::CmbSearchNameSelect(int index)
{
    if (index >= 0 && index < SaleRecord::SearchFields().size())
        SearchColumn = QLatin1String(SaleRecord::SearchFields()[index].column);
}

void TFrmSaleManage::BtnSearchClick()
{
    // The status text and ListMode keep what the last filter set.
    SaleRecord::Condition condition;
    QString error;
    bool ok = SaleRecord::SearchCondition(SearchColumn, m_ui->CmbOperator->currentText(),
                                          m_ui->EditTJ->text(), &condition, &error);
    if (ok) {
        ok = m_model->Load(condition, false, &error);
    } else {
        m_model->Clear();
    }
    m_searchShown = true;
    if (!ok)
        ShowMessage(QString::fromUtf16(SearchFailed), this);
}

void TFrmSaleManage::ModelFetchFailed(const QString& error)
{
    if (m_searchShown)
        ShowMessage(QString::fromUtf16(SearchFailed), this);
    else
        ShowError(error, QString(), this);
}

int TFrmSaleManage::SelectedRow() const
{
    const QItemSelectionModel* selection = m_ui->ListView1->selectionModel();
    if (!selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TFrmSaleManage::N11Click()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    // The values come from the list, not from a new read of the database.
    TFrmInputInfo* dialog = FrmInputInfo();
    Ui::TFrmInputInfo* ui = dialog->Controls();
    const auto text = [this, row](int column) { return m_model->Text(row, column); };
    using M = SaleListModel;
    const std::pair<QLineEdit*, int> boxes[] = {{ui->EUser, M::ColName},
                                                {ui->EPhone, M::ColPhone},
                                                {ui->EFax, M::ColFax},
                                                {ui->EMobile, M::ColMobile},
                                                {ui->EAddr, M::ColAddr},
                                                {ui->EAmount, M::ColAmount},
                                                {ui->ECPU, M::ColCPU},
                                                {ui->EMemory, M::ColMemory},
                                                {ui->EHD, M::ColHD},
                                                {ui->EDisPlayCard, M::ColDisplayCard},
                                                {ui->ESound, M::ColSound},
                                                {ui->EMainBoard, M::ColMainBoard},
                                                {ui->EBox, M::ColBox},
                                                {ui->EDisPlay, M::ColDisplay},
                                                {ui->EPower, M::ColPower},
                                                {ui->EFloppy, M::ColFloppy},
                                                {ui->ECDROM, M::ColCDROM},
                                                {ui->EMouse, M::ColMouse},
                                                {ui->EKeyBoard, M::ColKeyBoard},
                                                {ui->ESoundBox, M::ColSoundBox},
                                                {ui->ENetWork, M::ColNetWork},
                                                {ui->EModem, M::ColModem},
                                                {ui->EPrint, M::ColPrint},
                                                {ui->EOther, M::ColOther}};
    for (const auto& [edit, column] : boxes) {
        edit->setText(text(column));
        edit->setCursorPosition(0); // long values show their beginning
    }
    ui->Memo->setPlainText(text(M::ColMemo));
    dialog->SetDates(SaleRecord::DateFromText(text(M::ColBuyDate)),
                     SaleRecord::DateFromText(text(M::ColOverRun)));
    ui->CmbQuality->setCurrentIndex(SaleRecord::ClassIndexOfText(text(M::ColClass)));
    dialog->SetAddMode(false);
    // Saved against the version these values were read with: a change
    // another desk saved since the list was read is not overwritten.
    dialog->SetRecordId(m_model->RecordId(row), m_model->RowVersion(row));
    dialog->setModal(true);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TFrmSaleManage::TBtnEnterClick()
{
    TFrmInputInfo* dialog = FrmInputInfo();
    dialog->ClearEntry();
    dialog->SetAddMode(true);
    dialog->setModal(true);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TFrmSaleManage::BtnDelClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    // The machine's repair history refers to its record: such a record stays.
    if (SaleRecord::HasRepairVisits(m_model->RecordId(row))) {
        ShowMessage(QString::fromUtf16(SaleRecord::HasRepairVisitsText), this);
        return;
    }
    const Dialogs::Message question{QStringLiteral("你确定要删除该项信息吗？删除后资料是不可恢复的！"),
                                    QStringLiteral("确定删除"), Dialogs::Icon::Question};
    if (Dialogs::Instance().Ask(this, question, Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    QString error;
    if (!ExecCommand("delete from SaleInfo where id=?", {SqlArg(m_model->RecordId(row))}, &error)) {
        ShowError(error, QString(), this);
        return;
    }
    // The row leaves the list; the count in the status bar stays as loaded.
    m_model->RemoveListRow(row);
}

void TFrmSaleManage::BtnDelOverRunClick()
{
    const Dialogs::Message question{
        QStringLiteral("你确定要删除己过保的客户(除特别客户外)的数据吗？删除后资料是不可恢复的！"),
        QStringLiteral("删除己过保用户数据"), Dialogs::Icon::Question};
    if (Dialogs::Instance().Ask(this, question, Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return;
    // The records go to a copy in BackUp/ first; nothing is deleted unless
    // the copy is complete.  The list is not reloaded: purged rows stay
    // visible until the next load.
    SaleFileActions::PurgeExpired(this);
}

void TFrmSaleManage::TBtnExportClick()
{
    if (m_model->rowCount() == 0) {
        ShowMessage(QStringLiteral("列表中没有记录可以导出，请先选择要导出的客户。"), this);
        return;
    }
    SaleFileActions::ExportList(this, m_model->CurrentCondition());
}

void TFrmSaleManage::TBtnImportClick()
{
    if (SaleFileActions::ImportFile(this) > 0)
        ReloadList();
}

void TFrmSaleManage::SetupRepairHistory()
{
    // The repair desk's window of one machine, where the program has one.
    m_repairHistory = new QAction(IconList::Icon(IconList::Settings), QStringLiteral("维修记录"), this);
    m_repairHistory->setObjectName("TBtnRepairHistory");
    m_repairHistory->setToolTip(QStringLiteral("查看所选机器的维修档案"));
    m_repairHistory->setVisible(bool(OpenRepairHistory));
    const QList<QAction*> actions = m_ui->ToolBar3->actions();
    const qsizetype after = actions.indexOf(m_ui->TBtnAll);
    m_ui->ToolBar3->insertAction(after + 1 < actions.size() ? actions[after + 1] : nullptr, m_repairHistory);
    if (QWidget* button = m_ui->ToolBar3->widgetForAction(m_repairHistory))
        button->setMinimumSize(77, 36);
    connect(m_repairHistory, &QAction::triggered, this, &TFrmSaleManage::TBtnRepairHistoryClick);
}

void TFrmSaleManage::TBtnRepairHistoryClick()
{
    const int row = SelectedRow();
    if (row < 0) {
        ShowMessage(QStringLiteral("请先选择一台机器。"), this);
        return;
    }
    if (OpenRepairHistory)
        OpenRepairHistory(m_model->RecordId(row), this);
}

void TFrmSaleManage::ListView1ContextPopup(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(m_ui->N11);
    menu.setDefaultAction(m_ui->N11);
    if (OpenRepairHistory)
        menu.addAction(m_repairHistory);
    menu.addSeparator();
    menu.addAction(m_ui->N13);
    menu.addSeparator();
    menu.addAction(m_ui->N15);
    menu.addSeparator();
    menu.addAction(m_ui->TBtnExport);
    menu.addAction(m_ui->TBtnImport);
    menu.exec(m_ui->ListView1->viewport()->mapToGlobal(pos));
}

// --- expiring soon and quick find --------------------------------------------------

void TFrmSaleManage::SetupExpiringButton()
{
    // Beside the warranty filters; the drop-down offers the days and the
    // reminder at login, both kept in Quorel.ini.
    auto* expiring = new QAction(IconList::Icon(IconList::Clock), QStringLiteral("即将过保"), this);
    expiring->setObjectName("BtnExpiring");
    const QList<QAction*> actions = m_ui->ToolBar3->actions();
    const qsizetype after = actions.indexOf(m_ui->BtnWGB);
    m_ui->ToolBar3->insertAction(after + 1 < actions.size() ? actions[after + 1] : nullptr, expiring);
    connect(expiring, &QAction::triggered, this, &TFrmSaleManage::BtnExpiringClick);

    auto* menu = new QMenu(this);
    menu->setObjectName("PopupExpiring");
    auto* group = new QActionGroup(menu);
    const int days = Settings::ExpiringDays();
    for (int choice : Settings::ExpiringDayChoices()) {
        QAction* item = menu->addAction(QStringLiteral("%1 天内到期").arg(choice));
        item->setObjectName(QStringLiteral("NExpiring%1").arg(choice));
        item->setCheckable(true);
        item->setChecked(choice == days);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, choice] { SetExpiringDays(choice); });
    }
    menu->addSeparator();
    QAction* remind = menu->addAction(QStringLiteral("登录时提醒即将过保的客户"));
    remind->setObjectName("NRemindAtLogin");
    remind->setCheckable(true);
    remind->setChecked(Settings::RemindAtLogin());
    connect(remind, &QAction::toggled, this, [](bool on) { Settings::SetRemindAtLogin(on); });

    m_expiringButton = qobject_cast<QToolButton*>(m_ui->ToolBar3->widgetForAction(expiring));
    if (m_expiringButton) {
        m_expiringButton->setObjectName("BtnExpiringButton");
        m_expiringButton->setAccessibleName(QStringLiteral("即将过保"));

        m_expiringButton->setMenu(menu);
        m_expiringButton->setPopupMode(QToolButton::MenuButtonPopup);
        m_expiringButton->setMinimumSize(77, 36);
        SplitButtonAccessible::Install(m_expiringButton);
    }
    expiring->setToolTip(QStringLiteral("即将过保（%1 天内到期）").arg(days));
    m_model->SetExpiringDays(days);
}

void TFrmSaleManage::SetExpiringDays(int days)
{
    if (!Settings::ExpiringDayChoices().contains(days))
        return;
    Settings::SetExpiringDays(days);
    if (QAction* expiring = findChild<QAction*>("BtnExpiring"))
        expiring->setToolTip(QStringLiteral("即将过保（%1 天内到期）").arg(days));
    if (QAction* item = findChild<QAction*>(QStringLiteral("NExpiring%1").arg(days)))
        item->setChecked(true);
    m_model->SetExpiringDays(days);
    BtnExpiringClick();
}

void TFrmSaleManage::BtnExpiringClick()
{
    LoadFilter(SaleRecord::ExpiringCustomers(QDateTime::currentDateTime(), m_model->ExpiringDays()),
               ModeExpiring);
}

void TFrmSaleManage::SetupQuickFind()
{
    // Searching as the user types, once the typing pauses.
    m_findTimer = new QTimer(this);
    m_findTimer->setSingleShot(true);
    m_findTimer->setInterval(300);
    connect(m_findTimer, &QTimer::timeout, this, &TFrmSaleManage::QuickFindRun);
    connect(m_ui->EditFind, &QLineEdit::textEdited, m_findTimer, qOverload<>(&QTimer::start));
    // The clear button empties the box without an edit signal of its own.
    connect(m_ui->EditFind, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && m_findShown)
            m_findTimer->start();
    });
    m_ui->EditFind->installEventFilter(this);
    connect(m_ui->EditFind, &QLineEdit::returnPressed, this, &TFrmSaleManage::QuickFindReturn);
    // A scanner types a card's lines within milliseconds of each other.
    m_scanTimer = new QTimer(this);
    m_scanTimer->setSingleShot(true);
    m_scanTimer->setInterval(400);
    connect(m_scanTimer, &QTimer::timeout, this, &TFrmSaleManage::OpenScannedRecord);
}

void TFrmSaleManage::QuickFindReturn()
{
    const QString typed = m_ui->EditFind->text();
    const qint64 card = WarrantyCardRecordId(typed);
    if (card > 0 || (m_scanTimer->isActive() && IsWarrantyCardLine(typed))) {
        m_findTimer->stop();
        const QSignalBlocker quiet(m_ui->EditFind);
        m_ui->EditFind->clear();
        if (card > 0) {
            m_scannedRecord = card;
            SaleRecord::Condition condition;
            condition.where = QStringLiteral("id=?");
            condition.args = {SqlArg(card)};
            QString error;
            const bool ok = m_model->Load(condition, true, &error);
            m_findShown = true;
            m_searchShown = false;
            m_status->setText(QStringLiteral("共有 [%1] 项").arg(qMax<qint64>(0, m_model->MatchCount())));
            if (!ok) {
                m_scannedRecord = 0;
                ShowError(error, QString(), this);
                return;
            }
        }
        m_scanTimer->start();
        return;
    }
    QuickFindRun();
}

void TFrmSaleManage::OpenScannedRecord()
{
    const qint64 id = std::exchange(m_scannedRecord, 0);
    if (id <= 0)
        return;
    if (m_model->rowCount() != 1 || m_model->RecordId(0) != id) {
        ShowMessage(QStringLiteral("没有找到保修档案编号为 %1 的记录，可能已被删除。").arg(id), this);
        return;
    }
    m_ui->ListView1->selectRow(0);
    N11Click();
}

void TFrmSaleManage::QuickFindRun()
{
    m_findTimer->stop();
    const QString fragment = QuickFind::Fragment(m_ui->EditFind->text());
    if (fragment.isEmpty()) {
        // Too short to search: the list of the last filter, if a find replaced it.
        if (m_findShown)
            ReturnToLastFilter();
        return;
    }
    SaleRecord::Condition condition;
    QString error;
    bool ok = QuickFind::FindCondition(fragment, &condition, &error);
    if (ok)
        ok = m_model->Load(condition, true, &error);
    else
        m_model->Clear();
    m_findShown = true;
    m_searchShown = false;
    m_status->setText(QStringLiteral("共有 [%1] 项").arg(qMax<qint64>(0, m_model->MatchCount())));
    if (!ok)
        ShowError(error, QString(), this);
}

void TFrmSaleManage::QuickFindCancel()
{
    m_findTimer->stop();
    const QSignalBlocker quiet(m_ui->EditFind);
    m_ui->EditFind->clear();
    if (m_findShown)
        ReturnToLastFilter();
}

void TFrmSaleManage::ReturnToLastFilter()
{
    m_findShown = false;
    if (!m_filterLoaded) {
        // Nothing was listed before the find: empty, as the window began.
        m_model->Clear();
        m_status->clear();
        return;
    }
    if (m_lastFilterMode != 0) {
        ReloadList();
        return;
    }
    // A context-menu filter, compared with the time of now.
    SaleRecord::Condition condition = m_lastFilter;
    for (SqlArg& arg : condition.args)
        if (arg.value.typeId() == QMetaType::QDateTime)
            arg.value = QDateTime::currentDateTime();
    LoadFilter(condition, 0);
}

bool TFrmSaleManage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->EditFind && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        QuickFindCancel();
        return true;
    }
    return TDefForm::eventFilter(watched, event);
}
