#include "RepairReminderLine.h"

#include "SaleEntryEvents.h"

#include "RepairSettings.h"
#include "Shell.h"
#include "TFrmRepairCall.h"
#include "TFrmRepairManage.h"

#include <QTimer>

namespace {

const char* const ListFunction = "6002";

} // namespace

RepairReminderLine::RepairReminderLine(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("LblRepairReminder"));
    setAccessibleName(QStringLiteral("维修提醒"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setContentsMargins(4, 0, 4, 0);
    connect(this, &QLabel::linkActivated, this, [this](const QString& link) {
        OpenLink(link, window());
        Refresh();
    });
    m_timer = new QTimer(this);
    m_timer->setInterval(60 * 1000);
    connect(m_timer, &QTimer::timeout, this, &RepairReminderLine::Refresh);
    m_timer->start();
    connect(SaleEntryEvents::Instance(), &SaleEntryEvents::repairsChanged, this,
            &RepairReminderLine::Refresh);
}

void RepairReminderLine::SetClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
    Refresh();
}

RepairReminder::Limits RepairReminderLine::CurrentLimits()
{
    const RepairSettings settings = RepairSettings::Load();
    return {settings.overdueDays, settings.pickupDays, settings.longWaitDays};
}

QString RepairReminderLine::LineHtml(const RepairReminder::Counts& counts,
                                     const RepairReminder::Limits& limits)
{
    return QStringLiteral("<a href=\"repair:overdue\">超期 %1</a> · <a href=\"repair:call\">待取机 %2</a> · "
                          "<a href=\"repair:long\">超%3天未取 %4</a>")
        .arg(counts.overdue)
        .arg(counts.toCall)
        .arg(limits.longWaitDays)
        .arg(counts.longWait);
}

void RepairReminderLine::Refresh()
{
    const RepairReminder::Limits limits = CurrentLimits();
    QString error;
    if (!RepairReminder::Count(m_clock ? m_clock() : QDateTime::currentDateTime(), limits, &m_counts,
                               &error)) {
        // A passing failure (the server restarting) leaves the line empty
        // until the next count.
        setText(QString());
        setToolTip(error);
        return;
    }
    setText(LineHtml(m_counts, limits));
    setToolTip(QStringLiteral("点击查看"));
}

bool RepairReminderLine::OpenLink(const QString& link, QWidget* parent)
{
    if (link == QLatin1String("repair:call")) {
        TFrmRepairCall::ShowCallList(parent);
        return true;
    }
    RepairListFilter filter;
    if (link == QLatin1String("repair:overdue")) {
        filter.statuses = {0, 1};
        filter.overdueOnly = true;
    } else if (link == QLatin1String("repair:long")) {
        filter.statuses = {2};
        filter.longWaitOnly = true;
    } else {
        return false;
    }
    // The list through the catalogue, so that the user's right counts.
    Shell* shell = Shell::Instance();
    if (!shell || !shell->RunFunction(QLatin1String(ListFunction)))
        return false;
    auto* list = qobject_cast<TFrmRepairManage*>(shell->FindOpenForm(QStringLiteral("TFrmRepairManage")));
    if (!list)
        return false;
    list->ShowFilter(filter);
    return true;
}
