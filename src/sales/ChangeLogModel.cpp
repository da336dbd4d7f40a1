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

} // namespace

ChangeLogModel::ChangeLogModel(QObject* parent) : QAbstractTableModel(parent) {}

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
    // Read first, then shown: a view never sees half a list.
    QVector<Row> rows;
    bool done = true;
    QString reason;
    const bool ok = FetchPage(filter, 0, FirstPageSize, &rows, &done, &reason);
    beginResetModel();
    m_filter = filter;
    m_rows = std::move(rows);
    m_done = done;
    endResetModel();
    if (!ok && error)
        *error = reason;
    return ok;
}

bool ChangeLogModel::FetchPage(const Filter& filter, qint64 below, int size, QVector<Row>* out, bool* done,
                               QString* error)
{
    SqlArgs args;
    const QString sql =
        QString::fromLatin1(Columns) + Where(filter, below, &args) + " order by LogID desc limit ?";
    args << SqlArg(size);
    SqlStatement rows(CurrentConnection(), sql);
    int read = 0;
    if (rows.Bind(args))
        while (rows.Step()) {
            Row row;
            row.logID = rows.ColumnInt64(0);
            row.time = rows.ColumnValue(1).toString();
            row.userID = rows.ColumnValue(2).toString();
            row.desk = rows.ColumnValue(3).toString();
            row.table = rows.ColumnValue(4).toString();
            row.key = rows.ColumnValue(5).toString();
            row.action = rows.ColumnValue(6).toString();
            row.fields = rows.ColumnValue(7).toString();
            out->append(std::move(row));
            ++read;
        }
    if (!rows.IsValid() || rows.Failed()) {
        *done = true;
        *error = rows.ErrorString();
        return false;
    }
    *done = read < size;
    return true;
}

qint64 ChangeLogModel::LogID(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].logID : -1;
}

QString ChangeLogModel::Table(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].table : QString();
}

QString ChangeLogModel::Action(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].action : QString();
}

QString ChangeLogModel::Text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const Row& r = m_rows[row];
    switch (column) {
    case ColTime:
        return r.time;
    case ColUser:
        return r.userID;
    case ColDesk:
        return r.desk;
    case ColTable:
        return ChangeLogCaptions::TableCaption(r.table);
    case ColKey:
        return r.key;
    case ColAction:
        return r.action;
    case ColFields:
        // Put in words when shown: only the rows on screen are parsed.
        return ChangeLogCaptions::Summary(r.table, r.action, ChangeLog::ParseFields(r.fields));
    default:
        return {};
    }
}

int ChangeLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ChangeLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ChangeLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Text(index.row(), index.column());
    if (role == Qt::ForegroundRole && index.column() == ColAction) {
        const QString& action = m_rows[index.row()].action;
        if (action == ChangeLog::Deleted)
            return QColor(Qt::red);
        if (action == ChangeLog::Restored)
            return QColor(Qt::darkGreen);
    }
    return {};
}

QVariant ChangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    return orientation == Qt::Horizontal ? Caption(section) : QVariant();
}

bool ChangeLogModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_done && !m_fetching;
}

void ChangeLogModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    m_fetching = true;
    QVector<Row> rows;
    QString error;
    const bool ok =
        FetchPage(m_filter, m_rows.isEmpty() ? 0 : m_rows.last().logID, PageSize, &rows, &m_done, &error);
    if (!rows.isEmpty()) {
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
        m_rows += rows;
        endInsertRows();
    }
    m_fetching = false;
    if (!ok)
        emit fetchFailed(error);
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
