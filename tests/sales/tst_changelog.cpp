// The change log kept by triggers: what a change writes, who it names, and
// bringing a deleted record back.  Runs on both engines.
#include "ChangeHistoryDialog.h"
#include "ChangeLog.h"
#include "ChangeLogModel.h"
#include "SaleImport.h"
#include "SaleRecord.h"
#include "SalesFixture.h"
#include "Schema.h"
#include "ScriptedDialogs.h"
#include "SessionRights.h"
#include "SqlDialect.h"
#include "TDataM.h"
#include "TFrmChangeLog.h"
#include "TFrmInputInfo.h"
#include "TUser.h"
#include "TestEnv.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

class TestChangeLog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void editLogsExactlyTheChangedFields();
    void importLogsEveryRowInItsTransaction();
    void deletedRecordComesBackIdentical();
    void passwordsAreNeverLogged();
    void userAndDeskComeFromTheConnection();
    void writesOfAnotherProgramAreLogged();
    void triggersFollowAddedColumns();
    void purgeRemovesOldRowsAndSaysSo();
    void windowFiltersPagesAndRestores();
    void entryDialogShowsTheHistory();
    void upgradeAddsTheLogToAnOlderDatabase();

private:
    // The log rows written after `after`, oldest first.
    QVector<ChangeLog::Entry> RowsAfter(qint64 after) const;
    qint64 LastLogID() const
    {
        return m_env->Scalar("select coalesce(max(LogID),0) from ChangeLog").toLongLong();
    }
    // Every column of a sale record as the engine hands it back, type and value.
    QStringList StoredRow(qint64 id) const;

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

void TestChangeLog::init()
{
    WEIBAO_SKIP_WITHOUT_SERVER();
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestChangeLog::cleanup()
{
    delete FrmInputInfo();
    SessionRights::Uninstall();
    if (m_dialogs)
        QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join("; ")));
    m_dialogs.reset();
    m_env.reset();
}

QVector<ChangeLog::Entry> TestChangeLog::RowsAfter(qint64 after) const
{
    QVector<ChangeLog::Entry> entries;
    SqlStatement ids(CurrentConnection(), "select LogID from ChangeLog where LogID>? order by LogID");
    QList<qint64> keys;
    if (ids.Bind({after}))
        while (ids.Step())
            keys << ids.ColumnValue(0).toLongLong();
    for (qint64 key : keys) {
        ChangeLog::Entry entry;
        QString error;
        if (ChangeLog::ReadEntry(*CurrentConnection(), key, &entry, &error))
            entries << entry;
    }
    return entries;
}

QStringList TestChangeLog::StoredRow(qint64 id) const
{
    QStringList cells;
    SqlStatement row(CurrentConnection(), "select * from SaleInfo where id=?");
    if (row.Bind({id}) && row.Step())
        for (int i = 0; i < row.ColumnCount(); ++i) {
            const QVariant value = row.ColumnValue(i);
            cells << row.ColumnName(i) + '=' + QString::fromLatin1(value.typeName()) + ':' +
                         (value.isNull() ? QStringLiteral("NULL") : value.toString());
        }
    return cells;
}

void TestChangeLog::editLogsExactlyTheChangedFields()
{
    const qint64 id = InsertSale({});
    const qint64 start = LastLogID();
    qint64 version = SaleRecord::ReadRowVersion(id).value_or(-1);
    QString error;
    QCOMPARE(SaleRecord::UpdateRecord(id, &version,
                                      {{"Name", QStringLiteral("李娜")},
                                       {"Phone", "021-555"},
                                       {"addr", QStringLiteral("北京市海淀区")},
                                       {"OverRun", QDate(2030, 1, 31)}},
                                      &error),
             SaleRecord::UpdateOutcome::Saved);
    const QString before = SqlDateText(QDate::currentDate().addDays(355));
    QVector<ChangeLog::Entry> rows = RowsAfter(start);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].action, ChangeLog::Updated);
    QCOMPARE(rows[0].table, QString("SaleInfo"));
    QCOMPARE(rows[0].key, QString::number(id));
    // The unchanged address and the row version are not among them.
    QCOMPARE(rows[0].fields.size(), 3);
    QCOMPARE(rows[0].fields[0].name, QString("name"));
    QCOMPARE(rows[0].fields[0].oldValue.toString(), QStringLiteral("张伟"));
    QCOMPARE(rows[0].fields[0].newValue.toString(), QStringLiteral("李娜"));
    QCOMPARE(rows[0].fields[1].name, QString("phone"));
    QCOMPARE(rows[0].fields[1].oldValue.toString(), QString("010-62001234"));
    QCOMPARE(rows[0].fields[1].newValue.toString(), QString("021-555"));
    QCOMPARE(rows[0].fields[2].name, QString("overrun"));
    QCOMPARE(rows[0].fields[2].oldValue.toString(), before);
    QCOMPARE(rows[0].fields[2].newValue.toString(), QString("2030-01-31 00:00:00"));

    // The same values saved again: the row version moves, nothing is logged.
    const qint64 middle = LastLogID();
    QCOMPARE(SaleRecord::UpdateRecord(id, &version, {{"Name", QStringLiteral("李娜")}, {"Phone", "021-555"}},
                                      &error),
             SaleRecord::UpdateOutcome::Saved);
    QCOMPARE(RowsAfter(middle).size(), 0);

    // A statement that fails leaves no log row, even for rows it changed first.
    QVERIFY(TestEnv::InjectFailure("SaleInfo", "update", "old.id=" + QString::number(id)));
    InsertSale({});
    QVERIFY(!ExecCommand("update SaleInfo set Memo='x'"));
    QVERIFY(TestEnv::RemoveFailure("SaleInfo", "update"));
    QCOMPARE(RowsAfter(middle).size(), 1); // the insert only
}

void TestChangeLog::importLogsEveryRowInItsTransaction()
{
    QTemporaryDir dir;
    QString text = QStringLiteral("用户姓名,地址,购买日期\n");
    for (int i = 1; i <= 1000; ++i)
        text += QStringLiteral("客%1,北京,2024-01-01\n").arg(i);
    const QString file = dir.filePath("a.csv");
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
    }
    SaleImport::Preview preview;
    QString error;
    QCOMPARE(SaleImport::Analyse(file, &preview, &error), SaleImport::Outcome::Done);

    // Refused in the middle: neither records nor log rows remain.
    const qint64 start = LastLogID();
    QVERIFY(RefuseInsertOf(QStringLiteral("客600"), QStringLiteral("拒绝写入")));
    qint64 written = 0;
    QCOMPARE(SaleImport::Write(preview, false, &written, &error), SaleImport::Outcome::Failed);
    QVERIFY(DropRefusal());
    QCOMPARE(m_env->Scalar("select count(*) from ChangeLog where LogID>?", {start}).toLongLong(), 0);

    QCOMPARE(SaleImport::Write(preview, false, &written, &error), SaleImport::Outcome::Done);
    QCOMPARE(written, 1000);
    QCOMPARE(
        m_env
            ->Scalar("select count(*) from ChangeLog where LogID>? and Action=? and TableName='SaleInfo'",
                     {start, ChangeLog::Inserted})
            .toLongLong(),
        1000);
    // Each names its own record.
    QCOMPARE(
        m_env->Scalar("select count(distinct RecordKey) from ChangeLog where LogID>?", {start}).toLongLong(),
        1000);
}

void TestChangeLog::deletedRecordComesBackIdentical()
{
    Sale sale;
    sale.memo = QStringLiteral("第一行\n第二行 ' \" \\ 😀");
    sale.tb = "1";
    const qint64 id = InsertSale(sale);
    QVERIFY(ExecCommand("update SaleInfo set Fax=NULL, RowVersion=7 where id=?", {id}));
    const QStringList before = StoredRow(id);
    QVERIFY(!before.isEmpty());

    const qint64 start = LastLogID();
    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {id}));
    QVector<ChangeLog::Entry> rows = RowsAfter(start);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].action, ChangeLog::Deleted);
    qint64 restored = 0;
    QString error;
    QVERIFY2(ChangeLog::RestoreDeleted(*CurrentConnection(), rows[0].logID, &restored, &error),
             qPrintable(error));
    QCOMPARE(restored, id);
    QCOMPARE(StoredRow(id), before);
    rows = RowsAfter(rows[0].logID);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].action, ChangeLog::Restored);
    QCOMPARE(rows[0].key, QString::number(id));

    // A 恢复 row is no deletion to restore again.
    QVERIFY(!ChangeLog::RestoreDeleted(*CurrentConnection(), rows[0].logID, &restored, &error));

    // Its id taken meanwhile, the record comes back under a new one.
    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {id}));
    const qint64 deletion = LastLogID();
    QVERIFY(ExecCommand("insert into SaleInfo (id, Name, addr) values (?,?,?)", {id, "other", "x"}));
    QVERIFY2(ChangeLog::RestoreDeleted(*CurrentConnection(), deletion, &restored, &error), qPrintable(error));
    QVERIFY(restored > id);
    QCOMPARE(m_env->Scalar("select Memo from SaleInfo where id=?", {restored}).toString(), sale.memo);
    QCOMPARE(m_env->Scalar("select Name from SaleInfo where id=?", {id}).toString(), QString("other"));
}

void TestChangeLog::passwordsAreNeverLogged()
{
    const qint64 start = LastLogID();
    QVERIFY(SetUserPassword("ADMIN", "geheim42"));
    const QVector<ChangeLog::Entry> rows = RowsAfter(start);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].table, QString("AC_USERINFO"));
    QCOMPARE(rows[0].key, QString("ADMIN"));
    QCOMPARE(rows[0].fields.size(), 1);
    QCOMPARE(rows[0].fields[0].name, QString("userpass"));
    QCOMPARE(rows[0].fields[0].oldValue.toString(), QString("***"));
    QCOMPARE(rows[0].fields[0].newValue.toString(), QString("***"));
    const QString stored = m_env->Scalar("select UserPass from AC_USERINFO where UserID='ADMIN'").toString();
    const QString all = m_env->Scalar("select Fields from ChangeLog where LogID>?", {start}).toString();
    QVERIFY(!all.contains("geheim42"));
    QVERIFY(!all.contains(stored.mid(10, 20)));
    // A new user's whole row is logged with the password hidden too.
    QVERIFY(ExecCommand("insert into AC_USERINFO (UserID, UserName, UserPass) values (?,?,?)",
                        {"ZHANG", QStringLiteral("张三"), SqlArg::Secret("plain-pw")}));
    QVERIFY(!m_env->Scalar("select Fields from ChangeLog where RecordKey='ZHANG'")
                 .toString()
                 .contains("plain-pw"));
}

void TestChangeLog::userAndDeskComeFromTheConnection()
{
    TUser user;
    QCOMPARE(user.Login("admin", "admin"), int(TUser::Success));
    const qint64 start = LastLogID();
    const qint64 id = InsertSale({});
    QVector<ChangeLog::Entry> rows = RowsAfter(start);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].userID, QString("ADMIN"));
    QCOMPARE(rows[0].desk, ChangeLog::ThisDesk());
    QVERIFY(!rows[0].desk.isEmpty());

    // A second desk logs under its own user while the first keeps its own.
    SqlConnection other;
    QVERIFY(m_env->OpenSecondConnection(other));
    QVERIFY(ChangeLog::SetSession(other, "WANG", "desk-2"));
    SqlStatement update(&other, "update SaleInfo set Name=? where id=?");
    QVERIFY(update.Exec({QStringLiteral("王五"), id}));
    InsertSale({});
    rows = RowsAfter(start);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[1].userID + '@' + rows[1].desk, QString("WANG@desk-2"));
    QCOMPARE(rows[2].userID, QString("ADMIN"));

    // A reconnected session gets its values back.
    other.Close();
    QVERIFY(m_env->OpenSecondConnection(other));
    other.SetSessionValues("LI", "desk-3");
    QVERIFY(ChangeLog::ApplySession(other));
    SqlStatement again(&other, "update SaleInfo set Name=? where id=?");
    QVERIFY(again.Exec({QStringLiteral("李四"), id}));
    rows = RowsAfter(start);
    QCOMPARE(rows.last().userID + '@' + rows.last().desk, QString("LI@desk-3"));

    // Logged off, changes name nobody.
    user.Clear();
    InsertSale({});
    QCOMPARE(RowsAfter(start).last().userID, QString());
}

void TestChangeLog::writesOfAnotherProgramAreLogged()
{
    TUser user;
    QCOMPARE(user.Login("ADMIN", "admin"), int(TUser::Success));
    const qint64 id = InsertSale({});
    const qint64 start = LastLogID();
    if (TestEnv::OnServer()) {
        SqlConnection other;
        QVERIFY(m_env->OpenSecondConnection(other));
        QVERIFY(other.ExecRaw("update SaleInfo set Memo='direct' where id=" + QString::number(id)));
    } else {
        // Straight through the library, as the sqlite3 shell writes.
        sqlite3* db = nullptr;
        QCOMPARE(
            sqlite3_open_v2(m_env->DatabaseFile().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
        const QByteArray sql = "update SaleInfo set Memo='direct' where id=" + QByteArray::number(id);
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message);
        const QString reason = QString::fromUtf8(message ? message : "");
        sqlite3_free(message);
        sqlite3_close(db);
        QVERIFY2(rc == SQLITE_OK, qPrintable(reason));
    }
    QVector<ChangeLog::Entry> rows = RowsAfter(start);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].userID, QString());
    QCOMPARE(rows[0].desk, QString());
    QCOMPARE(rows[0].fields.size(), 1);
    QCOMPARE(rows[0].fields[0].newValue.toString(), QString("direct"));
    // This desk still logs under its user.
    QVERIFY(ExecCommand("update SaleInfo set Memo='desk' where id=?", {id}));
    QCOMPARE(RowsAfter(start).last().userID, QString("ADMIN"));
}

void TestChangeLog::triggersFollowAddedColumns()
{
    // What a later schema step may do: a new column on a logged table (which
    // has its row version already), then the triggers made anew.
    QVERIFY(ExecCommand("alter table AC_ROLEINFO add column Note VARCHAR(20)"));
    QString error;
    QVERIFY2(ChangeLog::CreateTriggers(*CurrentConnection(), &error), qPrintable(error));
    const qint64 start = LastLogID();
    QVERIFY(ExecCommand("update AC_ROLEINFO set RowVersion=RowVersion+1 where RoleID=1"));
    QCOMPARE(RowsAfter(start).size(), 0);
    QVERIFY(ExecCommand("update AC_ROLEINFO set Note='n', RowVersion=RowVersion+1 where RoleID=1"));
    const QVector<ChangeLog::Entry> rows = RowsAfter(start);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].fields.size(), 1);
    QCOMPARE(rows[0].fields[0].name, QString("note"));
    QCOMPARE(rows[0].fields[0].newValue.toString(), QString("n"));
    // Grants log under their pair of keys.
    QVERIFY(ExecCommand("delete from AC_ROLE_USER where RoleID=1"));
    QCOMPARE(RowsAfter(start).last().key, QString("1/ADMIN"));
}

void TestChangeLog::purgeRemovesOldRowsAndSaysSo()
{
    InsertSale({});
    InsertSale({});
    QVERIFY(ExecCommand("update ChangeLog set LogTime=? where LogID=?",
                        {QDateTime(QDate(2015, 5, 1), QTime(9, 0)), LastLogID()}));
    const qint64 total = m_env->Scalar("select count(*) from ChangeLog").toLongLong();
    qint64 removed = 0;
    QString error;
    QVERIFY2(ChangeLog::Purge(*CurrentConnection(), 3, &removed, &error), qPrintable(error));
    QCOMPARE(removed, 1);
    QCOMPARE(m_env->Scalar("select count(*) from ChangeLog").toLongLong(), total);
    const ChangeLog::Entry last = RowsAfter(LastLogID() - 1).value(0);
    QCOMPARE(last.action, ChangeLog::Purged);
    QCOMPARE(last.fields.value(1).newValue.toString(), QString("1"));
}

void TestChangeLog::windowFiltersPagesAndRestores()
{
    TUser user;
    QCOMPARE(user.Login("ADMIN", "admin"), int(TUser::Success));
    QList<qint64> ids;
    for (int i = 0; i < 300; ++i)
        ids << InsertSale({});
    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {ids[10]}));
    QVERIFY(ExecCommand("delete from SaleInfo where id=?", {ids[20]}));

    ChangeLogModel model;
    QVERIFY(model.Load({}));
    QCOMPARE(model.rowCount(), ChangeLogModel::FirstPageSize);
    QCOMPARE(model.Text(0, ChangeLogModel::ColAction), ChangeLog::Deleted);
    QVERIFY(model.canFetchMore({}));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    while (model.canFetchMore({}))
        model.fetchMore({});
    const qint64 all = m_env->Scalar("select count(*) from ChangeLog").toLongLong();
    QCOMPARE(model.rowCount(), int(all));
    for (int row = 1; row < model.rowCount(); ++row)
        QVERIFY(model.LogID(row) < model.LogID(row - 1));

    SessionRights::Install([](const QString& id) { return id == "400931"; }, [] { return QString("ADMIN"); });
    TFrmChangeLog form;
    form.show();
    form.findChild<QComboBox*>("CmbAction")->setCurrentText(ChangeLog::Deleted);
    QTest::mouseClick(form.findChild<QPushButton*>("BtnSearch"), Qt::LeftButton);
    ChangeLogModel* shown = form.GridModel();
    QCOMPARE(shown->rowCount(), 2);
    QCOMPARE(shown->Text(1, ChangeLogModel::ColKey), QString::number(ids[10]));
    QVERIFY(shown->Text(1, ChangeLogModel::ColFields).contains(QStringLiteral("张伟")));

    QTableView* grid = form.findChild<QTableView*>("GridMain");
    grid->setCurrentIndex(shown->index(1, 0));
    QPushButton* restore = form.findChild<QPushButton*>("BtnRestore");
    QVERIFY(restore->isEnabled());
    m_dialogs->QueueAnswer(Dialogs::Yes);
    QTest::mouseClick(restore, Qt::LeftButton);
    QCOMPARE(m_env->Scalar("select count(*) from SaleInfo where id=?", {ids[10]}).toLongLong(), 1);
    QVERIFY(m_dialogs->Texts().last().contains(QString::number(ids[10])));

    // Filtered by record number: its whole story, newest first.
    form.findChild<QComboBox*>("CmbAction")->setCurrentIndex(0);
    form.findChild<QLineEdit*>("EditKey")->setText(QString::number(ids[10]));
    QTest::mouseClick(form.findChild<QPushButton*>("BtnSearch"), Qt::LeftButton);
    QCOMPARE(shown->rowCount(), 3);
    QCOMPARE(shown->Action(0), ChangeLog::Restored);
    QCOMPARE(shown->Action(2), ChangeLog::Inserted);

    // Exported as shown.
    QTemporaryDir dir;
    m_dialogs->QueueFileName(dir.filePath("log.xlsx"));
    QTest::mouseClick(form.findChild<QPushButton*>("BtnExport"), Qt::LeftButton);
    QVERIFY(QFile::exists(dir.filePath("log.xlsx")));
    QVERIFY(m_dialogs->Texts().last().contains(QStringLiteral("已导出 3 条")));

    // Without the sub-right there is neither 恢复 nor 清理.
    SessionRights::Install([](const QString&) { return false; }, [] { return QString("ADMIN"); });
    TFrmChangeLog plain;
    QVERIFY(!plain.findChild<QPushButton*>("BtnPurge")->isEnabled());
    plain.findChild<QComboBox*>("CmbAction")->setCurrentText(ChangeLog::Deleted);
    plain.BtnSearchClick();
    plain.findChild<QTableView*>("GridMain")->setCurrentIndex(plain.GridModel()->index(0, 0));
    QVERIFY(!plain.findChild<QPushButton*>("BtnRestore")->isEnabled());
}

void TestChangeLog::entryDialogShowsTheHistory()
{
    const qint64 id = InsertSale({});
    qint64 version = SaleRecord::ReadRowVersion(id).value_or(-1);
    QString error;
    QCOMPARE(SaleRecord::UpdateRecord(id, &version, {{"CPU", "AMD Ryzen 5"}}, &error),
             SaleRecord::UpdateOutcome::Saved);

    TFrmInputInfo* dialog = FrmInputInfo();
    dialog->SetAddMode(true);
    QVERIFY(!dialog->findChild<QPushButton*>("BtnHistory")->isEnabled());
    dialog->SetAddMode(false);
    dialog->SetRecordId(id);
    QVERIFY(dialog->findChild<QPushButton*>("BtnHistory")->isEnabled());

    ChangeHistoryDialog history;
    QVERIFY(history.Load("SaleInfo", QString::number(id), QString()));
    QStandardItemModel* lines = history.Lines();
    QCOMPARE(lines->rowCount(), 2);
    // Newest first, the field by the list's caption.
    QCOMPARE(lines->item(0, 3)->text(), ChangeLog::Updated);
    QCOMPARE(lines->item(0, 4)->text(), QStringLiteral("处理器(CPU)"));
    QCOMPARE(lines->item(0, 5)->text(), QStringLiteral("Intel Core i5 → AMD Ryzen 5"));
    QCOMPARE(lines->item(1, 3)->text(), ChangeLog::Inserted);
}

void TestChangeLog::upgradeAddsTheLogToAnOlderDatabase()
{
    // The database as the build before the log made it.
    QString error;
    SqlConnection& connection = *CurrentConnection();
    QVERIFY2(ChangeLog::DropTriggers(connection, &error), qPrintable(error));
    QVERIFY(ExecCommand("drop table ChangeLog"));
    QVERIFY(ExecCommand("delete from AC_FUNCTIONINFO where FunctionID in ('4009','400931')"));
    QVERIFY(ExecCommand("delete from AC_MENUSTRUCT where FunctionID='4009'"));
    QVERIFY(ExecCommand("delete from AC_GROUPCFG where FunctionID='4009'"));
    QVERIFY(ExecCommand("update SeqTable set MenuID=74, ItemID=20"));
    QVERIFY(SqlDialect::SetSchemaVersion(connection, Schema::ChangeLogVersion - 1));
    const qint64 menus = m_env->Scalar("select count(*) from AC_MENUSTRUCT").toLongLong();

    QVERIFY2(Schema::Upgrade(connection, &error), qPrintable(error));
    QCOMPARE(
        m_env->Scalar("select count(*) from AC_FUNCTIONINFO where FunctionID in ('4009','400931')").toInt(),
        2);
    QCOMPARE(m_env->Scalar("select count(*) from AC_MENUSTRUCT").toLongLong(), menus + 1);
    // Beside 系统日志, with a key the counters go on from.
    QCOMPARE(m_env->Scalar("select ParentMenuID from AC_MENUSTRUCT where FunctionID='4009'").toInt(),
             m_env->Scalar("select ParentMenuID from AC_MENUSTRUCT where FunctionID='4005'").toInt());
    QCOMPARE(m_env->Scalar("select MenuID from AC_MENUSTRUCT where FunctionID='4009'").toInt(),
             m_env->Scalar("select MenuID from SeqTable").toInt());
    QCOMPARE(m_env->Scalar("select ParentItemID from AC_GROUPCFG where FunctionID='4009'").toInt(),
             m_env->Scalar("select ParentItemID from AC_GROUPCFG where FunctionID='4005'").toInt());
    QCOMPARE(m_env->Scalar("select ItemID from AC_GROUPCFG where FunctionID='4009'").toInt(),
             m_env->Scalar("select ItemID from SeqTable").toInt());
    // Logging from the first change on.
    InsertSale({});
    QCOMPARE(m_env->Scalar("select count(*) from ChangeLog").toLongLong(), 1);
    // Upgraded again (a restored copy), nothing doubles.
    QVERIFY(SqlDialect::SetSchemaVersion(connection, Schema::ChangeLogVersion - 1));
    QVERIFY(ExecCommand("drop table ChangeLog"));
    QVERIFY2(Schema::Upgrade(connection, &error), qPrintable(error));
    QCOMPARE(m_env->Scalar("select count(*) from AC_MENUSTRUCT").toLongLong(), menus + 1);
}

QTEST_MAIN(TestChangeLog)
#include "tst_changelog.moc"
