#include "QuickReport1.h"

#include "ReportPreviewDialog.h"
#include "ReportPrint.h"

TQuickReport1::TQuickReport1() : m_card(Report::WarrantyCardTemplate())
{
    m_prepared = Report::Prepare(m_card);
}

void TQuickReport1::Fill(const WarrantyCardData& data)
{
    Report::FillWarrantyCardTemplate(m_card, data);
    m_prepared = Report::Prepare(m_card);
}

void TQuickReport1::Preview(QWidget* parent) const
{
    PreviewReportModal(m_prepared, parent);
}

bool TQuickReport1::Print(QString* error, QWidget* parent) const
{
    return Report::PrintReport(m_prepared, error, parent);
}
