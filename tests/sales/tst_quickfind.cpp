// Quick find: the trigram index kept by triggers, fragments of two and more
// characters, the upgrade of an older database, and the box of the manager;
// on a server, the index each search of the record manager reads.
#include "QuickFind.h"
#include "SaleExport.h"
#include "SaleListModel.h"
#include "SalesFixture.h"
#include "Schema.h"
#include "ScriptedDialogs.h"
#include "SqlDialect.h"
#include "TFrmInputInfo.h"
#include "TFrmSaleManage.h"
#include "TestEnv.h"
#include "WarrantyCardCode.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestQuickFind : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fragmentOfTheTypedText();
    void findsFragmentsOfEveryColumn();
    void indexFollowsInsertEditAndDelete();
    void upgradeIndexesExistingRecords();
    void recordOfIdMinusOneStaysFound();
    void upgradeMendsIndexesEmptiedByIdMinusOne();
    void exportWritesWhatWasFound();
    void boxInTheManager();
    void scannedCardOpensItsRecord();
    void serverSearchesReadAnIndex();
    void findsWhatAScanFinds();

private:
    // The ids quick find lists for a typed text, in list order.
    static QList<qint64> Find(const QString& typed);
    // The ids the phone index lists for digits, in list order.
    static QList<qint64> FindPhone(const QString& digits);

    std::unique_ptr<TestEnv> m_env;
};

void TestQuickFind::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
}

void TestQuickFind::cleanup()
{
    m_env.reset();
}

QList<qint64> TestQuickFind::Find(const QString& typed)
{
    QList<qint64> ids;
    SaleRecord::Condition condition;
    QString error;
    const QString fragment = QuickFind::Fragment(typed);
    if (fragment.isEmpty() || !QuickFind::FindCondition(fragment, &condition, &error))
        return {-1};
    SaleListModel model;
    if (!model.Load(condition, true, &error))
        return {-2};
    while (model.canFetchMore({}))
        model.fetchMore({});
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.RecordId(row);
    if (model.MatchCount() != ids.size())
        return {-3};
    return ids;
}

// The rows of an SQLite full-text index that match `phrase`, by id.
static QList<qint64> IndexMatches(SqlConnection* connection, const QString& table, const QString& phrase)
{
    QList<qint64> ids;
    SqlStatement find(connection,
                      "select rowid from " + table + " where " + table + " match ? order by rowid");
    if (find.Bind({phrase}))
        while (find.Step())
            ids << find.ColumnValue(0).toLongLong();
    return ids;
}

QList<qint64> TestQuickFind::FindPhone(const QString& digits)
{
    QList<qint64> ids;
    QString error;
    SaleListModel model;
    if (!model.Load(QuickFind::PhoneCondition(digits), true, &error))
        return {-2};
    while (model.canFetchMore({}))
        model.fetchMore({});
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.RecordId(row);
    return ids;
}

void TestQuickFind::fragmentOfTheTypedText()
{
    QCOMPARE(QuickFind::Fragment(QStringLiteral("  海淀 ")), QStringLiteral("海淀"));
    QCOMPARE(QuickFind::Fragment(QStringLiteral("12\t")), QStringLiteral("12"));
    QCOMPARE(QuickFind::Fragment(QStringLiteral("张")), QString());
    QCOMPARE(QuickFind::Fragment(QStringLiteral(" 1 ")), QString());
    // The index's own separator cannot be typed into a match.
    QCOMPARE(QuickFind::Fragment(QStringLiteral("北\x1f京")), QStringLiteral("北京"));
    // A character outside the BMP counts once.
    QCOMPARE(QuickFind::Fragment(QString::fromUcs4(U"\U00020000")), QString());
}

void TestQuickFind::findsFragmentsOfEveryColumn()
{
    Sale a, b, c, d;
    a.name = QStringLiteral("张三");
    a.addr = QStringLiteral("北京市海淀区中关村大街1号");
    b.name = QStringLiteral("李四");
    b.addr = QStringLiteral("上海市浦东新区");
    b.memo = QStringLiteral("客户要求上门 Service Ärger");
    c.name = QStringLiteral("王五");
    c.addr = QStringLiteral("天津市和平区");
    c.memo = QStringLiteral("会员价 50%_off\\VIP");
    d.name = QStringLiteral("张三丰");
    d.addr = QStringLiteral("海淀");
    const qint64 ia = InsertSale(a), ib = InsertSale(b), ic = InsertSale(c), id = InsertSale(d);
    QVERIFY(ia > 0 && id > 0);
    QVERIFY(ExecCommand("update SaleInfo set Phone=?, Mobile=?, Fax=? where id=?",
                        {"010-62751234", "13912345678", "无", ib}));
    QVERIFY(ExecCommand("update SaleInfo set Phone=?, Mobile=?, Fax=? where id=?",
                        {"022-23456789", "13611112222", "022-88881234", ic}));

    // Phone fragments: 4 digits in the phone of b and the fax of c; the
    // mobile fragment of b; a fragment spanning two columns finds nothing.
    QCOMPARE(Find("1234"), (QList<qint64>{ia, ib, ic, id}) /* fixture phone 010-62001234 */);
    QCOMPARE(Find("62751"), (QList<qint64>{ib}));
    QCOMPARE(Find("8888"), (QList<qint64>{ic}));
    QCOMPARE(Find("139123"), (QList<qint64>{ib}));
    QCOMPARE(Find("567813"), QList<qint64>{});
    // Chinese fragments of two and more characters, anywhere in the value.
    QCOMPARE(Find(QStringLiteral("海淀")), (QList<qint64>{ia, id}));
    QCOMPARE(Find(QStringLiteral("海淀区")), (QList<qint64>{ia}));
    QCOMPARE(Find(QStringLiteral("关村大")), (QList<qint64>{ia}));
    QCOMPARE(Find(QStringLiteral("张三")), (QList<qint64>{ia, id}));
    QCOMPARE(Find(QStringLiteral("三丰")), (QList<qint64>{id}));
    QCOMPARE(Find(QStringLiteral("和平")), (QList<qint64>{ic}));
    QCOMPARE(Find(QStringLiteral("广州")), QList<qint64>{});
    // The remarks, without regard to case; query syntax is only text.
    QCOMPARE(Find(QStringLiteral("service")), (QList<qint64>{ib}));
    QCOMPARE(Find(QStringLiteral("SE")), (QList<qint64>{ib}));
    // Letters beyond Latin lose their case too, never their accents.
    QCOMPARE(Find(QStringLiteral("ärger")), (QList<qint64>{ib}));
    QCOMPARE(Find(QStringLiteral("ÄR")), (QList<qint64>{ib}));
    QCOMPARE(Find(QStringLiteral("arger")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("\"上门")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("上门 OR 北京")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("门*")), QList<qint64>{});
    // Pattern characters are only text: "%", "_" and "\\" stand for themselves.
    QCOMPARE(Find(QStringLiteral("0%_o")), (QList<qint64>{ic}));
    QCOMPARE(Find(QStringLiteral("0%")), (QList<qint64>{ic}));
    QCOMPARE(Find(QStringLiteral("f\\v")), (QList<qint64>{ic}));
    QCOMPARE(Find(QStringLiteral("5__o")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("价%f")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("_o")), (QList<qint64>{ic}));
    // Component columns are not part of quick find.
    QCOMPARE(Find(QStringLiteral("Intel")), QList<qint64>{});
}

void TestQuickFind::indexFollowsInsertEditAndDelete()
{
    Sale s;
    s.name = QStringLiteral("赵六");
    s.addr = QStringLiteral("南京市鼓楼区");
    const qint64 id = InsertSale(s);
    QCOMPARE(Find(QStringLiteral("鼓楼")), (QList<qint64>{id}));

    // An edit as the entry dialog makes it: every column written again.
    QVERIFY(ExecCommand("update SaleInfo set Name=?, addr=?, CPU=? where id=?",
                        {QStringLiteral("赵七"), QStringLiteral("南京市玄武区"), "AMD", id}));
    QCOMPARE(Find(QStringLiteral("鼓楼")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("赵六")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("玄武")), (QList<qint64>{id}));
    QCOMPARE(Find(QStringLiteral("赵七")), (QList<qint64>{id}));
    // A column outside the index changes nothing; null values index as empty.
    QVERIFY(ExecCommand("update SaleInfo set Memo=null, Fax=null where id=?", {id}));
    QCOMPARE(Find(QStringLiteral("南京市")), (QList<qint64>{id}));

    // A row replaced by an insert of the same id (as an import may do; a
    // server has no such insert: the row is deleted and inserted again).
    if (TestEnv::OnServer()) {
        SqlTransaction replace(CurrentConnection());
        QVERIFY(ExecCommand("delete from SaleInfo where id=?", {id}));
        QVERIFY(ExecCommand("insert into SaleInfo (id, Name, addr) values (?, ?, ?)",
                            {id, QStringLiteral("赵八"), QStringLiteral("南京市江宁区")}));
        QVERIFY(replace.Commit());
    } else {
        QVERIFY(ExecCommand("insert or replace into SaleInfo (id, Name, addr) values (?, ?, ?)",
                            {id, QStringLiteral("赵八"), QStringLiteral("南京市江宁区")}));
    }
    QCOMPARE(Find(QStringLiteral("玄武")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("江宁")), (QList<qint64>{id}));
    // A plain insert that fails on the id leaves the index as it was.
    QVERIFY(!ExecCommand("insert into SaleInfo (id, Name) values (?, 'x')", {id}));
    QCOMPARE(Find(QStringLiteral("江宁")), (QList<qint64>{id}));

    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {id}));
    QCOMPARE(Find(QStringLiteral("南京")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("赵八")), QList<qint64>{});
    // The index holds nothing of the deleted rows (a contentless index that
    // was given the wrong text would keep their trigrams).  A server keeps
    // its index itself.
    if (!TestEnv::OnServer())
        QCOMPARE(
            m_env->Scalar("select count(*) from SaleFindTerms where term like '%玄武%' or term like '%江宁%'")
                .toInt(),
            0);
}

void TestQuickFind::upgradeIndexesExistingRecords()
{
    if (TestEnv::OnServer())
        QSKIP("about the SQLite index and its triggers");
    // A database as the previous version made it, with records.
    const QString file = m_env->Dir() + "older.mdb";
    SqlConnection older;
    QVERIFY(older.Create(file));
    QString error;
    QVERIFY2(Schema::Upgrade(older, &error, Schema::QuickFindVersion - 1), qPrintable(error));
    QCOMPARE(Schema::Version(older), Schema::QuickFindVersion - 1);
    QVERIFY(older.ExecRaw(
        "insert into SaleInfo (Name, Phone, addr) values ('孙八', '0551-5557777', '合肥市蜀山区')"));
    QVERIFY(older.ExecRaw(
        "insert into SaleInfo (Name, Phone, addr) values ('周九', '0551-1234567', '合肥市庐阳区')"));
    SqlStatement missing(&older, "select count(*) from SaleFind");
    QVERIFY(!missing.IsValid());

    QVERIFY2(Schema::Upgrade(older, &error), qPrintable(error));
    QCOMPARE(Schema::Version(older), Schema::CurrentVersion);
    const auto matches = [&older](const QString& phrase) { return IndexMatches(&older, "SaleFind", phrase); };
    QCOMPARE(matches(QStringLiteral("\"5557\"")), (QList<qint64>{1}));
    QCOMPARE(matches(QStringLiteral("\"合肥市\"")), (QList<qint64>{1, 2}));
    // And the triggers run from then on.
    QVERIFY(older.ExecRaw("delete from SaleInfo where id=1"));
    QCOMPARE(matches(QStringLiteral("\"合肥市\"")), (QList<qint64>{2}));
}

// Before an insert that names no id, the new row's id reads -1: a stored
// record of that id (only an insert naming it makes one) must keep its
// entries in both indexes through the ordinary inserts after it.
void TestQuickFind::recordOfIdMinusOneStaysFound()
{
    QVERIFY(ExecCommand("insert into SaleInfo (id, Name, Phone, addr) values (-1, ?, ?, ?)",
                        {QStringLiteral("钱十一"), "0551-7778888", QStringLiteral("合肥市包河区")}));
    QList<qint64> later;
    for (const char* name : {"孙一", "孙二", "孙三"}) {
        Sale s;
        s.name = QString::fromUtf8(name);
        later << InsertSale(s);
    }
    QCOMPARE(Find(QStringLiteral("钱十一")), (QList<qint64>{-1}));
    QCOMPARE(Find(QStringLiteral("包河")), (QList<qint64>{-1}));
    QCOMPARE(FindPhone(QStringLiteral("7778888")), (QList<qint64>{-1}));
    QCOMPARE(Find(QStringLiteral("孙二")), (QList<qint64>{later[1]}));

    QVERIFY(ExecCommand("update SaleInfo set Name=?, Phone=? where id=-1",
                        {QStringLiteral("钱十二"), "0551-6665555"}));
    QCOMPARE(Find(QStringLiteral("钱十一")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("钱十二")), (QList<qint64>{-1}));
    QCOMPARE(FindPhone(QStringLiteral("6665555")), (QList<qint64>{-1}));
    QVERIFY(ExecCommand("delete from SaleInfo where id=-1"));
    QCOMPARE(Find(QStringLiteral("钱十二")), QList<qint64>{});
    QCOMPARE(FindPhone(QStringLiteral("6665555")), QList<qint64>{});
    QCOMPARE(Find(QStringLiteral("孙三")), (QList<qint64>{later[2]}));
    if (!TestEnv::OnServer())
        QCOMPARE(m_env->Scalar("select count(*) from SaleFindTerms where term like '%包河%'").toInt(), 0);
}

void TestQuickFind::upgradeMendsIndexesEmptiedByIdMinusOne()
{
    if (TestEnv::OnServer())
        QSKIP("about the SQLite indexes and their triggers");
    const QString file = m_env->Dir() + "older.mdb";
    SqlConnection older;
    QVERIFY(older.Create(file));
    QString error;
    QVERIFY2(Schema::Upgrade(older, &error, Schema::ReplaceTriggerVersion - 1), qPrintable(error));
    QVERIFY(older.ExecRaw("insert into SaleInfo (id, Name, Phone, addr)"
                          " values (-1, '钱十一', '0551-7778888', '合肥市包河区')"));
    const QString insert =
        QStringLiteral("insert into SaleInfo (Name, Phone, addr) values ('孙一', '0551-1234567', '合肥市')");
    QVERIFY(older.ExecRaw(insert));
    const auto matches = [&older](const QString& table, const QString& phrase) {
        return IndexMatches(&older, table, phrase);
    };
    // The fault as the earlier triggers left it: the record's text is gone,
    // and the next sale can no longer be stored.
    QCOMPARE(matches("SaleFind", QStringLiteral("\"钱十一\"")), QList<qint64>{});
    QCOMPARE(matches("SalePhoneFind", QStringLiteral("\"7778888\"")), QList<qint64>{});
    QVERIFY(!older.ExecRaw(insert));

    QVERIFY2(Schema::Upgrade(older, &error), qPrintable(error));
    QCOMPARE(matches("SaleFind", QStringLiteral("\"钱十一\"")), (QList<qint64>{-1}));
    QCOMPARE(matches("SaleFind", QStringLiteral("\"合肥市\"")), (QList<qint64>{-1, 1}));
    QCOMPARE(matches("SalePhoneFind", QStringLiteral("\"7778888\"")), (QList<qint64>{-1}));
    QCOMPARE(matches("SalePhoneFind", QStringLiteral("\"1234567\"")), (QList<qint64>{1}));
    // The remade triggers are the ones a new database has: the check that
    // refuses objects of another hand finds none.
    Schema::ObjectCheck objects;
    QVERIFY2(Schema::CheckObjects(older, &objects, &error), qPrintable(error));
    QVERIFY2(objects.IsClean(), qPrintable(objects.foreign.join(',') + objects.missing.join(',')));
    // Sales are stored again, and the record keeps its entries through them.
    QVERIFY2(older.ExecRaw(insert) && older.ExecRaw(insert), qPrintable(older.ErrorString()));
    QCOMPARE(matches("SaleFind", QStringLiteral("\"钱十一\"")), (QList<qint64>{-1}));
    QCOMPARE(matches("SaleFind", QStringLiteral("\"合肥市\"")), (QList<qint64>{-1, 1, 2, 3}));
    QCOMPARE(matches("SalePhoneFind", QStringLiteral("\"7778888\"")), (QList<qint64>{-1}));
}

void TestQuickFind::exportWritesWhatWasFound()
{
    Sale a, b, c;
    a.name = QStringLiteral("钱一");
    a.addr = QStringLiteral("苏州市姑苏区");
    b.name = QStringLiteral("钱二");
    b.addr = QStringLiteral("无锡市梁溪区");
    c.name = QStringLiteral("钱三");
    c.addr = QStringLiteral("苏州市吴中区");
    QVERIFY(InsertSale(a) > 0 && InsertSale(b) > 0 && InsertSale(c) > 0);
    QTemporaryDir out;
    // A long fragment goes to the index itself, a two-character one through
    // its vocabulary: both export the rows listed, and only those.
    for (const QString& typed : {QStringLiteral("苏州市"), QStringLiteral("苏州"), QStringLiteral("钱二")}) {
        SaleRecord::Condition condition;
        QString error;
        QVERIFY(QuickFind::FindCondition(QuickFind::Fragment(typed), &condition, &error));
        const QString file = out.filePath(typed + ".csv");
        qint64 written = 0;
        QCOMPARE(SaleExport::Write(condition, file, SaleExport::Format::Csv, {}, &written, &error),
                 SaleExport::Outcome::Done);
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(csv.readAll());
        const bool second = typed == QStringLiteral("钱二");
        QCOMPARE(written, second ? 1 : 2);
        QCOMPARE(text.contains(QStringLiteral("钱一")), !second);
        QCOMPARE(text.contains(QStringLiteral("钱二")), second);
        QCOMPARE(text.contains(QStringLiteral("钱三")), !second);
    }
}

void TestQuickFind::boxInTheManager()
{
    FakeShell shell;
    Sale a, b, special;
    a.addr = QStringLiteral("成都市武侯区");
    b.addr = QStringLiteral("成都市锦江区");
    special.tb = "1";
    special.addr = QStringLiteral("重庆市渝中区");
    const qint64 ia = InsertSale(a), ib = InsertSale(b), is = InsertSale(special);
    QVERIFY(ia > 0 && ib > 0 && is > 0);

    TFrmSaleManage manager;
    shell.manager = &manager;
    manager.show();
    auto* find = manager.findChild<QLineEdit*>("EditFind");
    QVERIFY(find);
    QCOMPARE(manager.findChild<QLabel*>("Label2")->buddy(), find);

    // Esc with nothing listed before leaves the window as it began.
    TypeText(find, QStringLiteral("成都"));
    QTRY_COMPARE(manager.Model()->rowCount(), 2);
    QCOMPARE(manager.StatusText(), QStringLiteral("共有 [2] 项"));
    QTest::keyClick(find, Qt::Key_Escape);
    QCOMPARE(find->text(), QString());
    QCOMPARE(manager.Model()->rowCount(), 0);

    // Over a filter: Esc returns to it; ListMode stays the toolbar's.
    manager.TBtnTSClick();
    QCOMPARE(manager.Model()->rowCount(), 1);
    TypeText(find, QStringLiteral("锦江"));
    QTRY_COMPARE(manager.Model()->RecordId(0), ib);
    QCOMPARE(manager.Model()->rowCount(), 1);
    QCOMPARE(manager.ListMode, int(TFrmSaleManage::ModeSpecial));
    // The entry dialog closing reloads the find, which sees the edit.
    QVERIFY(ExecCommand("update SaleInfo set addr=? where id=?", {QStringLiteral("成都市锦江区春熙路"), ia}));
    manager.ReloadList();
    QCOMPARE(manager.Model()->rowCount(), 2);
    QTest::keyClick(find, Qt::Key_Escape);
    QCOMPARE(manager.Model()->rowCount(), 1);
    QCOMPARE(manager.Model()->RecordId(0), is);
    QCOMPARE(manager.StatusText(), QStringLiteral("共有 [1] 项"));

    // Shortened to one character, the list of the filter is back; a filter
    // chosen over a find empties the box.
    TypeText(find, QStringLiteral("成都"));
    QTRY_COMPARE(manager.Model()->rowCount(), 2);
    QTest::keyClick(find, Qt::Key_Backspace);
    QTRY_COMPARE(manager.Model()->rowCount(), 1);
    QCOMPARE(find->text(), QStringLiteral("成"));
    TypeText(find, QStringLiteral("都"));
    QTRY_COMPARE(manager.Model()->rowCount(), 2);
    manager.TBtnAllClick();
    QCOMPARE(find->text(), QString());
    QCOMPARE(manager.Model()->rowCount(), 3);
}

void TestQuickFind::scannedCardOpensItsRecord()
{
    FakeShell shell;
    ScriptedDialogs dialogs;
    Sale a, b;
    a.name = QStringLiteral("陈静");
    b.name = QStringLiteral("陈静怡");
    const qint64 ia = InsertSale(a), ib = InsertSale(b);
    QVERIFY(ia > 0 && ib > 0);
    TFrmSaleManage manager;
    shell.manager = &manager;
    manager.show();
    manager.TBtnAllClick();
    QCOMPARE(manager.Model()->rowCount(), 2);
    auto* find = manager.findChild<QLineEdit*>("EditFind");

    // The card was printed before the customer's name was corrected.  A
    // scanner types each line and Enter after it.
    const QString code = WarrantyCardCodeText(ia, QStringLiteral("陈小静"), QDate(2026, 1, 1),
                                              QDate(2027, 1, 1), QStringLiteral("岚石电脑商行"));
    for (const QString& line : code.split('\n')) {
        TypeText(find, line);
        QTest::keyClick(find, Qt::Key_Return);
    }
    QCOMPARE(find->text(), QString());
    QCOMPARE(manager.Model()->rowCount(), 1);
    QCOMPARE(manager.Model()->RecordId(0), ia);
    // Opened once the card's lines have ended, with the record's own values.
    TFrmInputInfo* dialog = FrmInputInfo();
    QTRY_VERIFY(dialog->isVisible());
    QCOMPARE(dialog->findChild<QLineEdit*>("EUser")->text(), QStringLiteral("陈静"));
    dialog->hide();
    // Esc returns to the list the scan replaced.
    QTest::keyClick(find, Qt::Key_Escape);
    QCOMPARE(manager.Model()->rowCount(), 2);

    // A card of a deleted record says so; ordinary text with Enter is found.
    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {ib}));
    TypeText(find, QStringLiteral("保修档案编号：%1").arg(ib));
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(manager.Model()->rowCount(), 0);
    QTRY_VERIFY(!dialogs.Texts().isEmpty());
    QVERIFY(dialogs.Texts().last().contains(QStringLiteral("没有找到保修档案编号为 %1 的记录").arg(ib)));
    QVERIFY(!dialog->isVisible());
    TypeText(find, QStringLiteral("陈静"));
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(manager.Model()->rowCount(), 1);
}

namespace {

// The plan of "select id from SaleInfo where <condition>", one line a step.
QString PlanOf(const SaleRecord::Condition& condition)
{
    SqlStatement plan(CurrentConnection(), "explain select id from SaleInfo where " + condition.where);
    QStringList lines;
    if (plan.Bind(condition.args))
        while (plan.Step())
            lines << plan.ColumnValue(0).toString();
    return plan.Failed() || !plan.IsValid() ? plan.ErrorString() : lines.join('\n');
}

// Whether `plan` reads `index` for its condition ("Index Scan using <index>",
// "Bitmap Index Scan on <index>").
bool ReadsIndex(const QString& plan, const QString& index)
{
    return (plan.contains("using " + index + " ", Qt::CaseInsensitive) ||
            plan.contains("on " + index + " ", Qt::CaseInsensitive)) &&
           plan.contains("Index Cond");
}

} // namespace

void TestQuickFind::serverSearchesReadAnIndex()
{
    if (!CurrentConnection()->IsServer())
        QSKIP("the server's plans only");
    // 400 rows, each value of a column in one row; the planner told not to
    // read the table whole where any index serves, so that its choice does
    // not hang on the table's size.
    QVERIFY(InsertGenerated(SaleColumns, 400, [](int i) {
        const QString v = QStringLiteral("值%1").arg(i);
        const QDate buy = QDate(2020, 1, 1).addDays(i);
        SqlArgs row{v, v, v, v, v, buy, buy.addDays(365), "0", QString::number(i)};
        for (int c = 0; c < 19; ++c)
            row << SqlArg(v);
        return row;
    }));
    QVERIFY(CurrentConnection()->ExecRaw("ANALYZE SaleInfo"));
    QVERIFY(CurrentConnection()->ExecRaw("SET enable_seqscan = off"));
    // Every searchable column, with "=" (a value of one row) and with a
    // range of a few rows; dates through their own indexes.
    for (const SaleRecord::SearchField& field : SaleRecord::SearchFields()) {
        const QString column = QLatin1String(field.column);
        QString index = "saleinfo_search_" + column.toLower();
        QString value = QStringLiteral("值17");
        QString range = QStringLiteral("值9");
        if (field.isDate) {
            const bool overRun = column.toLower() == "overrun";
            index = overRun ? "saleinfo_overrun" : "saleinfo_buydate";
            value = QStringLiteral("2021-01-18");
            range = overRun ? QStringLiteral("2021-12-01") : QStringLiteral("2021-01-30");
        } else if (field.isNumber) {
            value = QStringLiteral("17");
            range = QStringLiteral("395");
        }
        for (const auto& [op, typed] : {std::pair{"=", value}, std::pair{">=", range}}) {
            SaleRecord::Condition condition;
            QString error;
            QVERIFY2(SaleRecord::SearchCondition(column, op, typed, &condition, &error), qPrintable(error));
            const QString plan = PlanOf(condition);
            QVERIFY2(ReadsIndex(plan, index), qPrintable(column + op + typed + ":\n" + plan));
            // And finds its rows through it.
            SqlStatement count(CurrentConnection(), "select count(*) from SaleInfo where " + condition.where);
            QVERIFY(count.Bind(condition.args) && count.Step());
            QVERIFY2(count.ColumnValue(0).toLongLong() >= 1, qPrintable(column + op + typed));
        }
    }
    // Quick find's "contains" reads the trigram index.
    SaleRecord::Condition find;
    QString error;
    QVERIFY(QuickFind::FindCondition(QStringLiteral("值17"), &find, &error));
    const QString plan = PlanOf(find);
    QVERIFY2(ReadsIndex(plan, "saleinfo_find"), qPrintable(plan));
    // The condition a list counts and pages through: the trigram index for
    // three characters; for two the index of pairs, which needs no test of
    // the rows it finds (no ILIKE left in the plan).
    for (const auto& [typed, index] :
         {std::pair{"值17", "saleinfo_find"}, std::pair{"值1", "saleinfo_findpairs"},
          std::pair{"7值", "saleinfo_findpairs"}}) {
        QVERIFY(QuickFind::FindCondition(QString::fromUtf8(typed), &find, &error));
        QVERIFY(!find.indexWhere.isEmpty());
        const QString indexed = PlanOf({find.indexWhere, find.indexArgs});
        QVERIFY2(ReadsIndex(indexed, index), qPrintable(indexed));
        if (QLatin1String(index) == QLatin1String("saleinfo_findpairs"))
            QVERIFY2(!indexed.contains("~~*"), qPrintable(indexed));
    }
    QVERIFY(CurrentConnection()->ExecRaw("RESET enable_seqscan"));
}

void TestQuickFind::findsWhatAScanFinds()
{
    // 5000 records whose fragments match from none to all of them, so that
    // both ways of reading a list of matches run: few matches sorted from
    // the index, many by walking the ids.  Latin letters in both cases,
    // Chinese, digits and the pattern characters.
    const int count = 5000;
    const auto value = [](int i, int column) -> QString {
        switch (column) {
        case 0: // Name
            return QStringList{"张三", "李Ab", "王%五", "赵_六", "Zo\\q", "陈静"}[i % 6] +
                   QString::number(i % 10);
        case 1: // Phone
            return QStringLiteral("010-%1").arg(62000000 + i * 37);
        case 2: // Fax
            return i % 3 == 0 ? QStringLiteral("无") : QStringLiteral("传真%1").arg(i % 100);
        case 3: // Mobile
            return QStringLiteral("13%1").arg(800000000 + i * 7919);
        case 4: // addr
            return i % 97 == 0  ? QStringLiteral("北京市海淀区Xy路")
                   : i % 3 == 0 ? QStringLiteral("北京市海淀区")
                                : QStringLiteral("上海abc%1号").arg(i % 50);
        default: // Memo
            return i % 7 == 0    ? QStringLiteral("VIP客户 AbC")
                   : i % 11 == 0 ? QStringLiteral("50%_off")
                                 : QString();
        }
    };
    const QList<int> findColumns{0, 1, 2, 3, 4, 27};
    QVERIFY(InsertGenerated(SaleColumns, count, [&value, &findColumns](int i) {
        SqlArgs row;
        for (int c = 0; c < 28; ++c) {
            const int at = int(findColumns.indexOf(c));
            if (at >= 0)
                row << SqlArg(value(i, at));
            else
                row << (c == 5 || c == 6 ? SqlArg(QStringLiteral("2024-01-01 00:00:00")) : SqlArg(QString()));
        }
        return row;
    }));
    if (TestEnv::OnServer())
        QVERIFY(CurrentConnection()->ExecRaw("ANALYZE SaleInfo"));
    QList<qint64> ids;
    SqlStatement read(CurrentConnection(), "select id from SaleInfo order by id");
    while (read.Step())
        ids << read.ColumnInt64(0);
    QCOMPARE(ids.size(), count);
    // The ids of the records holding `fragment`, letters compared in lower case.
    const auto scan = [&](const QString& fragment) {
        QList<qint64> found;
        for (int i = 1; i <= count; ++i) {
            QStringList texts;
            for (int c = 0; c < 6; ++c)
                texts << value(i, c).toLower();
            for (const QString& text : std::as_const(texts))
                if (text.contains(fragment.toLower())) {
                    found << ids[i - 1];
                    break;
                }
        }
        return found;
    };
    // The list read as a view may: its last row first, then from the start.
    const auto listed = [](const QString& fragment) -> QList<qint64> {
        SaleRecord::Condition condition;
        QString error;
        if (!QuickFind::FindCondition(fragment, &condition, &error))
            return {-1};
        SaleListModel model;
        if (!model.Load(condition, true, &error))
            return {-2};
        if (model.rowCount() > 0 && model.RecordId(model.rowCount() - 1) <= 0)
            return {-3};
        QList<qint64> found;
        for (int row = 0; row < model.rowCount(); ++row)
            found << model.RecordId(row);
        return model.MatchCount() == found.size() ? found : QList<qint64>{-4};
    };
    bool few = false, many = false;
    QStringList fragments{"北京", "海淀区", "xY", "Xy路", "ab",  "AB",    "abc",  "VIP", "01", "0-6", "13",
                          "%_",   "0%",     "_o", "\\q",  "o\\", "传真1", "京海", "无",  "号", "静3", "q张"};
    // One character is never typed into the box (it has no index entry on
    // SQLite); the server finds it by reading every record.
    if (TestEnv::OnServer())
        fragments << "海"
                  << "a"
                  << "%"
                  << "_"
                  << "\\";
    for (const QString& fragment : std::as_const(fragments)) {
        const QList<qint64> expected = scan(fragment);
        few = few || (!expected.isEmpty() && expected.size() < PagedListModel::IndexSortLimit);
        many = many || expected.size() > PagedListModel::IndexSortLimit;
        QCOMPARE(listed(fragment), expected);
    }
    QVERIFY(few && many);
}

QTEST_MAIN(TestQuickFind)
#include "tst_quickfind.moc"
