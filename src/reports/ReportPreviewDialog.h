#pragma once

#include "ReportModel.h"

#include <QDialog>

class ReportPreviewPane;

// The modal preview: the preview pane in a dialog of its own.
class ReportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReportPreviewDialog(const Report::PreparedReport& report, QWidget* parent = nullptr);
    ReportPreviewPane* Pane() const { return m_pane; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    ReportPreviewPane* m_pane;
};

// Shows the report and returns when the preview is closed.
void PreviewReportModal(const Report::PreparedReport& report, QWidget* parent = nullptr);
