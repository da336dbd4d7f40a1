// The reminder of warranties about to end, after a login in the real main
// window: who sees it, when it stays away, and where "查看" leads.
#include "AppTestFixture.h"
#include "ExpiryNotice.h"
#include "FormClasses.h"
#include "SaleListModel.h"
#include "TFrmSaleManage.h"
#include "WarrantySettings.h"

#include <QAccessible>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

class TestReminder : public QObject
{
    Q_OBJECT

    static void AddSale(int daysFromToday)
    {
        const QDate today = QDate::currentDate();
        QVERIFY(
            ExecCommand("insert into SaleInfo (Name,addr,BuyDate,OverRun,TB) values ('客户','地址',?,?,'0')",
                        {today.addDays(daysFromToday - 365), today.addDays(daysFromToday)}));
    }

    static ExpiryNotice* Notice(AppTestFixture& app)
    {
        AppTestFixture::FlushDeletes();
        return app.Main()->findChild<ExpiryNotice*>(QStringLiteral("ExpiryNotice"));
    }

    // Logs in again through "重新登录", as the user would.
    static void Relogin(AppTestFixture& app, const QString& code, const QString& password)
    {
        QTimer::singleShot(0, app.Main(), [&app, code, password] { app.Login(code, password); });
        QVERIFY(app.Main()->RunFunction("1003"));
    }

private slots:
    void initTestCase()
    {
        WEIBAO_SKIP_WITHOUT_SERVER();
        RegisterFormClasses();
    }

    void noticeAfterLogin()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        AddSale(3);
        AddSale(30);
        AddSale(0);  // ended today
        AddSale(45); // beyond 30 days
        // A clerk who may use the help menu only.
        QVERIFY(ExecCommand("insert into AC_USERINFO (UserID,UserName,UserPass,IsUse,PassNotOver) "
                            "values ('HELP','小李','pw','Y','Y')"));
        app.Start();
        app.Login("ADMIN", "admin");

        ExpiryNotice* notice = Notice(app);
        QVERIFY(notice);
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->findChild<QLabel*>("LblExpiryNotice")->text(),
                 QStringLiteral("有 2 位客户的保修将在 30 天内到期"));
        QVERIFY(app.dialogs->Texts().isEmpty()); // no box, nothing blocks
        // At the right below the work area, never over a form's controls.
        const QWidget* window = app.Main();
        const QRect area(app.Main()->MdiArea()->mapTo(window, QPoint(0, 0)), app.Main()->MdiArea()->size());
        const QRect placed(notice->mapTo(window, QPoint(0, 0)), notice->size());
        QVERIFY(!placed.intersects(area));
        QVERIFY(placed.top() >= area.bottom() && placed.right() > area.right() - 40);
        // A screen reader finds its text and its two buttons.
        QStringList names;
        QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(app.Main())};
        while (!pending.isEmpty()) {
            QAccessibleInterface* node = pending.takeFirst();
            names << node->text(QAccessible::Name);
            for (int i = 0; i < node->childCount(); ++i)
                pending << node->child(i);
        }
        QVERIFY(names.contains(QStringLiteral("有 2 位客户的保修将在 30 天内到期")));
        QVERIFY(names.contains(QStringLiteral("查看即将过保的客户")));
        QVERIFY(names.contains(QStringLiteral("关闭")));

        // "查看" opens the manager on the expiring-soon filter and closes the notice.
        notice->findChild<QPushButton*>("BtnExpiryView")->click();
        QVERIFY(!Notice(app));
        QCOMPARE(app.Children().size(), 1);
        auto* manager = qobject_cast<TFrmSaleManage*>(app.Main()->FindOpenForm("TFrmSaleManage"));
        QVERIFY(manager);
        QCOMPARE(manager->ListMode, int(TFrmSaleManage::ModeExpiring));
        // The 即将过保 split button can be pressed without opening its menu.
        QAccessibleInterface* split =
            QAccessible::queryAccessibleInterface(manager->findChild<QToolButton*>("BtnExpiringButton"));
        QVERIFY(split && split->actionInterface());
        QVERIFY(split->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QCOMPARE(manager->Model()->rowCount(), 2);
        QCOMPARE(manager->StatusText(), QStringLiteral("共有 [2] 项"));

        // With 60 days the count follows the setting.
        QVERIFY(Settings::SetExpiringDays(60));
        Relogin(app, "ADMIN", "admin");
        QVERIFY(Notice(app));
        QCOMPARE(Notice(app)->Text(), QStringLiteral("有 3 位客户的保修将在 60 天内到期"));

        // No right to the record manager: no notice (and the earlier one is gone).
        Relogin(app, "HELP", "pw");
        QCOMPARE(app.Main()->StatusText(1), QStringLiteral("当前用户：小李(HELP)"));
        QVERIFY(!Notice(app));

        // Switched off: none either.
        QVERIFY(Settings::SetRemindAtLogin(false));
        Relogin(app, "ADMIN", "admin");
        QVERIFY(!Notice(app));
        QVERIFY(Settings::SetRemindAtLogin(true));

        // Nothing due: nothing to say.
        QVERIFY(ExecCommand("delete from SaleInfo where OverRun>?", {QDate::currentDate()}));
        Relogin(app, "ADMIN", "admin");
        QVERIFY(!Notice(app));
        QVERIFY(app.dialogs->Texts().isEmpty());
    }

    void closeButtonDismisses()
    {
        AppTestFixture app;
        QVERIFY(app.Valid());
        AddSale(7);
        app.Start();
        app.Login("ADMIN", "admin");
        ExpiryNotice* notice = Notice(app);
        QVERIFY(notice);
        auto* close = notice->findChild<QToolButton*>("BtnExpiryClose");
        QCOMPARE(close->accessibleName(), QStringLiteral("关闭"));
        close->click();
        QVERIFY(!Notice(app));
        QVERIFY(app.Children().isEmpty());
    }
};

QTEST_MAIN(TestReminder)
#include "tst_reminder.moc"
