// The repair desk's tables in the life of a database: the upgrade of a
// database made before them, and a copy to the other engine.  Runs on both
// engines.
#include "ChangeLog.h"
#include "DatabaseCopy.h"
#include "RepairFixture.h"
#include "RepairRecord.h"
#include "Schema.h"
#include "SeedData.h"
#include "SqlDialect.h"
#include "TDataM.h"

#include <QTemporaryDir>
#include <QTest>

using RepairRecord::Result;

class TestRepairSchema : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void upgradeAddsTablesAndCatalogueOnce();
    void copyKeepsSwapsWithTheirVisits();

private:
    static QStringList Rows(SqlConnection& c, const QString& sql)
    {
        QStringList rows;
        SqlStatement s(&c, sql);
        while (s.Step()) {
            QStringList values;
            for (int i = 0; i < s.ColumnCount(); ++i)
                values << (s.ColumnIsNull(i) ? QStringLiteral("<null>") : s.ColumnValue(i).toString());
            rows << values.join('|');
        }
        return rows;
    }
};

void TestRepairSchema::upgradeAddsTablesAndCatalogueOnce()
{
    TestEnv env(true);
    QVERIFY2(env.IsValid(), qPrintable(env.Error()));
    SqlConnection& c = DataM->ADOConn;
    // New databases are seeded with the desk: one group, in the menu after
    // the sale records.
    QCOMPARE(env.Scalar("select count(*) from AC_FUNCTIONINFO where FunctionID like '600%'").toInt(), 7);
    QCOMPARE(
        env.Scalar("select count(*) from AC_MENUSTRUCT where FunctionID in ('6001','6002','6003')").toInt(),
        3);

    // Back to the database as the previous version made it.
    const bool server = c.IsServer();
    QStringList down;
    if (!server)
        down << "DROP TRIGGER RepairInfo_KeepSale"
             << "DROP TRIGGER RepairSwap_Cascade"
             << "DROP TRIGGER SalePhoneFind_Insert"
             << "DROP TRIGGER SalePhoneFind_Delete"
             << "DROP TRIGGER SalePhoneFind_Update"
             << "DROP TRIGGER SalePhoneFind_Replace"
             << "DROP TABLE SalePhoneFind";
    else
        down << "DROP INDEX SaleInfo_PhoneDigits";
    down << "DROP TABLE RepairSwap"
         << "DROP TABLE RepairInfo"
         << "DROP TABLE RepairCounter"
         << "DROP TABLE RepairSetting"
         << "DELETE FROM AC_MENUSTRUCT WHERE FunctionID LIKE '600%' OR MenuText='维修服务(&R)'"
         << "DELETE FROM AC_MENUSTRUCT WHERE MenuText='-' AND ParentMenuID NOT IN (SELECT MenuID FROM "
            "AC_MENUSTRUCT)"
         << "DELETE FROM AC_TOOLCFG WHERE FunctionID LIKE '600%'"
         << "DELETE FROM AC_GROUPCFG WHERE FunctionID LIKE '600%' OR ItemText='维修服务'"
         << "DELETE FROM AC_ROLE_FUNCTION WHERE FunctionID LIKE '600%'"
         << "DELETE FROM AC_FUNCTIONINFO WHERE FunctionID LIKE '600%'";
    // The change log of a later version goes too, with its rows in the configuration.
    QString dropError;
    QVERIFY2(ChangeLog::DropTriggers(c, &dropError), qPrintable(dropError));
    down << "DROP TABLE ChangeLog"
         << "DELETE FROM AC_MENUSTRUCT WHERE FunctionID='4009'"
         << "DELETE FROM AC_GROUPCFG WHERE FunctionID='4009'"
         << "DELETE FROM AC_ROLE_FUNCTION WHERE FunctionID IN ('4009','400931')"
         << "DELETE FROM AC_FUNCTIONINFO WHERE FunctionID IN ('4009','400931')";
    for (const QString& sql : down)
        QVERIFY2(c.ExecRaw(sql), qPrintable(sql + ": " + c.ErrorString()));
    QVERIFY(SqlDialect::SetSchemaVersion(c, Schema::RepairVersion - 1));
    const QStringList sales = Rows(c, "select * from SaleInfo order by id");
    const QStringList menusBefore = Rows(c, "select MenuID, MenuText from AC_MENUSTRUCT order by OrderNum");

    QString error;
    QVERIFY2(Schema::Upgrade(c, &error), qPrintable(error));
    QCOMPARE(Schema::Version(c), Schema::CurrentVersion);
    QCOMPARE(Rows(c, "select * from SaleInfo order by id"), sales);
    QCOMPARE(env.Scalar("select count(*) from AC_FUNCTIONINFO where FunctionID like '600%'").toInt(), 7);
    QCOMPARE(env.Scalar("select count(*) from AC_ROLE_FUNCTION where FunctionID='6000'").toInt(), 1);
    // The menu: the earlier rows in their order, the new menu after the sale menu.
    const QStringList menus = Rows(c, "select MenuID, MenuText from AC_MENUSTRUCT order by OrderNum");
    QCOMPARE(menus.size(), menusBefore.size() + 6);
    const int sale = menus.indexOf(QRegularExpression(".*\\|经营统计\\(&S\\)"));
    QVERIFY(sale >= 0);
    QVERIFY2(menus.value(sale + 1).endsWith(QStringLiteral("|维修服务(&R)")), qPrintable(menus.join(", ")));
    QVERIFY(menus.value(sale + 6).endsWith(QStringLiteral("|单位设置(&C)")));
    // New rows take the counters' next numbers, so later rows never collide.
    QCOMPARE(env.Scalar("select MenuID from SeqTable").toLongLong(),
             env.Scalar("select max(MenuID) from AC_MENUSTRUCT").toLongLong());
    QCOMPARE(env.Scalar("select ButtonID from SeqTable").toLongLong(),
             env.Scalar("select max(ButtonID) from AC_TOOLCFG").toLongLong());
    QCOMPARE(env.Scalar("select count(*) from AC_TOOLCFG where FunctionID in ('6001','6002')").toInt(), 2);
    QCOMPARE(
        env.Scalar("select count(*) from AC_GROUPCFG where ItemText='维修服务' or FunctionID like '600%'")
            .toInt(),
        4);
    // Once only.
    QVERIFY2(AddRepairCatalogue(c, &error), qPrintable(error));
    QCOMPARE(Rows(c, "select MenuID, MenuText from AC_MENUSTRUCT order by OrderNum"), menus);
    // The phone index holds the records stored before.
    GrantedRights rights;
    RepairVisit v;
    v.saleID = env.Scalar("select min(id) from SaleInfo").toLongLong();
    v.problem = QStringLiteral("蓝屏");
    v.warrantyReason = QStringLiteral("其他");
    QCOMPARE(RepairRecord::Create(v, true, &error), Result::Ok);
}

void TestRepairSchema::copyKeepsSwapsWithTheirVisits()
{
    TestEnv env(true);
    QVERIFY2(env.IsValid(), qPrintable(env.Error()));
    GrantedRights rights;
    QString error;
    const qint64 sale = env.Scalar("select max(id) from SaleInfo").toLongLong();
    for (int i = 0; i < 3; ++i) {
        RepairVisit v;
        v.saleID = sale;
        v.problem = QStringLiteral("第 %1 次").arg(i + 1);
        v.warrantyReason = QStringLiteral("其他");
        v.swaps = {
            {0, "内存", "A", QString("S%1").arg(i), "B", QString("T%1").arg(i), 1, 100 * i, false, {}}};
        QCOMPARE(RepairRecord::Create(v, true, &error), Result::Ok);
        if (i == 1)
            QCOMPARE(RepairRecord::MoveStatus(v, 3, QDateTime::currentDateTime(), &error), Result::Ok);
    }
    const QString linked =
        "select r.RepairNo, s.Component, s.OldSerial, s.NewSerial, s.Price, s.WarrantyUntil"
        " from RepairSwap s join RepairInfo r on r.RepairID=s.RepairID order by s.SwapID";
    const QStringList before = Rows(DataM->ADOConn, linked);
    QVERIFY(before.size() >= 3);
    const qint64 lastToday =
        env.Scalar("select LastNo from RepairCounter where Day=?", {QDate::currentDate().toString("yyMMdd")})
            .toLongLong();
    const qint64 lastKey = env.Scalar("select max(RepairID) from RepairInfo").toLongLong();

    // A copy to a new SQLite file, from either engine.
    QTemporaryDir dir;
    SqlConnection target;
    QVERIFY(target.Create(dir.filePath("copy.mdb")));
    QVERIFY2(DatabaseCopy::Copy(
                 DataM->ADOConn, target, [](const QString&) {}, &error),
             qPrintable(error));
    QCOMPARE(Rows(target, linked), before);
    QCOMPARE(Rows(target, "select Day, LastNo from RepairCounter order by Day"),
             Rows(DataM->ADOConn, "select Day, LastNo from RepairCounter order by Day"));
    // The copy goes on numbering after the source, and its phone index is built.
    SetCurrentConnection(&target);
    RepairVisit next;
    next.saleID = sale;
    next.problem = QStringLiteral("复制之后");
    next.warrantyReason = QStringLiteral("其他");
    const Result made = RepairRecord::Create(next, true, &error);
    SetCurrentConnection(&DataM->ADOConn);
    QCOMPARE(made, Result::Ok);
    QVERIFY2(next.repairNo.endsWith(QString("-%1").arg(lastToday + 1, 3, 10, QChar('0'))),
             qPrintable(next.repairNo));
    QCOMPARE(next.repairID, lastKey + 1);
}

QTEST_MAIN(TestRepairSchema)
#include "tst_repairschema.moc"
