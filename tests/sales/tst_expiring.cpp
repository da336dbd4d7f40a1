// The expiring-soon filter: its boundaries and order, the colours, the
// drop-down and its settings in Quorel.ini.
#include "IniFile.h"
#include "SaleListModel.h"
#include "SalesFixture.h"
#include "Settings.h"
#include "TFrmSaleManage.h"
#include "TestEnv.h"
#include "WarrantyReminder.h"
#include "WarrantySettings.h"

#include <QAction>
#include <QColor>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using M = SaleListModel;

class TestExpiring : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void boundariesOrderAndCount();
    void pagesFollowTheWarrantyEnd();
    void colourPrecedence();
    void settingsRoundTrip();
    void filterInTheManager();

private:
    static qint64 Insert(int daysFromToday, const QString& tb = "0");
    static QList<qint64> Listed(M& model);

    std::unique_ptr<TestEnv> m_env;
};

void TestExpiring::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
}

void TestExpiring::cleanup()
{
    m_env.reset();
}

qint64 TestExpiring::Insert(int daysFromToday, const QString& tb)
{
    Sale s;
    s.over = QDate::currentDate().addDays(daysFromToday);
    s.tb = tb;
    return InsertSale(s);
}

QList<qint64> TestExpiring::Listed(M& model)
{
    while (model.canFetchMore({}))
        model.fetchMore({});
    QList<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.RecordId(row);
    return ids;
}

void TestExpiring::boundariesOrderAndCount()
{
    const qint64 in30 = Insert(30), in1 = Insert(1), today = Insert(0), in31 = Insert(31);
    const qint64 yesterday = Insert(-1), in10 = Insert(10), alsoIn10 = Insert(10, "1");
    QVERIFY(in30 > 0 && alsoIn10 > 0);
    const QDateTime now = QDateTime::currentDateTime();
    M model;
    QVERIFY(model.Load(SaleRecord::ExpiringCustomers(now, 30), true));
    // Ends today: ended, not expiring; ends in 30 days: in; 31: out.  By
    // warranty end, then by number.
    QCOMPARE(Listed(model), (QList<qint64>{in1, in10, alsoIn10, in30}));
    QCOMPARE(model.MatchCount(), 4);
    QCOMPARE(WarrantyReminder::CountExpiring(now, 30), 4);
    QCOMPARE(WarrantyReminder::CountExpiring(now, 60), 5);
    QVERIFY(!Listed(model).contains(today) && !Listed(model).contains(yesterday) &&
            !Listed(model).contains(in31));
    // A warranty ending today runs until its midnight has passed.
    const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
    QCOMPARE(WarrantyReminder::CountExpiring(midnight, 30), 5);
    QCOMPARE(WarrantyReminder::CountExpiring(midnight.addSecs(1), 30), 4);
    QCOMPARE(WarrantyReminder::NoticeText(4, 30), QStringLiteral("有 4 位客户的保修将在 30 天内到期"));
}

void TestExpiring::pagesFollowTheWarrantyEnd()
{
    // More rows than a first page, many on the same day, inserted out of
    // order: every row once, by warranty end and id, across the pages.
    const QDate today = QDate::currentDate();
    QVERIFY(InsertGenerated("Name,addr,BuyDate,OverRun,TB", 900, [&today](int i) {
        return SqlArgs{QStringLiteral("n%1").arg(i), "a", today, today.addDays((i * 7) % 95), "0"};
    }));
    M model;
    QVERIFY(model.Load(SaleRecord::ExpiringCustomers(QDateTime::currentDateTime(), 90), true));
    // The whole list's length, its first page alone read.
    QCOMPARE(model.rowCount(), int(model.MatchCount()));
    QCOMPARE(model.HeldRowCount(), M::FirstPageSize);
    const QList<qint64> ids = Listed(model);
    QList<qint64> expected;
    SqlStatement sorted(CurrentConnection(), "select id from SaleInfo where OverRun>? and OverRun<=? "
                                             "order by OverRun, id");
    QVERIFY(sorted.Bind({today, today.addDays(90)}));
    while (sorted.Step())
        expected << sorted.ColumnValue(0).toLongLong();
    QVERIFY(expected.size() > M::FirstPageSize);
    QCOMPARE(ids, expected);
    QCOMPARE(model.MatchCount(), expected.size());
}

void TestExpiring::colourPrecedence()
{
    // Rows in id order: expiring, special, expired, plain, expiring on the edge.
    for (const auto& [days, tb] : {std::pair(5, "0"), {5, "1"}, {-3, "0"}, {40, "0"}, {30, "0"}})
        QVERIFY(Insert(days, tb) > 0);
    M model;
    model.SetExpiringDays(30);
    QVERIFY(model.Load(SaleRecord::AllCustomers(), true));
    const auto colours = [&model](int row) {
        return qMakePair(model.index(row, M::ColAddr).data(Qt::BackgroundRole).value<QColor>(),
                         model.index(row, M::ColAddr).data(Qt::ForegroundRole).value<QColor>());
    };
    const auto orange = qMakePair(QColor(255, 165, 0), QColor(0, 0, 0));
    QCOMPARE(colours(0), orange);
    QCOMPARE(colours(1), qMakePair(QColor(255, 0, 0), QColor(255, 255, 0))); // special above
    QCOMPARE(colours(2), qMakePair(QColor(166, 202, 240), QColor(0, 0, 255)));
    QVERIFY(!model.index(3, M::ColAddr).data(Qt::BackgroundRole).isValid()); // plain
    QCOMPARE(colours(4), orange);
    // Fewer days: the row ending in 30 days is plain again; the view hears of it.
    int changed = 0;
    connect(&model, &M::dataChanged, this, [&changed] { ++changed; });
    model.SetExpiringDays(0);
    QCOMPARE(changed, 1);
    QVERIFY(!model.index(4, M::ColAddr).data(Qt::BackgroundRole).isValid());
    QVERIFY(!model.index(0, M::ColAddr).data(Qt::BackgroundRole).isValid());
}

void TestExpiring::settingsRoundTrip()
{
    QCOMPARE(Settings::ExpiringDays(), 30);
    QVERIFY(Settings::RemindAtLogin());
    QVERIFY(Settings::SetExpiringDays(60));
    QVERIFY(Settings::SetRemindAtLogin(false));
    QVERIFY(!Settings::SetExpiringDays(45)); // not a choice: nothing written
    QCOMPARE(Settings::ExpiringDays(), 60);
    QVERIFY(!Settings::RemindAtLogin());
    IniFile ini(Settings::IniPath());
    QCOMPARE(ini.ReadString("Warranty", "ExpiringDays"), QStringLiteral("60"));
    QCOMPARE(ini.ReadString("Warranty", "RemindAtLogin"), QStringLiteral("0"));
    // A hand-edited value that is no choice reads as the default.
    QVERIFY(ini.WriteString("Warranty", "ExpiringDays", "abc"));
    QCOMPARE(Settings::ExpiringDays(), 30);
    QVERIFY(ini.WriteString("Warranty", "ExpiringDays", "7"));
    QCOMPARE(Settings::ExpiringDays(), 30);
}

void TestExpiring::filterInTheManager()
{
    FakeShell shell;
    QVERIFY(Settings::SetExpiringDays(60));
    const qint64 in45 = Insert(45), in5 = Insert(5), in61 = Insert(61);
    QVERIFY(in45 > 0 && in61 > 0);
    TFrmSaleManage manager;
    shell.manager = &manager;

    auto* toolBar = manager.findChild<QToolBar*>("ToolBar3");
    // Beside the warranty filters, with the days and the reminder switch.
    auto* button = manager.findChild<QAction*>("BtnExpiring");
    QVERIFY(button);
    const QList<QAction*> actions = toolBar->actions();
    QCOMPARE(actions.indexOf(button), actions.indexOf(manager.findChild<QAction*>("BtnWGB")) + 1);
    QCOMPARE(button->text(), QStringLiteral("即将过保"));
    auto* tool = qobject_cast<QToolButton*>(toolBar->widgetForAction(button));
    QVERIFY(tool && tool->menu());
    QVERIFY(manager.findChild<QAction*>("NExpiring60")->isChecked());
    QCOMPARE(manager.Model()->ExpiringDays(), 60);

    button->trigger();
    QCOMPARE(Listed(*manager.Model()), (QList<qint64>{in5, in45}));
    QCOMPARE(manager.StatusText(), QStringLiteral("共有 [2] 项"));
    QCOMPARE(manager.ListMode, int(TFrmSaleManage::ModeExpiring));

    // Another choice is remembered and loads at once; the reload after the
    // entry dialog repeats the filter.
    manager.findChild<QAction*>("NExpiring30")->trigger();
    QCOMPARE(Settings::ExpiringDays(), 30);
    QCOMPARE(Listed(*manager.Model()), (QList<qint64>{in5}));
    QVERIFY(Insert(20) > 0);
    manager.ReloadList();
    QCOMPARE(manager.StatusText(), QStringLiteral("共有 [2] 项"));

    QAction* remind = manager.findChild<QAction*>("NRemindAtLogin");
    QCOMPARE(remind->text(), QStringLiteral("登录时提醒即将过保的客户"));
    QVERIFY(remind->isChecked());
    remind->trigger();
    QVERIFY(!Settings::RemindAtLogin());
}

QTEST_MAIN(TestExpiring)
#include "tst_expiring.moc"
