#pragma once

#include <QDialog>
#include <memory>

class TUser;
namespace Ui {
class TfrmChangePassWord;
}

// The change-password dialog (frmChangePassWord, function 1002): created once
// at start and reused.
class TfrmChangePassWord : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmChangePassWord(QWidget* parent = nullptr);
    ~TfrmChangePassWord() override;

    // Shows the dialog modally for `user` with empty boxes; true unless the
    // user pressed cancel.
    bool Execute(TUser& user);

public slots:
    void cmdConfirmClick();
    void cmdCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::TfrmChangePassWord> ui;
    TUser* m_user = nullptr;
    bool m_cancelled = false;
};

// The one change-password dialog of the program (nullptr before it exists).
extern TfrmChangePassWord* frmChangePassWord;
