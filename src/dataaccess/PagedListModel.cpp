#include "PagedListModel.h"

#include "CommandLog.h"
#include "SqlDialect.h"

#include <QScopedValueRollback>
#include <algorithm>
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

// Runs the statements SqlDialect::PreferIndexes names before and after the
// reads of its lifetime, when `wanted`.
class IndexPreference
{
public:
    explicit IndexPreference(bool wanted)
    {
        const QStringList around = wanted ? SqlDialect::PreferIndexes(CurrentConnection()) : QStringList();
        if (around.size() == 2 && CurrentConnection()->ExecRaw(around[0]))
            m_after = around[1];
    }
    ~IndexPreference()
    {
        if (!m_after.isEmpty())
            CurrentConnection()->ExecRaw(m_after);
    }
    IndexPreference(const IndexPreference&) = delete;
    IndexPreference& operator=(const IndexPreference&) = delete;

private:
    QString m_after;
};

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

void PagedListModel::ResetPages()
{
    m_pages.clear();
    m_rowCount = 0;
    m_held = 0;
    m_lastPage = 0;
    m_failed = false;
    m_query = {};
    m_tableHint.clear();
    m_indexPlan = false;
    m_keyBounds = false;
    m_matchCount = -1;
}

void PagedListModel::Clear()
{
    m_done = true;
    beginResetModel();
    ResetPages();
    endResetModel();
}

bool PagedListModel::LoadQuery(const Query& query, bool count, QString* error)
{
    // No page is read while a growing list is replaced: views and testers
    // ask for more while they hear of the reset, and the first page follows
    // it.  A counted list reads its first page before the views hear of it.
    m_resetting = true;
    beginResetModel();
    ResetPages();
    m_query = query;
    QString failure;
    bool ok = true;
    if (count || !query.rangeIndex.isEmpty() || Indexed())
        ok = CountMatches(&failure);
    m_done = !ok || m_matchCount == 0;
    const bool full = ok && m_windowed && m_matchCount > 0;
    if (full) {
        // The whole list in pages, none read yet but the first.
        const qint64 total = qMin<qint64>(m_matchCount, std::numeric_limits<int>::max() - 1);
        for (qint64 first = 0; first < total;) {
            Page page;
            page.first = first;
            page.size = int(qMin<qint64>(first == 0 ? FirstPageSize : WindowPageSize, total - first));
            first += page.size;
            m_pages.append(std::move(page));
        }
        m_rowCount = int(total);
        m_done = true;
        ok = LoadPage(0, &failure);
        if (!ok) {
            m_pages.clear();
            m_rowCount = 0;
            m_held = 0;
        }
    }
    endResetModel();
    m_resetting = false;
    if (ok && !full)
        ok = FetchPage(&failure);
    if (!ok && error)
        *error = failure;
    return ok;
}

bool PagedListModel::Indexed() const
{
    return !m_query.indexWhere.isEmpty() && m_query.keySource.isEmpty() && m_query.orderColumn.isEmpty();
}

bool PagedListModel::CountMatches(QString* error)
{
    const QString& table = m_definition.table;
    const QString& key = m_definition.key;
    const bool indexed = Indexed();
    const bool ranged = !m_query.rangeIndex.isEmpty() && !indexed;
    QString sql = ranged ? "select count(*),min(" + key + "),max(" + key + ") from " + table +
                               SqlDialect::IndexHint(CurrentConnection(), m_query.rangeIndex)
                         : "select count(*) from " + table;
    const SqlArgs& args = indexed ? m_query.indexArgs : m_query.args;
    if (!m_query.keySource.isEmpty())
        sql = "select count(*) from (" + m_query.keySource + ") as k";
    else if (indexed)
        sql += " where " + m_query.indexWhere;
    else if (!m_query.where.isEmpty())
        sql += " where " + m_query.where;
    const IndexPreference prefer(indexed && m_query.indexWhere != m_query.where);
    SqlStatement statement(CurrentConnection(), sql);
    if (!statement.IsValid() || !statement.Bind(args) || !statement.Step()) {
        *error = statement.ErrorString();
        LogStatement(sql, args, *error);
        return false;
    }
    LogStatement(sql, args, {});
    m_matchCount = statement.ColumnValue(0).toLongLong();
    // Few: the index gives them all at once, sorted after.  Many: a walk
    // along the key fills a page after a short way.
    if (indexed)
        m_indexPlan = m_matchCount > 0 && m_matchCount <= IndexSortLimit;
    if (ranged && m_matchCount > 0) {
        // Few matches: their index gives them sorted by key cheaply.  Many:
        // walking the table from the first match (or back from the last)
        // finds a page at once.
        if (m_matchCount <= IndexPlanLimit) {
            m_indexPlan = true;
        } else {
            m_tableHint = SqlDialect::IndexHint(CurrentConnection(), QString());
            const qint64 low = statement.ColumnInt64(1) - 1, high = statement.ColumnInt64(2) + 1;
            m_headKey = m_query.descending ? high : low;
            m_tailKey = m_query.descending ? low : high;
            m_keyBounds = true;
        }
    }
    return true;
}

PagedListModel::Bound PagedListModel::HeadBound() const
{
    Bound bound;
    bound.set = m_keyBounds;
    bound.key = m_headKey;
    // Upwards from before the first key: the first page is read as it
    // always was, after key 0.
    if (!m_keyBounds && !m_query.descending && m_query.orderColumn.isEmpty())
        bound.set = true;
    return bound;
}

PagedListModel::Bound PagedListModel::TailBound() const
{
    Bound bound;
    bound.set = m_keyBounds;
    bound.key = m_tailKey;
    return bound;
}

QString PagedListModel::PageStatement(const Bound& bound, bool backward, int limit, qint64 offset,
                                      SqlArgs* args) const
{
    const QString& table = m_definition.table;
    const QString& key = m_definition.key;
    const QString& order = m_query.orderColumn;
    // The statement's own direction: the list's, or against it when read
    // backwards from a bound after the rows.
    const bool down = (m_query.descending && m_query.keySource.isEmpty()) != backward;
    const QString direction = down ? QStringLiteral(" desc") : QString();
    const QString beyond =
        QLatin1String(down ? "<" : ">") + (bound.inclusive ? QStringLiteral("=") : QString());
    const QString limits = offset > 0 ? QStringLiteral(" limit ? offset ?") : QStringLiteral(" limit ?");
    SqlArgs page{SqlArg(limit)};
    if (offset > 0)
        page << SqlArg(offset);
    QStringList conditions;
    if (!m_query.where.isEmpty())
        conditions << '(' + m_query.where + ')';
    QString sql = "select " + m_select + (order.isEmpty() ? QString() : ',' + order) + " from " + table;
    *args = m_query.args;
    if (!m_query.keySource.isEmpty()) {
        // The index gives the page's keys in order and stops after the page.
        sql += " where " + key + " in (" + m_query.keySource +
               (bound.set ? " and rowid" + beyond + '?' : QString()) + " order by rowid" + direction +
               limits + ") order by " + key + direction;
        if (bound.set)
            *args << SqlArg(bound.key);
        *args << page;
        return sql;
    }
    if (!order.isEmpty()) {
        // Continued beyond a (column, key) pair, along an index that holds both.
        if (bound.set) {
            conditions << '(' + order + ',' + key + ')' + beyond + "(?,?)";
            *args << SqlArg(QString::fromUtf8(bound.order)) << SqlArg(bound.key);
        }
        sql += (conditions.isEmpty() ? QString() : " where " + conditions.join(" and ")) + " order by " +
               order + direction + ',' + key + direction + limits;
        *args << page;
        return sql;
    }
    if (bound.set) {
        conditions << key + beyond + '?';
        *args << SqlArg(bound.key);
    }
    const QString where = conditions.isEmpty() ? QString() : " where " + conditions.join(" and ");
    if (m_indexPlan && Indexed()) {
        // The page's keys from the index condition, sorted after reading
        // ("+0": not along the key's own index, which the server's planner
        // would walk, testing row after row), then their rows.
        *args = m_query.indexArgs;
        QString keys = "select " + key + " from " + table + " where (" + m_query.indexWhere + ')';
        if (bound.set) {
            keys += " and " + key + beyond + '?';
            *args << SqlArg(bound.key);
        }
        sql += " where " + key + " in (" + keys + " order by " + key + "+0" + direction + limits +
               ") order by " + key + direction;
    } else if (m_indexPlan) {
        // The page's keys come sorted from the index alone, then their rows.
        sql += " where " + key + " in (select " + key + " from " + table +
               SqlDialect::IndexHint(CurrentConnection(), m_query.rangeIndex) + where + " order by " + key +
               direction + limits + ") order by " + key + direction;
    } else {
        sql += m_tableHint + where + " order by " + key + direction + limits;
    }
    *args << page;
    return sql;
}

bool PagedListModel::ReadRows(const Bound& bound, bool backward, int limit, qint64 offset, Page* page,
                              QString* error)
{
    SqlArgs args;
    const QString sql = PageStatement(bound, backward, limit, offset, &args);
    const int columns = int(m_definition.columns.size());
    const int versionAt = columns + (m_keyColumn >= 0 ? 0 : 1);
    const int marksAt = versionAt + (m_definition.version.isEmpty() ? 0 : 1);
    const int orderAt = marksAt + int(m_definition.markFields.size());
    const bool ordered = !m_query.orderColumn.isEmpty();
    const IndexPreference prefer(m_indexPlan && Indexed() && m_query.indexWhere != m_query.where);
    SqlStatement statement(CurrentConnection(), sql);
    QByteArray& block = page->block;
    QVector<Row>& rows = page->rows;
    QVector<quint32>& ends = page->ends;
    QByteArray firstOrder, lastOrder;
    if (statement.IsValid() && statement.Bind(args)) {
        block.reserve(qsizetype(limit) * 192);
        rows.reserve(limit);
        ends.reserve(qsizetype(limit) * columns);
        while (statement.Step()) {
            Row row;
            row.id = statement.ColumnInt64(0);
            if (!m_definition.version.isEmpty())
                row.version = statement.ColumnInt64(versionAt);
            row.start = quint32(block.size());
            row.ends = quint32(ends.size());
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
            if (ordered) {
                int n = 0;
                const char* text = statement.ColumnText(orderAt, &n);
                lastOrder = QByteArray(text, text ? n : 0);
                if (rows.isEmpty())
                    firstOrder = lastOrder;
            }
            rows.append(row);
        }
    }
    const bool ok = !statement.Failed() && statement.IsValid();
    if (!ok)
        *error = statement.ErrorString();
    LogStatement(sql, args, ok ? QString() : *error);
    if (!ok) {
        page->block.clear();
        page->rows.clear();
        page->ends.clear();
        return false;
    }
    if (backward) {
        std::reverse(rows.begin(), rows.end());
        std::swap(firstOrder, lastOrder);
    }
    block.squeeze();
    if (!rows.isEmpty()) {
        page->known = true;
        page->firstKey = rows.first().id;
        page->lastKey = rows.last().id;
        page->firstOrder = firstOrder;
        page->lastOrder = lastOrder;
    }
    return true;
}

bool PagedListModel::FetchPage(QString* error)
{
    if (m_done || m_failed || m_fetching || m_resetting)
        return true;
    QScopedValueRollback<bool> busy(m_fetching, true);
    // Pages grow with the list, so reaching the end of a long one takes a
    // few dozen reads, each still short.
    const int limit =
        m_pages.isEmpty()
            ? FirstPageSize
            : int(qBound(qsizetype(PageSize), qsizetype(m_rowCount / 4), qsizetype(MaxPageSize)));
    Bound after = HeadBound();
    if (!m_pages.isEmpty()) {
        const Page& last = m_pages.last();
        after = {true, false, last.lastKey, last.lastOrder};
    }
    Page page;
    page.first = m_rowCount;
    const bool ok = ReadRows(after, false, limit, 0, &page, error);
    if (!ok) {
        m_done = true;
        m_failed = true;
    } else if (page.rows.size() < limit) {
        m_done = true;
    }
    if (!page.rows.isEmpty()) {
        page.size = int(page.rows.size());
        page.loaded = true;
        beginInsertRows({}, m_rowCount, m_rowCount + page.size - 1);
        m_rowCount += page.size;
        m_held += page.size;
        m_pages.append(std::move(page));
        endInsertRows();
        DropFarPages(int(m_pages.size()) - 1);
    }
    return ok;
}

bool PagedListModel::LoadPage(int index, QString* error)
{
    Page& page = m_pages[index];
    Bound from;
    bool backward = false;
    qint64 offset = 0;
    int limit = page.size;
    if (page.known) {
        // Read again from its own first key; rows removed from the list since stay out.
        from = {true, true, page.firstKey, page.firstOrder};
        limit += int(page.removed.size());
    } else {
        // From the nearest page whose keys are known, or from an end of the
        // list, skipping the rows between.
        int before = index - 1, after = index + 1;
        while (before >= 0 && !m_pages[before].known)
            --before;
        while (after < m_pages.size() && !m_pages[after].known)
            ++after;
        const qint64 fromBefore =
            before >= 0 ? page.first - (m_pages[before].first + m_pages[before].size) : page.first;
        const qint64 end = page.first + page.size;
        const qint64 fromAfter = after < m_pages.size() ? m_pages[after].first - end : m_rowCount - end;
        if (fromBefore <= fromAfter) {
            from = before >= 0 ? Bound{true, false, m_pages[before].lastKey, m_pages[before].lastOrder}
                               : HeadBound();
            offset = fromBefore;
        } else {
            from = after < m_pages.size()
                       ? Bound{true, false, m_pages[after].firstKey, m_pages[after].firstOrder}
                       : TailBound();
            backward = true;
            offset = fromAfter;
        }
    }
    Page read;
    if (!ReadRows(from, backward, limit, offset, &read, error))
        return false;
    if (!page.removed.isEmpty()) {
        QVector<Row> kept;
        kept.reserve(read.rows.size());
        for (const Row& row : std::as_const(read.rows))
            if (!page.removed.contains(row.id))
                kept.append(row);
        read.rows = std::move(kept);
    }
    if (read.rows.size() > page.size)
        read.rows.resize(page.size);
    read.rows.squeeze();
    if (!page.known && !read.rows.isEmpty()) {
        page.known = true;
        page.firstKey = read.firstKey;
        page.lastKey = read.lastKey;
        page.firstOrder = read.firstOrder;
        page.lastOrder = read.lastOrder;
    }
    page.block = std::move(read.block);
    page.rows = std::move(read.rows);
    page.ends = std::move(read.ends);
    page.loaded = true;
    m_held += int(page.rows.size());
    DropFarPages(index);
    return true;
}

void PagedListModel::DropPage(Page& page)
{
    m_held -= int(page.rows.size());
    page.loaded = false;
    page.block = QByteArray();
    page.rows = QVector<Row>();
    page.ends = QVector<quint32>();
}

void PagedListModel::DropFarPages(int keep)
{
    if (!m_windowed)
        return;
    const qint64 at = m_pages[keep].first;
    while (m_held > m_heldLimit) {
        int farthest = -1;
        qint64 distance = -1;
        for (int i = 0; i < m_pages.size(); ++i) {
            if (i == keep || i == m_pinned || !m_pages[i].loaded)
                continue;
            const qint64 d = qAbs(m_pages[i].first - at);
            if (d > distance) {
                distance = d;
                farthest = i;
            }
        }
        if (farthest < 0)
            return;
        DropPage(m_pages[farthest]);
    }
}

int PagedListModel::PageOf(int row) const
{
    // Painting asks for the rows of one page after another.
    if (m_lastPage < m_pages.size()) {
        const Page& last = m_pages[m_lastPage];
        if (row >= last.first && row < last.first + last.size)
            return m_lastPage;
    }
    const auto it = std::upper_bound(m_pages.cbegin(), m_pages.cend(), qint64(row),
                                     [](qint64 r, const Page& page) { return r < page.first; });
    m_lastPage = int(it - m_pages.cbegin()) - 1;
    return m_lastPage;
}

const PagedListModel::Row* PagedListModel::RowAt(int row, const Page** page) const
{
    if (row < 0 || row >= m_rowCount)
        return nullptr;
    const int index = PageOf(row);
    if (index < 0)
        return nullptr;
    if (!m_pages[index].loaded) {
        // Reading is a cache filled on demand: the list's rows stay the same.
        auto* self = const_cast<PagedListModel*>(this);
        if (m_failed || m_resetting)
            return nullptr;
        QString error;
        if (!self->LoadPage(index, &error)) {
            self->m_failed = true;
            // Asked while a view paints, perhaps: heard once the paint is over.
            QMetaObject::invokeMethod(
                self, [self, error] { emit self->fetchFailed(error); }, Qt::QueuedConnection);
            return nullptr;
        }
    }
    const Page& p = m_pages[index];
    const qint64 local = row - p.first;
    if (local >= p.rows.size())
        return nullptr;
    *page = &p;
    return &p.rows[local];
}

qint64 PagedListModel::RecordId(int row) const
{
    const Page* page = nullptr;
    const Row* r = RowAt(row, &page);
    return r ? r->id : -1;
}

qint64 PagedListModel::RowVersion(int row) const
{
    const Page* page = nullptr;
    const Row* r = RowAt(row, &page);
    return r ? r->version : 0;
}

qint64 PagedListModel::Mark(int row, int mark) const
{
    if (mark < 0 || mark >= MarkCount)
        return 0;
    const Page* page = nullptr;
    const Row* r = RowAt(row, &page);
    return r ? r->marks[mark] : 0;
}

QString PagedListModel::Text(int row, int column) const
{
    if (column < 0 || column >= m_definition.columns.size())
        return {};
    const Page* page = nullptr;
    const Row* r = RowAt(row, &page);
    if (!r)
        return {};
    if (column == m_keyColumn)
        return QString::number(r->id);
    const quint32 from = column == 0 ? 0 : page->ends[r->ends + column - 1];
    const quint32 to = page->ends[r->ends + column];
    return QString::fromUtf8(page->block.constData() + r->start + from, qsizetype(to - from));
}

bool PagedListModel::RemoveListRow(int row)
{
    const Page* held = nullptr;
    const Row* r = RowAt(row, &held);
    if (row < 0 || row >= m_rowCount)
        return false;
    const int index = PageOf(row);
    // Views and testers read rows while they hear of the removal: reading
    // far away then must not drop this page, which a new read would fill
    // from a table that may have lost the row already.
    QScopedValueRollback<int> pinned(m_pinned, index);
    beginRemoveRows({}, row, row);
    Page& page = m_pages[index];
    if (r) {
        // Its texts and ends stay in the page's block until it is dropped.
        page.removed.append(r->id);
        page.rows.removeAt(row - page.first);
        --m_held;
    }
    --page.size;
    --m_rowCount;
    for (int i = index + 1; i < m_pages.size(); ++i)
        --m_pages[i].first;
    if (page.size == 0) {
        m_pages.removeAt(index);
        m_lastPage = 0;
        m_pinned = -1;
    }
    endRemoveRows();
    return true;
}

void PagedListModel::RolesChanged()
{
    if (m_rowCount > 0)
        emit dataChanged(index(0, 0), index(m_rowCount - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

int PagedListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int PagedListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_definition.columns.size());
}

QVariant PagedListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount || index.column() >= m_definition.columns.size())
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
    return !parent.isValid() && !m_done && !m_failed;
}

void PagedListModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid())
        return;
    QString error;
    if (!FetchPage(&error))
        emit fetchFailed(error);
}
