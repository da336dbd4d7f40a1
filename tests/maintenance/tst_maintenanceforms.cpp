// The maintenance dialogs driven like a user would: the backup list, its
// sorting, backup, restore and delete with their boxes, the options round
// trip and compaction.
#include "ArchiveFixture.h"
#include "BackupFolder.h"
#include "DataAccess.h"
#include "DatabaseLock.h"
#include "RestoredSession.h"
#include "IniFile.h"
#include "PgTools.h"
#include "ScriptedDialogs.h"
#include "Settings.h"
#include "TFrmBackUp.h"
#include "TFrmCompressData.h"
#include "TFrmOption.h"
#include "TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

void WriteFile(const QString& path, qint64 size)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(size));
}

QStringList Column(QTableWidget* list, int column)
{
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r)
        out << list->item(r, column)->text();
    return out;
}

int SaleCount()
{
    SqlStatement s(CurrentConnection(), "select count(*) from SaleInfo");
    return s.Step() ? s.ColumnValue(0).toInt() : -1;
}

void Click(QWidget* form, const char* name)
{
    auto* button = form->findChild<QPushButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void SelectRow(QTableWidget* list, const QString& fileName)
{
    for (int r = 0; r < list->rowCount(); ++r)
        if (list->item(r, 0)->text() == fileName) {
            list->selectRow(r);
            return;
        }
    QFAIL(qPrintable("no row " + fileName));
}

} // namespace

class TestMaintenanceForms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { PgTools::SetSearchFolders({}); }
    void listOrderSizesAndSorting();
    void backupRestoreAndDelete();
    void failuresAreReported();
    void optionsRoundTrip();
    void compaction();
    void serverCompactionAndMissingTools();
};

void TestMaintenanceForms::init()
{
    if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())
        QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));
}

void TestMaintenanceForms::listOrderSizesAndSorting()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    const QString dir = BackupFolder::Path();
    QVERIFY(QDir().mkpath(dir));
    WriteFile(dir + "2024-01-02-10-00-00.zbk", 1048575);
    WriteFile(dir + "2024-01-01-10-00-00.Zbk", 100);
    WriteFile(dir + "2024-01-03-10-00-00.Jbk", 1048576);
    WriteFile(dir + "2024-01-04-10-00-00.jbk", 9 * 1024);
    WriteFile(dir + "2024-01-06-10-00-00.pgdump", 2048);
    WriteFile(dir + "readme.txt", 10);
    {
        QFile f(dir + "2024-01-03-10-00-00.Jbk");
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime(QDate(2024, 1, 3), QTime(10, 0, 7)), QFileDevice::FileModificationTime));
    }

    TFrmBackUp form;
    auto* list = form.findChild<QTableWidget*>("Lv1");
    QVERIFY(list);
    QCOMPARE(Column(list, 0), (QStringList{"2024-01-03-10-00-00.Jbk", "2024-01-04-10-00-00.jbk",
                                           "2024-01-01-10-00-00.Zbk", "2024-01-02-10-00-00.zbk",
                                           "2024-01-06-10-00-00.pgdump"}));
    QCOMPARE(Column(list, 1), (QStringList{"压缩文档", "压缩文档", "备份文档", "备份文档", "服务器备份"}));
    QCOMPARE(Column(list, 2), (QStringList{"1.00 MB", "9 KB", "0 KB", "1023 KB", "2 KB"}));
    QCOMPARE(list->item(0, 3)->text(), QString("2024-01-03,10:00:07"));
    QVERIFY(!list->item(0, 0)->icon().isNull());
    QVERIFY(list->item(0, 0)->icon().cacheKey() != list->item(2, 0)->icon().cacheKey());

    // Header clicks: ascending, then the same header again reverses.
    list->horizontalHeader()->sectionClicked(0);
    QCOMPARE(Column(list, 0).first(), QString("2024-01-01-10-00-00.Zbk"));
    list->horizontalHeader()->sectionClicked(0);
    QCOMPARE(Column(list, 0).first(), QString("2024-01-06-10-00-00.pgdump"));
    list->horizontalHeader()->sectionClicked(2);
    QCOMPARE(Column(list, 2), (QStringList{"0 KB", "2 KB", "9 KB", "1023 KB", "1.00 MB"}));

    // F5 picks up a file made behind the dialog's back.
    WriteFile(dir + "2024-01-05-10-00-00.zbk", 10);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(list, Qt::Key_F5);
    QCOMPARE(list->rowCount(), 6);
}

void TestMaintenanceForms::backupRestoreAndDelete()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    ScriptedDialogs dialogs;
    // A server's backups are pg_dump archives, packed or not.
    const bool server = TestEnv::OnServer();
    const QString packedType = server ? QStringLiteral("服务器备份") : QStringLiteral("压缩文档");
    const QString plainType = server ? QStringLiteral("服务器备份") : QStringLiteral("备份文档");
    QVERIFY(ExecCommand("insert into SaleInfo (Name) values ('李娜')"));
    QVERIFY(Settings::SetBackUpCompressed(1));
    QVERIFY(Settings::SetBackUpLevel(5));

    TFrmBackUp form;
    form.show();
    auto* list = form.findChild<QTableWidget*>("Lv1");
    QCOMPARE(list->rowCount(), 0);
    Click(&form, "btnBackup");
    QCOMPARE(dialogs.Texts(), QStringList{"数据库维护操作成功！"});
    QCOMPARE(dialogs.Boxes().last().caption, QString("提示"));
    QCOMPARE(Column(list, 1), QStringList{packedType});
    const QString archive = list->item(0, 0)->text();
    QVERIFY(archive.endsWith(server ? ".pgdump" : ".Jbk"));

    // The options are read again at the next show: now a plain copy.
    QVERIFY(Settings::SetBackUpCompressed(0));
    form.hide();
    form.show();
    QCOMPARE(form.CompressBackup(), 0);
    Click(&form, "btnBackup");
    QCOMPARE(Column(list, 1), (QStringList{packedType, plainType}));

    // Restore: question, then the data of the backup is back.
    QVERIFY(ExecCommand("delete from SaleInfo"));
    SelectRow(list, archive);
    dialogs.ClearRecords();
    dialogs.QueueAnswer(Dialogs::Yes);
    Click(&form, "btnReduce");
    QCOMPARE(dialogs.Texts(), (QStringList{"还原'晨枫'数据时，将导致现有数据被覆盖，您确定要还原吗？\n" +
                                               RestoredSession::QuestionLine(server),
                                           "数据库维护操作成功！"}));
    QCOMPARE(dialogs.Boxes().first().caption, QString("提醒"));
    QCOMPARE(SaleCount(), 1);
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(list->rowCount(), 3);  // the replaced database is kept as before-restore-….zbk

    // Restore answered No changes nothing.
    QVERIFY(ExecCommand("delete from SaleInfo"));
    SelectRow(list, archive);
    dialogs.QueueAnswer(Dialogs::No);
    Click(&form, "btnReduce");
    QCOMPARE(SaleCount(), 0);

    // Delete: No keeps the file, Yes removes file and row.
    dialogs.ClearRecords();
    SelectRow(list, archive);
    dialogs.QueueAnswer(Dialogs::No);
    Click(&form, "btnDelete");
    QCOMPARE(dialogs.Boxes().last().text, QString("您确定要删除这一个备份文件吗？删除后不能恢复！"));
    QCOMPARE(dialogs.Boxes().last().caption, QString("询问"));
    QVERIFY(QFileInfo::exists(BackupFolder::Path() + archive));
    dialogs.QueueAnswer(Dialogs::Yes);
    Click(&form, "btnDelete");
    QVERIFY(!QFileInfo::exists(BackupFolder::Path() + archive));
    QCOMPARE(list->rowCount(), 2);
    QVERIFY(!dialogs.Failed());
}

void TestMaintenanceForms::failuresAreReported()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    ScriptedDialogs dialogs;
    const QString dir = BackupFolder::Path();
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(ExecCommand("insert into SaleInfo (Name) values ('李娜')"));
    const QByteArray sqliteDatabase = QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0');
    QVERIFY(WriteZip(dir + "evil.Jbk", {{"../x.zbk", sqliteDatabase}}));
    {
        // A damaged server backup: pg_dump's signature, then nonsense.
        QFile f(dir + "bad.pgdump");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("PGDMP\x01\x0e\x00", 8) + QByteArray(5000, 'x'));
    }
    WriteFile(dir + "gone.zbk", 10);
    WriteFile(dir + "stuck.zbk", 10);
    const QByteArray before = env.ServerDatabase().isEmpty() ? FileHash(env.DatabaseFile()) : QByteArray();

    TFrmBackUp form;
    form.show();
    auto* list = form.findChild<QTableWidget*>("Lv1");
    // The backup of this desk's engine that cannot be read: the failure box,
    // the reason in the command log.
    SelectRow(list, TestEnv::OnServer() ? "bad.pgdump" : "evil.Jbk");
    dialogs.QueueAnswer(Dialogs::Yes);
    Click(&form, "btnReduce");
    // The reason on the second line.
    const QStringList lines = dialogs.LastText().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString("数据库维护操作失败，请稍候再试！"));
    QVERIFY2(lines[1].contains(TestEnv::OnServer() ? "pg_restore" : "不安全的路径"), qPrintable(lines[1]));
    QCOMPARE(dialogs.Boxes().last().icon, Dialogs::Icon::Critical);
    if (!TestEnv::OnServer())
        QCOMPARE(FileHash(env.DatabaseFile()), before);
    QCOMPARE(SaleCount(), 1);
    QVERIFY(DataM->ADOConn.IsOpen());
    QVERIFY(env.CommandLogLines().last().contains("没有还原成功"));

    // The other engine's backup is refused before the question.
    dialogs.ClearRecords();
    SelectRow(list, TestEnv::OnServer() ? "evil.Jbk" : "bad.pgdump");
    Click(&form, "btnReduce");
    QCOMPARE(dialogs.Texts().size(), 1);
    QVERIFY2(dialogs.LastText().contains(TestEnv::OnServer() ? "单机数据库（SQLite）的备份，不能还原到数据库服务器"
                                                             : "数据库服务器（PostgreSQL）的备份，不能还原到单机数据库"),
             qPrintable(dialogs.LastText()));
    QCOMPARE(SaleCount(), 1);

    // Another program has the database open: refused before the question.
    if (!TestEnv::OnServer()) {
        const int fd = ::open(QFile::encodeName(DatabaseLock::LockFileFor(env.DatabaseFile())).constData(),
                              O_RDWR | O_CREAT, 0666);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_SH) == 0);
        dialogs.ClearRecords();
        SelectRow(list, "stuck.zbk");
        Click(&form, "btnReduce");
        ::close(fd);
        QCOMPARE(dialogs.Texts(), QStringList{DatabaseLock::InUseText()});
        QCOMPARE(SaleCount(), 1);
    }

    // A backup removed behind the dialog's back.
    QVERIFY(QFile::remove(dir + "gone.zbk"));
    SelectRow(list, "gone.zbk");
    Click(&form, "btnReduce");
    QCOMPARE(dialogs.LastText(), QString("您所选择的数据库备份文件不存在，请选择其他备份文件！"));
    QCOMPARE(dialogs.Boxes().last().caption, QString("错误"));
    QCOMPARE(list->rowCount(), 3);  // refreshed

    // A file that cannot be removed keeps its row and says so.
    QVERIFY(QFile::remove(dir + "stuck.zbk"));
    QVERIFY(QDir().mkpath(dir + "stuck.zbk/inside"));
    SelectRow(list, "stuck.zbk");
    dialogs.QueueAnswer(Dialogs::Yes);
    Click(&form, "btnDelete");
    QVERIFY(dialogs.LastText().contains("无法删除备份文件“stuck.zbk”"));
    QCOMPARE(list->rowCount(), 3);
    QVERIFY(!dialogs.Failed());
}

void TestMaintenanceForms::optionsRoundTrip()
{
    TestEnv env;
    QVERIFY(env.IsValid());
    ScriptedDialogs dialogs;
    {
        TFrmOption form;
        form.show();
        QVERIFY(form.findChild<QRadioButton*>("optYes")->isChecked());
        QCOMPARE(form.findChild<QComboBox*>("cmbMode")->currentText(), QString("标准"));
        QVERIFY(!form.findChild<QCheckBox*>("chkAuto")->isChecked());
        QCOMPARE(form.findChild<QSpinBox*>("spnKeep")->value(), 10);
        // 关闭 writes nothing.
        form.findChild<QRadioButton*>("optNo")->setChecked(true);
        Click(&form, "btnClose");
        QVERIFY(!QFileInfo::exists(Settings::IniPath()) ||
                IniFile(Settings::IniPath()).ReadString("BackUpSet", "BackUp").isEmpty());
    }
    {
        TFrmOption form;
        form.show();
        form.findChild<QRadioButton*>("optNo")->setChecked(true);
        form.findChild<QComboBox*>("cmbMode")->setCurrentIndex(5);
        form.findChild<QCheckBox*>("chkAuto")->setChecked(true);
        form.findChild<QSpinBox*>("spnKeep")->setValue(4);
        Click(&form, "btnSave");
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Settings::BackUpCompressed(), 0);
    QCOMPARE(Settings::BackUpLevel(), 5);
    QCOMPARE(Settings::BackUpAuto(), 1);
    QCOMPARE(Settings::BackUpKeep(), 4);

    // A method outside 0–5 shows 标准 and is saved as 3, never as -1; a
    // non-zero BackUp other than 1 shows packing and is saved as 1.
    QVERIFY(Settings::SetBackUpLevel(9));
    QVERIFY(Settings::SetBackUpCompressed(7));
    TFrmOption form;
    form.show();
    QCOMPARE(form.findChild<QComboBox*>("cmbMode")->currentText(), QString("标准"));
    QVERIFY(form.findChild<QRadioButton*>("optYes")->isChecked());
    QCOMPARE(form.findChild<QCheckBox*>("chkAuto")->isChecked(), true);
    Click(&form, "btnSave");
    QCOMPARE(Settings::BackUpLevel(), 3);
    QCOMPARE(Settings::BackUpCompressed(), 1);
    QVERIFY(dialogs.Texts().isEmpty());
}

void TestMaintenanceForms::compaction()
{
    if (TestEnv::OnServer())
        QSKIP("about the SQLite file; serverCompactionAndMissingTools covers the server");
    TestEnv env;
    QVERIFY(env.IsValid());
    ScriptedDialogs dialogs;
    {
        SqlTransaction transaction(CurrentConnection());
        for (int i = 0; i < 2000; ++i)
            QVERIFY(ExecCommand("insert into SaleInfo (Name, Memo) values ('王芳', ?)", {QString(300, 'm')}));
        QVERIFY(transaction.Commit());
    }
    QVERIFY(ExecCommand("delete from SaleInfo where id > 5"));
    // The deleted records live on in the change log until it is cleared.
    QVERIFY(ExecCommand("delete from ChangeLog"));
    const qint64 before = QFileInfo(env.DatabaseFile()).size();

    // Another program has the database open: refused, nothing changes.
    {
        const int fd = ::open(QFile::encodeName(DatabaseLock::LockFileFor(env.DatabaseFile())).constData(),
                              O_RDWR | O_CREAT, 0666);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_SH) == 0);
        TFrmCompressData form;
        form.show();
        Click(&form, "btnCompress");
        ::close(fd);
        QCOMPARE(dialogs.LastText(), DatabaseLock::InUseText());
        QVERIFY(form.isVisible());
        QVERIFY(DataM->ADOConn.IsOpen());
        QCOMPARE(QFileInfo(env.DatabaseFile()).size(), before);
    }

    TFrmCompressData form;
    form.show();
    Click(&form, "btnCompress");
    QCOMPARE(dialogs.LastText(), QString("数据库压缩成功！"));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(DataM->ADOConn.IsOpen());
    QCOMPARE(SaleCount(), 5);
    QVERIFY(QFileInfo(env.DatabaseFile()).size() < before / 4);

    // No database file at all.
    QVERIFY(QFile::remove(env.DatabaseFile()));
    TFrmCompressData again;
    again.show();
    Click(&again, "btnCompress");
    QCOMPARE(dialogs.LastText(), QString("无法获得数据库来源，压缩修复ACCESS数据库失败。"));
    QVERIFY(!dialogs.Failed());
}

void TestMaintenanceForms::serverCompactionAndMissingTools()
{
    if (!TestEnv::OnServer())
        QSKIP("about the PostgreSQL server; runs as tst_maintenanceforms_postgresql");
    TestEnv env;
    QVERIFY(env.IsValid());
    ScriptedDialogs dialogs;
    {
        SqlTransaction transaction(CurrentConnection());
        for (int i = 0; i < 500; ++i)
            QVERIFY(ExecCommand("insert into SaleInfo (Name, Memo) values ('王芳', ?)", {QString(300, 'm')}));
        QVERIFY(transaction.Commit());
    }
    QVERIFY(ExecCommand("delete from SaleInfo where id > 5"));
    {
        TFrmCompressData form;
        form.show();
        Click(&form, "btnCompress");
        QCOMPARE(dialogs.Texts(), QStringList{"数据库压缩成功！"});
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(DataM->ADOConn.IsOpen());
        QCOMPARE(SaleCount(), 5);
    }

    // Without the client programs the dialog names the package and does
    // nothing else: no backup, no question before a restore.
    QTemporaryDir noTools;
    PgTools::SetSearchFolders({noTools.path()});
    const QString dir = BackupFolder::Path();
    QVERIFY(QDir().mkpath(dir));
    {
        QFile f(dir + "2024-01-01-10-00-00.pgdump");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("PGDMP\x01\x0e\x00", 8));
    }
    TFrmBackUp form;
    form.show();
    dialogs.ClearRecords();
    Click(&form, "btnBackup");
    QCOMPARE(dialogs.Texts().size(), 1);
    QVERIFY2(dialogs.LastText().contains(QRegularExpression("请安装 postgresql-client-\\d+ 软件包")),
             qPrintable(dialogs.LastText()));
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"2024-01-01-10-00-00.pgdump"});
    auto* list = form.findChild<QTableWidget*>("Lv1");
    SelectRow(list, "2024-01-01-10-00-00.pgdump");
    Click(&form, "btnReduce");
    QCOMPARE(dialogs.Texts().size(), 2);
    QVERIFY(dialogs.LastText().contains("postgresql-client"));
    QCOMPARE(SaleCount(), 5);
    QVERIFY(!dialogs.Failed());
}

QTEST_MAIN(TestMaintenanceForms)
#include "tst_maintenanceforms.moc"
