#include "FirstStart.h"
#include "ScriptedDialogs.h"
#include "SqlConnection.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The first start of an installed program without a database: the question,
// where it says the file goes, and what each answer creates.
class TestFirstStart : public QObject
{
    Q_OBJECT

    static qint64 SaleRecords(const QString& file)
    {
        SqlConnection connection;
        if (!connection.Open(SqlConnection::MakeConnectionString(file)))
            return -1;
        SqlStatement statement(&connection, "select count(*) from SaleInfo");
        return statement.Step() ? statement.ColumnValue(0).toLongLong() : -1;
    }

private slots:
    void answers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("demo");
        QTest::newRow("empty") << int(Dialogs::Yes) << int(FirstStartResult::Created) << false;
        QTest::newRow("demo") << int(Dialogs::No) << int(FirstStartResult::Created) << true;
        QTest::newRow("leave") << int(Dialogs::Cancel) << int(FirstStartResult::Declined) << false;
    }

    void answers()
    {
        QFETCH(int, answer);
        QFETCH(int, result);
        QFETCH(bool, demo);
        QTemporaryDir home;
        const QString file = home.path() + "/weibao/data/data.mdb";
        ScriptedDialogs dialogs;
        dialogs.QueueAnswer(Dialogs::Button(answer));
        QCOMPARE(int(OfferNewDatabase(file)), result);
        QVERIFY2(!dialogs.Failed(), qPrintable(dialogs.Failures().join('\n')));

        QCOMPARE(dialogs.Boxes().size(), 1);
        const ScriptedDialogs::Shown& box = dialogs.Boxes().first();
        QVERIFY(box.question);
        QCOMPARE(box.buttons, Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QCOMPARE(box.defaultButton, Dialogs::Yes);
        QVERIFY2(box.text.contains(file), qPrintable(box.text));
        QVERIFY(box.text.contains("ADMIN"));

        if (result == int(FirstStartResult::Declined)) {
            QVERIFY(!QFile::exists(file));
            return;
        }
        const qint64 records = SaleRecords(file);
        QVERIFY(records >= 0);
        QCOMPARE(records > 0, demo);
    }

    // A database that cannot be made is said, never reported as made.
    void failureIsSaid()
    {
        QTemporaryDir home;
        // A file where the data folder should be.
        QFile blocker(home.path() + "/data");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ScriptedDialogs dialogs;
        dialogs.QueueAnswer(Dialogs::Yes);
        QCOMPARE(OfferNewDatabase(home.path() + "/data/data.mdb"), FirstStartResult::Failed);
        QCOMPARE(dialogs.Boxes().size(), 2);
        QVERIFY(dialogs.LastText().startsWith("无法创建数据库"));
        QCOMPARE(dialogs.Boxes().last().icon, Dialogs::Icon::Critical);
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
