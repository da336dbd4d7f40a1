#include "AppDir.h"
#include "GbkText.h"
#include "IniFile.h"
#include "MemDataset.h"
#include "Settings.h"
#include "Utilities.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Conversions, list helpers, GBK text and the INI file.
class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void splitCodeAndName()
    {
        QString code, name;
        SplitCodeAndName("A-B-C", code, name);
        QCOMPARE(code, QString("A"));
        QCOMPARE(name, QString("B-C"));
        SplitCodeAndName("ADMIN", code, name);
        QCOMPARE(code, QString("ADMIN"));
        QVERIFY(name.isEmpty());
        SplitCodeAndName("", code, name);
        QVERIFY(code.isEmpty() && name.isEmpty());
    }

    void listLookups()
    {
        const QStringList list{"1-销售部", "2-技术部", "3-财务部"};
        QCOMPARE(IndexOfText(list, "2-技术部"), 1);
        QCOMPARE(IndexOfText(list, "9-无"), 3);
        QCOMPARE(IndexOfContaining(list, "技术"), 1);
        QCOMPARE(IndexOfContaining(list, "nothing"), 0);
        QCOMPARE(IndexOfContaining(list, "-"), 0);
        QCOMPARE(IndexOfContaining({}, "x"), -1);
    }

    void fieldConversions()
    {
        MemDataset d;
        d.AddField("T", FieldType::Text, 10);
        d.AddField("N", FieldType::Integer);
        d.Append();
        d.SetValue("T", "   ");
        d.Post();
        QCOMPARE(FieldAsInteger(d, "T", 5), 5);
        QCOMPARE(FieldAsInteger(d, "N", 6), 6); // null
        QCOMPARE(FieldAsText(d, "T", "dflt"), QString("dflt"));
        d.Edit();
        d.SetValue("T", " 42  ");
        d.Post();
        QCOMPARE(FieldAsInteger(d, "T", 0), 42);
        QCOMPARE(FieldAsText(d, "T", ""), QString(" 42"));
        d.Edit();
        d.SetValue("T", "4x");
        d.Post();
        QCOMPARE(FieldAsInteger(d, "T", -1), -1);
        QCOMPARE(FieldAsInteger(d, "Missing", 3), 3);
        bool ok = true;
        QCOMPARE(TextToInt("abc", &ok), 0);
        QVERIFY(!ok);
        QCOMPARE(TextToInt("  "), 0);
        QVERIFY(IsInteger("-12"));
        QVERIFY(!IsInteger("1.5"));
        QVERIFY(!IsFlagSet("y"));
        QVERIFY(IsFlagSet(" Y "));
    }

    void weekdays()
    {
        QCOMPARE(WeekdayName(QDate(2006, 12, 15)), QStringLiteral("星期五"));
        QCOMPARE(WeekdayName(QDate(2006, 12, 17)), QStringLiteral("星期日"));
        QCOMPARE(WeekdayName(QDate(2006, 12, 18)), QStringLiteral("星期一"));
    }

    void gbkText()
    {
        QCOMPARE(Gbk::ByteLength(QStringLiteral("维保A")), 5);
        QCOMPARE(Gbk::Decode(Gbk::Encode(QStringLiteral("客户售后服务保修书 €"))), QStringLiteral("客户售后服务保修书 €"));
        const QString emoji = QString::fromUtf8("ab\xF0\x9F\x98\x80");
        QCOMPARE(Gbk::Truncate(emoji, 5), QString("ab"));
        QCOMPARE(Gbk::Truncate(emoji, 6), emoji);
    }

    void iniFileKeyByKey()
    {
        QTemporaryDir dir;
        SetAppDir(dir.path());
        // Missing file: defaults.
        QCOMPARE(Settings::CoName(), QStringLiteral("岚石软件工作室"));
        QCOMPARE(Settings::SoftName(), QStringLiteral("维保档案管家"));
        QCOMPARE(Settings::BackUpCompressed(), 1);
        QCOMPARE(Settings::BackUpLevel(), 3);
        QFile file(Settings::IniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Gbk::Encode(QStringLiteral("; 设置\r\n[company]\r\nsoftname = ABC\r\nOther=保留\r\n\r\n[BackUpSet]\r\nSet=x\r\n")));
        file.close();
        QCOMPARE(Settings::SoftName(), QString("ABC"));
        QCOMPARE(Settings::BackUpLevel(), 3); // not a number: the default
        QVERIFY(Settings::SetCoName(QStringLiteral("XYZ商行")));
        QVERIFY(Settings::SetSoftName("DEF"));
        QVERIFY(Settings::SetBackUpCompressed(0));
        IniFile ini(Settings::IniPath());
        QCOMPARE(ini.ReadString("Company", "Other"), QStringLiteral("保留"));
        QCOMPARE(Settings::CoName(), QStringLiteral("XYZ商行"));
        QCOMPARE(Settings::SoftName(), QString("DEF"));
        QCOMPARE(Settings::BackUpCompressed(), 0);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = Gbk::Decode(file.readAll());
        QVERIFY(text.startsWith(QStringLiteral("; 设置\r\n[company]\r\n")));
        QCOMPARE(text.count("[BackUpSet]"), 1);
        QCOMPARE(text.count("[company]", Qt::CaseInsensitive), 1);
    }
};

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
