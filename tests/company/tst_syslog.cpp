#include "DataAccess.h"
#include "ScriptedDialogs.h"
#include "SysLogModel.h"
#include "TFrmSysLog.h"
#include "TestEnv.h"
#include "XlsxCells.h"

#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

// The usage-log viewer over the data module's log window.
class TestSysLog : public QObject
{
    Q_OBJECT

    static QStringList ShownTexts(const QAbstractItemModel* model)
    {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r)
            texts << model->index(r, 3).data().toString();
        return texts;
    }

    static void SelectRows(QTableView* grid, const QList<int>& rows)
    {
        grid->clearSelection();
        for (int r : rows)
            grid->selectionModel()->select(grid->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    static int StoredRows(const TestEnv& env) { return env.Scalar("select count(*) from UseLog").toInt(); }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void init()
    {
        m_env = std::make_unique<TestEnv>();
        QVERIFY2(m_env->IsValid(), qPrintable(m_env->Error()));
        for (int i = 1; i <= 5; ++i)
            DataM->WriteUsageLog(QStringLiteral("日志%1").arg(i));
    }
    void cleanup() { m_env.reset(); }

    void gridShowsTheFourColumns()
    {
        TFrmSysLog form;
        QCOMPARE(form.windowTitle(), QString("系统日志"));
        auto* grid = form.findChild<QTableView*>("GridMain");
        QAbstractItemModelTester tester(grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList titles;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            titles << grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"用户代码", "用户名称", "日志时间", "日志内容"}));
        QCOMPARE(grid->columnWidth(1), 120);
        QVERIFY(grid->columnWidth(2) >= 130);
        QVERIFY(grid->columnWidth(3) >= 200);
        QCOMPARE(grid->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(ShownTexts(grid->model()), QStringList({"日志1", "日志2", "日志3", "日志4", "日志5"}));
        QVERIFY(QDateTime::fromString(grid->model()->index(0, 2).data().toString(), "yyyy-MM-dd HH:mm:ss")
                    .isValid());

        // Rows written while the form is open appear without a refresh.
        DataM->WriteUsageLog("进入：本单位信息设置");
        QCOMPARE(grid->model()->rowCount(), 6);
        QCOMPARE(grid->model()->index(5, 3).data().toString(), QString("进入：本单位信息设置"));
    }

    void deleteSelectedRowsAfterAsking()
    {
        ScriptedDialogs dialogs;
        TFrmSysLog form;
        form.show();
        auto* grid = form.findChild<QTableView*>("GridMain");
        QAbstractItemModelTester tester(grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);

        // Nothing selected: nothing asked (an unexpected question fails).
        grid->clearSelection();
        QTest::mouseClick(form.findChild<QPushButton*>("btnDelete"), Qt::LeftButton);

        SelectRows(grid, {0, 2, 3});
        dialogs.QueueAnswer(Dialogs::No);
        QTest::mouseClick(form.findChild<QPushButton*>("btnDelete"), Qt::LeftButton);
        QCOMPARE(dialogs.LastText(), QString("您确定要删除这 3 条日志记录吗？"));
        QCOMPARE(dialogs.Boxes().last().caption, QString("询问"));
        QCOMPARE(dialogs.Boxes().last().buttons, int(Dialogs::Yes | Dialogs::No));
        QCOMPARE(grid->model()->rowCount(), 5);
        QCOMPARE(StoredRows(*m_env), 5);

        dialogs.QueueAnswer(Dialogs::Yes);
        QTest::mouseClick(form.findChild<QPushButton*>("btnDelete"), Qt::LeftButton);
        QCOMPARE(ShownTexts(grid->model()), QStringList({"日志2", "日志5"}));
        QCOMPARE(StoredRows(*m_env), 2);
        QCOMPARE(m_env->Scalar("select count(*) from UseLog where LogText in ('日志2','日志5')").toInt(), 2);

        // The Delete key in the grid does the same.
        SelectRows(grid, {1});
        grid->setFocus();
        dialogs.QueueAnswer(Dialogs::Yes);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(dialogs.LastText(), QString("您确定要删除这 1 条日志记录吗？"));
        QCOMPARE(ShownTexts(grid->model()), QStringList{"日志2"});
        QCOMPARE(StoredRows(*m_env), 1);
    }

    void failedDeleteKeepsEveryRow()
    {
        ScriptedDialogs dialogs;
        TFrmSysLog form;
        auto* grid = form.findChild<QTableView*>("GridMain");
        QVERIFY(TestEnv::InjectFailure("UseLog", "delete"));
        SelectRows(grid, {1, 4});
        dialogs.QueueAnswer(Dialogs::Yes);
        form.btnDeleteClick();
        QVERIFY(dialogs.LastText().startsWith("删除日志记录失败："));
        QCOMPARE(StoredRows(*m_env), 5);
        QCOMPARE(ShownTexts(grid->model()), QStringList({"日志1", "日志2", "日志3", "日志4", "日志5"}));
        // The dataset holds nothing pending that a later write could apply.
        QVERIFY(!DataM->adoSetLog.HasPendingUpdates());
        DataM->WriteUsageLog("之后");
        QCOMPARE(StoredRows(*m_env), 6);
    }

    void olderRowsStayOutEvenAfterRefresh()
    {
        ScriptedDialogs dialogs;
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(ExecCommand("insert into UseLog values ('admin','管理员',?,'五天前')", {now.addDays(-5)}));
        QVERIFY(ExecCommand("insert into UseLog values ('admin','管理员',?,'两天前')", {now.addDays(-2)}));
        TFrmSysLog form;
        auto* grid = form.findChild<QTableView*>("GridMain");
        QTest::mouseClick(form.findChild<QPushButton*>("btnReLoad"), Qt::LeftButton);
        const QStringList texts = ShownTexts(grid->model());
        QVERIFY(texts.contains("两天前"));
        QVERIFY(!texts.contains("五天前"));
        QCOMPARE(texts.size(), 6);
    }

    void exportWritesTheLogWithTitles()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        TFrmSysLog form;
        dialogs.QueueFileName(dir.filePath("log.xlsx"));
        QTest::mouseClick(form.findChild<QPushButton*>("btnExport"), Qt::LeftButton);
        const QMap<QString, XlsxReader::Cell> cells = ReadXlsxCells(dir.filePath("log.xlsx"));
        QCOMPARE(cells["A1"].text, QString("用户代码"));
        QCOMPARE(cells["D1"].text, QString("日志内容"));
        QCOMPARE(cells["D6"].text, QString("日志5"));
        QVERIFY(cells["C2"].format.startsWith("yyyy-mm-dd"));

        // An empty log is not exported.
        QVERIFY(ExecCommand("delete from UseLog"));
        form.btnReLoadClick();
        QTest::mouseClick(form.findChild<QPushButton*>("btnExport"), Qt::LeftButton);
        QCOMPARE(dialogs.LastText(), QString("没有数据需要导出！"));
        QCOMPARE(dialogs.FileRequests().size(), 1);
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_MAIN(TestSysLog)
#include "tst_syslog.moc"
