#pragma once

#include "RepairListModel.h"
#include "TDefForm.h"

#include <memory>

namespace Ui {
class TFrmRepairManage;
}
class QLabel;
class QTimer;

// "维修管理": the visits under a search, state check boxes, a range of
// receive dates, a technician, 保修内/外 and 只看超期, newest first, in the
// colours of their state; a double-click opens the visit in the intake form.
class TFrmRepairManage : public TDefForm
{
    Q_OBJECT
public:
    explicit TFrmRepairManage(QWidget* parent = nullptr);
    ~TFrmRepairManage() override;

    Ui::TFrmRepairManage* Controls() const { return m_ui.get(); }
    RepairListModel* Model() const { return m_model; }
    QString StatusText() const;

    // The filter the controls show now.
    RepairListFilter FilterFromControls() const;
    // Puts `filter` into the controls and lists it (the reminders' links).
    void ShowFilter(const RepairListFilter& filter);

    // Opens a visit in the intake form (through the form catalogue when a
    // main window runs it); the form or nullptr.
    static QWidget* OpenVisit(qint64 repairID, QWidget* parent);

public slots:
    void BtnSearchClick();
    // Reads the list again on its filter and keeps the selected visit selected.
    void ReloadKeepingSelection();
    void TBtnNewClick();
    // Double-click and 打开: the selected visit in the intake form.
    void TBtnOpenClick();
    void TBtnHistoryClick();
    void TBtnCallClick();
    void TBtnExportClick();

private slots:
    void ModelFetchFailed(const QString& error);
    void ListView1ContextPopup(const QPoint& pos);

private:
    void SetupList();
    void FillTechnicians();
    int SelectedRow() const;

    std::unique_ptr<Ui::TFrmRepairManage> m_ui;
    RepairListModel* m_model;
    QLabel* m_status;
    QTimer* m_findTimer;
    RepairListFilter m_link;
    bool m_showingLink = false;
};
