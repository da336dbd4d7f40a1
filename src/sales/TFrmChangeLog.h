#pragma once

#include "TDefForm.h"

#include <memory>

namespace Ui {
class TFrmChangeLog;
}
class ChangeLogModel;

// "数据修改记录": the whole change log in a paged list, filtered by date
// range, user, table, action and record number, exported to a workbook.
// With the sub-right 恢复与清理 a deleted sale record is brought back and
// old log rows are removed.  The log itself is never edited here.
class TFrmChangeLog : public TDefForm
{
    Q_OBJECT
public:
    // The sub-right of 恢复 and 清理.
    static constexpr const char* RestoreRight = "400931";

    explicit TFrmChangeLog(QWidget* parent = nullptr);
    ~TFrmChangeLog() override;

    ChangeLogModel* GridModel() const { return m_model; }

public slots:
    void BtnSearchClick();
    void BtnRestoreClick();
    void BtnPurgeClick();
    void BtnExportClick();
    void BtnCloseClick();
    // The history of the record of the row double-clicked.
    void GridMainDblClick();

protected:
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void FillChoices();
    void UpdateButtons();
    int CurrentRow() const;

    std::unique_ptr<Ui::TFrmChangeLog> m_ui;
    ChangeLogModel* m_model = nullptr;
    bool m_mayRestore = false;
};
