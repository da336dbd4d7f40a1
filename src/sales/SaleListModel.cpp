#include "SaleListModel.h"

#include "CommandLog.h"
#include "SqlConnection.h"

#include <QColor>
#include <QScopedValueRollback>

#include "SqlDialect.h"

namespace {

// The columns in list order; the first is the key, after the last the row
// version the entry dialog saves against.
const char* const SelectList = "id,Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,"
                               "DisplayCard,Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,"
                               "SoundBox,NetWork,Modem,Print,Other,Memo,RowVersion";

const char16_t* const Captions[SaleListModel::ColumnCount] = {
    u"ID",       u"用户姓名", u"电话",        u"传真",     u"手机", u"地址", u"购买日期", u"过保日期",
    u"特别用户", u"购机数量", u"处理器(CPU)", u"内存",     u"硬盘", u"显卡", u"声卡",     u"主板",
    u"机箱",     u"显示器",   u"电源",        u"软驱",     u"光驱", u"鼠标", u"键盘",     u"音箱",
    u"网卡",     u"MODEM",    u"打印机",      u"其它配置", u"备注"};

const QColor ExpiredBackground(166, 202, 240);
const QColor ExpiredText(0, 0, 255);
const QColor SpecialBackground(255, 0, 0);
const QColor SpecialText(255, 255, 0);
const QColor ExpiringBackground(255, 165, 0);
const QColor ExpiringText(0, 0, 0);

// The Julian day of a "yyyy-MM-dd..." text, 0 when it is none.
qint64 DayOf(const char* s, int n)
{
    if (n < 10 || s[4] != '-' || s[7] != '-')
        return 0;
    int parts[3] = {0, 0, 0};
    const int from[3] = {0, 5, 8}, count[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = from[p]; i < from[p] + count[p]; ++i) {
            if (s[i] < '0' || s[i] > '9')
                return 0;
            parts[p] = parts[p] * 10 + (s[i] - '0');
        }
    const QDate date(parts[0], parts[1], parts[2]);
    return date.isValid() ? date.toJulianDay() : 0;
}

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

SaleListModel::SaleListModel(QObject* parent) : QAbstractTableModel(parent) {}

QString SaleListModel::Caption(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromUtf16(Captions[column]) : QString();
}

void SaleListModel::Clear()
{
    m_done = true;
    beginResetModel();
    m_rows.clear();
    m_pages.clear();
    m_condition = {};
    m_tableHint.clear();
    m_indexPlan = false;
    m_lastId = 0;
    m_lastOverRun.clear();
    m_matchCount = -1;
    endResetModel();
}

bool SaleListModel::Load(const SaleRecord::Condition& condition, bool count, QString* error)
{
    // No page is read while the list is replaced: views and testers ask for
    // more while they hear of the reset, and the first page follows it.
    m_resetting = true;
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    m_pages.clear();
    m_condition = condition;
    m_tableHint.clear();
    m_indexPlan = false;
    m_lastId = 0;
    m_lastOverRun.clear();
    m_matchCount = -1;
    QString failure;
    bool ok = true;
    if (count || !condition.rangeIndex.isEmpty())
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

bool SaleListModel::CountMatches(QString* error)
{
    const bool ranged = !m_condition.rangeIndex.isEmpty();
    QString sql = ranged ? "select count(*),min(id) from SaleInfo" +
                               SqlDialect::IndexHint(CurrentConnection(), m_condition.rangeIndex)
                         : QStringLiteral("select count(*) from SaleInfo");
    if (!m_condition.keySource.isEmpty())
        sql = "select count(*) from (" + m_condition.keySource + ") as k";
    else if (!m_condition.where.isEmpty())
        sql += " where " + m_condition.where;
    SqlStatement statement(CurrentConnection(), sql);
    if (!statement.IsValid() || !statement.Bind(m_condition.args) || !statement.Step()) {
        *error = statement.ErrorString();
        LogStatement(sql, m_condition.args, *error);
        return false;
    }
    LogStatement(sql, m_condition.args, {});
    m_matchCount = statement.ColumnValue(0).toLongLong();
    if (ranged && m_matchCount > 0) {
        // Few matches: their index gives them sorted by id cheaply.  Many:
        // walking the table from the first match finds a page at once.
        if (m_matchCount <= IndexPlanLimit) {
            m_indexPlan = true;
        } else {
            m_tableHint = SqlDialect::IndexHint(CurrentConnection(), QString());
            m_lastId = statement.ColumnValue(1).toLongLong() - 1;
        }
    }
    return true;
}

bool SaleListModel::FetchPage(QString* error)
{
    if (m_done || m_fetching || m_resetting)
        return true;
    QScopedValueRollback<bool> busy(m_fetching, true);
    // Pages grow with the list, so reaching the end of a long one takes a
    // few dozen reads, each still short.
    const int limit = m_rows.isEmpty()
                          ? FirstPageSize
                          : int(qBound(qsizetype(PageSize), m_rows.size() / 4, qsizetype(MaxPageSize)));
    const QString condition = m_condition.where.isEmpty() ? QString() : '(' + m_condition.where + ") and ";
    QString sql = QStringLiteral("select ") + SelectList + " from SaleInfo";
    SqlArgs args = m_condition.args;
    const SqlArgs after = {SqlArg(m_lastId), SqlArg(limit)};
    if (!m_condition.keySource.isEmpty()) {
        // The index gives the page's ids in order and stops after the page.
        sql += " where id in (" + m_condition.keySource + " and rowid>? order by rowid limit ?) order by id";
        args << after;
    } else if (m_condition.byWarrantyEnd) {
        // Continued after the last (warranty end, id) held, along the
        // warranty-end index, which holds the id too.  The first page has
        // nothing to continue after (and no date to compare with).
        if (m_pages.isEmpty()) {
            sql += (m_condition.where.isEmpty() ? QString() : " where " + m_condition.where) +
                   " order by OverRun,id limit ?";
            args << SqlArg(limit);
        } else {
            sql += " where " + condition + "(OverRun,id)>(?,?) order by OverRun,id limit ?";
            args << SqlArg(QString::fromUtf8(m_lastOverRun)) << after;
        }
    } else if (m_indexPlan) {
        // The page's keys come sorted from the index alone, then their rows.
        sql += " where id in (select id from SaleInfo" +
               SqlDialect::IndexHint(CurrentConnection(), m_condition.rangeIndex) + " where " + condition +
               "id>? order by id limit ?) order by id";
        args << after;
    } else {
        sql += m_tableHint + " where " + condition + "id>? order by id limit ?";
        args << after;
    }

    SqlStatement statement(CurrentConnection(), sql);
    QByteArray block;
    QByteArray lastOverRun;
    QVector<Row> fresh;
    if (statement.IsValid() && statement.Bind(args)) {
        block.reserve(limit * 192);
        fresh.reserve(limit);
        const qint32 page = qint32(m_pages.size());
        while (statement.Step()) {
            Row row;
            row.id = statement.ColumnInt64(0);
            row.rowVersion = statement.ColumnInt64(ColumnCount);
            row.page = page;
            row.start = quint32(block.size());
            for (int c = 1; c < ColumnCount; ++c) {
                int n = 0;
                const char* text = statement.ColumnText(c, &n);
                if (c == ColClass) {
                    static const QByteArray yes = QStringLiteral("是").toUtf8();
                    static const QByteArray no = QStringLiteral("否").toUtf8();
                    QByteArray shown;
                    if (n == 1 && (text[0] == '0' || text[0] == '1'))
                        shown = text[0] == '0' ? no : yes;
                    else
                        shown = SaleRecord::ClassText(QString::fromUtf8(text, n)).toUtf8();
                    row.special = shown == yes;
                    block.append(shown);
                } else {
                    if (c == ColOverRun)
                        lastOverRun = QByteArray(text, n);
                    if ((c == ColBuyDate || c == ColOverRun) && DayOf(text, n) != 0) {
                        if (c == ColOverRun)
                            row.overRunDay = DayOf(text, n);
                        n = 10; // the day alone: the stored time is midnight
                    }
                    block.append(text, n);
                }
                row.ends[c - 1] = quint32(block.size()) - row.start;
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
        m_lastId = fresh.last().id;
        m_lastOverRun = lastOverRun;
        m_rows += fresh;
        endInsertRows();
    }
    return ok;
}

qint64 SaleListModel::RecordId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].id : -1;
}

qint64 SaleListModel::RowVersion(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].rowVersion : 0;
}

QString SaleListModel::Text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= ColumnCount)
        return {};
    const Row& r = m_rows[row];
    if (column == ColId)
        return QString::number(r.id);
    const quint32 from = column == 1 ? 0 : r.ends[column - 2];
    const quint32 to = r.ends[column - 1];
    return QString::fromUtf8(m_pages[r.page].constData() + r.start + from, qsizetype(to - from));
}

bool SaleListModel::RemoveListRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    return true;
}

qint64 SaleListModel::LastExpiredDay() const
{
    // Painting asks for colours thousands of times; the clock is read once a
    // second.  Every warranty ending on or before that day has expired.
    if (!m_clockAge.isValid() || m_clockAge.elapsed() > 1000) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate today = now.date();
        m_lastExpiredDay = (SaleRecord::IsExpired(today, now) ? today : today.addDays(-1)).toJulianDay();
        m_today = today.toJulianDay();
        m_clockAge.start();
    }
    return m_lastExpiredDay;
}

qint64 SaleListModel::Today() const
{
    LastExpiredDay();
    return m_today;
}

void SaleListModel::SetExpiringDays(int days)
{
    if (days == m_expiringDays)
        return;
    m_expiringDays = qMax(0, days);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

int SaleListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SaleListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SaleListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row& r = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == ColAddr || index.column() == ColOther || index.column() == ColMemo)
            return Flattened(Text(index.row(), index.column()));
        return Text(index.row(), index.column());
    case Qt::EditRole:
        return Text(index.row(), index.column());
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        // A special customer is red whether expired or not.
        const bool background = role == Qt::BackgroundRole;
        if (r.special)
            return background ? SpecialBackground : SpecialText;
        if (r.overRunDay != 0 && r.overRunDay <= LastExpiredDay())
            return background ? ExpiredBackground : ExpiredText;
        if (r.overRunDay != 0 && r.overRunDay <= Today() + m_expiringDays)
            return background ? ExpiringBackground : ExpiringText;
        return {};
    }
    default:
        return {};
    }
}

QVariant SaleListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Caption(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SaleListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

bool SaleListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_done;
}

void SaleListModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid())
        return;
    QString error;
    if (!FetchPage(&error))
        emit fetchFailed(error);
}
