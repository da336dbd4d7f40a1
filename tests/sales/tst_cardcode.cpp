// The QR code text the entry dialog gives the warranty card: none before the
// record is saved, the record's number once it is, the record edited in
// edit mode, and the shop's name from the company profile.
#include "SaleListModel.h"
#include "SalesFixture.h"
#include "ScriptedDialogs.h"
#include "TFrmInputInfo.h"
#include "TFrmSaleManage.h"
#include "TestEnv.h"

#include <QLineEdit>
#include <QTableView>
#include <QTest>

class TestCardCode : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void codeOfTheShownRecord();
};

void TestCardCode::initTestCase()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
}

void TestCardCode::codeOfTheShownRecord()
{
    TestEnv env;
    QVERIFY2(env.IsValid(), qPrintable(env.Error()));
    ScriptedDialogs dialogs;
    FakeShell shell;
    QVERIFY(ExecCommand("delete from AC_Company"));
    QVERIFY(ExecCommand("insert into AC_Company (name, addr) values (?, ?)",
                        {QStringLiteral("岚石电脑商行"), QStringLiteral("中关村")}));
    Sale earlier;
    earlier.name = QStringLiteral("钱二");
    const qint64 earlierId = InsertSale(earlier);
    QVERIFY(earlierId > 0);

    auto* manager = new TFrmSaleManage;
    shell.manager = manager;
    TFrmInputInfo* dialog = FrmInputInfo();
    dialog->ClearEntry();
    dialog->SetAddMode(true);
    dialog->findChild<QLineEdit*>("EUser")->setText(QStringLiteral("孙三"));
    dialog->findChild<QLineEdit*>("EAddr")->setText(QStringLiteral("北京"));
    dialog->SetDates(QDate(2026, 3, 1), QDate(2027, 3, 1));
    // Typed but not saved: the card prints without a code.
    QCOMPARE(dialog->FillWarrantyCard()->QRCode, QString());

    dialog->BtnAddClick();
    const qint64 added = env.Scalar("select max(id) from SaleInfo").toLongLong();
    QVERIFY(added > earlierId);
    QCOMPARE(dialog->FillWarrantyCard()->QRCode,
             QStringLiteral("保修档案编号：%1\n客户：孙三\n购机日期：2026-03-01\n过保日期：2027-03-01\n"
                            "商家：岚石电脑商行")
                 .arg(added));
    // A fresh entry forgets the record stored before.
    dialog->ClearEntry();
    QCOMPARE(dialog->FillWarrantyCard()->QRCode, QString());

    // Edit mode: the record opened from the list.
    manager->TBtnAllClick();
    auto* list = manager->findChild<QTableView*>("ListView1");
    list->selectRow(0);
    manager->N11Click();
    QVERIFY(dialog->FillWarrantyCard()->QRCode.startsWith(
        QStringLiteral("保修档案编号：%1\n客户：钱二\n").arg(earlierId)));
    QVERIFY(!dialogs.Failed());
    delete dialog;
    delete manager;
}

QTEST_MAIN(TestCardCode)
#include "tst_cardcode.moc"
