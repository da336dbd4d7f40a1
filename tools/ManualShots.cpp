// Takes the pictures of the user manual from the real program: a demo
// database in a temporary data folder, the administrator logged in, the main
// window at a fixed size, and every form opened through its function, as a
// person would.  Run under Xvfb by scripts/manual-shots.sh.
#include "AppDir.h"
#include "BackupEngine.h"
#include "BackupFolder.h"
#include "ChangeHistoryDialog.h"
#include "ChangeLog.h"
#include "DataAccess.h"
#include "FirstStart.h"
#include "FormClasses.h"
#include "HelpWindow.h"
#include "RepairRecord.h"
#include "RepairSlips.h"
#include "ReportExportFilters.h"
#include "SaleImport.h"
#include "SaleRecord.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "StartUpForms.h"
#include "TDataM.h"
#include "TFrmMain.h"
#include "TFrmRepairHistory.h"
#include "TFrmRepairInput.h"
#include "TFrmSaleImport.h"
#include "TFunctions.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <functional>

namespace {

struct Step
{
    int delay; // milliseconds to let the window settle before the action
    std::function<void()> action;
};

QString g_out;
QList<Step> g_steps;
int g_next = 0;
QStringList g_taken;

void RunNext()
{
    if (g_next >= g_steps.size()) {
        QTextStream(stdout) << "taken: " << g_taken.join(' ') << Qt::endl;
        qApp->exit(0);
        return;
    }
    const Step step = g_steps[g_next++];
    // Actions never block: modal windows are opened by a timer of their own.
    QTimer::singleShot(step.delay, [step] {
        step.action();
        RunNext();
    });
}

void Later(std::function<void()> action)
{
    QTimer::singleShot(0, action);
}

void Save(QWidget* widget, const QString& file)
{
    if (!widget) {
        QTextStream(stderr) << "nothing to shoot for " << file << Qt::endl;
        return;
    }
    widget->grab().save(g_out + "/" + file);
    g_taken << file;
}

QWidget* Front(TFrmMain* main)
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return main;
}

void CloseFront(TFrmMain* main)
{
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
    else if (QMdiArea* mdi = main->findChild<QMdiArea*>())
        mdi->closeAllSubWindows();
}

template <typename T> T* Child(QWidget* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

// A button or a toolbar action, pressed as by the mouse.
void Click(QWidget* parent, const char* name)
{
    if (auto* button = Child<QAbstractButton>(parent, name))
        Later([button] { button->click(); });
    else if (auto* action = parent ? parent->findChild<QAction*>(QString::fromLatin1(name)) : nullptr)
        Later([action] { action->trigger(); });
}

// The first row of a list selected, as by a click, so the form shows its data.
void SelectFirst(QWidget* parent, const char* name)
{
    if (auto* list = Child<QTreeWidget>(parent, name); list && list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
}

// The preview of an import, of a small sheet with a row of each kind: good,
// refused and a copy of a stored record.  The file is written here, as the
// program's own file dialog would only choose it.
void ShowImportPreview(QWidget* parent, const QString& folder)
{
    QString name = QStringLiteral("李明"), phone = QStringLiteral("010-62345678"),
            day = QStringLiteral("2026-03-01");
    SqlStatement stored(CurrentConnection(),
                        "select Name, Phone, substr(BuyDate,1,10) from SaleInfo order by id limit 1");
    if (stored.Step()) {
        name = stored.ColumnValue(0).toString();
        phone = stored.ColumnValue(1).toString();
        day = stored.ColumnValue(2).toString();
    }
    const QString file = folder + "/客户.csv";
    QFile csv(file);
    if (!csv.open(QIODevice::WriteOnly))
        return;
    QTextStream out(&csv);
    out << QStringLiteral("用户姓名,电话,地址,购买日期,特殊客户,处理器,送货人\n")
        << QStringLiteral(
               "周小红,010-88886666,北京市西城区西单北大街 120 号,2026-11-20,否,Intel Core i5-12400,老王\n")
        << QStringLiteral("孙立,,北京市丰台区丽泽路 3 号,2026-13-40,否,,老王\n")
        << QStringLiteral(",13911112222,北京市东城区东四北大街 9 号,2026-10-02,否,,小刘\n") << name << ','
        << phone << QStringLiteral(",北京市海淀区学院路15号,") << day << QStringLiteral(",否,,小刘\n");
    csv.close();
    SaleImport::Preview preview;
    QString error;
    if (SaleImport::Analyse(file, &preview, &error) != SaleImport::Outcome::Done) {
        QTextStream(stderr) << error << Qt::endl;
        return;
    }
    auto* dialog = new TFrmSaleImport(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetPreview(preview);
    dialog->show();
}

// A sale as the desk would type it.
void FillSale(QWidget* entry)
{
    const QList<QPair<const char*, const char*>> values = {
        {"EUser", "王小明"},          {"EMobile", "13800001234"},
        {"EAddr", "新华路 18 号"},    {"ECPU", "英特尔 酷睿 i5-12400"},
        {"EMainBoard", "华硕 B660M"}, {"EMemory", "16GB DDR4"},
        {"EHD", "1TB 固态硬盘"},      {"EDisPlayCard", "集成显卡"},
        {"EDisPlay", "AOC 24 英寸"},  {"EKeyBoard", "罗技 K120"},
        {"EMouse", "罗技 M100"}};
    for (const auto& [name, text] : values)
        if (auto* edit = Child<QLineEdit>(entry, name))
            edit->setText(QString::fromUtf8(text));
}

// One form opened through its function and shot; `prepare` fills it first.
void ShootFunction(TFrmMain* main, const QString& file, const QString& funcID,
                   std::function<void(QWidget*)> prepare = {})
{
    g_steps << Step{300, [=] { Later([funcID] { Functions->RunFunction(funcID); }); }};
    g_steps << Step{900, [=] {
                        if (prepare)
                            prepare(Front(main));
                    }};
    g_steps << Step{900, [=] {
                        Save(Front(main), file);
                        CloseFront(main);
                    }};
}

// A record edited at two desks by two users, and two records deleted: what
// the change log then shows.
void EditAtTwoDesks()
{
    SqlConnection& connection = *CurrentConnection();
    ExecCommand("insert into AC_USERINFO (UserID, UserName, Sex, UserPass, IsUse, PassNotOver) values (?,?,?,?,?,?)",
                {"WANG", QStringLiteral("王芳"), QStringLiteral("女"), SqlArg::Secret("wang"), "Y", "Y"});
    const QString admin = connection.SessionUser();
    const QString desk = connection.SessionDesk();
    QString error;
    ChangeLog::SetSession(connection, "WANG", QStringLiteral("XIAOSHOU-2"));
    qint64 version = SaleRecord::ReadRowVersion(1).value_or(-1);
    SaleRecord::UpdateRecord(1, &version, {{"Phone", "010-62558899"}, {"CPU", QStringLiteral("英特尔 酷睿 i7-12700")}},
                             &error);
    ChangeLog::SetSession(connection, admin, desk);
    SaleRecord::UpdateRecord(1, &version,
                             {{"OverRun", QDate::currentDate().addYears(2)}, {"Memo", QStringLiteral("延保两年")}},
                             &error);
    ExecCommand("delete from SaleInfo where id in (5, 6)");
}

// Answers the question box on top with 是.
void AnswerYes()
{
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        if (QAbstractButton* yes = box->button(QMessageBox::Yes))
            yes->click();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("维保档案管家"));
    QApplication::setApplicationDisplayName(QStringLiteral("维保档案管家"));
    if (argc < 2) {
        QTextStream(stderr) << "usage: weibao_manualshots OUTPUT_FOLDER" << Qt::endl;
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(g_out);

    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    QTemporaryDir home;
    SetAppDir(home.path());
    QString error;
    if (!InitDatabase(GetAppDir() + "data/data.mdb", true, &error)) {
        QTextStream(stderr) << error << Qt::endl;
        return 1;
    }
    TDataM dataModule;
    if (!dataModule.ConnectDatabase()) {
        QTextStream(stderr) << dataModule.LastError() << Qt::endl;
        return 1;
    }
    RegisterFormClasses();
    QApplication::setQuitOnLastWindowClosed(false);
    StartUpForms forms;
    TFrmMain* main = forms.FrmMain.get();
    main->show();

    // The login dialog the program opens at start.
    g_steps << Step{1200, [&] {
                        QWidget* login = QApplication::activeModalWidget();
                        if (auto* user = Child<QComboBox>(login, "cmbUserID"))
                            user->setEditText(AdminUserID);
                        if (auto* password = Child<QLineEdit>(login, "edtPassWord"))
                            password->setText(AdminPassword);
                        Save(login, "login.png");
                        Click(login, "btnLogin");
                    }};
    g_steps << Step{800, [main] {
                        main->setWindowState(Qt::WindowNoState);
                        main->setGeometry(0, 0, 1100, 680);
                    }};
    g_steps << Step{800, [main] {
                        Save(main, "main-window.png");
                        // The reminder of expiring warranties shown after the login.
                        Save(main->findChild<QWidget*>(QStringLiteral("ExpiryNotice")), "reminder.png");
                        // Closed, as the desk would, so the other pictures show the forms alone.
                        Click(main, "BtnExpiryClose");
                    }};

    ShootFunction(main, "records.png", "2001", [](QWidget* front) { Click(front, "TBtnAll"); });
    ShootFunction(main, "records-expiring.png", "2001", [](QWidget* front) { Click(front, "BtnExpiring"); });
    // The quick-find box, typed into as by the keyboard (the search waits
    // for a pause in the typing).
    ShootFunction(main, "records-quickfind.png", "2001", [](QWidget* front) {
        if (auto* find = Child<QLineEdit>(front, "EditFind")) {
            find->setFocus();
            find->insert(QStringLiteral("海淀"));
        }
    });
    g_steps << Step{300, [main, &home] { ShowImportPreview(main, home.path()); }};
    g_steps << Step{900, [] {
                        TFrmSaleImport* preview = nullptr;
                        for (QWidget* window : QApplication::topLevelWidgets())
                            if (auto* found = qobject_cast<TFrmSaleImport*>(window);
                                found && found->isVisible())
                                preview = found;
                        Save(preview, "import-preview.png");
                        if (preview)
                            preview->close();
                    }};
    ShootFunction(main, "sale-entry.png", "2002", FillSale);
    // The warranty card of a stored record (only those carry the QR code):
    // the record manager's first record opened, then its 预览.
    g_steps << Step{300, [] { Later([] { Functions->RunFunction("2001"); }); }};
    g_steps << Step{900, [main] { Click(main, "TBtnAll"); }};
    g_steps << Step{900, [main] {
                        if (auto* list = Child<QTableView>(main, "ListView1"))
                            list->selectRow(0);
                        Click(main, "N11");
                    }};
    g_steps << Step{900, [main] { Click(Front(main), "BtnPreview"); }};
    g_steps << Step{1500, [main] {
                        QWidget* preview = Front(main);
                        preview->resize(900, 680);
                    }};
    g_steps << Step{900, [main] {
                        Save(Front(main), "card-preview.png");
                        CloseFront(main);
                    }};
    g_steps << Step{600, [main] { CloseFront(main); }};
    g_steps << Step{600, [main] { CloseFront(main); }};

    ShootFunction(main, "print-mode.png", "2003");
    ShootFunction(main, "company.png", "3001");
    ShootFunction(main, "dictionary.png", "3002");
    ShootFunction(main, "users.png", "4001", [](QWidget* front) { SelectFirst(front, "lvUser"); });
    ShootFunction(main, "roles.png", "4002", [](QWidget* front) { SelectFirst(front, "LvRole"); });
    ShootFunction(main, "functions.png", "4004");
    ShootFunction(main, "syslog.png", "4005");
    // The change log: a record's history, then the deletions and one brought back.
    g_steps << Step{300, [] { EditAtTwoDesks(); }};
    g_steps << Step{300, [main] {
                        Later([main] {
                            ChangeHistoryDialog::Show(main, "SaleInfo", "1",
                                                      QStringLiteral("销售记录 1 的修改记录（最新的在前）"));
                        });
                    }};
    g_steps << Step{900, [main] {
                        Save(Front(main), "change-history.png");
                        CloseFront(main);
                    }};
    g_steps << Step{300, [] { Later([] { Functions->RunFunction("4009"); }); }};
    g_steps << Step{900, [main] {
                        QWidget* form = main->findChild<QWidget*>(QStringLiteral("TFrmChangeLog"));
                        if (auto* action = Child<QComboBox>(form, "CmbAction"))
                            action->setCurrentText(QStringLiteral("删除"));
                        Click(form, "BtnSearch");
                    }};
    g_steps << Step{600, [main] {
                        QWidget* form = main->findChild<QWidget*>(QStringLiteral("TFrmChangeLog"));
                        if (auto* grid = Child<QTableView>(form, "GridMain"))
                            grid->setCurrentIndex(grid->model()->index(1, 0));
                    }};
    g_steps << Step{600, [main] { Save(main, "changelog.png"); }};
    g_steps << Step{300, [main] {
                        Click(main->findChild<QWidget*>(QStringLiteral("TFrmChangeLog")), "BtnRestore");
                    }};
    g_steps << Step{900, [main] {
                        Save(Front(main), "changelog-restore-question.png");
                        AnswerYes();
                    }};
    g_steps << Step{900, [main] {
                        Save(Front(main), "changelog-restored.png");
                        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                            box->accept();
                    }};
    g_steps << Step{900, [main] {
                        QWidget* form = main->findChild<QWidget*>(QStringLiteral("TFrmChangeLog"));
                        if (auto* action = Child<QComboBox>(form, "CmbAction"))
                            action->setCurrentIndex(0);
                        Click(form, "BtnSearch");
                    }};
    g_steps << Step{900, [main] {
                        Save(main, "changelog-all.png");
                        CloseFront(main);
                    }};
    ShootFunction(main, "menu-editor.png", "4006");
    ShootFunction(main, "toolbar-editor.png", "4007");
    ShootFunction(main, "groupbar-editor.png", "4008");
    // Two backups to list: one made by hand and the day's automatic one.
    g_steps << Step{300, [] {
                        const QDateTime now = QDateTime::currentDateTime();
                        BackupEngine engine(GetDatabaseFileName(), BackupFolder::Path());
                        engine.Backup(true, 3, true, now.addSecs(-3600));
                        engine.Backup(true, 3, false, now);
                    }};
    ShootFunction(main, "backup.png", "5001");
    ShootFunction(main, "compress.png", "5002");
    ShootFunction(main, "backup-options.png", "5003");

    // The change-password dialog (a built-in function).
    g_steps << Step{300, [] { Later([] { Functions->RunFunction("1002"); }); }};
    g_steps << Step{900, [main] {
                        Save(Front(main), "change-password.png");
                        CloseFront(main);
                    }};

    // The question of the first start of an installed program.
    // (The box is closed with 退出, so nothing is created at the path shown.)
    g_steps << Step{
        300, [] {
            Later([] { OfferNewDatabase(QStringLiteral("/home/staff/.local/share/weibao/data/data.mdb")); });
        }};
    g_steps << Step{900, [main] {
                        Save(QApplication::activeModalWidget(), "first-start.png");
                        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                            box->button(QMessageBox::Cancel)->click();
                    }};

    // The help window on the contents page, on a chapter, and with a search.
    g_steps << Step{300, [] {
                        HelpWindow* help = HelpWindow::ShowManual(QStringLiteral("index.md"));
                        help->move(20, 20);
                    }};
    g_steps << Step{900, [] {
                        Save(QApplication::activeWindow(), "help-contents.png");
                        HelpWindow::ShowManual(QStringLiteral("03-records.md"));
                    }};
    g_steps << Step{900, [] {
                        HelpWindow* help = HelpWindow::ShowManual();
                        Save(help, "help-page.png");
                        help->Search(QStringLiteral("过保"));
                    }};
    g_steps << Step{900, [] {
                        HelpWindow* help = HelpWindow::ShowManual();
                        Save(help, "help-search.png");
                        help->close();
                    }};

    // The repair desk: four digits of a phone into 查找, the machine picked,
    // the visit typed and 保存并打印 (the slip as the preview shows it).
    g_steps << Step{300, [] { Later([] { Functions->RunFunction("6001"); }); }};
    g_steps << Step{
        900, [main] {
            MemDataset twice;
            OpenQuery("select r.SaleID from RepairSwap s join RepairInfo r on r.RepairID=s.RepairID"
                      " where s.Component=? group by r.SaleID having count(*)>=2",
                      twice, {QStringLiteral("内存")});
            MemDataset sale;
            OpenQuery("select Mobile from SaleInfo where id=?", sale, {twice.AsInteger("SaleID")});
            if (auto* find = Child<QLineEdit>(main, "EFind")) {
                find->setFocus();
                find->insert(sale.AsString("Mobile").right(4));
            }
        }};
    g_steps << Step{900, [main] {
                        if (auto* form = main->findChild<TFrmRepairInput*>())
                            QMetaObject::invokeMethod(form, "EFindReturnPressed");
                    }};
    g_steps << Step{600, [main] {
                        if (auto* problem = Child<QPlainTextEdit>(main, "MemProblem"))
                            problem->setPlainText(QStringLiteral("开机后风扇狂转，屏幕无显示"));
                        if (auto* box = Child<QAbstractButton>(main, "ChkCable"))
                            box->setChecked(true);
                        Save(main, "repair-input.png");
                        TFrmRepairInput::SlipSink = [](const Report::PreparedReport& report) {
                            Report::RenderPageImage(report, 0, 90).save(g_out + "/repair-order.png");
                            g_taken << "repair-order.png";
                            QString error;
                            Report::ExportPdf(report, g_out + "/../repair-order.pdf", &error);
                        };
                        Click(main, "BtnSavePrint");
                    }};
    g_steps << Step{900, [main] { Click(main, "BtnHistory"); }};
    g_steps << Step{
        900, [main] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* history = qobject_cast<TFrmRepairHistory*>(window);
                    history && history->isVisible()) {
                    history->resize(980, 600);
                    Save(history, "repair-history.png");
                    history->close();
                }
            // Two 取机单: a repair in warranty (free) and an expired one (charged), and
            // the 80 mm receipt of a 维修单.
            MemDataset visits;
            OpenQuery("select RepairID, InWarranty from RepairInfo where Status=3 order by RepairID", visits);
            for (visits.First(); !visits.Eof(); visits.Next()) {
                RepairVisit v;
                QString error;
                RepairRecord::Load(visits.AsInteger("RepairID"), &v, &error);
                const RepairSlipData data = RepairSlips::DataOf(v);
                if (v.inWarranty && v.ComputedTotal() > 0)
                    continue;
                const QString file = v.inWarranty ? "repair-pickup-free.png" : "repair-pickup-charged.png";
                Report::RenderPageImage(RepairSlips::PreparePickupSlip(data, false), 0, 90)
                    .save(g_out + "/" + file);
                g_taken << file;
                Report::RenderPageImage(RepairSlips::PrepareRepairOrder(data, true), 0, 150)
                    .save(g_out + "/repair-receipt.png");
            }
            g_taken << "repair-receipt.png";
            TFrmRepairInput::SlipSink = nullptr;
            CloseFront(main);
        }};
    ShootFunction(main, "repair-options.png", "6003");

    RunNext();
    const int result = app.exec();
    return result;
}
