#pragma once

#include "TDefForm.h"
#include "ReportModel.h"

class ReportPreviewPane;

// "打印模板": the report preview as an MDI child window.  It starts empty;
// a report comes from a caller (ShowReport) or from a report file opened with
// the pane's "打开报表".
class TFrmPrintMode : public TDefForm
{
    Q_OBJECT
public:
    explicit TFrmPrintMode(QWidget* parent = nullptr);

    ReportPreviewPane* FViewer() const { return m_pane; }
    void ShowReport(const Report::PreparedReport& report);

protected:
    // The keyboard table of the pane, before the focused control sees the key.
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ReportPreviewPane* m_pane;
};

// Registers the report forms with the form registry (class name "TFrmPrintMode").
void RegisterReportForms();
