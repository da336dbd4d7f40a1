// The automatic backup seen from the login: switched on, the day's first
// login starts it without waiting for it; a later login does not; a failure
// is logged, never shown.  The last backup in the status line and the notice
// when it is old; the new session after a restore.
#include "../app/AppTestFixture.h"
#include "AppDir.h"
#include "AutoBackup.h"
#include "BackupCopy.h"
#include "BackupEngine.h"
#include "BackupFolder.h"
#include "BackupStatus.h"
#include "ExpiryNotice.h"
#include "FormClasses.h"
#include "NoticeStrip.h"
#include "PgBackup.h"
#include "RestoreWatch.h"
#include "RestoredSession.h"
#include "Settings.h"
#include "TFrmBackUp.h"

#include <QDir>
#include <QTableWidget>
#include <QtTest>

namespace {

QString StatusLine(TFrmMain* window)
{
    auto* label = window->findChild<QLabel*>("lblLastBackup");
    return label ? label->text() : QStringLiteral("(no status field)");
}

// The notice about backups in the work area, if any.
ExpiryNotice* BackupNotice(TFrmMain* window)
{
    for (ExpiryNotice* notice : window->Notices()->findChildren<ExpiryNotice*>())
        if (notice->findChild<QPushButton*>("BtnBackupNow"))
            return notice;
    return nullptr;
}

void MakeBackupFile(const QString& name, const QDateTime& written)
{
    QVERIFY(QDir().mkpath(BackupFolder::Path()));
    QFile f(BackupFolder::Path() + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    QVERIFY(f.flush());
    QVERIFY(f.setFileTime(written, QFileDevice::FileModificationTime));
}

// Runs `login` as soon as the login dialog shows: after a restore the new
// session asks from inside a modal loop of its own.
void LoginWhenShown(QTimer& poll, AppTestFixture& app, const std::function<void()>& login)
{
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, app.Main(), [&poll, &app, login] {
        if (!app.forms->frmLogin->isVisible())
            return;
        poll.stop();
        login();
    });
    poll.start();
}

} // namespace

class TestAutoBackupLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
            QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
        RegisterFormClasses();
    }

    void firstLoginOfTheDayBacksUp()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        QVERIFY(Settings::SetBackUpAuto(1));
        app.Start();
        app.Login("ADMIN", "admin");
        QVERIFY(app.Main()->isVisible());
        auto* job = app.Main()->findChild<AutoBackup*>();
        QVERIFY(job);
        QSignalSpy finished(job, &AutoBackup::Finished);
        QVERIFY(finished.wait(20000));
        // On a server the backup is a pg_dump archive.
        const QStringList made =
            QDir(BackupFolder::Path())
                .entryList({TestEnv::OnServer() ? "*-auto.pgdump" : "*-auto.Jbk"}, QDir::Files);
        QCOMPARE(made.size(), 1);
        QVERIFY(made.first().startsWith(QDate::currentDate().toString("yyyy-MM-dd")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // A second login the same day starts nothing.
        app.Main()->LoginSucceeded();
        QVERIFY(!app.Main()->findChild<AutoBackup*>());
        QVERIFY(app.dialogs->Texts().isEmpty());
    }

    void failureGoesToTheLogs()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        QVERIFY(Settings::SetBackUpAuto(1));
        // BackUp is a file here, so no backup can be written into it.
        QFile blocker(GetAppDir() + "BackUp");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        app.Start();
        app.Login("ADMIN", "admin");
        auto* job = app.Main()->findChild<AutoBackup*>();
        QVERIFY(job);
        QSignalSpy finished(job, &AutoBackup::Finished);
        QVERIFY(finished.wait(20000));
        QVERIFY(finished.first().at(0).toString().isEmpty());
        QCOMPARE(app.LogRows("自动备份失败"), 1);
        QVERIFY(app.env->CommandLogLines().filter("自动备份失败：").size() == 1);
        QVERIFY(app.dialogs->Texts().isEmpty());
    }

    void switchedOffOnlyWhenSaidSo()
    {
        {
            AppTestFixture app;
            QVERIFY(app.Valid());
            QVERIFY(Settings::SetBackUpAuto(0));
            app.Start();
            app.Login("ADMIN", "admin");
            QVERIFY(!app.Main()->findChild<AutoBackup*>());
            QVERIFY(!QFileInfo::exists(BackupFolder::Path()));
        }
        // A program folder whose Quorel.ini does not mention it backs up daily.
        AppTestFixture app;
        QVERIFY(app.Valid());
        {
            QFile ini(Settings::IniPath());
            QVERIFY(ini.open(QIODevice::ReadOnly));
            QByteArray kept;
            for (const QByteArray& line : ini.readAll().split('\n'))
                if (!line.trimmed().startsWith("Auto="))
                    kept += line + '\n';
            ini.close();
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write(kept);
        }
        QCOMPARE(Settings::BackUpAuto(), 1);
        app.Start();
        app.Login("ADMIN", "admin");
        auto* job = app.Main()->findChild<AutoBackup*>();
        QVERIFY(job);
        QSignalSpy finished(job, &AutoBackup::Finished);
        QVERIFY(finished.wait(20000));
        QVERIFY2(!finished.first().at(0).toString().isEmpty(), qPrintable(finished.first().at(1).toString()));
        QCOMPARE(app.env->Scalar("select count(*) from UseLog where LogText like ?", {"自动备份：%"}).toInt(),
                 1);
    }

    void copyToSecondFolder()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        QVERIFY(Settings::SetBackUpAuto(1));
        QTemporaryDir second;
        // A folder that is gone at backup time: the backup is still made
        // here and the failure is recorded and shown after the next login.
        QVERIFY(Settings::SetBackUpCopyFolder(second.path() + "/stick-not-plugged-in"));
        app.Start();
        app.Login("ADMIN", "admin");
        auto* job = app.Main()->findChild<AutoBackup*>();
        QVERIFY(job);
        QSignalSpy finished(job, &AutoBackup::Finished);
        QVERIFY(finished.wait(20000));
        const QString made = finished.first().at(0).toString();
        QVERIFY(QFileInfo::exists(made));
        QCOMPARE(app.env
                     ->Scalar("select count(*) from UseLog where LogText=?",
                              {BackupStatus::AutomaticCopyFailedText(QFileInfo(made).fileName())})
                     .toInt(),
                 1);
        app.Main()->LoginSucceeded();
        QVERIFY(BackupNotice(app.Main()));
        QVERIFY2(BackupNotice(app.Main())->Text().contains("未能复制到第二个文件夹"),
                 qPrintable(BackupNotice(app.Main())->Text()));

        // The job below names the SQLite file itself; on the server the copy
        // ran through the login above.
        if (!app.env->ServerDatabase().isEmpty())
            return;
        // A folder that is there: the copy arrives, byte for byte.
        QString error;
        AutoBackup::Job next;
        next.databaseFile = app.env->DatabaseFile();
        next.backupDir = BackupFolder::Path();
        next.copyFolder = second.path();
        next.when = QDateTime(QDate(2030, 1, 2), QTime(9, 0));
        QString copyError;
        const QString again = AutoBackup::Run(next, &error, &copyError);
        QVERIFY2(!again.isEmpty(), qPrintable(error));
        QCOMPARE(copyError, QString());
        const QString copy = second.path() + "/" + QFileInfo(again).fileName();
        QCOMPARE(BackupCopy::Sha256(copy), BackupCopy::Sha256(again));
    }

    void statusLineAndStaleNotice()
    {
        QDateTime now(QDate(2027, 1, 8), QTime(10, 0));
        BackupStatus::SetClock([&now] { return now; });
        const auto restoreClock = qScopeGuard([] { BackupStatus::SetClock({}); });
        AppTestFixture app;
        QVERIFY(app.Valid());
        // Three days old: the status line says so, no notice.
        MakeBackupFile("2027-01-05-09-12-00.Jbk", QDateTime(QDate(2027, 1, 5), QTime(9, 12)));
        MakeBackupFile("before-restore-2027-01-07-08-00-00.zbk", QDateTime(QDate(2027, 1, 7), QTime(8, 0)));
        app.Start();
        app.Login("ADMIN", "admin");
        QCOMPARE(StatusLine(app.Main()), QString("上次备份：2027-01-05 09:12（3天前）"));
        QVERIFY(!BackupNotice(app.Main()));

        // Twelve days later: the notice after the next login, and its
        // button makes a backup at once.
        now = QDateTime(QDate(2027, 1, 17), QTime(10, 0));
        app.Main()->LoginSucceeded();
        QCOMPARE(StatusLine(app.Main()), QString("上次备份：2027-01-05 09:12（12天前）"));
        ExpiryNotice* notice = BackupNotice(app.Main());
        QVERIFY(notice);
        QVERIFY2(notice->Text().contains("12 天前"), qPrintable(notice->Text()));
        QCOMPARE(notice->findChild<QPushButton*>("BtnBackupNow")->text(), QString("立即备份"));
        notice->findChild<QPushButton*>("BtnBackupNow")->click();
        QCOMPARE(app.dialogs->LastText(), QString("数据库维护操作成功！"));
        QCOMPARE(
            app.env->Scalar("select count(*) from UseLog where LogText like ?", {"备份数据库：%"}).toInt(),
            1);
        QCOMPARE(QDir(BackupFolder::Path()).entryList({"*.Jbk", "*.pgdump"}, QDir::Files).size(), 2);

        // A failed automatic backup is told even when the last backup is recent.
        now = QDateTime(QDate(2027, 1, 6), QTime(10, 0));
        for (const QString& name : QDir(BackupFolder::Path()).entryList(QDir::Files))
            if (!name.startsWith("2027"))
                QVERIFY(QFile::remove(BackupFolder::Path() + name));
        app.Main()->LoginSucceeded();
        QVERIFY(!BackupNotice(app.Main()));
        DataM->WriteUsageLog(BackupStatus::AutomaticFailedText());
        app.Main()->LoginSucceeded();
        QVERIFY(BackupNotice(app.Main()));
        QVERIFY(BackupNotice(app.Main())->Text().contains("上次自动备份失败"));
        QVERIFY(!app.dialogs->Failed());
    }

    void restoreStartsANewSession()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        TFrmBackUp form(app.Main());
        form.show();
        form.findChild<QPushButton*>("btnBackup")->click();
        QCOMPARE(app.dialogs->LastText(), QString("数据库维护操作成功！"));
        auto* list = form.findChild<QTableWidget*>("Lv1");
        QCOMPARE(list->rowCount(), 1);

        // After the backup: a new password, a new user, a window open.
        QVERIFY(SetUserPassword("ADMIN", "neu"));
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) "
                            "values ('LATE','后来者','pw','Y','Y')"));
        QVERIFY(app.Main()->RunFunction("2001"));
        QCOMPARE(app.Children().size(), 1);

        list->selectRow(0);
        app.dialogs->ClearRecords();
        app.dialogs->QueueAnswer(Dialogs::Yes);
        QStringList offered;
        // Logging in again once the login shows (after the restore's question and the notice).
        QTimer poll;
        LoginWhenShown(poll, app, [&] {
            auto* users = app.forms->frmLogin->findChild<QComboBox*>("cmbUserID");
            for (int i = 0; i < users->count(); ++i)
                offered << users->itemText(i);
            app.Login("ADMIN", "neu");
            app.Login("ADMIN", "admin");
        });
        form.findChild<QPushButton*>("btnReduce")->click();
        // The restore runs on a worker; the login shows once it has ended.
        QTRY_VERIFY_WITH_TIMEOUT(!poll.isActive(), 60000);
        QTRY_COMPARE(app.Main()->FunctionRights()->CurrentUser().UserID, QString("ADMIN"));
        QVERIFY(!form.isVisible());
        const QStringList texts = app.dialogs->Texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts[0].endsWith(RestoredSession::QuestionLine(TestEnv::OnServer())));
        QCOMPARE(texts[1], RestoredSession::NoticeText());
        // The password of the backup works, the later one does not.
        QCOMPARE(texts[2], QString("用户密码有误，请重新输入！"));
        QVERIFY(app.Children().isEmpty());
        QVERIFY(!offered.isEmpty());
        QVERIFY(offered.filter("LATE").isEmpty());
        QCOMPARE(app.Main()->StatusText(0), QString("已经登录"));
        QVERIFY(!app.dialogs->Failed());
    }

    // Another desk restores the server's database: this desk is told once,
    // in the notice strip, and logs in again when its user says so.
    void anotherDesksRestoreAsksForANewLogin()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        RestoreWatch* watch = app.Main()->RestoreWatcher();
        QVERIFY(watch->Check());
        const auto restoredNotice = [&app] {
            return app.Main()->Notices()->findChild<ExpiryNotice*>("RestoredNotice");
        };
        if (!TestEnv::OnServer()) {
            // The file cannot be replaced under another program: nothing to watch.
            QCOMPARE(RestoreWatch::TableIdentity(CurrentConnection()), qint64(0));
            return;
        }
        PgBackup otherDesk(Settings::DatabaseServer(), BackupFolder::Path());
        const QString made = otherDesk.Backup(true, 3);
        QVERIFY2(!made.isEmpty(), qPrintable(otherDesk.Error()));
        class StaysConnected : public ConnectionHost
        {
        public:
            void Disconnect() override {}
            bool Connect(QString*) override { return true; }
        } host;
        QVERIFY2(otherDesk.Restore(made, host), qPrintable(otherDesk.Error()));
        QVERIFY(!restoredNotice());
        QVERIFY(!watch->Check());
        QVERIFY(restoredNotice());
        // Told once.
        QVERIFY(watch->Check() == false);
        QCOMPARE(app.Main()->Notices()->findChildren<ExpiryNotice*>("RestoredNotice").size(), 1);

        app.dialogs->ClearRecords();
        QTimer poll;
        LoginWhenShown(poll, app, [&app] { app.Login("ADMIN", "admin"); });
        restoredNotice()->findChild<QPushButton*>("BtnRelogin")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!poll.isActive(), 30000);
        QTRY_VERIFY(!restoredNotice());
        QCOMPARE(app.dialogs->Texts().value(0), RestoredSession::NoticeText());
        QCOMPARE(app.Main()->StatusText(0), QString("已经登录"));
        // The new login watches the restored database.
        QVERIFY(watch->Check());
    }
};

QTEST_MAIN(TestAutoBackupLogin)
#include "tst_autobackuplogin.moc"
