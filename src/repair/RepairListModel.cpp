#include "RepairListModel.h"

#include "QuickFind.h"

#include <QColor>
#include <QStringList>
#include <algorithm>

namespace {

const char16_t* const Captions[RepairListModel::ColumnCount] = {
    u"单号", u"接收日期", u"客户", u"电话", u"故障", u"维修人员", u"状态", u"保修", u"合计", u"等待天数"};

const QColor LateBackground(255, 0, 0);
const QColor LateText(255, 255, 0);
const QColor ReadyBackground(144, 238, 144);
const QColor ReadyText(0, 0, 0);
const QColor ReadyLongBackground(255, 165, 0);
const QColor ReadyLongText(0, 0, 0);
const QColor PickedUpBackground(225, 225, 225);
const QColor PickedUpText(110, 110, 110);

constexpr qint64 DaySeconds = 86400;

int Digits(const char* s, int from, int count, bool* ok)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            *ok = false;
            return 0;
        }
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

// The received date-time shown as its day; its seconds kept for the colours.
void ShapeReceived(QByteArray& block, const char* text, int n, PagedListModel::Marks& marks)
{
    marks[RepairListModel::MarkReceived] = RepairListModel::LocalSeconds(text, n);
    block.append(text, marks[RepairListModel::MarkReceived] != 0 ? 10 : n);
}

void ShapeStatus(QByteArray& block, const char* text, int n, PagedListModel::Marks& marks)
{
    const int status = n == 1 ? text[0] - '0' : -1;
    marks[RepairListModel::MarkStatus] = status;
    block.append(RepairListModel::StatusText(status).toUtf8());
}

// 1 in warranty, 0 not, 2 a machine bought elsewhere.
void ShapeWarranty(QByteArray& block, const char* text, int n, PagedListModel::Marks&)
{
    static const QByteArray in = QStringLiteral("保修内").toUtf8();
    static const QByteArray out = QStringLiteral("保修外").toUtf8();
    static const QByteArray outside = QStringLiteral("非本店").toUtf8();
    const char c = n == 1 ? text[0] : 0;
    block.append(c == '1' ? in : c == '2' ? outside : out);
}

// 分 as 元 with two decimals.
void ShapeMoney(QByteArray& block, const char* text, int n, PagedListModel::Marks&)
{
    const qint64 fen = QByteArray::fromRawData(text, n).toLongLong();
    const qint64 whole = fen / 100, cents = qAbs(fen % 100);
    block.append(QByteArray::number(whole));
    block.append('.');
    if (cents < 10)
        block.append('0');
    block.append(QByteArray::number(cents));
}

PagedListModel::Definition RepairDefinition()
{
    using M = RepairListModel;
    PagedListModel::Definition definition;
    definition.table = QStringLiteral("RepairInfo");
    definition.key = QStringLiteral("RepairID");
    definition.version = QStringLiteral("RowVersion");
    const auto seconds = [](const char* text, int n) { return RepairListModel::LocalSeconds(text, n); };
    definition.markFields = {{QStringLiteral("DueAt"), M::MarkDue, seconds},
                             {QStringLiteral("case when Status=3 then PickedUpAt else ReadyAt end"),
                              M::MarkReadyOrPickedUp, seconds}};
    const QString fields[M::ColumnCount] = {
        QStringLiteral("RepairNo"), QStringLiteral("ReceivedAt"),
        // A sold machine's customer as the sale record has it now.
        QStringLiteral(
            "coalesce((select Name from SaleInfo where SaleInfo.id=RepairInfo.SaleID),CustomerName)"),
        QStringLiteral("ContactPhone"), QStringLiteral("Problem"), QStringLiteral("Technician"),
        QStringLiteral("Status"), QStringLiteral("case when Outside=1 then 2 else InWarranty end"),
        QStringLiteral("Total"), QStringLiteral("Status")};
    for (int c = 0; c < M::ColumnCount; ++c) {
        PagedListModel::Column column{QString::fromUtf16(Captions[c]), fields[c]};
        switch (c) {
        case M::ColReceived:
            column.shape = ShapeReceived;
            break;
        case M::ColStatus:
            column.shape = ShapeStatus;
            break;
        case M::ColWarranty:
            column.shape = ShapeWarranty;
            break;
        case M::ColTotal:
            column.shape = ShapeMoney;
            break;
        case M::ColWaitDays:
            // Counted from the clock when shown; nothing to hold.
            column.shape = [](QByteArray&, const char*, int, PagedListModel::Marks&) {};
            column.computed = true;
            break;
        case M::ColProblem:
            column.flatten = true;
            break;
        default:
            break;
        }
        definition.columns << column;
    }
    return definition;
}

// A LIKE pattern matching `text` anywhere, its % and _ taken literally.
QString Contains(const QString& text)
{
    QString escaped = text;
    escaped.replace('!', QLatin1String("!!"));
    escaped.replace('%', QLatin1String("!%"));
    escaped.replace('_', QLatin1String("!_"));
    return '%' + escaped + '%';
}

} // namespace

RepairListModel::RepairListModel(QObject* parent) : PagedListModel(RepairDefinition(), parent)
{
    SetRoleProvider(
        [this](const PagedListModel&, int row, int column, int role) { return RoleOf(row, column, role); });
}

QString RepairListModel::StatusText(int status)
{
    switch (status) {
    case 0:
        return QStringLiteral("已接收");
    case 1:
        return QStringLiteral("检修中");
    case 2:
        return QStringLiteral("待取机");
    case 3:
        return QStringLiteral("已取机");
    default:
        return {};
    }
}

qint64 RepairListModel::LocalSeconds(const char* s, int n)
{
    // "yyyy-MM-dd", optionally followed by " hh:mm[:ss]" (or a 'T').
    if (!s || n < 10 || s[4] != '-' || s[7] != '-')
        return 0;
    bool ok = true;
    const QDate date(Digits(s, 0, 4, &ok), Digits(s, 5, 2, &ok), Digits(s, 8, 2, &ok));
    if (!ok || !date.isValid())
        return 0;
    qint64 seconds = date.toJulianDay() * DaySeconds;
    if (n >= 16 && (s[10] == ' ' || s[10] == 'T') && s[13] == ':') {
        const int h = Digits(s, 11, 2, &ok), m = Digits(s, 14, 2, &ok);
        const int sec = n >= 19 && s[16] == ':' ? Digits(s, 17, 2, &ok) : 0;
        if (ok)
            seconds += h * 3600 + m * 60 + sec;
    }
    return seconds;
}

qint64 RepairListModel::LocalSeconds(const QDateTime& time)
{
    const QTime t = time.time();
    return time.date().toJulianDay() * DaySeconds + t.hour() * 3600 + t.minute() * 60 + t.second();
}

void RepairListModel::SetClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
    RolesChanged();
}

QDateTime RepairListModel::Now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

void RepairListModel::SetLimits(int overdueDays, int pickupDays, int longWaitDays)
{
    m_overdueDays = qMax(0, overdueDays);
    m_pickupDays = qMax(0, pickupDays);
    m_longWaitDays = qMax(0, longWaitDays);
    RolesChanged();
}

PagedListModel::Query RepairListModel::QueryOf(const RepairListFilter& filter, const QDateTime& now) const
{
    Query query;
    query.descending = true;
    QStringList where;
    SqlArgs& args = query.args;
    if (!filter.statuses.isEmpty() && filter.statuses.size() < 4) {
        QList<int> statuses(filter.statuses.begin(), filter.statuses.end());
        std::sort(statuses.begin(), statuses.end());
        QStringList marks;
        for (int status : statuses) {
            marks << QStringLiteral("?");
            args << SqlArg(status);
        }
        where << "Status in (" + marks.join(',') + ')';
        // The open visits are few beside the picked-up ones: their index
        // finds them (the model counts first and falls back to the table
        // when they are many).
        if (!filter.statuses.contains(3))
            query.rangeIndex = QStringLiteral("RepairInfo_Status");
    }
    if (filter.from.isValid()) {
        where << QStringLiteral("ReceivedAt>=?");
        args << SqlArg(QDateTime(filter.from, QTime(0, 0)));
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("ReceivedAt<?");
        args << SqlArg(QDateTime(filter.to.addDays(1), QTime(0, 0)));
    }
    if (filter.pickedFrom.isValid()) {
        where << QStringLiteral("PickedUpAt>=?");
        args << SqlArg(QDateTime(filter.pickedFrom, QTime(0, 0)));
    }
    if (filter.pickedTo.isValid()) {
        where << QStringLiteral("PickedUpAt<?");
        args << SqlArg(QDateTime(filter.pickedTo.addDays(1), QTime(0, 0)));
    }
    if (!filter.component.isEmpty()) {
        where << QStringLiteral("RepairID in (select RepairID from RepairSwap where Component=?)");
        args << SqlArg(filter.component);
    }
    if (!filter.technician.trimmed().isEmpty()) {
        where << QStringLiteral("Technician=?");
        args << SqlArg(filter.technician.trimmed());
    }
    if (filter.warranty == 1)
        where << QStringLiteral("InWarranty=1");
    else if (filter.warranty == 2)
        where << QStringLiteral("InWarranty=0");
    if (filter.overdueOnly) {
        where << QStringLiteral("Status in (0,1) and (ReceivedAt<? or DueAt<?)");
        args << SqlArg(now.addDays(-m_overdueDays)) << SqlArg(now);
    }
    if (filter.longWaitOnly) {
        where << QStringLiteral("Status=2 and ReadyAt<?");
        args << SqlArg(now.addDays(-m_longWaitDays));
    }
    const QString typed = filter.search.trimmed();
    if (!typed.isEmpty()) {
        // A phone is compared by its digits alone: 138-0013-5678 is 13800135678.
        QString digits = typed;
        digits.remove('-').remove(' ');
        const QString text = Contains(typed), phone = Contains(digits);
        const QString digitsOf = QStringLiteral("replace(replace(%1,'-',''),' ','') like ? escape '!'");
        QStringList any = {QStringLiteral("RepairNo like ? escape '!'"),
                           QStringLiteral("ContactName like ? escape '!'"),
                           QStringLiteral("CustomerName like ? escape '!'"), digitsOf.arg("ContactPhone"),
                           QStringLiteral("Problem like ? escape '!'")};
        args << SqlArg(text) << SqlArg(text) << SqlArg(text) << SqlArg(phone) << SqlArg(text);
        // The machine's own customer and phones, through the sale records'
        // indexes: the sale records are many more than the visits.
        const auto sold = [&any, &args](const SaleRecord::Condition& c) {
            any << "SaleID in (" +
                       (c.keySource.isEmpty() ? "select id from SaleInfo where " + c.where : c.keySource) +
                       ')';
            args << c.args;
        };
        if (digits.size() >= 3 &&
            std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c.isDigit(); }))
            sold(QuickFind::PhoneCondition(digits));
        SaleRecord::Condition found;
        QString failed;
        const QString fragment = QuickFind::Fragment(typed);
        if (fragment.isEmpty()) {
            // One character has no index entry of its own.
            any << "SaleID in (select id from SaleInfo where Name like ? escape '!')";
            args << SqlArg(text);
        } else if (QuickFind::FindCondition(fragment, &found, &failed)) {
            sold(found);
        }
        where << '(' + any.join(QLatin1String(" or ")) + ')';
    }
    query.where = where.join(QLatin1String(" and "));
    return query;
}

bool RepairListModel::Load(const RepairListFilter& filter, QString* error)
{
    m_filter = filter;
    return LoadQuery(QueryOf(filter, Now()), true, error);
}

RepairListModel::Colour RepairListModel::RowColour(int row) const
{
    const qint64 now = LocalSeconds(Now());
    switch (Mark(row, MarkStatus)) {
    case 0:
    case 1: {
        const qint64 received = Mark(row, MarkReceived), due = Mark(row, MarkDue);
        if ((received != 0 && received < now - m_overdueDays * DaySeconds) || (due != 0 && due < now))
            return Late;
        return NoColour;
    }
    case 2: {
        const qint64 ready = Mark(row, MarkReadyOrPickedUp);
        return ready != 0 && ready < now - m_pickupDays * DaySeconds ? ReadyLong : Ready;
    }
    case 3:
        return PickedUp;
    default:
        return NoColour;
    }
}

int RepairListModel::WaitDays(int row) const
{
    const qint64 received = Mark(row, MarkReceived);
    if (received == 0)
        return 0;
    const qint64 until = Mark(row, MarkStatus) == 3 && Mark(row, MarkReadyOrPickedUp) != 0
                             ? Mark(row, MarkReadyOrPickedUp)
                             : LocalSeconds(Now());
    // Calendar days: a machine received yesterday evening has waited one day.
    return int(qMax<qint64>(0, until / DaySeconds - received / DaySeconds));
}

QVariant RepairListModel::RoleOf(int row, int column, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        return column == ColWaitDays && Mark(row, MarkReceived) != 0 ? QVariant(WaitDays(row)) : QVariant();
    case Qt::TextAlignmentRole:
        return column == ColTotal || column == ColWaitDays ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                                           : QVariant();
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        const bool background = role == Qt::BackgroundRole;
        switch (RowColour(row)) {
        case Late:
            return background ? LateBackground : LateText;
        case Ready:
            return background ? ReadyBackground : ReadyText;
        case ReadyLong:
            return background ? ReadyLongBackground : ReadyLongText;
        case PickedUp:
            return background ? PickedUpBackground : PickedUpText;
        default:
            return {};
        }
    }
    default:
        return {};
    }
}
