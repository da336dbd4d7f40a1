#include "AppDir.h"
#include "TDataM.h"
#include "Dialogs.h"
#include "FormClasses.h"
#include "TFrmMain.h"
#include "SeedData.h"
#include "StartUpForms.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QTextStream>
#include <QTranslator>
#include <memory>

namespace {

int InitDatabaseCommand(bool demo)
{
    QString error;
    const QString file = GetAppDir() + "data/data.mdb";
    if (!InitDatabase(file, demo, &error)) {
        QTextStream(stderr) << "无法创建数据库：" << error << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "已创建数据库：" << file << Qt::endl
                        << "管理员用户代码：" << AdminUserID << "  密码：" << AdminPassword << Qt::endl;
    return 0;
}

// Creating a database needs no window system: it also works on a machine
// without a display (installation scripts).
bool WantsInitDatabase(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--init-database") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    std::unique_ptr<QCoreApplication> application;
    if (WantsInitDatabase(argc, argv))
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    QCoreApplication& app = *application;
    // The application title; the main window replaces it by the configured
    // software name.  No display name: the window system would append it to
    // every window title.
    QCoreApplication::setApplicationName(QStringLiteral("维保档案管家"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("维保档案管家：电脑销售与售后维保档案"));
    parser.addHelpOption();
    const QCommandLineOption home("home", QStringLiteral("程序文件夹（默认为程序所在文件夹）"), "DIR");
    const QCommandLineOption init("init-database", QStringLiteral("创建新的数据库 data/data.mdb"));
    const QCommandLineOption demo("demo", QStringLiteral("与 --init-database 一起使用：加入演示数据"));
    parser.addOptions({home, init, demo});
    parser.process(app);
    if (parser.isSet(home))
        SetAppDir(parser.value(home));
    if (parser.isSet(init))
        return InitDatabaseCommand(parser.isSet(demo));

    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    TDataM dataModule;
    if (!dataModule.ConnectDatabase()) {
        Dialogs::Instance().Inform(nullptr, {dataModule.StartErrorText(), QStringLiteral("数据库启动错误"),
                                             Dialogs::Icon::Critical});
        return 1;
    }
    // Every class the catalogue may name is known before anybody logs in.
    RegisterFormClasses();
    // The program ends when the user confirms leaving it or cancels the first
    // login, not when a dialog closes while the main window sits in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    StartUpForms forms;
    forms.FrmMain->show();
    return app.exec();
}
