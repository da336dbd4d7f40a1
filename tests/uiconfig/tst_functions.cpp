#include "AppDir.h"
#include "ScriptedDialogs.h"
#include "TFunctions.h"
#include "TestEnv.h"
#include "UiConfigTestData.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

using namespace TestData;

// Rights resolution and dispatch of the function-rights object, without any
// window: which functions a user is granted through public menu entries,
// direct grants, roles and descendants, and what RunFunction does.
class TestFunctions : public QObject
{
    Q_OBJECT

    static QSet<QString> Granted(const TFunctions& functions)
    {
        const QStringList& ids = functions.GrantedFunctions();
        return QSet<QString>(ids.cbegin(), ids.cend());
    }

    static bool OnToolBar(const TFunctions& functions, int tag)
    {
        const auto granted = [&](const QString& id) { return functions.IsGranted(id); };
        for (const ToolButtonEntry& entry : ToolBarEntries(ToolRows(), granted))
            if (!entry.separator && entry.tag == tag)
                return true;
        return false;
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void roleGrantIsOfferedAndRevokedAtNextLogin()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        AddUser("CLERK");
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (2,'销售员','')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (2,'2001')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (2,'CLERK')"));

        TFunctions functions;
        functions.ResolveRights("CLERK");
        QVERIFY(functions.IsGranted("2001"));
        QVERIFY(!functions.IsGranted("2002"));
        QVERIFY(!functions.IsGranted("2000"));
        QVERIFY(OnToolBar(functions, 2001));
        QVERIFY(!OnToolBar(functions, 2002));
        QVERIFY(Texts(MainMenuEntries(functions.MenuSet)).contains("【销售管理(&B)】"));
        // The separator that followed the entry stays at the end.
        QCOMPARE(Texts(SubMenuEntries(functions.MenuSet, 10)), QStringList({"销售记录管理(&M)", "-"}));

        QVERIFY(ExecCommand("delete from AC_ROLE_USER where UserID='CLERK'"));
        functions.ResolveRights("CLERK");
        QVERIFY(!functions.IsGranted("2001"));
        QVERIFY(!OnToolBar(functions, 2001));
        QVERIFY(!Texts(MainMenuEntries(functions.MenuSet)).contains("【销售管理(&B)】"));
    }

    void grantCoversDescendantsNotAncestors()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        AddUser("CLERK");
        GrantUser("4000", "CLERK");
        TFunctions functions;
        functions.ResolveRights("CLERK");
        for (const char* id : {"4000", "4001", "400131", "400132", "4003", "4008"})
            QVERIFY2(functions.IsGranted(id), id);
        QVERIFY(!functions.IsGranted("2001"));

        QVERIFY(ExecCommand("delete from AC_FUNCTION_USER"));
        GrantUser("400131", "CLERK");
        functions.ResolveRights("CLERK");
        QVERIFY(functions.IsGranted("400131"));
        QVERIFY(!functions.IsGranted("4001"));
        QVERIFY(!functions.IsGranted("4000"));
        QVERIFY(!functions.IsGranted("400132"));
    }

    void publicNeedsAMenuRowToBeGranted()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        AddFunction("8000", "-1", "Y");
        AddFunction("8001", "8000", "N");
        AddFunction("800101", "8001", "N");
        AddButton(50, "测试", "8001", 50);

        TFunctions functions;
        functions.ResolveRights(QString());
        // Public through its direct parent only; the grandparent does not count.
        QVERIFY(functions.IsPublicFunction("8001"));
        QVERIFY(!functions.IsPublicFunction("800101"));
        QVERIFY(!functions.IsPublicFunction(""));
        QVERIFY(!functions.IsGranted("8001"));
        QVERIFY(!OnToolBar(functions, 8001));

        AddMenu(100, "测试(&E)", 0, "8001", 100);
        functions.ResolveRights(QString());
        QVERIFY(functions.IsGranted("8001"));
        QVERIFY(OnToolBar(functions, 8001));
        QVERIFY(Texts(MainMenuEntries(functions.MenuSet)).contains("【测试(&E)】"));
    }

    void anonymousUserHasOnlyPublicEntries()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        TFunctions functions;
        functions.ResolveRights("ADMIN");
        QCOMPARE(MainMenuEntries(functions.MenuSet).size(), 8);

        // Log-off rebuilds with an empty user code.
        functions.ResolveRights(QString());
        QCOMPARE(Texts(MainMenuEntries(functions.MenuSet)),
                 QStringList({"【系统(&S)】", "【工具(&T)】", "【帮助(&H)】"}));
        QCOMPARE(Granted(functions), QSet<QString>({"1002", "1003", "1004", "1006", "1007", "7001", "7002",
                                                    "7003", "9006", "9007"}));
        const auto granted = [&](const QString& id) { return functions.IsGranted(id); };
        // The bar is built from its right end, so a separator can stay in front.
        QCOMPARE(Texts(ToolBarEntries(ToolRows(), granted)), QStringList({"-", "重新登录", "退出"}));
        QCOMPARE(Texts(GroupBarEntries(GroupRows(), granted)), QStringList({"系统:更改密码,重新登录,退出"}));
    }

    void grantsOfEveryRoleAndDirectOnesAddUpOnceEach()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        AddUser("CLERK");
        AddUser("OTHER");
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (2,'销售员','')"));
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (3,'维护员','')"));
        QVERIFY(ExecCommand("insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (4,'旁人','')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (2,'2001')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (3,'2001')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (3,'400131')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_FUNCTION values (4,'2002')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (2,'CLERK')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (3,'CLERK')"));
        QVERIFY(ExecCommand("insert into AC_ROLE_USER values (4,'OTHER')"));
        GrantUser("4001", "CLERK");
        GrantUser("5000", "OTHER");

        TFunctions functions;
        functions.ResolveRights("CLERK");
        // Both roles and the direct grant count, with what lies below them;
        // another user's roles and grants do not.
        for (const char* id : {"2001", "400131", "4001", "400132"})
            QVERIFY2(functions.IsGranted(id), id);
        for (const char* id : {"2002", "5000", "4000"})
            QVERIFY2(!functions.IsGranted(id), id);
        QCOMPARE(functions.GrantedFunctions().size(), Granted(functions).size()); // each function once

        // The menu rows carry whether the grants or their being public put
        // them in use.
        const int funcField = functions.MenuSet.FieldIndex("FuncID");
        const int useField = functions.MenuSet.FieldIndex("IsUse");
        const int publicField = functions.MenuSet.FieldIndex("IsPublic");
        QString granted2001, public1004;
        for (int row = 0; row < functions.MenuSet.RecordCount(); ++row) {
            const QString func = functions.MenuSet.ValueAt(row, funcField).toString();
            const QString marks = functions.MenuSet.ValueAt(row, useField).toString() +
                                  functions.MenuSet.ValueAt(row, publicField).toString();
            if (func == "2001")
                granted2001 = marks;
            else if (func == "1004")
                public1004 = marks;
        }
        QCOMPARE(granted2001, QString("YN"));
        QCOMPARE(public1004, QString("YY"));
    }

    void circularCatalogueIsWalkedOnce()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        AddUser("CLERK");
        AddFunction("8101", "8102", "N");
        AddFunction("8102", "8101", "N");
        AddFunction("8103", "8103", "N");
        AddFunction("8104", "8103", "N");
        GrantUser("8101", "CLERK");
        GrantUser("8103", "CLERK");
        TFunctions functions;
        functions.ResolveRights("CLERK");
        for (const char* id : {"8101", "8102", "8103", "8104"})
            QVERIFY2(functions.IsGranted(id), id);
        QVERIFY(!functions.IsGranted("2001"));
    }

    void runFunction()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        TFunctions functions;
        // Nothing is known before the first login.
        QVERIFY(!functions.RunFunction("1004"));
        QVERIFY(!functions.RunFunction("7003"));

        functions.ResolveRights("ADMIN");
        QVERIFY(functions.RunFunction("7003"));
        QVERIFY(functions.RunFunction("7004"));
        QVERIFY(!functions.RunFunction("9999"));
        QVERIFY(!functions.RunFunction(""));
        QVERIFY(!functions.RunFunction("1002'"));
    }

    // Calculator and notepad: the program in Tool/, else the desktop's own
    // found on the path, else a box saying none is installed.
    void toolPrograms()
    {
        TestEnv env;
        QVERIFY(env.IsValid());
        TFunctions functions;
        functions.ResolveRights("ADMIN");
        const QByteArray oldPath = qgetenv("PATH");
        const QString desktopBin = env.Dir() + "desktop-bin";
        QVERIFY(QDir().mkpath(desktopBin));
        qputenv("PATH", desktopBin.toUtf8());

        {
            ScriptedDialogs dialogs;
            QVERIFY(functions.RunFunction("9007"));
            QVERIFY(functions.RunFunction("9006"));
            QCOMPARE(dialogs.Boxes().size(), 2);
            QVERIFY(dialogs.Texts().at(0).startsWith("没有找到文本编辑器"));
            QVERIFY(dialogs.Texts().at(1).startsWith("没有找到计算器程序"));
        }

        // A desktop calculator on the path is started.
        WriteScript(desktopBin + "/galculator", env.Dir() + "galculator-ran");
        QCOMPARE(TFunctions::FindToolProgram("calc"), desktopBin + "/galculator");
        QVERIFY(TFunctions::FindToolProgram("notepad").isEmpty());
        QVERIFY(functions.RunFunction("9006"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(env.Dir() + "galculator-ran"), 10000);

        // A program in Tool/ comes first.
        QVERIFY(QDir().mkpath(env.Dir() + "Tool"));
        WriteScript(env.Dir() + "Tool/calc", env.Dir() + "calc-ran");
        QCOMPARE(TFunctions::FindToolProgram("calc"), env.Dir() + "Tool/calc");
        QVERIFY(functions.RunFunction("9006"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(env.Dir() + "calc-ran"), 10000);
        qputenv("PATH", oldPath);
    }

private:
    static void WriteScript(const QString& path, const QString& marker)
    {
        QFile script(path);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(marker).toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner | QFile::ExeUser));
    }
};

QTEST_MAIN(TestFunctions)
#include "tst_functions.moc"
