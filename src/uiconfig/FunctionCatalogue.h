#pragma once

#include "FunctionTree.h"

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
    // No catalogue row has this number; a failed check counts as in use.
    static bool IsFunctionIDFree(const QString& id);
    // A new function below `parentKey` ("-1": top level), sorted after every
    // existing one: its OrderNum comes from the counter FuncOrderID, allocated
    // in the same transaction as the row.
    static bool InsertFunction(const TFunc& func, const QString& parentKey);
    // Every column but FunctionID and OrderNum.
    static bool UpdateFunction(const TFunc& func, const QString& parentKey);
    // Deletes the function, its role and user grants, and unbinds the menu
    // and toolbar rows that run it, all or nothing.  Group-bar rows stay.
    static bool DeleteFunction(const QString& id);
};
