#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

// The rules of the repair desk that need no database: the states of a visit
// and the moves between them, the warranty judgement and money in 分.
namespace RepairRules {

// The rights of the repair desk (function codes of the catalogue).
inline constexpr const char* IntakeRight = "6001";     // 维修登记
inline constexpr const char* ListRight = "6002";       // 维修管理
inline constexpr const char* BenchRight = "600201";    // 维修检修
inline constexpr const char* PickupRight = "600202";   // 取机结算
inline constexpr const char* AdvancedRight = "600203"; // 维修高级操作

enum Status { Received = 0, InRepair = 1, Ready = 2, PickedUp = 3 };
// "已接收", "检修中", "待取机", "已取机"; empty for anything else.
QString StatusText(int status);
// The outcomes offered: 已修复, 未修复, 无故障.
const QStringList& Outcomes();
// The reasons for a warranty judgement other than the computed one.
const QStringList& OverrideReasons();
// The 17 components of a sale record: caption and SaleInfo column, then 其他.
struct Component
{
    const char16_t* caption;
    const char* column; // empty for 其他
};
const QVector<Component>& Components();
// The SaleInfo column of a component caption; empty when it has none.
QString ComponentColumn(const QString& caption);

// The right a move from `from` to `to` needs; none when the move is not
// allowed at all.  Forward moves may skip steps; back only 待取机 → 检修中
// (returned to the bench) and 已取机 → 待取机 (a pickup undone).
std::optional<QString> MoveRight(int from, int to);

// The warranty of a machine received on `received` whose sale record has
// `overRunText` (a stored OverRun): in warranty when received on or before
// the end day.  An empty or unreadable end is "not registered": no warranty.
struct Warranty
{
    bool registered = false;
    bool inWarranty = false;
    QDate end;
    // Days left (in warranty, the end day counting) or days past the end.
    int days = 0;
    // "保修期内(剩 N 天)", "已过保(超 N 天)" or "保修期未登记".
    QString badge;
};
Warranty Judge(const QString& overRunText, const QDate& received);

// Money is kept in 分.  Reads a typed amount in 元 ("19.9", "19.90", "20",
// "￥1,234.5") exactly, without floating point; none for anything else or a
// negative amount, or more than two decimals.
std::optional<qint64> ParseYuan(const QString& text);
// "59.80".
QString YuanText(qint64 fen);

struct Line
{
    int qty = 1;
    qint64 price = 0; // 分 per piece
    bool covered = false;
};
// The parts charged: the lines not covered by a warranty.
qint64 PartsFee(const QVector<Line>& lines);
// What the visit costs: labour plus the parts charged.
qint64 Total(qint64 laborFee, const QVector<Line>& lines);
// What is still to be paid at pickup: the total less the deposit, never
// below 0.
qint64 Due(qint64 total, qint64 deposit);

// "WX" + yyMMdd + "-" + the day's number, at least three digits.
QString RepairNo(const QDate& day, qint64 number);
// The day key of the counter: yyMMdd.
QString CounterDay(const QDate& day);

// Phone text as digits (dashes and blanks dropped).
QString PhoneDigits(const QString& text);

} // namespace RepairRules
