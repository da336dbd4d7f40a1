#include "TUser.h"

#include "ChangeLog.h"
#include "DataAccess.h"
#include "Dialogs.h"
#include "PasswordHash.h"
#include "Utilities.h"

#include <QDate>

int TUser::Login(const QString& userID, const QString& password)
{
    // Only rows whose password matched come back: the (deliberately slow)
    // hash is checked once, there.
    MemDataset rows;
    if (!QueryUserLogin(userID, password, rows) || rows.IsEmpty())
        return WrongPassword;
    rows.First();
    const QString stored = rows.AsString("UserPass");
    // A refused account leaves the record alone: the user still logged in
    // keeps working, and the usage log keeps naming that user.
    if (!IsFlagSet(rows.AsString("IsUse")))
        return Disabled;
    if (!IsFlagSet(rows.AsString("PassNotOver"))) {
        // Valid through its last day; a missing date counts as long past.
        const QDateTime last = rows.AsDateTime("PassOverDate");
        if (!last.isValid() || last.date() < QDate::currentDate())
            return Expired;
    }
    // The code as stored, whatever the letter case typed: grants and the
    // usage log name the user the same way at every login.
    const QString storedID = rows.AsString("UserID").trimmed();
    if (!PasswordHash::IsHash(stored))
        SetUserPassword(storedID, password);
    UserID = storedID;
    UserName = rows.AsString("UserName").trimmed();
    UserPass = password;
    // Every change this desk writes from now on is logged under this user.
    if (SqlConnection* connection = CurrentConnection())
        ChangeLog::SetSession(*connection, UserID);
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
    if (SqlConnection* connection = CurrentConnection())
        ChangeLog::SetSession(*connection, QString());
}
