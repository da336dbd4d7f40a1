#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFrmAboutMe;
}

// The about box (function 7002): who wrote the program, a link to the team's
// web page, and "确定".
class TFrmAboutMe : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmAboutMe(QWidget* parent = nullptr);
    ~TFrmAboutMe() override;

    static const char* const WebAddress;

public slots:
    void lblLinkClick(const QString& link);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TFrmAboutMe> ui;
};
