#include "FunctionCatalogue.h"

#include "DataAccess.h"

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
            {func.FunctionID, func.FunctionName, func.FunctionDesc, func.ControlName, func.FormModal,
             parentKey, Flag(func.IsPublic), order.toLongLong()}))
        return false;
    return transaction.Commit();
}

bool FunctionCatalogue::UpdateFunction(const TFunc& func, const QString& parentKey)
{
    // A function gone meanwhile (a restored older backup) is not updated.
    return ExecCommand(
               QStringLiteral("update AC_FUNCTIONINFO set FunctionName=?,FunctionDesc=?,ControlName=?,"
                              "FormModal=?,ParentFunctionID=?,IsPublic=? where FunctionID=?"),
               {func.FunctionName, func.FunctionDesc, func.ControlName, func.FormModal, parentKey,
                Flag(func.IsPublic), func.FunctionID}) &&
           CurrentConnection()->Changes() > 0;
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
        "update AC_MENUSTRUCT SET FUNCTIONID='' where FunctionID=?",
        "update AC_TOOLCFG SET FUNCTIONID='' where FunctionID=?",
    };
    for (const char* sql : statements) {
        if (!ExecCommand(QString::fromLatin1(sql), {id}))
            return false;
    }
    return transaction.Commit();
}
