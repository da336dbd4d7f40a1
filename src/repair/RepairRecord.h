#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVector>

// One replaced component of a visit.
struct RepairSwapLine
{
    qint64 swapID = 0; // 0: not stored yet
    QString component; // a component caption of RepairRules::Components()
    QString oldModel, oldSerial, newModel, newSerial;
    int qty = 1;
    qint64 price = 0; // 分 per piece
    bool covered = false;
    QDate warrantyUntil; // empty: set at pickup (pickup + the component warranty days)
};

// One visit of a machine at the repair desk (a RepairInfo row and its
// RepairSwap rows).  A machine of the shop has its sale record (saleID);
// one bought elsewhere has none and carries its customer and configuration
// itself (outside).
struct RepairVisit
{
    qint64 repairID = 0;
    QString repairNo;
    qint64 saleID = 0;
    bool outside = false;
    QString customerName, customerAddr, cpu, mainBoard, memory, hd;
    QString contactName, contactPhone;
    QDateTime receivedAt, dueAt, readyAt, pickedUpAt, notifiedAt;
    QString problem, accessories, appearance, diagnosis, action, technician, receivedBy, remark;
    int status = 0;
    QString outcome;
    bool inWarranty = false;
    QString warrantyReason; // set when the judgement differs from the computed one
    qint64 laborFee = 0, deposit = 0, total = 0;
    qint64 rowVersion = 1;
    QVector<RepairSwapLine> swaps;

    qint64 PartsFee() const;
    qint64 ComputedTotal() const;
    qint64 Due() const;
};

// The visits in the database.  Every change checks the logged-in user's
// rights here, not only in the forms, and goes to the usage log with the
// visit's number.
namespace RepairRecord {

enum class Result {
    Ok,
    Refused,          // a rule or a right forbids it (error says which): nothing written
    ChangedElsewhere, // another desk saved the visit since it was read: nothing written
    Deleted,          // the visit no longer exists: nothing written
    Failed,           // the database failed (error says why): nothing written
};
inline constexpr const char16_t* ChangedElsewhereText = u"该记录已被其他用户修改，请重新打开后再修改。";
inline constexpr const char16_t* DeletedText = u"该维修记录已经不存在，可能已被其他用户删除。";
inline constexpr const char16_t* SaleHasVisitsText = u"该机器有维修记录，不能删除。";

// The machine's sale record as the desk shows it: customer, dates and the
// 17 components; empty `found` when there is no such record.
struct SaleMachine
{
    bool found = false;
    qint64 id = 0;
    QString name, phone, mobile, addr, overRunText;
    QDate buyDate;
    QVector<QPair<QString, QString>> components; // caption, model as sold
};
SaleMachine LoadSale(qint64 saleID);

// Hands out the next number of `day` ("WX" + yyMMdd + "-" + nnn) inside the
// caller's transaction; the counter only counts up.  Empty on failure.
QString NextRepairNo(const QDate& day, QString* error);

// Stores a new visit: number, warranty judged from the sale record on the
// receive date (a different judgement needs a reason), status 已接收.  A
// second open visit of the same machine is refused unless `secondOpenVisit`
// confirms it.  On Ok `visit` holds its key, number and version.
Result Create(RepairVisit& visit, bool secondOpenVisit, QString* error);
Result Load(qint64 repairID, RepairVisit* visit, QString* error);
// Writes the fields and the swaps of `visit` (not its status) if its row
// version is still the stored one.
Result Update(RepairVisit& visit, QString* error);
// Moves a visit to status `to` at `now`, with the right the move needs.
Result MoveStatus(RepairVisit& visit, int to, const QDateTime& now, QString* error);
// Deletes a 已接收 visit without swaps (维修高级操作).
Result Delete(const RepairVisit& visit, QString* error);

// Visits of one machine still open (not 已取机), other than `except`.
int OpenVisitCount(qint64 saleID, qint64 except = 0);
// Every visit of one machine, oldest first, with their swaps.
QVector<RepairVisit> History(qint64 saleID, QString* error = nullptr);
// The machine's configuration now: the sold components with every swap of
// its visits applied in order (caption, model).
QVector<QPair<QString, QString>> CurrentConfiguration(qint64 saleID, QString* error = nullptr);

// Writes `text` (with the visit's number) to the usage log.
void LogUsage(const QString& text);

} // namespace RepairRecord
