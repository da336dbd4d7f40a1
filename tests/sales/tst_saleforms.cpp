// The entry dialog and the record manager, driven as the staff use them.
#include "IniFile.h"
#include "SaleListModel.h"
#include "SalesFixture.h"
#include "ScriptedDialogs.h"
#include "Settings.h"
#include "TDataM.h"
#include "TFrmInputInfo.h"
#include "TFrmSaleManage.h"
#include "TestEnv.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using M = SaleListModel;

class TestSaleForms : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addTwiceStoresTwoEqualRows();
    void blankBoxesStoreNoneAndTextIsKeptAsTyped();
    void nameAndAddressAreRequired();
    void amountBoxTakesDigitsOnly();
    void purchaseDateMovesTheWarranty();
    void editReadsTheRowBackFromTheList();
    void editOfARecordDeletedMeanwhile();
    void unreadableDatesOpenEmptyAndStayStored();
    void warrantyCardShowsWhatIsOnScreen();
    void unreadableProfilePrintsNoCard();

    void statusCountsTheMatches();
    void filtersFollowTheWarrantyRule();
    void purgeKeepsSpecialCustomersAndTheList();
    void rowColoursArePainted();
    void columnWidthsAreKeptPerUser();
    void searchByAddressIsExact();
    void searchOnDateColumns();
    void searchIgnoresLatinCaseAndCountsNumerically();
    void searchNeedsAFieldAndKeepsItForTheRun();
    void searchValueWithQuotesIsJustAValue();
    void deleteOneAsksAndDropsTheRow();
    void closingTheDialogReloadsTheToolbarFilter();

private:
    TFrmSaleManage* NewManager();
    TFrmInputInfo* Dialog() { return FrmInputInfo(); }
    template <typename W = QLineEdit> W* Box(const char* name)
    {
        W* widget = Dialog()->findChild<W*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    void Click(const char* button);
    void ChooseSearchField(int index);
    QStringList ListedNames() const;
    qint64 Rows() const { return m_env->Scalar("select count(*) from SaleInfo").toLongLong(); }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FakeShell> m_shell;
    TFrmSaleManage* m_manager = nullptr;
};

void TestSaleForms::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_shell = std::make_unique<FakeShell>();
    TFrmSaleManage::SearchColumn.clear();
}

void TestSaleForms::cleanup()
{
    delete FrmInputInfo();
    delete m_manager;
    m_manager = nullptr;
    QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join("; ")));
    m_shell.reset();
    m_dialogs.reset();
    m_env.reset();
}

TFrmSaleManage* TestSaleForms::NewManager()
{
    delete m_manager;
    m_manager = new TFrmSaleManage;
    m_manager->resize(1000, 600);
    m_manager->show();
    m_shell->manager = m_manager;
    return m_manager;
}

void TestSaleForms::Click(const char* button)
{
    QTest::mouseClick(Box<QPushButton>(button), Qt::LeftButton);
}

void TestSaleForms::ChooseSearchField(int index)
{
    // As a pick in the drop-down list: current index, then "activated".
    QComboBox* box = m_manager->findChild<QComboBox*>("CmbSearchName");
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QStringList TestSaleForms::ListedNames() const
{
    QStringList names;
    const M* model = m_manager->Model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->Text(row, M::ColName);
    return names;
}

void TestSaleForms::addTwiceStoresTwoEqualRows()
{
    NewManager()->TBtnEnterClick();
    QVERIFY(Dialog()->isVisible());
    QVERIFY(Dialog()->IsAddMode());
    Box("EUser")->setText(QStringLiteral("张三"));
    Box("EAddr")->setText(QStringLiteral("北京"));
    Box("ECPU")->setText("Intel Core i5-12400");
    Box<QComboBox>("CmbQuality")->setCurrentIndex(1);
    Box<QDateEdit>("DateBuy")->setDate(QDate(2023, 6, 15));
    Click("BtnAdd");
    Click("BtnAdd");

    QCOMPARE(Rows(), 2);
    QVERIFY(Dialog()->isVisible());
    QVERIFY(Dialog()->IsAddMode());
    MemDataset rows;
    QVERIFY(OpenQuery("select id," + SaleColumns + " from SaleInfo order by id", rows));
    QCOMPARE(rows.AsString("Name"), QStringLiteral("张三"));
    QCOMPARE(rows.AsString("Phone"), QStringLiteral("无"));
    QCOMPARE(rows.AsString("CPU"), QString("Intel Core i5-12400"));
    QCOMPARE(rows.AsString("TB"), QString("1"));
    QCOMPARE(rows.AsString("BuyAmount"), QString("1"));
    QCOMPARE(rows.AsString("Memo"), QStringLiteral("无"));
    QCOMPARE(m_env->Scalar("select BuyDate||'|'||OverRun from SaleInfo").toString(),
             QString("2023-06-15 00:00:00|2024-06-14 00:00:00"));
    QVector<QVariant> first;
    for (int f = 0; f < rows.FieldCount(); ++f)
        first << rows.Value(f);
    rows.Next();
    const int id = rows.FieldIndex("id");
    QVERIFY(rows.Value(id) != first[id]);
    for (int f = 0; f < rows.FieldCount(); ++f)
        if (f != id)
            QCOMPARE(rows.Value(f), first[f]);
}

void TestSaleForms::blankBoxesStoreNoneAndTextIsKeptAsTyped()
{
    NewManager()->TBtnEnterClick();
    Box("EUser")->setText(QStringLiteral("李娜 "));
    Box("EAddr")->setText(QStringLiteral(" 上海市 "));
    Box("EMobile")->setText("   ");
    Box("EMemory")->setText(" \t");
    Box("EOther")->setText(QStringLiteral(" 读卡器"));
    Click("BtnAdd");
    QCOMPARE(Rows(), 1);
    QCOMPARE(
        m_env->Scalar("select Name||'|'||addr||'|'||Mobile||'|'||Memory||'|'||HD||'|'||Other from SaleInfo")
            .toString(),
        QStringLiteral("李娜 | 上海市 |无|无|无| 读卡器"));

    // Reopened from the list the boxes show "无", and saving keeps it.
    Click("BtnExit1");
    QCOMPARE(m_manager->Model()->rowCount(), 1);
    m_manager->findChild<QTableView*>("ListView1")->selectRow(0);
    m_manager->N11Click();
    QVERIFY(!Dialog()->IsAddMode());
    QCOMPARE(Box("EMemory")->text(), QStringLiteral("无"));
    QCOMPARE(Box("EUser")->text(), QStringLiteral("李娜 "));
    Click("BtnModify");
    QCOMPARE(Rows(), 1);
    QCOMPARE(m_env->Scalar("select Name||'|'||Memory from SaleInfo").toString(), QStringLiteral("李娜 |无"));
}

void TestSaleForms::nameAndAddressAreRequired()
{
    NewManager()->TBtnEnterClick();
    Box("EUser")->setText("  ");
    Box("EAddr")->setText(QStringLiteral("北京"));
    Box("EPhone")->setFocus();
    Click("BtnAdd");
    QCOMPARE(Dialog()->focusWidget(), Box("EUser"));
    Box("EUser")->setText(QStringLiteral("王芳"));
    Box("EAddr")->setText(QString(" \t") + QChar(0x3000));
    Click("BtnAdd");
    QCOMPARE(Dialog()->focusWidget(), Box("EAddr"));
    QCOMPARE(Rows(), 0);
    QVERIFY(m_dialogs->Boxes().isEmpty());
}

void TestSaleForms::amountBoxTakesDigitsOnly()
{
    QLineEdit* amount = Box("EAmount");
    QCOMPARE(amount->text(), QString("1"));
    amount->selectAll();
    QTest::keyClicks(amount, "a-,.");
    QCOMPARE(amount->text(), QString("1"));
    amount->selectAll();
    QTest::keyClicks(amount, "0");
    QCOMPARE(amount->text(), QString("1"));
    // "0" alone turns into "1" at once; other texts stay as typed.
    amount->selectAll();
    QTest::keyClicks(amount, "5x");
    amount->home(false);
    QTest::keyClicks(amount, "0");
    QCOMPARE(amount->text(), QString("05"));
    amount->end(false);
    QTest::keyClicks(amount, "12");
    QCOMPARE(amount->text(), QString("051"));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(amount, Qt::Key_Backspace);
    QCOMPARE(amount->text(), QString("1"));
    // The name box takes 8 bytes: 8 letters or 4 Chinese characters.
    TypeText(Box("EUser"), QStringLiteral("欧阳小明同学"));
    QCOMPARE(Box("EUser")->text(), QStringLiteral("欧阳小明"));
}

void TestSaleForms::purchaseDateMovesTheWarranty()
{
    QDateEdit* buy = Box<QDateEdit>("DateBuy");
    QDateEdit* bao = Box<QDateEdit>("DateBao");
    QCOMPARE(buy->date(), QDate::currentDate());
    QCOMPARE(bao->date(), QDate::currentDate().addDays(365));
    QVERIFY(buy->calendarPopup());
    buy->setDate(QDate(2023, 6, 15));
    QCOMPARE(bao->date(), QDate(2024, 6, 14));
    bao->setDate(QDate(2030, 1, 1)); // chosen by hand, then overruled
    buy->setDate(QDate(2023, 7, 1));
    QCOMPARE(bao->date(), QDate(2024, 6, 30));
    buy->setDate(QDate(2024, 1, 1));
    QCOMPARE(bao->date(), QDate(2024, 12, 31));
    // A step with the keyboard (the year section) counts as a change too.
    buy->setFocus();
    buy->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClick(buy, Qt::Key_Up);
    QCOMPARE(buy->date(), QDate(2025, 1, 1));
    QCOMPARE(bao->date(), QDate(2026, 1, 1));
    // Dates set by the program leave the warranty alone.
    Dialog()->SetDates(QDate(2020, 2, 2), QDate(2020, 3, 3));
    QCOMPARE(bao->date(), QDate(2020, 3, 3));
}

void TestSaleForms::editReadsTheRowBackFromTheList()
{
    Sale s;
    s.tb = "1";
    s.buy = QDate(2023, 6, 15);
    s.over = QDate(2024, 6, 1);
    s.memo = QStringLiteral("上门服务\n周末不在");
    const qint64 id = InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    manager->TBtnTSClick();
    QTableView* list = manager->findChild<QTableView*>("ListView1");
    const QRect cell = list->visualRect(manager->Model()->index(0, M::ColName));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(Dialog()->isVisible());
    QVERIFY(!Dialog()->IsAddMode());
    QCOMPARE(Box<QDateEdit>("DateBuy")->date(), QDate(2023, 6, 15));
    QCOMPARE(Box<QDateEdit>("DateBao")->date(), QDate(2024, 6, 1));
    QCOMPARE(Box<QComboBox>("CmbQuality")->currentIndex(), 1);
    QCOMPARE(Box<QPlainTextEdit>("Memo")->toPlainText(), s.memo);
    QCOMPARE(Box("EPhone")->text(), QString("010-62001234"));

    Box("EPhone")->setText("021-5555");
    Click("BtnModify");
    QCOMPARE(Rows(), 1);
    QCOMPARE(m_env->Scalar("select Phone||'|'||OverRun||'|'||Memo||'|'||TB from SaleInfo where id=?", {id})
                 .toString(),
             QStringLiteral("021-5555|2024-06-01 00:00:00|上门服务\n周末不在|1"));
}

void TestSaleForms::editOfARecordDeletedMeanwhile()
{
    InsertSale({});
    TFrmSaleManage* manager = NewManager();
    manager->TBtnAllClick();
    manager->findChild<QTableView*>("ListView1")->selectRow(0);
    manager->N11Click();
    QVERIFY(ExecCommand("delete from SaleInfo"));
    Click("BtnModify");
    QCOMPARE(Rows(), 0);
    QCOMPARE(m_dialogs->Boxes().size(), 1);
    QVERIFY(Dialog()->isVisible());
}

void TestSaleForms::unreadableDatesOpenEmptyAndStayStored()
{
    if (TestEnv::OnServer())
        QSKIP("a server's date columns cannot hold an unreadable date");
    Sale good, bad;
    good.name = "good", good.buy = QDate(2023, 6, 15), good.over = QDate(2024, 6, 14);
    bad.name = "bad";
    InsertSale(good);
    const qint64 id = InsertSale(bad);
    QVERIFY(ExecCommand("update SaleInfo set BuyDate=?, OverRun=? where id=?",
                        {QStringLiteral("去年秋天"), "2024-13-45", id}));
    TFrmSaleManage* manager = NewManager();
    manager->TBtnAllClick();
    QTableView* list = manager->findChild<QTableView*>("ListView1");
    list->selectRow(0);
    manager->N11Click();
    QCOMPARE(Box<QDateEdit>("DateBuy")->date(), QDate(2023, 6, 15));
    Dialog()->close();

    // The dates of the record opened before must not stand in for these.
    list->selectRow(1);
    manager->N11Click();
    for (const char* name : {"DateBuy", "DateBao"}) {
        QVERIFY(Box<QDateEdit>(name)->date() != QDate(2023, 6, 15));
        QVERIFY(Box<QDateEdit>(name)->date() != QDate(2024, 6, 14));
        QCOMPARE(Box<QDateEdit>(name)->text().trimmed(), QString());
    }
    QCOMPARE(Dialog()->FillWarrantyCard().value().LblBuyDate, QString());
    Box("EPhone")->setText("021-5555");
    Click("BtnModify");
    QCOMPARE(
        m_env->Scalar("select Phone||'|'||BuyDate||'|'||OverRun from SaleInfo where id=?", {id}).toString(),
        QStringLiteral("021-5555|去年秋天|2024-13-45"));
    Dialog()->close();

    // A new sale recorded next gets today's dates, not empty ones.
    manager->TBtnEnterClick();
    QCOMPARE(Box<QDateEdit>("DateBuy")->date(), QDate::currentDate());
    QCOMPARE(Box<QDateEdit>("DateBao")->date(), QDate::currentDate().addDays(365));
}

void TestSaleForms::warrantyCardShowsWhatIsOnScreen()
{
    QVERIFY(
        ExecCommand("insert into AC_Company (name,addr,Phone,Phone1,Fax,Mail,Web,cn1,cn2,cn3) values "
                    "('店','中关村大街1号','010-1','010-2','010-3','a@b.c','www.x.cn','一年保修','',null)"));
    Box("EUser")->setText(QStringLiteral("张伟"));
    Box("EMemory")->setText(QStringLiteral("16GB"));
    WarrantyCardData card = Dialog()->FillWarrantyCard().value();
    QCOMPARE(card.LblIncName, QStringLiteral("维保档案管家"));
    QCOMPARE(card.LblPrintDate, QDate::currentDate().toString("yyyy-MM-dd"));
    QCOMPARE(card.LblName, QStringLiteral("张伟"));
    QCOMPARE(card.LblMemory, QStringLiteral("16GB"));
    QCOMPARE(card.LblCpu, QString()); // blank on screen, blank on the card
    QCOMPARE(card.LblBuyAmount, QString("1"));
    QCOMPARE(card.LblIncAddr, QStringLiteral("中关村大街1号"));
    QCOMPARE(card.LblCN1 + '|' + card.LblCN2 + '|' + card.LblCN3, QStringLiteral("一年保修||"));

    // Opened from the list the stored placeholder is what the card shows.
    Sale s;
    s.buy = QDate(2023, 6, 15);
    InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    manager->TBtnPTClick();
    manager->findChild<QTableView*>("ListView1")->selectRow(0);
    manager->N11Click();
    card = Dialog()->FillWarrantyCard().value();
    QCOMPARE(card.LblCpu, QString("Intel Core i5"));
    QCOMPARE(card.LblMemory, QStringLiteral("无"));
    QCOMPARE(card.LblBuyDate, QString("2023-06-15"));
}

void TestSaleForms::unreadableProfilePrintsNoCard()
{
    QVERIFY(ExecCommand("drop table AC_Company"));
    Box("EUser")->setText(QStringLiteral("张伟"));
    QVERIFY(!Dialog()->FillWarrantyCard());
    m_dialogs->ClearRecords();
    Click("BtnPrint");
    // The reason, and nothing about printers: no card went out.
    const QStringList texts = m_dialogs->Texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].startsWith(QStringLiteral("读取本单位信息失败：")), qPrintable(texts[0]));
}

void TestSaleForms::statusCountsTheMatches()
{
    for (int i = 0; i < 3; ++i)
        InsertSale({});
    TFrmSaleManage* manager = NewManager();
    QCOMPARE(manager->Model()->rowCount(), 0); // nothing is loaded before a choice
    manager->TBtnPTClick();
    QCOMPARE(manager->StatusText(), QStringLiteral("共有 [3] 项"));
    QCOMPARE(manager->Model()->rowCount(), 3);
    manager->TBtnTSClick();
    QCOMPARE(manager->StatusText(), QStringLiteral("共有 [0] 项"));
    QCOMPARE(manager->ListMode, int(TFrmSaleManage::ModeSpecial));
}

void TestSaleForms::filtersFollowTheWarrantyRule()
{
    const QDate today = QDate::currentDate();
    Sale expired, endsToday, current, special;
    expired.name = "E", expired.over = today.addDays(-1);
    endsToday.name = "T", endsToday.over = today;
    current.name = "C", current.over = today.addDays(1);
    special.name = "S", special.over = today, special.tb = "1";
    for (const Sale& s : {expired, endsToday, current, special})
        InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    manager->BtnOverRunClick();
    QCOMPARE(ListedNames(), QStringList({"E", "T", "S"}));
    manager->BtnWGBClick();
    QCOMPARE(ListedNames(), QStringList({"C"}));
    manager->N15Click();
    QCOMPARE(ListedNames(), QStringList({"E", "T", "S"}));
    QCOMPARE(manager->ListMode, int(TFrmSaleManage::ModeUnexpired));
    manager->TBtnAllClick();
    QCOMPARE(manager->StatusText(), QStringLiteral("共有 [4] 项"));
}

void TestSaleForms::purgeKeepsSpecialCustomersAndTheList()
{
    const QDate today = QDate::currentDate();
    Sale expired, endsToday, current, special;
    expired.name = "E", expired.over = today.addDays(-400);
    endsToday.name = "T", endsToday.over = today;
    current.name = "C", current.over = today.addDays(1);
    special.name = "S", special.over = today.addDays(-1), special.tb = "1";
    for (const Sale& s : {expired, endsToday, current, special})
        InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    manager->TBtnAllClick();
    m_dialogs->QueueAnswer(Dialogs::No);
    QTest::mouseClick(manager->findChild<QPushButton*>("BtnDelOverRun"), Qt::LeftButton);
    QCOMPARE(Rows(), 4);

    m_dialogs->QueueAnswer(Dialogs::Yes);
    QTest::mouseClick(manager->findChild<QPushButton*>("BtnDelOverRun"), Qt::LeftButton);
    QCOMPARE(m_dialogs->Boxes()[1].caption, QStringLiteral("删除己过保用户数据"));
    // The message names the copy kept of the purged rows.
    QVERIFY(
        m_dialogs->LastText().startsWith(QStringLiteral("数据己经成功删除！\n删除的 2 条记录已保存在：")));
    QCOMPARE(NamesInIdOrder(), QString("CS"));
    // The purged rows stay in the list until the next load.
    QCOMPARE(ListedNames(), QStringList({"E", "T", "C", "S"}));
    manager->TBtnAllClick();
    QCOMPARE(ListedNames(), QStringList({"C", "S"}));
}

void TestSaleForms::rowColoursArePainted()
{
    const QDate today = QDate::currentDate();
    Sale expired, current, special;
    expired.over = today.addDays(-1);
    // Beyond the expiring-soon days, so the plain row is plain.
    current.over = today.addDays(120);
    special.over = today.addDays(120), special.tb = "1";
    for (const Sale& s : {expired, current, special})
        InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    manager->TBtnAllClick();
    QTableView* list = manager->findChild<QTableView*>("ListView1");
    const QImage image = list->viewport()->grab().toImage();
    const auto background = [&](int row) {
        // The empty right end of a short cell.
        const QRect cell = list->visualRect(manager->Model()->index(row, M::ColFax));
        return QColor(image.pixel(cell.right() - 3, cell.center().y()));
    };
    QCOMPARE(background(0), QColor(166, 202, 240));
    QCOMPARE(background(1), list->palette().color(QPalette::Base));
    QCOMPARE(background(2), QColor(255, 0, 0));
    QCOMPARE(list->font().pixelSize(), 14);
    QVERIFY(list->isColumnHidden(M::ColId));
    QCOMPARE(list->columnWidth(M::ColAddr), 120);
    list->horizontalHeader()->resizeSection(M::ColAddr, 900);
    QCOMPARE(list->columnWidth(M::ColAddr), 300);
}

void TestSaleForms::columnWidthsAreKeptPerUser()
{
    const QString ini = Settings::UserIniPath();
    QDir().mkpath(QFileInfo(ini).path());
    QVERIFY(IniFile(ini).WriteString("Skin", "Path", "Blue.skn"));
    QString user = "abc";
    DataM->SetUserSource([&user](QString& id, QString& name) { id = name = user; });
    auto widths = [this] {
        const QTableView* list = m_manager->findChild<QTableView*>("ListView1");
        return QList<int>{list->columnWidth(M::ColName), list->columnWidth(M::ColPhone),
                          list->columnWidth(M::ColFax), list->columnWidth(M::ColAddr)};
    };

    QHeaderView* header = NewManager()->findChild<QTableView*>("ListView1")->horizontalHeader();
    QCOMPARE(widths(), QList<int>({70, 70, 70, 120}));
    header->resizeSection(M::ColPhone, 130);
    header->resizeSection(M::ColAddr, 260);
    NewManager(); // the window closes right after the drag
    QCOMPARE(widths(), QList<int>({70, 130, 70, 260}));

    // Another user has the defaults; user codes compare without case.
    user = "XYZ";
    NewManager();
    QCOMPARE(widths(), QList<int>({70, 70, 70, 120}));
    user = "ABC";
    NewManager();
    QCOMPARE(widths(), QList<int>({70, 130, 70, 260}));
    QCOMPARE(IniFile(ini).ReadString("Skin", "Path"), QString("Blue.skn"));

    // A line edited by hand: what is no number stays default, each width in its bounds.
    user = "hand";
    QVERIFY(IniFile(ini).WriteString("SaleManageColumns", "hand", "75,x,900,-4"));
    NewManager();
    QCOMPARE(widths(), QList<int>({75, 70, 150, 120}));
    QCOMPARE(m_manager->findChild<QTableView*>("ListView1")->columnWidth(M::ColMobile), 90);
    delete m_manager;
    m_manager = nullptr;
    DataM->SetUserSource({});
}

void TestSaleForms::searchByAddressIsExact()
{
    for (const char* addr : {"北京", "北京市海淀区", "上海", "北京"}) {
        Sale s;
        s.addr = QString::fromUtf8(addr);
        InsertSale(s);
    }
    TFrmSaleManage* manager = NewManager();
    manager->TBtnTSClick();
    ChooseSearchField(1);
    QCOMPARE(TFrmSaleManage::SearchColumn, QString("addr"));
    manager->findChild<QLineEdit*>("EditTJ")->setText(QStringLiteral("北京"));
    QTest::mouseClick(manager->findChild<QPushButton*>("BtnSearch"), Qt::LeftButton);
    QCOMPARE(manager->Model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row)
        QCOMPARE(manager->Model()->Text(row, M::ColAddr), QStringLiteral("北京"));
    QCOMPARE(manager->StatusText(), QStringLiteral("共有 [0] 项"));
    QCOMPARE(manager->ListMode, int(TFrmSaleManage::ModeSpecial));
    QVERIFY(m_dialogs->Boxes().isEmpty());
}

void TestSaleForms::searchOnDateColumns()
{
    Sale old, recent;
    old.name = "old", old.buy = QDate(2003, 6, 15), old.over = QDate(2004, 6, 14);
    recent.name = "recent", recent.buy = QDate(2023, 6, 15), recent.over = QDate(2024, 6, 14);
    InsertSale(old);
    InsertSale(recent);
    TFrmSaleManage* manager = NewManager();
    auto* op = manager->findChild<QComboBox*>("CmbOperator");
    auto* value = manager->findChild<QLineEdit*>("EditTJ");
    auto search = [&](int field, const QString& oper, const QString& text) {
        ChooseSearchField(field);
        op->setCurrentText(oper);
        value->setText(text);
        manager->BtnSearchClick();
        return ListedNames();
    };
    QCOMPARE(search(3, "<", "2005-1-1"), QStringList({"old"}));
    QCOMPARE(search(3, ">=", "2024-06-14"), QStringList({"recent"}));
    QCOMPARE(search(2, "=", "2023/6/15"), QStringList({"recent"}));
    QCOMPARE(search(2, "<>", "2023-6-15"), QStringList({"old"}));
    QVERIFY(m_dialogs->Boxes().isEmpty());
    QCOMPARE(search(3, "<", QStringLiteral("明年")), QStringList());
    QCOMPARE(m_dialogs->Texts(), QStringList({QStringLiteral("查询出错,请检查条件!")}));
}

void TestSaleForms::searchIgnoresLatinCaseAndCountsNumerically()
{
    Sale i5, ryzen, big, odd;
    i5.name = "i5", i5.amount = "2";
    ryzen.name = "ryzen", ryzen.cpu = "AMD Ryzen 5", ryzen.amount = "5";
    big.name = "big", big.cpu = QStringLiteral("Intel Core i5 处理器"), big.amount = "10";
    big.buy = QDate(2027, 11, 28);
    // An amount that is no number (an older import) counts as 0; a name in
    // Cyrillic capitals, whose case only Latin letters lose.
    odd.name = QStringLiteral("ДОМ"), odd.cpu = QStringLiteral("ДОМ"), odd.amount = QStringLiteral("几");
    for (const Sale& s : {i5, ryzen, big, odd})
        InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    auto search = [&](int field, const QString& oper, const QString& text) {
        ChooseSearchField(field);
        manager->findChild<QComboBox*>("CmbOperator")->setCurrentText(oper);
        manager->findChild<QLineEdit*>("EditTJ")->setText(text);
        manager->BtnSearchClick();
        return ListedNames();
    };
    QCOMPARE(search(5, "=", "intel core i5"), QStringList({"i5"}));
    QCOMPARE(search(5, "=", QStringLiteral("INTEL CORE I5 处理器")), QStringList({"big"}));
    QCOMPARE(search(5, "<>", "amd ryzen 5"), QStringList({"i5", "big", QStringLiteral("ДОМ")}));
    QCOMPARE(search(4, ">", "5"), QStringList({"big"}));
    QCOMPARE(search(4, "<=", "5"), QStringList({"i5", "ryzen", QStringLiteral("ДОМ")}));
    QCOMPARE(search(5, "=", QStringLiteral("дом")), QStringList());
    QCOMPARE(search(5, "=", QStringLiteral("ДОМ")), QStringList({QStringLiteral("ДОМ")}));
    QCOMPARE(search(2, "=", QStringLiteral("2027年11月28日")), QStringList({"big"}));
    QCOMPARE(search(2, "=", "2027.11.28"), QStringList({"big"}));
    QVERIFY(m_dialogs->Boxes().isEmpty());
    QCOMPARE(search(4, ">", QStringLiteral("五")), QStringList());
    QCOMPARE(m_dialogs->Texts(), QStringList({QStringLiteral("查询出错,请检查条件!")}));
}

void TestSaleForms::searchNeedsAFieldAndKeepsItForTheRun()
{
    InsertSale({});
    TFrmSaleManage* manager = NewManager();
    QCOMPARE(manager->findChild<QComboBox*>("CmbSearchName")->currentIndex(), -1);
    manager->findChild<QLineEdit*>("EditTJ")->setText(QStringLiteral("张伟"));
    manager->BtnSearchClick();
    QCOMPARE(m_dialogs->Texts(), QStringList({QStringLiteral("查询出错,请检查条件!")}));

    ChooseSearchField(0);
    manager = NewManager(); // a window opened later in the run
    QCOMPARE(manager->findChild<QComboBox*>("CmbSearchName")->currentIndex(), 0);
    manager->findChild<QLineEdit*>("EditTJ")->setText(QStringLiteral("张伟"));
    manager->BtnSearchClick();
    QCOMPARE(manager->Model()->rowCount(), 1);
    QCOMPARE(m_dialogs->Boxes().size(), 1);
}

void TestSaleForms::searchValueWithQuotesIsJustAValue()
{
    Sale quoted;
    quoted.addr = QStringLiteral("北京\"东'城");
    InsertSale(quoted);
    InsertSale({});
    TFrmSaleManage* manager = NewManager();
    ChooseSearchField(1);
    auto* value = manager->findChild<QLineEdit*>("EditTJ");
    value->setText(quoted.addr);
    manager->BtnSearchClick();
    QCOMPARE(manager->Model()->rowCount(), 1);
    value->setText("\" or \"1\"=\"1");
    manager->BtnSearchClick();
    QCOMPARE(manager->Model()->rowCount(), 0);
    QVERIFY(m_dialogs->Boxes().isEmpty());
    QCOMPARE(Rows(), 2);
}

void TestSaleForms::deleteOneAsksAndDropsTheRow()
{
    Sale a, b, c;
    a.name = "A", b.name = "B", c.name = "C";
    for (const Sale& s : {a, b, c})
        InsertSale(s);
    TFrmSaleManage* manager = NewManager();
    manager->TBtnAllClick();
    auto* del = manager->findChild<QPushButton*>("BtnDel");
    QTest::mouseClick(del, Qt::LeftButton); // nothing selected: nothing asked
    QVERIFY(m_dialogs->Boxes().isEmpty());

    manager->findChild<QTableView*>("ListView1")->selectRow(1);
    m_dialogs->QueueAnswer(Dialogs::No);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(Rows(), 3);
    QCOMPARE(m_dialogs->Boxes()[0].caption, QStringLiteral("确定删除"));
    QCOMPARE(m_dialogs->Boxes()[0].text, QStringLiteral("你确定要删除该项信息吗？删除后资料是不可恢复的！"));

    m_dialogs->QueueAnswer(Dialogs::Yes);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(NamesInIdOrder(), QString("AC"));
    QCOMPARE(ListedNames(), QStringList({"A", "C"}));
    QCOMPARE(manager->StatusText(), QStringLiteral("共有 [3] 项"));
}

void TestSaleForms::closingTheDialogReloadsTheToolbarFilter()
{
    const QDate today = QDate::currentDate();
    Sale expired, current, special;
    expired.name = "E", expired.over = today.addDays(-5);
    current.name = "C";
    special.name = "S", special.tb = "1";
    for (const Sale& s : {expired, current, special})
        InsertSale(s);

    // Never loaded: after an entry the list shows the ordinary customers.
    TFrmSaleManage* manager = NewManager();
    manager->TBtnEnterClick();
    Box("EUser")->setText("N");
    Box("EAddr")->setText("X");
    Click("BtnAdd");
    Click("BtnExit1");
    QVERIFY(!Dialog()->isVisible());
    QCOMPARE(ListedNames(), QStringList({"E", "C", "N"}));

    // A context-menu filter does not survive the dialog; the toolbar's does.
    manager->BtnWGBClick();
    manager->N15Click();
    QCOMPARE(ListedNames(), QStringList({"E"}));
    manager->findChild<QTableView*>("ListView1")->selectRow(0);
    manager->N11Click();
    QTest::keyClick(Dialog(), Qt::Key_Escape); // closed without saving
    QVERIFY(!Dialog()->isVisible());
    QCOMPARE(ListedNames(), QStringList({"C", "S", "N"}));
    QCOMPARE(manager->StatusText(), QStringLiteral("共有 [3] 项"));

    // The menu opens an entry dialog of its own; its closing is heard too.
    Sale later;
    later.name = "L";
    InsertSale(later);
    TFrmInputInfo own;
    own.SetAddMode(true);
    own.show();
    own.close();
    QCOMPARE(ListedNames(), QStringList({"C", "S", "N", "L"}));
}

QTEST_MAIN(TestSaleForms)
#include "tst_saleforms.moc"
