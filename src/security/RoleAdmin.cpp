#include "RoleAdmin.h"

#include "DataAccess.h"
#include "Utilities.h"

namespace {

bool InsertFunctions(qint64 roleID, const QStringList& functionIDs)
{
    for (const QString& id : functionIDs)
        if (!ExecCommand("Insert into AC_ROLE_FUNCTION values(?,?)", {roleID, id}))
            return false;
    return true;
}

} // namespace

namespace RoleAdmin {

bool LoadRoles(QList<RoleRecord>& roles)
{
    roles.clear();
    MemDataset rows;
    if (!OpenQuery("select * from AC_ROLEINFO", rows))
        return false;
    for (rows.First(); !rows.Eof(); rows.Next())
        roles.append({rows.AsInteger("RoleID"), rows.AsString("RoleName"), rows.AsString("RoleDesc")});
    return true;
}

bool LoadRoleFunctions(qint64 roleID, QStringList& functionIDs)
{
    functionIDs.clear();
    MemDataset rows;
    if (!OpenQuery("select * from AC_ROLE_FUNCTION where RoleID=?", rows, {roleID}))
        return false;
    for (rows.First(); !rows.Eof(); rows.Next())
        functionIDs.append(rows.AsString("FunctionID"));
    return true;
}

bool IsRoleNameFree(const QString& name, qint64 exceptRoleID)
{
    MemDataset rows;
    return OpenQuery("select RoleName from AC_ROLEINFO where RoleName=? and RoleID<>?", rows,
                     {name, exceptRoleID}) &&
           rows.IsEmpty();
}

qint64 InsertRole(const QString& name, const QString& desc, const QStringList& functionIDs)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return -1;
    const qint64 key = TextToInt(NextSequenceValue("SeqTable", "RoleID"));
    if (key <= 0)
        return -1;
    if (!ExecCommand("Insert into AC_ROLEINFO values (?,?,?)", {key, name, desc}) ||
        !ExecCommand("delete from AC_ROLE_FUNCTION where RoleID=?", {key}) ||
        !InsertFunctions(key, functionIDs))
        return -1;
    return transaction.Commit() ? key : -1;
}

bool UpdateRole(qint64 roleID, const QString& name, const QString& desc, const QStringList& functionIDs)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    // A role gone meanwhile (a restored older backup, another desk) must not
    // get functions again under a key nobody sees.
    MemDataset role;
    if (!OpenQuery("select RoleID from AC_ROLEINFO where RoleID=?", role, {roleID}) || role.IsEmpty())
        return false;
    return ExecCommand("update AC_ROLEINFO set RoleName=?,RoleDesc=? where RoleID=?", {name, desc, roleID}) &&
           ExecCommand("delete from AC_ROLE_FUNCTION where RoleID=?", {roleID}) &&
           InsertFunctions(roleID, functionIDs) && transaction.Commit();
}

bool DeleteRole(qint64 roleID)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    return ExecCommand("delete from AC_ROLEINFO where ROLEID=?", {roleID}) &&
           ExecCommand("delete from AC_ROLE_USER where ROLEID=?", {roleID}) && transaction.Commit();
}

} // namespace RoleAdmin
