#pragma once

#include "TDefForm.h"

#include <memory>

namespace Ui {
class TFrmSysLog;
}
class SysLogModel;

// "系统日志": the usage-log rows of the data module's log window (from the
// start of the day three days before the connection), with delete of the
// selected rows and export to a workbook.
class TFrmSysLog : public TDefForm
{
    Q_OBJECT
public:
    explicit TFrmSysLog(QWidget* parent = nullptr);
    ~TFrmSysLog() override;

    SysLogModel* GridModel() const { return m_model; }

public slots:
    void btnReLoadClick();
    void btnDeleteClick();
    void btnExportClick();
    void btnCloseClick();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool GridMainKeyDown(QKeyEvent* event);

private:
    std::unique_ptr<Ui::TFrmSysLog> ui;
    SysLogModel* m_model = nullptr;
};
