#include "UserAdmin.h"

#include "AccountGuard.h"
#include "DataAccess.h"
#include "PasswordHash.h"
#include "Utilities.h"
#include "VersionedRow.h"

#include <QRegularExpression>

namespace {

SqlArg DateArg(const QDate& date)
{
    return date.isValid() ? SqlArg(date) : SqlArg::Null();
}

QString Flag(bool set)
{
    return set ? QStringLiteral("Y") : QStringLiteral("N");
}

// A password that never expires still gets the day of saving, as the
// expiry column is written in every case.
QDate StoredOverDate(const UserRecord& user)
{
    return user.PassNotOver ? QDate::currentDate() : user.PassOverDate;
}

bool InsertGrants(const QString& userID, const QList<UserGrant>& grants)
{
    for (const UserGrant& grant : grants) {
        const bool ok =
            grant.kind == UserGrant::Role
                ? ExecCommand("Insert into AC_ROLE_USER values (?,?)", {TextToInt(grant.key), userID})
                : ExecCommand("Insert into AC_FUNCTION_USER values (?,?)", {grant.key, userID});
        if (!ok)
            return false;
    }
    return true;
}

bool DeleteGrants(const QString& userID)
{
    return ExecCommand("delete from AC_ROLE_USER where UserID=?", {userID}) &&
           ExecCommand("delete from AC_FUNCTION_USER where UserID=?", {userID});
}

} // namespace

namespace UserAdmin {

bool IsValidUserID(const QString& userID)
{
    static const QRegularExpression code(QStringLiteral("^[A-Za-z0-9_]{1,10}$"));
    return code.match(userID).hasMatch();
}

bool LoadUserList(QList<UserListRow>& users)
{
    MemDataset rows;
    if (!OpenQuery("select UserID,UserName,IsUse,PassNotOver,PassOverDate from AC_USERINFO", rows))
        return false;
    users.clear();
    const QDate today = QDate::currentDate();
    for (rows.First(); !rows.Eof(); rows.Next()) {
        UserListRow row;
        row.UserID = rows.AsString("UserID");
        row.UserName = rows.AsString("UserName");
        row.IsUse = IsFlagSet(rows.AsString("IsUse"));
        row.Expired = !AccountGuard::IsAccountValid(true, IsFlagSet(rows.AsString("PassNotOver")),
                                                    rows.AsDateTime("PassOverDate").date(), today);
        users.append(row);
    }
    return true;
}

LoadResult LoadUser(const QString& userID, UserRecord& user, QString* error)
{
    MemDataset rows;
    if (!OpenQuery("select * from AC_USERINFO where UserID=?", rows, {userID}, error))
        return LoadResult::Failed;
    if (rows.IsEmpty())
        return LoadResult::Missing;
    rows.First();
    const auto text = [&rows](const char* field) { return rows.AsString(QLatin1String(field)).trimmed(); };
    user.UserID = text("UserID");
    user.UserName = text("UserName");
    user.Sex = text("Sex");
    user.WorkPostID = FieldAsInteger(rows, "WorkPostID", 0);
    user.DeptID = FieldAsInteger(rows, "DeptID", 0);
    user.PersonTypeID = FieldAsInteger(rows, "PersonTypeID", 0);
    user.WorkStartDate = rows.AsDateTime("WorkStartDate").date();
    user.HomeTel = text("HomeTel");
    user.WorkTel = text("WorkTel");
    user.MobileTel = text("MobileTel");
    user.Email = text("Email");
    user.QQ = text("QQ");
    user.MSN = text("MSN");
    user.Address = text("Address");
    user.IsUse = IsFlagSet(rows.AsString("IsUse"));
    user.PassNotOver = IsFlagSet(rows.AsString("PassNotOver"));
    user.PassOverDate = rows.AsDateTime("PassOverDate").date();
    user.RowVersion = FieldAsInteger(rows, "RowVersion", 1);
    return LoadResult::Loaded;
}

bool LoadGrants(const QString& userID, QList<UserGrant>& grants)
{
    grants.clear();
    MemDataset roles;
    bool ok = OpenQuery("select a.RoleID,b.RoleName from AC_ROLE_USER a LEFT JOIN AC_ROLEINFO b"
                        " ON a.RoleID=b.RoleID where a.UserID=?",
                        roles, {userID});
    if (ok)
        for (roles.First(); !roles.Eof(); roles.Next())
            grants.append({UserGrant::Role, roles.AsString("RoleID"), roles.AsString("RoleName")});
    MemDataset functions;
    if (OpenQuery("select a.FunctionID,b.FunctionName from AC_FUNCTION_USER a left join AC_FUNCTIONINFO b"
                  " on a.FunctionID=b.FunctionID where UserID=?",
                  functions, {userID})) {
        for (functions.First(); !functions.Eof(); functions.Next())
            grants.append(
                {UserGrant::Function, functions.AsString("FunctionID"), functions.AsString("FunctionName")});
    } else {
        ok = false;
    }
    return ok;
}

bool IsUserIDFree(const QString& userID)
{
    MemDataset rows;
    return OpenQuery("select UserID from AC_USERINFO where UserID=?", rows, {userID}) && rows.IsEmpty();
}

SaveResult AddUser(const UserRecord& user, const QList<UserGrant>& grants)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return SaveResult::UserFailed;
    const bool inserted = ExecCommand(
        "Insert into AC_USERINFO (UserID,UserName,Sex,WorkPostID,DeptID,PersonTypeID,WorkStartDate,HomeTel,"
        "WorkTel,MobileTel,Email,QQ,MSN,Address,UserPass,IsUse,PassNotOver,PassOverDate)"
        " Values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {user.UserID, user.UserName, user.Sex, user.WorkPostID, user.DeptID, user.PersonTypeID,
         DateArg(user.WorkStartDate), user.HomeTel, user.WorkTel, user.MobileTel, user.Email, user.QQ,
         user.MSN, user.Address, SqlArg::Secret(PasswordHash::Hash(user.UserID)), Flag(user.IsUse),
         Flag(user.PassNotOver), DateArg(StoredOverDate(user))});
    if (!inserted)
        return SaveResult::UserFailed;
    if (!InsertGrants(user.UserID, grants))
        return SaveResult::GrantsFailed;
    return transaction.Commit() ? SaveResult::Saved : SaveResult::GrantsFailed;
}

SaveResult UpdateUser(UserRecord& user, const QList<UserGrant>& grants, bool writeBasic, bool writeGrants)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return SaveResult::UserFailed;
    const AccountGuard::Check guard;
    // The row version is checked and counted up in every case: the grants
    // belong to the user as much as the phone numbers do.
    QString sets;
    SqlArgs args;
    if (writeBasic) {
        sets =
            QStringLiteral("UserName=?,Sex=?,WorkPostID=?,DeptID=?,PersonTypeID=?,WorkStartDate=?,HomeTel=?,"
                           "WorkTel=?,MobileTel=?,Email=?,QQ=?,MSN=?,Address=?,IsUse=?,PassNotOver=?,"
                           "PassOverDate=?");
        args = {user.UserName,
                user.Sex,
                user.WorkPostID,
                user.DeptID,
                user.PersonTypeID,
                DateArg(user.WorkStartDate),
                user.HomeTel,
                user.WorkTel,
                user.MobileTel,
                user.Email,
                user.QQ,
                user.MSN,
                user.Address,
                Flag(user.IsUse),
                Flag(user.PassNotOver),
                DateArg(StoredOverDate(user))};
    }
    qint64 version = user.RowVersion;
    switch (VersionedRow::Update(QStringLiteral("AC_USERINFO"), QStringLiteral("UserID"), user.UserID,
                                 &version, sets, args)) {
    case VersionedRow::Outcome::Saved:
        break;
    case VersionedRow::Outcome::ChangedElsewhere:
        return SaveResult::ChangedElsewhere;
    case VersionedRow::Outcome::Missing:
        return SaveResult::Missing;
    case VersionedRow::Outcome::Failed:
        return SaveResult::UserFailed;
    }
    if (writeGrants && (!DeleteGrants(user.UserID) || !InsertGrants(user.UserID, grants)))
        return SaveResult::GrantsFailed;
    if (!guard.Allows())
        return SaveResult::LockedOut;
    if (!transaction.Commit())
        return SaveResult::GrantsFailed;
    user.RowVersion = version;
    return SaveResult::Saved;
}

DeleteResult DeleteUser(const QString& userID)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return DeleteResult::Failed;
    const AccountGuard::Check guard;
    if (!ExecCommand("delete from AC_USERINFO where UserID=?", {userID}) || !DeleteGrants(userID))
        return DeleteResult::Failed;
    if (!guard.Allows())
        return DeleteResult::LockedOut;
    return transaction.Commit() ? DeleteResult::Deleted : DeleteResult::Failed;
}

bool ResetPassword(const QString& userID, bool recover, QString* storedID, QString* error)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive()) {
        if (error)
            *error = CurrentConnection()->ErrorString();
        return false;
    }
    UserRecord user;
    QString reason;
    const LoadResult loaded = LoadUser(userID, user, &reason);
    if (loaded != LoadResult::Loaded) {
        if (error)
            *error = loaded == LoadResult::Missing ? QStringLiteral("没有用户代码为 %1 的用户").arg(userID)
                                                   : reason;
        return false;
    }
    // The new password is the code as stored: the login dialog sends codes
    // in upper case, and so does whoever types the code as the password.
    QString sets = QStringLiteral("UserPass=?");
    SqlArgs args{SqlArg::Secret(PasswordHash::Hash(user.UserID))};
    if (recover) {
        sets += QStringLiteral(",IsUse='Y'");
        if (!AccountGuard::IsAccountValid(true, user.PassNotOver, user.PassOverDate, QDate::currentDate())) {
            sets += QStringLiteral(",PassNotOver='Y',PassOverDate=?");
            args << SqlArg(QDate::currentDate());
        }
    }
    qint64 version = user.RowVersion;
    if (VersionedRow::Update(QStringLiteral("AC_USERINFO"), QStringLiteral("UserID"), user.UserID, &version,
                             sets, args, error) != VersionedRow::Outcome::Saved ||
        !transaction.Commit()) {
        if (error && error->isEmpty())
            *error = CurrentConnection()->ErrorString();
        return false;
    }
    if (storedID)
        *storedID = user.UserID;
    return true;
}

} // namespace UserAdmin
