#pragma once

#include <QString>

// The record of the person working with the program.  One instance exists
// for the run (owned by the function-rights object).
class TUser
{
public:
    enum LoginResult { WrongPassword = -1, Success = 0, Disabled = 1, Expired = 2 };

    QString UserID;
    QString UserName;
    QString UserPass;

    // -1 wrong user code or password, 0 success, 1 account disabled, 2
    // password expired.  The record changes only on success; UserID is then
    // the code as stored (codes compare without regard to case).  A legacy
    // plain-text password is replaced by its hash at a successful login.
    int Login(const QString& userID, const QString& password);
    // Shows its own messages; true when the new password was stored.
    bool ChangePassword(const QString& oldPassword, const QString& newPassword);
    void Clear();
};
