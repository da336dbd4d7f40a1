#pragma once

#include "WarrantyCard.h"

class QWidget;

// The warranty card report, created once and refilled for every preview or
// print, so nothing of an earlier card survives into the next one.
class TQuickReport1
{
public:
    TQuickReport1();

    void Fill(const WarrantyCardData& data);
    const Report::PreparedReport& Prepared() const { return m_prepared; }

    // The card in the modal preview; returns when the preview is closed.
    void Preview(QWidget* parent = nullptr) const;
    // One copy at once on the default printer, no printer dialog.  False with
    // a message for the user (no printer, printing failed) in error.
    bool Print(QString* error, QWidget* parent = nullptr) const;

private:
    Report::ReportTemplate m_card;
    Report::PreparedReport m_prepared;
};
