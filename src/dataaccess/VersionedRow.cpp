#include "VersionedRow.h"

#include "DataAccess.h"

namespace VersionedRow {

qint64 Read(const QString& table, const QString& keyColumn, const SqlArg& key, QString* error)
{
    SqlStatement statement(CurrentConnection(),
                           "select RowVersion from " + table + " where " + keyColumn + "=?");
    if (statement.Bind({key}) && statement.Step())
        return statement.ColumnValue(0).toLongLong();
    if (!statement.IsValid() || statement.Failed()) {
        if (error)
            *error = statement.ErrorString();
        return -2;
    }
    return -1;
}

Outcome Update(const QString& table, const QString& keyColumn, const SqlArg& key, qint64* rowVersion,
               const QString& sets, SqlArgs args, QString* error)
{
    QString reason;
    const QString assignments =
        (sets.isEmpty() ? QString() : sets + QLatin1Char(',')) + QStringLiteral("RowVersion=RowVersion+1");
    args << key << SqlArg(*rowVersion);
    if (!ExecCommand("update " + table + " set " + assignments + " where " + keyColumn +
                         "=? and RowVersion=?",
                     args, &reason)) {
        if (error)
            *error = reason;
        return Outcome::Failed;
    }
    if (CurrentConnection()->Changes() > 0) {
        ++*rowVersion;
        return Outcome::Saved;
    }
    // Nothing matched: the row is gone or carries another version.
    const qint64 stored = Read(table, keyColumn, key, &reason);
    if (stored >= 0) {
        if (error)
            *error = QString::fromUtf16(ChangedElsewhereText);
        return Outcome::ChangedElsewhere;
    }
    if (error)
        *error = reason;
    return stored == -1 ? Outcome::Missing : Outcome::Failed;
}

} // namespace VersionedRow
