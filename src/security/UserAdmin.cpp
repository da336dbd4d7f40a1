#include "UserAdmin.h"

#include "DataAccess.h"
#include "PasswordHash.h"
#include "Utilities.h"

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

bool LoadUserList(QList<QPair<QString, QString>>& users)
{
    MemDataset rows;
    if (!OpenQuery("select UserID,UserName from AC_USERINFO", rows))
        return false;
    users.clear();
    for (rows.First(); !rows.Eof(); rows.Next())
        users.append({rows.AsString("UserID"), rows.AsString("UserName")});
    return true;
}

bool LoadUser(const QString& userID, UserRecord& user)
{
    MemDataset rows;
    if (!OpenQuery("select * from AC_USERINFO where UserID=?", rows, {userID}) || rows.IsEmpty())
        return false;
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
    return true;
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

SaveResult UpdateUser(const UserRecord& user, const QList<UserGrant>& grants)
{
    SqlTransaction transaction(CurrentConnection());
    // A user deleted meanwhile (at another desk) must not get grants again.
    if (!transaction.IsActive() || IsUserIDFree(user.UserID))
        return SaveResult::UserFailed;
    const bool updated = ExecCommand(
        "update AC_USERINFO set UserName=?,Sex=?,WorkPostID=?,DeptID=?,PersonTypeID=?,WorkStartDate=?,"
        "HomeTel=?,WorkTel=?,MobileTel=?,Email=?,QQ=?,MSN=?,Address=?,IsUse=?,PassNotOver=?,PassOverDate=?"
        " where UserID=?",
        {user.UserName, user.Sex, user.WorkPostID, user.DeptID, user.PersonTypeID,
         DateArg(user.WorkStartDate), user.HomeTel, user.WorkTel, user.MobileTel, user.Email, user.QQ,
         user.MSN, user.Address, Flag(user.IsUse), Flag(user.PassNotOver), DateArg(StoredOverDate(user)),
         user.UserID});
    if (!updated)
        return SaveResult::UserFailed;
    if (!DeleteGrants(user.UserID) || !InsertGrants(user.UserID, grants))
        return SaveResult::GrantsFailed;
    return transaction.Commit() ? SaveResult::Saved : SaveResult::GrantsFailed;
}

bool DeleteUser(const QString& userID)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    if (!ExecCommand("delete from AC_USERINFO where UserID=?", {userID}) || !DeleteGrants(userID))
        return false;
    return transaction.Commit();
}

} // namespace UserAdmin
