#include "TFrmPrintMode.h"

#include "FormRegistry.h"
#include "ReportPreviewPane.h"

#include <QKeyEvent>
#include <QVBoxLayout>

TFrmPrintMode::TFrmPrintMode(QWidget* parent) : TDefForm(parent), m_pane(new ReportPreviewPane(this))
{
    setObjectName(QStringLiteral("FrmPrintMode"));
    setWindowTitle(QStringLiteral("打印模板"));
    resize(670, 467);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pane);
    connect(m_pane, &ReportPreviewPane::CaptionChanged, this, &QWidget::setWindowTitle);
    connect(m_pane, &ReportPreviewPane::CloseRequested, this, &TDefForm::CloseChild);
}

void TFrmPrintMode::ShowReport(const Report::PreparedReport& report)
{
    m_pane->SetReport(report);
}

bool TFrmPrintMode::FormKeyDown(QKeyEvent* event)
{
    return m_pane->HandleKey(event);
}

void TFrmPrintMode::showEvent(QShowEvent* event)
{
    TDefForm::showEvent(event);
    m_pane->findChild<QWidget*>(QStringLiteral("ToolbarStand"))->setVisible(true);
}

void RegisterReportForms()
{
    RegisterForm<TFrmPrintMode>(QStringLiteral("打印模板"), true);
}
