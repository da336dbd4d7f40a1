#include "MemDataset.h"

#include <QTest>

class TestMemDataset : public QObject
{
    Q_OBJECT

    static MemDataset Sample()
    {
        MemDataset d;
        d.AddField("FuncID", FieldType::Text, 20);
        d.AddField("OrderNum", FieldType::Integer);
        d.AddField("Since", FieldType::DateTime);
        const char* ids[] = {"1002", "1003", "4001", "1003"};
        for (int i = 0; i < 4; ++i) {
            d.Append();
            d.SetValue("FuncID", QString::fromLatin1(ids[i]));
            d.SetValue("ordernum", i + 1); // names match without regard to case
            d.Post();
        }
        return d;
    }

private slots:
    void appendPostAndNavigate()
    {
        MemDataset d = Sample();
        QCOMPARE(d.RecordCount(), 4);
        d.First();
        QVERIFY(!d.Eof());
        QStringList seen;
        for (d.First(); !d.Eof(); d.Next())
            seen << d.AsString("FUNCID");
        QCOMPARE(seen, QStringList({"1002", "1003", "4001", "1003"}));
        d.Last();
        QCOMPARE(d.AsInteger("OrderNum"), 4);
        d.Prior();
        QCOMPARE(d.AsString("FuncID"), QString("4001"));
        QVERIFY(d.IsNull("Since"));
        QCOMPARE(d.FieldIndex("nosuch"), -1);
        QVERIFY(!d.SetValue("nosuch", 1));
    }

    void editAndCancel()
    {
        MemDataset d = Sample();
        d.First();
        d.Edit();
        d.SetValue("FuncID", "9999");
        QCOMPARE(d.AsString("FuncID"), QString("9999"));
        d.Cancel();
        QCOMPARE(d.AsString("FuncID"), QString("1002"));
        d.Edit();
        d.SetValue("FuncID", "9999");
        d.Next(); // moving on posts the edit
        d.First();
        QCOMPARE(d.AsString("FuncID"), QString("9999"));
        QVERIFY(d.Delete());
        QCOMPARE(d.RecordCount(), 3);
        QCOMPARE(d.AsString("FuncID"), QString("1003"));
    }

    void textIsCutInGbkBytes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("stored");
        QTest::newRow("latin fits") << 8 << "ABCDEFGH" << "ABCDEFGH";
        QTest::newRow("latin cut") << 8 << "ABCDEFGHIJ" << "ABCDEFGH";
        QTest::newRow("four chinese") << 8 << "张三李四王五" << "张三李四";
        // Never half a character: 7 bytes hold three Chinese characters.
        QTest::newRow("odd size") << 7 << "张三李四" << "张三李";
        QTest::newRow("mixed") << 5 << "A张三B" << "A张三";
    }

    void textIsCutInGbkBytes()
    {
        QFETCH(int, size);
        QFETCH(QString, input);
        QFETCH(QString, stored);
        MemDataset d;
        d.AddField("Name", FieldType::Text, size);
        d.Append();
        d.SetValue("Name", input);
        d.Post();
        QCOMPARE(d.AsString("Name"), stored);
    }

    void filters()
    {
        MemDataset d = Sample();
        QVERIFY(d.SetFilter("FuncID='1003'"));
        QCOMPARE(d.RecordCount(), 2);
        for (d.First(); !d.Eof(); d.Next())
            QCOMPARE(d.AsString("FuncID"), QString("1003"));
        QVERIFY(d.SetFilter("OrderNum=3"));
        QCOMPARE(d.RecordCount(), 1);
        QCOMPARE(d.AsString("FuncID"), QString("4001"));
        QVERIFY(d.SetFilter("ordernum = 7"));
        QVERIFY(d.IsEmpty());
        QVERIFY(d.Eof());
        // A quoted value may hold a (doubled) quote; nothing matches it here.
        QVERIFY(d.SetFilter("FuncID='a''b'"));
        QCOMPARE(d.RecordCount(), 0);
        d.ClearFilter();
        QCOMPARE(d.RecordCount(), 4);
        QVERIFY(!d.SetFilter("garbage"));
        QCOMPARE(d.RecordCount(), 4);
    }

    void copyIsIndependent()
    {
        MemDataset a = Sample();
        a.SetFilter("FuncID='1003'");
        MemDataset b;
        b.CopyFrom(a);
        QCOMPARE(b.RecordCount(), 4); // the whole content, not the filtered view
        b.First();
        b.Edit();
        b.SetValue("FuncID", "X");
        b.Post();
        a.ClearFilter();
        a.First();
        QCOMPARE(a.AsString("FuncID"), QString("1002"));
        b.EmptyDataSet();
        QVERIFY(b.IsEmpty());
        QCOMPARE(b.FieldCount(), 3);
    }

    void dateTimeValues()
    {
        MemDataset d;
        d.AddField("At", FieldType::DateTime);
        d.AddField("N", FieldType::Integer);
        d.Append();
        d.SetValue("At", "2024-02-29 13:45:00");
        d.SetValue("N", "  12 ");
        d.Post();
        QCOMPARE(d.AsDateTime("At"), QDateTime(QDate(2024, 2, 29), QTime(13, 45)));
        QCOMPARE(d.AsInteger("N"), 12);
        d.Edit();
        d.SetValue("At", QDate(2023, 6, 15));
        d.Post();
        QCOMPARE(d.AsDateTime("At"), QDateTime(QDate(2023, 6, 15), QTime(0, 0)));
    }
};

QTEST_GUILESS_MAIN(TestMemDataset)
#include "tst_memdataset.moc"
