#include "Dialogs.h"
#include "ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

// The dialog service: the real boxes and file dialogs behind it, the filter
// conversion, and the scripted service the other suites rely on.
namespace {
Dialogs::Message Box(const QString& text, const QString& caption = QString(),
                     Dialogs::Icon icon = Dialogs::Icon::Information)
{
    return {text, caption, icon};
}
Dialogs::FileRequest Files(const QString& title, const QString& filter = QString())
{
    Dialogs::FileRequest request;
    request.title = title;
    request.filter = filter;
    return request;
}
} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

    // Runs `inspect` on the modal dialog once it is up (the real service
    // blocks in exec() meanwhile).
    template <typename Dialog> static void WhenShown(std::function<void(Dialog*)> inspect)
    {
        auto* timer = new QTimer;
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                timer->stop();
                timer->deleteLater();
                inspect(dialog);
                // A failed check inside `inspect` returns early and would leave
                // the dialog waiting for ever: close what is still open.
                QPointer<QDialog> open(dialog);
                QTimer::singleShot(2000, [open] {
                    if (open && open->isVisible()) {
                        QTest::qFail("dialog was still open after the scripted answer", __FILE__, __LINE__);
                        open->reject();
                    }
                });
            }
        });
        timer->start();
    }

private slots:
    void initTestCase() { QApplication::setApplicationDisplayName("维保档案管家"); }

    void filtersConvertToQtForm_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("excel") << "Excel文件|*.xlsx|所有文件|*.*"
                               << "Excel文件 (*.xlsx);;所有文件 (*.*)";
        QTest::newRow("several patterns") << "图片|*.jpg;*.png"
                                          << "图片 (*.jpg *.png)";
        QTest::newRow("blanks") << " 文本 | *.txt ; *.log "
                                << "文本 (*.txt *.log)";
        QTest::newRow("dangling description") << "报表文件|*.rmp|多余"
                                              << "报表文件 (*.rmp)";
        QTest::newRow("no description") << "|*.Jbk"
                                        << "*.Jbk (*.Jbk)";
        QTest::newRow("entry without pattern") << "空|;|备份|*.Zbk"
                                               << "备份 (*.Zbk)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void filtersConvertToQtForm()
    {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(Dialogs::QtFilter(filter), expected);
    }

    void realQuestionBoxHonoursCaptionButtonsAndDefault()
    {
        QtDialogs dialogs;
        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->windowTitle(), QString("维保档案管家")); // no caption given
            QCOMPARE(box->text(), QString("确定要退出本程序吗？"));
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(dialogs.Ask(nullptr, {"确定要退出本程序吗？", QString(), Dialogs::Icon::Question},
                             Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel),
                 Dialogs::Ok);

        // Escape answers Cancel, or No where there is no Cancel.
        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->windowTitle(), QString("询问"));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(dialogs.Ask(nullptr, {"删除吗？", "询问", Dialogs::Icon::Question},
                             Dialogs::Yes | Dialogs::No, Dialogs::Yes),
                 Dialogs::No);

        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->windowTitle(), QString("错误"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            box->button(QMessageBox::Ok)->click();
        });
        dialogs.Inform(nullptr, {"未正常生成Excel表！", "错误", Dialogs::Icon::Critical});
    }

    void realSaveDialogUsesFilterSuffixAndOverwriteCheck()
    {
        QtDialogs dialogs;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        WhenShown<QFileDialog>([&dir](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("请选择保存路径："));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->nameFilters(), QStringList({"Excel文件 (*.xlsx)", "所有文件 (*.*)"}));
            QCOMPARE(dialog->defaultSuffix(), QString("xlsx"));
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            // selectFile() leaves the name box alone once it has the focus,
            // which depends on when the window got activated: type the name.
            auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(nameEdit);
            dialog->setDirectory(dir.path());
            nameEdit->setText("日志");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        Dialogs::FileRequest request;
        request.title = "请选择保存路径：";
        request.filter = "Excel文件|*.xlsx|所有文件|*.*";
        request.defaultSuffix = "xlsx";
        request.directory = dir.path();
        QCOMPARE(dialogs.SaveFileName(nullptr, request), dir.path() + "/日志.xlsx");

        WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        QCOMPARE(dialogs.OpenFileName(nullptr, request), QString());

        // A bare name takes the suffix of the type chosen, not the first type's.
        request.filter = "报表文件|*.rmp|PDF文件|*.pdf|所有文件|*.*";
        request.defaultSuffix = "rmp";
        auto saveAs = [&](const QString& type) {
            WhenShown<QFileDialog>([&dir, type](QFileDialog* dialog) {
                dialog->setDirectory(dir.path());
                // As the user picks it from the type box.
                auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                QVERIFY(types);
                types->setCurrentIndex(types->findText(type));
                emit types->activated(types->currentIndex());
                emit types->textActivated(type);
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText("报表");
                QMetaObject::invokeMethod(dialog, "accept");
            });
            return dialogs.SaveFileName(nullptr, request);
        };
        QCOMPARE(saveAs("PDF文件 (*.pdf)"), dir.path() + "/报表.pdf");
        QCOMPARE(saveAs("所有文件 (*.*)"), dir.path() + "/报表.rmp");
        QCOMPARE(saveAs("报表文件 (*.rmp)"), dir.path() + "/报表.rmp");
    }

    void scriptedServiceRecordsAndAnswers()
    {
        {
            ScriptedDialogs dialogs;
            QCOMPARE(&Dialogs::Instance(), &dialogs);
            dialogs.QueueAnswer(Dialogs::Yes);
            dialogs.QueueAnswer(Dialogs::Cancel);
            dialogs.QueueFileName("/tmp/导出.xlsx");
            dialogs.QueueFileName(QString());

            ShowMessage("添加角色成功");
            QCOMPARE(Dialogs::Instance().Ask(nullptr, {"确定要删除吗？", "询问", Dialogs::Icon::Question},
                                             Dialogs::Yes | Dialogs::No, Dialogs::No),
                     Dialogs::Yes);
            ShowError("删除角色出错！");
            QCOMPARE(
                Dialogs::Instance().Ask(nullptr, Box("确定？"), Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok),
                Dialogs::Cancel);
            QCOMPARE(Dialogs::Instance().SaveFileName(nullptr, Files("保存", "Excel文件|*.xlsx")),
                     QString("/tmp/导出.xlsx"));
            QCOMPARE(Dialogs::Instance().OpenFileName(nullptr, Files("打开")), QString());

            QCOMPARE(dialogs.Texts(),
                     QStringList({"添加角色成功", "确定要删除吗？", "删除角色出错！", "确定？"}));
            const auto& boxes = dialogs.Boxes();
            QVERIFY(!boxes[0].question);
            QCOMPARE(boxes[1].caption, QString("询问"));
            QCOMPARE(boxes[1].buttons, Dialogs::Yes | Dialogs::No);
            QCOMPARE(boxes[1].defaultButton, Dialogs::No);
            QCOMPARE(boxes[2].icon, Dialogs::Icon::Critical);
            QCOMPARE(dialogs.FileRequests().size(), 2);
            QCOMPARE(dialogs.FileRequests()[0].filter, QString("Excel文件|*.xlsx"));
            QCOMPARE(dialogs.PendingAnswers(), 0);
            QVERIFY(!dialogs.Failed());
        }
        // Gone again: the real service is back.
        QVERIFY(dynamic_cast<QtDialogs*>(&Dialogs::Instance()));
    }

    void scriptedServiceFailsOnUnexpectedQuestions()
    {
        ScriptedDialogs dialogs;
        QEXPECT_FAIL("", "a question nobody expected", Continue);
        QCOMPARE(Dialogs::Instance().Ask(nullptr, Box("确定？"), Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok),
                 Dialogs::Cancel);
        QVERIFY(dialogs.Failed());

        // Yes queued for an OK/Cancel box: the script is wrong.
        dialogs.QueueAnswer(Dialogs::Yes);
        QEXPECT_FAIL("", "an answer the box does not offer", Continue);
        QCOMPARE(Dialogs::Instance().Ask(nullptr, Box("删除？"), Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok),
                 Dialogs::Cancel);
        QEXPECT_FAIL("", "an unexpected file dialog", Continue);
        QVERIFY(Dialogs::Instance().SaveFileName(nullptr, Files("保存")).isEmpty());
        QCOMPARE(dialogs.Failures().size(), 3);
        QCOMPARE(dialogs.PendingAnswers(), 0);
    }

    void scriptedServiceFailsOnUnusedAnswers()
    {
        auto* dialogs = new ScriptedDialogs;
        dialogs->QueueAnswer(Dialogs::Ok);
        QEXPECT_FAIL("", "an answer queued for a question that never came", Continue);
        delete dialogs;
        QVERIFY(dynamic_cast<QtDialogs*>(&Dialogs::Instance()));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
