#include "ToolbarTable.h"

#include "DataAccess.h"
#include "Utilities.h"

namespace {

bool WriteOrder(const QVector<qint64>& buttonIDs)
{
    for (int i = 0; i < buttonIDs.size(); ++i) {
        if (!ExecCommand(QStringLiteral("update AC_TOOLCFG set OrderNum=? where ButtonID=?"),
                         {i + 1, buttonIDs[i]}))
            return false;
    }
    return true;
}

} // namespace

bool ToolbarTable::LoadButtons(QVector<ToolButtonRow>& rows)
{
    rows.clear();
    MemDataset data;
    if (!OpenQuery(
            QStringLiteral("select a.ButtonID,a.ButtonText,a.IconIndex,a.IsShow,a.FunctionID,b.FunctionName,"
                           "a.OrderNum,a.RowVersion from AC_TOOLCFG a left join AC_FUNCTIONINFO b"
                           " on a.functionid=b.functionid order by a.OrderNum"),
            data))
        return false;
    for (data.First(); !data.Eof(); data.Next()) {
        ToolButtonRow row;
        row.ButtonID = data.AsInteger(QStringLiteral("ButtonID"));
        row.ButtonText = data.AsString(QStringLiteral("ButtonText"));
        row.IconIndex = int(FieldAsInteger(data, QStringLiteral("IconIndex"), 0));
        row.IsShow = data.AsString(QStringLiteral("IsShow"));
        row.FunctionID = data.AsString(QStringLiteral("FunctionID"));
        row.FunctionName = data.AsString(QStringLiteral("FunctionName"));
        row.OrderNum = FieldAsText(data, QStringLiteral("OrderNum"), QStringLiteral("0"));
        row.RowVersion = FieldAsInteger(data, QStringLiteral("RowVersion"), 1);
        rows.append(row);
    }
    return true;
}

bool ToolbarTable::InsertButton(ToolButtonRow& row, qint64 orderNum)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    const qint64 buttonID =
        NextSequenceValue(QStringLiteral("SeqTable"), QStringLiteral("ButtonID")).toLongLong();
    if (buttonID <= 0 ||
        !ExecCommand(
            QStringLiteral("Insert into AC_TOOLCFG (ButtonID,ButtonText,IconIndex,IsShow,FunctionID,OrderNum)"
                           " values (?,?,?,?,?,?)"),
            {buttonID, row.ButtonText, row.IconIndex, row.IsShow, row.FunctionID, orderNum}) ||
        !transaction.Commit())
        return false;
    row.ButtonID = buttonID;
    return true;
}

bool ToolbarTable::UpdateButton(ToolButtonRow& row, qint64 orderNum, VersionedRow::Outcome* outcome)
{
    // A button gone meanwhile (a restored older backup) is not updated.
    const VersionedRow::Outcome result = VersionedRow::Update(
        QStringLiteral("AC_TOOLCFG"), QStringLiteral("ButtonID"), row.ButtonID, &row.RowVersion,
        QStringLiteral("ButtonText=?,IconIndex=?,IsShow=?,FunctionID=?,OrderNum=?"),
        {row.ButtonText, row.IconIndex, row.IsShow, row.FunctionID, orderNum});
    if (outcome)
        *outcome = result;
    return result == VersionedRow::Outcome::Saved;
}

bool ToolbarTable::DeleteButton(qint64 buttonID, const QVector<qint64>& remaining)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    if (!ExecCommand(QStringLiteral("delete from AC_TOOLCFG where ButtonID=?"), {buttonID}) ||
        !WriteOrder(remaining))
        return false;
    return transaction.Commit();
}

bool ToolbarTable::SaveButtonOrder(const QVector<qint64>& buttonIDs)
{
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive())
        return false;
    return WriteOrder(buttonIDs) && transaction.Commit();
}
