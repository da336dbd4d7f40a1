#pragma once

#include "RepairReminder.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class TFrmRepairCall;
}

// "待取机通知": the machines ready to be fetched whose customer has not
// been called within the pickup days, with their phones; "已通知" stamps
// the call and takes the row off the list until the pickup days have passed.
class TFrmRepairCall : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmRepairCall(QWidget* parent = nullptr);
    ~TFrmRepairCall() override;

    Ui::TFrmRepairCall* Controls() const { return m_ui.get(); }
    // The clock the list is judged by and the calls stamped with.
    void SetClock(std::function<QDateTime()> clock);
    const QVector<RepairReminder::Call>& Calls() const { return m_calls; }

    // Opens the window (it frees itself when closed).
    static TFrmRepairCall* ShowCallList(QWidget* parent);

public slots:
    void Reload();
    void BtnNotifiedClick();
    void BtnOpenClick();

private:
    QDateTime Now() const;
    int SelectedRow() const;

    std::unique_ptr<Ui::TFrmRepairCall> m_ui;
    std::function<QDateTime()> m_clock;
    RepairReminder::Limits m_limits;
    QVector<RepairReminder::Call> m_calls;
};
