#include "AppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

// Where the program keeps its data and finds what it ships: beside a copied
// program folder, in the user's data folder when installed, or where --home
// says.
class TestAppDir : public QObject
{
    Q_OBJECT

    static void Touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void chooseDataDir_data()
    {
        QTest::addColumn<QString>("home");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<bool>("portable");
        QTest::addColumn<QString>("expected");
        // A copied program folder (build/bin) keeps everything beside itself.
        QTest::newRow("copied folder with data") << "" << true << true << true << "/opt/wb/";
        QTest::newRow("copied folder before its first database") << "" << true << false << true << "/opt/wb/";
        QTest::newRow("writable folder holding data/") << "" << true << true << false << "/opt/wb/";
        // Installed: /usr/bin has neither data/ nor the shipped files, also
        // when root can write to it.
        QTest::newRow("installed, run by root") << "" << true << false << false << "/home/u/.local/share/weibao/";
        QTest::newRow("installed, run by a user") << "" << false << false << false << "/home/u/.local/share/weibao/";
        QTest::newRow("read-only copy with data") << "" << false << true << true << "/home/u/.local/share/weibao/";
        // --home wins over everything.
        QTest::newRow("home over copied folder") << "/srv/desk" << true << true << true << "/srv/desk/";
        QTest::newRow("home over installed") << "/srv/desk/" << false << false << false << "/srv/desk/";
    }

    void chooseDataDir()
    {
        QFETCH(QString, home);
        QFETCH(bool, writable);
        QFETCH(bool, hasData);
        QFETCH(bool, portable);
        QFETCH(QString, expected);
        DataDirFacts facts;
        facts.homeOption = home;
        facts.programDir = "/opt/wb";
        facts.programDirWritable = writable;
        facts.programDirHasData = hasData;
        facts.programDirPortable = portable;
        facts.userDataDir = "/home/u/.local/share/weibao";
        QCOMPARE(ChooseDataDir(facts), expected);
    }

    // The facts come from the real folders; the user's folder follows XDG_DATA_HOME.
    void inspectFolders()
    {
        QTemporaryDir root;
        const QString bin = root.path() + "/bin";
        QVERIFY(QDir().mkpath(bin));
        qputenv("XDG_DATA_HOME", (root.path() + "/xdg").toUtf8());

        DataDirFacts facts = InspectDataDir(bin, QString());
        QCOMPARE(facts.userDataDir, root.path() + "/xdg/weibao");
        QVERIFY(!facts.programDirHasData);
        QVERIFY(!facts.programDirPortable);
        QCOMPARE(ChooseDataDir(facts), root.path() + "/xdg/weibao/");

        QVERIFY(QDir().mkpath(bin + "/data"));
        facts = InspectDataDir(bin, QString());
        QVERIFY(facts.programDirHasData);
        QVERIFY(facts.programDirWritable);
        QCOMPARE(ChooseDataDir(facts), bin + "/");

        // Without write access (only testable when not root) the user's folder is used.
        if (geteuid() != 0) {
            QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner);
            facts = InspectDataDir(bin, QString());
            QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(!facts.programDirWritable);
            QCOMPARE(ChooseDataDir(facts), root.path() + "/xdg/weibao/");
        }
    }

    // Installed, the shipped files are in ../share/weibao; copied, beside the executable.
    void programDir()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.path() + "/usr/bin"));
        QCOMPARE(ChooseProgramDir(root.path() + "/usr/bin"), root.path() + "/usr/bin");
        QVERIFY(QDir().mkpath(root.path() + "/usr/share/weibao/Skins"));
        QCOMPARE(ChooseProgramDir(root.path() + "/usr/bin"), root.path() + "/usr/share/weibao");
        Touch(root.path() + "/usr/bin/Skins/skins.dat");
        QCOMPARE(ChooseProgramDir(root.path() + "/usr/bin"), root.path() + "/usr/bin");
    }

    // The data folder's own copy of a shipped file comes first.
    void findShipped()
    {
        QTemporaryDir data, shared;
        SetAppDir(data.path());
        SetProgramDir(shared.path());
        QCOMPARE(FindShipped("Skins/skins.dat"), shared.path() + "/Skins/skins.dat");
        Touch(data.path() + "/Skins/set.ini");
        QCOMPARE(FindShipped("Skins/skins.dat"), shared.path() + "/Skins/skins.dat");
        Touch(data.path() + "/Skins/skins.dat");
        QCOMPARE(FindShipped("Skins/skins.dat"), data.path() + "/Skins/skins.dat");
    }

    // As the program starts: build/bin (this test's folder) ships its skins,
    // so it is a program folder of its own; --home moves only the data.
    void setUpAsAtStart()
    {
        const QString bin = QCoreApplication::applicationDirPath() + "/";
        QVERIFY(QFileInfo::exists(bin + "Skins/skins.dat"));
        SetUpAppDirs(QString());
        QCOMPARE(GetAppDir(), bin);
        QCOMPARE(GetProgramDir(), bin);
        QVERIFY(!UsesUserDataDir());

        QTemporaryDir home;
        SetUpAppDirs(home.path());
        QCOMPARE(GetAppDir(), home.path() + "/");
        QCOMPARE(GetProgramDir(), bin);
        QVERIFY(!UsesUserDataDir());
    }
};

QTEST_GUILESS_MAIN(TestAppDir)
#include "tst_appdir.moc"
