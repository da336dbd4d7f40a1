#pragma once

#include "ReportModel.h"

#include <QDialog>

namespace Ui {
class ReportFindDialog;
class ReportPageSetupDialog;
class ReportPageEditDialog;
} // namespace Ui

// The preview's find dialog: the text to look for and whether case matters.
class ReportFindDialog : public QDialog
{
    Q_OBJECT
public:
    ReportFindDialog(const QString& text, bool matchCase, QWidget* parent = nullptr);
    ~ReportFindDialog() override;
    QString Text() const;
    bool MatchCase() const;

private:
    Ui::ReportFindDialog* m_ui;
};

// Paper, orientation and margins of the shown report.
class ReportPageSetupDialog : public QDialog
{
    Q_OBJECT
public:
    ReportPageSetupDialog(const Report::PageSetup& setup, QWidget* parent = nullptr);
    ~ReportPageSetupDialog() override;
    Report::PageSetup Setup() const;

private slots:
    void cmbPaperChange(int index);
    void btnOkClick();

private:
    Ui::ReportPageSetupDialog* m_ui;
};

// Lists the texts of one prepared page; the text column can be edited.
class ReportPageEditDialog : public QDialog
{
    Q_OBJECT
public:
    ReportPageEditDialog(const Report::PreparedPage& page, QWidget* parent = nullptr);
    ~ReportPageEditDialog() override;
    // The page with the edited texts (their boxes follow the new widths).
    Report::PreparedPage Page() const;

private:
    Ui::ReportPageEditDialog* m_ui;
    Report::PreparedPage m_page;
};
