#include "SaleRecord.h"

#include "DataAccess.h"
#include "SqlConnection.h"
#include "SqlDialect.h"

namespace SaleRecord {

namespace {

bool IsBlankChar(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control;
}

const char* const OverRunIndex = "SaleInfo_OverRun";
const char* const BuyDateIndex = "SaleInfo_BuyDate";

} // namespace

bool IsBlank(const QString& text)
{
    for (const QChar c : text)
        if (!IsBlankChar(c))
            return false;
    return true;
}

QString TextOrNone(const QString& text)
{
    return IsBlank(text) ? QString::fromUtf16(NonePlaceholder) : text;
}

QDate DefaultWarrantyEnd(const QDate& buyDate)
{
    return buyDate.addDays(365);
}

bool IsExpired(const QDate& overRun, const QDateTime& now)
{
    return overRun.isValid() && now > QDateTime(overRun, QTime(0, 0));
}

QString ClassText(const QString& tb)
{
    bool ok = false;
    const qint64 value = tb.trimmed().toLongLong(&ok);
    return ok && value == 0 ? QStringLiteral("否") : QStringLiteral("是");
}

int ClassIndexOfText(const QString& text)
{
    return text == QStringLiteral("是") ? 1 : 0;
}

QString DateText(const QDate& date)
{
    // The ISO form is the same text, written without a format parser; it
    // knows only four-digit years.
    if (date.year() >= 1000 && date.year() <= 9999)
        return date.toString(Qt::ISODate);
    return date.toString("yyyy-MM-dd");
}

QDate DateFromText(const QString& text)
{
    // Exactly "yyyy-MM-dd" (stored dates carry a time after it), read by
    // hand: an export reads two per record.
    if (text.size() < 10 || text[4] != u'-' || text[7] != u'-')
        return {};
    auto number = [&text](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (year < 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day);
}

QDate ParseSearchDate(const QString& text)
{
    const QString value = text.trimmed();
    // The forms the program shows (yyyy-MM-dd, "2027年11月28日") and the
    // ones staff type (2027/11/28, 2027.11.28).
    for (const char* format : {"yyyy-M-d", "yyyy-MM-dd", "yyyy/M/d", "yyyy.M.d", "yyyy年M月d日"}) {
        const QDate date = QDate::fromString(value, format);
        if (date.isValid())
            return date;
    }
    return {};
}

const QVector<SearchField>& SearchFields()
{
    static const QVector<SearchField> fields = {
        {u"用户姓名", "name", false},
        {u"地址", "addr", false},
        {u"购买日期", "buydate", true},
        {u"过保日期", "overrun", true},
        {u"购机数量", "buyamount", false, true},
        {u"处理器", "CPU", false},
        {u"内存", "Memory", false},
        {u"硬盘", "hd", false},
        {u"显卡", "displaycard", false},
        {u"声卡", "sound", false},
        {u"主板", "mainboard", false},
        {u"机箱", "box", false},
        {u"显示器", "display", false},
        {u"电源", "power", false},
        {u"软驱", "Floppy", false},
        {u"光驱", "cdrom", false},
        {u"鼠标", "mouse", false},
        {u"键盘", "keyboard", false},
        {u"音箱", "soundbox", false},
        {u"网卡", "network", false},
        {u"Modem", "modem", false},
        {u"打印机", "print", false},
    };
    return fields;
}

int SearchFieldIndex(const QString& column)
{
    const QVector<SearchField>& fields = SearchFields();
    for (int i = 0; i < fields.size(); ++i)
        if (column.compare(QLatin1String(fields[i].column), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const QStringList& SearchOperators()
{
    static const QStringList operators = {"=", ">", "<", ">=", "<=", "<>"};
    return operators;
}

Condition OrdinaryCustomers()
{
    return {"TB=?", {SqlArg("0")}, {}};
}

Condition SpecialCustomers()
{
    return {"TB=?", {SqlArg("1")}, {}};
}

Condition ExpiredCustomers(const QDateTime& now)
{
    return {"OverRun<?", {SqlArg(now)}, OverRunIndex};
}

Condition UnexpiredCustomers(const QDateTime& now)
{
    return {"OverRun>=?", {SqlArg(now)}, OverRunIndex};
}

Condition AllCustomers()
{
    return {};
}

Condition ExpiringCustomers(const QDateTime& now, int days)
{
    // The stored end is a midnight, so "before the midnight after the last
    // day" also takes an end stored with a time of day.
    Condition condition{"OverRun>=? and OverRun<?", {SqlArg(now), SqlArg(now.date().addDays(days + 1))}, {}};
    condition.byWarrantyEnd = true;
    return condition;
}

bool SearchCondition(const QString& column, const QString& op, const QString& value, Condition* out,
                     QString* error)
{
    const int index = SearchFieldIndex(column);
    if (index < 0) {
        *error = QStringLiteral("没有选择搜索字段");
        return false;
    }
    if (!SearchOperators().contains(op)) {
        *error = QStringLiteral("无效的比较符：") + op;
        return false;
    }
    // Only names from the fixed lists reach the statement; the value is bound.
    const SearchField& field = SearchFields()[index];
    const QString name = QLatin1String(field.column);
    out->where = name + op + '?';
    out->rangeIndex.clear();
    if (field.isNumber) {
        // A count typed by staff: ">5" must find 10, which text order would not.
        bool ok = false;
        const qint64 number = value.trimmed().toLongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("不是数字：") + value;
            return false;
        }
        out->where = SqlDialect::IntegerOf(CurrentConnection(), name) + op + '?';
        out->args = {SqlArg(number)};
    } else if (field.isDate) {
        const QDate date = ParseSearchDate(value);
        if (!date.isValid()) {
            *error = QStringLiteral("不是日期：") + value;
            return false;
        }
        out->args = {SqlArg(date)};
        // "<>" is no range: no index helps it.
        if (op != "<>")
            out->rangeIndex = name == "overrun" ? OverRunIndex : BuyDateIndex;
    } else {
        // Latin letters match whatever their case ("intel core i5" finds
        // "Intel Core i5"); Chinese text has no case.
        out->where = SqlDialect::NoCaseCompare(CurrentConnection(), name, op);
        out->args = {SqlArg(value)};
    }
    return true;
}

namespace {

enum class Lookup { Found, Missing, Failed };

Lookup LookUpRowVersion(qint64 id, qint64* version, QString* error)
{
    SqlStatement statement(CurrentConnection(), "select RowVersion from SaleInfo where id=?");
    if (statement.Bind({SqlArg(id)}) && statement.Step()) {
        *version = statement.ColumnValue(0).toLongLong();
        return Lookup::Found;
    }
    if (!statement.IsValid() || statement.Failed()) {
        *error = statement.ErrorString();
        return Lookup::Failed;
    }
    *error = QString::fromUtf16(DeletedElsewhereText);
    return Lookup::Missing;
}

} // namespace

std::optional<qint64> ReadRowVersion(qint64 id, QString* error)
{
    qint64 version = 0;
    QString reason;
    if (LookUpRowVersion(id, &version, &reason) == Lookup::Found)
        return version;
    if (error)
        *error = reason;
    return std::nullopt;
}

bool HasRepairVisits(qint64 id, QString* error)
{
    SqlStatement visits(CurrentConnection(), "select count(*) from RepairInfo where SaleID=?");
    if (!visits.IsValid() || !visits.Bind({SqlArg(id)}) || !visits.Step()) {
        if (error)
            *error = visits.ErrorString();
        return true;
    }
    return visits.ColumnInt64(0) > 0;
}

UpdateOutcome UpdateRecord(qint64 id, qint64* rowVersion, const QVector<std::pair<QString, QVariant>>& values,
                           QString* error)
{
    // Only column names written by the program reach the text; values are bound.
    QStringList sets;
    SqlArgs args;
    for (const auto& [column, value] : values) {
        sets << column + "=?";
        args << SqlArg(value);
    }
    sets << QStringLiteral("RowVersion=RowVersion+1");
    args << SqlArg(id) << SqlArg(*rowVersion);
    if (!ExecCommand("update SaleInfo set " + sets.join(',') + " where id=? and RowVersion=?", args, error))
        return UpdateOutcome::Failed;
    if (CurrentConnection()->Changes() > 0) {
        ++*rowVersion;
        return UpdateOutcome::Saved;
    }
    // Nothing matched: the record is gone or carries another version.
    qint64 stored = 0;
    switch (LookUpRowVersion(id, &stored, error)) {
    case Lookup::Found:
        *error = QString::fromUtf16(ChangedElsewhereText);
        return UpdateOutcome::ChangedElsewhere;
    case Lookup::Missing:
        return UpdateOutcome::Deleted;
    case Lookup::Failed:
        break;
    }
    return UpdateOutcome::Failed;
}

} // namespace SaleRecord
