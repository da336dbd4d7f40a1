#pragma once

#include "RepairRecord.h"
#include "ReportModel.h"
#include "TDefForm.h"

#include <functional>
#include <memory>

namespace Ui {
class TFrmRepairInput;
}
class QTimer;

// The intake form "维修登记": finds the machine (phone digits, name, 单号, a
// serial, or a scanned warranty card), shows its customer, warranty, earlier
// visits and running component warranties, takes the visit in, records the
// bench work and the replaced components, moves the visit through its
// states and prints the 维修单 and the 取机单.
class TFrmRepairInput : public TDefForm
{
    Q_OBJECT
public:
    explicit TFrmRepairInput(QWidget* parent = nullptr);
    ~TFrmRepairInput() override;

    Ui::TFrmRepairInput* Controls() const { return m_ui.get(); }
    const RepairVisit& Visit() const { return m_visit; }
    bool IsModified() const { return m_modified; }

    // The machine of sale record `saleID` for a new visit (or its open visit
    // when the desk chooses it); false when there is no such record or
    // typed work was kept.
    bool PickMachine(qint64 saleID);
    // A stored visit with its machine.
    bool OpenVisit(qint64 repairID);
    // Saves the visit; false (with the reason shown) when refused.
    bool Save();
    // The slips, as they would print now.
    bool PrintOrder();
    bool PrintPickup();
    // Where the slips go instead of the modal preview (tests, benchmarks).
    static inline std::function<void(const Report::PreparedReport&)> SlipSink;

public slots:
    void EFindReturnPressed();
    void RunSearch();
    void LstFoundActivated();
    void BtnOutsideClick(bool outside);
    void BtnNewClick();
    void BtnSaveClick();
    void BtnStartClick();
    void BtnReadyClick();
    void BtnPickupClick();
    void BtnPrintOrderClick();
    void BtnPrintPickupClick();
    void BtnSavePrintClick();
    void BtnHistoryClick();
    void BtnAddSwapClick();
    void BtnDelSwapClick();
    void CmbPhraseActivated(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void NewVisit();
    void ShowMachine();
    void ShowVisit();
    void ReadVisit();
    bool ReadMoney(QString* error);
    void UpdateMoney();
    void UpdateButtons();
    void ShowBadge();
    void FillHistoryTables();
    void SetSwapRow(int row, const RepairSwapLine& line);
    RepairSwapLine SwapOfRow(int row, bool* ok) const;
    bool Move(int to);
    bool KeepTypedWork();
    void MarkModified();
    bool ShowSlip(bool pickup);

    std::unique_ptr<Ui::TFrmRepairInput> m_ui;
    RepairVisit m_visit;
    RepairRecord::SaleMachine m_sale;
    QTimer* m_searchTimer;
    bool m_modified = false;
    bool m_loading = false;
    bool m_secondOpenConfirmed = false;
    // After a scanned card's first line: its remaining lines are not searches.
    bool m_cardLines = false;
};
