#include "FunctionCatalogue.h"

#include "DataAccess.h"
#include "GbkText.h"

#include <QRegularExpression>

namespace {

QString Flag(bool set)
{
    return set ? QStringLiteral("Y") : QStringLiteral("N");
}

} // namespace

bool FunctionCatalogue::IsValidFunctionID(const QString& id)
{
    static const QRegularExpression digits(QStringLiteral("^[1-9][0-9]{0,5}$"));
    return digits.match(id).hasMatch();
}

QString FunctionCatalogue::FunctionIDProblem(const QString& id, bool checkFree)
{
    if (id.isEmpty())
        return QStringLiteral("功能编号不能为空！");
    if (!IsValidFunctionID(id))
        return QStringLiteral("功能编号只能是1到6位数字，不能以0开头，也不能带正负号！");
    if (checkFree && !IsFunctionIDFree(id))
        return QStringLiteral("该功能编号已被使用");
    return {};
}

bool FunctionCatalogue::IsValidFormModal(const QString& mode)
{
    return mode.isEmpty() || mode == QLatin1String("M") || mode == QLatin1String("S") ||
           mode == QLatin1String("D");
}

QString FunctionCatalogue::FitDescription(const QString& desc)
{
    constexpr int Size = 200;
    if (CurrentConnection() && CurrentConnection()->IsServer()) {
        // Never split a surrogate pair.
        int end = qMin(int(desc.size()), Size);
        if (end < desc.size() && end > 0 && desc.at(end - 1).isHighSurrogate())
            --end;
        return desc.left(end);
    }
    return Gbk::Truncate(desc, Size);
}

bool FunctionCatalogue::IsFunctionIDFree(const QString& id)
{
    MemDataset rows;
    if (!OpenQuery(QStringLiteral("select functionID from AC_FUNCTIONINFO where FunctionID=?"), rows, {id}))
        return false;
    return rows.IsEmpty();
}

bool FunctionCatalogue::InsertFunction(const TFunc& func, const QString& parentKey)
{
    if (!IsValidFunctionID(func.FunctionID))
        return false;
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    const QString order = NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("FuncOrderID"));
    if (order == QLatin1String("0"))
        return false;
    if (!ExecCommand(
            QStringLiteral("Insert into AC_FUNCTIONINFO (FUNCTIONID,FUNCTIONNAME,FUNCTIONDESC,CONTROLNAME,"
                           "FORMMODAL,PARENTFUNCTIONID,ISPUBLIC,ORDERNUM) values (?,?,?,?,?,?,?,?)"),
            {func.FunctionID, func.FunctionName, FitDescription(func.FunctionDesc), func.ControlName,
             func.FormModal, parentKey, Flag(func.IsPublic), order.toLongLong()}))
        return false;
    return transaction.Commit();
}

bool FunctionCatalogue::UpdateFunction(TFunc& func, const QString& parentKey, VersionedRow::Outcome* outcome)
{
    // A function gone meanwhile (a restored older backup) is not updated.
    const VersionedRow::Outcome result = VersionedRow::Update(
        QStringLiteral("AC_FUNCTIONINFO"), QStringLiteral("FunctionID"), func.FunctionID, &func.RowVersion,
        QStringLiteral(
            "FunctionName=?,FunctionDesc=?,ControlName=?,FormModal=?,ParentFunctionID=?,IsPublic=?"),
        {func.FunctionName, FitDescription(func.FunctionDesc), func.ControlName, func.FormModal, parentKey,
         Flag(func.IsPublic)});
    if (outcome)
        *outcome = result;
    return result == VersionedRow::Outcome::Saved;
}

bool FunctionCatalogue::DeleteFunction(const QString& id)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    const char* statements[] = {
        "delete from AC_FUNCTIONINFO where FunctionID=?",
        "delete from ac_role_function where FunctionID=?",
        "delete from AC_FUNCTION_USER where FunctionID=?",
        // The rows change under the editors that may hold them: their
        // versions count up like any other change.
        "update AC_MENUSTRUCT SET FUNCTIONID='',RowVersion=RowVersion+1 where FunctionID=?",
        "update AC_TOOLCFG SET FUNCTIONID='',RowVersion=RowVersion+1 where FunctionID=?",
        "update AC_GROUPCFG SET FUNCTIONID='',RowVersion=RowVersion+1 where FunctionID=?",
    };
    for (const char* sql : statements) {
        if (!ExecCommand(QString::fromLatin1(sql), {id}))
            return false;
    }
    return transaction.Commit();
}
