#include "RepairRecord.h"

#include "DataAccess.h"
#include "RepairRules.h"
#include "RepairSettings.h"
#include "SessionRights.h"
#include "SqlDialect.h"
#include "TDataM.h"

namespace {

using RepairRecord::Result;

const char* const VisitColumns =
    "RepairID,RepairNo,SaleID,Outside,CustomerName,CustomerAddr,CPU,MainBoard,Memory,HD,ContactName,"
    "ContactPhone,"
    "ReceivedAt,DueAt,ReadyAt,PickedUpAt,NotifiedAt,Problem,Accessories,Appearance,Diagnosis,Action,"
    "Technician,"
    "ReceivedBy,Remark,Status,Outcome,InWarranty,WarrantyReason,LaborFee,Deposit,Total,RowVersion";

const char* const SwapColumns =
    "SwapID,RepairID,Component,OldModel,OldSerial,NewModel,NewSerial,Qty,Price,Covered,WarrantyUntil";

QDateTime DateTimeOf(const QVariant& value)
{
    if (value.isNull())
        return {};
    return QDateTime::fromString(value.toString().left(19).replace(QLatin1Char('T'), QLatin1Char(' ')),
                                 QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The customer and machine of a visit to a machine sold elsewhere (a sold
// machine's are its sale record's): CustomerName, CustomerAddr, CPU,
// MainBoard, Memory, HD.
SqlArgs OutsideMachine(const RepairVisit& v)
{
    if (!v.outside)
        return SqlArgs(6, SqlArg::Null());
    return {v.customerName, v.customerAddr, v.cpu, v.mainBoard, v.memory, v.hd};
}

QVariant Stored(const QDateTime& value)
{
    return value.isValid() ? QVariant(SqlDateTimeText(value)) : QVariant();
}

QVariant Stored(const QDate& value)
{
    return value.isValid() ? QVariant(SqlDateText(value)) : QVariant();
}

// Empty texts are stored as empty texts, never as NULL: a slip prints blank.
QString Text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

RepairVisit VisitOf(SqlStatement& s)
{
    RepairVisit v;
    int i = 0;
    v.repairID = s.ColumnValue(i++).toLongLong();
    v.repairNo = Text(s.ColumnValue(i++));
    v.saleID = s.ColumnValue(i++).toLongLong();
    v.outside = s.ColumnValue(i++).toLongLong() != 0;
    for (QString* field : {&v.customerName, &v.customerAddr, &v.cpu, &v.mainBoard, &v.memory, &v.hd,
                           &v.contactName, &v.contactPhone})
        *field = Text(s.ColumnValue(i++));
    for (QDateTime* field : {&v.receivedAt, &v.dueAt, &v.readyAt, &v.pickedUpAt, &v.notifiedAt})
        *field = DateTimeOf(s.ColumnValue(i++));
    for (QString* field : {&v.problem, &v.accessories, &v.appearance, &v.diagnosis, &v.action, &v.technician,
                           &v.receivedBy, &v.remark})
        *field = Text(s.ColumnValue(i++));
    v.status = int(s.ColumnValue(i++).toLongLong());
    v.outcome = Text(s.ColumnValue(i++));
    v.inWarranty = s.ColumnValue(i++).toLongLong() != 0;
    v.warrantyReason = Text(s.ColumnValue(i++));
    v.laborFee = s.ColumnValue(i++).toLongLong();
    v.deposit = s.ColumnValue(i++).toLongLong();
    v.total = s.ColumnValue(i++).toLongLong();
    v.rowVersion = s.ColumnValue(i++).toLongLong();
    return v;
}

RepairSwapLine SwapOf(SqlStatement& s)
{
    RepairSwapLine l;
    l.swapID = s.ColumnValue(0).toLongLong();
    l.component = Text(s.ColumnValue(2));
    l.oldModel = Text(s.ColumnValue(3));
    l.oldSerial = Text(s.ColumnValue(4));
    l.newModel = Text(s.ColumnValue(5));
    l.newSerial = Text(s.ColumnValue(6));
    l.qty = int(s.ColumnValue(7).toLongLong());
    l.price = s.ColumnValue(8).toLongLong();
    l.covered = s.ColumnValue(9).toLongLong() != 0;
    l.warrantyUntil = DateTimeOf(s.ColumnValue(10)).date();
    return l;
}

bool LoadSwaps(QVector<RepairVisit>& visits, QString* error)
{
    if (visits.isEmpty())
        return true;
    QHash<qint64, int> at;
    QStringList marks;
    SqlArgs args;
    for (int i = 0; i < visits.size(); ++i) {
        at.insert(visits[i].repairID, i);
        visits[i].swaps.clear();
        marks << QStringLiteral("?");
        args << SqlArg(visits[i].repairID);
    }
    SqlStatement s(CurrentConnection(), QStringLiteral("select %1 from RepairSwap where RepairID in (%2)"
                                                       " order by RepairID, SwapID")
                                            .arg(QLatin1String(SwapColumns), marks.join(',')));
    if (!s.Bind(args)) {
        *error = s.ErrorString();
        return false;
    }
    while (s.Step())
        visits[at.value(s.ColumnValue(1).toLongLong())].swaps << SwapOf(s);
    if (s.Failed() || !s.IsValid()) {
        *error = s.ErrorString();
        return false;
    }
    return true;
}

Result Refuse(QString* error, const QString& why)
{
    *error = why;
    return Result::Refused;
}

Result Fail(QString* error)
{
    if (error->isEmpty() && CurrentConnection())
        *error = CurrentConnection()->ErrorString();
    return Result::Failed;
}

bool Granted(const char* right)
{
    return SessionRights::IsGranted(QString::fromLatin1(right));
}

QString RightName(const QString& right)
{
    if (right == QLatin1String(RepairRules::BenchRight))
        return QStringLiteral("维修检修");
    if (right == QLatin1String(RepairRules::PickupRight))
        return QStringLiteral("取机结算");
    if (right == QLatin1String(RepairRules::AdvancedRight))
        return QStringLiteral("维修高级操作");
    return QStringLiteral("维修登记");
}

Result NoRight(QString* error, const QString& right)
{
    return Refuse(error, QStringLiteral("您没有“%1”的权限。").arg(RightName(right)));
}

QVector<RepairRules::Line> LinesOf(const QVector<RepairSwapLine>& swaps)
{
    QVector<RepairRules::Line> lines;
    for (const RepairSwapLine& s : swaps)
        lines.append({s.qty, s.price, s.covered});
    return lines;
}

// Checks the fields every save shares.
Result CheckFields(const RepairVisit& v, QString* error)
{
    if (v.problem.trimmed().isEmpty())
        return Refuse(error, QStringLiteral("请填写故障描述。"));
    if (v.outside && v.customerName.trimmed().isEmpty())
        return Refuse(error, QStringLiteral("非本店销售的机器请填写客户姓名。"));
    if (v.outside && v.inWarranty)
        return Refuse(error, QStringLiteral("非本店销售的机器不在本店保修范围之内。"));
    if (!v.warrantyReason.isEmpty() && !RepairRules::OverrideReasons().contains(v.warrantyReason))
        return Refuse(error, QStringLiteral("保修判定的原因只能是：%1。")
                                 .arg(RepairRules::OverrideReasons().join(QStringLiteral("、"))));
    if (v.laborFee < 0 || v.deposit < 0)
        return Refuse(error, QStringLiteral("金额不能为负数。"));
    for (const RepairSwapLine& s : v.swaps) {
        bool known = false;
        for (const RepairRules::Component& c : RepairRules::Components())
            known = known || QString::fromUtf16(c.caption) == s.component;
        if (!known)
            return Refuse(error, QStringLiteral("更换配件的部件“%1”不是可选的部件。").arg(s.component));
        if (s.qty <= 0 || s.price < 0)
            return Refuse(error, QStringLiteral("更换配件“%1”的数量或单价不正确。").arg(s.component));
    }
    return Result::Ok;
}

bool InsertSwap(qint64 repairID, const RepairSwapLine& s, QString* error)
{
    return ExecCommand(
        QStringLiteral("insert into RepairSwap (RepairID,Component,OldModel,OldSerial,NewModel,"
                       "NewSerial,Qty,Price,Covered,WarrantyUntil) values (?,?,?,?,?,?,?,?,?,?)"),
        {repairID, s.component, s.oldModel, s.oldSerial, s.newModel, s.newSerial, s.qty, s.price,
         s.covered ? 1 : 0, Stored(s.warrantyUntil)},
        error);
}

bool SameSwap(const RepairSwapLine& a, const RepairSwapLine& b)
{
    return a.component == b.component && a.oldModel == b.oldModel && a.oldSerial == b.oldSerial &&
           a.newModel == b.newModel && a.newSerial == b.newSerial && a.qty == b.qty && a.price == b.price &&
           a.covered == b.covered && a.warrantyUntil == b.warrantyUntil;
}

bool SameSwaps(const QVector<RepairSwapLine>& a, const QVector<RepairSwapLine>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].swapID != b[i].swapID || !SameSwap(a[i], b[i]))
            return false;
    return true;
}

// Writes the swaps of `visit` over the stored `before`: changed rows
// updated in place, new ones added, dropped ones deleted.
bool WriteSwaps(const RepairVisit& visit, const QVector<RepairSwapLine>& before, QString* error)
{
    QSet<qint64> kept;
    for (const RepairSwapLine& s : visit.swaps)
        if (s.swapID > 0)
            kept.insert(s.swapID);
    for (const RepairSwapLine& s : before)
        if (!kept.contains(s.swapID) &&
            !ExecCommand(QStringLiteral("delete from RepairSwap where SwapID=? and RepairID=?"),
                         {s.swapID, visit.repairID}, error))
            return false;
    for (const RepairSwapLine& s : visit.swaps) {
        if (s.swapID <= 0) {
            if (!InsertSwap(visit.repairID, s, error))
                return false;
            continue;
        }
        const auto old = std::find_if(before.begin(), before.end(),
                                      [&](const RepairSwapLine& b) { return b.swapID == s.swapID; });
        if (old != before.end() && SameSwap(*old, s))
            continue;
        if (!ExecCommand(
                QStringLiteral("update RepairSwap set Component=?,OldModel=?,OldSerial=?,NewModel=?,"
                               "NewSerial=?,Qty=?,Price=?,Covered=?,WarrantyUntil=? where SwapID=? and "
                               "RepairID=?"),
                {s.component, s.oldModel, s.oldSerial, s.newModel, s.newSerial, s.qty, s.price,
                 s.covered ? 1 : 0, Stored(s.warrantyUntil), s.swapID, visit.repairID},
                error))
            return false;
    }
    return true;
}

// The stored version of a visit that a write did not match.
Result Mismatch(qint64 repairID, QString* error)
{
    SqlStatement s(CurrentConnection(), QStringLiteral("select RowVersion from RepairInfo where RepairID=?"));
    if (s.Bind({repairID}) && s.Step()) {
        *error = QString::fromUtf16(RepairRecord::ChangedElsewhereText);
        return Result::ChangedElsewhere;
    }
    if (s.Failed() || !s.IsValid()) {
        *error = s.ErrorString();
        return Result::Failed;
    }
    *error = QString::fromUtf16(RepairRecord::DeletedText);
    return Result::Deleted;
}

} // namespace

qint64 RepairVisit::PartsFee() const
{
    return RepairRules::PartsFee(LinesOf(swaps));
}

qint64 RepairVisit::ComputedTotal() const
{
    return RepairRules::Total(laborFee, LinesOf(swaps));
}

qint64 RepairVisit::Due() const
{
    return RepairRules::Due(ComputedTotal(), deposit);
}

namespace RepairRecord {

void LogUsage(const QString& text)
{
    if (DataM)
        DataM->WriteUsageLog(text.left(100));
}

SaleMachine LoadSale(qint64 saleID)
{
    SaleMachine m;
    QStringList columns;
    for (const RepairRules::Component& c : RepairRules::Components())
        if (*c.column)
            columns << QString::fromLatin1(c.column);
    SqlStatement s(CurrentConnection(), "select id,Name,Phone,Mobile,addr,BuyDate,OverRun," +
                                            columns.join(',') + " from SaleInfo where id=?");
    if (!s.Bind({saleID}) || !s.Step())
        return m;
    m.found = true;
    m.id = s.ColumnValue(0).toLongLong();
    m.name = Text(s.ColumnValue(1));
    m.phone = Text(s.ColumnValue(2));
    m.mobile = Text(s.ColumnValue(3));
    m.addr = Text(s.ColumnValue(4));
    m.buyDate = DateTimeOf(s.ColumnValue(5)).date();
    if (!m.buyDate.isValid())
        m.buyDate = QDate::fromString(Text(s.ColumnValue(5)).left(10), QStringLiteral("yyyy-MM-dd"));
    m.overRunText = Text(s.ColumnValue(6));
    int i = 7;
    for (const RepairRules::Component& c : RepairRules::Components())
        if (*c.column)
            m.components.append({QString::fromUtf16(c.caption), Text(s.ColumnValue(i++))});
    return m;
}

QString NextRepairNo(const QDate& day, QString* error)
{
    // The day's row is made once; the update then locks it (a server makes
    // a second desk wait), so two desks never get the same number.
    const QString key = RepairRules::CounterDay(day);
    SqlStatement make(CurrentConnection(),
                      QStringLiteral("insert into RepairCounter (Day, LastNo) values (?,0)"
                                     " on conflict (Day) do nothing"));
    if (!make.Exec({key})) {
        *error = make.ErrorString();
        return {};
    }
    SqlStatement next(
        CurrentConnection(),
        QStringLiteral("update RepairCounter set LastNo=LastNo+1 where Day=? returning LastNo"));
    if (!next.Bind({key}) || !next.Step()) {
        *error = next.ErrorString();
        return {};
    }
    return RepairRules::RepairNo(day, next.ColumnValue(0).toLongLong());
}

int OpenVisitCount(qint64 saleID, qint64 except)
{
    SqlStatement s(CurrentConnection(),
                   QStringLiteral("select count(*) from RepairInfo where SaleID=? and Status<?"
                                  " and RepairID<>?"));
    if (!s.Bind({saleID, int(RepairRules::PickedUp), except}) || !s.Step())
        return 0;
    return int(s.ColumnValue(0).toLongLong());
}

Result Create(RepairVisit& v, bool secondOpenVisit, QString* error)
{
    error->clear();
    if (!Granted(RepairRules::IntakeRight))
        return NoRight(error, QString::fromLatin1(RepairRules::IntakeRight));
    if (!v.swaps.isEmpty() && !Granted(RepairRules::BenchRight))
        return NoRight(error, QString::fromLatin1(RepairRules::BenchRight));
    if (!v.receivedAt.isValid())
        v.receivedAt = QDateTime::currentDateTime();
    v.receivedAt = v.receivedAt.addMSecs(-v.receivedAt.time().msec());
    if (Result r = CheckFields(v, error); r != Result::Ok)
        return r;
    if (v.outside) {
        v.saleID = 0;
    } else {
        const SaleMachine sale = LoadSale(v.saleID);
        if (!sale.found)
            return Refuse(error, QStringLiteral("找不到这台机器的销售记录。"));
        const RepairRules::Warranty w = RepairRules::Judge(sale.overRunText, v.receivedAt.date());
        if (v.inWarranty != w.inWarranty && v.warrantyReason.isEmpty())
            return Refuse(error, QStringLiteral("保修判定与保修期（%1）不同，请选择原因。").arg(w.badge));
        if (v.inWarranty == w.inWarranty)
            v.warrantyReason.clear();
        if (!secondOpenVisit && OpenVisitCount(v.saleID) > 0)
            return Refuse(error, QStringLiteral("这台机器还有未取机的维修记录。"));
    }
    v.status = RepairRules::Received;
    v.readyAt = v.pickedUpAt = QDateTime();
    v.total = v.ComputedTotal();
    if (v.receivedBy.isEmpty())
        v.receivedBy = SessionRights::CurrentUserID();

    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return Fail(error);
    v.repairNo = NextRepairNo(v.receivedAt.date(), error);
    if (v.repairNo.isEmpty())
        return Fail(error);
    MemDataset inserted;
    const QString sql = QStringLiteral(
        "insert into RepairInfo (RepairNo,SaleID,Outside,CustomerName,CustomerAddr,CPU,MainBoard,Memory,HD,"
        "ContactName,ContactPhone,ReceivedAt,DueAt,Problem,Accessories,Appearance,Diagnosis,Action,"
        "Technician,"
        "ReceivedBy,Remark,Status,Outcome,InWarranty,WarrantyReason,LaborFee,Deposit,Total,RowVersion)"
        " values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,1) returning RepairID");
    if (!OpenQuery(sql, inserted,
                   SqlArgs{v.repairNo, v.outside ? SqlArg::Null() : SqlArg(v.saleID), v.outside ? 1 : 0} +
                       OutsideMachine(v) +
                       SqlArgs{v.contactName, v.contactPhone, Stored(v.receivedAt), Stored(v.dueAt),
                               v.problem, v.accessories, v.appearance, v.diagnosis, v.action, v.technician,
                               v.receivedBy, v.remark, v.status, v.outcome, v.inWarranty ? 1 : 0,
                               v.warrantyReason, v.laborFee, v.deposit, v.total},
                   error) ||
        inserted.IsEmpty())
        return Fail(error);
    v.repairID = inserted.AsInteger("RepairID");
    for (RepairSwapLine& s : v.swaps) {
        if (!InsertSwap(v.repairID, s, error))
            return Fail(error);
    }
    if (!transaction.Commit())
        return Fail(error);
    v.rowVersion = 1;
    // The stored swaps carry their keys.
    RepairVisit stored;
    QString ignored;
    if (Load(v.repairID, &stored, &ignored) == Result::Ok)
        v.swaps = stored.swaps;
    LogUsage(QStringLiteral("维修登记：%1%2")
                 .arg(v.repairNo, v.inWarranty ? QStringLiteral("（保修）") : QString()));
    return Result::Ok;
}

Result Load(qint64 repairID, RepairVisit* visit, QString* error)
{
    SqlStatement s(
        CurrentConnection(),
        QStringLiteral("select %1 from RepairInfo where RepairID=?").arg(QLatin1String(VisitColumns)));
    if (!s.Bind({repairID}) || !s.Step()) {
        if (s.Failed() || !s.IsValid()) {
            *error = s.ErrorString();
            return Result::Failed;
        }
        *error = QString::fromUtf16(DeletedText);
        return Result::Deleted;
    }
    QVector<RepairVisit> one = {VisitOf(s)};
    if (!LoadSwaps(one, error))
        return Result::Failed;
    *visit = one.first();
    return Result::Ok;
}

Result Update(RepairVisit& v, QString* error)
{
    error->clear();
    RepairVisit before;
    if (Result r = Load(v.repairID, &before, error); r != Result::Ok)
        return r;
    if (before.rowVersion != v.rowVersion) {
        *error = QString::fromUtf16(ChangedElsewhereText);
        return Result::ChangedElsewhere;
    }
    if (Result r = CheckFields(v, error); r != Result::Ok)
        return r;
    v.status = before.status; // moved by MoveStatus only
    v.outside = before.outside;
    v.saleID = before.saleID;
    v.total = v.ComputedTotal();
    const bool moneyChanged =
        v.laborFee != before.laborFee || v.deposit != before.deposit || !SameSwaps(v.swaps, before.swaps);
    const bool benchChanged = v.diagnosis != before.diagnosis || v.action != before.action ||
                              v.technician != before.technician || v.outcome != before.outcome ||
                              v.laborFee != before.laborFee || !SameSwaps(v.swaps, before.swaps);
    if (!Granted(RepairRules::IntakeRight) && !Granted(RepairRules::BenchRight))
        return NoRight(error, QString::fromLatin1(RepairRules::IntakeRight));
    if (benchChanged && !Granted(RepairRules::BenchRight))
        return NoRight(error, QString::fromLatin1(RepairRules::BenchRight));
    if (before.status == RepairRules::PickedUp && moneyChanged && !Granted(RepairRules::AdvancedRight))
        return NoRight(error, QString::fromLatin1(RepairRules::AdvancedRight));
    if (v.inWarranty != before.inWarranty && v.warrantyReason.isEmpty() && before.warrantyReason.isEmpty())
        return Refuse(error, QStringLiteral("更改保修判定请选择原因。"));

    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return Fail(error);
    const QString sql = QStringLiteral(
        "update RepairInfo set CustomerName=?,CustomerAddr=?,CPU=?,MainBoard=?,Memory=?,HD=?,ContactName=?,"
        "ContactPhone=?,ReceivedAt=?,DueAt=?,NotifiedAt=?,Problem=?,Accessories=?,Appearance=?,Diagnosis=?,"
        "Action=?,"
        "Technician=?,Remark=?,Outcome=?,InWarranty=?,WarrantyReason=?,LaborFee=?,Deposit=?,Total=?,"
        "RowVersion=RowVersion+1 where RepairID=? and RowVersion=?");
    if (!ExecCommand(sql,
                     OutsideMachine(v) + SqlArgs{v.contactName,
                                                 v.contactPhone,
                                                 Stored(v.receivedAt),
                                                 Stored(v.dueAt),
                                                 Stored(v.notifiedAt),
                                                 v.problem,
                                                 v.accessories,
                                                 v.appearance,
                                                 v.diagnosis,
                                                 v.action,
                                                 v.technician,
                                                 v.remark,
                                                 v.outcome,
                                                 v.inWarranty ? 1 : 0,
                                                 v.warrantyReason,
                                                 v.laborFee,
                                                 v.deposit,
                                                 v.total,
                                                 v.repairID,
                                                 v.rowVersion},
                     error))
        return Fail(error);
    if (CurrentConnection()->Changes() == 0)
        return Mismatch(v.repairID, error);
    if (!WriteSwaps(v, before.swaps, error) || !transaction.Commit())
        return Fail(error);
    ++v.rowVersion;
    RepairVisit stored;
    QString ignored;
    if (Load(v.repairID, &stored, &ignored) == Result::Ok)
        v.swaps = stored.swaps;
    LogUsage(
        moneyChanged
            ? QStringLiteral("修改维修记录：%1，合计 %2 元").arg(v.repairNo, RepairRules::YuanText(v.total))
            : QStringLiteral("修改维修记录：%1").arg(v.repairNo));
    return Result::Ok;
}

Result MoveStatus(RepairVisit& v, int to, const QDateTime& when, QString* error)
{
    error->clear();
    const std::optional<QString> right = RepairRules::MoveRight(v.status, to);
    if (!right)
        return Refuse(error, QStringLiteral("维修记录不能从“%1”改为“%2”。")
                                 .arg(RepairRules::StatusText(v.status), RepairRules::StatusText(to)));
    if (!SessionRights::IsGranted(*right))
        return NoRight(error, *right);
    const QDateTime now = when.addMSecs(-when.time().msec());
    QDateTime readyAt = v.readyAt, pickedUpAt = v.pickedUpAt;
    if (to >= RepairRules::Ready && !readyAt.isValid())
        readyAt = now;
    if (to == RepairRules::PickedUp)
        pickedUpAt = now;
    if (to < RepairRules::Ready)
        readyAt = QDateTime();
    if (to < RepairRules::PickedUp)
        pickedUpAt = QDateTime();

    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return Fail(error);
    if (!ExecCommand(
            QStringLiteral("update RepairInfo set Status=?,ReadyAt=?,PickedUpAt=?,RowVersion=RowVersion+1"
                           " where RepairID=? and RowVersion=? and Status=?"),
            {to, Stored(readyAt), Stored(pickedUpAt), v.repairID, v.rowVersion, v.status}, error))
        return Fail(error);
    if (CurrentConnection()->Changes() == 0)
        return Mismatch(v.repairID, error);
    // At pickup a replaced component's warranty starts, unless set by hand.
    if (to == RepairRules::PickedUp) {
        const QDate until = now.date().addDays(RepairSettings::Load().partWarrantyDays);
        if (!ExecCommand(
                QStringLiteral(
                    "update RepairSwap set WarrantyUntil=? where RepairID=? and WarrantyUntil is null"),
                {Stored(until), v.repairID}, error))
            return Fail(error);
    }
    if (!transaction.Commit())
        return Fail(error);
    const QString from = RepairRules::StatusText(v.status);
    v.status = to;
    v.readyAt = readyAt;
    v.pickedUpAt = pickedUpAt;
    ++v.rowVersion;
    RepairVisit stored;
    QString ignored;
    if (Load(v.repairID, &stored, &ignored) == Result::Ok)
        v.swaps = stored.swaps;
    LogUsage(QStringLiteral("维修状态：%1 %2→%3%4")
                 .arg(v.repairNo, from, RepairRules::StatusText(to),
                      to == RepairRules::PickedUp
                          ? QStringLiteral("，实收 %1 元").arg(RepairRules::YuanText(v.Due()))
                          : QString()));
    return Result::Ok;
}

Result Delete(const RepairVisit& v, QString* error)
{
    error->clear();
    if (!Granted(RepairRules::AdvancedRight))
        return NoRight(error, QString::fromLatin1(RepairRules::AdvancedRight));
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return Fail(error);
    SqlStatement swaps(CurrentConnection(),
                       QStringLiteral("select count(*) from RepairSwap where RepairID=?"));
    if (!swaps.Bind({v.repairID}) || !swaps.Step())
        return Fail(error);
    if (swaps.ColumnValue(0).toLongLong() > 0)
        return Refuse(error, QStringLiteral("该维修记录已有更换配件，不能删除。"));
    if (!ExecCommand(QStringLiteral("delete from RepairInfo where RepairID=? and RowVersion=? and Status=?"),
                     {v.repairID, v.rowVersion, int(RepairRules::Received)}, error))
        return Fail(error);
    if (CurrentConnection()->Changes() == 0) {
        RepairVisit stored;
        if (Load(v.repairID, &stored, error) == Result::Ok && stored.status != RepairRules::Received)
            return Refuse(error, QStringLiteral("只能删除“已接收”的维修记录。"));
        return Mismatch(v.repairID, error);
    }
    if (!transaction.Commit())
        return Fail(error);
    LogUsage(QStringLiteral("删除维修记录：%1").arg(v.repairNo));
    return Result::Ok;
}

QVector<RepairVisit> History(qint64 saleID, QString* error)
{
    QString ignored;
    QString* why = error ? error : &ignored;
    QVector<RepairVisit> visits;
    SqlStatement s(CurrentConnection(),
                   QStringLiteral("select %1 from RepairInfo where SaleID=? order by ReceivedAt, RepairID")
                       .arg(QLatin1String(VisitColumns)));
    if (!s.Bind({saleID})) {
        *why = s.ErrorString();
        return {};
    }
    while (s.Step())
        visits << VisitOf(s);
    if (s.Failed() || !s.IsValid()) {
        *why = s.ErrorString();
        return {};
    }
    if (!LoadSwaps(visits, why))
        return {};
    return visits;
}

QVector<QPair<QString, QString>> CurrentConfiguration(qint64 saleID, QString* error)
{
    const SaleMachine sale = LoadSale(saleID);
    QVector<QPair<QString, QString>> now = sale.components;
    for (const RepairVisit& v : History(saleID, error))
        for (const RepairSwapLine& s : v.swaps) {
            const auto part = std::find_if(now.begin(), now.end(), [&](const QPair<QString, QString>& p) {
                return p.first == s.component;
            });
            if (part != now.end())
                part->second = s.newModel;
            else
                now.append({s.component, s.newModel});
        }
    return now;
}

} // namespace RepairRecord
