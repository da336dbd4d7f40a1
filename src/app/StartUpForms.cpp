#include "StartUpForms.h"

#include "TfrmChangePassWord.h"
#include "TFrmInputInfo.h"
#include "TfrmLogin.h"
#include "TFrmMain.h"
#include "TFrmItemOrder.h"
#include "TFrmMenuOrder.h"
#include "TFrmRightOrder.h"

StartUpForms::StartUpForms()
{
    // The main window first: it reads Quorel.ini, creates the function-rights
    // object and the skin manager and logs "启动程序".
    FrmMain = std::make_unique<TFrmMain>();
    FrmMenuOrder();
    // The login dialog reads its user list now, so the connection is open.
    frmLogin = std::make_unique<TfrmLogin>();
    FrmMain->ConnectLoginDialog(frmLogin.get());
    FrmItemOrder();
    FrmRightOrder();
    // Next: WaitForm (TWaitForm, "进度条").
    frmChangePassWord = std::make_unique<TfrmChangePassWord>();
    // Last: the customer entry dialog, which owns the warranty-card report.
    FrmInputInfo();
}

StartUpForms::~StartUpForms()
{
    frmChangePassWord.reset();
    frmLogin.reset();
    FrmMain.reset();
}
