#pragma once

#include "SaleRecord.h"
#include "TDefForm.h"

#include <functional>
#include <memory>

namespace Ui {
class TFrmSaleManage;
}
class SaleListModel;
class QAction;
class QLabel;
class QTimer;
class QToolButton;

// The record manager "销售记录管理": lists sale records under five toolbar
// filters and two context-menu filters, searches one column, opens a record
// in the entry dialog, records a new sale, deletes one record and purges the
// expired records of ordinary customers.
class TFrmSaleManage : public TDefForm
{
    Q_OBJECT
public:
    // The toolbar filter that last filled the list (ReloadList repeats it).
    enum Mode { ModeOrdinary = 1, ModeSpecial, ModeExpired, ModeUnexpired, ModeAll, ModeExpiring };

    explicit TFrmSaleManage(QWidget* parent = nullptr);
    ~TFrmSaleManage() override;

    int ListMode = ModeOrdinary;
    // The column chosen last in the search-field box; kept for the program
    // run, across windows.
    static inline QString SearchColumn;

    // Runs the toolbar filter of ListMode again, as a click on its button.
    void ReloadList();
    // Lists the records of a condition from elsewhere (the statistics'
    // links), as a context-menu filter: ListMode stays.
    void ShowCondition(const SaleRecord::Condition& condition);
    QString StatusText() const;

    SaleListModel* Model() const { return m_model; }
    // Opens the repair history of a machine (set where the repair desk is
    // part of the program; without it the 维修记录 action is hidden).
    static inline std::function<void(qint64 saleID, QWidget* parent)> OpenRepairHistory;
    // The list's column widths for the current user in set.ini (the user's
    // own, kept across runs); false when there is no user or no file.
    bool SaveColumnWidths();
    Ui::TFrmSaleManage* Controls() const { return m_ui.get(); }

public slots:
    void TBtnEnterClick();
    void TBtnPTClick();
    void TBtnTSClick();
    void BtnOverRunClick();
    void BtnWGBClick();
    void TBtnAllClick();
    void N13Click();
    void N15Click();
    // Double-click, "显示当前客户资料" and "查看客户信息": the selected row in the
    // entry dialog, in edit mode.
    void N11Click();
    void BtnSearchClick();
    void BtnDelClick();
    void BtnDelOverRunClick();
    // "即将过保": warranties ending within the chosen days, by warranty end.
    void BtnExpiringClick();
    // A choice of the drop-down: remembered, and the filter loaded with it.
    void SetExpiringDays(int days);
    // Quick find with the text of EditFind now (typing runs it after a pause).
    void QuickFindRun();
    // Esc in EditFind: empties it and shows the last filter again.
    void QuickFindCancel();
    // Enter in EditFind: a scanned warranty card lists its record alone and
    // opens it once the scanner has typed the card's last line; other text
    // is found at once.
    void QuickFindReturn();
    // "维修记录": the selected machine's repair history.
    void TBtnRepairHistoryClick();
    // Every record the current filter or search matches, to .xlsx or CSV.
    void TBtnExportClick();
    // Records from .xlsx, .xls or CSV after a preview.
    void TBtnImportClick();

private slots:
    void CmbSearchNameSelect(int index);
    void ListView1ContextPopup(const QPoint& pos);
    void ModelFetchFailed(const QString& error);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // mode 0 leaves ListMode as it is (the context-menu filters).
    void LoadFilter(const SaleRecord::Condition& condition, int mode);
    void SetupList();
    void ClampColumnWidth(int column, int width);
    void RestoreColumnWidths();
    int SelectedRow() const;
    void SetupExpiringButton();
    void SetupQuickFind();
    void SetupRepairHistory();
    void ReturnToLastFilter();
    void OpenScannedRecord();

    std::unique_ptr<Ui::TFrmSaleManage> m_ui;
    SaleListModel* m_model;
    QLabel* m_status;
    bool m_searchShown = false;
    QToolButton* m_expiringButton = nullptr;
    QTimer* m_findTimer = nullptr;
    bool m_findShown = false;
    // The record a scanned card named, opened when the card's lines end.
    qint64 m_scannedRecord = 0;
    QTimer* m_scanTimer = nullptr;
    // The filter that filled the list last, for Esc in the quick-find box.
    bool m_filterLoaded = false;
    SaleRecord::Condition m_lastFilter;
    int m_lastFilterMode = 0;
    QTimer* m_saveWidths = nullptr;
    QAction* m_repairHistory = nullptr;
};
