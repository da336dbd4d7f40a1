// The intake form and its slips: a machine found by phone digits or by a
// scanned warranty card, saved and printed; the printed slips checked as
// PDF text and by decoding their QR code.  Runs on both engines.
#include "RepairFixture.h"
#include "RepairRules.h"
#include "RepairSlips.h"
#include "ReportExportFilters.h"
#include "ScriptedDialogs.h"
#include "TFrmRepairInput.h"
#include "TFrmRepairManage.h"
#include "WarrantyCardCode.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestRepairForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }
    void init();
    void cleanup();

    void phoneDigitsPickTheMachineAndSavePrints();
    void scannedCardPicksItsRecord();
    void slipsPrintBothHalvesAndDecode();

private:
    template <typename T> T* Ctl(const char* name) const
    {
        return m_form->findChild<T*>(QString::fromLatin1(name));
    }
    void Type(const QString& text, bool enter)
    {
        QLineEdit* find = Ctl<QLineEdit>("EFind");
        find->setFocus();
        // As a keyboard or a scanner types it (Chinese text arrives as one input).
        find->insert(text);
        if (enter)
            QTest::keyClick(find, Qt::Key_Return);
    }
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<GrantedRights> m_rights;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TFrmRepairInput> m_form;
    QVector<Report::PreparedReport> m_printed;
    qint64 m_sale = 0;
};

void TestRepairForm::init()
{
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    m_rights = std::make_unique<GrantedRights>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_sale = InsertMachine(QStringLiteral("陈静"), QStringLiteral("无"), QStringLiteral("139-0011-4321"),
                           QDate::currentDate().addDays(-30), QDate::currentDate().addDays(335));
    InsertMachine(QStringLiteral("黄勇"), QStringLiteral("010-5555-1111"), QStringLiteral("无"),
                  QDate(2020, 1, 1), QDate(2021, 1, 1));
    m_printed.clear();
    TFrmRepairInput::SlipSink = [this](const Report::PreparedReport& r) { m_printed << r; };
    m_form = std::make_unique<TFrmRepairInput>();
    m_form->show();
}

void TestRepairForm::cleanup()
{
    m_form.reset();
    TFrmRepairInput::SlipSink = nullptr;
    if (m_dialogs)
        QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join("; ")));
    m_dialogs.reset();
    m_rights.reset();
    m_env.reset();
}

void TestRepairForm::phoneDigitsPickTheMachineAndSavePrints()
{
    Type("4321", true);
    QCOMPARE(Ctl<QLineEdit>("ECustomer")->text(), QStringLiteral("陈静"));
    QVERIFY2(Ctl<QLabel>("LblBadge")->text().startsWith(QStringLiteral("保修期内(剩 ")),
             qPrintable(Ctl<QLabel>("LblBadge")->text()));
    QVERIFY(Ctl<QLabel>("LblBadge")->styleSheet().contains("#1a7f37"));
    QCOMPARE(Ctl<QLineEdit>("EContactPhone")->text(), QStringLiteral("139-0011-4321"));
    QCOMPARE(Ctl<QDateEdit>("DateDue")->date(), QDate::currentDate().addDays(3));
    Ctl<QPlainTextEdit>("MemProblem")->setPlainText(QStringLiteral("开机无显示"));
    Ctl<QCheckBox>("ChkAdapter")->setChecked(true);
    Ctl<QLineEdit>("EDeposit")->setText("50");
    // An open list of visits shows the new one without being asked.
    TFrmRepairManage list;
    const int listed = list.Model()->rowCount();
    QTest::mouseClick(Ctl<QPushButton>("BtnSavePrint"), Qt::LeftButton);
    const qint64 id = m_form->Visit().repairID;
    QVERIFY(id > 0);
    QCOMPARE(list.Model()->rowCount(), listed + 1);
    QCOMPARE(m_env->Scalar("select Deposit from RepairInfo where RepairID=?", {id}).toLongLong(),
             qint64(5000));
    QCOMPARE(m_env->Scalar("select Accessories from RepairInfo where RepairID=?", {id}).toString(),
             QStringLiteral("电源适配器"));
    QCOMPARE(m_printed.size(), 1);
    QCOMPARE(m_printed[0].Named(0, "RepairNo_C").value(0).text, m_form->Visit().repairNo);
    QVERIFY(m_env
                ->Scalar("select count(*) from UseLog where LogText like ?",
                         {"%" + m_form->Visit().repairNo + "%"})
                .toInt() >= 2);

    // The same machine again: its open visit is offered first.
    m_dialogs->QueueAnswer(Dialogs::Yes);
    QVERIFY(m_form->PickMachine(m_sale));
    QCOMPARE(m_form->Visit().repairID, id);
    // A wrong amount is refused before anything is written.
    QTest::keyClicks(Ctl<QLineEdit>("ELabor"), "12.345");
    QVERIFY(m_form->IsModified());
    QVERIFY(!m_form->Save());
    QVERIFY(m_dialogs->Texts().last().contains(QStringLiteral("人工费不是正确的金额")));
    QCOMPARE(m_env->Scalar("select LaborFee from RepairInfo where RepairID=?", {id}).toLongLong(), qint64(0));
    Ctl<QLineEdit>("ELabor")->clear();
    QVERIFY(m_form->Save());
    // An expired machine shows red.
    Ctl<QLineEdit>("EFind")->clear();
    Type("5555-1111", true);
    QCOMPARE(Ctl<QLineEdit>("ECustomer")->text(), QStringLiteral("黄勇"));
    QVERIFY2(Ctl<QLabel>("LblBadge")->text().startsWith(QStringLiteral("已过保(超 ")),
             qPrintable(Ctl<QLabel>("LblBadge")->text()));
}

void TestRepairForm::scannedCardPicksItsRecord()
{
    // The card was printed under another name; the record was renamed since.
    const QString code = WarrantyCardCodeText(m_sale, QStringLiteral("陈小静"), QDate(2026, 1, 1),
                                              QDate(2027, 1, 1), QStringLiteral("岚石电脑商行"));
    // A scanner types each line of the code and presses Enter after it.
    for (const QString& line : code.split('\n'))
        Type(line, true);
    QCOMPARE(Ctl<QLineEdit>("ECustomer")->text(), QStringLiteral("陈静"));
    QVERIFY(Ctl<QLineEdit>("EFind")->text().isEmpty());
    QCOMPARE(Ctl<QListWidget>("LstFound")->count(), 0);
    QVERIFY(!m_form->IsModified());
}

void TestRepairForm::slipsPrintBothHalvesAndDecode()
{
    QVERIFY(m_form->PickMachine(m_sale));
    RepairVisit v;
    v.saleID = m_sale;
    v.inWarranty = true;
    v.problem = QString(QStringLiteral("屏幕闪烁后黑屏，重启无效。")).repeated(50).left(600);
    QString error;
    QCOMPARE(RepairRecord::Create(v, true, &error), RepairRecord::Result::Ok);
    QVERIFY(m_form->OpenVisit(v.repairID));
    QVERIFY(m_form->PrintOrder());
    QCOMPARE(m_printed.size(), 1);
    const Report::PreparedReport& order = m_printed[0];
    QCOMPARE(order.PageCount(), 1);
    QCOMPARE(order.Named(0, "RepairNo_C").value(0).text, v.repairNo);
    QCOMPARE(order.Named(0, "RepairNo_S").value(0).text, v.repairNo);
    // The whole description is printed, on both halves.
    QString shown;
    for (const Report::Primitive& p : order.pages[0].primitives)
        if (p.name == QLatin1String("Problem_C"))
            shown += p.text;
    QCOMPARE(shown.remove(' '), v.problem);
    // Empty fields print blank.
    for (const Report::Primitive& p : order.pages[0].primitives)
        QVERIFY2(!p.text.contains("NULL", Qt::CaseInsensitive), qPrintable(p.name));

    QTemporaryDir dir;
    const QString pdf = dir.filePath("order.pdf");
    QVERIFY2(Report::ExportPdf(order, pdf, &error), qPrintable(error));
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY(text.waitForFinished(30000));
    const QString pdfText = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(pdfText.contains(QStringLiteral("客户联")) && pdfText.contains(QStringLiteral("店铺联")),
             qPrintable(pdfText.left(300)));
    QCOMPARE(pdfText.count(v.repairNo) >= 2, true);

    if (QStandardPaths::findExecutable("zbarimg").isEmpty())
        QSKIP("zbarimg is not installed");
    // The customer's half alone carries one code.
    const QImage page = Report::RenderPageImage(order, 0, 200);
    const QString png = dir.filePath("order.png");
    QVERIFY(page.copy(0, 0, page.width(), page.height() / 2).save(png));
    QProcess zbar;
    zbar.start("zbarimg", {"--raw", "-q", png});
    QVERIFY(zbar.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), v.repairNo);

    // The 取机单 of a machine in warranty carries the stamp; a charged one not.
    RepairVisit picked = m_form->Visit();
    QCOMPARE(RepairRecord::MoveStatus(picked, 3, QDateTime::currentDateTime(), &error),
             RepairRecord::Result::Ok);
    const Report::PreparedReport free = RepairSlips::PreparePickupSlip(RepairSlips::DataOf(picked), false);
    QCOMPARE(free.Named(0, "FreeStamp").value(0).text, QStringLiteral("保修免费"));
    picked.inWarranty = false;
    const Report::PreparedReport charged = RepairSlips::PreparePickupSlip(RepairSlips::DataOf(picked), true);
    QVERIFY(charged.Named(0, "FreeStamp").isEmpty());
    QCOMPARE(charged.page.paperWidth, 80.0);
}

QTEST_MAIN(TestRepairForm)
#include "tst_repairform.moc"
