#include "AccountGuard.h"

#include "DataAccess.h"
#include "Utilities.h"

#include <QHash>
#include <QSet>

namespace {

const QStringList RequiredFunctions = {QStringLiteral("4001"), QStringLiteral("400132")};

QString UserKey(const QString& userID)
{
    return userID.trimmed().toUpper();
}

// For each required function: the functions whose grant covers it (itself
// and every function above it), or an empty set when it is public and so
// held by everybody.  false when the catalogue could not be read.
bool CoveringFunctions(QVector<QSet<QString>>& covering)
{
    MemDataset rows;
    if (!OpenQuery(QStringLiteral("select FunctionID,ParentFunctionID,IsPublic from AC_FUNCTIONINFO"), rows))
        return false;
    QHash<QString, QString> parentOf;
    QHash<QString, bool> ownPublic;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        const QString id = rows.AsString("FunctionID").trimmed();
        if (parentOf.contains(id))
            continue;
        parentOf.insert(id, rows.AsString("ParentFunctionID").trimmed());
        ownPublic.insert(id, IsFlagSet(rows.AsString("IsPublic")));
    }
    covering.clear();
    for (const QString& required : RequiredFunctions) {
        // A function is public when its own flag or its parent's is set.
        if (ownPublic.value(required) || ownPublic.value(parentOf.value(required))) {
            covering.append(QSet<QString>());
            continue;
        }
        QSet<QString> chain;
        for (QString id = required; !id.isEmpty() && id != QLatin1String("-1") && !chain.contains(id);
             id = parentOf.value(id))
            chain.insert(id);
        covering.append(chain);
    }
    return true;
}

} // namespace

namespace AccountGuard {

bool IsAccountValid(bool isUse, bool passNotOver, const QDate& passOverDate, const QDate& today)
{
    // As at login: valid through the expiry day; no date counts as long past.
    return isUse && (passNotOver || (passOverDate.isValid() && passOverDate >= today));
}

int CountAdministrators()
{
    QVector<QSet<QString>> covering;
    if (!CoveringFunctions(covering))
        return -1;
    MemDataset grants;
    if (!OpenQuery(QStringLiteral("select UserID,FunctionID from AC_FUNCTION_USER union all"
                                  " select a.UserID,b.FunctionID from AC_ROLE_USER a"
                                  " join AC_ROLE_FUNCTION b on a.RoleID=b.RoleID"),
                   grants))
        return -1;
    QHash<QString, QSet<QString>> held;
    for (grants.First(); !grants.Eof(); grants.Next())
        held[UserKey(grants.AsString("UserID"))].insert(grants.AsString("FunctionID").trimmed());

    MemDataset users;
    if (!OpenQuery(QStringLiteral("select UserID,IsUse,PassNotOver,PassOverDate from AC_USERINFO"), users))
        return -1;
    const QDate today = QDate::currentDate();
    int count = 0;
    for (users.First(); !users.Eof(); users.Next()) {
        if (!IsAccountValid(IsFlagSet(users.AsString("IsUse")), IsFlagSet(users.AsString("PassNotOver")),
                            users.AsDateTime("PassOverDate").date(), today))
            continue;
        const QSet<QString> own = held.value(UserKey(users.AsString("UserID")));
        bool holdsAll = true;
        for (const QSet<QString>& chain : covering)
            holdsAll = holdsAll && (chain.isEmpty() || chain.intersects(own));
        if (holdsAll)
            ++count;
    }
    return count;
}

bool Check::Allows() const
{
    if (m_before == 0)
        return true;
    const int after = CountAdministrators();
    return m_before > 0 && after > 0;
}

} // namespace AccountGuard
