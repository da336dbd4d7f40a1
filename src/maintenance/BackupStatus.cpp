#include "BackupStatus.h"

#include "BackupFolder.h"
#include "DataAccess.h"

#include <QApplication>
#include <QTimer>

namespace {
BackupStatus::Clock& ClockRef()
{
    static BackupStatus::Clock clock;
    return clock;
}
} // namespace

namespace BackupStatus {

namespace {
QString CopyFailedTail()
{
    return QStringLiteral("（未能复制到第二文件夹）");
}
} // namespace

QString ManualDoneText(const QString& fileName)
{
    return QStringLiteral("备份数据库：") + fileName;
}

QString ManualFailedText(const QString& reason)
{
    return QStringLiteral("备份数据库失败：") + reason;
}

QString AutomaticDoneText(const QString& fileName)
{
    return QStringLiteral("自动备份：") + fileName;
}

QString AutomaticFailedText()
{
    return QStringLiteral("自动备份失败");
}

QString AutomaticCopyFailedText(const QString& fileName)
{
    return AutomaticDoneText(fileName) + CopyFailedTail();
}

State Read(const QString& backupDir)
{
    State state;
    for (const BackupFolder::Entry& entry : BackupFolder::List(backupDir)) {
        if (entry.fileName.startsWith(QLatin1String("before-restore-")))
            continue;
        if (!state.lastGood.isValid() || entry.lastWrite > state.lastGood)
            state.lastGood = entry.lastWrite;
    }
    if (CurrentConnection() && CurrentConnection()->IsOpen()) {
        SqlStatement last(
            CurrentConnection(),
            "select LogText from UseLog where LogText=? or LogText like ? order by LogTime desc limit 1");
        if (last.Bind({AutomaticFailedText(), AutomaticDoneText(QString()) + "%"}) && last.Step()) {
            const QString text = last.ColumnValue(0).toString();
            state.lastAutomaticFailed = text == AutomaticFailedText();
            state.lastCopyFailed = text.endsWith(CopyFailedTail());
        }
    }
    return state;
}

QString StatusText(const State& state, const QDateTime& now)
{
    if (!state.lastGood.isValid())
        return QStringLiteral("上次备份：从未备份");
    const qint64 days = state.lastGood.date().daysTo(now.date());
    const QString age = days <= 0   ? QStringLiteral("今天")
                        : days == 1 ? QStringLiteral("昨天")
                                    : QStringLiteral("%1天前").arg(days);
    return QStringLiteral("上次备份：%1（%2）").arg(state.lastGood.toString("yyyy-MM-dd HH:mm"), age);
}

QString NoticeText(const State& state, const QDateTime& now)
{
    QString text;
    if (!state.lastGood.isValid())
        text = QStringLiteral("数据库还从未备份过。");
    else if (state.lastGood.daysTo(now) > StaleDays)
        text = QStringLiteral("上次备份已是 %1 天前（%2）。")
                   .arg(state.lastGood.date().daysTo(now.date()))
                   .arg(state.lastGood.toString("yyyy-MM-dd HH:mm"));
    if (state.lastAutomaticFailed)
        text += QStringLiteral("上次自动备份失败。");
    else if (state.lastCopyFailed)
        text += QStringLiteral("上次自动备份未能复制到第二个文件夹。");
    if (!text.isEmpty())
        text += QStringLiteral("建议立即备份数据。");
    return text;
}

void SetClock(Clock clock)
{
    ClockRef() = std::move(clock);
}

QDateTime Now()
{
    return ClockRef() ? ClockRef()() : QDateTime::currentDateTime();
}

} // namespace BackupStatus

BackupStatusLabel::BackupStatusLabel(QWidget* parent) : StatusField(parent)
{
    setObjectName(QStringLiteral("lblLastBackup"));
    setAccessibleName(QStringLiteral("上次备份"));
    auto* timer = new QTimer(this);
    timer->setInterval(60 * 1000);
    connect(timer, &QTimer::timeout, this, &BackupStatusLabel::Refresh);
    timer->start();
    Refresh();
}

void BackupStatusLabel::Refresh()
{
    const BackupStatus::State state = BackupStatus::Read(BackupFolder::Path());
    setText(BackupStatus::StatusText(state, BackupStatus::Now()));
    // A backup older than a week, or a failed automatic one, stands out.
    const bool stale = !BackupStatus::NoticeText(state, BackupStatus::Now()).isEmpty();
    setStyleSheet(stale ? QStringLiteral("color: #b00000;") : QString());
}

void BackupStatusLabel::RefreshAll()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        for (BackupStatusLabel* label : window->findChildren<BackupStatusLabel*>())
            label->Refresh();
}
