#include "SqlDialect.h"

#include "SqlConnection.h"

#include <QRegularExpression>
#include <QStringList>

namespace SqlDialect {

namespace {
bool Server(const SqlConnection* connection)
{
    return connection && connection->IsServer();
}
} // namespace

QString ForUpdate(const SqlConnection* connection)
{
    return Server(connection) ? QStringLiteral(" for update") : QString();
}

QString KeyedSelect(SqlConnection* connection, const QString& table)
{
    const QString plain = "select rowid, * from " + table;
    if (!Server(connection))
        return plain;
    // "*" would bring the rowid column a second time: the columns are named.
    SqlStatement columns(connection, "select column_name from information_schema.columns"
                                     " where table_schema=current_schema() and table_name=lower(?)"
                                     " and column_name<>'rowid' order by ordinal_position");
    QStringList names;
    if (columns.Bind({table}))
        while (columns.Step())
            names << columns.ColumnValue(0).toString();
    // No such table: the plain statement lets the server say so.
    return names.isEmpty() ? plain : "select rowid, " + names.join(',') + " from " + table;
}

QString NoCaseCompare(const SqlConnection* connection, const QString& column, const QString& op)
{
    // SQLite's NOCASE folds the Latin letters A-Z alone and then compares
    // bytes; the server does the same, whatever the database's locale.
    if (Server(connection)) {
        const QString fold =
            QStringLiteral("translate(%1,'ABCDEFGHIJKLMNOPQRSTUVWXYZ','abcdefghijklmnopqrstuvwxyz')"
                           " COLLATE \"C\"");
        return fold.arg(column) + op + fold.arg(QStringLiteral("?"));
    }
    return column + op + "? COLLATE NOCASE";
}

QString IntegerOf(const SqlConnection* connection, const QString& column)
{
    // SQLite's CAST reads the leading digits and makes 0 of anything else;
    // the server's would fail on the first value that is not a number.
    if (Server(connection))
        return "coalesce(substring(" + column + " from '^\\s*([+-]?[0-9]{1,18})')::bigint,0)";
    return "CAST(" + column + " AS INTEGER)";
}

// The text the server's index SaleInfo_Find is made over, written as in its
// CREATE INDEX so that the planner takes the index for it: every column
// closed by a unit separator (char 31), so a fragment never spans two.
const char* const SaleFindText =
    "(chr(31)||coalesce(Name,'')||chr(31)||coalesce(Phone,'')||chr(31)||coalesce(Fax,'')||chr(31)"
    "||coalesce(Mobile,'')||chr(31)||coalesce(addr,'')||chr(31)||coalesce(Memo,'')||chr(31))";

QString SaleFindCondition(const SqlConnection* connection)
{
    return Server(connection) ? QString::fromLatin1(SaleFindText) + " ilike ?" : QString();
}

QString SaleFindPairCondition(const SqlConnection* connection)
{
    if (!Server(connection))
        return {};
    // The fragment's own pair (lower-cased by the server as ILIKE does) in
    // the record's pairs is exactly ILIKE's test.  Should lower-casing
    // change the fragment's length, its pairs only narrow the rows and
    // ILIKE decides; with the values bound the planner drops whichever
    // half does not apply.
    const QString text = QString::fromLatin1(SaleFindText);
    return "SaleInfo_Bigrams(" + text + ") @> SaleInfo_Bigrams(?) and (length(lower(?))=2 or " + text +
           " ilike ?)";
}

QString ContainsPattern(const QString& fragment)
{
    QString escaped;
    escaped.reserve(fragment.size() + 2);
    escaped += QLatin1Char('%');
    for (const QChar c : fragment) {
        if (c == u'\\' || c == u'%' || c == u'_')
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    escaped += QLatin1Char('%');
    return escaped;
}

QString SaleFindKeySource(const SqlConnection* connection)
{
    Q_UNUSED(connection);
    return QStringLiteral("select rowid from SaleFind where SaleFind match ?");
}

QString RepairFindCondition(const SqlConnection* connection, bool digits, int* marks)
{
    *marks = 1;
    if (Server(connection))
        return QStringLiteral(
            "(chr(31)||coalesce(ContactName,'')||chr(31)||replace(replace(coalesce(ContactPhone,''),"
            "'-',''),' ','')||chr(31)||coalesce(CustomerName,'')||chr(31)) ilike ?");
    // SQLite reads every row: the columns the fragment can be in, each alone.
    if (digits)
        return QStringLiteral("replace(replace(ContactPhone,'-',''),' ','') like ? escape '\\'");
    *marks = 2;
    return QStringLiteral("(ContactName like ? escape '\\' or CustomerName like ? escape '\\')");
}

QString RepairSerialCondition(const SqlConnection* connection, int* marks)
{
    *marks = Server(connection) ? 1 : 2;
    if (Server(connection))
        return QStringLiteral(
            "(chr(31)||coalesce(OldSerial,'')||chr(31)||coalesce(NewSerial,'')||chr(31)) ilike ?");
    return QStringLiteral("(OldSerial like ? escape '\\' or NewSerial like ? escape '\\')");
}

QString SalePhoneCondition(const SqlConnection* connection)
{
    if (Server(connection))
        return QStringLiteral(
            "(chr(31)||replace(replace(coalesce(Phone,''),'-',''),' ','')||chr(31)||replace(replace("
            "coalesce(Mobile,''),'-',''),' ','')||chr(31)) like ?");
    return {};
}

QString SalePhoneKeySource(const SqlConnection* connection)
{
    Q_UNUSED(connection);
    return QStringLiteral("select rowid from SalePhoneFind where SalePhoneFind match ?");
}

QString ContainsCondition(const SqlConnection* connection, const QString& column)
{
    return Server(connection) ? column + " ilike ?" : column + " like ? escape '\\'";
}

QStringList PreferIndexes(const SqlConnection* connection)
{
    if (!Server(connection))
        return {};
    return {QStringLiteral("SET enable_seqscan = off"), QStringLiteral("RESET enable_seqscan")};
}

QString RefreshStatistics(const SqlConnection* connection, const QString& table)
{
    return Server(connection) ? "ANALYZE " + table : QString();
}

QString Now(const SqlConnection* connection)
{
    return Server(connection) ? QStringLiteral("localtimestamp(0)")
                              : QStringLiteral("datetime('now','localtime')");
}

QString DayOf(const SqlConnection* connection, const QString& column)
{
    return Server(connection) ? QStringLiteral("to_char(%1,'YYYY-MM-DD')").arg(column)
                              : QStringLiteral("substr(%1,1,10)").arg(column);
}

QString ReadableDate(const SqlConnection* connection, const QString& column)
{
    // SQLite reads the stored form, and a modifier moves a day past the
    // month's end on ("2023-02-29" becomes "2023-03-01"): only a date that
    // comes back as written is one.
    return Server(connection) ? QStringLiteral("%1 is not null").arg(column)
                              : QStringLiteral("date(%1,'+0 days')=substr(%1,1,10)").arg(column);
}

QString HoursBetween(const SqlConnection* connection, const QString& from, const QString& to)
{
    return Server(connection)
               ? QStringLiteral("cast(round(extract(epoch from (%2-%1))/3600) as bigint)").arg(from, to)
               : QStringLiteral("cast(round((julianday(%2)-julianday(%1))*24) as integer)").arg(from, to);
}

QString UnreadableDate(const SqlConnection* connection, const QString& column)
{
    return Server(connection)
               ? QStringLiteral("%1 is null").arg(column)
               : QStringLiteral("(%1 is null or date(%1,'+0 days') is not substr(%1,1,10))").arg(column);
}

QString ReadableRows(const SqlConnection* connection, const QString& table, const QString& key,
                     const QString& column, const QString& prefix)
{
    if (Server(connection))
        return prefix + column + QStringLiteral(" is not null");
    return QStringLiteral("%1%2 not in (select %2 from %3%4 where %5)")
        .arg(prefix, key, table, IndexHint(connection, table + "_Unreadable" + column),
             UnreadableDate(connection, column));
}

QString IndexHint(const SqlConnection* connection, const QString& index)
{
    if (Server(connection))
        return {};
    return index.isEmpty() ? QStringLiteral(" NOT INDEXED") : " INDEXED BY " + index;
}

QString PrimaryKeyInfo(const SqlConnection* connection)
{
    if (Server(connection))
        return QStringLiteral(
            "select a.attname, case when a.atttypid in (20,21,23) then 'INTEGER' else 'TEXT' end, 1"
            " from pg_index i join pg_attribute a on a.attrelid=i.indrelid and a.attnum=any(i.indkey)"
            " where i.indisprimary and i.indrelid=to_regclass(lower(?))");
    return QStringLiteral("select name, type, pk from pragma_table_info(?)");
}

QString CountTables(const SqlConnection* connection, int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("lower(?)");
    const QString in = marks.join(',');
    if (Server(connection))
        return "select count(*) from pg_tables where schemaname = current_schema() and tablename in (" + in +
               ')';
    return "select count(*) from sqlite_master where type='table' and lower(name) in (" + in + ')';
}

QString SchemaObjects(const SqlConnection* connection)
{
    if (Server(connection))
        return {};
    return QStringLiteral("select type, name, tbl_name, substr(sql, 1, ?) from sqlite_master order by name");
}

int SchemaVersion(SqlConnection& connection)
{
    if (!connection.IsServer()) {
        SqlStatement statement(&connection, "PRAGMA user_version");
        return statement.Step() ? statement.ColumnValue(0).toInt() : -1;
    }
    // An empty database has no SchemaVersion table yet: version 0.
    SqlStatement exists(&connection, "select to_regclass('schemaversion') is not null");
    if (!exists.Step())
        return -1;
    if (exists.ColumnValue(0).toInt() == 0)
        return 0;
    SqlStatement statement(&connection, "select max(Version) from SchemaVersion");
    return statement.Step() ? statement.ColumnValue(0).toInt() : -1;
}

bool SetSchemaVersion(SqlConnection& connection, int version)
{
    if (!connection.IsServer())
        return connection.ExecRaw(QStringLiteral("PRAGMA user_version = %1").arg(version));
    return connection.ExecRaw("CREATE TABLE IF NOT EXISTS SchemaVersion (Version INTEGER NOT NULL)") &&
           connection.ExecRaw("DELETE FROM SchemaVersion") &&
           connection.ExecRaw(QStringLiteral("INSERT INTO SchemaVersion (Version) VALUES (%1)").arg(version));
}

QString ConsistentReads(const SqlConnection* connection)
{
    return Server(connection) ? QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")
                              : QString();
}

qint64 KeyCounter(SqlConnection& connection, const QString& table, const QString& column)
{
    if (connection.IsServer()) {
        SqlStatement statement(&connection, "select coalesce(pg_sequence_last_value("
                                            "pg_get_serial_sequence(lower(?),lower(?))::regclass),0)");
        if (!statement.Bind({table, column}) || !statement.Step())
            return -1;
        return statement.ColumnValue(0).toLongLong();
    }
    // Only an AUTOINCREMENT key has a counter; sqlite_sequence itself exists
    // once such a table was made.
    SqlStatement statement(&connection,
                           "select coalesce(max(seq),0) from sqlite_sequence where lower(name)=lower(?)");
    if (!statement.Bind({table}) || !statement.Step())
        return -1;
    return statement.ColumnValue(0).toLongLong();
}

bool SetKeyCounter(SqlConnection& connection, const QString& table, const QString& column, qint64 last)
{
    // The names are the schema's own; only values are bound.
    if (connection.IsServer()) {
        SqlStatement sequence(&connection, "select pg_get_serial_sequence(lower(?),lower(?))");
        if (!sequence.Bind({table, column}) || !sequence.Step())
            return false;
        if (sequence.ColumnIsNull(0))
            return true;
        const QString name = sequence.ColumnValue(0).toString();
        SqlStatement stored(&connection, "select coalesce(max(" + column + "),0) from " + table);
        if (!stored.Step())
            return false;
        last = qMax(last, stored.ColumnValue(0).toLongLong());
        // A sequence starts at 1: "nothing handed out yet" is 1, not called.
        SqlStatement set(&connection, last > 0 ? QStringLiteral("select setval(?::regclass,?,true)")
                                               : QStringLiteral("select setval(?::regclass,1,false)"));
        return set.Bind(last > 0 ? SqlArgs{name, last} : SqlArgs{name}) && set.Step();
    }
    SqlStatement autoIncrement(&connection, "select count(*) from sqlite_master where type='table'"
                                            " and lower(name)=lower(?) and sql like '%AUTOINCREMENT%'");
    if (!autoIncrement.Bind({table}) || !autoIncrement.Step())
        return false;
    if (autoIncrement.ColumnValue(0).toLongLong() == 0 || last <= 0)
        return true;
    SqlStatement update(&connection, "update sqlite_sequence set seq=max(seq,?) where lower(name)=lower(?)");
    if (!update.Exec({last, table}))
        return false;
    if (connection.Changes() > 0)
        return true;
    SqlStatement insert(&connection, "insert into sqlite_sequence (name, seq) values (?,?)");
    return insert.Exec({table, last});
}

QString ColumnNames(const SqlConnection* connection)
{
    if (Server(connection))
        return QStringLiteral("select column_name from information_schema.columns"
                              " where table_schema=current_schema() and table_name=lower(?)"
                              " and column_name<>'rowid' order by ordinal_position");
    return QStringLiteral("select name from pragma_table_info(?) order by cid");
}

namespace {

// One value of a row as a JSON text: a string, or null.  Both engines
// write a column's value as text the same way (dates "yyyy-MM-dd
// HH:mm:ss", integers in digits), and quote it the same way.
QString JsonValue(bool server, const QString& row, const QString& column, bool secret)
{
    const QString value = row + '.' + column;
    if (secret)
        return "CASE WHEN " + value + " IS NULL THEN 'null' ELSE '\"***\"' END";
    if (server)
        return "coalesce(to_json(" + value + "::text)::text,'null')";
    return "json_quote(CAST(" + value + " AS TEXT))";
}

QString TextOf(bool server, const QString& value)
{
    return server ? value + "::text" : "CAST(" + value + " AS TEXT)";
}

// The record key of the old or new row: the key columns' texts joined by "/".
QString KeyText(bool server, const ChangeLogTable& spec, const QString& row)
{
    if (spec.keys.isEmpty())
        return QStringLiteral("''");
    QStringList parts;
    for (const QString& key : spec.keys)
        parts << "coalesce(" + TextOf(server, row + '.' + key) + ",'')";
    return parts.join("||'/'||");
}

// '{"a":[old,new],...}' with every column: old or new is null throughout.
QString WholeRow(bool server, const ChangeLogTable& spec, const QString& row, bool inserted)
{
    QStringList parts;
    for (const QString& column : spec.columns) {
        const QString value =
            JsonValue(server, row, column, spec.secrets.contains(column, Qt::CaseInsensitive));
        const QString name = "\"" + column.toLower() + "\":[";
        parts << (inserted ? "'" + name + "null,'||" + value + "||']'"
                           : "'" + name + "'||" + value + "||',null]'");
    }
    return "'{'||" + parts.join("||','||") + "||'}'";
}

// The changed columns: ',"a":[old,new]' for each, '' for none.
QString ChangedColumns(bool server, const ChangeLogTable& spec, QString* condition)
{
    QStringList parts, tests;
    for (const QString& column : spec.columns) {
        if (spec.unchanged.contains(column, Qt::CaseInsensitive))
            continue;
        // Compared as text, byte for byte: a user code typed in another
        // letter case is a change even where the column ignores case.
        const QString test = server ? "old." + column + "::text IS DISTINCT FROM new." + column + "::text"
                                    : "CAST(old." + column + " AS TEXT) IS NOT CAST(new." + column +
                                          " AS TEXT) COLLATE BINARY";
        const bool secret = spec.secrets.contains(column, Qt::CaseInsensitive);
        tests << test;
        parts << "CASE WHEN " + test + " THEN ',\"" + column.toLower() + "\":['||" +
                     JsonValue(server, "old", column, secret) + "||','||" +
                     JsonValue(server, "new", column, secret) + "||']' ELSE '' END";
    }
    *condition = tests.isEmpty() ? QStringLiteral("false") : tests.join(" OR ");
    return parts.isEmpty() ? QStringLiteral("''") : parts.join("||");
}

QString LogInsert(const QString& time, const QString& user, const QString& desk, const QString& table,
                  const QString& key, const QString& action, const QString& fields)
{
    return "INSERT INTO ChangeLog (LogTime, UserID, Desk, TableName, RecordKey, Action, Fields) VALUES (" +
           time + ", " + user + ", " + desk + ", '" + table + "', " + key + ", " + action + ", " + fields +
           ")";
}

QString Quoted(const QString& text)
{
    return '\'' + QString(text).replace('\'', QLatin1String("''")) + '\'';
}

// The same text as WholeRow(false, spec, row, true), built in one pass by
// the connection's NewValuesObject() (SqliteEngine) instead of a chain of
// concatenations that copies the growing text again for every column: it
// quotes as json_quote() does and writes the object without spaces.  Empty
// when a column name would need quoting in JSON (WholeRow writes names as
// they are) and for more columns than a function of the library takes
// arguments (127, two for each column).
QString WholeRowObject(const ChangeLogTable& spec, const QString& row)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (spec.columns.size() > 63)
        return {};
    QStringList parts;
    for (const QString& column : spec.columns) {
        if (!plainName.match(column).hasMatch())
            return {};
        const QString value = row + '.' + column;
        const QString text = spec.secrets.contains(column, Qt::CaseInsensitive)
                                 ? "CASE WHEN " + value + " IS NULL THEN NULL ELSE '***' END"
                                 : "CAST(" + value + " AS TEXT)";
        parts << "'" + column.toLower() + "'," + text;
    }
    return "NewValuesObject(" + parts.join(',') + ")";
}

// The session trigger of ChangeSessionSql() (SQLite).
QString ChangeSessionTriggerSql()
{
    return QStringLiteral(
        "CREATE TEMP TRIGGER IF NOT EXISTS ChangeLog_Session AFTER INSERT ON main.ChangeLog BEGIN"
        " UPDATE ChangeLog SET UserID=(SELECT UserID FROM temp.ChangeSession),"
        " Desk=(SELECT Desk FROM temp.ChangeSession),"
        " Action=CASE WHEN new.Action='新增' THEN coalesce((SELECT Action FROM temp.ChangeSession"
        " WHERE Action<>''),new.Action) ELSE new.Action END WHERE LogID=new.LogID; END");
}

} // namespace

QStringList ChangeLogTriggers(const SqlConnection* connection, const ChangeLogTable& spec)
{
    const bool server = Server(connection);
    QString changed;
    const QString changes = ChangedColumns(server, spec, &changed);
    const QString table = spec.table;
    if (server) {
        const QString user = QStringLiteral("coalesce(current_setting('weibao.user',true),'')");
        const QString desk = QStringLiteral("coalesce(current_setting('weibao.desk',true),'')");
        const QString time = QStringLiteral("localtimestamp(0)");
        const QString inserted = Quoted(QStringLiteral("新增"));
        const QString body =
            "CREATE OR REPLACE FUNCTION ChangeLog_" + table +
            "() RETURNS trigger LANGUAGE plpgsql AS $body$\nDECLARE f text;\nBEGIN\n"
            "IF TG_OP = 'INSERT' THEN\n" +
            LogInsert(time, user, desk, table, KeyText(true, spec, "new"),
                      "coalesce(nullif(current_setting('weibao.action',true),'')," + inserted + ")",
                      WholeRow(true, spec, "new", true)) +
            ";\nELSIF TG_OP = 'DELETE' THEN\n" +
            LogInsert(time, user, desk, table, KeyText(true, spec, "old"), Quoted(QStringLiteral("删除")),
                      WholeRow(true, spec, "old", false)) +
            ";\nELSE\nf := " + changes + ";\nIF f <> '' THEN\n" +
            LogInsert(time, user, desk, table, KeyText(true, spec, "new"), Quoted(QStringLiteral("修改")),
                      "'{'||substr(f,2)||'}'") +
            ";\nEND IF;\nEND IF;\nRETURN NULL;\nEND\n$body$";
        return {body, "DROP TRIGGER IF EXISTS ChangeLog_" + table + " ON " + table,
                "CREATE TRIGGER ChangeLog_" + table + " AFTER INSERT OR UPDATE OR DELETE ON " + table +
                    " FOR EACH ROW EXECUTE FUNCTION ChangeLog_" + table + "()"};
    }
    const QString time = QStringLiteral("datetime('now','localtime')");
    const QString empty = QStringLiteral("''");
    QStringList statements = DropChangeLogTriggers(connection, table);
    statements << "CREATE TRIGGER ChangeLog_" + table + "_Insert AFTER INSERT ON " + table + " BEGIN " +
                      LogInsert(time, empty, empty, table, KeyText(false, spec, "new"),
                                Quoted(QStringLiteral("新增")), WholeRow(false, spec, "new", true)) +
                      "; END"
               << "CREATE TRIGGER ChangeLog_" + table + "_Delete AFTER DELETE ON " + table + " BEGIN " +
                      LogInsert(time, empty, empty, table, KeyText(false, spec, "old"),
                                Quoted(QStringLiteral("删除")), WholeRow(false, spec, "old", false)) +
                      "; END"
               << "CREATE TRIGGER ChangeLog_" + table + "_Update AFTER UPDATE ON " + table + " WHEN " +
                      changed + " BEGIN " +
                      LogInsert(time, empty, empty, table, KeyText(false, spec, "new"),
                                Quoted(QStringLiteral("修改")), "'{'||substr(" + changes + ",2)||'}'") +
                      "; END";
    return statements;
}

QStringList DropChangeLogTriggers(const SqlConnection* connection, const QString& table)
{
    if (Server(connection))
        return {"DROP TRIGGER IF EXISTS ChangeLog_" + table + " ON " + table};
    return {"DROP TRIGGER IF EXISTS ChangeLog_" + table + "_Insert",
            "DROP TRIGGER IF EXISTS ChangeLog_" + table + "_Delete",
            "DROP TRIGGER IF EXISTS ChangeLog_" + table + "_Update"};
}

QStringList ChangeSessionSql(const SqlConnection* connection)
{
    if (Server(connection))
        return {
            QStringLiteral("select set_config('weibao.user',?,false), set_config('weibao.desk',?,false)")};
    // A trigger of the file cannot read this connection's temporary tables
    // (its names resolve in its own schema), but a temporary trigger on the
    // log can: it completes every row this connection logs.  Another
    // program writing the file logs without a user and desk.
    return {
        QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ChangeSession (UserID TEXT, Desk TEXT, Action TEXT)"),
        QStringLiteral("DELETE FROM temp.ChangeSession"),
        QStringLiteral("INSERT INTO temp.ChangeSession (UserID, Desk) VALUES (?,?)"),
        ChangeSessionTriggerSql()};
}

ChangeLogInsertFill ChangeLogInsertFillOf(const SqlConnection* connection, const ChangeLogTable& spec)
{
    ChangeLogInsertFill fill;
    if (Server(connection) || spec.keys.size() != 1)
        return fill;
    const QStringList triggers = ChangeLogTriggers(connection, spec);
    const QString insertHead = "CREATE TRIGGER ChangeLog_" + spec.table + "_Insert ";
    for (const QString& sql : triggers)
        if (sql.startsWith(insertHead))
            fill.trigger = sql;
    const QString fields = WholeRowObject(spec, QStringLiteral("new"));
    if (fill.trigger.isEmpty() || fields.isEmpty())
        return {};
    const QString time = QStringLiteral("datetime('now','localtime')");
    const QString key = KeyText(false, spec, QStringLiteral("new"));
    const QString rows =
        " FROM " + spec.table + " AS new WHERE new." + spec.keys[0] + " > ? ORDER BY new." + spec.keys[0];
    // As LogInsert() with a SELECT for its VALUES.
    const auto insert = [&](const QString& user, const QString& desk, const QString& action) {
        return "INSERT INTO ChangeLog (LogTime, UserID, Desk, TableName, RecordKey, Action, Fields) SELECT " +
               time + ", " + user + ", " + desk + ", '" + spec.table + "', " + key + ", " + action + ", " +
               fields + rows;
    };
    const QString inserted = Quoted(QStringLiteral("新增"));
    fill.fill = insert(QStringLiteral("''"), QStringLiteral("''"), inserted);
    // The session trigger's UPDATE of each new log row, done in the INSERT:
    // the action of an insert is the session's when it names one.
    fill.sessionTrigger =
        QString(ChangeSessionTriggerSql())
            .replace(QLatin1String("CREATE TEMP TRIGGER IF NOT EXISTS "), QLatin1String("CREATE TRIGGER "));
    fill.sessionTriggerName = QStringLiteral("ChangeLog_Session");
    fill.sessionTriggerSql = ChangeSessionTriggerSql();
    fill.sessionFill =
        insert(QStringLiteral("(SELECT UserID FROM temp.ChangeSession)"),
               QStringLiteral("(SELECT Desk FROM temp.ChangeSession)"),
               "coalesce((SELECT Action FROM temp.ChangeSession WHERE Action<>'')," + inserted + ")");
    return fill;
}

QString ChangeActionSql(const SqlConnection* connection)
{
    if (Server(connection))
        return QStringLiteral("select set_config('weibao.action',?,true)");
    return QStringLiteral("UPDATE temp.ChangeSession SET Action=?");
}

QString TableIdentitySql(const SqlConnection* connection)
{
    return Server(connection) ? QStringLiteral("select coalesce(to_regclass('saleinfo')::oid::bigint, 0)")
                              : QString();
}

} // namespace SqlDialect
