// The paged list model over a table of its own: columns from a definition,
// marks, computed cells, and every order it pages in.
#include "DataAccess.h"
#include "PagedListModel.h"
#include "TestEnv.h"

#include <QAbstractItemModelTester>
#include <QTest>

using M = PagedListModel;

class TestPagedListModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void columnsMarksAndComputedCells();
    void everyOrderListsWhatTheDatabaseLists_data();
    void everyOrderListsWhatTheDatabaseLists();
    void removedRowKeepsItsNeighboursTexts();
    void windowReadsAnyPageFirst_data();
    void windowReadsAnyPageFirst();
    void windowRereadsAroundADeletedRow();

private:
    // Rows 1..count: Grp cycles through 0..4 (many ties), Note has a line
    // break in every third row, Flag is 1 in every 7th.
    void Generate(int count);
    static M::Definition Definition();
    static QList<qint64> FetchAll(M& model);
    static QList<qint64> IdsOf(const QString& sql);

    std::unique_ptr<TestEnv> m_env;
};

void TestPagedListModel::initTestCase()
{
    WEIBAO_SKIP_WITHOUT_SERVER();
}

void TestPagedListModel::init()
{
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    QVERIFY(ExecCommand("create table Visit (vid integer primary key, Name varchar(40), Grp varchar(10), "
                        "Note varchar(40), Flag integer, Ver integer)"));
    QVERIFY(ExecCommand("create index Visit_Grp on Visit (Grp, vid)"));
}

void TestPagedListModel::cleanup()
{
    m_env.reset();
}

void TestPagedListModel::Generate(int count)
{
    SqlTransaction transaction(CurrentConnection());
    SqlStatement insert(CurrentConnection(),
                        "insert into Visit (vid,Name,Grp,Note,Flag,Ver) values (?,?,?,?,?,?)");
    for (int i = 1; i <= count; ++i)
        QVERIFY(insert.Reset() &&
                insert.Exec({i, QStringLiteral("名%1").arg(i), QStringLiteral("g%1").arg(i % 5),
                             i % 3 == 0 ? QStringLiteral("a\nb") : QStringLiteral("n"), i % 7 == 0 ? 1 : 0,
                             i * 10}));
    QVERIFY(transaction.Commit());
}

M::Definition TestPagedListModel::Definition()
{
    M::Definition definition;
    definition.table = QStringLiteral("Visit");
    definition.key = QStringLiteral("vid");
    definition.version = QStringLiteral("Ver");
    definition.markFields = {{QStringLiteral("Flag"), 2}};
    M::Column name{QStringLiteral("姓名"), QStringLiteral("Name")};
    M::Column key{QStringLiteral("编号"), QStringLiteral("vid")};
    M::Column group{QStringLiteral("组"), QStringLiteral("Grp")};
    // Shown upper-cased; the group's digit is left as mark 0.
    group.shape = [](QByteArray& block, const char* text, int n, M::Marks& marks) {
        block.append(QByteArray(text, n).toUpper());
        marks[0] = n > 1 ? text[n - 1] - '0' : -1;
    };
    M::Column note{QStringLiteral("备注"), QStringLiteral("Note")};
    note.flatten = true;
    M::Column twice{QStringLiteral("两倍"), QStringLiteral("Grp")};
    twice.computed = true;
    definition.columns = {name, key, group, note, twice};
    return definition;
}

QList<qint64> TestPagedListModel::FetchAll(M& model)
{
    while (model.canFetchMore({}))
        model.fetchMore({});
    QList<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.RecordId(row);
    return ids;
}

QList<qint64> TestPagedListModel::IdsOf(const QString& sql)
{
    QList<qint64> ids;
    SqlStatement statement(CurrentConnection(), sql);
    while (statement.Step())
        ids << statement.ColumnValue(0).toLongLong();
    return ids;
}

void TestPagedListModel::columnsMarksAndComputedCells()
{
    Generate(300);
    M model(Definition());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetRoleProvider([](const M& m, int row, int column, int role) -> QVariant {
        if (role == Qt::DisplayRole && column == 4)
            return QString::number(m.Mark(row, 0) * 2);
        if (role == Qt::ToolTipRole)
            return m.Mark(row, 2) ? QStringLiteral("标记") : QVariant();
        return {};
    });
    QVERIFY(model.LoadQuery({}, true));
    QCOMPARE(model.MatchCount(), 300);
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.rowCount(), 300);
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize);
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("备注"));
    // Row 2 holds vid 3: a key column in the middle, texts on both sides of it.
    QCOMPARE(model.Text(2, 0), QStringLiteral("名3"));
    QCOMPARE(model.Text(2, 1), QStringLiteral("3"));
    QCOMPARE(model.Text(2, 2), QStringLiteral("G3"));
    QCOMPARE(model.Text(2, 3), QStringLiteral("a\nb"));
    QCOMPARE(model.index(2, 3).data().toString(), QStringLiteral("a b"));
    QCOMPARE(model.index(2, 4).data().toString(), QStringLiteral("6"));
    QCOMPARE(model.RowVersion(2), 30);
    QCOMPARE(model.index(6, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("标记"));
    QVERIFY(!model.index(5, 0).data(Qt::ToolTipRole).isValid());
    QCOMPARE(FetchAll(model).size(), 300);
    QCOMPARE(model.Text(299, 0), QStringLiteral("名300"));
    QCOMPARE(model.Text(299, 2), QStringLiteral("G0"));
    QVERIFY(model.Text(300, 0).isEmpty());
    QVERIFY(model.Text(0, 5).isEmpty());
}

void TestPagedListModel::everyOrderListsWhatTheDatabaseLists_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("rangeIndex");
    QTest::addColumn<QString>("orderColumn");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("expected");
    QTest::newRow("by key") << ""
                            << ""
                            << "" << false << "select vid from Visit order by vid";
    QTest::newRow("by key, newest first") << ""
                                          << ""
                                          << "" << true << "select vid from Visit order by vid desc";
    QTest::newRow("filtered, newest first")
        << "Flag=1"
        << ""
        << "" << true << "select vid from Visit where Flag=1 order by vid desc";
    QTest::newRow("by column with ties") << ""
                                         << ""
                                         << "Grp" << false << "select vid from Visit order by Grp,vid";
    QTest::newRow("by column, downwards")
        << "Flag=0"
        << ""
        << "Grp" << true << "select vid from Visit where Flag=0 order by Grp desc,vid desc";
    QTest::newRow("narrow range through its index")
        << "Grp='g2'"
        << "Visit_Grp"
        << "" << false << "select vid from Visit where Grp='g2' order by vid";
    QTest::newRow("narrow range, newest first")
        << "Grp='g2'"
        << "Visit_Grp"
        << "" << true << "select vid from Visit where Grp='g2' order by vid desc";
    QTest::newRow("wide range walks the table")
        << "Grp>='g1'"
        << "Visit_Grp"
        << "" << true << "select vid from Visit where Grp>='g1' order by vid desc";
}

void TestPagedListModel::everyOrderListsWhatTheDatabaseLists()
{
    QFETCH(QString, where);
    QFETCH(QString, rangeIndex);
    QFETCH(QString, orderColumn);
    QFETCH(bool, descending);
    QFETCH(QString, expected);
    // Ranges: more rows than the wide-range limit, so that both plans run.
    Generate(rangeIndex.isEmpty() ? 3000 : int(M::IndexPlanLimit) * 3 / 2);
    M model(Definition());
    M::Query query;
    query.where = where;
    query.rangeIndex = rangeIndex;
    query.orderColumn = orderColumn;
    query.descending = descending;
    QVERIFY(model.LoadQuery(query, true));
    const QList<qint64> ids = FetchAll(model);
    QCOMPARE(model.MatchCount(), ids.size());
    QCOMPARE(ids, IdsOf(expected));
}

void TestPagedListModel::removedRowKeepsItsNeighboursTexts()
{
    Generate(10);
    M model(Definition());
    QVERIFY(model.LoadQuery({}, false));
    QCOMPARE(model.MatchCount(), -1);
    QVERIFY(model.RemoveListRow(4));
    QVERIFY(!model.RemoveListRow(9));
    QCOMPARE(model.rowCount(), 9);
    QCOMPARE(model.Text(4, 0), QStringLiteral("名6"));
    QCOMPARE(model.Text(3, 2), QStringLiteral("G4"));
    QCOMPARE(model.RecordId(4), 6);
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.canFetchMore({}));
}

void TestPagedListModel::windowReadsAnyPageFirst_data()
{
    everyOrderListsWhatTheDatabaseLists_data();
}

void TestPagedListModel::windowReadsAnyPageFirst()
{
    QFETCH(QString, where);
    QFETCH(QString, rangeIndex);
    QFETCH(QString, orderColumn);
    QFETCH(bool, descending);
    QFETCH(QString, expected);
    Generate(rangeIndex.isEmpty() ? 6000 : int(M::IndexPlanLimit) * 3 / 2);
    const QList<qint64> ids = IdsOf(expected);
    M model(Definition());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const int limit = 4 * M::WindowPageSize;
    model.SetHeldRowLimit(limit);
    M::Query query;
    query.where = where;
    query.rangeIndex = rangeIndex;
    query.orderColumn = orderColumn;
    query.descending = descending;
    QVERIFY(model.LoadQuery(query, true));
    // As long as its count from the start, only the first page read.
    QCOMPARE(model.rowCount(), ids.size());
    QVERIFY(!model.canFetchMore({}));
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize);
    // The end first (read back from the end of the list), then pages in the
    // middle read across rows never read, then the whole list backwards and
    // forwards again, pages dropped and read again by their keys.
    const int last = int(ids.size()) - 1;
    QCOMPARE(model.RecordId(last), ids[last]);
    const int tail = (last + 1 - M::FirstPageSize) % M::WindowPageSize;
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize + (tail ? tail : M::WindowPageSize));
    QCOMPARE(model.RecordId(last / 2), ids[last / 2]);
    QCOMPARE(model.RecordId(last / 3), ids[last / 3]);
    const int beforeLast = qMax(0, last - 3 * M::WindowPageSize);
    QCOMPARE(model.RecordId(beforeLast), ids[beforeLast]);
    int most = 0;
    for (int row = last; row >= 0; --row) {
        QCOMPARE(model.RecordId(row), ids[row]);
        most = qMax(most, model.HeldRowCount());
    }
    for (int row = 0; row <= last; row += 7) {
        QCOMPARE(model.RecordId(row), ids[row]);
        most = qMax(most, model.HeldRowCount());
    }
    QVERIFY2(most <= limit, qPrintable(QString::number(most)));
    // Cells of a page read again are the cells read the first time.
    QCOMPARE(model.Text(0, 1), QString::number(ids[0]));
    QCOMPARE(model.Text(0, 0), QStringLiteral("名%1").arg(ids[0]));
    QCOMPARE(model.RowVersion(last), ids[last] * 10);
}

void TestPagedListModel::windowRereadsAroundADeletedRow()
{
    Generate(3000);
    M model(Definition());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetHeldRowLimit(M::WindowPageSize);
    QVERIFY(model.LoadQuery({}, true));
    QCOMPARE(model.RecordId(2999), 3000);
    // A row in the middle, deleted as the list's window deletes it: its
    // neighbours move up, pages beyond it not read yet still land right.
    const int middle = 1500;
    const qint64 gone = model.RecordId(middle);
    QVERIFY(ExecCommand("delete from Visit where vid=?", {gone}));
    QVERIFY(model.RemoveListRow(middle));
    QCOMPARE(model.rowCount(), 2999);
    QCOMPARE(model.RecordId(middle), gone + 1);
    QCOMPARE(model.RecordId(2998), 3000);
    const QList<qint64> ids = IdsOf("select vid from Visit order by vid");
    for (int row = 0; row < model.rowCount(); ++row)
        QCOMPARE(model.RecordId(row), ids[row]);
    QVERIFY(model.HeldRowCount() <= M::WindowPageSize);
    // Removed from the list alone, a row stays out when its page is read again.
    QVERIFY(model.RemoveListRow(10));
    QCOMPARE(model.RecordId(2000), ids[2001]);
    QCOMPARE(model.RecordId(10), 12);
    QCOMPARE(model.RecordId(9), 10);
    QCOMPARE(model.rowCount(), 2998);
}

QTEST_MAIN(TestPagedListModel)
#include "tst_pagedlistmodel.moc"
