// The repair list, its reminders and what a sale record with visits may no
// longer do, over a real database with a clock of the test's own.
#include "DataAccess.h"
#include "RepairExport.h"
#include "RepairFixture.h"
#include "RepairListModel.h"
#include "RepairReminder.h"
#include "SaleListModel.h"
#include "SalePurge.h"
#include "ScriptedDialogs.h"
#include "TFrmRepairCall.h"
#include "TFrmRepairManage.h"
#include "TFrmSaleManage.h"
#include "XlsxReader.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using L = RepairListModel;

namespace {

// Noon of a fixed day: every time below is relative to it.
const QDateTime Now(QDate(2026, 3, 10), QTime(12, 0));

struct Visit
{
    qint64 saleID = 0; // 0: a machine bought elsewhere
    int status = 0;
    QDateTime received = Now.addDays(-1);
    QDateTime due{};
    QDateTime ready{};
    QDateTime pickedUp{};
    QDateTime notified{};
    QString phone = QStringLiteral("139-1111-2222");
    QString technician = QStringLiteral("王工");
    QString problem = QStringLiteral("不开机");
    int inWarranty = 0;
    qint64 total = 0;
};

QVariant Time(const QDateTime& time)
{
    return time.isValid() ? QVariant(time) : QVariant();
}

qint64 AddVisit(const Visit& v)
{
    static int counter = 0;
    const QString no = QStringLiteral("WX260310-%1").arg(++counter, 3, 10, QLatin1Char('0'));
    const bool outside = v.saleID == 0;
    if (!ExecCommand(
            "insert into RepairInfo (RepairNo,SaleID,Outside,CustomerName,ContactName,ContactPhone,"
            "ReceivedAt,DueAt,ReadyAt,PickedUpAt,NotifiedAt,Problem,Technician,Status,InWarranty,Total) "
            "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            {no, outside ? QVariant() : QVariant(v.saleID), outside ? 1 : 0,
             outside ? QVariant(QStringLiteral("外来客户")) : QVariant(), QStringLiteral("送修人"), v.phone,
             v.received, Time(v.due), Time(v.ready), Time(v.pickedUp), Time(v.notified), v.problem,
             v.technician, v.status, outside ? 0 : v.inWarranty, v.total}))
        return 0;
    SqlStatement id(CurrentConnection(), "select RepairID from RepairInfo where RepairNo=?");
    return id.Bind({no}) && id.Step() ? id.ColumnInt64(0) : 0;
}

QList<qint64> Ids(L& model)
{
    while (model.canFetchMore({}))
        model.fetchMore({});
    QList<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.RecordId(row);
    return ids;
}

int RowOf(const L& model, qint64 id)
{
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.RecordId(row) == id)
            return row;
    return -1;
}

} // namespace

class TestRepairList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void columnsAndColoursByTheClock();
    void filters();
    void remindersCountEachGroup();
    void notifiedCallReturnsAfterThePickupDays();
    void exportWritesTheWholeFilter();
    void listFormFiltersAndOpensTheVisit();
    void saleWithVisitsIsKept();

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    qint64 m_sale = 0;
};

void TestRepairList::initTestCase()
{
    WEIBAO_SKIP_WITHOUT_SERVER();
}

void TestRepairList::init()
{
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_sale = InsertMachine(QStringLiteral("张三"), QStringLiteral("010-62001234"),
                           QStringLiteral("138-0013-5678"), QDate(2025, 5, 1), QDate(2027, 5, 1));
    QVERIFY(m_sale > 0);
}

void TestRepairList::cleanup()
{
    m_dialogs.reset();
    m_env.reset();
}

void TestRepairList::columnsAndColoursByTheClock()
{
    Visit late;
    late.saleID = m_sale;
    late.received = Now.addDays(-4);
    late.total = 5980; // 59.80
    late.inWarranty = 1;
    Visit pastDue;
    pastDue.saleID = m_sale;
    pastDue.status = 1;
    pastDue.due = Now.addSecs(-3600);
    Visit fresh;
    fresh.due = Now.addDays(1);
    fresh.problem = QStringLiteral("蓝屏\n偶尔重启");
    Visit ready;
    ready.status = 2;
    ready.ready = Now.addDays(-2);
    Visit readyLong;
    readyLong.status = 2;
    readyLong.ready = Now.addDays(-8);
    Visit picked;
    picked.saleID = m_sale;
    picked.status = 3;
    picked.received = Now.addDays(-20);
    picked.ready = Now.addDays(-18);
    picked.pickedUp = Now.addDays(-15);
    const qint64 ids[] = {AddVisit(late),  AddVisit(pastDue),   AddVisit(fresh),
                          AddVisit(ready), AddVisit(readyLong), AddVisit(picked)};
    for (qint64 id : ids)
        QVERIFY(id > 0);

    L model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QDateTime clock = Now;
    model.SetClock([&clock] { return clock; });
    model.SetLimits(3, 7, 30);
    RepairListFilter every;
    every.statuses.clear();
    QVERIFY(model.Load(every));
    QCOMPARE(model.MatchCount(), 6);
    // Newest first.
    QCOMPARE(Ids(model), (QList<qint64>{ids[5], ids[4], ids[3], ids[2], ids[1], ids[0]}));

    const int lateRow = RowOf(model, ids[0]);
    QVERIFY(model.Text(lateRow, L::ColNo).startsWith(QStringLiteral("WX260310-")));
    QCOMPARE(model.Text(lateRow, L::ColReceived), QStringLiteral("2026-03-06"));
    QCOMPARE(model.Text(lateRow, L::ColCustomer), QStringLiteral("张三"));
    QCOMPARE(model.Text(lateRow, L::ColStatus), QStringLiteral("已接收"));
    QCOMPARE(model.Text(lateRow, L::ColWarranty), QStringLiteral("保修内"));
    QCOMPARE(model.Text(lateRow, L::ColTotal), QStringLiteral("59.80"));
    QCOMPARE(model.index(lateRow, L::ColWaitDays).data().toInt(), 4);
    const int freshRow = RowOf(model, ids[2]);
    QCOMPARE(model.Text(freshRow, L::ColCustomer), QStringLiteral("外来客户"));
    QCOMPARE(model.Text(freshRow, L::ColWarranty), QStringLiteral("非本店"));
    QCOMPARE(model.index(freshRow, L::ColProblem).data().toString(), QStringLiteral("蓝屏 偶尔重启"));
    QCOMPARE(model.Text(freshRow, L::ColTotal), QStringLiteral("0.00"));
    // A picked-up machine waited until it was fetched, whatever the clock says.
    QCOMPARE(model.index(RowOf(model, ids[5]), L::ColWaitDays).data().toInt(), 5);

    const auto colour = [&model](qint64 id) { return model.RowColour(RowOf(model, id)); };
    QCOMPARE(colour(ids[0]), L::Late);
    QCOMPARE(colour(ids[1]), L::Late);
    QCOMPARE(colour(ids[2]), L::NoColour);
    QCOMPARE(colour(ids[3]), L::Ready);
    QCOMPARE(colour(ids[4]), L::ReadyLong);
    QCOMPARE(colour(ids[5]), L::PickedUp);
    QCOMPARE(model.index(lateRow, L::ColProblem).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(model.index(RowOf(model, ids[3]), 0).data(Qt::BackgroundRole).value<QColor>(),
             QColor(144, 238, 144));
    QCOMPARE(model.index(RowOf(model, ids[4]), 0).data(Qt::BackgroundRole).value<QColor>(),
             QColor(255, 165, 0));
    QVERIFY(!model.index(freshRow, 0).data(Qt::BackgroundRole).isValid());

    // Two days on: the fresh visit is past its due time, the ready one has
    // waited 4 days (still green), and more days make it orange.
    clock = Now.addDays(2);
    QCOMPARE(colour(ids[2]), L::Late);
    QCOMPARE(colour(ids[3]), L::Ready);
    QCOMPARE(model.index(lateRow, L::ColWaitDays).data().toInt(), 6);
    clock = Now.addDays(6);
    QCOMPARE(colour(ids[3]), L::ReadyLong);
    // Longer limits as the shop sets them.
    model.SetLimits(10, 30, 60);
    QCOMPARE(colour(ids[3]), L::Ready);
    QCOMPARE(colour(ids[0]), L::NoColour); // received exactly ten days before: not beyond
    QCOMPARE(colour(ids[1]), L::Late);     // past its due time whatever the days
}

void TestRepairList::filters()
{
    Visit a;
    a.saleID = m_sale;
    a.received = QDateTime(QDate(2026, 3, 1), QTime(9, 0));
    a.phone = QStringLiteral("138-0013-5678");
    a.inWarranty = 1;
    Visit b;
    b.received = QDateTime(QDate(2026, 3, 5), QTime(23, 59));
    b.phone = QStringLiteral("13912345678");
    b.technician = QStringLiteral("李工");
    b.problem = QStringLiteral("风扇100%转");
    Visit c;
    c.status = 3;
    c.received = QDateTime(QDate(2026, 3, 6), QTime(0, 0));
    c.pickedUp = Now;
    Visit d;
    d.status = 2;
    d.received = Now.addDays(-50);
    d.ready = Now.addDays(-40);
    const qint64 ia = AddVisit(a), ib = AddVisit(b), ic = AddVisit(c), id = AddVisit(d);

    L model;
    model.SetClock([] { return Now; });
    model.SetLimits(3, 7, 30);
    const auto listed = [&model](const RepairListFilter& filter) {
        if (!model.Load(filter))
            return QList<qint64>{-1};
        QList<qint64> ids = Ids(model);
        std::sort(ids.begin(), ids.end());
        return ids;
    };
    using Ids = QList<qint64>;
    RepairListFilter filter;
    QCOMPARE(listed(filter), (Ids{ia, ib, id})); // 已取机 left out by default
    filter.statuses = {3};
    QCOMPARE(listed(filter), (Ids{ic}));
    filter.statuses.clear();
    QCOMPARE(listed(filter), (Ids{ia, ib, ic, id}));

    // Phones by their digits, either way written; the sale's own phone too.
    filter.search = QStringLiteral("0013-5678");
    QCOMPARE(listed(filter), (Ids{ia}));
    filter.search = QStringLiteral("62001234");
    QCOMPARE(listed(filter), (Ids{ia}));
    filter.search = QStringLiteral("张");
    QCOMPARE(listed(filter), (Ids{ia}));
    // % is a character like any other.
    filter.search = QStringLiteral("100%");
    QCOMPARE(listed(filter), (Ids{ib}));
    filter.search = QStringLiteral("%");
    QCOMPARE(listed(filter), (Ids{ib}));
    filter.search.clear();

    // Both ends of the date range are whole days.
    filter.from = QDate(2026, 3, 5);
    filter.to = QDate(2026, 3, 6);
    QCOMPARE(listed(filter), (Ids{ib, ic}));
    filter.from = filter.to = QDate();
    filter.technician = QStringLiteral("李工");
    QCOMPARE(listed(filter), (Ids{ib}));
    filter.technician.clear();
    filter.warranty = 1;
    QCOMPARE(listed(filter), (Ids{ia}));
    filter.warranty = 2;
    QCOMPARE(listed(filter), (Ids{ib, ic, id}));
    filter.warranty = 0;
    // Overdue: a and b were received more than 3 days before the clock.
    filter.overdueOnly = true;
    QCOMPARE(listed(filter), (Ids{ia, ib}));
    filter.overdueOnly = false;
    filter.longWaitOnly = true;
    QCOMPARE(listed(filter), (Ids{id}));
}

void TestRepairList::remindersCountEachGroup()
{
    const RepairReminder::Limits limits{3, 7, 30};
    const auto counts = [&limits](const QDateTime& now) {
        RepairReminder::Counts c;
        QString error;
        if (!RepairReminder::Count(now, limits, &c, &error))
            qWarning() << error;
        return std::array<qint64, 3>{c.overdue, c.toCall, c.longWait};
    };
    QCOMPARE(counts(Now), (std::array<qint64, 3>{0, 0, 0}));
    Visit late;
    late.received = Now.addDays(-5);
    Visit pastDue;
    pastDue.status = 1;
    pastDue.due = Now.addSecs(-60);
    Visit onTime;
    onTime.due = Now.addDays(2);
    Visit ready;
    ready.status = 2;
    ready.ready = Now.addDays(-1);
    Visit forgotten;
    forgotten.status = 2;
    forgotten.received = Now.addDays(-45);
    forgotten.ready = Now.addDays(-31);
    // Picked up long ago, after every limit: never counted.
    Visit picked;
    picked.status = 3;
    picked.received = Now.addDays(-90);
    picked.due = Now.addDays(-88);
    picked.ready = Now.addDays(-80);
    picked.pickedUp = Now.addDays(-70);
    for (const Visit& v : {late, pastDue, onTime, ready, forgotten, picked})
        QVERIFY(AddVisit(v) > 0);
    QCOMPARE(counts(Now), (std::array<qint64, 3>{2, 2, 1}));
    // Four days on, the one on time is late too, and the ready one waited
    // 5 days: still a call, not yet forgotten.
    QCOMPARE(counts(Now.addDays(4)), (std::array<qint64, 3>{3, 2, 1}));
    QCOMPARE(counts(Now.addDays(30)), (std::array<qint64, 3>{3, 2, 2}));
    QCOMPARE(RepairReminder::LineText({3, 2, 1}, limits), QStringLiteral("超期 3 · 待取机 2 · 超30天未取 1"));
}

void TestRepairList::notifiedCallReturnsAfterThePickupDays()
{
    Visit ready;
    ready.status = 2;
    ready.ready = Now.addDays(-2);
    ready.phone = QStringLiteral("13800001111");
    Visit other = ready;
    other.ready = Now.addDays(-3);
    const qint64 first = AddVisit(ready);
    const qint64 second = AddVisit(other);
    QVERIFY(AddVisit(Visit{}) > 0); // not ready: never on the list

    QDateTime clock = Now;
    TFrmRepairCall call;
    call.SetClock([&clock] { return clock; });
    // The longest waiting first, with the phones.
    QCOMPARE(call.Calls().size(), 2);
    QCOMPARE(call.Calls()[0].repairID, second);
    QCOMPARE(call.findChild<QTableWidget*>("GridCalls")->item(1, 3)->text(), QStringLiteral("13800001111"));
    call.findChild<QTableWidget*>("GridCalls")->selectRow(1);
    call.findChild<QPushButton*>("BtnNotified")->click();
    QCOMPARE(call.Calls().size(), 1);
    QCOMPARE(call.Calls()[0].repairID, second);
    QVERIFY(m_env->Scalar("select NotifiedAt from RepairInfo where RepairID=?", {first}).isValid());

    RepairReminder::Counts counts;
    QVERIFY(RepairReminder::Count(Now, {3, 7, 30}, &counts, nullptr));
    QCOMPARE(counts.toCall, 1);
    // Still hidden a day before the pickup days are over, back after them.
    clock = Now.addDays(6);
    call.Reload();
    QCOMPARE(call.Calls().size(), 1);
    clock = Now.addDays(7).addSecs(60);
    call.Reload();
    QCOMPARE(call.Calls().size(), 2);
    QVERIFY(RepairReminder::Count(clock, {3, 7, 30}, &counts, nullptr));
    QCOMPARE(counts.toCall, 2);

    // A machine fetched meanwhile cannot be marked.
    QVERIFY(ExecCommand("update RepairInfo set Status=3 where RepairID=?", {second}));
    QString error;
    QVERIFY(!RepairReminder::MarkNotified(second, clock, &error));
    QVERIFY(!error.isEmpty());
}

void TestRepairList::exportWritesTheWholeFilter()
{
    // More than one page, so that the export reads past what the view holds.
    SqlTransaction transaction(CurrentConnection());
    for (int i = 0; i < PagedListModel::FirstPageSize + 10; ++i) {
        Visit v;
        v.saleID = m_sale;
        v.total = 1990 + i;
        QVERIFY(AddVisit(v) > 0);
    }
    QVERIFY(transaction.Commit());
    L model;
    model.SetClock([] { return Now; });
    QVERIFY(model.Load({}));
    QCOMPARE(model.HeldRowCount(), PagedListModel::FirstPageSize);
    const QString file = m_env->Dir() + "visits.xlsx";
    qint64 written = 0;
    QString error;
    QVERIFY2(RepairExport::Write(model, file, &written, &error), qPrintable(error));
    QCOMPARE(written, PagedListModel::FirstPageSize + 10);
    XlsxReader reader;
    QVERIFY(reader.Open(file));
    QVector<QVector<QVariant>> rows;
    for (QVector<QVariant> cells; reader.ReadRow(&cells);)
        rows << cells;
    QCOMPARE(rows.size(), written + 1);
    QCOMPARE(rows[0][0].toString(), QStringLiteral("单号"));
    QCOMPARE(rows[0][9].toString(), QStringLiteral("等待天数"));
    // Newest first: the last inserted visit, its total as a number.
    QCOMPARE(rows[1][8].toDouble(), (1990 + PagedListModel::FirstPageSize + 9) / 100.0);
    QCOMPARE(rows[1][9].toInt(), 1);
}

void TestRepairList::listFormFiltersAndOpensTheVisit()
{
    Visit late;
    late.saleID = m_sale;
    late.received = QDateTime::currentDateTime().addDays(-10);
    Visit picked;
    picked.status = 3;
    picked.received = QDateTime::currentDateTime().addDays(-2);
    picked.pickedUp = QDateTime::currentDateTime();
    const qint64 lateId = AddVisit(late);
    QVERIFY(AddVisit(picked) > 0);

    TFrmRepairManage form;
    auto* pickedUp = form.findChild<QCheckBox*>("ChkPickedUp");
    auto* overdueOnly = form.findChild<QCheckBox*>("ChkOverdue");
    auto* find = form.findChild<QLineEdit*>("EditFind");
    QVERIFY(pickedUp && overdueOnly && find);
    // Every input reads as its label.
    for (const char* name : {"EditFind", "CmbTechnician", "CmbWarranty", "DateFrom", "DateTo"})
        QVERIFY2(!form.findChild<QWidget*>(name)->accessibleName().isEmpty(), name);
    QCOMPARE(form.Model()->rowCount(), 1);
    QCOMPARE(form.StatusText(), QStringLiteral("共有 [1] 项"));
    pickedUp->setChecked(true);
    QCOMPARE(form.Model()->rowCount(), 2);
    // A link of the reminders: late visits only.
    RepairListFilter overdue;
    overdue.statuses = {0, 1};
    overdue.overdueOnly = true;
    form.ShowFilter(overdue);
    QVERIFY(!pickedUp->isChecked());
    QVERIFY(overdueOnly->isChecked());
    QCOMPARE(form.Model()->rowCount(), 1);
    QCOMPARE(form.Model()->RecordId(0), lateId);
    find->setText(QStringLiteral("没有这个客户"));
    form.BtnSearchClick();
    QCOMPARE(form.Model()->rowCount(), 0);
}

void TestRepairList::saleWithVisitsIsKept()
{
    // An expired ordinary machine with a visit, and two without.
    const QDate longAgo(2020, 1, 1);
    const qint64 visited = InsertMachine(QStringLiteral("李四"), {}, {}, longAgo, longAgo.addYears(1));
    const qint64 plain = InsertMachine(QStringLiteral("王五"), {}, {}, longAgo, longAgo.addYears(1));
    QVERIFY(InsertMachine(QStringLiteral("赵六"), {}, {}, longAgo, longAgo.addYears(1)) > 0);
    Visit v;
    v.saleID = visited;
    v.status = 3;
    v.pickedUp = Now;
    QVERIFY(AddVisit(v) > 0);
    Visit open;
    open.saleID = m_sale;
    QVERIFY(AddVisit(open) > 0);

    // The record manager refuses the deletion before asking, and marks the
    // machine in the shop.
    {
        TFrmSaleManage manager;
        manager.TBtnAllClick();
        SaleListModel* model = manager.Model();
        int visitedRow = -1, plainRow = -1, openRow = -1;
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->RecordId(row) == visited)
                visitedRow = row;
            if (model->RecordId(row) == plain)
                plainRow = row;
            if (model->RecordId(row) == m_sale)
                openRow = row;
        }
        QVERIFY(model->HasOpenRepair(openRow));
        QVERIFY(!model->HasOpenRepair(visitedRow)); // its visit is over
        QVERIFY(model->index(openRow, SaleListModel::ColName).data(Qt::DecorationRole).isValid());
        QVERIFY(!model->index(plainRow, SaleListModel::ColName).data(Qt::DecorationRole).isValid());
        manager.findChild<QTableView*>("ListView1")->selectRow(visitedRow);
        manager.BtnDelClick();
        QCOMPARE(m_dialogs->Texts().value(0), QStringLiteral("该机器有维修记录，不能删除。"));
        QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where id=?", {visited}).toInt(), 1);
    }
    // The database refuses it too.
    QVERIFY(!ExecCommand("delete from SaleInfo where id=?", {visited}));
    QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where id=?", {visited}).toInt(), 1);

    SalePurge::Result result;
    QString error;
    QVERIFY2(SalePurge::PurgeExpiredOrdinary(Now, &result, &error), qPrintable(error));
    QCOMPARE(result.deleted, 2);
    QCOMPARE(result.kept, 1);
    QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where id=?", {visited}).toInt(), 1);
    QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where id=?", {plain}).toInt(), 0);
}

QTEST_MAIN(TestRepairList)
#include "tst_repairlist.moc"
