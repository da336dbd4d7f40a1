// The sale-record rules and the GBK typing limit, without a database.
#include "GbkLengthValidator.h"
#include "SaleRecord.h"
#include "SalesFixture.h"

#include <QLineEdit>
#include <QTest>

using namespace SaleRecord;

class TestSaleRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void blankValuesBecomeNone_data();
    void blankValuesBecomeNone();
    void warrantyIsThreeHundredSixtyFiveDays();
    void expiryStartsAtTheEndDay();
    void classTexts();
    void searchDates_data();
    void searchDates();
    void searchConditionBindsTheValue();
    void searchRejectsWhatIsNotInTheLists();
    void nameBoxTakesEightBytes();
    void pasteIsCutToTheLimit();
};

void TestSaleRecord::initTestCase()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
}

void TestSaleRecord::blankValuesBecomeNone_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty") << ""
                           << "无";
    QTest::newRow("blanks") << "   "
                            << "无";
    QTest::newRow("tab and line break") << "\t\r\n"
                                        << "无";
    QTest::newRow("control character") << QString(QChar(0x01)) + " "
                                       << "无";
    QTest::newRow("ideographic space") << QString(QChar(0x3000)) << "无";
    QTest::newRow("kept as typed") << " 华硕 B660M "
                                   << " 华硕 B660M ";
    QTest::newRow("a zero is a value") << "0"
                                       << "0";
}

void TestSaleRecord::blankValuesBecomeNone()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(TextOrNone(typed), stored);
}

void TestSaleRecord::warrantyIsThreeHundredSixtyFiveDays()
{
    QCOMPARE(DefaultWarrantyEnd(QDate(2023, 6, 15)), QDate(2024, 6, 14));
    QCOMPARE(DefaultWarrantyEnd(QDate(2024, 1, 1)), QDate(2024, 12, 31));
    QCOMPARE(DefaultWarrantyEnd(QDate(2023, 7, 1)), QDate(2024, 6, 30));
}

void TestSaleRecord::expiryStartsAtTheEndDay()
{
    const QDate day(2024, 6, 14);
    QVERIFY(IsExpired(day, QDateTime(day, QTime(0, 0, 1))));
    QVERIFY(!IsExpired(day, QDateTime(day, QTime(0, 0))));
    QVERIFY(!IsExpired(day, QDateTime(day.addDays(-1), QTime(23, 59, 59))));
    QVERIFY(!IsExpired(QDate(), QDateTime(day, QTime(12, 0))));
}

void TestSaleRecord::classTexts()
{
    QCOMPARE(ClassText("0"), QStringLiteral("否"));
    QCOMPARE(ClassText("1"), QStringLiteral("是"));
    QCOMPARE(ClassText(""), QStringLiteral("是"));
    QCOMPARE(ClassIndexOfText(QStringLiteral("是")), 1);
    QCOMPARE(ClassIndexOfText(QStringLiteral("否")), 0);
    QCOMPARE(ClassIndexOfText(QStringLiteral("是 ")), 0);
}

void TestSaleRecord::searchDates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    QTest::newRow("yyyy-M-d") << "2005-1-1" << QDate(2005, 1, 1);
    QTest::newRow("yyyy-MM-dd") << "2024-06-14" << QDate(2024, 6, 14);
    QTest::newRow("yyyy/M/d") << "2024/6/4" << QDate(2024, 6, 4);
    QTest::newRow("yyyy.MM.dd") << "2027.11.28" << QDate(2027, 11, 28);
    QTest::newRow("yyyy.M.d") << "2027.1.8" << QDate(2027, 1, 8);
    QTest::newRow("as shown in Chinese") << "2027年11月28日" << QDate(2027, 11, 28);
    QTest::newRow("Chinese, short") << "2027年1月8日" << QDate(2027, 1, 8);
    QTest::newRow("blanks around") << " 2024-6-4 " << QDate(2024, 6, 4);
    QTest::newRow("no such day") << "2023-2-29" << QDate();
    QTest::newRow("text") << "北京" << QDate();
    QTest::newRow("quotes") << "2024-1-1\"'" << QDate();
}

void TestSaleRecord::searchDates()
{
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    QCOMPARE(ParseSearchDate(typed), date);
}

void TestSaleRecord::searchConditionBindsTheValue()
{
    Condition condition;
    QString error;
    const QString value = "x\" or \"1\"=\"1' --";
    QVERIFY(SearchCondition("addr", "=", value, &condition, &error));
    QCOMPARE(condition.where, QString("addr=? COLLATE NOCASE"));
    QCOMPARE(condition.args.size(), 1);
    QCOMPARE(condition.args[0].value.toString(), value);

    QVERIFY(SearchCondition("OVERRUN", "<", "2005-1-1", &condition, &error));
    QCOMPARE(condition.where, QString("overrun<?"));
    QCOMPARE(condition.args[0].value.toDate(), QDate(2005, 1, 1));
    QCOMPARE(condition.rangeIndex, QString("SaleInfo_OverRun"));
    QVERIFY(SearchCondition("buydate", "<>", "2005-1-1", &condition, &error));
    QVERIFY(condition.rangeIndex.isEmpty());
}

void TestSaleRecord::searchRejectsWhatIsNotInTheLists()
{
    Condition condition;
    QString error;
    QVERIFY(!SearchCondition("", "=", "x", &condition, &error));
    QVERIFY(!SearchCondition("name;drop table SaleInfo", "=", "x", &condition, &error));
    QVERIFY(!SearchCondition("name", " like ", "x", &condition, &error));
    QVERIFY(!SearchCondition("overrun", "=", "yesterday", &condition, &error));
    QCOMPARE(SearchFields().size(), 22);
    QCOMPARE(SearchOperators().size(), 6);
}

void TestSaleRecord::nameBoxTakesEightBytes()
{
    QLineEdit latin, chinese, mixed;
    for (QLineEdit* edit : {&latin, &chinese, &mixed})
        GbkLengthValidator::Apply(edit, 8);
    QTest::keyClicks(&latin, "abcdefghij");
    QCOMPARE(latin.text(), QString("abcdefgh"));
    TypeText(&chinese, QStringLiteral("张三李四王五"));
    QCOMPARE(chinese.text(), QStringLiteral("张三李四"));
    // Seven bytes used: a Chinese character no longer fits, a letter does.
    TypeText(&mixed, QStringLiteral("abc张三"));
    TypeText(&mixed, QStringLiteral("李"));
    QCOMPARE(mixed.text(), QStringLiteral("abc张三"));
    QTest::keyClicks(&mixed, "d");
    QCOMPARE(mixed.text(), QStringLiteral("abc张三d"));
}

void TestSaleRecord::pasteIsCutToTheLimit()
{
    QLineEdit edit;
    GbkLengthValidator::Apply(&edit, 8);
    edit.insert("ab");
    edit.insert(QStringLiteral("张三李四"));
    QCOMPARE(edit.text(), QStringLiteral("ab张三李"));
    // Typed in the middle of a full box: the new character is dropped.
    edit.setCursorPosition(1);
    edit.insert("z");
    QCOMPARE(edit.text(), QStringLiteral("ab张三李"));
    // A character outside the basic plane (four bytes) is never split.
    QLineEdit wide;
    GbkLengthValidator::Apply(&wide, 6);
    wide.insert(QStringLiteral("a😀😀"));
    QCOMPARE(wide.text(), QStringLiteral("a😀"));
}

QTEST_MAIN(TestSaleRecord)
#include "tst_salerecord.moc"
