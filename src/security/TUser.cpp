#include "TUser.h"

#include "DataAccess.h"
#include "Dialogs.h"
#include "PasswordHash.h"
#include "Utilities.h"

#include <QDate>

int TUser::Login(const QString& userID, const QString& password)
{
    MemDataset rows;
    if (!QueryUserLogin(userID, password, rows) || rows.IsEmpty())
        return WrongPassword;
    rows.First();
    const QString stored = rows.AsString("UserPass");
    if (!PasswordHash::Verify(stored, password))
        return WrongPassword;
    UserName = rows.AsString("UserName").trimmed();
    if (!IsFlagSet(rows.AsString("IsUse")))
        return Disabled;
    if (!IsFlagSet(rows.AsString("PassNotOver"))) {
        // Valid through its last day; a missing date counts as long past.
        const QDateTime last = rows.AsDateTime("PassOverDate");
        if (!last.isValid() || last.date() < QDate::currentDate())
            return Expired;
    }
    if (!PasswordHash::IsHash(stored))
        SetUserPassword(rows.AsString("UserID"), password);
    UserID = userID;
    UserPass = password;
    return Success;
}

bool TUser::ChangePassword(const QString& oldPassword, const QString& newPassword)
{
    if (oldPassword != UserPass) {
        ShowMessage(QStringLiteral("错误：原密码出错！"));
        return false;
    }
    if (!SetUserPassword(UserID, newPassword)) {
        ShowMessage(QStringLiteral("错误：更改密码失败！"));
        return false;
    }
    UserPass = newPassword;
    ShowMessage(QStringLiteral("密码更改成功！"));
    return true;
}

void TUser::Clear()
{
    UserID.clear();
    UserName.clear();
    UserPass.clear();
}
