// Sale records in and out of files: export, import with its preview and
// refusals, the purge that keeps a copy, and files meant to do harm.
#include "ChangeLog.h"
#include "GbkText.h"
#include "SaleExport.h"
#include "SaleFileActions.h"
#include "SaleImport.h"
#include "SaleImportRun.h"
#include "SaleListModel.h"
#include "SalePurge.h"
#include "SalesFixture.h"
#include "ScriptedDialogs.h"
#include "TFrmSaleImport.h"
#include "TFrmSaleManage.h"
#include "TestEnv.h"
#include "XlsReader.h"
#include "XlsxReader.h"
#include "ZipWriter.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLockFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utime.h>

namespace {

const QString& AllColumns = SaleColumns;

// Every row of a query as texts.
QVector<QStringList> Rows(const QString& sql, const SqlArgs& args = {})
{
    QVector<QStringList> rows;
    SqlStatement select(CurrentConnection(), sql);
    if (!select.Bind(args))
        return rows;
    while (select.Step()) {
        QStringList row;
        for (int c = 0; c < select.ColumnCount(); ++c)
            row << select.ColumnValue(c).toString();
        rows << row;
    }
    return rows;
}

// Every stored field of every record but the key, in id order.
QVector<QStringList> StoredRows()
{
    return Rows("select " + AllColumns + " from SaleInfo order by id");
}

qint64 Count(const QString& where = QString())
{
    SqlStatement count(CurrentConnection(),
                       "select count(*) from SaleInfo" + (where.isEmpty() ? "" : " where " + where));
    return count.Step() ? count.ColumnValue(0).toLongLong() : -1;
}

// Records as the entry dialog stores them, with the awkward cases a file
// must carry: commas, quotes, line breaks, leading zeros, blanks at the ends,
// the longest texts the fields hold, both classes.
void Generate(int count)
{
    SqlTransaction transaction(CurrentConnection());
    SqlStatement insert(CurrentConnection(),
                        "insert into SaleInfo (" + AllColumns +
                            ") values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    const QString none = QStringLiteral("无");
    for (int i = 0; i < count; ++i) {
        const QDate buy = QDate(2010, 1, 1).addDays(i * 3);
        SqlArgs args{QStringLiteral("客户%1").arg(i % 10000),
                     i % 3 == 0 ? none : QStringLiteral("010-%1").arg(62000000 + i),
                     i % 5 == 0 ? QStringLiteral("0%1").arg(1062000000 + i) : none,
                     QStringLiteral("138%1").arg(10000000 + i),
                     i % 4 == 0 ? QStringLiteral("北京市\"海淀\"区,学院路%1号").arg(i)
                                : QStringLiteral("上海市徐汇区"),
                     buy,
                     buy.addDays(i % 2 ? 365 : 730),
                     i % 7 == 0 ? "1" : "0",
                     QString::number(i % 12 + 1),
                     i % 2 ? QStringLiteral("Intel Core i5-12400") : none,
                     QStringLiteral("16GB DDR4"),
                     i % 9 == 0 ? QStringLiteral(" 前后有空格 ") : QStringLiteral("512GB 固态"),
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     none,
                     i % 11 == 0 ? QString(100, QChar(0x4E2D)) : none,
                     i % 6 == 0 ? QStringLiteral("第一行\n第二行，含\"引号\"")
                                : (i % 13 == 0 ? QStringLiteral("=1+1") : none)};
        QVERIFY(insert.Reset() && insert.Exec(args));
    }
    QVERIFY(transaction.Commit());
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Utf8Bom(const QString& text)
{
    return "\xEF\xBB\xBF" + text.toUtf8();
}

SaleImport::Preview Analyse(const QString& file)
{
    SaleImport::Preview preview;
    QString error;
    const SaleImport::Outcome outcome = SaleImport::Analyse(file, &preview, &error);
    if (outcome != SaleImport::Outcome::Done)
        qWarning("analyse failed: %s", qPrintable(error));
    return preview;
}

qint64 Import(const QString& file, bool skipDuplicates = true)
{
    const SaleImport::Preview preview = Analyse(file);
    qint64 written = -1;
    QString error;
    if (SaleImport::Write(preview, skipDuplicates, &written, &error) != SaleImport::Outcome::Done)
        qWarning("write failed: %s", qPrintable(error));
    return written;
}

} // namespace

class TestSaleTransfer : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
            QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_shell = std::make_unique<FakeShell>();
    }
    void cleanup()
    {
        delete m_manager;
        QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join('\n')));
        m_shell.reset();
        m_dialogs.reset();
        m_env.reset();
    }

    void roundTripThroughWorkbookAndCsv()
    {
        Generate(1000);
        const QVector<QStringList> original = StoredRows();
        QCOMPARE(original.size(), 1000);
        QTemporaryDir out;
        for (const char* name : {"all.xlsx", "all.csv"}) {
            qint64 written = 0;
            QString error;
            const QString file = out.filePath(name);
            QCOMPARE(SaleExport::Write(SaleRecord::AllCustomers(), file, SaleExport::FormatOf(file), {},
                                       &written, &error),
                     SaleExport::Outcome::Done);
            QCOMPARE(written, 1000);
        }
        // Into an empty database.
        m_env = std::make_unique<TestEnv>();
        for (const char* name : {"all.xlsx", "all.csv"}) {
            QVERIFY(ExecCommand("delete from SaleInfo"));
            const SaleImport::Preview preview = Analyse(out.filePath(name));
            QCOMPARE(preview.rows, 1000);
            QCOMPARE(preview.accepted, 1000);
            QCOMPARE(preview.refusedRows, 0);
            QVERIFY(preview.unmatched.isEmpty());
            QCOMPARE(Import(out.filePath(name)), 1000);
            const QVector<QStringList> back = StoredRows();
            QCOMPARE(back.size(), original.size());
            for (int r = 0; r < back.size(); ++r)
                QCOMPARE(back[r], original[r]);
        }
    }

    void workbookHasCaptionsDatesAndNumbers()
    {
        Sale special;
        special.name = "特";
        special.tb = "1";
        special.buy = QDate(2024, 2, 29);
        special.over = QDate(2025, 2, 28);
        InsertSale(Sale());
        const qint64 id = InsertSale(special);
        QTemporaryDir out;
        qint64 written = 0;
        QString error;
        QCOMPARE(SaleExport::Write(SaleRecord::SpecialCustomers(), out.filePath("s.xlsx"),
                                   SaleExport::Format::Xlsx, {}, &written, &error),
                 SaleExport::Outcome::Done);
        QCOMPARE(written, 1);
        XlsxReader reader;
        QVERIFY(reader.Open(out.filePath("s.xlsx")));
        QVector<QVariant> header, row, none;
        QVERIFY(reader.ReadRow(&header) && reader.ReadRow(&row));
        QVERIFY(!reader.ReadRow(&none) && !reader.HasError());
        QCOMPARE(header.size(), int(SaleListModel::ColumnCount));
        for (int c = 0; c < SaleListModel::ColumnCount; ++c)
            QCOMPARE(header[c].toString(), SaleListModel::Caption(c));
        QCOMPARE(row[SaleListModel::ColId], QVariant(double(id)));
        QCOMPARE(row[SaleListModel::ColBuyDate], QVariant(QDate(2024, 2, 29)));
        QCOMPARE(row[SaleListModel::ColOverRun], QVariant(QDate(2025, 2, 28)));
        QCOMPARE(row[SaleListModel::ColClass], QVariant(QStringLiteral("是")));
        QCOMPARE(row[SaleListModel::ColAmount], QVariant(1.0));
        QCOMPARE(row[SaleListModel::ColPhone], QVariant("010-62001234"));

        // CSV: UTF-8 with its byte-order mark, dates as the list shows them.
        QCOMPARE(SaleExport::Write(SaleRecord::SpecialCustomers(), out.filePath("s.csv"),
                                   SaleExport::Format::Csv, {}, &written, &error),
                 SaleExport::Outcome::Done);
        QFile csv(out.filePath("s.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                                 "ID,用户姓名,电话"));
        QVERIFY(bytes.contains(
            QStringLiteral(",特,010-62001234,无,13800138000,北京市海淀区,2024-02-29,2025-02-28,是,1,")
                .toUtf8()));
    }

    void cancelledExportLeavesNoFile()
    {
        Generate(1200);
        QTemporaryDir out;
        WriteFile(out.filePath("old.xlsx"), "earlier export");
        for (const char* name : {"old.xlsx", "new.xlsx", "new.csv"}) {
            const QString file = out.filePath(name);
            qint64 written = 0, lastDone = 0, lastTotal = 0;
            QString error;
            const auto cancelHalfway = [&](qint64 done, qint64 total) {
                lastDone = done, lastTotal = total;
                return done < 600;
            };
            QCOMPARE(SaleExport::Write(SaleRecord::AllCustomers(), file, SaleExport::FormatOf(file),
                                       cancelHalfway, &written, &error),
                     SaleExport::Outcome::Cancelled);
            QCOMPARE(lastTotal, 1200);
            QVERIFY(lastDone >= 600 && lastDone < 1200);
        }
        // Only the earlier file, untouched; no temporary file left over.
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.xlsx"});
        QFile old(out.filePath("old.xlsx"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("earlier export"));
    }

    void importsSpreadsheetProgramFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx by LibreOffice") << TEST_DATA_DIR "/sales-libreoffice.xlsx";
        QTest::newRow("old xls") << TEST_DATA_DIR "/sales-old.xls";
    }
    void importsSpreadsheetProgramFiles()
    {
        QFETCH(QString, file);
        const SaleImport::Preview preview = Analyse(file);
        QCOMPARE(preview.rows, 3);
        QCOMPARE(preview.accepted, 3);
        // Other captions for the same columns are understood; the rest shown.
        QCOMPARE(preview.unmatched, QStringList{"推荐人"});
        QVERIFY(preview.matched.contains(QStringLiteral("用户姓名")) &&
                preview.matched.contains(QStringLiteral("电话")));
        QCOMPARE(Import(file), 3);
        const QVector<QStringList> rows = StoredRows();
        const QString none = QStringLiteral("无");
        QCOMPARE(
            rows[0].mid(0, 11),
            QStringList({"刘洋", "010-62001234", none, "13900001111", "北京市朝阳区建国路88号",
                         "2003-05-20 00:00:00", "2004-05-20 00:00:00", "0", "1", "奔腾4 2.4G", "256MB DDR"}));
        QCOMPARE(rows[0][11], none);
        QCOMPARE(rows[0][27], QStringLiteral("老客户\n上门安装"));
        // No warranty date: the purchase date + 365 days; a special customer.
        QCOMPARE(rows[1][6], QStringLiteral("2005-11-02 00:00:00"));
        QCOMPARE(rows[1][7], QStringLiteral("1"));
        QCOMPARE(rows[1][27], none);
        // An amount of 0 is one machine, as in the entry dialog.
        QCOMPARE(rows[2][8], QStringLiteral("1"));
        QCOMPARE(rows[2][1], none);
    }

    void importsCsvInEitherEncoding()
    {
        QTemporaryDir dir;
        const QString text =
            QStringLiteral("姓名,地址,购买日期,手机\r\n欧阳锋,\"西域白驼山，一号\",2024/3/5,13800000000\r\n"
                           "𠀀字,珠海,2024年3月6日,\r\n");
        WriteFile(dir.filePath("utf8.csv"), text.toUtf8());
        WriteFile(dir.filePath("gbk.csv"), Gbk::Encode(text));
        for (const char* name : {"utf8.csv", "gbk.csv"}) {
            QVERIFY(ExecCommand("delete from SaleInfo"));
            QCOMPARE(Import(dir.filePath(name)), 2);
            const QVector<QStringList> rows = StoredRows();
            QCOMPARE(rows[0][0], QStringLiteral("欧阳锋"));
            QCOMPARE(rows[0][4], QStringLiteral("西域白驼山，一号"));
            QCOMPARE(rows[0][5], QStringLiteral("2024-03-05 00:00:00"));
            QCOMPARE(rows[1][0], QStringLiteral("𠀀字"));
            QCOMPARE(rows[1][5], QStringLiteral("2024-03-06 00:00:00"));
        }
    }

    void refusedRowsSayRowColumnAndReason()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("bad.csv");
        WriteFile(file, Utf8Bom(QStringLiteral("用户姓名,地址,购买日期,过保日期,特别用户,购机数量,内存,备用\n"
                                               "正常,北京,2024-01-05,,否,,,x\n"
                                               ",北京,2024-01-05,,,,\n"
                                               "缺地址,  ,2024-01-05,,,,\n"
                                               "坏日期,北京,2024-13-45,,,,\n"
                                               "名字超过八字节,北京,2024-01-05,,,,\n"
                                               "类别,北京,2024-01-05,,也许,,\n"
                                               "数量,北京,2024-01-05,,,两台,\n"
                                               "保修,北京,2024-01-05,不知道,,,\n"
                                               "两处,,,,,,\n")));
        const SaleImport::Preview preview = Analyse(file);
        QCOMPARE(preview.rows, 9);
        QCOMPARE(preview.accepted, 1);
        QCOMPARE(preview.refusedRows, 8);
        QCOMPARE(preview.unmatched, QStringList{"备用"});
        QStringList seen;
        for (const SaleImport::Refusal& r : preview.refused)
            seen << QString("%1 %2 %3").arg(r.row).arg(r.column, r.reason);
        QCOMPARE(seen,
                 QStringList({"3 用户姓名 不能为空", "4 地址 不能为空", "5 购买日期 “2024-13-45”不是日期",
                              "6 用户姓名 内容过长（14字节，最多8字节）", "7 特别用户 “也许”应为“是”或“否”",
                              "8 购机数量 “两台”不是数量", "9 过保日期 “不知道”不是日期", "10 地址 不能为空",
                              "10 购买日期 不能为空"}));
        QCOMPARE(Import(file), 1);
        const QStringList row = StoredRows().value(0);
        QCOMPARE(row.mid(0, 9), QStringList({"正常", "无", "无", "无", "北京", "2024-01-05 00:00:00",
                                             "2025-01-04 00:00:00", "0", "1"}));
        QCOMPARE(row[10], QStringLiteral("无"));
    }

    void duplicatesOfStoredRecordsAreFlagged()
    {
        Sale stored;
        const qint64 id = InsertSale(stored);
        QTemporaryDir dir;
        const QString file = dir.filePath("dup.csv");
        const QString day = SaleRecord::DateText(stored.buy);
        WriteFile(file,
                  QStringLiteral(
                      "用户姓名,电话,地址,购买日期\n张伟,010-62001234,别处,%1\n张伟,010-62001235,别处,%1\n"
                      "新客户,,南京,%1\n新客户,,南京,%1\n")
                      .arg(day)
                      .toUtf8());
        const SaleImport::Preview preview = Analyse(file);
        QCOMPARE(preview.accepted, 4);
        // Only records stored before the import count: the two equal rows
        // of the file are not duplicates of each other.
        QCOMPARE(preview.duplicateRows, 1);
        QCOMPARE(preview.duplicates.value(0).row, 2);
        QCOMPARE(preview.duplicates.value(0).storedId, id);
        QCOMPARE(Import(file, true), 3);
        QCOMPARE(Count(), 4);
        QCOMPARE(Import(file, false), 4);
        QCOMPARE(Count(), 8);
    }

    void failedWriteLeavesTheTableAsItWas()
    {
        InsertSale(Sale());
        const QVector<QStringList> before = StoredRows();
        QVERIFY(RefuseInsertOf(QStringLiteral("坏"), QStringLiteral("拒绝写入")));
        QTemporaryDir dir;
        const QString file = dir.filePath("mid.csv");
        WriteFile(file, QStringLiteral("用户姓名,地址,购买日期\n甲,北京,2024-01-01\n乙,北京,2024-01-02\n坏,"
                                       "北京,2024-01-03\n丁,北京,2024-01-04\n")
                            .toUtf8());
        const SaleImport::Preview preview = Analyse(file);
        QCOMPARE(preview.accepted, 4);
        qint64 written = -1;
        QString error;
        QCOMPARE(SaleImport::Write(preview, true, &written, &error), SaleImport::Outcome::Failed);
        QCOMPARE(written, 0);
        QVERIFY2(error.contains(QStringLiteral("第 4 行")) && error.contains(QStringLiteral("拒绝写入")),
                 qPrintable(error));
        QCOMPARE(StoredRows(), before);
        QCOMPARE(m_env->Scalar("select count(*) from UseLog where LogText like '从文件导入%'").toInt(), 0);

        // What was previewed is what is written: a file changed afterwards
        // does not matter.
        QVERIFY(DropRefusal());
        WriteFile(file, QStringLiteral("用户姓名,地址,购买日期\n甲,北京,2024-01-01\n").toUtf8());
        QCOMPARE(SaleImport::Write(preview, true, &written, &error), SaleImport::Outcome::Done);
        QCOMPARE(written, 4);
        QCOMPARE(Count(), 5);

        // A good import leaves one usage-log row with its count.
        QCOMPARE(Import(file, false), 1);
        QCOMPARE(m_env->Scalar("select count(*) from UseLog where LogText like '从文件导入%'").toInt(), 2);
        QCOMPARE(m_env
                     ->Scalar("select count(*) from UseLog where LogText=?",
                              {QStringLiteral("从文件导入销售记录：1 条")})
                     .toInt(),
                 1);
    }

    // Rows go over in statements of many rows: a fault deep in the file still
    // names its row, a fault that ends the transaction leaves no row behind,
    // duplicates are left out across statements, a cancel stores nothing.
    void largeWriteIsAllOrNothing()
    {
        InsertSale(Sale());
        const QVector<QStringList> before = StoredRows();
        QString csv = QStringLiteral("用户姓名,电话,地址,购买日期\n");
        for (int i = 1; i <= 12000; ++i)
            csv += QStringLiteral("客%1,,北京,2024-01-01\n").arg(i);
        // The stored record again, last: a duplicate in the last statement.
        csv += QStringLiteral("%1,010-62001234,%2,%3\n")
                   .arg(Sale().name, Sale().addr, Sale().buy.toString("yyyy-MM-dd"));
        QTemporaryDir dir;
        const QString file = dir.filePath("many.csv");
        WriteFile(file, csv.toUtf8());
        const SaleImport::Preview preview = Analyse(file);
        QCOMPARE(preview.accepted, 12001);
        QCOMPARE(preview.duplicateRows, 1);
        qint64 written = -1;
        QString error;

        QVERIFY(RefuseInsertOf(QStringLiteral("客10500"), QStringLiteral("拒绝写入")));
        QCOMPARE(SaleImport::Write(preview, true, &written, &error), SaleImport::Outcome::Failed);
        QVERIFY2(error.contains(QStringLiteral("第 10501 行")), qPrintable(error));
        QCOMPARE(StoredRows(), before);
        QVERIFY(DropRefusal());

        QVERIFY(RefuseInsertOf(QStringLiteral("客1500"), QStringLiteral("拒绝写入"), true));
        QCOMPARE(SaleImport::Write(preview, true, &written, &error), SaleImport::Outcome::Failed);
        QVERIFY2(error.contains(QStringLiteral("拒绝写入")), qPrintable(error));
        QCOMPARE(StoredRows(), before);
        QVERIFY(DropRefusal());

        QCOMPARE(SaleImport::Write(preview, true, &written, &error, [](qint64 rows) { return rows < 11000; }),
                 SaleImport::Outcome::Cancelled);
        QCOMPARE(StoredRows(), before);

        QCOMPARE(SaleImport::Write(preview, true, &written, &error), SaleImport::Outcome::Done);
        QCOMPARE(written, 12000);
        QCOMPARE(Count(), 12001);
        QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where Name='客12000' and addr='北京'").toInt(),
                 1);
    }

    // An import leaves the quick-find index, the phone index and the change
    // log as the per-row triggers leave them after inserts of the same
    // rows: the file imported once through the triggers and once with their
    // work done for all rows at once, each import's rows compared with its
    // ids counted from its first.  The triggers are as they were after
    // either, and after a cancel.  The log rows carry the session's user,
    // desk and action; a trigger of another hand on the log keeps the
    // session's own trigger at work, one on the records keeps every trigger
    // at work.  An edit and a delete of imported records afterwards leave
    // both indexes alike too.  The indexes' stored settings are as they
    // were, whether the import changed them for its time or not.
    void importKeepsTheIndexesAndTheLogAsRowByRowInserts_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("otherLogTrigger");
        QTest::addColumn<bool>("otherSaleTrigger");
        QTest::addColumn<bool>("minusOneStored");
        QTest::newRow("session") << QString() << false << false << false;
        QTest::newRow("action named") << QStringLiteral("恢复") << false << false << false;
        QTest::newRow("another trigger on the log") << QStringLiteral("恢复") << true << false << false;
        QTest::newRow("another trigger on the records") << QString() << false << true << false;
        // The id new rows read before they are made, stored.
        QTest::newRow("a record of id -1") << QString() << false << false << true;
    }
    void importKeepsTheIndexesAndTheLogAsRowByRowInserts()
    {
        QFETCH(QString, action);
        QFETCH(bool, otherLogTrigger);
        QFETCH(bool, otherSaleTrigger);
        QFETCH(bool, minusOneStored);
        if (minusOneStored)
            QVERIFY(
                SqlStatement(CurrentConnection(),
                             "insert into SaleInfo (id, Name, Phone, addr) values (-1, ?, '0551-7778888', ?)")
                    .Exec({QStringLiteral("钱十一"), QStringLiteral("合肥市包河区")}));
        QVERIFY(
            ChangeLog::SetSession(*CurrentConnection(), QStringLiteral("导入员"), QStringLiteral("前台-1")));
        const bool sqlite = !TestEnv::OnServer();
        if (sqlite && !action.isEmpty())
            QVERIFY(
                SqlStatement(CurrentConnection(), "update temp.ChangeSession set Action=?").Exec({action}));
        if (sqlite && otherLogTrigger)
            QVERIFY(CurrentConnection()->ExecRaw(
                "create temp trigger OtherLogTrigger after insert on main.ChangeLog begin "
                "update ChangeLog set Desk=Desk||'+' where LogID=new.LogID; end"));
        if (sqlite && otherSaleTrigger)
            QVERIFY(CurrentConnection()->ExecRaw(
                "create trigger OtherSaleTrigger after insert on SaleInfo begin select 1; end"));
        // A setting stored by hand stays; the others stay unstored.
        if (sqlite)
            QVERIFY(
                CurrentConnection()->ExecRaw("insert into SaleFind(SaleFind, rank) values ('automerge', 6)"));
        const QString settingsSql = "select 'SaleFind', k, v from SaleFind_config union all "
                                    "select 'SalePhoneFind', k, v from SalePhoneFind_config order by 1, 2";
        const QVector<QStringList> settingsBefore = sqlite ? Rows(settingsSql) : QVector<QStringList>();
        const auto restoreSession =
            qScopeGuard([] { ChangeLog::SetSession(*CurrentConnection(), QString()); });
        Generate(60);
        QTemporaryDir dir;
        const QString file = dir.filePath("all.xlsx");
        qint64 exported = 0;
        QString error;
        QCOMPARE(SaleExport::Write(SaleRecord::AllCustomers(), file, SaleExport::FormatOf(file), {},
                                   &exported, &error),
                 SaleExport::Outcome::Done);
        // Blank and odd phones, a lone quote, a NUL-free text with a
        // semicolon: what the index texts are made of.  Quotes, a
        // backslash, a tab, a line break and a character beyond 16 bits:
        // what the log's JSON text quotes.
        const QString extra = dir.filePath("extra.csv");
        WriteFile(extra,
                  QStringLiteral("用户姓名,联系电话,移动电话,地址,购买日期,说明\n"
                                 "甲,' 010 6200-1 ',,北京;海淀,2024-01-01,\n"
                                 "乙,,139 0000 0000,'上海',2024-01-02,a'b\n"
                                 "丙,010,,\"路\"\"1\\2\"\"号\",2024-01-03,\"备\t注\n第二行 \U0001F600\"\n"
                                 "丁,,,a\x7f/,2024-01-04,\"x\ry\"\n")
                      .toUtf8());
        const QString triggersSql = "select name, sql from sqlite_master where type='trigger' order by name";
        const QVector<QStringList> triggersBefore =
            TestEnv::OnServer() ? QVector<QStringList>() : Rows(triggersSql);

        const auto importOnce = [&](const QString& name, bool setBased, QVector<QStringList>* traces) {
            SaleImport::SetSetBasedUpkeep(setBased);
            const qint64 before = m_env->Scalar("select coalesce(max(id),0) from SaleInfo").toLongLong();
            const qint64 logBefore =
                m_env->Scalar("select coalesce(max(LogID),0) from ChangeLog").toLongLong();
            const SaleImport::Preview preview = Analyse(name);
            qint64 written = 0;
            QString reason;
            // A cancel first: nothing of it stays, the triggers included.
            if (setBased) {
                QVERIFY2(SaleImport::Write(preview, false, &written, &reason, [](qint64) { return false; }) ==
                             SaleImport::Outcome::Cancelled,
                         qPrintable(reason));
                QCOMPARE(m_env->Scalar("select coalesce(max(id),0) from SaleInfo").toLongLong(), before);
            }
            QVERIFY2(SaleImport::Write(preview, false, &written, &reason) == SaleImport::Outcome::Done,
                     qPrintable(reason));
            SaleImport::SetSetBasedUpkeep(true);
            QCOMPARE(written, preview.accepted);
            *traces = ImportTraces(before, logBefore);
            if (!sqlite)
                return;
            // The second imported record edited, the third deleted: each
            // index forgets what it was given for them.
            const qint64 first =
                m_env->Scalar("select min(id) from SaleInfo where id>?", {before}).toLongLong();
            QVERIFY(
                SqlStatement(CurrentConnection(),
                             "update SaleInfo set Name='新名字', Phone='0771-5550123', Memo=null where id=?")
                    .Exec({first + 1}));
            QVERIFY(SqlStatement(CurrentConnection(), "delete from SaleInfo where id=?").Exec({first + 2}));
            const qint64 logAfter = m_env->Scalar("select max(LogID) from ChangeLog").toLongLong();
            *traces << QStringList{"after an edit and a delete"} << ImportTraces(before, logAfter);
            // And the searches of the program find the same records.
            for (const auto& [index, text] :
                 {std::pair("SaleFind", "新名字"), std::pair("SaleFind", "客户1"),
                  std::pair("SaleFind", "上海市"), std::pair("SalePhoneFind", "5550123"),
                  std::pair("SalePhoneFind", "6200001")}) {
                QStringList hits{index, text};
                SqlStatement find(CurrentConnection(),
                                  QStringLiteral("select rowid from %1 where %1 match ? and "
                                                 "rowid>? order by rowid")
                                      .arg(index));
                QVERIFY(find.Bind({'"' + QString::fromUtf8(text) + '"', before}));
                while (find.Step())
                    hits << QString::number(find.ColumnValue(0).toLongLong() - first);
                *traces << hits;
            }
        };
        for (const QString& name : {file, extra}) {
            QVector<QStringList> perRow, setBased;
            importOnce(name, false, &perRow);
            importOnce(name, true, &setBased);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(perRow.size() >= 2); // a log row per record at least
            for (int i = 0; i < qMax(perRow.size(), setBased.size()); ++i)
                QCOMPARE(setBased.value(i), perRow.value(i));
        }
        if (!TestEnv::OnServer()) {
            QCOMPARE(Rows(triggersSql), triggersBefore);
            QCOMPARE(Rows(settingsSql), settingsBefore);
        }
        // The index goes on following ordinary writes.
        InsertSale(Sale());
        QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where Name=?", {Sale().name}).toInt(), 1);
        if (!TestEnv::OnServer())
            QVERIFY(m_env
                        ->Scalar("select count(*) from temp.SaleFindInstances where doc=(select max(id) from "
                                 "SaleInfo)")
                        .toInt() > 0);
        if (minusOneStored && !TestEnv::OnServer()) {
            QCOMPARE(m_env->Scalar("select group_concat(rowid) from SaleFind where SaleFind match ?",
                                   {QStringLiteral("\"钱十一\"")}),
                     QVariant("-1"));
            QCOMPARE(
                m_env->Scalar("select group_concat(rowid) from SalePhoneFind where SalePhoneFind match ?",
                              {QStringLiteral("\"7778888\"")}),
                QVariant("-1"));
        }
    }

    void hostileFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "empty"
                               << "文件是空的";
        QTest::newRow("not a spreadsheet") << "binary"
                                           << "不是可以读取的表格文件";
        QTest::newRow("random bytes") << "random"
                                      << "不是可以读取的表格文件";
        QTest::newRow("old workbook that crashes its reader") << "crashxls"
                                                              << "文件已损坏或不是可以读取的 Excel 文件";
        QTest::newRow("no header") << "noheader"
                                   << "没有可识别的列标题";
        QTest::newRow("header without the required columns") << "partial"
                                                             << "缺少必需的列：“地址”“购买日期”";
        QTest::newRow("100 MB") << "big"
                                << "文件太大";
        QTest::newRow("zip bomb") << "bomb"
                                  << "解压后的数据量过大";
        QTest::newRow("entity expansion") << "entities"
                                          << "DTD";
        QTest::newRow("broken zip") << "brokenzip"
                                    << "Excel工作簿";
    }
    void hostileFilesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        InsertSale(Sale());
        QTemporaryDir dir;
        QString file = dir.filePath("file.xlsx");
        if (kind == "empty") {
            WriteFile(file, {});
        } else if (kind == "binary") {
            WriteFile(file, QByteArray(4096, '\0'));
        } else if (kind == "random") {
            QByteArray noise(8192, '\0');
            QRandomGenerator random(7);
            for (char& c : noise)
                c = char(random.bounded(256));
            WriteFile(file, noise);
        } else if (kind == "crashxls") {
            file = dir.filePath("file.xls");
            const QStringList crashers = QDir(TEST_DATA_DIR).entryList({"xls-crash-*.xls"}, QDir::Files);
            QVERIFY(!crashers.isEmpty());
            QVERIFY(QFile::copy(QDir(TEST_DATA_DIR).filePath(crashers.first()), file));
        } else if (kind == "noheader") {
            file = dir.filePath("file.csv");
            WriteFile(file, "1,2,3\n4,5,6\n");
        } else if (kind == "partial") {
            file = dir.filePath("file.csv");
            WriteFile(file, QStringLiteral("用户姓名,电话\n张三,1\n").toUtf8());
        } else if (kind == "big") {
            QFile big(file);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(100LL * 1024 * 1024));
        } else if (kind == "bomb") {
            const QByteArray header = QStringLiteral("<?xml version=\"1.0\"?><worksheet><sheetData><row><c "
                                                     "t=\"inlineStr\"><is><t>用户姓名</t></is></c>"
                                                     "<c t=\"inlineStr\"><is><t>")
                                          .toUtf8();
            const QByteArray blanks = "<!--" + QByteArray(1024 * 1024 - 7, ' ') + "-->";
            QVERIFY(WriteZip(file, WorkbookEntries({QString(), [&](int block) {
                                                        return block == 0     ? header
                                                               : block <= 300 ? blanks
                                                                              : QByteArray();
                                                    }})));
        } else if (kind == "entities") {
            QByteArray xml = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">";
            for (char c = 'b'; c <= 'h'; ++c)
                xml += QByteArray("<!ENTITY ") + c + " \"" +
                       (QByteArray("&") + char(c - 1) + ";").repeated(10) + "\">";
            xml += "]><worksheet><sheetData><row><c "
                   "t=\"inlineStr\"><is><t>&h;</t></is></c></row></sheetData></worksheet>";
            QVERIFY(WriteZip(file, WorkbookEntries(TextEntry(QString(), xml))));
        } else if (kind == "brokenzip") {
            QVERIFY(WriteZip(file, WorkbookEntries(TextEntry(QString(), "<worksheet/>"))));
            QFile zip(file);
            QVERIFY(zip.open(QIODevice::ReadWrite) && zip.resize(zip.size() / 2));
        }
        const QVector<QStringList> before = StoredRows();
        SaleImport::Preview preview;
        QString error;
        QCOMPARE(SaleImport::Analyse(file, &preview, &error), SaleImport::Outcome::Failed);
        QVERIFY2(error.contains(message), qPrintable(error));
        // Through the record manager: the message names the file, nothing is written.
        TFrmSaleManage* manager = Manager();
        m_dialogs->QueueFileName(file);
        manager->TBtnImportClick();
        QVERIFY(m_dialogs->LastText().startsWith(QStringLiteral("无法导入文件")));
        QVERIFY(m_dialogs->LastText().contains(message));
        QCOMPARE(StoredRows(), before);
    }

    void unreadableValuesAreRefusedRowByRow()
    {
        // Numbers that are not finite, a NUL inside a text (taken out, and
        // the preview says so), half a surrogate pair, bytes that are no
        // UTF-8: each refuses its own row, never the file or its header.
        QTemporaryDir dir;
        const QString file = dir.filePath("values.xlsx");
        auto text = [](const char* t) {
            return QByteArray("<c t=\"inlineStr\"><is><t>") + t + "</t></is></c>";
        };
        const QByteArray xml = "<worksheet><sheetData><row>" + text("用户姓名") + text("地址") +
                               text("购买日期") + text("手机") + "</row><row>" + text("甲") + text("北京") +
                               "<c><v>45000</v></c>" + "</row><row>" + text("乙") + text("北京") +
                               "<c><v>nan</v></c></row><row>" + text("张_x0000_三") + text("北_x0000_京") +
                               "<c><v>45001</v></c></row><row>" + text("丁") + text("北京") +
                               "<c><v>45002</v></c><c><v>-inf</v></c></row><row>" + text("戊") +
                               text("北_xD800_京") + "<c><v>45003</v></c></row>" + "</sheetData></worksheet>";
        QVERIFY(WriteZip(file, WorkbookEntries(TextEntry(QString(), xml))));
        const SaleImport::Preview preview = Analyse(file);
        QCOMPARE(preview.rows, 5);
        QCOMPARE(preview.accepted, 2);
        QStringList seen;
        for (const SaleImport::Refusal& r : preview.refused)
            seen << QString("%1 %2").arg(r.row).arg(r.reason);
        QCOMPARE(seen, QStringList({"3 “nan”不是可以读取的数值", "5 “-inf”不是可以读取的数值",
                                    "6 文本中含有不能保存的字符"}));
        QCOMPARE(preview.notes.size(), 1);
        QVERIFY2(preview.notes[0].contains(QStringLiteral("第 4 行")) &&
                     preview.notes[0].contains(QStringLiteral("空字符")),
                 qPrintable(preview.notes[0]));
        qint64 written = 0;
        QString error;
        QCOMPARE(SaleImport::Write(preview, true, &written, &error), SaleImport::Outcome::Done);
        QCOMPARE(written, 2);
        const QVector<QStringList> rows = StoredRows();
        QCOMPARE(rows[1][0], QStringLiteral("张三"));
        QCOMPARE(rows[1][4], QStringLiteral("北京"));

        const QString csv = dir.filePath("bytes.csv");
        WriteFile(csv, QStringLiteral("用户姓名,地址,购买日期\n甲,北京,2024-01-05\n乙,北X京,2024-01-05\n")
                           .toUtf8()
                           .replace('X', '\xFF'));
        const SaleImport::Preview bytes = Analyse(csv);
        QCOMPARE(bytes.accepted, 1);
        QCOMPARE(bytes.refused.size(), 1);
        QCOMPARE(bytes.refused[0].row, 3);
        QVERIFY2(bytes.refused[0].reason.contains(QStringLiteral("UTF-8")),
                 qPrintable(bytes.refused[0].reason));
    }

    void stagesLeftByAKilledImportAreRemoved()
    {
        QTemporaryDir temp;
        QDir folder(temp.path());
        const time_t hourAgo = time(nullptr) - 3600;
        // Made as the program makes them; `old` ones an hour back in time.
        auto stage = [&](const QString& name, bool old) {
            QVERIFY(folder.mkdir(name));
            WriteFile(folder.filePath(name + "/stage.db"), "rows");
            if (old) {
                const utimbuf times{hourAgo, hourAgo};
                QVERIFY(::utime(QFile::encodeName(folder.filePath(name + "/stage.db")).constData(), &times) ==
                        0);
                QVERIFY(::utime(QFile::encodeName(folder.filePath(name)).constData(), &times) == 0);
            }
        };
        stage("weibao-import-Ab12Cd", true);  // left by a killed import
        stage("weibao-import-Ef34Gh", false); // just made
        stage("weibao-import-kept", true);    // not a name of ours
        stage("other-import-Ij56Kl", true);   // nor this
        stage("weibao-import-Mn78Op", true);  // in use by a running program
        QLockFile inUse(folder.filePath("weibao-import-Mn78Op/stage.lock"));
        QVERIFY(inUse.tryLock(0));
        const utimbuf times{hourAgo, hourAgo};
        QVERIFY(::utime(QFile::encodeName(folder.filePath("weibao-import-Mn78Op/stage.lock")).constData(),
                        &times) == 0);
        QVERIFY(::utime(QFile::encodeName(folder.filePath("weibao-import-Mn78Op")).constData(), &times) == 0);

        QCOMPARE(SaleImport::RemoveLeftoverStages(temp.path()), 1);
        QCOMPARE(folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({"other-import-Ij56Kl", "weibao-import-Ef34Gh", "weibao-import-kept",
                              "weibao-import-Mn78Op"}));
        // Once its program lets go, the last stage goes too.
        inUse.unlock();
        QVERIFY(::utime(QFile::encodeName(folder.filePath("weibao-import-Mn78Op")).constData(), &times) == 0);
        QCOMPARE(SaleImport::RemoveLeftoverStages(temp.path()), 1);

        // A preview's own stage is left alone while the preview lives, and
        // goes with it.
        const QString csv = temp.filePath("rows.csv");
        WriteFile(csv, QStringLiteral("用户姓名,地址,购买日期\n甲,北京,2024-01-05\n").toUtf8());
        const QStringList before = QDir::temp().entryList({"weibao-import-*"}, QDir::Dirs);
        {
            const SaleImport::Preview preview = Analyse(csv);
            QVERIFY(preview.stage);
            QCOMPARE(QDir::temp().entryList({"weibao-import-*"}, QDir::Dirs).size(), before.size() + 1);
        }
        QCOMPARE(QDir::temp().entryList({"weibao-import-*"}, QDir::Dirs), before);
    }

    void purgeKeepsACopyOfExactlyThePurgedRows()
    {
        const QDate today = QDate::currentDate();
        QList<qint64> purged;
        for (const auto& [name, over, tb] :
             {std::tuple{"旧", -400, "0"}, std::tuple{"今", 0, "0"}, std::tuple{"新", 30, "0"},
              std::tuple{"特", -400, "1"}, std::tuple{"昨", -1, "0"}}) {
            Sale s;
            s.name = name;
            s.over = today.addDays(over);
            s.tb = tb;
            const qint64 id = InsertSale(s);
            if (over <= 0 && QString(tb) == "0")
                purged << id;
        }
        SalePurge::Result result;
        QString error;
        // Cancelled while copying: no copy, nothing deleted.
        QVERIFY(!SalePurge::PurgeExpiredOrdinary(QDateTime::currentDateTime(), &result, &error,
                                                 [](qint64, qint64) { return false; }));
        QVERIFY(result.cancelled);
        QCOMPARE(Count(), 5);
        QVERIFY(QDir(SalePurge::BackupFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        QVERIFY(SalePurge::PurgeExpiredOrdinary(QDateTime::currentDateTime(), &result, &error));
        QCOMPARE(result.deleted, 3);
        QVERIFY(result.copyFile.startsWith(m_env->Dir() + "BackUp/purged-"));
        XlsxReader copy;
        QVERIFY(copy.Open(result.copyFile));
        QVector<QVariant> row;
        QVERIFY(copy.ReadRow(&row));
        QCOMPARE(row.value(0).toString(), QStringLiteral("ID"));
        QList<qint64> copied;
        while (copy.ReadRow(&row))
            copied << row.value(0).toLongLong();
        QCOMPARE(copied, purged);
        QCOMPARE(Count(), 2);

        // Nothing more to purge: no copy, nothing deleted.
        QVERIFY(SalePurge::PurgeExpiredOrdinary(QDateTime::currentDateTime(), &result, &error));
        QCOMPARE(result.deleted, 0);
        QVERIFY(result.copyFile.isEmpty());

        // A copy broken off by a crash leaves its unfinished file; the next
        // start removes that and nothing else.
        const QString partial = SalePurge::BackupFolder() + "/.purged-20200101-080000.xlsx.Ab12Cd";
        WriteFile(partial, "half a workbook");
        QCOMPARE(SalePurge::RemovePartialCopies(), 1);
        QVERIFY(!QFile::exists(partial));
        QCOMPARE(QDir(SalePurge::BackupFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void purgeWithoutACopyDeletesNothing()
    {
        Sale expired;
        expired.over = QDate::currentDate().addDays(-10);
        InsertSale(expired);
        // BackUp is taken by a file, so no copy can be written there.
        WriteFile(SalePurge::BackupFolder(), "not a folder");
        SalePurge::Result result;
        QString error;
        QVERIFY(!SalePurge::PurgeExpiredOrdinary(QDateTime::currentDateTime(), &result, &error));
        QVERIFY2(error.contains(QStringLiteral("备份文件夹")), qPrintable(error));
        QCOMPARE(Count(), 1);

        TFrmSaleManage* manager = Manager();
        m_dialogs->QueueAnswer(Dialogs::Yes);
        QTest::mouseClick(manager->findChild<QPushButton*>("BtnDelOverRun"), Qt::LeftButton);
        QVERIFY(m_dialogs->LastText().startsWith(
            QStringLiteral("未能保存要删除的记录的副本，没有删除任何数据。")));
        QCOMPARE(Count(), 1);
    }

    void managerExportsWhatItsFilterMatches()
    {
        Generate(30); // every seventh a special customer: 5
        TFrmSaleManage* manager = Manager();
        QVERIFY(manager->findChild<QAction*>("TBtnExport") && manager->findChild<QAction*>("TBtnImport"));
        QTemporaryDir out;
        // Before any load there is nothing to export.
        manager->TBtnExportClick();
        QVERIFY(m_dialogs->LastText().startsWith(QStringLiteral("列表中没有记录可以导出")));
        manager->TBtnTSClick();
        m_dialogs->QueueFileName(out.filePath("special.csv"));
        manager->findChild<QAction*>("TBtnExport")->trigger();
        QCOMPARE(m_dialogs->FileRequests().last().filter,
                 QStringLiteral("Excel文件|*.xlsx|CSV文件(UTF-8)|*.csv|所有文件|*.*"));
        QCOMPARE(m_dialogs->LastText(), QStringLiteral("已导出 5 条记录到：\n") +
                                            QDir::toNativeSeparators(out.filePath("special.csv")));
        QFile csv(out.filePath("special.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 6);
    }

    void managerImportShowsThePreviewFirst()
    {
        InsertSale(Sale());
        QTemporaryDir dir;
        const QString file = dir.filePath("in.csv");
        WriteFile(file, QStringLiteral("用户姓名,电话,地址,购买日期,介绍人\n张伟,010-62001234,北京,%1,甲\n,,"
                                       "北京,2024-01-01,\n李雷,,南京,2024-01-02,\n")
                            .arg(SaleRecord::DateText(Sale().buy))
                            .toUtf8());
        TFrmSaleManage* manager = Manager();
        manager->TBtnPTClick();

        // Cancelled at the preview: nothing written.
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* preview = qobject_cast<TFrmSaleImport*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            seen = true;
            const auto child = [preview](const char* name) { return preview->findChild<QWidget*>(name); };
            // The file is read while the form is open.
            QTRY_VERIFY(!preview->IsReading());
            QCOMPARE(qobject_cast<QLabel*>(child("lblSummary"))->text(),
                     QStringLiteral("共 3 行数据：可以导入 2 行（其中疑似重复 1 行），拒绝 1 行。"));
            QCOMPARE(qobject_cast<QLabel*>(child("lblUnmatched"))->text(),
                     QStringLiteral("未识别的列（将被忽略）：介绍人"));
            QCOMPARE(qobject_cast<QTableWidget*>(child("lvRefused"))->rowCount(), 1);
            QCOMPARE(qobject_cast<QTableWidget*>(child("lvRefused"))->item(0, 0)->text(),
                     QStringLiteral("3"));
            QCOMPARE(qobject_cast<QTableWidget*>(child("lvRefused"))->item(0, 1)->text(),
                     QStringLiteral("用户姓名"));
            QCOMPARE(qobject_cast<QTableWidget*>(child("lvDuplicates"))->rowCount(), 1);
            QCOMPARE(qobject_cast<QTableWidget*>(child("lvDuplicates"))->item(0, 1)->text(),
                     QStringLiteral("张伟"));
            QVERIFY(qobject_cast<QCheckBox*>(child("chkSkipDuplicates"))->isChecked());
            qobject_cast<QPushButton*>(child("btnCancel"))->click();
        });
        m_dialogs->QueueFileName(file);
        manager->findChild<QAction*>("TBtnImport")->trigger();
        QVERIFY(seen);
        QCOMPARE(Count(), 1);

        // Imported, duplicates included this time; the list is reloaded.
        QTimer::singleShot(0, this, [] {
            auto* preview = qobject_cast<TFrmSaleImport*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            QTRY_VERIFY(preview->findChild<QPushButton*>("btnImport")->isEnabled());
            preview->findChild<QCheckBox*>("chkSkipDuplicates")->setChecked(false);
            preview->findChild<QPushButton*>("btnImport")->click();
        });
        m_dialogs->QueueFileName(file);
        manager->TBtnImportClick();
        QCOMPARE(m_dialogs->LastText(), QStringLiteral("已成功导入 2 条记录。"));
        QCOMPARE(Count(), 3);
        QCOMPARE(manager->StatusText(), QStringLiteral("共有 [3] 项"));
    }

    void workerReadingGivesThePreviewOfTheSameRows()
    {
        // The form's reading on a worker thread against Analyse on this
        // thread: the same counts, refusals, duplicates and staged rows, in
        // batches handed over as the file is read.
        InsertSale(Sale());
        QTemporaryDir dir;
        const QString file = dir.filePath("many.csv");
        QByteArray csv = QStringLiteral("用户姓名,电话,地址,购买日期\n").toUtf8();
        for (int i = 0; i < 5000; ++i)
            csv +=
                (i % 97 == 0 ? QStringLiteral(",,北京,2024-01-01\n")
                 : i == 4321
                     ? QStringLiteral("%1,%2,北京,%3\n")
                           .arg(Sale().name, QStringLiteral("010-62001234"), SaleRecord::DateText(Sale().buy))
                     : QStringLiteral("客户%1,010-%2,北京,2024-01-%3\n").arg(i).arg(i).arg(1 + i % 28))
                    .toUtf8();
        WriteFile(file, csv);
        SaleImport::Preview expected;
        QString error;
        QCOMPARE(SaleImport::Analyse(file, &expected, &error), SaleImport::Outcome::Done);

        SaleImportRun run;
        QSignalSpy finished(&run, &SaleImportRun::Finished);
        QSignalSpy progressed(&run, &SaleImportRun::Progressed);
        run.Start(file);
        QVERIFY(run.IsRunning());
        QVERIFY(finished.wait(60000));
        QCOMPARE(run.Result(), SaleImport::Outcome::Done);
        QVERIFY(progressed.count() >= 1);
        const SaleImport::Preview& got = run.CurrentPreview();
        QCOMPARE(got.rows, expected.rows);
        QCOMPARE(got.accepted, expected.accepted);
        QCOMPARE(got.refusedRows, expected.refusedRows);
        QCOMPARE(got.duplicateRows, 1);
        QCOMPARE(got.refused.size(), expected.refused.size());
        QCOMPARE(got.refused.last().row, expected.refused.last().row);
        QCOMPARE(got.duplicates.value(0).row, 4323);
        qint64 written = 0;
        QCOMPARE(SaleImport::Write(got, true, &written, &error), SaleImport::Outcome::Done);
        QCOMPARE(written, expected.accepted - 1);
        QCOMPARE(Count(), 1 + written);
    }

    void cancelledReadingWritesNothing()
    {
        // Cancelled while the worker reads: nothing written, the staged
        // rows gone with their folder; the same through the form's 取消.
        QTemporaryDir dir;
        const QString file = dir.filePath("long.csv");
        QByteArray csv = QStringLiteral("用户姓名,地址,购买日期\n").toUtf8();
        for (int i = 0; i < 200000; ++i)
            csv += QStringLiteral("客户%1,北京,2024-01-01\n").arg(i).toUtf8();
        WriteFile(file, csv);
        const auto stages = [] {
            return QDir::temp().entryList({QLatin1String(SaleImport::StagePrefix) + '*'}, QDir::Dirs);
        };
        const QStringList stagesBefore = stages();
        {
            SaleImportRun run;
            run.Start(file);
            QTRY_VERIFY_WITH_TIMEOUT(run.CurrentPreview().rows > 0, 60000);
            run.Cancel();
            QVERIFY(!run.IsRunning());
            QCOMPARE(run.Result(), SaleImport::Outcome::Cancelled);
            QVERIFY(run.CurrentPreview().rows < 200000);
            QVERIFY(!run.CurrentPreview().stage);
        }
        QCOMPARE(stages(), stagesBefore);
        QCOMPARE(Count(), 0);

        bool cancelled = false;
        QTimer::singleShot(0, this, [&] {
            auto* preview = qobject_cast<TFrmSaleImport*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            QTRY_VERIFY(preview->CurrentPreview().rows > 0);
            QVERIFY(preview->IsReading());
            QVERIFY(!preview->findChild<QPushButton*>("btnImport")->isEnabled());
            preview->findChild<QPushButton*>("btnCancel")->click();
            cancelled = true;
        });
        m_dialogs->QueueFileName(file);
        QCOMPARE(SaleFileActions::ImportFile(nullptr), 0);
        QVERIFY(cancelled);
        QCOMPARE(Count(), 0);
        QCOMPARE(stages(), stagesBefore);
    }

private:
    // What the records above `firstId` left in the change log (after
    // `firstLogId`) and, on SQLite, in both indexes: every row, the record
    // ids written as their place after `firstId`.
    QVector<QStringList> ImportTraces(qint64 firstId, qint64 firstLogId)
    {
        // Counted from the first new id: a server's sequence has moved on
        // past the ids of a cancelled write.
        const qint64 base =
            m_env->Scalar("select coalesce(min(id),1)-1 from SaleInfo where id>?", {firstId}).toLongLong();
        const auto place = [base](const QString& id) { return QString::number(id.toLongLong() - base); };
        QVector<QStringList> traces;
        for (QStringList row : Rows("select UserID, Desk, TableName, RecordKey, Action, Fields, LogTime is "
                                    "not null from ChangeLog "
                                    "where LogID>? order by LogID",
                                    {firstLogId})) {
            const QString id = row[3];
            row[3] = place(id);
            row[5].replace("\"id\":[null,\"" + id + "\"]", "\"id\":[null,\"#" + row[3] + "\"]");
            traces << (QStringList{"log"} + row);
        }
        if (TestEnv::OnServer())
            return traces;
        for (const char* index : {"SaleFind", "SalePhoneFind"}) {
            const QString vocab = QStringLiteral("temp.%1Instances").arg(index);
            m_env->Scalar(
                QStringLiteral("create virtual table if not exists %1 using fts5vocab(main, %2, instance)")
                    .arg(vocab, index));
            for (QStringList row : Rows("select doc, term, col, offset from " + vocab +
                                            " where doc>? order by doc, offset, term",
                                        {firstId})) {
                row[0] = place(row[0]);
                traces << (QStringList{index} + row);
            }
        }
        return traces;
    }

    TFrmSaleManage* Manager()
    {
        if (!m_manager) {
            m_manager = new TFrmSaleManage;
            m_shell->manager = m_manager;
        }
        return m_manager;
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FakeShell> m_shell;
    QPointer<TFrmSaleManage> m_manager;
};

QTEST_MAIN(TestSaleTransfer)
#include "tst_saletransfer.moc"
