#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include "ChangeLog.h"

// The words the change log is shown in: tables and fields by the captions
// of the program's lists instead of their column names.
namespace ChangeLogCaptions {

QString TableCaption(const QString& table);
// The table names the log knows, in the order the window offers them.
QStringList Tables();
QString FieldCaption(const QString& table, const QString& field);
// A value as shown: "（空）" for none.
QString ValueText(const QVariant& value);
// "字段：旧 → 新" for an update, "字段：值" for the whole row of an insert
// or a delete, joined by "；".
QString Summary(const QString& table, const QString& action, const QVector<ChangeLog::Field>& fields);

} // namespace ChangeLogCaptions
