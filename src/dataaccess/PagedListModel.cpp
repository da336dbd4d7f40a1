#include "PagedListModel.h"

#include "CommandLog.h"
#include "SqlDialect.h"

#include <QScopedValueRollback>
#include <limits>

namespace {

void LogStatement(const QString& sql, const SqlArgs& args, const QString& error)
{
    const QString shown = RenderStatement(sql, args);
    if (error.isEmpty()) {
        WriteLogLine(QStringLiteral("成功执行：") + shown);
    } else {
        WriteLogLine(QStringLiteral("失败执行：") + shown);
        WriteLogLine(QStringLiteral("失败原因:") + error);
    }
}

QString Flattened(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

PagedListModel::PagedListModel(Definition definition, QObject* parent)
    : QAbstractTableModel(parent), m_definition(std::move(definition))
{
    QStringList fields{m_definition.key};
    for (int c = 0; c < m_definition.columns.size(); ++c) {
        if (m_definition.columns[c].field == m_definition.key)
            m_keyColumn = c;
        else
            fields << m_definition.columns[c].field;
    }
    if (!m_definition.version.isEmpty())
        fields << m_definition.version;
    for (const Definition::MarkField& mark : m_definition.markFields)
        fields << mark.field;
    m_select = fields.join(',');
}

QString PagedListModel::SelectList() const
{
    return m_select;
}

QString PagedListModel::ColumnCaption(int column) const
{
    return column >= 0 && column < m_definition.columns.size() ? m_definition.columns[column].caption
                                                               : QString();
}

void PagedListModel::Clear()
{
    m_done = true;
    beginResetModel();
    m_rows.clear();
    m_pages.clear();
    m_ends.clear();
    m_query = {};
    m_tableHint.clear();
    m_indexPlan = false;
    m_lastId = 0;
    m_lastOrder.clear();
    m_matchCount = -1;
    endResetModel();
}

bool PagedListModel::LoadQuery(const Query& query, bool count, QString* error)
{
    // No page is read while the list is replaced: views and testers ask for
    // more while they hear of the reset, and the first page follows it.
    m_resetting = true;
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    m_pages.clear();
    m_ends.clear();
    m_ends.squeeze();
    m_query = query;
    m_tableHint.clear();
    m_indexPlan = false;
    // Nothing held yet: the first page starts before every key.
    m_lastId = query.descending && query.keySource.isEmpty() ? std::numeric_limits<qint64>::max() : 0;
    m_lastOrder.clear();
    m_matchCount = -1;
    QString failure;
    bool ok = true;
    if (count || !query.rangeIndex.isEmpty())
        ok = CountMatches(&failure);
    m_done = !ok || m_matchCount == 0;
    endResetModel();
    m_resetting = false;
    if (ok)
        ok = FetchPage(&failure);
    if (!ok && error)
        *error = failure;
    return ok;
}

bool PagedListModel::CountMatches(QString* error)
{
    const QString& table = m_definition.table;
    const QString& key = m_definition.key;
    const bool ranged = !m_query.rangeIndex.isEmpty();
    const QString first = m_query.descending ? "max(" : "min(";
    QString sql = ranged ? "select count(*)," + first + key + ") from " + table +
                               SqlDialect::IndexHint(CurrentConnection(), m_query.rangeIndex)
                         : "select count(*) from " + table;
    if (!m_query.keySource.isEmpty())
        sql = "select count(*) from (" + m_query.keySource + ") as k";
    else if (!m_query.where.isEmpty())
        sql += " where " + m_query.where;
    SqlStatement statement(CurrentConnection(), sql);
    if (!statement.IsValid() || !statement.Bind(m_query.args) || !statement.Step()) {
        *error = statement.ErrorString();
        LogStatement(sql, m_query.args, *error);
        return false;
    }
    LogStatement(sql, m_query.args, {});
    m_matchCount = statement.ColumnValue(0).toLongLong();
    if (ranged && m_matchCount > 0) {
        // Few matches: their index gives them sorted by key cheaply.  Many:
        // walking the table from the first match finds a page at once.
        if (m_matchCount <= IndexPlanLimit) {
            m_indexPlan = true;
        } else {
            m_tableHint = SqlDialect::IndexHint(CurrentConnection(), QString());
            m_lastId = statement.ColumnValue(1).toLongLong() + (m_query.descending ? 1 : -1);
        }
    }
    return true;
}

bool PagedListModel::FetchPage(QString* error)
{
    if (m_done || m_fetching || m_resetting)
        return true;
    QScopedValueRollback<bool> busy(m_fetching, true);
    // Pages grow with the list, so reaching the end of a long one takes a
    // few dozen reads, each still short.
    const int limit = m_rows.isEmpty()
                          ? FirstPageSize
                          : int(qBound(qsizetype(PageSize), m_rows.size() / 4, qsizetype(MaxPageSize)));
    const QString& table = m_definition.table;
    const QString& key = m_definition.key;
    const QString& order = m_query.orderColumn;
    const QString condition = m_query.where.isEmpty() ? QString() : '(' + m_query.where + ") and ";
    QString sql = "select " + m_select + (order.isEmpty() ? QString() : ',' + order) + " from " + table;
    SqlArgs args = m_query.args;
    const SqlArgs after = {SqlArg(m_lastId), SqlArg(limit)};
    const bool down = m_query.descending && m_query.keySource.isEmpty();
    const QString direction = down ? QStringLiteral(" desc") : QString();
    const QString beyond = down ? QStringLiteral("<") : QStringLiteral(">");
    if (!m_query.keySource.isEmpty()) {
        // The index gives the page's keys in order and stops after the page.
        sql += " where " + key + " in (" + m_query.keySource +
               " and rowid>? order by rowid limit ?) order by " + key;
        args << after;
    } else if (!order.isEmpty()) {
        // Continued after the last (column, key) held, along an index that
        // holds both.  The first page has nothing to continue after.
        const QString by = " order by " + order + direction + ',' + key + direction + " limit ?";
        if (m_pages.isEmpty()) {
            sql += (m_query.where.isEmpty() ? QString() : " where " + m_query.where) + by;
            args << SqlArg(limit);
        } else {
            sql += " where " + condition + '(' + order + ',' + key + ')' + beyond + "(?,?)" + by;
            args << SqlArg(QString::fromUtf8(m_lastOrder)) << after;
        }
    } else if (down && m_lastId == std::numeric_limits<qint64>::max()) {
        // Newest first, nothing held yet: no key to continue after (a bound
        // that large would not fit a server's 4-byte key).
        const QString where = m_query.where.isEmpty() ? QString() : " where " + m_query.where;
        if (m_indexPlan)
            sql += " where " + key + " in (select " + key + " from " + table +
                   SqlDialect::IndexHint(CurrentConnection(), m_query.rangeIndex) + where + " order by " +
                   key + direction + " limit ?) order by " + key + direction;
        else
            sql += m_tableHint + where + " order by " + key + direction + " limit ?";
        args << SqlArg(limit);
    } else if (m_indexPlan) {
        // The page's keys come sorted from the index alone, then their rows.
        sql += " where " + key + " in (select " + key + " from " + table +
               SqlDialect::IndexHint(CurrentConnection(), m_query.rangeIndex) + " where " + condition + key +
               beyond + "? order by " + key + direction + " limit ?) order by " + key + direction;
        args << after;
    } else {
        sql +=
            m_tableHint + " where " + condition + key + beyond + "? order by " + key + direction + " limit ?";
        args << after;
    }

    const int columns = int(m_definition.columns.size());
    const int versionAt = columns + (m_keyColumn >= 0 ? 0 : 1);
    const int marksAt = versionAt + (m_definition.version.isEmpty() ? 0 : 1);
    const int orderAt = marksAt + int(m_definition.markFields.size());
    SqlStatement statement(CurrentConnection(), sql);
    QByteArray block;
    QByteArray lastOrder;
    QVector<Row> fresh;
    QVector<quint32> ends;
    if (statement.IsValid() && statement.Bind(args)) {
        block.reserve(limit * 192);
        fresh.reserve(limit);
        ends.reserve(qsizetype(limit) * columns);
        const qint32 page = qint32(m_pages.size());
        const quint32 endsBase = quint32(m_ends.size());
        while (statement.Step()) {
            Row row;
            row.id = statement.ColumnInt64(0);
            if (!m_definition.version.isEmpty())
                row.version = statement.ColumnInt64(versionAt);
            row.page = page;
            row.start = quint32(block.size());
            row.ends = endsBase + quint32(ends.size());
            int field = 1;
            for (int c = 0; c < columns; ++c) {
                if (c != m_keyColumn) {
                    int n = 0;
                    const char* text = statement.ColumnText(field++, &n);
                    if (!text)
                        n = 0;
                    const Column& column = m_definition.columns[c];
                    if (column.shape)
                        column.shape(block, text, n, row.marks);
                    else
                        block.append(text, n);
                }
                ends.append(quint32(block.size()) - row.start);
            }
            for (int m = 0; m < m_definition.markFields.size(); ++m) {
                const Definition::MarkField& mark = m_definition.markFields[m];
                if (mark.convert) {
                    int n = 0;
                    const char* text = statement.ColumnText(marksAt + m, &n);
                    row.marks[mark.mark] = text ? mark.convert(text, n) : 0;
                } else {
                    row.marks[mark.mark] = statement.ColumnInt64(marksAt + m);
                }
            }
            if (!order.isEmpty()) {
                int n = 0;
                const char* text = statement.ColumnText(orderAt, &n);
                lastOrder = QByteArray(text, text ? n : 0);
            }
            fresh.append(row);
        }
    }
    const bool ok = !statement.Failed() && statement.IsValid();
    if (!ok)
        *error = statement.ErrorString();
    LogStatement(sql, args, ok ? QString() : *error);
    if (!ok || fresh.size() < limit)
        m_done = true;
    if (!fresh.isEmpty()) {
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + fresh.size() - 1));
        block.squeeze();
        m_pages.append(block);
        m_ends += ends;
        m_lastId = fresh.last().id;
        m_lastOrder = lastOrder;
        m_rows += fresh;
        endInsertRows();
    }
    return ok;
}

qint64 PagedListModel::RecordId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].id : -1;
}

qint64 PagedListModel::RowVersion(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].version : 0;
}

qint64 PagedListModel::Mark(int row, int mark) const
{
    return row >= 0 && row < m_rows.size() && mark >= 0 && mark < MarkCount ? m_rows[row].marks[mark] : 0;
}

QString PagedListModel::Text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_definition.columns.size())
        return {};
    const Row& r = m_rows[row];
    if (column == m_keyColumn)
        return QString::number(r.id);
    const quint32 from = column == 0 ? 0 : m_ends[r.ends + column - 1];
    const quint32 to = m_ends[r.ends + column];
    return QString::fromUtf8(m_pages[r.page].constData() + r.start + from, qsizetype(to - from));
}

bool PagedListModel::RemoveListRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    beginRemoveRows({}, row, row);
    // Its texts and ends stay in their page until the list is replaced.
    m_rows.removeAt(row);
    endRemoveRows();
    return true;
}

void PagedListModel::RolesChanged()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

int PagedListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PagedListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_definition.columns.size());
}

QVariant PagedListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_definition.columns.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (m_definition.columns[index.column()].computed && m_roles)
            return m_roles(*this, index.row(), index.column(), role);
        if (m_definition.columns[index.column()].flatten)
            return Flattened(Text(index.row(), index.column()));
        return Text(index.row(), index.column());
    case Qt::EditRole:
        return Text(index.row(), index.column());
    default:
        return m_roles ? m_roles(*this, index.row(), index.column(), role) : QVariant();
    }
}

QVariant PagedListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ColumnCaption(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PagedListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

bool PagedListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_done;
}

void PagedListModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid())
        return;
    QString error;
    if (!FetchPage(&error))
        emit fetchFailed(error);
}
