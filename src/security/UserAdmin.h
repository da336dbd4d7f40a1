#pragma once

#include <QDate>
#include <QList>
#include <QString>

// One AC_USERINFO row as the user administration edits it (the password is
// not part of it: a new user's first password is its user code).
struct UserRecord
{
    QString UserID;
    QString UserName;
    QString Sex;
    qint64 WorkPostID = 0; // 0: none
    qint64 DeptID = 0;
    qint64 PersonTypeID = 0;
    QDate WorkStartDate;
    QString HomeTel;
    QString WorkTel;
    QString MobileTel;
    QString Email;
    QString QQ;
    QString MSN;
    QString Address;
    bool IsUse = true;
    bool PassNotOver = true;
    QDate PassOverDate; // null when stored empty
};

// A role or a function granted to a user.  The key travels with the grant,
// so a name with brackets in it never hides it.
struct UserGrant
{
    enum Kind { Role, Function };
    Kind kind = Role;
    QString key; // RoleID as text, or FunctionID
    QString name;

    bool operator==(const UserGrant& other) const = default;
};

// Reading and writing users and their grants.  Every change is one
// transaction: a failure in any statement leaves the database as it was.
namespace UserAdmin {

enum class SaveResult { Saved, UserFailed, GrantsFailed };

// Users as listed: code and name per row, in stored order.
bool LoadUserList(QList<QPair<QString, QString>>& users);
bool LoadUser(const QString& userID, UserRecord& user);
// The user's roles first, then the functions granted to the user directly.
// A grant whose role or function is gone keeps its stored key (no name).
bool LoadGrants(const QString& userID, QList<UserGrant>& grants);
// true when no user has that code; a failing query counts as taken.
bool IsUserIDFree(const QString& userID);

// Inserts the user (password: its user code, hashed) and its grants.
SaveResult AddUser(const UserRecord& user, const QList<UserGrant>& grants);
// Updates everything but code and password, and replaces the grants.
SaveResult UpdateUser(const UserRecord& user, const QList<UserGrant>& grants);
// The user row together with the user's roles and direct functions.
bool DeleteUser(const QString& userID);

} // namespace UserAdmin
