#pragma once

#include "SqlConnection.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// The rules of a SaleInfo row that the entry dialog, the record manager and
// their tests share.  No widgets here.
namespace SaleRecord {

// The placeholder stored for a component box left empty.
inline constexpr const char16_t* NonePlaceholder = u"无";

// Empty after removing leading and trailing blanks and control characters.
bool IsBlank(const QString& text);
// The text exactly as typed, or "无" when it is blank.
QString TextOrNone(const QString& text);

// The default warranty end: the purchase date plus 365 days.
QDate DefaultWarrantyEnd(const QDate& buyDate);
// A warranty has expired once `now` is later than the midnight that starts
// its end day, so a warranty ending today has expired.
bool IsExpired(const QDate& overRun, const QDateTime& now);

// "否" for an ordinary customer (a class that reads as the number 0), "是"
// for every other class.
QString ClassText(const QString& tb);
// The customer class of a list row's "特别用户" text: 1 for exactly "是".
int ClassIndexOfText(const QString& text);

// Dates in the lists and boxes of this subsystem: yyyy-MM-dd.
QString DateText(const QDate& date);
// Reads yyyy-MM-dd (or a stored "yyyy-MM-dd HH:mm:ss"); invalid otherwise.
QDate DateFromText(const QString& text);
// Reads a typed search value: yyyy-M-d, yyyy/M/d, yyyy.M.d or yyyy年M月d日
// (each also with two-digit months and days).
QDate ParseSearchDate(const QString& text);

// The 22 searchable fields: caption in the search box and column name.
struct SearchField
{
    const char16_t* caption;
    const char* column;
    bool isDate;
    bool isNumber = false;
};
const QVector<SearchField>& SearchFields();
// The index in SearchFields() of a column name (any case), or -1.
int SearchFieldIndex(const QString& column);
// The six comparison operators offered, in box order.
const QStringList& SearchOperators();

// One condition on SaleInfo: the text after "where" with its "?" values, and
// the index (if any) that serves a range on a date column.
struct Condition
{
    QString where; // empty: every row
    SqlArgs args;
    QString rangeIndex;
    // Listed by warranty end (then id) instead of by id alone.
    bool byWarrantyEnd = false;
    // Instead of `where`: a query of the matching ids as "rowid", ending in
    // its where clause (a full-text index).  Counts and pages are read from
    // it, each page continuing after the last id held.
    QString keySource{};
    // The same rows as `where`, through an index that finds them without
    // testing each (PagedListModel::Query::indexWhere); empty: none.
    QString indexWhere{};
    SqlArgs indexArgs{};
};

// The conditions of the list filters; `now` is the local date-time of the load.
Condition OrdinaryCustomers();
Condition SpecialCustomers();
Condition ExpiredCustomers(const QDateTime& now);
Condition UnexpiredCustomers(const QDateTime& now);
Condition AllCustomers();
// Warranties not ended at `now` that end within the next `days` days: one
// ending today has ended, one ending `days` days after today is included.
Condition ExpiringCustomers(const QDateTime& now, int days);

// The search condition for a column, an operator and the typed value, with
// the value bound.  false with a reason when the column or operator is not
// one of the fixed lists, a date column's value is not a date or a number
// column's value is not a whole number.  Text compares without regard to the
// case of Latin letters.
bool SearchCondition(const QString& column, const QString& op, const QString& value, Condition* out,
                     QString* error);

// The row version of stored record `id` (SaleInfo.RowVersion, counted up by
// every change), read when the record is opened for editing; none when the
// record no longer exists or cannot be read (`error` says which).
std::optional<qint64> ReadRowVersion(qint64 id, QString* error = nullptr);

// Whether the machine of record `id` has repair visits; its record is then
// kept (never deleted).  Unknown (the table cannot be read) counts as yes.
bool HasRepairVisits(qint64 id, QString* error = nullptr);
inline constexpr const char16_t* HasRepairVisitsText = u"该机器有维修记录，不能删除。";

// What became of a save of an edited record.
enum class UpdateOutcome {
    Saved,            // written; the remembered version now is the new one
    ChangedElsewhere, // another desk saved the record since it was read: nothing written
    Deleted,          // the record no longer exists: nothing written
    Failed,           // the statement failed (error says why): nothing written
};
inline constexpr const char16_t* ChangedElsewhereText = u"该记录已被其他用户修改，请重新打开后再修改。";
inline constexpr const char16_t* DeletedElsewhereText =
    u"该客户记录已经不存在，可能已被其他用户删除，修改没有保存。";

// Writes `values` (column, value) to record `id` only if its row version is
// still `*rowVersion`, and counts the version up in the same statement, so
// that two desks saving one record never overwrite each other unnoticed.
// On Saved `*rowVersion` holds the new version.
UpdateOutcome UpdateRecord(qint64 id, qint64* rowVersion, const QVector<std::pair<QString, QVariant>>& values,
                           QString* error);

} // namespace SaleRecord
