#include "SaleListModel.h"

#include "IconList.h"

#include <QColor>
#include <QIcon>

namespace {

const char16_t* const Captions[SaleListModel::ColumnCount] = {
    u"ID",       u"用户姓名", u"电话",        u"传真",     u"手机", u"地址", u"购买日期", u"过保日期",
    u"特别用户", u"购机数量", u"处理器(CPU)", u"内存",     u"硬盘", u"显卡", u"声卡",     u"主板",
    u"机箱",     u"显示器",   u"电源",        u"软驱",     u"光驱", u"鼠标", u"键盘",     u"音箱",
    u"网卡",     u"MODEM",    u"打印机",      u"其它配置", u"备注"};

// The stored columns in list order; the first is the key.
const char* const Fields[SaleListModel::ColumnCount] = {
    "id",      "Name",      "Phone", "Fax",    "Mobile", "addr",        "BuyDate",  "OverRun",
    "TB",      "BuyAmount", "CPU",   "Memory", "HD",     "DisplayCard", "Sound",    "MainBoard",
    "Box",     "Display",   "Power", "Floppy", "CDROM",  "Mouse",       "KeyBoard", "SoundBox",
    "NetWork", "Modem",     "Print", "Other",  "Memo"};

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

// A date as its day alone: the stored time is midnight.  The warranty end's
// day is kept as a mark for the colours.
void ShapeDate(QByteArray& block, const char* text, int n, PagedListModel::Marks& marks, int mark)
{
    const qint64 day = DayOf(text, n);
    if (mark >= 0)
        marks[mark] = day;
    block.append(text, day != 0 ? 10 : n);
}

void ShapeClass(QByteArray& block, const char* text, int n, PagedListModel::Marks& marks)
{
    static const QByteArray yes = QStringLiteral("是").toUtf8();
    static const QByteArray no = QStringLiteral("否").toUtf8();
    QByteArray shown;
    if (n == 1 && (text[0] == '0' || text[0] == '1'))
        shown = text[0] == '0' ? no : yes;
    else
        shown = SaleRecord::ClassText(QString::fromUtf8(text, n)).toUtf8();
    marks[SaleListModel::MarkSpecial] = shown == yes;
    block.append(shown);
}

PagedListModel::Definition SaleDefinition()
{
    PagedListModel::Definition definition;
    definition.table = QStringLiteral("SaleInfo");
    definition.key = QStringLiteral("id");
    definition.version = QStringLiteral("RowVersion");
    for (int c = 0; c < SaleListModel::ColumnCount; ++c) {
        PagedListModel::Column column;
        column.caption = QString::fromUtf16(Captions[c]);
        column.field = QLatin1String(Fields[c]);
        column.flatten =
            c == SaleListModel::ColAddr || c == SaleListModel::ColOther || c == SaleListModel::ColMemo;
        if (c == SaleListModel::ColClass)
            column.shape = ShapeClass;
        else if (c == SaleListModel::ColBuyDate)
            column.shape = [](QByteArray& block, const char* text, int n, PagedListModel::Marks& marks) {
                ShapeDate(block, text, n, marks, -1);
            };
        else if (c == SaleListModel::ColOverRun)
            column.shape = [](QByteArray& block, const char* text, int n, PagedListModel::Marks& marks) {
                ShapeDate(block, text, n, marks, SaleListModel::MarkOverRunDay);
            };
        definition.columns << column;
    }
    return definition;
}

} // namespace

SaleListModel::SaleListModel(QObject* parent) : PagedListModel(SaleDefinition(), parent)
{
    SetRoleProvider(
        [this](const PagedListModel&, int row, int column, int role) { return RoleOf(row, column, role); });
}

QString SaleListModel::Caption(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromUtf16(Captions[column]) : QString();
}

bool SaleListModel::Load(const SaleRecord::Condition& condition, bool count, QString* error)
{
    m_condition = condition;
    Query query;
    query.where = condition.where;
    query.args = condition.args;
    query.rangeIndex = condition.rangeIndex;
    query.keySource = condition.keySource;
    query.indexWhere = condition.indexWhere;
    query.indexArgs = condition.indexArgs;
    if (condition.byWarrantyEnd)
        query.orderColumn = QStringLiteral("OverRun");
    ReadOpenRepairs();
    return LoadQuery(query, count, error);
}

void SaleListModel::ReadOpenRepairs()
{
    // Few machines are in the shop at a time: their ids, through the state index.
    m_openRepairs.clear();
    SqlStatement open(CurrentConnection(),
                      "select distinct SaleID from RepairInfo where Status<3 and SaleID is not null");
    while (open.Step())
        m_openRepairs.insert(open.ColumnInt64(0));
}

void SaleListModel::RefreshOpenRepairs()
{
    ReadOpenRepairs();
    if (rowCount() > 0)
        emit dataChanged(index(0, ColName), index(rowCount() - 1, ColName),
                         {Qt::DecorationRole, Qt::ToolTipRole});
}

bool SaleListModel::HasOpenRepair(int row) const
{
    return !m_openRepairs.isEmpty() && m_openRepairs.contains(RecordId(row));
}

void SaleListModel::Clear()
{
    m_condition = {};
    m_openRepairs.clear();
    PagedListModel::Clear();
}

QVariant SaleListModel::RoleOf(int row, int column, int role) const
{
    if (column == ColName && (role == Qt::DecorationRole || role == Qt::ToolTipRole) && HasOpenRepair(row)) {
        if (role == Qt::ToolTipRole)
            return QStringLiteral("该机器正在维修中");
        static const QIcon mark = IconList::Icon(IconList::Settings);
        return mark;
    }
    if (role != Qt::BackgroundRole && role != Qt::ForegroundRole)
        return {};
    // A special customer is red whether expired or not.
    const bool background = role == Qt::BackgroundRole;
    if (Mark(row, MarkSpecial))
        return background ? SpecialBackground : SpecialText;
    const qint64 overRunDay = Mark(row, MarkOverRunDay);
    if (overRunDay != 0 && overRunDay <= LastExpiredDay())
        return background ? ExpiredBackground : ExpiredText;
    if (overRunDay != 0 && overRunDay <= Today() + m_expiringDays)
        return background ? ExpiringBackground : ExpiringText;
    return {};
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
    RolesChanged();
}
