#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmCompanySet;
}
class InputWatch;

// "本单位信息设置": the shop's own profile, the one AC_Company row printed on
// the warranty card, and the names CoName/SoftName of Quorel.ini.  A modal
// dialog; it reads both every time it is shown and writes both on "保存".
class TFrmCompanySet : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmCompanySet(QWidget* parent = nullptr);
    ~TFrmCompanySet() override;

    void ReadNameSettings();
    bool WriteNameSettings();
    // Fills the boxes from the first AC_Company row (none: they stay empty).
    bool LoadCompanyProfile();
    // Writes every box into the first AC_Company row, appending it when the
    // table is empty.
    bool SaveCompanyProfile();

public slots:
    void FormShow();
    void btnSaveClick();
    void btnCloseClick();
    // Also Esc and the close box: typed input is asked about first.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The caption of a box's label, without the colon.
    QString LabelOf(const QWidget* box) const;
    // The settings, then the profile row; true when both were written.
    bool SaveAll();

    std::unique_ptr<Ui::TFrmCompanySet> ui;
    InputWatch* m_watch = nullptr;
};
