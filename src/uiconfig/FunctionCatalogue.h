#pragma once

#include "FunctionTree.h"
#include "VersionedRow.h"

#include <QString>

// Writes to the function catalogue AC_FUNCTIONINFO and the references other
// tables hold to its functions.  No widgets: the catalogue editor and the
// tests use it alike.
class FunctionCatalogue
{
public:
    // A storable function number: 1 to 6 decimal digits without a sign or a
    // leading zero.  "-1" is the parent key of the top-level functions and
    // "0" or "007" could not be told apart once converted to a control's tag.
    static bool IsValidFunctionID(const QString& id);
    // Why `id` cannot be a function number (empty when it can); "in use"
    // only when `checkFree` and a stored function has it.
    static QString FunctionIDProblem(const QString& id, bool checkFree);
    // "M", "S", "D" or empty.
    static bool IsValidFormModal(const QString& mode);
    // The description cut to what FunctionDesc holds: 200 characters on the
    // server, 200 GBK bytes in an SQLite file.
    static QString FitDescription(const QString& desc);
    // No catalogue row has this number; a failed check counts as in use.
    static bool IsFunctionIDFree(const QString& id);
    // A new function below `parentKey` ("-1": top level), sorted after every
    // existing one: its OrderNum comes from the counter FuncOrderID, allocated
    // in the same transaction as the row.
    static bool InsertFunction(const TFunc& func, const QString& parentKey);
    // Every column but FunctionID and OrderNum, while the stored row has
    // `func.RowVersion` (counted up on success).
    static bool UpdateFunction(TFunc& func, const QString& parentKey,
                               VersionedRow::Outcome* outcome = nullptr);
    // Deletes the function, its role and user grants, and unbinds the menu,
    // toolbar and side-bar rows that run it, all or nothing.
    static bool DeleteFunction(const QString& id);
};
