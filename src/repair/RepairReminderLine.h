#pragma once

#include "RepairReminder.h"

#include <QLabel>
#include <functional>

class QTimer;

// The line of open repairs in the main window's status bar:
// "超期 x · 待取机 y · 超30天未取 z", each part a link to the visits it
// counts.  It counts again every minute and whenever asked.
class RepairReminderLine : public QLabel
{
    Q_OBJECT
public:
    explicit RepairReminderLine(QWidget* parent = nullptr);

    void SetClock(std::function<QDateTime()> clock);
    const RepairReminder::Counts& Counts() const { return m_counts; }

    // The line with its three links; the same words as LineText.
    static QString LineHtml(const RepairReminder::Counts& counts, const RepairReminder::Limits& limits);
    // The shop's limits as the settings hold them now.
    static RepairReminder::Limits CurrentLimits();
    // Follows a link of the line: the repair list on that filter, or the
    // call list.  false for a link of another kind.
    static bool OpenLink(const QString& link, QWidget* parent);

public slots:
    void Refresh();

private:
    std::function<QDateTime()> m_clock;
    RepairReminder::Counts m_counts;
    QTimer* m_timer;
};
