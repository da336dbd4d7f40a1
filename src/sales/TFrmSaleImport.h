#pragma once

#include "SaleImport.h"

#include <QDialog>
#include <memory>

class SaleImportRun;

namespace Ui {
class TFrmSaleImport;
}

// The preview of an import: what the file holds, which of its columns are
// ignored, the rows refused (row, column, reason) and the rows that look like
// stored records.  Read() reads the file on a worker thread while the form
// is open: the progress bar follows the file, the counts and lists fill as
// rows come, and "取消" stops the reading.  "导入" accepts once the whole
// file is read; nothing is written by the dialog itself.  The form closes
// by itself when the file is refused or holds no data rows (ReadOutcome and
// CurrentPreview tell which).
class TFrmSaleImport : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmSaleImport(QWidget* parent = nullptr);
    ~TFrmSaleImport() override;

    void Read(const QString& fileName);
    // Shows a preview read beforehand, as complete.
    void SetPreview(const SaleImport::Preview& preview);
    bool SkipDuplicates() const;
    bool IsReading() const;
    SaleImport::Outcome ReadOutcome() const { return m_outcome; }
    QString ReadError() const { return m_error; }
    const SaleImport::Preview& CurrentPreview() const;
    Ui::TFrmSaleImport* Controls() const { return m_ui.get(); }

    void reject() override;

private:
    void ShowPreview(const SaleImport::Preview& preview, bool complete);
    void ShowProgress();
    void ReadFinished();

    std::unique_ptr<Ui::TFrmSaleImport> m_ui;
    std::unique_ptr<SaleImportRun> m_run;
    SaleImport::Preview m_shown; // for SetPreview
    SaleImport::Outcome m_outcome = SaleImport::Outcome::Done;
    QString m_error;
};
