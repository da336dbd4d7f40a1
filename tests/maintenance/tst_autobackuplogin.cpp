// The automatic backup seen from the login: switched on, the day's first
// login starts it without waiting for it; a later login does not; a failure
// is logged, never shown.
#include "../app/AppTestFixture.h"
#include "AppDir.h"
#include "AutoBackup.h"
#include "BackupFolder.h"
#include "FormClasses.h"
#include "Settings.h"

#include <QDir>
#include <QtTest>

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
        const QStringList made = QDir(BackupFolder::Path())
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

    void switchedOffByDefault()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        QVERIFY(!app.Main()->findChild<AutoBackup*>());
        QVERIFY(!QFileInfo::exists(BackupFolder::Path()));
    }
};

QTEST_MAIN(TestAutoBackupLogin)
#include "tst_autobackuplogin.moc"
