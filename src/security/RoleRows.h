#pragma once

#include <Qt>

class QTreeWidget;

// The data role under which a row of a role list keeps its RoleID.
constexpr int RoleIdRole = Qt::UserRole;
// ... and the role's row version as read.
constexpr int RoleVersionRole = Qt::UserRole + 3;

// Fills a report list with every role: caption RoleName, second column
// RoleDesc, the RoleID kept with the row.  A failed read leaves it empty.
// Shared by the user and the role administration.
void LoadRoleRows(QTreeWidget* list);
