#include "RoleRows.h"

#include "RoleAdmin.h"

#include <QTreeWidget>

void LoadRoleRows(QTreeWidget* list)
{
    list->clear();
    QList<RoleRecord> roles;
    RoleAdmin::LoadRoles(roles);
    for (const RoleRecord& role : roles) {
        auto* item = new QTreeWidgetItem(list, {role.RoleName, role.RoleDesc});
        item->setData(0, RoleIdRole, role.RoleID);
        item->setData(0, RoleVersionRole, role.RowVersion);
    }
}
