#include "GbkText.h"
#include "GroupBar.h"
#include "SizePanel.h"
#include "SkinEngine.h"

#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTest>

// The skin engine and the skins shipped in the program folder.
class TestSkins : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(bytes);
        return file.fileName();
    }

    // name -> file, as listed in skins.dat (GBK text, "name file" per line).
    static QList<QPair<QString, QString>> ShippedSkins()
    {
        QList<QPair<QString, QString>> skins;
        QFile list(WEIBAO_SKINS_DIR "skins.dat");
        if (!list.open(QIODevice::ReadOnly))
            return skins;
        for (const QString& line : Gbk::Decode(list.readAll()).split('\n')) {
            const QString trimmed = line.trimmed();
            if (!trimmed.isEmpty())
                skins.append({trimmed.section(' ', 0, 0), trimmed.section(' ', 1).trimmed()});
        }
        return skins;
    }

private slots:
    void cleanup() { SkinEngine().Clear(); }

    void unusableFilesKeepTheLookInForce()
    {
        SkinEngine engine;
        const QString good = WriteFile("good.skn", "QPushButton { color: #123456; }");
        QVERIFY(engine.LoadSkin(good));
        QCOMPARE(qApp->styleSheet(), QString("QPushButton { color: #123456; }"));
        QCOMPARE(engine.SkinFile(), QFileInfo(good).absoluteFilePath());

        const QString binary = WriteFile("binary.skn", QByteArray("PK\x03\x04\0\0junk", 10));
        const QString notUtf8 = WriteFile("gbk.skn", Gbk::Encode("QWidget { font-family: 宋体; }"));
        // A valid sheet, but far larger than any skin: it would freeze the start.
        QByteArray rule("QLabel#n { color: #654321; }\n");
        const QString huge = WriteFile("huge.skn", rule.repeated(SkinEngine::MaxSkinBytes / rule.size() + 1));
        // A set.ini without Path hands the engine the bare skins folder.
        for (const QString& bad : {m_dir.filePath("missing.skn"), m_dir.path(), m_dir.path() + "/", QString(),
                                   binary, notUtf8, huge}) {
            QVERIFY2(!engine.LoadSkin(bad), qPrintable(bad));
            QCOMPARE(qApp->styleSheet(), QString("QPushButton { color: #123456; }"));
            QCOMPARE(engine.SkinFile(), QFileInfo(good).absoluteFilePath());
        }

        // A skin of exactly the limit is still taken.
        const QString largest =
            WriteFile("largest.skn", QByteArray(SkinEngine::MaxSkinBytes - 2, ' ') + "\n\n");
        QVERIFY(engine.LoadSkin(largest));

        // An empty file is a valid skin: the plain look.
        QVERIFY(engine.LoadSkin(WriteFile("empty.skn", "")));
        QCOMPARE(qApp->styleSheet(), QString());
    }

    void shippedSkinsAreListedAndLoad()
    {
        const auto skins = ShippedSkins();
        QVERIFY(skins.size() >= 4);
        QStringList names;
        SkinEngine engine;
        for (const auto& [name, file] : skins) {
            names << name;
            QVERIFY2(QFile::exists(WEIBAO_SKINS_DIR + file), qPrintable(file));
            QVERIFY2(engine.LoadSkin(WEIBAO_SKINS_DIR + file), qPrintable(file));
            QVERIFY(!qApp->styleSheet().isEmpty());
        }
        QVERIFY(names.contains("经典"));
        QCOMPARE(names.removeDuplicates(), 0);
    }

    void switchingSkinsLeavesNoColoursBehind()
    {
        // The side bar, its panel and the MDI background take colours from
        // the skin; a later skin that does not set them must not keep the
        // earlier skin's colours.
        QWidget window;
        auto* panel = new SizePanel(&window);
        auto* bar = new GroupBar;
        panel->SetWidget(bar);
        auto* area = new QMdiArea(&window);
        window.show();
        const QColor plainHeader = bar->HeaderColor();
        const QColor plainBar = panel->BarColor();
        const QBrush plainArea = area->background();

        SkinEngine engine;
        QVERIFY(engine.LoadSkin(WEIBAO_SKINS_DIR "DeepBlue.skn"));
        QCOMPARE(bar->HeaderColor(), QColor("#2f5d8c"));
        QVERIFY(panel->BarColor() != plainBar);
        QVERIFY(area->background() != plainArea);

        QVERIFY(engine.LoadSkin(WriteFile("buttons.skn", "QPushButton { color: red; }")));
        QCOMPARE(bar->HeaderColor(), plainHeader);
        QCOMPARE(panel->BarColor(), plainBar);
        QCOMPARE(area->background(), plainArea);

        QVERIFY(engine.LoadSkin(WEIBAO_SKINS_DIR "Emerald.skn"));
        QVERIFY(bar->HeaderColor() != plainHeader);
        engine.Clear();
        QCOMPARE(qApp->styleSheet(), QString());
        QCOMPARE(bar->HeaderColor(), plainHeader);
        QVERIFY(engine.SkinFile().isEmpty());
    }
};

QTEST_MAIN(TestSkins)
#include "tst_skins.moc"
