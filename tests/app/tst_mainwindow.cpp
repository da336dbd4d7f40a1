#include "AppTestFixture.h"
#include "FormClasses.h"
#include "FormRegistry.h"
#include "NoticeStrip.h"
#include "PasswordHash.h"
#include "Settings.h"
#include "TDefForm.h"
#include "TFrmUser.h"
#include "Utilities.h"

#include <QDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

// The real main window with its login: start-up, rights-dependent interface,
// opening forms in the three modes, the open-windows list, log-off, leaving.
class TestMainWindow : public QObject
{
    Q_OBJECT

    static QStringList OpenWindowTexts(GroupBarGroup* group)
    {
        QStringList texts;
        for (int i = 0; i < group->ItemCount(); ++i)
            texts << group->Item(i)->Caption();
        return texts;
    }

    static void AddClerk()
    {
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) "
                            "values ('CLERK','小王','pw','Y','Y')"));
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (2,'销售员','')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (2,'2000')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (2,'CLERK')"));
    }

private slots:
    void initTestCase()
    {
        WEIBAO_SKIP_WITHOUT_SERVER();
        RegisterFormClasses();
    }

    void startUp()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        QCOMPARE(app.Main()->windowTitle(), QString("维保档案管家-岚石软件工作室"));
        QVERIFY(StartingUp);
        // No design-time placeholder before the first login.
        QVERIFY(app.TopMenuTexts().isEmpty());
        QVERIFY(app.Main()->tbrMain->actions().isEmpty());
        QCOMPARE(app.Main()->gbMain->GroupCount(), 0);
        QCOMPARE(app.env->Scalar("select UserID from UseLog where LogText='启动程序'").toString(), QString());
        QVERIFY(app.dialogs->Texts().isEmpty());
        // Before any login nothing can be run, and the tray cannot bring the window up.
        QVERIFY(!app.Main()->RunFunction("1004"));
        app.Main()->PopupMenu1->findChild<QAction*>("N46")->trigger();
        QVERIFY(!app.Main()->isVisible());

        QVERIFY(Settings::SetSoftName("ABC"));
        QVERIFY(Settings::SetCoName("XYZ"));
        app.Restart();
        QCOMPARE(app.Main()->windowTitle(), QString("ABC-XYZ"));
        QCOMPARE(QCoreApplication::applicationName(), QString("ABC"));
        // No display name is set: the window system would append it to every
        // window title ("系统登录 — ABC").  Unset, it follows the application name.
        QCoreApplication::setApplicationName("probe");
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("probe"));
        QCOMPARE(app.Main()->RzTrayIcon1->toolTip(), QString("ABC"));
        QCOMPARE(app.LogRows("启动程序"), 2);

        // The controls of the original window, hidden where they were hidden.
        QCOMPARE(app.Main()->Edit1->text(), QString("40042"));
        QCOMPARE(app.Main()->Button1->text(), QString("执行"));
        QVERIFY(app.Main()->RzSizePanel2->isHidden());
        QVERIFY(app.Main()->btnShowTool->isHidden() && app.Main()->btnShowGroupbar->isHidden());
        QVERIFY(!app.Main()->PopupMenu1->findChild<QAction*>("N52")->isVisible());
    }

    void loginRebuildsTheWindow()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        AddClerk();
        app.Start();
        app.Login("ADMIN", "admin");
        QVERIFY(!StartingUp);
        QCOMPARE(app.TopMenuTexts(),
                 QStringList({"【系统(&S)】", "【销售管理(&B)】", "【维修服务(&R)】", "【单位设置(&C)】",
                              "【系统管理(&A)】", "【数据维护(&D)】", "【工具(&T)】", "【帮助(&H)】"}));
        QCOMPARE(app.Main()->tbrMain->actions().first()->text(), QString("销售记录"));
        QCOMPARE(app.OpenWindowsGroup()->Caption(), QString("当前打开的窗体"));
        QVERIFY(app.OpenWindowsGroup()->IsSpecial());
        QCOMPARE(app.Main()->gbMain->GroupCount(), 7);
        QCOMPARE(app.Main()->StatusText(0), QString("已经登录"));
        QCOMPARE(app.Main()->StatusText(1), QString("当前用户：系统管理员(ADMIN)"));
        QCOMPARE(app.env->Scalar("select UserID from UseLog where LogText='登录系统'").toString(),
                 QString("ADMIN"));
        QVERIFY(app.Main()->isVisible());
        app.Main()->showNormal();
        app.Main()->resize(900, 600);
        QVERIFY(QRegularExpression("^屏幕尺寸:\\d+×\\d+$").match(app.Main()->StatusText(2)).hasMatch());

        // The first show sees a logged-in user: no second login, the clock gets its weekday.
        app.Main()->FormShow();
        QVERIFY(QRegularExpression("^\\d{4}年\\d\\d月\\d\\d日 \\d\\d:\\d\\d:\\d\\d   星期.$")
                    .match(app.Main()->StatusText(3))
                    .hasMatch());

        // Log in again as somebody else: the children close first, under the
        // user who opened them.  A refused account on the way changes nothing.
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) "
                            "values ('OFF','停用员工','pw','N','Y')"));
        app.MenuAction("销售记录管理(&M)")->trigger();
        app.MenuAction("打印模板(&T)")->trigger();
        QCOMPARE(app.Children().size(), 2);
        QTimer::singleShot(0, app.Main(), [&] {
            QCOMPARE(app.forms->frmLogin->findChild<QComboBox*>("cmbUserID")->currentText(),
                     QString("ADMIN"));
            app.Login("OFF", "pw");
            QCOMPARE(app.Main()->FunctionRights()->CurrentUser().UserName, QString("系统管理员"));
            app.Login("CLERK", "pw");
        });
        QVERIFY(app.Main()->RunFunction("1003"));
        QCOMPARE(app.dialogs->Texts(), QStringList({"该账户已被禁用，请联系系统管理员！"}));
        QVERIFY(app.Children().isEmpty());
        for (const char* text : {"退出：销售记录管理", "退出：打印模板"})
            QCOMPARE(app.env->Scalar("select UserID||'|'||UserName from UseLog where LogText=?", {text})
                         .toString(),
                     QString("ADMIN|系统管理员"));
        QCOMPARE(app.TopMenuTexts(),
                 QStringList({"【系统(&S)】", "【销售管理(&B)】", "【工具(&T)】", "【帮助(&H)】"}));
        QCOMPARE(app.Main()->StatusText(1), QString("当前用户：小王(CLERK)"));
        QCOMPARE(app.OpenWindowsGroup()->ItemCount(), 0);
        QCOMPARE(app.LogRows("登录系统"), 2);
        QCOMPARE(app.dialogs->Texts().size(), 1);
    }

    void userCodesIgnoreLetterCase()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        // Stored in lower case, granted under a third spelling; typed in upper case.
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) "
                            "values ('abc','小李','pw','Y','Y')"));
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (2,'销售员','')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (2,'2000')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (2,'Abc')"));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('4000','aBC')"));
        app.Start();
        app.Login("ABC", "pw");
        QCOMPARE(app.Main()->FunctionRights()->CurrentUser().UserID, QString("abc"));
        QVERIFY(app.Main()->FunctionRights()->IsGranted("2001"));
        QVERIFY(app.Main()->FunctionRights()->IsGranted("4001"));
        QCOMPARE(app.Main()->StatusText(1), QString("当前用户：小李(abc)"));
        QCOMPARE(app.env->Scalar("select UserID from UseLog where LogText='登录系统'").toString(),
                 QString("abc"));
    }

    void clockRenewsTheWeekdayAtMidnight()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        app.Main()->FormShow();
        const QDate today = QDate::currentDate();
        app.Main()->ShowClock(QDateTime(today, QTime(23, 59, 59)));
        QVERIFY(app.Main()->StatusText(3).endsWith(WeekdayName(today)));
        app.Main()->ShowClock(QDateTime(today.addDays(1), QTime(0, 0, 0)));
        QCOMPARE(app.Main()->StatusText(3),
                 today.addDays(1).toString("yyyy年MM月dd日 00:00:00   ") + WeekdayName(today.addDays(1)));
    }

    void reconnectNoticeShowsInTheStatusBar()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        QVERIFY(app.Main()->NoticeText().isEmpty());
        emit app.env->DataModule()->ConnectionReset(SqlConnection::ReconnectedMessage());
        QVERIFY2(
            app.Main()->NoticeText().endsWith(QStringLiteral(" 与数据库服务器的连接已断开，已重新连接。")),
            qPrintable(app.Main()->NoticeText()));
        // The panels stay as they were.
        QCOMPARE(app.Main()->StatusText(0), QString("已经登录"));
    }

    void statusFieldsNeverOverlap()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        emit app.env->DataModule()->ConnectionReset(SqlConnection::ReconnectedMessage());
        QStatusBar* bar = app.Main()->statusBar();
        for (const int width : {1280, 800}) {
            app.Main()->showNormal();
            app.Main()->resize(width, 600);
            QTRY_COMPARE(bar->width(), width);
            QList<QWidget*> shown;
            for (QWidget* field : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (field->isVisible() && field->width() > 0 && !field->inherits("QSizeGrip"))
                    shown << field;
            QVERIFY(shown.size() >= 6);
            for (int i = 0; i < shown.size(); ++i) {
                QVERIFY2(shown[i]->geometry().right() <= bar->width(), qPrintable(shown[i]->objectName()));
                for (int j = i + 1; j < shown.size(); ++j)
                    QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                             qPrintable(shown[i]->objectName() + " / " + shown[j]->objectName()));
            }
            // The clock is never cut.
            auto* clock = bar->findChild<QLabel*>("strMainPanel3");
            QVERIFY(clock->width() >= clock->fontMetrics().horizontalAdvance(clock->text()));
        }
    }

    void singleAndMultipleInstances()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");

        QVERIFY(app.Main()->RunFunction("2001"));
        QVERIFY(app.Main()->RunFunction("2001"));
        QCOMPARE(app.Children().size(), 1);
        QCOMPARE(app.LogRows("进入：销售记录管理"), 1);
        QCOMPARE(OpenWindowTexts(app.OpenWindowsGroup()), QStringList({"销售记录管理"}));
        QCOMPARE(app.OpenWindowsGroup()->Item(0)->FontColor(), QColor(Qt::blue));

        app.Main()->RunFunction("2003");
        app.Main()->RunFunction("2003");
        QCOMPARE(app.Children().size(), 3);
        QCOMPARE(app.LogRows("进入：打印模板"), 2);
        QCOMPARE(OpenWindowTexts(app.OpenWindowsGroup()),
                 QStringList({"销售记录管理", "打印模板", "打印模板"}));
        auto* first = qobject_cast<TDefForm*>(app.Children()[1]->widget());
        auto* second = qobject_cast<TDefForm*>(app.Children()[2]->widget());
        QVERIFY(first && second && first->InstanceKey != second->InstanceKey);
        QCOMPARE(app.Main()->FindOpenForm("TFrmPrintMode"), second);

        // Closing one instance removes exactly its own entry.
        first->CloseChild();
        QCOMPARE(app.Children().size(), 2);
        QCOMPARE(app.LogRows("退出：打印模板"), 1);
        QCOMPARE(app.OpenWindowsGroup()->ItemCount(), 2);
        QCOMPARE(app.OpenWindowsGroup()->Item(1)->InstanceKey(), second->InstanceKey);
        QCOMPARE(app.Main()->FindOpenForm("TFrmPrintMode"), second);

        // The entry of the single form brings it back instead of a new one.
        auto* sales = qobject_cast<TDefForm*>(app.Children()[0]->widget());
        emit app.OpenWindowsGroup()->Item(0)->clicked();
        QCOMPARE(app.Children().size(), 2);
        QCOMPARE(app.Main()->MdiArea()->activeSubWindow()->widget(), sales);
        QCOMPARE(app.LogRows("进入：销售记录管理"), 1);
        // The entry of an "M" form brings that very window back, too.
        emit app.OpenWindowsGroup()->Item(1)->clicked();
        QCOMPARE(app.Children().size(), 2);
        QCOMPARE(app.Main()->MdiArea()->activeSubWindow()->widget(), second);
        QCOMPARE(app.LogRows("进入：打印模板"), 2);

        // Opened by class name alone: no entry, and none removed on closing.
        auto* tool = qobject_cast<TDefForm*>(app.Main()->OpenFormByClass("TfrmToolCfg", "S"));
        QVERIFY(tool);
        QCOMPARE(app.OpenWindowsGroup()->ItemCount(), 2);
        tool->CloseChild();
        QCOMPARE(app.OpenWindowsGroup()->ItemCount(), 2);
        QCOMPARE(app.Children().size(), 2);
    }

    void unknownClassesAndModesAreIgnored()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        const int rows = app.env->Scalar("select count(*) from UseLog").toInt();
        QVERIFY(!app.Main()->OpenFunctionForm("4001", "TNoSuchForm", "S"));
        QVERIFY(!app.Main()->OpenFunctionForm("4001", "TFrmUser", "X"));
        QVERIFY(!app.Main()->OpenFunctionForm("4001", "TFrmUser", ""));
        QVERIFY(!app.Main()->FindOpenForm("TNoSuchForm"));
        QCOMPARE(app.env->Scalar("select count(*) from UseLog").toInt(), rows);
        QVERIFY(app.Children().isEmpty());
        QVERIFY(app.dialogs->Texts().isEmpty());
        // The mode letter is read without regard to case.
        QVERIFY(app.Main()->OpenFunctionForm("4001", "TFrmUser", "s"));
        QCOMPARE(app.Children().size(), 1);
        // A dialog class cannot become a child window: said, and nothing opens.
        QVERIFY(!app.Main()->OpenFunctionForm("5001", "TFrmBackUp", "M"));
        QCOMPARE(app.dialogs->Texts().size(), 1);
        QCOMPARE(app.Children().size(), 1);
    }

    void userAdministrationAsksTheLoggedInUsersRights()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) "
                            "values ('CLERK','店员',?,'Y','Y')",
                            {SqlArg::Secret(PasswordHash::Hash("pw"))}));
        QVERIFY(ExecCommand("insert into AC_FUNCTION_USER values ('400132','CLERK')"));
        app.Start();
        app.Login("ADMIN", "admin");
        app.Main()->RunFunction("4001");
        auto* form = qobject_cast<TFrmUser*>(app.Main()->FindOpenForm("TFrmUser"));
        QVERIFY(form);
        QVERIFY(form->CanEditBasic && form->CanEditRights);
        // The account at the desk cannot delete itself.
        auto* users = form->findChild<QTreeWidget*>("lvUser");
        users->setCurrentItem(users->findItems("ADMIN", Qt::MatchExactly).value(0));
        form->findChild<QPushButton*>("btnDelete")->click();
        QCOMPARE(app.dialogs->LastText(), QString("不能删除当前登录的用户！"));

        app.Login("CLERK", "pw");
        QCOMPARE(app.Main()->FunctionRights()->CurrentUser().UserID, QString("CLERK"));
        app.FlushDeletes();
        QVERIFY(app.Main()->RunFunction("4001"));
        form = qobject_cast<TFrmUser*>(app.Main()->FindOpenForm("TFrmUser"));
        QVERIFY(form);
        QVERIFY(!form->CanEditBasic);
        QVERIFY(form->CanEditRights);
    }

    void dialogFunctionsAreNewEachTime()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        QStringList seen;
        auto closeAbout = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            seen << modal->objectName() + ":" + modal->windowTitle();
            auto* ok = modal->findChild<QPushButton*>("btnOK");
            QVERIFY(ok);
            QCOMPARE(ok->text(), QString("确定"));
            ok->click();
        };
        QTimer::singleShot(0, app.Main(), closeAbout);
        app.Main()->PopupMenu1->findChild<QAction*>("N53")->trigger();
        QTimer::singleShot(0, app.Main(), closeAbout);
        QVERIFY(app.Main()->RunFunction("7002"));
        QCOMPARE(seen, QStringList({"FrmAboutMe:关于作者", "FrmAboutMe:关于作者"}));
        QCOMPARE(app.LogRows("进入：关于作者"), 2);
        app.FlushDeletes();
        QVERIFY(!app.Main()->FindOpenForm("TFrmAboutMe"));
    }

    void menuDialogsKeepTheirDesignSizes()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        QList<QSize> seen;
        auto closeDialog = [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(modal);
            seen << modal->size();
            modal->reject();
        };
        for (const char* id : {"2002", "3001", "3002"}) {
            QTimer::singleShot(0, app.Main(), closeDialog);
            QVERIFY(app.Main()->RunFunction(id));
        }
        QCOMPARE(seen, QList<QSize>({{569, 412}, {375, 347}, {345, 281}}));
    }

    void logOffLeavesPublicEntries()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        app.Main()->RunFunction("4001");
        // The login's notices (a backup was never made) and the repair line.
        QVERIFY(!app.Main()->Notices()->Notices().isEmpty());
        QVERIFY(app.Main()->statusBar()->findChild<QWidget*>("LblRepairReminder"));
        app.Main()->PopupMenu1->findChild<QAction*>("N56")->trigger();
        QVERIFY(app.Children().isEmpty());
        // They were the leaving user's.
        QTRY_VERIFY(app.Main()->Notices()->Notices().isEmpty());
        QVERIFY(!app.Main()->statusBar()->findChild<QWidget*>("LblRepairReminder"));
        QCOMPARE(app.LogRows("退出：用户管理"), 1);
        QCOMPARE(app.Main()->StatusText(0), QString("未登录"));
        QCOMPARE(app.Main()->StatusText(1), QString("当前用户："));
        QCOMPARE(app.TopMenuTexts(), QStringList({"【系统(&S)】", "【工具(&T)】", "【帮助(&H)】"}));
        QCOMPARE(app.Main()->FunctionRights()->CurrentUser().UserID, QString("ADMIN"));
        QVERIFY(!app.Main()->FunctionRights()->IsGranted("4001"));
        // The window stays usable with what is public, also from the tray.
        app.Main()->hide();
        app.Main()->PopupMenu1->findChild<QAction*>("N46")->trigger();
        QVERIFY(app.Main()->isVisible());
        QVERIFY(app.MenuAction("重新登录(&L)"));
        QVERIFY(!app.MenuAction("用户管理(&U)"));
        QCOMPARE(app.Main()->gbMain->GroupCount(), 2);
    }

    void generatedControlsRunTheirFunction()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        app.MenuAction("用户管理(&U)")->trigger();
        QCOMPARE(app.Children().last()->widget()->windowTitle(), QString("用户管理"));
        for (QAction* action : app.Main()->tbrMain->actions())
            if (action->text() == "系统日志")
                action->trigger();
        QCOMPARE(app.Children().last()->widget()->windowTitle(), QString("系统日志"));
        GroupBarGroup* sales = app.Main()->gbMain->group(1);
        QCOMPARE(sales->Caption(), QString("销售管理"));
        sales->Item(0)->Activate();
        QCOMPARE(app.Children().last()->widget()->windowTitle(), QString("销售记录管理"));
        app.Main()->Edit1->setText("4004");
        QTest::mouseClick(app.Main()->Button1, Qt::LeftButton);
        QCOMPARE(app.Children().last()->widget()->windowTitle(), QString("功能定义"));
        QCOMPARE(app.Children().size(), 4);

        // Refreshing the lookups reads rows added meanwhile.
        const int cities = DataM->adoSetCity.RecordCount();
        QVERIFY(ExecCommand("insert into AreaData values ('1','2','某市','某省')"));
        app.MenuAction("刷新基础数据(&R)")->trigger();
        QCOMPARE(DataM->adoSetCity.RecordCount(), cities + 1);
    }

    void leavingAsksFirst()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        app.dialogs->QueueAnswer(Dialogs::Cancel);
        QVERIFY(!app.Main()->close());
        const ScriptedDialogs::Shown box = app.dialogs->Boxes().last();
        QCOMPARE(box.text, QString("确定要退出本程序吗？"));
        QCOMPARE(box.caption, QString("退出程序"));
        QCOMPARE(box.icon, Dialogs::Icon::Question);
        QCOMPARE(box.buttons, int(Dialogs::Ok | Dialogs::Cancel));
        QCOMPARE(box.defaultButton, Dialogs::Cancel);
        QCOMPARE(app.LogRows("退出程序"), 0);
        QCOMPARE(app.terminated, 0);
        QVERIFY(app.Main()->isVisible());

        app.dialogs->QueueAnswer(Dialogs::Ok);
        QVERIFY(app.Main()->RunFunction("1006"));
        QVERIFY(!app.Main()->isVisible());
        QCOMPARE(app.LogRows("退出程序"), 1);
        QCOMPARE(app.terminated, 1);
    }

    void everyCatalogueClassIsRegistered()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        const struct
        {
            const char* name;
            const char* caption;
            bool child;
        } classes[] = {
            {"TFrmPrintMode", "打印模板", true},
            {"TfrmMenuCfg", "菜单设置", true},
            {"TFrmRight", "功能定义", true},
            {"TFrmRole", "角色管理", true},
            {"TfrmToolCfg", "工具栏设置", true},
            {"TFrmUser", "用户管理", true},
            {"TFrmGroupCfg", "GroupBar设置", true},
            {"TFrmSaleManage", "销售记录管理", true},
            {"TFrmSysLog", "系统日志", true},
            {"TFrmBackUp", "备份数据", false},
            {"TFrmCompressData", "压缩数据库", false},
            {"TFrmOption", "备份数据库设置", false},
            {"TFrmCompanySet", "本单位信息设置", false},
            {"TFrmCompanyDirEdit", "单位字典编辑", false},
            {"TFrmInputInfo", "客户信息输入", false},
            {"TFrmAboutMe", "关于作者", false},
        };
        for (const auto& expected : classes) {
            const FormRegistry::Entry* entry = FormRegistry::Find(expected.name);
            QVERIFY2(entry, expected.name);
            QCOMPARE(entry->caption, QString::fromUtf8(expected.caption));
            QCOMPARE(entry->isChildForm, expected.child);
            std::unique_ptr<QWidget> form(entry->create(nullptr));
            QCOMPARE(form->windowTitle(), QString::fromUtf8(expected.caption));
            QCOMPARE(qobject_cast<TDefForm*>(form.get()) != nullptr, expected.child);
            if (!expected.child)
                QVERIFY(qobject_cast<QDialog*>(form.get()));
        }
        // Every form class the seeded catalogue names can be opened.
        MemDataset catalogue;
        QVERIFY(OpenQuery("select ControlName from AC_FUNCTIONINFO where ControlName<>''", catalogue));
        for (catalogue.First(); !catalogue.Eof(); catalogue.Next())
            QVERIFY2(FormRegistry::Find(catalogue.AsString("ControlName")),
                     qPrintable(catalogue.AsString("ControlName")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
