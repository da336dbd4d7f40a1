#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One AC_ROLEINFO row.
struct RoleRecord
{
    qint64 RoleID = -1;
    QString RoleName;
    QString RoleDesc;
    qint64 RowVersion = 1; // as read; see VersionedRow
};

// Reading and writing roles and the functions they grant.  Every change is
// one transaction.  A role's functions are stored as the topmost granted
// functions of each subtree; a grant covers everything below it.
namespace RoleAdmin {

// All roles in stored order.
bool LoadRoles(QList<RoleRecord>& roles);
// The FunctionIDs stored for the role, in stored order.
bool LoadRoleFunctions(qint64 roleID, QStringList& functionIDs);
// true when no role other than `exceptRoleID` has that name, Latin letters
// compared without regard to case (as the database's unique index does); a
// failing query counts as a name in use.
bool IsRoleNameFree(const QString& name, qint64 exceptRoleID = -1);

// Allocates the key, inserts the role and its functions; the new key, or -1
// when nothing was written.
qint64 InsertRole(const QString& name, const QString& desc, const QStringList& functionIDs);

enum class WriteResult {
    Written,
    Failed,
    LockedOut,        // would leave no administrator (AccountGuard): nothing written
    ChangedElsewhere, // another desk changed the role since it was read: nothing written
    Missing,          // the role no longer exists: nothing written
};
// Updates name and description and replaces the role's functions, if the
// stored role still has `*rowVersion` (counted up on success).
WriteResult UpdateRole(qint64 roleID, qint64* rowVersion, const QString& name, const QString& desc,
                       const QStringList& functionIDs);
// The role and its user assignments.  Its function rows stay: role keys are
// never handed out twice, so no later role can inherit them.
WriteResult DeleteRole(qint64 roleID);

} // namespace RoleAdmin
