#include "ChangeLogModel.h"

#include "ChangeLog.h"
#include "ChangeLogCaptions.h"
#include "SqlDialect.h"
#include "XlsxExport.h"

#include <QColor>

namespace {

const char16_t* const Captions[] = {u"时间", u"用户", u"电脑", u"数据表", u"记录号", u"操作", u"修改内容"};
const double Widths[] = {20, 10, 14, 10, 10, 6, 80};

const char* const Columns =
    "select LogID, LogTime, UserID, Desk, TableName, RecordKey, Action, Fields from ChangeLog";

PagedListModel::Definition ChangeLogDefinition()
{
    PagedListModel::Definition definition;
    definition.table = QStringLiteral("ChangeLog");
    definition.key = QStringLiteral("LogID");
    const char* const fields[ChangeLogModel::ColumnCount] = {"LogTime",   "UserID", "Desk",  "TableName",
                                                             "RecordKey", "Action", "Fields"};
    for (int c = 0; c < ChangeLogModel::ColumnCount; ++c) {
        PagedListModel::Column column{QString::fromUtf16(Captions[c]), QLatin1String(fields[c])};
        column.computed = c == ChangeLogModel::ColTable || c == ChangeLogModel::ColFields;
        definition.columns << column;
    }
    return definition;
}

} // namespace

ChangeLogModel::ChangeLogModel(QObject* parent) : PagedListModel(ChangeLogDefinition(), parent)
{
    SetRoleProvider(
        [this](const PagedListModel&, int row, int column, int role) { return RoleOf(row, column, role); });
}

QString ChangeLogModel::Caption(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromUtf16(Captions[column]) : QString();
}

QString ChangeLogModel::Where(const Filter& filter, qint64 below, SqlArgs* args)
{
    QStringList conditions;
    SqlConnection* connection = CurrentConnection();
    if (filter.from.isValid()) {
        conditions << QStringLiteral("LogTime>=?");
        *args << SqlArg(filter.from);
    }
    if (filter.to.isValid()) {
        conditions << QStringLiteral("LogTime<?");
        *args << SqlArg(filter.to.addDays(1));
    }
    if (!filter.userID.isEmpty()) {
        conditions << SqlDialect::NoCaseCompare(connection, QStringLiteral("UserID"), QStringLiteral("="));
        *args << SqlArg(filter.userID);
    }
    if (!filter.table.isEmpty()) {
        conditions << QStringLiteral("TableName=?");
        *args << SqlArg(filter.table);
    }
    if (!filter.action.isEmpty()) {
        conditions << QStringLiteral("Action=?");
        *args << SqlArg(filter.action);
    }
    if (!filter.key.isEmpty()) {
        conditions << QStringLiteral("RecordKey=?");
        *args << SqlArg(filter.key);
    }
    if (below > 0) {
        conditions << QStringLiteral("LogID<?");
        *args << SqlArg(below);
    }
    return conditions.isEmpty() ? QString() : " where " + conditions.join(QStringLiteral(" and "));
}

bool ChangeLogModel::Load(const Filter& filter, QString* error)
{
    m_filter = filter;
    Query query;
    query.where = Where(filter, 0, &query.args);
    if (query.where.startsWith(QLatin1String(" where ")))
        query.where = query.where.mid(7);
    query.descending = true;
    // Not counted: a long log filtered by a column without an index would
    // be read whole for the count.
    return LoadQuery(query, false, error);
}

qint64 ChangeLogModel::LogID(int row) const
{
    return RecordId(row);
}

QString ChangeLogModel::Table(int row) const
{
    return PagedListModel::Text(row, ColTable);
}

QString ChangeLogModel::Action(int row) const
{
    return PagedListModel::Text(row, ColAction);
}

QString ChangeLogModel::Text(int row, int column) const
{
    switch (column) {
    case ColTable:
        return ChangeLogCaptions::TableCaption(Table(row));
    case ColFields:
        return ChangeLogCaptions::Summary(Table(row), Action(row),
                                          ChangeLog::ParseFields(PagedListModel::Text(row, ColFields)));
    default:
        return PagedListModel::Text(row, column);
    }
}

QVariant ChangeLogModel::RoleOf(int row, int column, int role) const
{
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Text(row, column);
    if (role == Qt::ForegroundRole && column == ColAction) {
        const QString action = Action(row);
        if (action == ChangeLog::Deleted)
            return QColor(Qt::red);
        if (action == ChangeLog::Restored)
            return QColor(Qt::darkGreen);
    }
    return {};
}

bool ChangeLogModel::Write(const Filter& filter, const QString& fileName,
                           const std::function<bool(qint64)>& progress, qint64* written, QString* error)
{
    XlsxStreamWriter writer(fileName);
    if (!writer.Open(QStringLiteral("数据修改记录"), error))
        return false;
    writer.SetCaptionRow();
    QVariantList captions;
    for (int c = 0; c < ColumnCount; ++c) {
        writer.SetColumnWidth(c + 1, Widths[c]);
        captions << Caption(c);
    }
    if (!writer.AppendRow(captions, error))
        return false;
    SqlArgs args;
    SqlStatement rows(CurrentConnection(),
                      QString::fromLatin1(Columns) + Where(filter, 0, &args) + " order by LogID desc");
    *written = 0;
    if (rows.Bind(args))
        while (rows.Step()) {
            const QString table = rows.ColumnValue(4).toString();
            const QString action = rows.ColumnValue(6).toString();
            const QVariantList cells{
                rows.ColumnValue(1).toString(),
                rows.ColumnValue(2).toString(),
                rows.ColumnValue(3).toString(),
                ChangeLogCaptions::TableCaption(table),
                rows.ColumnValue(5).toString(),
                action,
                ChangeLogCaptions::Summary(table, action,
                                           ChangeLog::ParseFields(rows.ColumnValue(7).toString())),
            };
            if (!writer.AppendRow(cells, error)) {
                writer.Discard();
                return false;
            }
            if (++*written % 1000 == 0 && progress && !progress(*written)) {
                error->clear();
                writer.Discard();
                return false;
            }
        }
    if (!rows.IsValid() || rows.Failed()) {
        *error = rows.ErrorString();
        writer.Discard();
        return false;
    }
    return writer.Commit(error);
}
