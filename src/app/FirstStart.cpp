#include "FirstStart.h"

#include "Dialogs.h"
#include "SeedData.h"

#include <QDir>

FirstStartResult OfferNewDatabase(const QString& databaseFile, QWidget* parent)
{
    const QString where = QDir::toNativeSeparators(databaseFile);
    Dialogs::Message question{
        QStringLiteral("还没有数据库。将在以下位置创建新的数据库：\n%1\n\n"
                       "“空数据库”只含系统设置，用于正式开始登记；"
                       "“演示数据库”另带一些演示用的销售记录，便于先熟悉程序。\n\n"
                       "管理员用户代码：%2，初始密码：%3（登录后请立即更改）。")
            .arg(where, QString::fromLatin1(AdminUserID), QString::fromLatin1(AdminPassword)),
        QStringLiteral("创建数据库"), Dialogs::Icon::Question};
    question.buttonTexts = {{Dialogs::Yes, QStringLiteral("创建空数据库")},
                            {Dialogs::No, QStringLiteral("创建演示数据库")},
                            {Dialogs::Cancel, QStringLiteral("退出")}};
    const Dialogs::Button answer =
        Dialogs::Instance().Ask(parent, question, Dialogs::Yes | Dialogs::No | Dialogs::Cancel, Dialogs::Yes);
    if (answer != Dialogs::Yes && answer != Dialogs::No)
        return FirstStartResult::Declined;

    QString error;
    if (!InitDatabase(databaseFile, answer == Dialogs::No, &error)) {
        Dialogs::Instance().Inform(parent, {QStringLiteral("无法创建数据库：") + error,
                                            QStringLiteral("数据库启动错误"), Dialogs::Icon::Critical});
        return FirstStartResult::Failed;
    }
    return FirstStartResult::Created;
}
