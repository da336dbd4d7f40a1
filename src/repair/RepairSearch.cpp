#include "RepairSearch.h"

#include "DataAccess.h"
#include "QuickFind.h"
#include "RepairRules.h"
#include "SqlDialect.h"

namespace RepairSearch {

namespace {

// A condition on SaleInfo's rows, through the index's keys where it has them.
QString SaleWhere(const SaleRecord::Condition& condition)
{
    return condition.keySource.isEmpty() ? condition.where : "id in (" + condition.keySource + ')';
}

bool IsDigits(const QString& text)
{
    for (const QChar c : text)
        if (!c.isDigit())
            return false;
    return !text.isEmpty();
}

// Serial numbers are written in Latin letters, digits and signs.
bool IsSerialText(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7e)
            return false;
    return true;
}

// Collects matches in order, each machine (or outside visit) once.
class Collector
{
public:
    explicit Collector(int limit) : m_limit(limit) {}
    bool Full() const { return m_hits.size() >= m_limit; }
    void Add(qint64 saleID, qint64 repairID, const QString& matched)
    {
        if (Full())
            return;
        const QString key =
            saleID > 0 ? QStringLiteral("s%1").arg(saleID) : QStringLiteral("r%1").arg(repairID);
        if (m_seen.contains(key))
            return;
        m_seen.insert(key);
        Hit hit;
        hit.saleID = saleID;
        hit.repairID = repairID;
        hit.matched = matched;
        m_hits << hit;
    }
    QVector<Hit>& Hits() { return m_hits; }

private:
    int m_limit;
    QSet<QString> m_seen;
    QVector<Hit> m_hits;
};

bool Collect(const QString& sql, const SqlArgs& args, const QString& matched, Collector& into, QString* error)
{
    if (into.Full())
        return true;
    SqlStatement s(CurrentConnection(), sql);
    if (!s.Bind(args)) {
        *error = s.ErrorString();
        return false;
    }
    while (!into.Full() && s.Step())
        into.Add(s.ColumnValue(0).toLongLong(), s.ColumnValue(1).toLongLong(), matched);
    if (s.Failed() || !s.IsValid()) {
        *error = s.ErrorString();
        return false;
    }
    return true;
}

// Names, phones and addresses of the machines found.
bool Describe(QVector<Hit>& hits, QString* error)
{
    QHash<qint64, int> sale, visit;
    QStringList saleMarks, visitMarks;
    SqlArgs saleArgs, visitArgs;
    for (int i = 0; i < hits.size(); ++i) {
        if (hits[i].saleID > 0) {
            sale.insert(hits[i].saleID, i);
            saleMarks << QStringLiteral("?");
            saleArgs << SqlArg(hits[i].saleID);
        } else {
            visit.insert(hits[i].repairID, i);
            visitMarks << QStringLiteral("?");
            visitArgs << SqlArg(hits[i].repairID);
        }
    }
    if (!sale.isEmpty()) {
        SqlStatement s(CurrentConnection(),
                       "select id,Name,Phone,Mobile,addr,BuyDate,CPU from SaleInfo where id in (" +
                           saleMarks.join(',') + ')');
        if (!s.Bind(saleArgs))
            return *error = s.ErrorString(), false;
        while (s.Step()) {
            Hit& h = hits[sale.value(s.ColumnValue(0).toLongLong())];
            h.name = s.ColumnValue(1).toString();
            const QString phone = s.ColumnValue(2).toString(), mobile = s.ColumnValue(3).toString();
            h.phone = mobile.trimmed().isEmpty() || mobile == QStringLiteral("无") ? phone : mobile;
            h.addr = s.ColumnValue(4).toString();
            h.buyDate = QDate::fromString(s.ColumnValue(5).toString().left(10), QStringLiteral("yyyy-MM-dd"));
            h.machine = s.ColumnValue(6).toString();
        }
        if (s.Failed())
            return *error = s.ErrorString(), false;
    }
    if (!visit.isEmpty()) {
        SqlStatement s(
            CurrentConnection(),
            "select RepairID,CustomerName,ContactPhone,CustomerAddr,CPU from RepairInfo where RepairID in (" +
                visitMarks.join(',') + ')');
        if (!s.Bind(visitArgs))
            return *error = s.ErrorString(), false;
        while (s.Step()) {
            Hit& h = hits[visit.value(s.ColumnValue(0).toLongLong())];
            h.name = s.ColumnValue(1).toString();
            h.phone = s.ColumnValue(2).toString();
            h.addr = s.ColumnValue(3).toString();
            h.machine = QStringLiteral("非本店销售");
        }
        if (s.Failed())
            return *error = s.ErrorString(), false;
    }
    return true;
}

} // namespace

QVector<Hit> Find(const QString& typed, int limit, QString* error)
{
    error->clear();
    const QString fragment = QuickFind::Fragment(typed);
    if (fragment.isEmpty())
        return {};
    SqlConnection* c = CurrentConnection();
    Collector found(limit);
    const QString digits = RepairRules::PhoneDigits(fragment);
    const bool phone = IsDigits(digits) && digits.size() >= 3;

    // A visit's number.
    if (fragment.startsWith(QLatin1String("WX"), Qt::CaseInsensitive) &&
        !Collect("select coalesce(SaleID,0), RepairID from RepairInfo where " +
                     SqlDialect::ContainsCondition(c, QStringLiteral("RepairNo")) + " order by RepairID desc",
                 {SqlDialect::ContainsPattern(fragment)}, QStringLiteral("单号"), found, error))
        return {};
    // The sale records' phones as digits.
    if (phone) {
        const SaleRecord::Condition byPhone = QuickFind::PhoneCondition(digits);
        if (!Collect("select id, 0 from SaleInfo where " + SaleWhere(byPhone) + " order by id desc",
                     byPhone.args, QStringLiteral("电话"), found, error))
            return {};
    }
    // Names, phones as typed, addresses and remarks of the sale records.
    SaleRecord::Condition condition;
    if (!QuickFind::FindCondition(fragment, &condition, error))
        return {};
    const QString saleWhere = SaleWhere(condition);
    if (!saleWhere.isEmpty() &&
        !Collect("select id, 0 from SaleInfo where " + saleWhere + " order by id desc", condition.args,
                 QStringLiteral("客户"), found, error))
        return {};
    // The visits' contacts: 送修人, 联系电话 (as digits), a customer from elsewhere.
    int marks = 1;
    const QString contacts = SqlDialect::RepairFindCondition(c, phone, &marks);
    if (!Collect("select coalesce(SaleID,0), RepairID from RepairInfo where " + contacts +
                     " order by RepairID desc",
                 SqlArgs(marks, SqlArg(SqlDialect::ContainsPattern(phone ? digits : fragment))),
                 QStringLiteral("送修人"), found, error))
        return {};
    // A component's serial (Latin letters and digits): the machine it went
    // into or came out of.
    const QString serials = SqlDialect::RepairSerialCondition(c, &marks);
    if (IsSerialText(fragment) && !Collect("select coalesce(r.SaleID,0), r.RepairID from RepairSwap s join "
                                           "RepairInfo r on r.RepairID=s.RepairID"
                                           " where " +
                                               serials + " order by s.SwapID desc",
                                           SqlArgs(marks, SqlArg(SqlDialect::ContainsPattern(fragment))),
                                           QStringLiteral("序列号"), found, error))
        return {};
    if (!Describe(found.Hits(), error))
        return {};
    return found.Hits();
}

} // namespace RepairSearch
