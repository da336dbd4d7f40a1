#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmRepairOption;
}

// "维修设置": the repair desk's shop settings (shared by every desk through
// the database) and this desk's choice of the 80 mm receipt layout.
class TFrmRepairOption : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmRepairOption(QWidget* parent = nullptr);
    ~TFrmRepairOption() override;
    Ui::TFrmRepairOption* Controls() const { return m_ui.get(); }

public slots:
    void BtnOKClick();

private:
    std::unique_ptr<Ui::TFrmRepairOption> m_ui;
};
