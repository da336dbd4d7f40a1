#pragma once

#include "TDefForm.h"
#include "SaleRecord.h"

#include <memory>

namespace Ui {
class TFrmSaleManage;
}
class SaleListModel;
class QLabel;

// The record manager "销售记录管理": lists sale records under five toolbar
// filters and two context-menu filters, searches one column, opens a record
// in the entry dialog, records a new sale, deletes one record and purges the
// expired records of ordinary customers.
class TFrmSaleManage : public TDefForm
{
    Q_OBJECT
public:
    // The toolbar filter that last filled the list (ReloadList repeats it).
    enum Mode { ModeOrdinary = 1, ModeSpecial, ModeExpired, ModeUnexpired, ModeAll };

    explicit TFrmSaleManage(QWidget* parent = nullptr);
    ~TFrmSaleManage() override;

    int ListMode = ModeOrdinary;
    // The column chosen last in the search-field box; kept for the program
    // run, across windows.
    static inline QString SearchColumn;

    // Runs the toolbar filter of ListMode again, as a click on its button.
    void ReloadList();
    // The key of the selected row, -1 when none is selected.
    qint64 SelectedRecordId() const;
    QString StatusText() const;

    SaleListModel* Model() const { return m_model; }
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
    // Every record the current filter or search matches, to .xlsx or CSV.
    void TBtnExportClick();
    // Records from .xlsx, .xls or CSV after a preview.
    void TBtnImportClick();

private slots:
    void CmbSearchNameSelect(int index);
    void ListView1ContextPopup(const QPoint& pos);
    void ModelFetchFailed(const QString& error);

private:
    // mode 0 leaves ListMode as it is (the context-menu filters).
    void LoadFilter(const SaleRecord::Condition& condition, int mode);
    void SetupList();
    void ClampColumnWidth(int column, int width);
    int SelectedRow() const;

    std::unique_ptr<Ui::TFrmSaleManage> m_ui;
    SaleListModel* m_model;
    QLabel* m_status;
    bool m_searchShown = false;
};
