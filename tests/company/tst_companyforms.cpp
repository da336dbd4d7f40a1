#include "DataAccess.h"
#include "DictionaryModel.h"
#include "IniFile.h"
#include "ScriptedDialogs.h"
#include "Settings.h"
#include "TFrmCompanyDirEdit.h"
#include "TFrmCompanySet.h"
#include "TestEnv.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

// The company profile dialog and the dictionary editor against a fresh
// database each.
class TestCompanyForms : public QObject
{
    Q_OBJECT

    static QStringList ProfileBoxes()
    {
        return {"EditInc",  "EditAddr", "EditPhone", "EditPhone1", "EditFax",
                "EditMail", "EditWeb",  "EditCN1",   "EditCN2",    "EditCN3"};
    }

    static QStringList Titles(const QAbstractItemModel* model)
    {
        QStringList titles;
        for (int c = 0; c < model->columnCount(); ++c)
            titles << model->headerData(c, Qt::Horizontal).toString();
        return titles;
    }

    static void Click(QWidget* form, const char* name)
    {
        auto* button = form->findChild<QAbstractButton*>(name);
        QVERIFY2(button, name);
        QVERIFY2(button->isEnabled(), name);
        QTest::mouseClick(button, Qt::LeftButton);
    }

private slots:
    void initTestCase() { WEIBAO_SKIP_WITHOUT_SERVER(); }

    void profileOnEmptyTableCreatesTheRow()
    {
        TestEnv env;
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        QCOMPARE(env.Scalar("select count(*) from AC_Company").toInt(), 0);
        TFrmCompanySet form;
        form.show();
        for (const QString& name : ProfileBoxes().mid(1))
            QVERIFY2(form.findChild<QLineEdit*>(name)->text().isEmpty(), qPrintable(name));
        QCOMPARE(form.findChild<QLineEdit*>("EditInc")->text(), QString::fromUtf8(Settings::DefaultCoName));
        QCOMPARE(form.findChild<QLineEdit*>("edtSoftName")->text(),
                 QString::fromUtf8(Settings::DefaultSoftName));

        for (const QString& name : ProfileBoxes())
            form.findChild<QLineEdit*>(name)->setText(name + "值");
        form.findChild<QLineEdit*>("edtSoftName")->setText("售后管家");
        Click(&form, "btnSave");
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(dialogs.Texts().isEmpty());
        MemDataset row;
        QVERIFY(OpenQuery("select * from AC_Company", row));
        QCOMPARE(row.RecordCount(), 1);
        QCOMPARE(row.AsString("name"), QString("EditInc值"));
        QCOMPARE(row.AsString("Phone1"), QString("EditPhone1值"));
        QCOMPARE(row.AsString("cn3"), QString("EditCN3值"));
        QCOMPARE(Settings::CoName(), QString("EditInc值"));
        QCOMPARE(Settings::SoftName(), QString("售后管家"));

        // Shown again it reads the row back; saving edits that one row.
        TFrmCompanySet again;
        again.show();
        QCOMPARE(again.findChild<QLineEdit*>("EditWeb")->text(), QString("EditWeb值"));
        again.findChild<QLineEdit*>("EditAddr")->setText("新地址");
        Click(&again, "btnSave");
        QCOMPARE(env.Scalar("select count(*) from AC_Company").toInt(), 1);
        QCOMPARE(env.Scalar("select addr from AC_Company").toString(), QString("新地址"));
    }

    void saveWithEveryBoxEmptyStoresEmptyTexts()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        TFrmCompanySet form;
        form.show();
        QVERIFY(!form.findChild<QLineEdit*>("EditAddr")->text().isEmpty());
        const QStringList boxes = ProfileBoxes() << "edtSoftName";
        for (const QString& name : boxes)
            form.findChild<QLineEdit*>(name)->clear();
        Click(&form, "btnSave");
        QCOMPARE(env.Scalar("select count(*) from AC_Company").toInt(), 1);
        for (const char* column :
             {"name", "addr", "Phone", "Phone1", "Fax", "Mail", "Web", "cn1", "cn2", "cn3"}) {
            const QVariant v = env.Scalar(QString("select %1 from AC_Company").arg(column));
            QVERIFY2(!v.isNull() && v.toString().isEmpty(), column);
        }
        // Both keys are present and empty, not missing.
        IniFile ini(Settings::IniPath());
        QCOMPARE(ini.ReadString("Company", "CoName", "missing"), QString());
        QCOMPARE(ini.ReadString("Company", "SoftName", "missing"), QString());
    }

    void profileBoxesTakeWhatIsStoredAndPrinted()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        TFrmCompanySet form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The demo promises are shown whole, from their first character.
        form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
        for (const char* name : {"EditCN1", "EditCN2", "EditCN3"}) {
            const QLineEdit* box = form.findChild<QLineEdit*>(name);
            QVERIFY(!box->text().isEmpty());
            const int room = box->contentsRect().width() - 8; // frame and text margins
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->text()) <= room, name);
        }

        // Typed or pasted text stops at what the column holds (the address)
        // or what a card line prints (a promise), counted in GBK bytes.
        const QString sixty = QString(60, QChar(0x8def));
        const QString promise = QString(150, QChar(0x4fdd));
        auto* addr = form.findChild<QLineEdit*>("EditAddr");
        auto* cn1 = form.findChild<QLineEdit*>("EditCN1");
        auto* mail = form.findChild<QLineEdit*>("EditMail");
        addr->clear();
        addr->insert(sixty);
        cn1->clear();
        cn1->insert(promise);
        mail->clear();
        mail->insert(QString(80, 'm'));
        QCOMPARE(addr->text(), sixty.left(50));
        QCOMPARE(cn1->text(), promise.left(32));
        QCOMPARE(mail->text(), QString(50, 'm'));
        Click(&form, "btnSave");
        QCOMPARE(env.Scalar("select addr from AC_Company").toString(), sixty.left(50));
        QCOMPARE(env.Scalar("select cn1 from AC_Company").toString(), promise.left(32));
        QVERIFY(dialogs.Texts().isEmpty());

        // A longer promise stored earlier is shown cut, and the user is told.
        QVERIFY(ExecCommand("update AC_Company set cn2=?", {promise.left(100)}));
        TFrmCompanySet again;
        again.show();
        QCOMPARE(again.findChild<QLineEdit*>("EditCN2")->text(), promise.left(32));
        QCOMPARE(dialogs.Texts().size(), 1);
        QVERIFY2(dialogs.LastText().endsWith(QStringLiteral("承诺②")), qPrintable(dialogs.LastText()));
    }

    void dictionaryGridShowsEveryColumn()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        TFrmCompanyDirEdit form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(345, 281));
        auto* grid = form.findChild<QTableView*>("dbGrd");
        for (int i = 0; i < 3; ++i) {
            form.findChild<QComboBox*>("cmbDir")->setCurrentIndex(i);
            QVERIFY2(grid->horizontalHeader()->length() <= grid->viewport()->width(),
                     qPrintable(QString::number(i)));
        }
    }

    void dictionarySwitchRetitlesTheGrid()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        QVERIFY(ExecCommand("insert into AC_WORKPOST values (9, '学徒', '')"));
        TFrmCompanyDirEdit form;
        QAbstractItemModelTester tester(form.GridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto* grid = form.findChild<QTableView*>("dbGrd");
        QCOMPARE(grid->model(), form.GridModel());
        QCOMPARE(Titles(grid->model()), QStringList({"部门编号", "部门名称", "部门描述"}));
        QCOMPARE(grid->model()->rowCount(), 3);

        form.findChild<QComboBox*>("cmbDir")->setCurrentIndex(2);
        QCOMPARE(Titles(grid->model()), QStringList({"职务编号", "职务名称", "职务描述"}));
        QCOMPARE(DataM->adoSetDir.TableName(), QString("AC_WORKPOST"));
        QCOMPARE(grid->model()->rowCount(), 4);
        QCOMPARE(grid->model()->index(3, 1).data().toString(), QString("学徒"));
        QCOMPARE(grid->columnWidth(1), 100);
        QCOMPARE(grid->columnWidth(2), 130);

        form.findChild<QComboBox*>("cmbDir")->setCurrentIndex(1);
        QCOMPARE(Titles(grid->model()), QStringList({"职员类型编号", "职员类型名称", "职员类型描述"}));
        QVERIFY(dialogs.Texts().isEmpty());
    }

    void unpostedEditAndCloseQuestion()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        {
            TFrmCompanyDirEdit form;
            form.show();
            QAbstractItemModel* model = form.GridModel();
            QVERIFY(model->setData(model->index(0, 1), "改过的名字"));
            QVERIFY(form.GridModel()->IsEditing());
            dialogs.QueueAnswer(Dialogs::No);
            Click(&form, "btnClose");
            QCOMPARE(dialogs.LastText(), QString("数据已修改，是否保存？"));
            QCOMPARE(dialogs.Boxes().last().buttons, int(Dialogs::Yes | Dialogs::No | Dialogs::Cancel));
            QVERIFY(!form.isVisible());
            QVERIFY(!form.GridModel()->IsEditing());
            QCOMPARE(env.Scalar("select DeptName from AC_DEPT where DeptID=1").toString(), QString("销售部"));
        }
        {
            // Yes posts it; the title bar's close box asks the same.
            TFrmCompanyDirEdit form;
            form.show();
            QAbstractItemModel* model = form.GridModel();
            QVERIFY(model->setData(model->index(1, 2), "新的描述"));
            dialogs.QueueAnswer(Dialogs::Yes);
            form.close();
            QVERIFY(!form.isVisible());
            QCOMPARE(env.Scalar("select DeptDesc from AC_DEPT where DeptID=2").toString(),
                     QString("新的描述"));
        }
        {
            // An editor closed without a change leaves nothing to ask about.
            TFrmCompanyDirEdit form;
            form.show();
            QAbstractItemModel* model = form.GridModel();
            QVERIFY(model->setData(model->index(2, 1), model->index(2, 1).data()));
            QVERIFY(!form.GridModel()->IsEditing());
            Click(&form, "btnClose");
            QVERIFY(!form.isVisible());
        }
    }

    void badKeysAreRefusedAndTheRowStaysEditable()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        TFrmCompanyDirEdit form;
        form.show();
        DictionaryModel* model = form.GridModel();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        Click(&form, "nbInsert");
        QVERIFY(model->IsInserting());
        QCOMPARE(model->rowCount(), 4);
        // Not a number: refused, shown once the editor is done.
        QVERIFY(!model->setData(model->index(3, 0), "abc"));
        QTRY_COMPARE(dialogs.LastText(), QString("部门编号必须是整数，“abc”不是整数。"));
        // Missing key.
        QVERIFY(model->setData(model->index(3, 1), "售后部"));
        Click(&form, "nbPost");
        QCOMPARE(dialogs.LastText(), QString("部门编号不能为空，请输入部门编号。"));
        QVERIFY(model->IsInserting());
        // Duplicate key.
        QVERIFY(model->setData(model->index(3, 0), "2"));
        Click(&form, "nbPost");
        QCOMPARE(dialogs.LastText(), QString("部门编号 2 已经存在，请换一个部门编号。"));
        QVERIFY(model->IsInserting());
        QCOMPARE(model->index(3, 1).data().toString(), QString("售后部"));
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 3);
        QCOMPARE(env.Scalar("select DeptName from AC_DEPT where DeptID=2").toString(), QString("技术部"));

        // Corrected, it is written.
        QVERIFY(model->setData(model->index(3, 0), "7"));
        Click(&form, "nbPost");
        QVERIFY(!model->IsEditing());
        QCOMPARE(env.Scalar("select DeptName from AC_DEPT where DeptID=7").toString(), QString("售后部"));

        // Editing a stored row onto another's key is refused just the same.
        QVERIFY(model->setData(model->index(0, 0), "7"));
        Click(&form, "nbPost");
        QCOMPARE(dialogs.LastText(), QString("部门编号 7 已经存在，请换一个部门编号。"));
        QVERIFY(model->IsEditing());
        model->Cancel();
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 4);
    }

    void changedKeyKeepsLaterEditsOnTheSameRow()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        TFrmCompanyDirEdit form;
        DictionaryModel* model = form.GridModel();
        // 销售部 1 -> 9, then 技术部 2 -> 1: the first row's later edit must
        // still reach 销售部 and not the row that now has key 1.
        QVERIFY(model->setData(model->index(0, 0), "9"));
        QVERIFY(model->Post());
        int row = -1;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 1).data().toString() == "技术部")
                row = r;
        QVERIFY(model->setData(model->index(row, 0), "1"));
        QVERIFY(model->Post());
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 1).data().toString() == "销售部")
                row = r;
        QCOMPARE(model->index(row, 0).data().toString(), QString("9"));
        QVERIFY(model->setData(model->index(row, 2), "门市与批发"));
        QVERIFY(model->Post());
        QCOMPARE(env.Scalar("select DeptDesc from AC_DEPT where DeptID=9").toString(), QString("门市与批发"));
        QCOMPARE(env.Scalar("select DeptName from AC_DEPT where DeptID=1").toString(), QString("技术部"));
        QCOMPARE(env.Scalar("select DeptDesc from AC_DEPT where DeptID=1").toString(), QString("装机与维修"));
    }

    void deleteAsksFirst()
    {
        TestEnv env(true);
        QVERIFY2(env.IsValid(), qPrintable(env.Error()));
        ScriptedDialogs dialogs;
        TFrmCompanyDirEdit form;
        form.show();
        QAbstractItemModelTester tester(form.GridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        dialogs.QueueAnswer(Dialogs::Cancel);
        Click(&form, "nbDelete");
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 3);
        dialogs.QueueAnswer(Dialogs::Ok);
        Click(&form, "nbDelete");
        QCOMPARE(dialogs.LastText(), QString("删除记录吗？"));
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 2);
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT where DeptID=1").toInt(), 0);
        QCOMPARE(form.GridModel()->rowCount(), 2);

        // Deleting a typed, unposted new row drops it without writing it.
        Click(&form, "nbInsert");
        QAbstractItemModel* model = form.GridModel();
        QVERIFY(model->setData(model->index(2, 0), "8"));
        QVERIFY(model->setData(model->index(2, 1), "临时部门"));
        dialogs.QueueAnswer(Dialogs::Ok);
        Click(&form, "nbDelete");
        QVERIFY(!form.GridModel()->IsEditing());
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(env.Scalar("select count(*) from AC_DEPT").toInt(), 2);
    }
};

QTEST_MAIN(TestCompanyForms)
#include "tst_companyforms.moc"
