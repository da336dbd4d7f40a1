#include "AppTestFixture.h"
#include "DragTree.h"
#include "FormClasses.h"
#include "InputShade.h"
#include "TFrmInputInfo.h"
#include "TFrmRole.h"
#include "TfrmMenuCfg.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>

// Typed input is never dropped without asking: a child form, a dialog and the
// main window, each answer of the question; the interface editors' changes
// reaching the main window at once; forms opened from the menu in front; the
// browse shading under every skin.
class TestUnsavedInput : public QObject
{
    Q_OBJECT

    static constexpr const char* Question = "数据已修改，是否保存？";

    // Typed as the keyboard would (any characters).
    static void Type(QWidget* input, const QString& text)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(input, &press);
    }

    static QString StoredCaption() { return One("select MenuText from AC_MENUSTRUCT where MenuID=32"); }
    static QString One(const QString& sql)
    {
        MemDataset rows;
        return OpenQuery(sql, rows) && !rows.IsEmpty() ? rows.Value(0).toString() : QString("<none>");
    }

    // 菜单设置 from the main window, menu 32 in the edit mode, `typed` typed
    // over its caption.
    static TfrmMenuCfg* EditMenu(AppTestFixture& app, const QString& typed)
    {
        app.Main()->RunFunction("4006");
        auto* form = qobject_cast<TfrmMenuCfg*>(app.Main()->FindOpenForm("TfrmMenuCfg"));
        if (!form)
            return nullptr;
        DragTree* tree = form->Tree();
        const QList<QTreeWidgetItem*> nodes =
            tree->findItems("角色管理(&R)", Qt::MatchExactly | Qt::MatchRecursive);
        tree->setCurrentItem(nodes.value(0));
        form->findChild<QPushButton*>("btnEdit")->click();
        auto* edit = form->findChild<QLineEdit*>("edtMenuText");
        edit->selectAll();
        Type(edit, typed);
        return form;
    }

    static bool IsOpen(AppTestFixture& app, const char* className)
    {
        AppTestFixture::FlushDeletes();
        return app.Main()->FindOpenForm(QString::fromLatin1(className)) != nullptr;
    }

private slots:
    void initTestCase()
    {
        WEIBAO_SKIP_WITHOUT_SERVER();
        RegisterFormClasses();
    }

    void childFormAsksBeforeClosing()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");

        // Nothing typed: the form closes without a word.
        app.Main()->RunFunction("4006");
        app.dialogs->ClearRecords();
        qobject_cast<TDefForm*>(app.Main()->FindOpenForm("TfrmMenuCfg"))->CloseChild();
        QVERIFY(!IsOpen(app, "TfrmMenuCfg"));
        QVERIFY(app.dialogs->Texts().isEmpty());

        TfrmMenuCfg* form = EditMenu(app, "角色");
        QVERIFY(form && form->HasUnsavedInput());
        app.dialogs->QueueAnswer(Dialogs::Cancel);
        form->CloseChild();
        const ScriptedDialogs::Shown box = app.dialogs->Boxes().last();
        QCOMPARE(box.text, QString(Question));
        QCOMPARE(box.buttons, int(Dialogs::Yes | Dialogs::No | Dialogs::Cancel));
        QVERIFY(IsOpen(app, "TfrmMenuCfg"));
        QCOMPARE(form->findChild<QLineEdit*>("edtMenuText")->text(), QString("角色"));

        // 是 with a save that fails: the form stays with what was typed.
        QVERIFY(TestEnv::InjectFailure("AC_MENUSTRUCT", "update"));
        app.dialogs->QueueAnswer(Dialogs::Yes);
        form->CloseChild();
        QCOMPARE(app.dialogs->LastText(), QString("写数据时出错，更新失败！"));
        QVERIFY(IsOpen(app, "TfrmMenuCfg"));
        QVERIFY(form->HasUnsavedInput());
        QVERIFY(TestEnv::RemoveFailure("AC_MENUSTRUCT", "update"));

        // 否 drops it.
        app.dialogs->QueueAnswer(Dialogs::No);
        form->CloseChild();
        QVERIFY(!IsOpen(app, "TfrmMenuCfg"));
        QCOMPARE(StoredCaption(), QString("角色管理(&R)"));

        // 是 stores it, and the menu shows it at once.
        form = EditMenu(app, "角色设置");
        app.dialogs->QueueAnswer(Dialogs::Yes);
        form->CloseChild();
        QVERIFY(!IsOpen(app, "TfrmMenuCfg"));
        QCOMPARE(StoredCaption(), QString("角色设置"));
        QVERIFY(app.MenuAction("角色设置"));
        QVERIFY(app.dialogs->PendingAnswers() == 0 && !app.dialogs->Failed());
    }

    void mainWindowAsksForEveryForm()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        EditMenu(app, "角色");

        app.dialogs->QueueAnswer(Dialogs::Ok);
        app.dialogs->QueueAnswer(Dialogs::Cancel);
        QVERIFY(!app.Main()->close());
        QCOMPARE(app.dialogs->LastText(), QString(Question));
        QCOMPARE(app.terminated, 0);
        QVERIFY(IsOpen(app, "TfrmMenuCfg"));

        QVERIFY(TestEnv::InjectFailure("AC_MENUSTRUCT", "update"));
        app.dialogs->QueueAnswer(Dialogs::Ok);
        app.dialogs->QueueAnswer(Dialogs::Yes);
        QVERIFY(!app.Main()->close());
        QCOMPARE(app.terminated, 0);
        QVERIFY(TestEnv::RemoveFailure("AC_MENUSTRUCT", "update"));

        // Logging off and in again ask the same; 取消 keeps the session.
        app.dialogs->QueueAnswer(Dialogs::Cancel);
        app.Main()->RunFunction("1004");
        QCOMPARE(app.Main()->FunctionRights()->CurrentUser().UserID, QString("ADMIN"));
        QCOMPARE(app.Main()->StatusText(0), QString("已经登录"));
        QVERIFY(IsOpen(app, "TfrmMenuCfg"));

        app.dialogs->QueueAnswer(Dialogs::Ok);
        app.dialogs->QueueAnswer(Dialogs::Yes);
        QVERIFY(app.Main()->close());
        QCOMPARE(app.terminated, 1);
        QCOMPARE(StoredCaption(), QString("角色"));
    }

    void mainWindowCloseDropsOnNo()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        EditMenu(app, "角色");
        app.dialogs->QueueAnswer(Dialogs::Ok);
        app.dialogs->QueueAnswer(Dialogs::No);
        QVERIFY(app.Main()->close());
        QCOMPARE(app.terminated, 1);
        QCOMPARE(StoredCaption(), QString("角色管理(&R)"));
        QVERIFY(!app.dialogs->Failed());
    }

    void entryDialogAsksBeforeClosing()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        const auto count = [&app] { return app.env->Scalar("select count(*) from SaleInfo").toInt(); };
        const int before = count();
        TFrmInputInfo dialog;
        dialog.SetAddMode(true);
        dialog.show();
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QVERIFY(app.dialogs->Texts().isEmpty());

        const auto typeSale = [&dialog] {
            dialog.show();
            Type(dialog.findChild<QLineEdit*>("EUser"), "张三");
            Type(dialog.findChild<QLineEdit*>("EAddr"), "北京路1号");
        };
        typeSale();
        app.dialogs->QueueAnswer(Dialogs::Cancel);
        dialog.close();
        QCOMPARE(app.dialogs->LastText(), QString(Question));
        QVERIFY(dialog.isVisible());

        QVERIFY(TestEnv::InjectFailure("SaleInfo", "insert"));
        app.dialogs->QueueAnswer(Dialogs::Yes);
        dialog.close();
        QVERIFY(dialog.isVisible());
        QCOMPARE(count(), before);
        QVERIFY(TestEnv::RemoveFailure("SaleInfo", "insert"));

        app.dialogs->QueueAnswer(Dialogs::No);
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(count(), before);

        dialog.ClearEntry();
        typeSale();
        app.dialogs->QueueAnswer(Dialogs::Yes);
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(count(), before + 1);
        QVERIFY(app.dialogs->PendingAnswers() == 0 && !app.dialogs->Failed());
    }

    void editorsRebuildTheWindowAndKeepTheirEntries()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        app.Main()->RunFunction("4006");
        auto* form = qobject_cast<TfrmMenuCfg*>(app.Main()->FindOpenForm("TfrmMenuCfg"));
        QVERIFY(form);
        DragTree* tree = form->Tree();

        // The only entry of 菜单设置 (and of the toolbar editor) cannot go.
        tree->setCurrentItem(tree->findItems("菜单设置(&M)", Qt::MatchExactly | Qt::MatchRecursive).value(0));
        form->findChild<QPushButton*>("btnDelete")->click();
        QCOMPARE(app.dialogs->LastText(), QString("该项目用于打开本窗口，不能删除！"));
        QCOMPARE(One("select count(*) from AC_MENUSTRUCT where MenuID=35"), QString("1"));
        tree->setCurrentItem(
            tree->findItems("工具栏设置(&T)", Qt::MatchExactly | Qt::MatchRecursive).value(0));
        form->findChild<QPushButton*>("btnEdit")->click();
        form->findChild<QPushButton*>("btnClearSelFunc")->click();
        form->findChild<QPushButton*>("btnSave")->click();
        QCOMPARE(app.dialogs->LastText(), QString("该项目用于打开本窗口，不能删除！"));
        QCOMPARE(One("select FunctionID from AC_MENUSTRUCT where MenuID=36"), QString("4007"));
        form->findChild<QPushButton*>("btnCancel")->click();

        // A second entry elsewhere frees the menu row.
        QVERIFY(ExecCommand("update AC_GROUPCFG set FunctionID='4007' where ItemID=12"));
        tree->setCurrentItem(
            tree->findItems("工具栏设置(&T)", Qt::MatchExactly | Qt::MatchRecursive).value(0));
        app.dialogs->QueueAnswer(Dialogs::Ok);
        form->findChild<QPushButton*>("btnDelete")->click();
        QCOMPARE(One("select count(*) from AC_MENUSTRUCT where MenuID=36"), QString("0"));
        // At once in the main window, the open form keeps its entry.
        QVERIFY(!app.MenuAction("工具栏设置(&T)"));
        QVERIFY(app.OpenWindowsGroup()->ItemCount() == 1);
        QVERIFY(form->findChild<QLabel*>("lblNote")->text().contains("下次登录"));

        // 恢复默认界面 puts the seeded menu back.
        app.dialogs->QueueAnswer(Dialogs::Ok);
        form->findChild<QPushButton*>("btnRestoreDefault")->click();
        QCOMPARE(One("select count(*) from AC_MENUSTRUCT where MenuID=36"), QString("1"));
        QVERIFY(app.MenuAction("工具栏设置(&T)"));
        // New rows still get fresh keys.
        const int menuKey = One("select MenuID from SeqTable").toInt();
        QVERIFY(menuKey >= 74);
        QVERIFY(!app.dialogs->Failed());
    }

    void formsOpenedFromTheMenuComeToTheFront()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        app.Start();
        app.Login("ADMIN", "admin");
        app.Main()->RunFunction("4001");
        QWidget* users = app.Main()->FindOpenForm("TFrmUser");
        QVERIFY(users);
        // The focus stays in the user form (the button that opened a box) and
        // the window is not the active one when the next form opens.
        users->findChild<QPushButton*>("btnDelete")->setFocus();
        app.Main()->MdiArea()->setActiveSubWindow(nullptr);
        app.Main()->RunFunction("4002");
        QCoreApplication::processEvents();
        QWidget* roles = app.Main()->FindOpenForm("TFrmRole");
        QVERIFY(roles);
        QMdiSubWindow* active = app.Main()->MdiArea()->activeSubWindow();
        QVERIFY(active && active->widget() == roles);
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(!focus || !users->isAncestorOf(focus));
        // Brought back through its open-windows entry, the user form is in front again.
        qobject_cast<TDefForm*>(users)->OpenWindowItemClick();
        QCoreApplication::processEvents();
        QCOMPARE(app.Main()->MdiArea()->activeSubWindow()->widget(), users);
    }

    void browsedInputsLookTheSameUnderEverySkin()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        const QStringList skins = {"Classic.skn", "DeepBlue.skn", "Silver.skn", "Emerald.skn"};
        for (const QString& skin : skins) {
            QFile file(QStringLiteral(WEIBAO_SOURCE_SKINS) + skin);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(skin));
            qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
            TFrmRole form;
            form.resize(800, 600);
            form.show();
            auto* edit = form.findChild<QLineEdit*>("edtRole");
            QVERIFY(!edit->isEnabled());
            const QImage image = edit->grab().toImage();
            QCOMPARE(image.pixelColor(image.width() - 6, image.height() / 2).name(), QString("#c0c0c0"));
            SetInputEditable(edit, true);
            const QImage editable = edit->grab().toImage();
            QCOMPARE(editable.pixelColor(editable.width() - 6, editable.height() / 2).name(),
                     QString("#ffffff"));
        }
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(TestUnsavedInput)
#include "tst_unsavedinput.moc"
