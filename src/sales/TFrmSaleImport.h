#pragma once

#include "SaleImport.h"

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmSaleImport;
}

// The preview of an import: what the file holds, which of its columns are
// ignored, the rows refused (row, column, reason) and the rows that look like
// stored records.  "导入" accepts; nothing is written by the dialog itself.
class TFrmSaleImport : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmSaleImport(QWidget* parent = nullptr);
    ~TFrmSaleImport() override;

    void SetPreview(const SaleImport::Preview& preview);
    bool SkipDuplicates() const;
    Ui::TFrmSaleImport* Controls() const { return m_ui.get(); }

private:
    std::unique_ptr<Ui::TFrmSaleImport> m_ui;
};
