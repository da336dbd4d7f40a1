#include "AppDir.h"
#include "HelpWindow.h"
#include "ManualIndex.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>

// The manual: its index and search, the help window, F1, and the manual
// that ships (no broken links or missing pictures).
class TestHelp : public QObject
{
    Q_OBJECT

    static void Write(const QString& path, const QString& text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    // index -> a, b (a linked twice, a missing page and one outside the folder).
    static void MakeManual(const QString& dir)
    {
        Write(dir + "/index.md", "# 手册\n\n- [第一章](a.md)\n- [第二章](b.md#x)\n- [再一次](a.md)\n"
                                 "- [缺](missing.md)\n- [外面](../outside.md)\n");
        Write(dir + "/a.md", "# 登录\n\n开始。\n\n## 输入密码\n\n输入 **ADMIN** 和密码。\n\n"
                             "```\n## 不是标题\n```\n\n## 更改密码\n\n在系统菜单中更改密码。\n");
        Write(dir + "/b.md", "# 备份\n\n## 备份数据\n\n按“备份”。\n\n## 恢复数据\n\n恢复会覆盖当前数据库，先备份。\n");
        Write(dir + "/../outside.md", "# 外面\n");
    }

private slots:
    void index()
    {
        QTemporaryDir root;
        const QString dir = root.path() + "/manual";
        MakeManual(dir);
        ManualIndex manual;
        QVERIFY(manual.Load(dir));
        QCOMPARE(manual.Pages().size(), 3);
        QCOMPARE(manual.Pages().at(1).file, QString("a.md"));
        QCOMPARE(manual.Pages().at(1).title, QString("登录"));
        QCOMPARE(manual.Pages().at(1).sections, QStringList({"输入密码", "更改密码"}));
        QCOMPARE(manual.PageOf("b.md"), 2);
        QVERIFY(!manual.Load(root.path()));
        QVERIFY(manual.Pages().isEmpty());
    }

    void search()
    {
        QTemporaryDir root;
        MakeManual(root.path());
        ManualIndex manual;
        QVERIFY(manual.Load(root.path()));
        // Every word must be on the page; case is ignored; markup is not text.
        QList<ManualIndex::Hit> hits = manual.Search("admin 密码");
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().page, 1);
        QCOMPARE(hits.first().section, QString("输入密码"));
        QCOMPARE(hits.first().excerpt, QString("输入 ADMIN 和密码。"));
        hits = manual.Search("覆盖");
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().section, QString("恢复数据"));
        // A word in a chapter's title is before any section.
        QCOMPARE(manual.Search("备份").first().section, QString());
        QVERIFY(manual.Search("恢复 登录").isEmpty());
        QVERIFY(manual.Search("   ").isEmpty());
        QCOMPARE(ManualIndex::PlainText("## 看 ![图](images/a.png) 和 [链接](b.md) `码`"), QString("看 图 和 链接 码"));
    }

    void window()
    {
        QTemporaryDir root;
        MakeManual(root.path());
        HelpWindow help;
        QVERIFY(help.LoadManual(root.path()));
        QCOMPARE(help.CurrentPage(), QString("index.md"));
        auto* contents = help.findChild<QTreeWidget*>("tvContents");
        QCOMPARE(contents->topLevelItemCount(), 3);
        QCOMPARE(contents->topLevelItem(2)->child(1)->text(0), QString("恢复数据"));

        // A section of the contents opens its page.
        contents->itemClicked(contents->topLevelItem(2)->child(1), 0);
        QCOMPARE(help.CurrentPage(), QString("b.md"));
        QVERIFY(help.findChild<QTextBrowser*>("txtPage")->textCursor().block().text().contains("恢复数据"));
        QVERIFY(!help.OpenPage("missing.md"));

        // Search lists the pages; choosing one opens it.
        help.Search("更改密码");
        auto* results = help.findChild<QListWidget*>("lvResults");
        QCOMPARE(results->count(), 1);
        QVERIFY(results->item(0)->text().startsWith("登录 › 更改密码"));
        results->setCurrentRow(0);
        QCOMPARE(help.CurrentPage(), QString("a.md"));
        help.Search("没有这个词");
        QCOMPARE(results->item(0)->text(), QString("没有找到“没有这个词”。"));

        // No manual: the window says where it looked.
        HelpWindow empty;
        QVERIFY(!empty.LoadManual(root.path() + "/nowhere"));
        QVERIFY(empty.findChild<QTextBrowser*>("txtPage")->toPlainText().contains("找不到帮助文档"));
    }

    // F1 in a modal dialog opens the page about it, in a window the dialog owns.
    void f1Key()
    {
        QTemporaryDir root;
        MakeManual(root.path() + "/manual");
        SetAppDir(root.path());
        HelpWindow::InstallF1Key();
        QDialog dialog;
        dialog.setProperty("formClass", "TFrmBackUp");
        auto* edit = new QLineEdit(&dialog);
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(HelpWindow::PageForWindow(&dialog), QString("08-backup.md"));
        QTest::keyClick(edit, Qt::Key_F1);
        auto* help = dialog.findChild<HelpWindow*>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        // That page is not in this small manual: the contents page stays.
        QCOMPARE(help->CurrentPage(), QString("index.md"));
        delete help;
    }

    // The shipped manual: every chapter, picture and link exists, and every
    // page a window's F1 opens is a chapter.
    void shippedManual()
    {
        const QString dir = QStringLiteral(WEIBAO_SOURCE_DIR "/docs/manual");
        ManualIndex manual;
        QVERIFY(manual.Load(dir));
        QVERIFY(manual.Pages().size() >= 9);
        static const QRegularExpression target(QStringLiteral("\\]\\(([^)#\\s]+)[^)]*\\)"));
        // A picture kept in a comment is not shown, so it need not exist yet.
        static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                                QRegularExpression::DotMatchesEverythingOption);
        for (const ManualIndex::Page& page : manual.Pages()) {
            auto matches = target.globalMatch(QString(page.text).remove(comment));
            while (matches.hasNext()) {
                const QString file = matches.next().captured(1);
                if (file.startsWith("http"))
                    continue;
                QVERIFY2(QFileInfo::exists(dir + "/" + file), qPrintable(page.file + ": " + file));
            }
        }
        for (const char* form : {"TFrmInputInfo", "TFrmSaleManage", "TFrmPrintMode", "TFrmCompanySet", "TFrmUser",
                                 "TFrmRole", "TfrmMenuCfg", "TfrmToolCfg", "TFrmGroupCfg", "TFrmBackUp",
                                 "TfrmLogin", "TFrmSaleImport"}) {
            QWidget widget;
            widget.setProperty("formClass", form);
            QVERIFY2(manual.PageOf(HelpWindow::PageForWindow(&widget)) > 0, form);
        }
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
