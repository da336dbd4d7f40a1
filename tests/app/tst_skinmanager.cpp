#include "AppDir.h"
#include "AppTestFixture.h"
#include "FormClasses.h"
#include "GbkText.h"
#include "IniFile.h"
#include "TNewSkin.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The skin manager: the list in skins.dat, the skin submenu under function
// 4003, applying and remembering the choice across a restart, bad files.
class TestSkins : public QObject
{
    Q_OBJECT

    static const char* const BlueSheet;
    static const char* const GreySheet;

    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Skins/ with skins.dat naming two present skins, a missing one, a
    // binary one and blank lines.
    static QString MakeSkins(const QString& dir)
    {
        const QString folder = dir + "Skins/";
        QDir().mkpath(folder);
        WriteFile(
            folder + "skins.dat",
            Gbk::Encode(
                "Blue\r\n\r\n   \r\n灰色  Grey Sheet.skn \r\nGone\r\n缺失 missing.skn\r\n坏 Bad.skn\r\n"));
        WriteFile(folder + "Blue.skn", BlueSheet);
        WriteFile(folder + "Grey Sheet.skn", GreySheet);
        WriteFile(folder + "Bad.skn", QByteArray("\x00\x01\x02", 3));
        return folder;
    }

    static QStringList Texts(const QList<QAction*>& actions)
    {
        QStringList texts;
        for (QAction* action : actions)
            texts << action->text() + (action->isChecked() ? "*" : "");
        return texts;
    }

private slots:
    void initTestCase()
    {
        WEIBAO_SKIP_WITHOUT_SERVER();
        RegisterFormClasses();
    }
    void cleanup() { SetProgramDir(ChooseProgramDir(QCoreApplication::applicationDirPath())); }

    void skinList()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        TNewSkin skin;
        skin.SetSkinFolder(app.env->Dir() + "Skins");
        QCOMPARE(skin.SkinFolder(), app.env->Dir() + "Skins/");
        // No skins.dat: false and the lists stay as they are.
        skin.SkinNames = QStringList({"旧"});
        QVERIFY(!skin.LoadSkinList());
        QCOMPARE(skin.SkinNames, QStringList({"旧"}));

        MakeSkins(app.env->Dir());
        QVERIFY(skin.LoadSkinList());
        QCOMPARE(skin.SkinNames, QStringList({"Blue", "灰色", "坏"}));
        QCOMPARE(skin.SkinFiles, QStringList({"Blue.skn", "Grey Sheet.skn", "Bad.skn"}));
    }

    void choiceIsAppliedAndSurvivesARestart()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        const QString folder = MakeSkins(app.env->Dir());
        app.Start();
        QVERIFY(qApp->styleSheet().isEmpty());
        app.Login("ADMIN", "admin");
        QAction* entry = app.MenuAction("界面皮肤(&K)");
        QVERIFY(entry && entry->menu());
        QCOMPARE(Texts(entry->menu()->actions()), QStringList({"Blue", "灰色", "坏"}));

        entry->menu()->actions()[1]->trigger();
        QCOMPARE(Texts(entry->menu()->actions()), QStringList({"Blue", "灰色*", "坏"}));
        QCOMPARE(qApp->styleSheet(), QString(GreySheet));
        IniFile ini(folder + "set.ini");
        QCOMPARE(ini.ReadString("Skin", "Name"), QString("灰色"));
        QCOMPARE(ini.ReadString("Skin", "Path"), QString("Grey Sheet.skn"));

        // An unreadable skin keeps the look and the remembered choice.
        entry->menu()->actions()[2]->trigger();
        QCOMPARE(app.dialogs->Texts().size(), 1);
        QVERIFY(app.dialogs->LastText().contains("Bad.skn"));
        QCOMPARE(Texts(entry->menu()->actions()), QStringList({"Blue", "灰色*", "坏"}));
        QCOMPARE(qApp->styleSheet(), QString(GreySheet));
        QCOMPARE(ini.ReadString("Skin", "Name"), QString("灰色"));

        // After a restart the skin is in force from the start and checked in the menu.
        app.forms.reset();
        qApp->setStyleSheet(QString());
        app.Start();
        QCOMPARE(qApp->styleSheet(), QString(GreySheet));
        app.Login("ADMIN", "admin");
        QCOMPARE(Texts(app.MenuAction("界面皮肤(&K)")->menu()->actions()),
                 QStringList({"Blue", "灰色*", "坏"}));

        // Skins removed from the folder disappear at the next login; the look stays.
        QVERIFY(QFile::remove(folder + "Grey Sheet.skn"));
        app.Main()->RunFunction("1004");
        app.Login("ADMIN", "admin");
        QCOMPARE(Texts(app.MenuAction("界面皮肤(&K)")->menu()->actions()), QStringList({"Blue", "坏"}));
        QCOMPARE(qApp->styleSheet(), QString(GreySheet));
    }

    void withoutSkinListTheSubmenuIsEmpty()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        // Neither the data folder nor the program's shared folder has skins.
        QTemporaryDir shared;
        SetProgramDir(shared.path());
        app.Start();
        app.Login("ADMIN", "admin");
        QAction* entry = app.MenuAction("界面皮肤(&K)");
        QVERIFY(entry && entry->menu());
        QVERIFY(entry->menu()->actions().isEmpty());
        QVERIFY(qApp->styleSheet().isEmpty());
    }

    // Installed: the skins come from the read-only shared folder, the choice
    // is kept in the user's data folder.
    void sharedSkinsWithChoiceInDataFolder()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        QTemporaryDir shared;
        const QString folder = MakeSkins(shared.path() + "/");
        SetProgramDir(shared.path());
        app.Start();
        app.Login("ADMIN", "admin");
        QAction* entry = app.MenuAction("界面皮肤(&K)");
        QVERIFY(entry && entry->menu());
        QCOMPARE(Texts(entry->menu()->actions()), QStringList({"Blue", "灰色", "坏"}));
        entry->menu()->actions().at(0)->trigger();
        QCOMPARE(qApp->styleSheet(), QString(BlueSheet));
        QVERIFY(!QFile::exists(folder + "set.ini"));
        QVERIFY(QFile::exists(app.env->Dir() + "Skins/set.ini"));
    }
};

const char* const TestSkins::BlueSheet = "QMainWindow { background: #203a5c; }\n";
const char* const TestSkins::GreySheet = "QWidget { color: #202020; }\n";

QTEST_MAIN(TestSkins)
#include "tst_skinmanager.moc"
