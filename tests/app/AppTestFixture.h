#pragma once

#include "TfrmChangePassWord.h"
#include "DataAccess.h"
#include "TFunctions.h"
#include "GroupBar.h"
#include "TfrmLogin.h"
#include "TFrmMain.h"
#include "ScriptedDialogs.h"
#include "StartUp.h"
#include "StartUpForms.h"
#include "TestEnv.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <memory>

// A fresh program folder and database, the scripted dialog service and the
// windows the program creates at start, for one test.  Ending the program is
// counted instead of leaving the event loops.
class AppTestFixture
{
public:
    AppTestFixture()
    {
        env = std::make_unique<TestEnv>();
        dialogs = std::make_unique<ScriptedDialogs>();
        SetTerminateHandler([this] { ++terminated; });
    }

    ~AppTestFixture()
    {
        forms.reset();
        FlushDeletes();
        SetTerminateHandler({});
        StartingUp = false;
        qApp->setStyleSheet(QString());
        dialogs.reset();
        env.reset();
    }

    bool Valid() const { return env->IsValid(); }

    void Start() { forms = std::make_unique<StartUpForms>(); }
    void Restart()
    {
        forms.reset();
        FlushDeletes();
        Start();
    }

    TFrmMain* Main() const { return forms->FrmMain.get(); }

    // Types the code and password into the login dialog and presses "登录".
    void Login(const QString& code, const QString& password)
    {
        TfrmLogin* login = forms->frmLogin.get();
        login->findChild<QComboBox*>("cmbUserID")->setEditText(code);
        login->findChild<QLineEdit*>("edtPassWord")->setText(password);
        login->findChild<QPushButton*>("btnLogin")->click();
    }

    int LogRows(const QString& text) const
    {
        return env->Scalar("select count(*) from UseLog where LogText=?", {text}).toInt();
    }

    QStringList TopMenuTexts() const
    {
        QStringList texts;
        for (QAction* action : Main()->menuBar()->actions())
            texts << action->text();
        return texts;
    }

    // The entry of the main menu (at any depth) with that caption.
    QAction* MenuAction(const QString& text) const
    {
        QList<QAction*> pending = Main()->menuBar()->actions();
        while (!pending.isEmpty()) {
            QAction* action = pending.takeFirst();
            if (action->text() == text)
                return action;
            if (action->menu())
                pending << action->menu()->actions();
        }
        return nullptr;
    }

    QList<QMdiSubWindow*> Children() const
    {
        FlushDeletes();
        return Main()->MdiArea()->subWindowList();
    }

    GroupBarGroup* OpenWindowsGroup() const { return Main()->gbMain->group(0); }

    static void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<StartUpForms> forms;
    int terminated = 0;
};
