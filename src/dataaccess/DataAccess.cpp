#include "DataAccess.h"

#include "CommandLog.h"
#include "PasswordHash.h"

#include <QDateTime>
#include <QRegularExpression>

#include "SqlDialect.h"

namespace {

FieldDef FieldFromDeclaration(const QString& name, const QString& declared)
{
    const QString decl = declared.toUpper();
    FieldDef field{name, FieldType::Text, 0};
    if (decl.contains("INT"))
        field.type = FieldType::Integer;
    else if (decl.contains("DATE") || decl.contains("TIME"))
        field.type = FieldType::DateTime;
    else if (decl.contains("REAL") || decl.contains("FLOA") || decl.contains("DOUB") ||
             decl.contains("NUMERIC"))
        field.type = FieldType::Float;
    else if (decl.contains("BLOB"))
        field.type = FieldType::Blob;
    static const QRegularExpression size(R"(\((\d+)\))");
    const QRegularExpressionMatch m = size.match(decl);
    if (field.type == FieldType::Text && m.hasMatch())
        field.size = m.captured(1).toInt();
    return field;
}

// "yyyy-MM-dd[ HH:mm:ss]" without the cost of a general parser.
QVariant ParseDateTime(const unsigned char* s, int n)
{
    auto digits = [s](int from, int count) {
        int v = 0;
        for (int i = from; i < from + count; ++i) {
            if (s[i] < '0' || s[i] > '9')
                return -1;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    if (n < 10)
        return QVariant();
    const int y = digits(0, 4), mo = digits(5, 2), d = digits(8, 2);
    if (y < 0 || mo < 0 || d < 0)
        return QVariant();
    int h = 0, mi = 0, se = 0;
    if (n >= 19) {
        h = digits(11, 2);
        mi = digits(14, 2);
        se = digits(17, 2);
        if (h < 0 || mi < 0 || se < 0)
            h = mi = se = 0;
    }
    const QDate date(y, mo, d);
    if (!date.isValid())
        return QVariant();
    return QDateTime(date, QTime(h, mi, se));
}

void LogFailure(const QString& statement, const QString& error)
{
    WriteLogLine(QStringLiteral("失败执行：") + statement);
    WriteLogLine(QStringLiteral("失败原因:") + error);
}

} // namespace

bool LoadRows(SqlStatement& statement, MemDataset& target, bool firstColumnIsKey, QString* error)
{
    // A server describes the columns once the statement ran: the first row
    // is fetched before the fields are read.
    bool row = statement.Step();
    const int columns = statement.ColumnCount();
    const int first = firstColumnIsKey ? 1 : 0;
    QVector<FieldDef> fields;
    QVector<bool> undeclared;
    for (int i = first; i < columns; ++i) {
        const QString decl = statement.ColumnDeclType(i);
        fields.append(FieldFromDeclaration(statement.ColumnName(i), decl));
        undeclared.append(decl.isEmpty());
    }
    MemDataset result;
    result.SetFields(fields);
    const int n = fields.size();
    for (; row; row = statement.Step()) {
        QVector<QVariant> values(n);
        for (int f = 0; f < n; ++f) {
            const int c = f + first;
            // A null value reads as a null QVariant; only a date needs its
            // type asked first (each call into the engine costs).
            if (fields[f].type != FieldType::DateTime) {
                values[f] = statement.ColumnValue(c);
            } else if (statement.ColumnIsText(c)) {
                int length = 0;
                const char* text = statement.ColumnText(c, &length);
                values[f] = ParseDateTime(reinterpret_cast<const unsigned char*>(text), length);
            } else if (!statement.ColumnIsNull(c)) {
                values[f] = statement.ColumnValue(c);
            }
        }
        result.AppendRaw(std::move(values), first ? statement.ColumnInt64(0) : 0);
    }
    if (statement.Failed()) {
        if (error)
            *error = statement.ErrorString();
        return false;
    }
    // Computed columns carry no declared type: take it from the first value.
    QVector<FieldDef> finalFields = fields;
    for (int f = 0; f < n; ++f) {
        if (!undeclared[f])
            continue;
        finalFields[f].type = FieldType::Text;
        for (result.First(); !result.Eof(); result.Next()) {
            const QVariant v = result.Value(f);
            if (v.isNull())
                continue;
            if (v.typeId() == QMetaType::LongLong)
                finalFields[f].type = FieldType::Integer;
            else if (v.typeId() == QMetaType::Double)
                finalFields[f].type = FieldType::Float;
            else if (v.typeId() == QMetaType::QByteArray)
                finalFields[f].type = FieldType::Blob;
            break;
        }
    }
    result.ReplaceFieldDefs(finalFields);
    result.Refresh();
    target = std::move(result);
    return true;
}

bool ReadEach(const QString& sql, const SqlArgs& args, const std::function<void(const SqlStatement&)>& take,
              QString* errorOut)
{
    SqlStatement statement(CurrentConnection(), sql);
    bool ok = statement.IsValid() && statement.Bind(args);
    while (ok && statement.Step())
        take(statement);
    ok = ok && !statement.Failed();
    if (!ok) {
        LogFailure(RenderStatement(sql, args), statement.ErrorString());
        if (errorOut)
            *errorOut = statement.ErrorString();
        return false;
    }
    WriteLogLine(QStringLiteral("成功执行：") + RenderStatement(sql, args));
    return true;
}

QString TextAt(const SqlStatement& row, int column)
{
    if (row.ColumnIsNull(column))
        return {};
    int length = 0;
    const char* text = row.ColumnText(column, &length);
    return QString::fromUtf8(text, length);
}

bool OpenQuery(const QString& sql, MemDataset& target, const SqlArgs& args, QString* errorOut)
{
    const QString shown = RenderStatement(sql, args);
    SqlStatement statement(CurrentConnection(), sql);
    QString error;
    if (!statement.IsValid() || !statement.Bind(args) || !LoadRows(statement, target, false, &error)) {
        if (error.isEmpty())
            error = statement.ErrorString();
        LogFailure(shown, error);
        if (errorOut)
            *errorOut = error;
        return false;
    }
    WriteLogLine(QStringLiteral("成功执行：") + shown);
    return true;
}

bool ExecCommand(const QString& sql, const SqlArgs& args, QString* error)
{
    const QString shown = RenderStatement(sql, args);
    SqlStatement statement(CurrentConnection(), sql);
    if (!statement.Exec(args)) {
        LogFailure(shown, statement.ErrorString());
        if (error)
            *error = statement.ErrorString();
        return false;
    }
    WriteLogLine(QStringLiteral("成功执行：") + shown);
    return true;
}

QString NextSequenceValue(const QString& table, const QString& column)
{
    // Names cannot be bound: only plain identifiers are accepted.
    static const QRegularExpression identifier("^[A-Za-z_][A-Za-z0-9_]*$");
    if (!identifier.match(table).hasMatch() || !identifier.match(column).hasMatch())
        return "0";
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return "0";
    // On a server the row is locked until the transaction ends, so a second
    // desk waits for the written value instead of reading the same one.
    const QString select = "Select " + column + " from " + table + SqlDialect::ForUpdate(CurrentConnection());
    MemDataset current;
    if (!OpenQuery(select, current))
        return "0";
    bool written;
    if (current.IsEmpty()) {
        written = ExecCommand("Insert into " + table + " (" + column + ") Values (1)");
    } else {
        const qint64 next = current.AsInteger(column) + 1;
        written = ExecCommand("Update " + table + " set " + column + "=?", {next});
    }
    MemDataset readBack;
    if (!written || !OpenQuery(select, readBack) || readBack.IsEmpty() || !transaction.Commit())
        return "0";
    return readBack.AsString(column);
}

QString DatabaseFileNameFromConnectionString(const QString& connectionString)
{
    const int start = connectionString.indexOf("Data Source=");
    if (start < 0)
        return {};
    QString rest = connectionString.mid(start + int(strlen("Data Source=")));
    const int mode = rest.indexOf(";Mode=");
    return mode >= 0 ? rest.left(mode) : rest;
}

QString GetDatabaseFileName()
{
    SqlConnection* connection = CurrentConnection();
    return connection ? DatabaseFileNameFromConnectionString(connection->ConnectionString()) : QString();
}

bool SetUserPassword(const QString& userID, const QString& newPassword)
{
    const QString hash = PasswordHash::Hash(newPassword);
    if (hash.isEmpty())
        return false;
    if (!ExecCommand("update AC_USERINFO set UserPass=? where UserID=?", {SqlArg::Secret(hash), userID}))
        return false;
    // An account deleted meanwhile: the statement ran, but nothing was stored.
    if (CurrentConnection()->Changes() == 0) {
        WriteLogLine(QStringLiteral("失败原因:没有用户代码为 %1 的用户，密码未更改").arg(userID));
        return false;
    }
    return true;
}

bool QueryUserLogin(const QString& userID, const QString& password, MemDataset& target)
{
    MemDataset rows;
    if (!OpenQuery("select * from AC_USERINFO where UserID=?", rows, {userID}))
        return false;
    MemDataset matching;
    matching.SetFields(rows.Fields());
    for (rows.First(); !rows.Eof(); rows.Next()) {
        if (!PasswordHash::Verify(rows.AsString("UserPass"), password))
            continue;
        QVector<QVariant> values;
        for (int f = 0; f < rows.FieldCount(); ++f)
            values << rows.Value(f);
        matching.AppendRaw(std::move(values));
    }
    matching.Refresh();
    target = matching;
    return true;
}
