#include "ReportPreviewDialog.h"

#include "ReportPreviewPane.h"

#include <QKeyEvent>
#include <QVBoxLayout>

ReportPreviewDialog::ReportPreviewDialog(const Report::PreparedReport& report, QWidget* parent)
    : QDialog(parent), m_pane(new ReportPreviewPane(this))
{
    setObjectName(QStringLiteral("ReportPreviewDialog"));
    setWindowTitle(report.title.isEmpty() ? QStringLiteral("预览")
                                          : QStringLiteral("预览 - ") + report.title);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(900, 700);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pane);
    m_pane->SetReport(report);
    connect(m_pane, &ReportPreviewPane::CaptionChanged, this, &QWidget::setWindowTitle);
    connect(m_pane, &ReportPreviewPane::CloseRequested, this, &QDialog::accept);
}

void ReportPreviewDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc is the pane's close command; QDialog would reject on its own.
    if (!m_pane->HandleKey(event))
        QDialog::keyPressEvent(event);
}

void PreviewReportModal(const Report::PreparedReport& report, QWidget* parent)
{
    ReportPreviewDialog dialog(report, parent);
    dialog.exec();
}
