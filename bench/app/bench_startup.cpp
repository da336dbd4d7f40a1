// Times the start of the program and the login, with the seeded catalogue and
// with a generated large one (1 000 functions, 500 menu rows, 200 toolbar
// rows, 300 group-bar rows more):
//   start   from starting the process to the login dialog painted (and, in
//           brackets, from entering main() to it)
//   login   from pressing "登录" to the rebuilt menu, toolbar and group bar
//           (the click handler returned), and to the window painted again
// Each figure is the median of several runs, each run a process of its own
// started the way a desk starts the program.
//   bench_startup [runs]                  default 7 runs per catalogue
//   bench_startup --child DIR             one run (used by the above)
#include "AppDir.h"
#include "Dialogs.h"
#include "FormClasses.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "StartUpForms.h"
#include "TDataM.h"
#include "TFrmMain.h"
#include "TFunctions.h"
#include "TUser.h"
#include "TfrmLogin.h"

#include <QApplication>
#include <QComboBox>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

qint64 NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double Ms(qint64 ns)
{
    return ns / 1e6;
}

// The large catalogue, beside the seeded one: 20 top-level functions with
// 49 children each, all granted to the administrator's role; 10 menus of 49
// entries; 200 toolbar buttons; 20 groups of 14 items.
bool Generate(const QString& file)
{
    SqlConnection c;
    if (!c.Open(SqlConnection::MakeConnectionString(file)))
        return false;
    SetCurrentConnection(&c);
    SqlTransaction transaction(&c);
    auto run = [&](const char* sql, const SqlArgs& args) {
        SqlStatement s(&c, QString::fromUtf8(sql));
        return s.Exec(args);
    };
    QStringList children;
    int order = 1000;
    for (int g = 0; g < 20; ++g) {
        const QString group = QString::number(800000 + g * 100);
        if (!run("insert into AC_FUNCTIONINFO "
                 "(FunctionID,FunctionName,FunctionDesc,ControlName,FormModal,ParentFunctionID,IsPublic,"
                 "OrderNum) values (?,?,?,'','',?,'N',?)",
                 {group, QStringLiteral("生成功能组%1").arg(g), "", "-1", ++order}) ||
            !run("insert into AC_ROLE_FUNCTION values (1,?)", {group}))
            return false;
        for (int i = 1; i < 50; ++i) {
            const QString id = QString::number(800000 + g * 100 + i);
            children << id;
            if (!run("insert into AC_FUNCTIONINFO "
                     "(FunctionID,FunctionName,FunctionDesc,ControlName,FormModal,ParentFunctionID,IsPublic,"
                     "OrderNum) values (?,?,?,'TFrmPrintMode','M',?,'N',?)",
                     {id, QStringLiteral("生成功能%1").arg(id), "", group, ++order}))
                return false;
        }
    }
    int menuID = 10000;
    for (int m = 0; m < 10; ++m) {
        const int parent = ++menuID;
        if (!run("insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum) values "
                 "(?,?,0,'',?)",
                 {parent, QStringLiteral("生成菜单%1").arg(m), 100 + m}))
            return false;
        for (int i = 0; i < 49; ++i)
            if (!run("insert into AC_MENUSTRUCT (MenuID,MenuText,ParentMenuID,FunctionID,OrderNum) values "
                     "(?,?,?,?,?)",
                     {++menuID, QStringLiteral("生成菜单项%1").arg(menuID), parent,
                      children[(m * 49 + i) % children.size()], i}))
                return false;
    }
    for (int b = 0; b < 200; ++b)
        if (!run("insert into AC_TOOLCFG (ButtonID,ButtonText,IconIndex,IsShow,FunctionID,OrderNum) values "
                 "(?,?,?,'Y',?,?)",
                 {10000 + b, QStringLiteral("按钮%1").arg(b), b % 20, children[b * 3], 100 + b}))
            return false;
    int itemID = 10000;
    for (int g = 0; g < 20; ++g) {
        const int parent = ++itemID;
        if (!run(
                "insert into AC_GROUPCFG (ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,OrderNum) "
                "values (?,?,?,'Y','',0,?)",
                {parent, QStringLiteral("生成组%1").arg(g), g % 20, 100 + g}))
            return false;
        for (int i = 0; i < 14; ++i)
            if (!run("insert into AC_GROUPCFG "
                     "(ItemID,ItemText,IconIndex,IsShow,FunctionID,ParentItemID,OrderNum) values "
                     "(?,?,?,'Y',?,?,?)",
                     {++itemID, QStringLiteral("生成项%1").arg(itemID), i % 20, children[(g * 14 + i) * 2],
                      parent, i}))
                return false;
    }
    const bool ok = transaction.Commit();
    SetCurrentConnection(nullptr);
    return ok;
}

// Records when a watched widget is painted.
class PaintClock : public QObject
{
public:
    qint64 firstLogin = 0;
    qint64 lastMain = 0;
    QWidget* login = nullptr;
    QWidget* main = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && login && !firstLogin && (widget == login || login->isAncestorOf(widget)))
                firstLogin = NowNs();
            if (widget && main && widget->window() == main)
                lastMain = NowNs();
        }
        return false;
    }
};

// One start as main() does it, then a login as ADMIN.  Prints
// "<ns at main> <ns login painted> <ns click> <ns handler returned> <ns last paint>
// <ns password check> <ns rebuild> <ns rights> <ns menu> <ns toolbar> <ns group bar>
// <ns rebuild from the public functions' interface>".
int Child(int argc, char* argv[], const QString& home)
{
    const qint64 atMain = NowNs();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("维保档案管家"));
    SetAppDir(home);
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);
    PaintClock clock;
    app.installEventFilter(&clock);

    TDataM dataModule;
    if (!dataModule.ConnectDatabase()) {
        std::fprintf(stderr, "%s\n", qPrintable(dataModule.LastError()));
        return 1;
    }
    RegisterFormClasses();
    QApplication::setQuitOnLastWindowClosed(false);
    StartUpForms forms;
    forms.FrmMain->timDisplayTime->stop();
    clock.login = forms.frmLogin.get();
    clock.main = forms.FrmMain.get();

    qint64 clicked = 0, handled = 0;
    // Once the dialog has been painted: type, press "登录", and give the
    // window half a second to paint what the login built.
    auto* poll = new QTimer(&app);
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (!clock.firstLogin || clicked)
            return;
        forms.frmLogin->findChild<QComboBox*>("cmbUserID")->setEditText("ADMIN");
        forms.frmLogin->findChild<QLineEdit*>("edtPassWord")->setText("admin");
        clicked = NowNs();
        forms.frmLogin->findChild<QPushButton*>("btnLogin")->click();
        handled = NowNs();
        poll->stop();
        QTimer::singleShot(500, [&] {
            // The two parts of a login on their own: the password check and
            // the rights with menu, toolbar and group bar.
            const qint64 lastMainPaint = clock.lastMain; // before the rebuilds below paint again
            TUser probe;
            const qint64 checkStart = NowNs();
            probe.Login("ADMIN", "admin");
            const qint64 checkEnd = NowNs();
            TFunctions* functions = forms.FrmMain->FunctionRights();
            functions->BuildUserInterface("ADMIN");
            const qint64 buildEnd = NowNs();
            // Its parts on their own, on the visible window: the rights, the
            // menu, the toolbar and the group bar.
            qint64 parts[4] = {};
            for (int round = 0; round < 3; ++round) {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                qint64 at = NowNs();
                functions->ResolveRights("ADMIN");
                parts[0] += NowNs() - at;
                at = NowNs();
                QMenuBar menu;
                functions->BuildMainMenu(&menu);
                parts[1] += NowNs() - at;
                at = NowNs();
                functions->BuildToolBar(forms.FrmMain->MainToolBar());
                parts[2] += NowNs() - at;
                at = NowNs();
                functions->BuildGroupBar(forms.FrmMain->MainGroupBar());
                parts[3] += NowNs() - at;
            }
            // A login as it comes after a log-off: from the interface of the
            // public functions (a few buttons and items) to the full one.
            qint64 fromPublic = 0;
            for (int round = 0; round < 3; ++round) {
                functions->BuildUserInterface(QString());
                QCoreApplication::sendPostedEvents();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                const qint64 at = NowNs();
                functions->BuildUserInterface("ADMIN");
                fromPublic += NowNs() - at;
                QCoreApplication::sendPostedEvents();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
            std::printf("%lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld %lld\n", atMain,
                        clock.firstLogin, clicked, handled, lastMainPaint, checkEnd - checkStart,
                        buildEnd - checkEnd, parts[0] / 3, parts[1] / 3, parts[2] / 3, parts[3] / 3,
                        fromPublic / 3);
            std::fflush(stdout);
            std::_Exit(0);
        });
    });
    poll->start();
    forms.FrmMain->show();
    return app.exec();
}

struct Figures
{
    QVector<double> start, startFromMain, rebuilt, painted, check, build, buildFromPublic;
    QVector<double> parts[4]; // rights, menu, toolbar, group bar
};

double Median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

bool Measure(const QString& program, const QString& home, int runs, Figures& out)
{
    for (int r = 0; r < runs; ++r) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 started = NowNs();
        process.start(program, {"--child", home});
        if (!process.waitForFinished(60000))
            return false;
        const QStringList f =
            QString::fromLatin1(process.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
        if (f.size() != 12)
            return false;
        const qint64 atMain = f[0].toLongLong(), shown = f[1].toLongLong(), clicked = f[2].toLongLong(),
                     handled = f[3].toLongLong(), painted = f[4].toLongLong();
        out.start << Ms(shown - started);
        out.startFromMain << Ms(shown - atMain);
        out.rebuilt << Ms(handled - clicked);
        out.painted << Ms(std::max(painted, handled) - clicked);
        out.check << Ms(f[5].toLongLong());
        out.build << Ms(f[6].toLongLong());
        for (int p = 0; p < 4; ++p)
            out.parts[p] << Ms(f[7 + p].toLongLong());
        out.buildFromPublic << Ms(f[11].toLongLong());
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0)
        return Child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(1, atoi(argv[1])) : 7;
    std::printf("platform: %s; %d runs each, median\n",
                qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? qgetenv("QT_QPA_PLATFORM").constData()
                                                             : "default",
                runs);
    std::printf("%-16s %24s %14s %14s %16s %14s\n", "catalogue", "start→login shown (main)", "登录→rebuilt",
                "登录→painted", "password check", "rights+menus");
    for (const bool large : {false, true}) {
        QTemporaryDir home;
        QString error;
        const QString file = home.path() + "/data/data.mdb";
        if (!InitDatabase(file, true, &error) || (large && !Generate(file))) {
            std::fprintf(stderr, "cannot prepare the database: %s\n", qPrintable(error));
            return 1;
        }
        Figures figures;
        if (!Measure(QCoreApplication::applicationFilePath(), home.path(), runs, figures)) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        std::printf("%-16s %11.1f ms (%5.1f ms) %11.1f ms %11.1f ms %13.1f ms %11.1f ms\n",
                    large ? "generated large" : "seeded", Median(figures.start),
                    Median(figures.startFromMain), Median(figures.rebuilt), Median(figures.painted),
                    Median(figures.check), Median(figures.build));
        std::printf("%-16s rights %.1f ms, menu %.1f ms, toolbar %.1f ms, group bar %.1f ms\n", "  of which",
                    Median(figures.parts[0]), Median(figures.parts[1]), Median(figures.parts[2]),
                    Median(figures.parts[3]));
        std::printf("%-16s rights+menus after a log-off (from the public functions' interface) %.1f ms\n", "",
                    Median(figures.buildFromPublic));
    }
    std::printf("targets: start ≤ 500 ms, login ≤ 100 ms\n");
    return 0;
}
