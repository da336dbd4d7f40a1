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
    qint64 RowVersion = 1; // as read; see VersionedRow
};

// A user as the list shows it: code, name and whether the account can log in.
struct UserListRow
{
    QString UserID;
    QString UserName;
    bool IsUse = true;
    bool Expired = false; // the password expiry date has passed
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

enum class SaveResult {
    Saved,
    UserFailed,
    GrantsFailed,
    LockedOut,        // would leave no administrator (AccountGuard): nothing written
    ChangedElsewhere, // another desk changed the user since it was read: nothing written
    Missing,          // the user no longer exists: nothing written
};
enum class LoadResult { Loaded, Missing, Failed };

// A user code holds only letters, digits and "_" (the login reads a typed
// "code-name" up to its first "-"), at most 10 characters.
bool IsValidUserID(const QString& userID);

// Users as listed, in stored order.
bool LoadUserList(QList<UserListRow>& users);
LoadResult LoadUser(const QString& userID, UserRecord& user, QString* error = nullptr);
// The user's roles first, then the functions granted to the user directly.
// A grant whose role or function is gone keeps its stored key (no name).
bool LoadGrants(const QString& userID, QList<UserGrant>& grants);
// true when no user has that code; a failing query counts as taken.
bool IsUserIDFree(const QString& userID);

// Inserts the user (password: its user code, hashed) and its grants.
SaveResult AddUser(const UserRecord& user, const QList<UserGrant>& grants);
// Updates the stored user `user.UserID` if it still has `user.RowVersion`
// (counted up on success): with `writeBasic` everything but code and
// password, with `writeGrants` the grants are replaced by `grants`.  Refused
// when it would leave no administrator.
SaveResult UpdateUser(UserRecord& user, const QList<UserGrant>& grants, bool writeBasic, bool writeGrants);
enum class DeleteResult { Deleted, LockedOut, Failed };
// The user row together with the user's roles and direct functions.
DeleteResult DeleteUser(const QString& userID);
// The user's password becomes the user code again (hashed).  With
// `recover` the account is also enabled and an expiry date in the past is
// cleared (the password never expires).  false when there is no such user or
// the write failed; `storedID` receives the code as stored.
bool ResetPassword(const QString& userID, bool recover, QString* storedID = nullptr,
                   QString* error = nullptr);

} // namespace UserAdmin
