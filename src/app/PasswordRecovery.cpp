#include "PasswordRecovery.h"

#include "TDataM.h"
#include "UserAdmin.h"

#include <QTextStream>

int ResetPasswordCommand(const QString& userID, QTextStream& out, QTextStream& err)
{
    const QString code = userID.trimmed().toUpper();
    if (code.isEmpty()) {
        err << "--reset-password 需要一个用户代码" << Qt::endl;
        return 1;
    }
    TDataM dataModule;
    if (!dataModule.ConnectDatabase()) {
        err << "无法打开数据库：" << dataModule.LastError() << Qt::endl;
        return 1;
    }
    QString storedID;
    QString error;
    if (!UserAdmin::ResetPassword(code, true, &storedID, &error)) {
        err << "重置密码失败：" << error << Qt::endl;
        dataModule.DisconnectDatabase();
        return 1;
    }
    // Nobody is logged in: the row names the account that was reset.
    dataModule.SetUserSource([storedID](QString& id, QString& name) {
        id = storedID;
        name.clear();
    });
    dataModule.WriteUsageLog(QStringLiteral("命令行重置密码：") + storedID);
    dataModule.DisconnectDatabase();
    out << "已将用户 " << storedID << " 的密码重置为用户代码（" << storedID
        << "），账号已启用，已过期的密码失效日期已清除。请登录后立即更改密码。" << Qt::endl;
    return 0;
}
