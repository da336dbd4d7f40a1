#include "ChangeLog.h"

#include "SqlConnection.h"
#include "SqlDialect.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>

namespace ChangeLog {

const QVector<Table>& Tables()
{
    static const QVector<Table> tables{
        {"SaleInfo", "id", "", true},
        {"AC_USERINFO", "UserID", "UserPass", false},
        {"AC_ROLEINFO", "RoleID", "", false},
        {"AC_ROLE_USER", "RoleID,UserID", "", false},
        {"AC_ROLE_FUNCTION", "RoleID,FunctionID", "", false},
        {"AC_FUNCTION_USER", "FunctionID,UserID", "", false},
        {"AC_Company", "", "", false},
        // The repair desk's visits and their swapped parts (logged once the tables exist).
        {"RepairInfo", "RepairID", "", false},
        {"RepairSwap", "SwapID", "", false},
    };
    return tables;
}

const Table* FindTable(const QString& name)
{
    for (const Table& table : Tables())
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return &table;
    return nullptr;
}

namespace {

QStringList List(const char* text)
{
    return QString::fromLatin1(text).split(',', Qt::SkipEmptyParts);
}

QStringList Columns(SqlConnection& connection, const QString& table, bool* ok)
{
    SqlStatement statement(&connection, SqlDialect::ColumnNames(&connection));
    QStringList names;
    *ok = statement.Bind({table});
    while (*ok && statement.Step())
        names << statement.ColumnValue(0).toString();
    *ok = *ok && !statement.Failed();
    return names;
}

bool Run(SqlConnection& connection, const QStringList& statements, QString* error)
{
    for (const QString& sql : statements)
        if (!connection.ExecRaw(sql)) {
            *error = connection.ErrorString();
            return false;
        }
    return true;
}

QVariant JsonToValue(const QJsonValue& value)
{
    return value.isNull() || value.isUndefined() ? QVariant() : QVariant(value.toString());
}

bool SetInsertAction(SqlConnection& connection, const QString& action)
{
    SqlStatement statement(&connection, SqlDialect::ChangeActionSql(&connection));
    return statement.Exec({action});
}

Entry EntryOf(SqlStatement& row)
{
    Entry entry;
    entry.logID = row.ColumnValue(0).toLongLong();
    entry.time = row.ColumnValue(1).toString();
    entry.userID = row.ColumnValue(2).toString();
    entry.desk = row.ColumnValue(3).toString();
    entry.table = row.ColumnValue(4).toString();
    entry.key = row.ColumnValue(5).toString();
    entry.action = row.ColumnValue(6).toString();
    entry.fields = ParseFields(row.ColumnValue(7).toString());
    return entry;
}

const char* const EntryColumns = "select LogID, LogTime, UserID, Desk, TableName, RecordKey, Action, Fields"
                                 " from ChangeLog ";

} // namespace

namespace {

// What the triggers of `table` are made from, its columns as they are now
// (none for a table not made yet by this schema version).
bool SpecOf(SqlConnection& connection, const Table& table, SqlDialect::ChangeLogTable* spec, QString* error)
{
    bool ok = false;
    spec->table = QString::fromLatin1(table.name);
    spec->columns = Columns(connection, spec->table, &ok);
    if (!ok) {
        *error = connection.ErrorString();
        return false;
    }
    spec->keys = List(table.keys);
    spec->secrets = List(table.secrets);
    // A row version changes with every save; alone it is no change.
    spec->unchanged = QStringList{QStringLiteral("RowVersion")};
    return true;
}

} // namespace

bool CreateTriggers(SqlConnection& connection, QString* error)
{
    for (const Table& table : Tables()) {
        SqlDialect::ChangeLogTable spec;
        if (!SpecOf(connection, table, &spec, error))
            return false;
        if (spec.columns.isEmpty())
            continue;
        if (!Run(connection, SqlDialect::ChangeLogTriggers(&connection, spec), error))
            return false;
    }
    return true;
}

bool InsertFillOf(SqlConnection& connection, const QString& tableName, SqlDialect::ChangeLogInsertFill* fill,
                  QString* error)
{
    *fill = {};
    const Table* table = FindTable(tableName);
    SqlDialect::ChangeLogTable spec;
    if (!table)
        return true;
    if (!SpecOf(connection, *table, &spec, error))
        return false;
    if (!spec.columns.isEmpty())
        *fill = SqlDialect::ChangeLogInsertFillOf(&connection, spec);
    return true;
}

bool DropTriggers(SqlConnection& connection, QString* error)
{
    for (const Table& table : Tables()) {
        bool ok = false;
        if (Columns(connection, QString::fromLatin1(table.name), &ok).isEmpty())
            continue;
        if (!Run(connection, SqlDialect::DropChangeLogTriggers(&connection, QString::fromLatin1(table.name)),
                 error))
            return false;
    }
    return true;
}

QString ThisDesk()
{
    return QSysInfo::machineHostName().left(MaxDeskLength);
}

bool SetSession(SqlConnection& connection, const QString& userID, const QString& desk)
{
    connection.SetSessionValues(userID, desk.left(MaxDeskLength));
    return ApplySession(connection);
}

bool ApplySession(SqlConnection& connection)
{
    if (!connection.IsOpen())
        return false;
    if (!connection.IsServer()) {
        // The temporary trigger hangs on the log table: none before it exists.
        bool ok = false;
        if (Columns(connection, QStringLiteral("ChangeLog"), &ok).isEmpty())
            return ok;
    }
    for (const QString& sql : SqlDialect::ChangeSessionSql(&connection)) {
        SqlStatement statement(&connection, sql);
        const bool bound = sql.contains('?');
        if (bound ? !statement.Exec({connection.SessionUser(), connection.SessionDesk()}) : !statement.Exec())
            return false;
    }
    return true;
}

QVector<Field> ParseFields(const QString& text)
{
    QVector<Field> fields;
    // The object's own order is the columns' order; QJsonObject would sort
    // the keys, so the keys are read in the order the text names them.
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    QStringList order;
    static const QRegularExpression key(QStringLiteral("[{,]\"([^\"]+)\":\\["));
    for (auto match = key.globalMatch(text); match.hasNext();) {
        const QString name = match.next().captured(1);
        if (object.contains(name) && !order.contains(name))
            order << name;
    }
    for (const QString& name : object.keys())
        if (!order.contains(name))
            order << name;
    for (const QString& name : order) {
        const QJsonArray pair = object.value(name).toArray();
        fields.append({name, JsonToValue(pair.at(0)), JsonToValue(pair.at(1))});
    }
    return fields;
}

bool History(SqlConnection& connection, const QString& table, const QString& key, QVector<Entry>* entries,
             QString* error)
{
    SqlStatement rows(&connection, QString::fromLatin1(EntryColumns) +
                                       "where TableName=? and RecordKey=? order by LogID desc");
    entries->clear();
    if (rows.Bind({table, key}))
        while (rows.Step())
            entries->append(EntryOf(rows));
    if (!rows.IsValid() || rows.Failed()) {
        *error = rows.ErrorString();
        return false;
    }
    return true;
}

bool ReadEntry(SqlConnection& connection, qint64 logID, Entry* entry, QString* error)
{
    SqlStatement row(&connection, QString::fromLatin1(EntryColumns) + "where LogID=?");
    if (row.Bind({logID}) && row.Step()) {
        *entry = EntryOf(row);
        return true;
    }
    *error = row.Failed() || !row.IsValid() ? row.ErrorString() : QStringLiteral("该修改记录已不存在。");
    return false;
}

bool RestoreDeleted(SqlConnection& connection, qint64 logID, qint64* restoredKey, QString* error)
{
    Entry entry;
    if (!ReadEntry(connection, logID, &entry, error))
        return false;
    const Table* table = FindTable(entry.table);
    if (entry.action != Deleted || !table || !table->restorable) {
        *error = QStringLiteral("只能恢复已删除的销售记录。");
        return false;
    }
    const QString name = QString::fromLatin1(table->name);
    const QString keyColumn = List(table->keys).value(0);
    SqlTransaction transaction(&connection);
    bool ok = transaction.IsActive();
    const QStringList columns = ok ? Columns(connection, name, &ok) : QStringList();
    if (!ok) {
        *error = connection.ErrorString();
        return false;
    }
    qint64 oldKey = 0;
    bool keyFree = false;
    for (const Field& field : entry.fields)
        if (field.name.compare(keyColumn, Qt::CaseInsensitive) == 0)
            oldKey = field.oldValue.toLongLong(&keyFree);
    if (keyFree) {
        SqlStatement taken(&connection, "select count(*) from " + name + " where " + keyColumn + "=?");
        if (!taken.Bind({oldKey}) || !taken.Step()) {
            *error = taken.ErrorString();
            return false;
        }
        keyFree = taken.ColumnValue(0).toLongLong() == 0;
    }
    // The values as they were, into the columns the table has now (a column
    // added since takes its default).
    QStringList names, marks;
    SqlArgs values;
    for (const Field& field : entry.fields) {
        if (!keyFree && field.name.compare(keyColumn, Qt::CaseInsensitive) == 0)
            continue;
        for (const QString& column : columns)
            if (column.compare(field.name, Qt::CaseInsensitive) == 0) {
                names << column;
                marks << QStringLiteral("?");
                values << SqlArg(field.oldValue);
            }
    }
    if (!SetInsertAction(connection, Restored)) {
        *error = connection.ErrorString();
        return false;
    }
    SqlStatement insert(&connection, "insert into " + name + " (" + names.join(',') + ") values (" +
                                         marks.join(',') + ") returning " + keyColumn);
    if (!insert.Bind(values) || !insert.Step()) {
        *error = insert.ErrorString();
        return false;
    }
    *restoredKey = insert.ColumnValue(0).toLongLong();
    insert.Reset();
    if (!SetInsertAction(connection, QString()) || !transaction.Commit()) {
        *error = connection.ErrorString();
        return false;
    }
    return true;
}

bool Purge(SqlConnection& connection, int years, qint64* removed, QString* error)
{
    const QDateTime before(QDate::currentDate().addYears(-qMax(1, years)), QTime(0, 0));
    SqlTransaction transaction(&connection);
    SqlStatement remove(&connection, QStringLiteral("delete from ChangeLog where LogTime<?"));
    if (!transaction.IsActive() || !remove.Exec({before})) {
        *error = transaction.IsActive() ? remove.ErrorString() : connection.ErrorString();
        return false;
    }
    *removed = connection.Changes();
    const QString fields = QString::fromUtf8(
        QJsonDocument(QJsonObject{
                          {QStringLiteral("before"), QJsonArray{QJsonValue(), SqlDateTimeText(before)}},
                          {QStringLiteral("count"), QJsonArray{QJsonValue(), QString::number(*removed)}},
                      })
            .toJson(QJsonDocument::Compact));
    SqlStatement log(&connection,
                     "insert into ChangeLog (LogTime, UserID, Desk, TableName, RecordKey, Action,"
                     " Fields) values (" +
                         SqlDialect::Now(&connection) + ",?,?,?,?,?,?)");
    if (!log.Exec({connection.SessionUser(), connection.SessionDesk(), "ChangeLog", "", Purged, fields}) ||
        !transaction.Commit()) {
        *error = log.ErrorString().isEmpty() ? connection.ErrorString() : log.ErrorString();
        return false;
    }
    return true;
}

} // namespace ChangeLog
