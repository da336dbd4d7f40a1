#include "RoleAdmin.h"

#include "AccountGuard.h"
#include "DataAccess.h"
#include "SqlDialect.h"
#include "Utilities.h"
#include "VersionedRow.h"

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
        roles.append({rows.AsInteger("RoleID"), rows.AsString("RoleName"), rows.AsString("RoleDesc"),
                      FieldAsInteger(rows, "RowVersion", 1)});
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
    return OpenQuery("select RoleName from AC_ROLEINFO where " +
                         SqlDialect::NoCaseCompare(CurrentConnection(), QStringLiteral("RoleName"), "=") +
                         " and RoleID<>?",
                     rows, {name, exceptRoleID}) &&
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
    if (!ExecCommand("Insert into AC_ROLEINFO (RoleID,RoleName,RoleDesc) values (?,?,?)",
                     {key, name, desc}) ||
        !ExecCommand("delete from AC_ROLE_FUNCTION where RoleID=?", {key}) ||
        !InsertFunctions(key, functionIDs))
        return -1;
    return transaction.Commit() ? key : -1;
}

WriteResult UpdateRole(qint64 roleID, qint64* rowVersion, const QString& name, const QString& desc,
                       const QStringList& functionIDs)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return WriteResult::Failed;
    const AccountGuard::Check guard;
    // A role gone meanwhile (a restored older backup, another desk) must not
    // get functions again under a key nobody sees.
    qint64 version = *rowVersion;
    switch (VersionedRow::Update(QStringLiteral("AC_ROLEINFO"), QStringLiteral("RoleID"), roleID, &version,
                                 QStringLiteral("RoleName=?,RoleDesc=?"), {name, desc})) {
    case VersionedRow::Outcome::Saved:
        break;
    case VersionedRow::Outcome::ChangedElsewhere:
        return WriteResult::ChangedElsewhere;
    case VersionedRow::Outcome::Missing:
        return WriteResult::Missing;
    case VersionedRow::Outcome::Failed:
        return WriteResult::Failed;
    }
    if (!ExecCommand("delete from AC_ROLE_FUNCTION where RoleID=?", {roleID}) ||
        !InsertFunctions(roleID, functionIDs))
        return WriteResult::Failed;
    if (!guard.Allows())
        return WriteResult::LockedOut;
    if (!transaction.Commit())
        return WriteResult::Failed;
    *rowVersion = version;
    return WriteResult::Written;
}

WriteResult DeleteRole(qint64 roleID)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return WriteResult::Failed;
    const AccountGuard::Check guard;
    if (!ExecCommand("delete from AC_ROLEINFO where ROLEID=?", {roleID}) ||
        !ExecCommand("delete from AC_ROLE_USER where ROLEID=?", {roleID}))
        return WriteResult::Failed;
    if (!guard.Allows())
        return WriteResult::LockedOut;
    return transaction.Commit() ? WriteResult::Written : WriteResult::Failed;
}

} // namespace RoleAdmin
