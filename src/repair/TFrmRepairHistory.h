#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmRepairHistory;
}

// "机器维修档案": every visit of one machine, the history of its replaced
// components (date, 部件, old → new model and serial, 保修至) and its
// configuration now (as sold, with the swaps applied in order).
class TFrmRepairHistory : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmRepairHistory(qint64 saleID, QWidget* parent = nullptr);
    ~TFrmRepairHistory() override;
    Ui::TFrmRepairHistory* Controls() const { return m_ui.get(); }

private:
    void Fill();
    std::unique_ptr<Ui::TFrmRepairHistory> m_ui;
    qint64 m_saleID;
};

// Opens the window of one machine (from the intake form, the repair list or
// the sale record manager); it frees itself when closed.
TFrmRepairHistory* ShowRepairHistory(qint64 saleID, QWidget* parent);
