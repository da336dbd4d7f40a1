#pragma once

#include <memory>

class TFrmMain;
class TfrmChangePassWord;
class TfrmLogin;

// The windows the program creates once at start, after the data module has
// opened the database, in this order: the main window, then the fixed
// dialogs.  They live until the program ends and are freed in the opposite
// order.  Every other form is created on demand.
class StartUpForms
{
public:
    StartUpForms();
    ~StartUpForms();
    StartUpForms(const StartUpForms&) = delete;
    StartUpForms& operator=(const StartUpForms&) = delete;

    std::unique_ptr<TFrmMain> FrmMain;
    std::unique_ptr<TfrmLogin> frmLogin;
    std::unique_ptr<TfrmChangePassWord> frmChangePassWord;
};
