#include "TFrmBusinessStats.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "RepairSettings.h"
#include "ReportPreviewDialog.h"
#include "ReportPrint.h"
#include "Shell.h"
#include "StatsPageView.h"
#include "StatsReport.h"
#include "TFrmRepairManage.h"
#include "TFrmSaleManage.h"
#include "ui_TFrmBusinessStats.h"

#include <QEvent>
#include <QLocale>
#include <QScrollBar>
#include <QToolButton>

namespace {

// The functions the links open through the catalogue, so that the user's
// rights count.
const char* const SaleManagerFunction = "2001";
const char* const RepairListFunction = "6002";

QString ShopName()
{
    MemDataset company;
    if (OpenQuery(QStringLiteral("select name from AC_Company"), company) && !company.IsEmpty())
        return company.AsString("name").trimmed();
    return {};
}

} // namespace

TFrmBusinessStats::TFrmBusinessStats(QWidget* parent)
    : TDefForm(parent), m_ui(std::make_unique<Ui::TFrmBusinessStats>()), m_view(new StatsPageView)
{
    m_ui->setupUi(this);
    m_ui->CmbPeriod->addItems({QStringLiteral("本月"), QStringLiteral("上月"), QStringLiteral("本季度"),
                               QStringLiteral("本年"), QStringLiteral("去年"), QStringLiteral("自定义")});
    m_ui->CmbGroup->addItems({QStringLiteral("按日"), QStringLiteral("按周"), QStringLiteral("按月")});
    m_ui->CmbPeriod->setAccessibleName(QStringLiteral("统计期间"));
    m_ui->CmbGroup->setAccessibleName(QStringLiteral("分组"));
    m_ui->DateFrom->setAccessibleName(QStringLiteral("开始日期"));
    m_ui->DateTo->setAccessibleName(QStringLiteral("结束日期"));
    const int dateWidth = m_ui->DateFrom->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 40;
    m_ui->DateFrom->setMinimumWidth(dateWidth);
    m_ui->DateTo->setMinimumWidth(dateWidth);
    m_ui->ScrollPages->setWidget(m_view);
    m_ui->ScrollPages->viewport()->installEventFilter(this);
    m_ui->ScrollPages->verticalScrollBar()->setSingleStep(40);

    m_figures = {
        {m_ui->BtnFigSales, QStringLiteral("sales")},       {m_ui->BtnFigVisits, QStringLiteral("visits")},
        {m_ui->BtnFigInRepair, QStringLiteral("inRepair")}, {m_ui->BtnFigWaiting, QStringLiteral("waiting")},
        {m_ui->BtnFigOverdue, QStringLiteral("overdue")},   {m_ui->BtnFigRevenue, QStringLiteral("revenue")},
        {m_ui->BtnFigExp30, QStringLiteral("expiring30")},  {m_ui->BtnFigExp60, QStringLiteral("expiring60")},
        {m_ui->BtnFigExp90, QStringLiteral("expiring90")}};
    for (const auto& [button, name] : m_figures) {
        const QString part = QStringLiteral("figure/") + name;
        connect(button, &QToolButton::clicked, this, [this, part] { OpenPart(part); });
    }

    m_ui->CmbPeriod->setCurrentIndex(ThisYear);
    m_ui->CmbGroup->setCurrentIndex(int(BusinessStats::Grouping::Month));
    const auto [from, to] = PeriodDays(ThisYear, QDate::currentDate());
    m_ui->DateFrom->setDate(from);
    m_ui->DateTo->setDate(to);
    m_ui->DateFrom->setEnabled(false);
    m_ui->DateTo->setEnabled(false);

    connect(m_ui->CmbPeriod, &QComboBox::currentIndexChanged, this, &TFrmBusinessStats::CmbPeriodChange);
    connect(m_ui->CmbGroup, &QComboBox::currentIndexChanged, this, [this] { Reload(false); });
    connect(m_ui->DateFrom, &QDateEdit::dateChanged, this, [this] {
        if (!m_loading)
            Reload(false);
    });
    connect(m_ui->DateTo, &QDateEdit::dateChanged, this, [this] {
        if (!m_loading)
            Reload(false);
    });
    connect(m_ui->BtnRefresh, &QPushButton::clicked, this, &TFrmBusinessStats::BtnRefreshClick);
    connect(m_ui->BtnPreview, &QPushButton::clicked, this, &TFrmBusinessStats::BtnPreviewClick);
    connect(m_ui->BtnPrint, &QPushButton::clicked, this, &TFrmBusinessStats::BtnPrintClick);
    connect(m_ui->BtnExport, &QPushButton::clicked, this, &TFrmBusinessStats::BtnExportClick);
    connect(m_view, &StatsPageView::PartClicked, this, [this](const QString& part) { OpenPart(part); });
    Reload(true);
}

TFrmBusinessStats::~TFrmBusinessStats() = default;

std::pair<QDate, QDate> TFrmBusinessStats::PeriodDays(int period, const QDate& today)
{
    const QDate month(today.year(), today.month(), 1);
    switch (period) {
    case ThisMonth:
        return {month, month.addMonths(1).addDays(-1)};
    case LastMonth:
        return {month.addMonths(-1), month.addDays(-1)};
    case ThisQuarter: {
        const QDate quarter(today.year(), (today.month() - 1) / 3 * 3 + 1, 1);
        return {quarter, quarter.addMonths(3).addDays(-1)};
    }
    case ThisYear:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    case LastYear:
        return {QDate(today.year() - 1, 1, 1), QDate(today.year() - 1, 12, 31)};
    default:
        return {};
    }
}

void TFrmBusinessStats::CmbPeriodChange()
{
    const int period = m_ui->CmbPeriod->currentIndex();
    const bool custom = period == Custom;
    m_ui->DateFrom->setEnabled(custom);
    m_ui->DateTo->setEnabled(custom);
    if (!custom) {
        const auto [from, to] = PeriodDays(period, QDate::currentDate());
        m_loading = true;
        m_ui->DateFrom->setDate(from);
        m_ui->DateTo->setDate(to);
        m_loading = false;
        // A month is shown by day, a quarter by week, a year by month.
        const QSignalBlocker quiet(m_ui->CmbGroup);
        m_ui->CmbGroup->setCurrentIndex(period <= LastMonth ? 0 : period == ThisQuarter ? 1 : 2);
    }
    Reload(false);
}

bool TFrmBusinessStats::Reload(bool full)
{
    BusinessStats::Request request;
    request.from = m_ui->DateFrom->date();
    request.to = m_ui->DateTo->date();
    if (request.to < request.from)
        std::swap(request.from, request.to);
    request.grouping = BusinessStats::Grouping(qBound(0, m_ui->CmbGroup->currentIndex(), 2));
    request.now = QDateTime::currentDateTime();
    const RepairSettings settings = RepairSettings::Load();
    request.limits = {settings.overdueDays, settings.pickupDays, settings.longWaitDays};
    request.countUnreadable = full || m_result.unreadable < 0;
    const qint64 unreadable = m_result.unreadable;
    QString error;
    BusinessStats::Result result;
    if (!BusinessStats::Compute(request, &result, &error)) {
        ShowError(error, QString(), this);
        return false;
    }
    if (!request.countUnreadable)
        result.unreadable = unreadable;
    m_result = std::move(result);
    ShowFigures();
    m_view->SetReport(StatsReport::Prepare(m_result, ShopName()));
    return true;
}

void TFrmBusinessStats::ShowFigures()
{
    const BusinessStats::Result& r = m_result;
    const QStringList values = {
        QString::number(r.salesTotal), QString::number(r.visitsTotal), QString::number(r.inRepair),
        QString::number(r.waiting),    QString::number(r.overdue),     BusinessStats::Yuan(r.revenue),
        QString::number(r.expiring30), QString::number(r.expiring60),  QString::number(r.expiring90)};
    const QStringList captions = {
        QStringLiteral("本期销售"),   QStringLiteral("本期维修"),   QStringLiteral("在修"),
        QStringLiteral("待取机"),     QStringLiteral("超期"),       QStringLiteral("本期收入"),
        QStringLiteral("30天内到期"), QStringLiteral("60天内到期"), QStringLiteral("90天内到期")};
    for (int i = 0; i < m_figures.size(); ++i) {
        QToolButton* button = m_figures[i].first;
        button->setText(captions[i] + '\n' + values[i]);
        button->setAccessibleName(captions[i]);
        button->setToolTip(QStringLiteral("点击查看这些记录"));
    }
    QString note =
        QStringLiteral("统计期间：") + StatsReport::PeriodText(r) +
        QStringLiteral("    接收到待取机：平均 %1 天，90% 在 %2 天内（%3 次）")
            .arg(QLocale::c().toString(r.readyAverage, 'f', 1), QLocale::c().toString(r.readyP90, 'f', 1))
            .arg(r.readyCount);
    const QString unreadable = BusinessStats::UnreadableNote(r.unreadable);
    if (!unreadable.isEmpty())
        note += QStringLiteral("    ") + unreadable;
    m_ui->LblNote->setText(note);
}

bool TFrmBusinessStats::OpenPart(const QString& part)
{
    const BusinessStats::Target target = BusinessStats::TargetOf(m_result, part);
    if (target.kind == BusinessStats::Target::None)
        return false;
    Shell* shell = Shell::Instance();
    if (!shell)
        return false;
    if (target.kind == BusinessStats::Target::Sales) {
        if (!shell->RunFunction(QLatin1String(SaleManagerFunction)))
            return false;
        auto* manager = qobject_cast<TFrmSaleManage*>(shell->FindOpenForm(QStringLiteral("TFrmSaleManage")));
        if (!manager)
            return false;
        manager->ShowCondition(target.sales);
        return true;
    }
    if (!shell->RunFunction(QLatin1String(RepairListFunction)))
        return false;
    auto* list = qobject_cast<TFrmRepairManage*>(shell->FindOpenForm(QStringLiteral("TFrmRepairManage")));
    if (!list)
        return false;
    list->ShowFilter(target.repairs);
    return true;
}

void TFrmBusinessStats::BtnRefreshClick()
{
    Reload(true);
}

void TFrmBusinessStats::BtnPreviewClick()
{
    PreviewReportModal(m_view->Prepared(), this);
}

void TFrmBusinessStats::BtnPrintClick()
{
    QString error;
    if (!Report::PrintReport(m_view->Prepared(), &error, this) && !error.isEmpty())
        ShowError(error, QString(), this);
}

void TFrmBusinessStats::BtnExportClick()
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("导出数据");
    request.filter = QStringLiteral("Excel文件|*.xlsx|所有文件|*.*");
    request.defaultSuffix = QStringLiteral("xlsx");
    const QString file = Dialogs::Instance().SaveFileName(this, request);
    if (file.isEmpty())
        return;
    QString error;
    if (!StatsReport::ExportWorkbook(m_result, file, &error)) {
        ShowError(error, QString(), this);
        return;
    }
    ShowMessage(QStringLiteral("统计数据已导出到 %1").arg(file), this);
}

bool TFrmBusinessStats::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->ScrollPages->viewport() && event->type() == QEvent::Resize)
        m_view->FitWidth(m_ui->ScrollPages->viewport()->width());
    return TDefForm::eventFilter(watched, event);
}
