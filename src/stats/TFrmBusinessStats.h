#pragma once

#include "BusinessStats.h"
#include "TDefForm.h"

#include <memory>

namespace Ui {
class TFrmBusinessStats;
}
class StatsPageView;
class QToolButton;

// "经营统计": the shop's figures for a period, as a figure row and the
// charts of the report engine; a click on a figure or a bar lists its
// records in the sale record manager or the repair list.  The same page
// previews, prints and saves as PDF; 导出数据 writes the numbers to .xlsx.
class TFrmBusinessStats : public TDefForm
{
    Q_OBJECT
public:
    enum Period { ThisMonth, LastMonth, ThisQuarter, ThisYear, LastYear, Custom };

    explicit TFrmBusinessStats(QWidget* parent = nullptr);
    ~TFrmBusinessStats() override;

    Ui::TFrmBusinessStats* Controls() const { return m_ui.get(); }
    StatsPageView* PageView() const { return m_view; }
    const BusinessStats::Result& Figures() const { return m_result; }
    // The days of a period choice on `today` (Custom: the date boxes).
    static std::pair<QDate, QDate> PeriodDays(int period, const QDate& today);

    // Computes everything again; `full` also counts the unreadable dates.
    bool Reload(bool full = true);
    // What a click on a part opens; true when a list was opened.
    bool OpenPart(const QString& part);

public slots:
    void BtnRefreshClick();
    void BtnPreviewClick();
    void BtnPrintClick();
    void BtnExportClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CmbPeriodChange();
    void ShowFigures();

    std::unique_ptr<Ui::TFrmBusinessStats> m_ui;
    StatsPageView* m_view;
    BusinessStats::Result m_result;
    QVector<std::pair<QToolButton*, QString>> m_figures;
    bool m_loading = false;
};
