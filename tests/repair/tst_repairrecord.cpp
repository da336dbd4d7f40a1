// The repair desk's data layer: warranty, states and rights, money,
// numbering, search and the machine's history.  Runs on both engines.
#include "RepairFixture.h"
#include "RepairRecord.h"
#include "RepairRules.h"
#include "RepairSearch.h"
#include "SqlDialect.h"
#include "TDataM.h"
#include "WarrantyCardCode.h"

#include <QTest>

using RepairRecord::Result;

class TestRepairRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }
    void init();
    void cleanup();

    void warrantyIsJudgedAtDropOff();
    void stateMovesFollowTheTable_data();
    void stateMovesFollowTheTable();
    void moneyIsKeptInFen();
    void numbersAreDistinctPerDayAndNeverReused();
    void searchFindsMachinesByPhoneNameNumberAndSerial();
    void pickupLeavesTheSaleAsSoldAndAppliesSwaps();
    void editsSavedElsewhereAreRefused();
    void machinesFromElsewhereCarryTheirOwnCustomer();
    void secondOpenVisitNeedsConfirmation();
    void scannedCardNamesItsRecord();

private:
    RepairVisit NewVisit(qint64 saleID, const QDateTime& received = QDateTime::currentDateTime())
    {
        RepairVisit v;
        v.saleID = saleID;
        v.contactName = QStringLiteral("张伟");
        v.contactPhone = QStringLiteral("139-1111-2222");
        v.receivedAt = received;
        v.problem = QStringLiteral("不开机");
        // As judged from the sale record, so no reason is needed.
        v.inWarranty =
            RepairRules::Judge(RepairRecord::LoadSale(saleID).overRunText, received.date()).inWarranty;
        return v;
    }
    // Brings a new visit to `status` with every right.
    RepairVisit VisitAt(qint64 saleID, int status)
    {
        RepairVisit v = NewVisit(saleID);
        QString error;
        if (RepairRecord::Create(v, true, &error) != Result::Ok)
            qWarning("%s", qPrintable(error));
        for (int s = 1; s <= status; ++s)
            if (RepairRecord::MoveStatus(v, s, QDateTime::currentDateTime(), &error) != Result::Ok)
                qWarning("%s", qPrintable(error));
        return v;
    }
    QVariantList SaleRow(qint64 id) const
    {
        SqlStatement s(CurrentConnection(), "select * from SaleInfo where id=?");
        QVariantList row;
        if (s.Bind({id}) && s.Step())
            for (int i = 0; i < s.ColumnCount(); ++i)
                row << s.ColumnValue(i);
        return row;
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<GrantedRights> m_rights;
    qint64 m_sale = 0;
};

void TestRepairRecord::init()
{
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    m_rights = std::make_unique<GrantedRights>();
    m_sale =
        InsertMachine(QStringLiteral("张伟"), QStringLiteral("010-6255-5678"), QStringLiteral("13800135678"),
                      QDate::currentDate().addDays(-100), QDate::currentDate().addDays(265));
    QVERIFY(m_sale > 0);
}

void TestRepairRecord::cleanup()
{
    m_rights.reset();
    m_env.reset();
}

void TestRepairRecord::warrantyIsJudgedAtDropOff()
{
    const QDate end(2026, 5, 10);
    QVERIFY(RepairRules::Judge("2026-05-10 00:00:00", end).inWarranty);
    QCOMPARE(RepairRules::Judge("2026-05-10 00:00:00", end).badge, QStringLiteral("保修期内(剩 1 天)"));
    QVERIFY(!RepairRules::Judge("2026-05-10 00:00:00", end.addDays(1)).inWarranty);
    QCOMPARE(RepairRules::Judge("2026-05-10", end.addDays(3)).badge, QStringLiteral("已过保(超 3 天)"));
    for (const char* unreadable : {"", "  ", "无", "2026-13-40"}) {
        const RepairRules::Warranty w = RepairRules::Judge(unreadable, end);
        QVERIFY(!w.inWarranty && !w.registered);
        QCOMPARE(w.badge, QStringLiteral("保修期未登记"));
    }

    // Received on the end day: in warranty; the day after: not.
    const QDateTime onEnd(QDate::currentDate().addDays(265), QTime(17, 30));
    RepairVisit in = NewVisit(m_sale, onEnd);
    in.inWarranty = true;
    QString error;
    QCOMPARE(RepairRecord::Create(in, false, &error), Result::Ok);
    RepairVisit late = NewVisit(m_sale, onEnd.addDays(1));
    late.inWarranty = true;
    QCOMPARE(RepairRecord::Create(late, true, &error), Result::Refused);
    QVERIFY2(error.contains(QStringLiteral("原因")), qPrintable(error));
    late.warrantyReason = QStringLiteral("随便");
    QCOMPARE(RepairRecord::Create(late, true, &error), Result::Refused);
    late.warrantyReason = QStringLiteral("其他");
    QCOMPARE(RepairRecord::Create(late, true, &error), Result::Ok);

    // An in-warranty machine refused for damage needs its reason too.
    RepairVisit damaged = NewVisit(m_sale);
    damaged.inWarranty = false;
    QCOMPARE(RepairRecord::Create(damaged, true, &error), Result::Refused);
    damaged.warrantyReason = QStringLiteral("进液");
    QCOMPARE(RepairRecord::Create(damaged, true, &error), Result::Ok);

    // No warranty end registered: not in warranty without a reason.
    const qint64 unregistered = InsertMachine("李娜", "无", "13900001111", QDate::currentDate(), QVariant());
    RepairVisit none = NewVisit(unregistered);
    QCOMPARE(RepairRecord::Create(none, false, &error), Result::Ok);
    QVERIFY(!none.inWarranty);

    // A later edit of the sale's warranty end leaves the visits as judged.
    QVERIFY(ExecCommand("update SaleInfo set OverRun=? where id=?", {QDate(2000, 1, 1), m_sale}));
    RepairVisit again;
    QCOMPARE(RepairRecord::Load(in.repairID, &again, &error), Result::Ok);
    QVERIFY(again.inWarranty);
    QVERIFY(again.warrantyReason.isEmpty());
    QCOMPARE(RepairRecord::Load(damaged.repairID, &again, &error), Result::Ok);
    QCOMPARE(again.warrantyReason, QStringLiteral("进液"));
}

void TestRepairRecord::stateMovesFollowTheTable_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("right"); // empty: never allowed
    const QString bench = "600201", pickup = "600202", advanced = "600203";
    QTest::newRow("已接收→检修中") << 0 << 1 << bench;
    QTest::newRow("已接收→待取机") << 0 << 2 << bench;
    QTest::newRow("已接收→已取机") << 0 << 3 << pickup;
    QTest::newRow("检修中→待取机") << 1 << 2 << bench;
    QTest::newRow("检修中→已取机") << 1 << 3 << pickup;
    QTest::newRow("待取机→已取机") << 2 << 3 << pickup;
    QTest::newRow("待取机→检修中") << 2 << 1 << bench;
    QTest::newRow("已取机→待取机") << 3 << 2 << advanced;
    QTest::newRow("检修中→已接收") << 1 << 0 << QString();
    QTest::newRow("待取机→已接收") << 2 << 0 << QString();
    QTest::newRow("已取机→检修中") << 3 << 1 << QString();
    QTest::newRow("已取机→已接收") << 3 << 0 << QString();
}

void TestRepairRecord::stateMovesFollowTheTable()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, right);
    RepairVisit v = VisitAt(m_sale, from);
    QCOMPARE(v.status, from);
    const qint64 version = v.rowVersion;
    QString error;

    // Every right but the one the move needs: refused, nothing written.
    QStringList others = {"6001", "6002", "600201", "600202", "600203"};
    others.removeAll(right);
    m_rights->Set(others);
    RepairVisit attempt = v;
    QCOMPARE(RepairRecord::MoveStatus(attempt, to, QDateTime::currentDateTime(), &error), Result::Refused);
    QCOMPARE(m_env->Scalar("select Status from RepairInfo where RepairID=?", {v.repairID}).toInt(), from);
    QCOMPARE(m_env->Scalar("select RowVersion from RepairInfo where RepairID=?", {v.repairID}).toLongLong(),
             version);
    if (right.isEmpty())
        return;

    m_rights->Set({right});
    const QDateTime when(QDate::currentDate(), QTime(15, 4, 5));
    QCOMPARE(RepairRecord::MoveStatus(v, to, when, &error), Result::Ok);
    QCOMPARE(m_env->Scalar("select Status from RepairInfo where RepairID=?", {v.repairID}).toInt(), to);
    const QVariant readyAt = m_env->Scalar("select ReadyAt from RepairInfo where RepairID=?", {v.repairID});
    const QVariant pickedUpAt =
        m_env->Scalar("select PickedUpAt from RepairInfo where RepairID=?", {v.repairID});
    QCOMPARE(readyAt.isNull(), to < RepairRules::Ready);
    QCOMPARE(pickedUpAt.isNull(), to < RepairRules::PickedUp);
    if (to == RepairRules::PickedUp)
        QCOMPARE(pickedUpAt.toString().left(19), SqlDateTimeText(when));
    // A move from a version read before it is refused.
    RepairVisit stale = attempt;
    m_rights->Set({"600201", "600202", "600203"});
    QCOMPARE(RepairRecord::MoveStatus(stale, to, when, &error), Result::ChangedElsewhere);
}

void TestRepairRecord::moneyIsKeptInFen()
{
    const qint64 price = *RepairRules::ParseYuan("19.90");
    QCOMPARE(price, qint64(1990));
    QCOMPARE(RepairRules::ParseYuan("￥0.1"), std::optional<qint64>(10));
    QCOMPARE(RepairRules::ParseYuan("1,234.5"), std::optional<qint64>(123450));
    for (const char* wrong : {"-1", "1.234", "1.2.3", "abc", "1e3"})
        QVERIFY2(!RepairRules::ParseYuan(wrong), wrong);

    RepairVisit v = NewVisit(m_sale);
    v.inWarranty = true;
    v.laborFee = *RepairRules::ParseYuan("0.10");
    v.swaps = {{0, "内存", "8GB DDR4", "A1", "16GB DDR4", "B1", 3, price, false, {}},
               {0, "硬盘", "512GB", "C1", "1TB", "D1", 1, 39900, true, {}}};
    QString error;
    QCOMPARE(RepairRecord::Create(v, false, &error), Result::Ok);
    QCOMPARE(RepairRules::YuanText(v.total), QStringLiteral("59.80"));
    QCOMPARE(m_env->Scalar("select Total from RepairInfo where RepairID=?", {v.repairID}).toLongLong(),
             qint64(5980));
    QCOMPARE(v.PartsFee(), qint64(5970));
    // A deposit larger than the bill leaves nothing to pay, never less.
    v.deposit = 10000;
    QCOMPARE(v.Due(), qint64(0));
    v.deposit = 980;
    QCOMPARE(v.Due(), qint64(5000));
    QCOMPARE(RepairRules::Due(100, 300), qint64(0));
}

void TestRepairRecord::numbersAreDistinctPerDayAndNeverReused()
{
    SqlConnection other;
    QVERIFY2(m_env->OpenSecondConnection(other), qPrintable(other.ErrorString()));
    const QDateTime day(QDate(2026, 12, 9), QTime(9, 0));
    QSet<QString> numbers;
    QString error;
    for (int i = 0; i < 50; ++i) {
        SetCurrentConnection(i % 2 ? &other : &DataM->ADOConn);
        RepairVisit v = NewVisit(m_sale, day);
        QCOMPARE(RepairRecord::Create(v, true, &error), Result::Ok);
        numbers.insert(v.repairNo);
    }
    SetCurrentConnection(&DataM->ADOConn);
    QCOMPARE(numbers.size(), 50);
    QVERIFY(numbers.contains("WX261209-001"));
    QVERIFY(numbers.contains("WX261209-050"));

    // The last one deleted: its number is not handed out again.
    RepairVisit last;
    const qint64 lastID =
        m_env->Scalar("select RepairID from RepairInfo where RepairNo=?", {"WX261209-050"}).toLongLong();
    QCOMPARE(RepairRecord::Load(lastID, &last, &error), Result::Ok);
    QCOMPARE(RepairRecord::Delete(last, &error), Result::Ok);
    RepairVisit next = NewVisit(m_sale, day);
    QCOMPARE(RepairRecord::Create(next, true, &error), Result::Ok);
    QCOMPARE(next.repairNo, QStringLiteral("WX261209-051"));
    // The next day starts again at 001.
    RepairVisit tomorrow = NewVisit(m_sale, day.addDays(1));
    QCOMPARE(RepairRecord::Create(tomorrow, true, &error), Result::Ok);
    QCOMPARE(tomorrow.repairNo, QStringLiteral("WX261210-001"));
}

void TestRepairRecord::searchFindsMachinesByPhoneNameNumberAndSerial()
{
    const qint64 other = InsertMachine(QStringLiteral("欧阳娜娜"), QStringLiteral("021-5555-0000"),
                                       QStringLiteral("137 0000 9999"), QDate(2025, 1, 1), QDate(2026, 1, 1));
    const qint64 literal = InsertMachine(QStringLiteral("刘_%"), QStringLiteral("无"), QStringLiteral("无"),
                                         QDate(2025, 1, 1), QDate(2026, 1, 1));
    const qint64 plain = InsertMachine(QStringLiteral("刘ab"), QStringLiteral("无"), QStringLiteral("无"),
                                       QDate(2025, 1, 1), QDate(2026, 1, 1));
    RepairVisit v = NewVisit(other);
    v.contactPhone = QStringLiteral("186-2468-1357");
    v.swaps = {{0, "内存", "8GB", "MEM-OLD-4711", "16GB", "MEM-NEW-0815", 1, 0, false, {}}};
    QString error;
    QCOMPARE(RepairRecord::Create(v, false, &error), Result::Ok);

    const auto ids = [&](const QString& typed) {
        QList<qint64> found;
        for (const RepairSearch::Hit& h : RepairSearch::Find(typed, 50, &error))
            found << h.saleID;
        return found;
    };
    QCOMPARE(ids("5678"), QList<qint64>{m_sale});
    QCOMPARE(ids("138-0013-5678"), QList<qint64>{m_sale});
    QCOMPARE(ids("62555678"), QList<qint64>{m_sale});
    QCOMPARE(ids("13700009999"), QList<qint64>{other});
    // The contact phone of a visit finds the machine, dashes or not.
    QCOMPARE(ids("24681357"), QList<qint64>{other});
    QCOMPARE(ids("2468-1357"), QList<qint64>{other});
    QCOMPARE(ids(QStringLiteral("阳娜")), QList<qint64>{other});
    QCOMPARE(ids(v.repairNo), QList<qint64>{other});
    QCOMPARE(ids(v.repairNo.toLower()), QList<qint64>{other});
    QCOMPARE(ids("OLD-4711"), QList<qint64>{other});
    QCOMPARE(ids("NEW-08"), QList<qint64>{other});
    // % and _ are the characters themselves.
    QCOMPARE(ids(QStringLiteral("刘_%")), QList<qint64>{literal});
    QCOMPARE(ids(QStringLiteral("_%")), QList<qint64>{literal});
    QVERIFY(ids(QStringLiteral("刘ab")).contains(plain));
    QVERIFY(!ids(QStringLiteral("刘ab")).contains(literal));
    QVERIFY(ids("%%").isEmpty());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestRepairRecord::pickupLeavesTheSaleAsSoldAndAppliesSwaps()
{
    const QVariantList sold = SaleRow(m_sale);
    RepairVisit first = VisitAt(m_sale, 1);
    first.swaps = {{0, "内存", "8GB DDR4", "M1", "16GB DDR4", "M2", 1, 29900, false, {}}};
    QString error;
    QCOMPARE(RepairRecord::Update(first, &error), Result::Ok);
    QCOMPARE(RepairRecord::MoveStatus(first, 3, QDateTime::currentDateTime(), &error), Result::Ok);
    // The swap's warranty starts at pickup.
    QCOMPARE(first.swaps.first().warrantyUntil, QDate::currentDate().addDays(90));

    RepairVisit second = VisitAt(m_sale, 1);
    second.swaps = {{0, "内存", "16GB DDR4", "M2", "32GB DDR5", "M3", 1, 59900, false, {}},
                    {0, "其他", "", "", "USB 无线网卡", "W1", 1, 5000, false, {}}};
    QCOMPARE(RepairRecord::Update(second, &error), Result::Ok);
    QCOMPARE(RepairRecord::MoveStatus(second, 3, QDateTime::currentDateTime(), &error), Result::Ok);
    QCOMPARE(SaleRow(m_sale), sold);

    const auto memory = [&] {
        for (const auto& [caption, model] : RepairRecord::CurrentConfiguration(m_sale, &error))
            if (caption == QStringLiteral("内存"))
                return model;
        return QString();
    };
    QCOMPARE(memory(), QStringLiteral("32GB DDR5"));
    // Undoing the pickup keeps the swaps done on the bench.
    QCOMPARE(RepairRecord::MoveStatus(second, 2, QDateTime::currentDateTime(), &error), Result::Ok);
    QCOMPARE(memory(), QStringLiteral("32GB DDR5"));
    QCOMPARE(SaleRow(m_sale), sold);
    const QVector<RepairVisit> history = RepairRecord::History(m_sale, &error);
    QCOMPARE(history.size(), 2);
    QCOMPARE(history[1].swaps.size(), 2);
    QVERIFY(history[1].pickedUpAt.isNull());

    // Fees after pickup need the advanced right; a sale with visits stays.
    QCOMPARE(RepairRecord::MoveStatus(second, 3, QDateTime::currentDateTime(), &error), Result::Ok);
    m_rights->Set({"6001", "600201", "600202"});
    second.laborFee = 5000;
    QCOMPARE(RepairRecord::Update(second, &error), Result::Refused);
    QString refused;
    QVERIFY(!ExecCommand("delete from SaleInfo where id=?", {m_sale}, &refused));
    QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where id=?", {m_sale}).toInt(), 1);
}

void TestRepairRecord::editsSavedElsewhereAreRefused()
{
    RepairVisit v = VisitAt(m_sale, 0);
    RepairVisit here = v, there = v;
    QString error;
    there.remark = QStringLiteral("另一台电脑");
    QCOMPARE(RepairRecord::Update(there, &error), Result::Ok);
    here.remark = QStringLiteral("这一台");
    QCOMPARE(RepairRecord::Update(here, &error), Result::ChangedElsewhere);
    QCOMPARE(error, QStringLiteral("该记录已被其他用户修改，请重新打开后再修改。"));
    QCOMPARE(m_env->Scalar("select Remark from RepairInfo where RepairID=?", {v.repairID}).toString(),
             QStringLiteral("另一台电脑"));
    // Deleting: only a 已接收 visit without swaps, with the advanced right.
    m_rights->Set({"6001", "600201"});
    QCOMPARE(RepairRecord::Delete(there, &error), Result::Refused);
    m_rights->Set({"6001", "600201", "600203"});
    there.swaps = {{0, "硬盘", "", "", "1TB", "S9", 1, 0, false, {}}};
    QCOMPARE(RepairRecord::Update(there, &error), Result::Ok);
    QCOMPARE(RepairRecord::Delete(there, &error), Result::Refused);
    there.swaps.clear();
    QCOMPARE(RepairRecord::Update(there, &error), Result::Ok);
    QCOMPARE(RepairRecord::Delete(there, &error), Result::Ok);
    QCOMPARE(m_env->Scalar("select count(*) from RepairInfo").toInt(), 0);
}

void TestRepairRecord::machinesFromElsewhereCarryTheirOwnCustomer()
{
    RepairVisit v = NewVisit(0);
    v.outside = true;
    QString error;
    QCOMPARE(RepairRecord::Create(v, false, &error), Result::Refused);
    v.customerName = QStringLiteral("赵敏");
    v.cpu = QStringLiteral("AMD Ryzen 5 5600");
    v.inWarranty = true;
    QCOMPARE(RepairRecord::Create(v, false, &error), Result::Refused);
    v.inWarranty = false;
    QCOMPARE(RepairRecord::Create(v, false, &error), Result::Ok);
    QVERIFY(m_env->Scalar("select SaleID from RepairInfo where RepairID=?", {v.repairID}).isNull());
    QCOMPARE(RepairSearch::Find(QStringLiteral("赵敏"), 10, &error).value(0).repairID, v.repairID);
    // The table itself refuses a visit with neither a sale nor the mark.
    QVERIFY(!ExecCommand("insert into RepairInfo (RepairNo,Outside,ReceivedAt,Problem) values (?,0,?,?)",
                         {"WX000000-999", QDateTime::currentDateTime(), "x"}, &error));
}

void TestRepairRecord::secondOpenVisitNeedsConfirmation()
{
    RepairVisit first = NewVisit(m_sale);
    QString error;
    QCOMPARE(RepairRecord::Create(first, false, &error), Result::Ok);
    RepairVisit second = NewVisit(m_sale);
    QCOMPARE(RepairRecord::Create(second, false, &error), Result::Refused);
    QCOMPARE(RepairRecord::Create(second, true, &error), Result::Ok);
    QCOMPARE(RepairRecord::OpenVisitCount(m_sale), 2);
    // A role without 维修登记 cannot take a machine in.
    m_rights->Set({"600201", "600202"});
    RepairVisit third = NewVisit(m_sale);
    QCOMPARE(RepairRecord::Create(third, true, &error), Result::Refused);
}

void TestRepairRecord::scannedCardNamesItsRecord()
{
    const QString code =
        QStringLiteral("保修档案编号：%1\n客户：张三\n购机日期：2026-01-02\n过保日期：2027-01-02")
            .arg(m_sale);
    QCOMPARE(WarrantyCardRecordId(code), m_sale);
    QCOMPARE(WarrantyCardRecordId(code.section('\n', 0, 0)), m_sale);
    QCOMPARE(WarrantyCardRecordId(QStringLiteral("编号：12")), qint64(0));
    QVERIFY(IsWarrantyCardLine(QStringLiteral("客户：张三")));
    QVERIFY(!IsWarrantyCardLine(QStringLiteral("张三")));
}

QTEST_MAIN(TestRepairRecord)
#include "tst_repairrecord.moc"
