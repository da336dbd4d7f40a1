#include "AppDir.h"
#include "BackupFolder.h"
#include "CommandLog.h"
#include "DatabaseLock.h"
#include "DatabaseCopy.h"
#include "Dialogs.h"
#include "FirstStart.h"
#include "FormClasses.h"
#include "HelpWindow.h"
#include "SalePurge.h"
#include "Leftovers.h"
#include "PasswordRecovery.h"
#include "SeedData.h"
#include "Settings.h"
#include "StartUpForms.h"
#include "TDataM.h"
#include "TFrmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTextStream>
#include <QTranslator>
#include <memory>

namespace {

int InitDatabaseCommand(bool demo)
{
    QString error;
    // The engine and the database are the ones Quorel.ini names.
    const QString target = Settings::DatabaseIsServer()
                               ? SqlConnection::MakeServerConnectionString(Settings::DatabaseServer())
                               : GetAppDir() + "data/data.mdb";
    if (!InitConfiguredDatabase(demo, &error)) {
        QTextStream(stderr) << "无法创建数据库：" << error << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "已创建数据库：" << target << Qt::endl
                        << "管理员用户代码：" << AdminUserID << "  密码：" << AdminPassword << Qt::endl;
    return 0;
}

// Copies the configured database into the other engine; progress on
// stdout, the reason of a failure on stderr.
int CopyDatabaseCommand(const QString& to)
{
    QTextStream out(stdout);
    QString error;
    const bool copied = DatabaseCopy::CopyConfigured(
        to, [&out](const QString& line) { out << line << Qt::endl; }, &error);
    if (!copied) {
        QTextStream(stderr) << "复制数据库失败：" << error << Qt::endl;
        return 1;
    }
    return 0;
}

// Creating or copying a database and printing the help or the version need no window
// system: they also work on a machine without a display (installation
// scripts, a terminal).
bool NeedsNoWindows(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"--init-database", "--copy-database", "--reset-password", "--help", "-h",
                                   "--help-all", "--version", "-v"})
            if (qstrcmp(argv[i], option) == 0)
                return true;
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    std::unique_ptr<QCoreApplication> application;
    if (NeedsNoWindows(argc, argv))
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    QCoreApplication& app = *application;
    // The application title; the main window replaces it by the configured
    // software name.  No display name: the window system would append it to
    // every window title.
    QCoreApplication::setApplicationName(QStringLiteral("维保档案管家"));
    QCoreApplication::setApplicationVersion(QStringLiteral(WEIBAO_VERSION));
    if (qobject_cast<QApplication*>(&app)) {
        // Ties the windows to the desktop's menu entry (its icon and name).
        QGuiApplication::setDesktopFileName(QStringLiteral("cn.weibao_dev.Weibao"));
    }

    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("维保档案管家：电脑销售与售后维保档案"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption home(
        "home",
        QStringLiteral("数据文件夹（数据库、日志、备份、设置）。默认：程序所在文件夹中有 data/ 时用它，"
                       "否则用 ~/.local/share/weibao"),
        "DIR");
    const QCommandLineOption init("init-database", QStringLiteral("创建新的数据库 data/data.mdb"));
    const QCommandLineOption demo("demo", QStringLiteral("与 --init-database 一起使用：加入演示数据"));
    const QCommandLineOption copy(
        "copy-database", QStringLiteral("把 Quorel.ini 中配置的数据库的全部数据复制到另一种引擎的空数据库中"
                                        "（与 --to 一起使用），复制后逐表核对记录数和校验和"));
    const QCommandLineOption to(
        "to",
        QStringLiteral("与 --copy-database 一起使用：postgresql（[Database] 中 Host、Port、"
                       "Name、User 指定的服务器）或 sqlite（data/data.mdb）"),
        "ENGINE");
    const QCommandLineOption resetPassword(
        "reset-password",
        QStringLiteral("忘记密码时使用：把该用户的密码重置为用户代码，启用该账号并清除已过期的密码失效日期"
                       "（作用于 Quorel.ini 中配置的数据库，写入系统日志）"),
        "USERCODE");
    parser.addOptions({home, init, demo, copy, to, resetPassword});
    parser.process(app);
    SetUpAppDirs(parser.value(home));
    if (parser.isSet(init))
        return InitDatabaseCommand(parser.isSet(demo));
    if (parser.isSet(resetPassword)) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return ResetPasswordCommand(parser.value(resetPassword), out, err);
    }
    if (parser.isSet(copy)) {
        if (!parser.isSet(to)) {
            QTextStream(stderr) << "--copy-database 需要 --to postgresql 或 --to sqlite" << Qt::endl;
            return 2;
        }
        return CopyDatabaseCommand(parser.value(to));
    }

    // An installed program starting for the first time offers to create the
    // database; a program folder of its own never gets one unasked.
    const QString databaseFile = GetAppDir() + "data/data.mdb";
    if (!Settings::DatabaseIsServer() && UsesUserDataDir() && !QFileInfo::exists(databaseFile)) {
        const FirstStartResult created = OfferNewDatabase(databaseFile);
        if (created != FirstStartResult::Created)
            return created == FirstStartResult::Declined ? 0 : 1;
    }

    // This program works on the database now: restores and compactions of
    // other programs wait until it ends.  Temporary files a killed backup or
    // restore left behind go.
    const bool onServer = Settings::DatabaseIsServer();
    QString lockError;
    if (!onServer && QFileInfo::exists(databaseFile) && !DatabaseLock::HoldShared(databaseFile, &lockError))
        WriteLogLine(QStringLiteral("无法取得数据库锁：") + lockError);
    const QStringList leftovers =
        Leftovers::Remove(BackupFolder::Path(), onServer ? QString() : QFileInfo(databaseFile).absolutePath());
    if (!leftovers.isEmpty())
        WriteLogLine(QStringLiteral("已删除上次中断留下的临时文件：") + leftovers.join(QStringLiteral("，")));

    TDataM dataModule;
    if (!dataModule.ConnectDatabase()) {
        Dialogs::Instance().Inform(nullptr, {dataModule.StartErrorText(), QStringLiteral("数据库启动错误"),
                                             Dialogs::Icon::Critical});
        return 1;
    }
    // What a purge broken off by a crash left behind.
    SalePurge::RemovePartialCopies();
    HelpWindow::InstallF1Key();
    // Every class the catalogue may name is known before anybody logs in.
    RegisterFormClasses();
    // The program ends when the user confirms leaving it or cancels the first
    // login, not when a dialog closes while the main window sits in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    StartUpForms forms;
    forms.FrmMain->show();
    return app.exec();
}
