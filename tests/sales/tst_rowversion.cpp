// Two desks editing one sale record: the row version lets the second save
// see the first instead of overwriting it.  Runs on both engines.
#include "SaleRecord.h"
#include "SalesFixture.h"
#include "ScriptedDialogs.h"
#include "TDataM.h"
#include "TFrmInputInfo.h"
#include "TFrmSaleManage.h"
#include "SaleListModel.h"
#include "TestEnv.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using SaleRecord::UpdateOutcome;

class TestRowVersion : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void serviceRefusesAStaleVersion();
    void serviceTellsADeletedRecord();
    void dialogRefusesAnEditSavedElsewhere();
    void dialogSavesTwiceFromOneOpening();
    void dialogOpenedFromAnOlderReadIsRefused();
    void recordAddedElsewhereAppearsOnTheNextLoad();

private:
    // Runs `work` as the other desk: its own connection is the current one
    // meanwhile.
    template <typename Work> void AsOtherDesk(Work work)
    {
        SetCurrentConnection(&m_other);
        work();
        SetCurrentConnection(&DataM->ADOConn);
    }
    // Opens record `id` in the entry dialog for "修改", as the record
    // manager does.
    TFrmInputInfo* OpenForEdit(qint64 id, std::optional<qint64> readVersion = std::nullopt);
    // The record manager as a desk shows it, after "所有客户".
    static std::unique_ptr<TFrmSaleManage> ManagerListingAll(FakeShell& shell)
    {
        auto manager = std::make_unique<TFrmSaleManage>();
        shell.manager = manager.get();
        manager->show();
        manager->TBtnAllClick();
        return manager;
    }
    QString Stored(const QString& column, qint64 id) const
    {
        return m_env->Scalar("select " + column + " from SaleInfo where id=?", {id}).toString();
    }
    static QLineEdit* Box(TFrmInputInfo* dialog, const char* name)
    {
        QLineEdit* box = dialog->findChild<QLineEdit*>(name);
        if (!box)
            qFatal("no box %s", name);
        return box;
    }
    static void ClickModify(TFrmInputInfo* dialog)
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>("BtnModify"), Qt::LeftButton);
    }
    qint64 Version(qint64 id) const { return Stored("RowVersion", id).toLongLong(); }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    SqlConnection m_other;
};

void TestRowVersion::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    QVERIFY2(m_env->OpenSecondConnection(m_other), qPrintable(m_other.ErrorString()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestRowVersion::cleanup()
{
    delete FrmInputInfo();
    m_other.Close();
    if (m_dialogs)
        QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join("; ")));
    m_dialogs.reset();
    m_env.reset();
}

TFrmInputInfo* TestRowVersion::OpenForEdit(qint64 id, std::optional<qint64> readVersion)
{
    TFrmInputInfo* dialog = FrmInputInfo();
    Box(dialog, "EUser")->setText(Stored("Name", id));
    Box(dialog, "EAddr")->setText(Stored("addr", id));
    Box(dialog, "EPhone")->setText(Stored("Phone", id));
    dialog->SetDates(SaleRecord::DateFromText(Stored("BuyDate", id)),
                     SaleRecord::DateFromText(Stored("OverRun", id)));
    dialog->SetAddMode(false);
    dialog->SetRecordId(id, readVersion);
    dialog->show();
    return dialog;
}

void TestRowVersion::serviceRefusesAStaleVersion()
{
    const qint64 id = InsertSale({});
    QCOMPARE(Version(id), 1);
    qint64 mine = SaleRecord::ReadRowVersion(id).value_or(-1);
    QCOMPARE(mine, 1);

    // The other desk read the same version and saves first.
    AsOtherDesk([&] {
        qint64 theirs = SaleRecord::ReadRowVersion(id).value_or(-1);
        QString error;
        QCOMPARE(SaleRecord::UpdateRecord(id, &theirs, {{"Phone", "021-1111"}}, &error),
                 UpdateOutcome::Saved);
        QCOMPARE(theirs, 2);
    });

    QString error;
    QCOMPARE(SaleRecord::UpdateRecord(id, &mine, {{"Phone", "021-2222"}, {"Name", "x"}}, &error),
             UpdateOutcome::ChangedElsewhere);
    QCOMPARE(error, QStringLiteral("该记录已被其他用户修改，请重新打开后再修改。"));
    QCOMPARE(mine, 1);
    QCOMPARE(Stored("Phone", id), QString("021-1111"));
    QCOMPARE(Stored("Name", id), QStringLiteral("张伟"));
    QCOMPARE(Version(id), 2);

    // Reopened, the record saves over the other desk's version.
    mine = SaleRecord::ReadRowVersion(id).value_or(-1);
    QCOMPARE(SaleRecord::UpdateRecord(id, &mine, {{"Phone", "021-2222"}}, &error), UpdateOutcome::Saved);
    QCOMPARE(Stored("Phone", id), QString("021-2222"));
    QCOMPARE(Version(id), 3);
    QCOMPARE(mine, 3);
}

void TestRowVersion::serviceTellsADeletedRecord()
{
    const qint64 id = InsertSale({});
    const qint64 other = InsertSale({});
    qint64 mine = SaleRecord::ReadRowVersion(id).value_or(-1);
    AsOtherDesk([&] { QVERIFY(ExecCommand("delete from SaleInfo where id=?", {id})); });

    QString error;
    QCOMPARE(SaleRecord::UpdateRecord(id, &mine, {{"Phone", "021-2222"}}, &error), UpdateOutcome::Deleted);
    QVERIFY2(error.contains(QStringLiteral("删除")), qPrintable(error));
    QCOMPARE(m_env->Scalar("select count(*) from SaleInfo").toLongLong(), 1);
    QCOMPARE(Stored("Phone", other), QString("010-62001234"));
    QVERIFY(!SaleRecord::ReadRowVersion(id));
}

void TestRowVersion::dialogRefusesAnEditSavedElsewhere()
{
    const qint64 id = InsertSale({});
    TFrmInputInfo* dialog = OpenForEdit(id);
    AsOtherDesk([&] {
        qint64 theirs = SaleRecord::ReadRowVersion(id).value_or(-1);
        QString error;
        QCOMPARE(SaleRecord::UpdateRecord(id, &theirs, {{"addr", QStringLiteral("上海市")}}, &error),
                 UpdateOutcome::Saved);
    });

    Box(dialog, "EPhone")->setText("021-5555");
    ClickModify(dialog);
    QCOMPARE(m_dialogs->Boxes().size(), 1);
    QCOMPARE(m_dialogs->LastText(), QStringLiteral("该记录已被其他用户修改，请重新打开后再修改。"));
    // Nothing written, the dialog still open with what the user typed.
    QCOMPARE(Stored("addr", id), QStringLiteral("上海市"));
    QCOMPARE(Stored("Phone", id), QString("010-62001234"));
    QCOMPARE(Version(id), 2);
    QVERIFY(dialog->isVisible());
    QCOMPARE(Box(dialog, "EPhone")->text(), QString("021-5555"));
    QCOMPARE(Box(dialog, "EAddr")->text(), QStringLiteral("北京市海淀区"));

    // Reopening shows the other desk's text, and then the save goes through.
    dialog = OpenForEdit(id);
    Box(dialog, "EPhone")->setText("021-5555");
    ClickModify(dialog);
    QCOMPARE(m_dialogs->Boxes().size(), 1);
    QCOMPARE(Stored("addr", id) + '|' + Stored("Phone", id), QStringLiteral("上海市|021-5555"));
    QCOMPARE(Version(id), 3);
}

void TestRowVersion::dialogSavesTwiceFromOneOpening()
{
    const qint64 id = InsertSale({});
    const qint64 untouched = InsertSale({});
    TFrmInputInfo* dialog = OpenForEdit(id);
    for (const char* phone : {"021-1", "021-2"}) {
        Box(dialog, "EPhone")->setText(phone);
        ClickModify(dialog);
        QCOMPARE(Stored("Phone", id), QString(phone));
    }
    QVERIFY2(m_dialogs->Boxes().isEmpty(), qPrintable(m_dialogs->LastText()));
    QCOMPARE(Version(id), 3);
    QCOMPARE(Version(untouched), 1);
    // The other desk, holding the version of before, is refused.
    AsOtherDesk([&] {
        qint64 stale = 2;
        QString error;
        QCOMPARE(SaleRecord::UpdateRecord(id, &stale, {{"Phone", "x"}}, &error),
                 UpdateOutcome::ChangedElsewhere);
    });
    QCOMPARE(Stored("Phone", id), QString("021-2"));
}

void TestRowVersion::dialogOpenedFromAnOlderReadIsRefused()
{
    // The record manager's list was read before the other desk saved: "修改"
    // opens the entry dialog with the list's (old) values and the version
    // they were read with, so saving does not overwrite the newer record.
    const qint64 id = InsertSale({});
    FakeShell shell;
    const std::unique_ptr<TFrmSaleManage> manager = ManagerListingAll(shell);
    QCOMPARE(manager->Model()->rowCount(), 1);
    AsOtherDesk([&] {
        qint64 theirs = Version(id);
        QString error;
        QCOMPARE(SaleRecord::UpdateRecord(id, &theirs, {{"Phone", "021-1111"}}, &error),
                 UpdateOutcome::Saved);
    });
    manager->findChild<QTableView*>("ListView1")->selectRow(0);
    manager->N11Click();
    TFrmInputInfo* dialog = FrmInputInfo();
    QCOMPARE(Box(dialog, "EPhone")->text(), QStringLiteral("010-62001234")); // as listed
    Box(dialog, "EAddr")->setText(QStringLiteral("上海市"));
    ClickModify(dialog);
    QCOMPARE(m_dialogs->LastText(), QStringLiteral("该记录已被其他用户修改，请重新打开后再修改。"));
    QCOMPARE(Stored("addr", id) + '|' + Stored("Phone", id), QStringLiteral("北京市海淀区|021-1111"));
}

void TestRowVersion::recordAddedElsewhereAppearsOnTheNextLoad()
{
    InsertSale({});
    FakeShell shell;
    const std::unique_ptr<TFrmSaleManage> manager = ManagerListingAll(shell);
    QCOMPARE(manager->Model()->rowCount(), 1);
    Sale other;
    other.name = QStringLiteral("维修台客");
    AsOtherDesk([&] { QVERIFY(InsertSale(other) > 0); });
    // Nothing is pushed to the list; the next load reads the other desk's
    // record, through the list and through quick find alike.
    QCOMPARE(manager->Model()->rowCount(), 1);
    manager->TBtnAllClick();
    QCOMPARE(manager->Model()->rowCount(), 2);
    manager->findChild<QLineEdit*>("EditFind")->setText(QStringLiteral("修台"));
    manager->QuickFindRun();
    QCOMPARE(manager->Model()->rowCount(), 1);
    QCOMPARE(manager->Model()->Text(0, SaleListModel::ColName), QStringLiteral("维修台客"));
}

QTEST_MAIN(TestRowVersion)
#include "tst_rowversion.moc"
