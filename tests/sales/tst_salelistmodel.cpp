// The record list's model over a real database: pages, plans, colours.
#include "SaleListModel.h"
#include "SalesFixture.h"
#include "TestEnv.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <sqlite3.h>

using M = SaleListModel;

class TestSaleListModel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pagesFollowTheView();
    void bothPlansListTheSameRows_data();
    void bothPlansListTheSameRows();
    void removedRowLeavesTheRestInPlace();
    void newLoadReplacesAPartlyFetchedList();
    void coloursOfTheThreeKinds();
    void cellsKeepTheStoredText();
    void failedPageKeepsTheRowsRead();
    void windowUnderAView();

private:
    // `count` rows, ids 1..count: purchase dates one a day from 2015-01-01,
    // every 10th a special customer.
    void Generate(int count);
    QList<qint64> FetchAllIds(M& model);
    static bool RunningStatement();
    QList<qint64> IdsOf(const QString& sql, const SqlArgs& args);

    std::unique_ptr<TestEnv> m_env;
};

void TestSaleListModel::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
}

void TestSaleListModel::cleanup()
{
    m_env.reset();
}

void TestSaleListModel::Generate(int count)
{
    const QDate start(2015, 1, 1);
    QVERIFY(InsertGenerated("Name,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memo", count, [&start](int i) {
        return SqlArgs{QStringLiteral("n%1").arg(i),
                       QStringLiteral("addr%1").arg(i % 7),
                       start.addDays(i),
                       start.addDays(i + 365),
                       i % 10 == 0 ? "1" : "0",
                       "1",
                       "cpu",
                       "memo"};
    }));
}

bool TestSaleListModel::RunningStatement()
{
    // A server hands each statement's rows over whole: nothing stays open.
    if (CurrentConnection()->IsServer())
        return false;
    for (sqlite3_stmt* s = sqlite3_next_stmt(CurrentConnection()->Handle(), nullptr); s;
         s = sqlite3_next_stmt(CurrentConnection()->Handle(), s))
        if (sqlite3_stmt_busy(s))
            return true;
    return false;
}

QList<qint64> TestSaleListModel::FetchAllIds(M& model)
{
    while (model.canFetchMore({}))
        model.fetchMore({});
    QList<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.RecordId(row);
    return ids;
}

QList<qint64> TestSaleListModel::IdsOf(const QString& sql, const SqlArgs& args)
{
    QList<qint64> ids;
    SqlStatement statement(CurrentConnection(), sql);
    if (statement.Bind(args))
        while (statement.Step())
            ids << statement.ColumnValue(0).toLongLong();
    return ids;
}

void TestSaleListModel::pagesFollowTheView()
{
    Generate(5000);
    M model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Counted: as long as the count, the first page alone read.
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    QCOMPARE(model.MatchCount(), 5000);
    QCOMPARE(model.rowCount(), 5000);
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize);
    QVERIFY(!model.canFetchMore({}));
    // Nothing stays open between two pages (the full-text index keeps its
    // own statements prepared, but never running).
    QVERIFY(!RunningStatement());
    QCOMPARE(model.RecordId(M::FirstPageSize), M::FirstPageSize + 1);
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize + M::WindowPageSize);
    QVERIFY(!RunningStatement());
    const QList<qint64> ids = FetchAllIds(model);
    QCOMPARE(ids, IdsOf("select id from SaleInfo order by id", {}));

    // Not counted: the list grows page by page as the view asks.
    QVERIFY(model.Load(SaleRecord::AllCustomers(), false));
    QCOMPARE(model.rowCount(), M::FirstPageSize);
    QVERIFY(model.canFetchMore({}));
    model.fetchMore({});
    QCOMPARE(model.rowCount(), M::FirstPageSize + M::PageSize);
    QCOMPARE(FetchAllIds(model), ids);
    QVERIFY(!model.canFetchMore({}));
    QVERIFY(!RunningStatement());
}

void TestSaleListModel::bothPlansListTheSameRows_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QDate>("date");
    // 25 000 rows: a few hundred matches go through the index, most of the
    // table through the walk in id order that starts at the first match.
    QTest::newRow("few, at the end") << ">=" << QDate(2083, 1, 1);
    QTest::newRow("few, at the start") << "<" << QDate(2016, 6, 1);
    QTest::newRow("one day") << "=" << QDate(2040, 3, 3);
    QTest::newRow("many, at the end") << ">" << QDate(2020, 1, 1);
    QTest::newRow("many, at the start") << "<=" << QDate(2075, 1, 1);
    QTest::newRow("none") << "<" << QDate(2000, 1, 1);
}

void TestSaleListModel::bothPlansListTheSameRows()
{
    QFETCH(QString, op);
    QFETCH(QDate, date);
    Generate(25000);
    SaleRecord::Condition condition;
    QString error;
    QVERIFY(SaleRecord::SearchCondition("overrun", op, date.toString("yyyy-M-d"), &condition, &error));
    M model;
    QVERIFY(model.Load(condition, false));
    const QList<qint64> expected =
        IdsOf("select id from SaleInfo where OverRun" + op + "? order by id", {date});
    QCOMPARE(model.MatchCount(), expected.size());
    QCOMPARE(FetchAllIds(model), expected);
}

void TestSaleListModel::removedRowLeavesTheRestInPlace()
{
    Generate(600);
    M model; // no tester here: it would fetch pages of its own
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    const qint64 removed = model.RecordId(10);
    const qint64 last = model.RecordId(model.rowCount() - 1);
    QVERIFY(model.RemoveListRow(10));
    QVERIFY(model.RemoveListRow(model.rowCount() - 1));
    QCOMPARE(model.MatchCount(), 600); // the count stays as loaded
    const QList<qint64> ids = FetchAllIds(model);
    QCOMPARE(ids.size(), 598);
    QVERIFY(!ids.contains(removed));
    QVERIFY(!ids.contains(last)); // the next page starts after it all the same
    QVERIFY(std::is_sorted(ids.begin(), ids.end()));
}

void TestSaleListModel::newLoadReplacesAPartlyFetchedList()
{
    Generate(3000);
    M model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    QCOMPARE(model.RecordId(2000), 2001);
    QVERIFY(model.Load(SaleRecord::AllCustomers(), false));
    model.fetchMore({});
    QVERIFY(model.canFetchMore({}));
    QVERIFY(model.Load(SaleRecord::SpecialCustomers(), true));
    QCOMPARE(model.MatchCount(), 300);
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize);
    const QList<qint64> ids = FetchAllIds(model);
    QCOMPARE(ids, IdsOf("select id from SaleInfo where TB='1' order by id", {}));
    for (int row = 0; row < model.rowCount(); ++row)
        QCOMPARE(model.Text(row, M::ColClass), QStringLiteral("是"));
}

void TestSaleListModel::coloursOfTheThreeKinds()
{
    const QDate today = QDate::currentDate();
    Sale expired, current, special, specialExpired, endsToday;
    expired.over = today.addDays(-1);
    current.over = today.addDays(1);
    special.tb = "1";
    specialExpired.tb = "1";
    specialExpired.over = today.addDays(-30);
    endsToday.over = today;
    for (const Sale& s : {expired, current, special, specialExpired, endsToday})
        QVERIFY(InsertSale(s) > 0);
    M model;
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    QCOMPARE(model.rowCount(), 5);
    const auto colours = [&model](int row) {
        return qMakePair(model.index(row, M::ColName).data(Qt::BackgroundRole).value<QColor>(),
                         model.index(row, M::ColMemo).data(Qt::ForegroundRole).value<QColor>());
    };
    const auto sky = qMakePair(QColor(166, 202, 240), QColor(0, 0, 255));
    const auto red = qMakePair(QColor(255, 0, 0), QColor(255, 255, 0));
    QCOMPARE(colours(0), sky);
    QVERIFY(!model.index(1, M::ColName).data(Qt::ForegroundRole).isValid());
    QCOMPARE(colours(2), red);
    QCOMPARE(colours(3), red);
    QCOMPARE(colours(4), sky); // a warranty ending today has expired
}

void TestSaleListModel::cellsKeepTheStoredText()
{
    Sale s;
    s.name = QStringLiteral("李娜 ");
    s.memo = QStringLiteral("第一行\r\n第二行");
    s.buy = QDate(2023, 6, 15);
    s.over = QDate(2024, 6, 14);
    const qint64 id = InsertSale(s);
    // A server's date column holds dates only; SQLite's may hold any text.
    const QVariant odd = TestEnv::OnServer() ? QVariant() : QVariant(QStringLiteral("无"));
    QVERIFY(ExecCommand("insert into SaleInfo (Name,addr,OverRun,TB) values ('x','y',?,null)", {odd}));
    M model;
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    QCOMPARE(model.Text(0, M::ColId), QString::number(id));
    QCOMPARE(model.Text(0, M::ColName), QStringLiteral("李娜 "));
    QCOMPARE(model.Text(0, M::ColBuyDate), QString("2023-06-15"));
    QCOMPARE(model.Text(0, M::ColOverRun), QString("2024-06-14"));
    QCOMPARE(model.Text(0, M::ColClass), QStringLiteral("否"));
    QCOMPARE(model.Text(0, M::ColMemo), s.memo);
    QCOMPARE(model.index(0, M::ColMemo).data().toString(), QStringLiteral("第一行 第二行"));
    // Odd stored values are shown as they are and never coloured as dates.
    QCOMPARE(model.Text(1, M::ColOverRun), odd.toString());
    QCOMPARE(model.Text(1, M::ColBuyDate), QString());
    QCOMPARE(model.Text(1, M::ColClass), QStringLiteral("是"));
    QCOMPARE(model.headerData(M::ColCPU, Qt::Horizontal).toString(), QStringLiteral("处理器(CPU)"));
}

void TestSaleListModel::failedPageKeepsTheRowsRead()
{
    Generate(3000);
    M model;
    QSignalSpy failed(&model, &M::fetchFailed);
    QVERIFY(model.Load(SaleRecord::AllCustomers(), false));
    QVERIFY(ExecCommand("alter table SaleInfo rename to SaleInfoGone"));
    model.fetchMore({});
    QCOMPARE(failed.size(), 1);
    QCOMPARE(model.rowCount(), M::FirstPageSize);
    QVERIFY(!model.canFetchMore({}));
    QVERIFY(ExecCommand("alter table SaleInfoGone rename to SaleInfo"));

    // A page asked for while painting: told after the paint, once; the
    // rows held stay, the others read as empty.
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    QVERIFY(ExecCommand("alter table SaleInfo rename to SaleInfoGone"));
    QVERIFY(!model.index(2000, M::ColName).data().isValid() ||
            model.index(2000, M::ColName).data().toString().isEmpty());
    QVERIFY(model.Text(2500, M::ColName).isEmpty());
    QCOMPARE(model.RecordId(2500), -1);
    QCOMPARE(failed.size(), 1);
    QTRY_COMPARE(failed.size(), 2);
    QCOMPARE(model.rowCount(), 3000);
    QCOMPARE(model.Text(0, M::ColName), QStringLiteral("n1"));
    QString error;
    QVERIFY(!model.Load(SaleRecord::AllCustomers(), true, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(model.rowCount(), 0);
}

void TestSaleListModel::windowUnderAView()
{
    // More rows than the window holds: a view scrolled to the end, to the
    // middle and back keeps its current row, its selection and the colours.
    Generate(20000);
    M model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetHeldRowLimit(4 * M::WindowPageSize);
    QTableView view;
    view.resize(800, 600);
    view.setModel(&model);
    view.show();
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    view.setCurrentIndex(model.index(100, M::ColName));
    view.selectRow(100);
    view.scrollToBottom();
    view.viewport()->grab();
    const int last = view.rowAt(view.viewport()->height() - 1);
    QCOMPARE(last, 19999);
    QCOMPARE(model.index(last, M::ColName).data().toString(), QStringLiteral("n20000"));
    // Every 10th a special customer, red wherever it is.
    QCOMPARE(model.index(19999, M::ColName).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(model.index(19998, M::ColName).data(Qt::BackgroundRole).value<QColor>() != QColor(255, 0, 0));
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    view.viewport()->grab();
    const int middle = view.rowAt(0);
    QCOMPARE(model.index(middle, M::ColId).data().toString(), QString::number(middle + 1));
    QVERIFY(model.HeldRowCount() <= 4 * M::WindowPageSize);
    view.scrollToTop();
    view.viewport()->grab();
    QCOMPARE(view.currentIndex().row(), 100);
    QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
    QCOMPARE(model.RecordId(view.selectionModel()->selectedRows().first().row()), 101);
    // A row deleted in the middle, as the window deletes the row it shows:
    // the rows after it move up.
    QCOMPARE(model.RecordId(10000), 10001);
    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {10001}));
    QVERIFY(model.RemoveListRow(10000));
    QCOMPARE(model.RecordId(10000), 10002);
    QCOMPARE(model.RecordId(19998), 20000);
    QCOMPARE(view.currentIndex().row(), 100);
    QVERIFY(model.HeldRowCount() <= 4 * M::WindowPageSize);
}

QTEST_MAIN(TestSaleListModel)
#include "tst_salelistmodel.moc"
