#pragma once

#include <QDialog>
#include <memory>

class IniFile;
class InputWatch;
namespace Ui {
class TFrmOption;
}

// "备份数据库设置": whether backups are packed and with which method, and the
// automatic daily backup with the number of automatic backups kept
// ([BackUpSet] BackUp, Set, Auto, Keep in Quorel.ini).  Read on show,
// written only by "保存".
class TFrmOption : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmOption(QWidget* parent = nullptr);
    ~TFrmOption() override;

    void LoadSet();
    bool SaveSet();

public slots:
    void FormShow();
    void btnSaveClick();
    // Picks the second folder automatic backups are copied to.
    void btnBrowseClick();
    // Also Esc, 关闭 and the close box: a changed setting is asked about first.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TFrmOption> ui;
    std::unique_ptr<IniFile> m_ini;
    InputWatch* m_watch = nullptr;
};
