#pragma once

#include "SqlConnection.h"

#include <QString>

// Rows that carry a row version (a RowVersion column counted up by every
// change): a desk writes a row only if it still holds the version the desk
// read, so that two desks editing one row never overwrite each other
// unnoticed.
namespace VersionedRow {

enum class Outcome {
    Saved,            // written; the remembered version now is the new one
    ChangedElsewhere, // another desk changed the row since it was read: nothing written
    Missing,          // the row no longer exists: nothing written
    Failed,           // the statement failed (error says why): nothing written
};

inline constexpr const char16_t* ChangedElsewhereText = u"该记录已被其他用户修改，请重新打开后再修改。";

// The stored version of the row of `table` whose `keyColumn` is `key`;
// -1 when there is no such row, -2 when it could not be read.
qint64 Read(const QString& table, const QString& keyColumn, const SqlArg& key, QString* error = nullptr);

// "update <table> set <sets>,RowVersion=RowVersion+1 where <keyColumn>=? and
// RowVersion=?": `args` are the values of `sets`' "?"s.  On Saved
// `*rowVersion` holds the new version.  Table and column names come from the
// program, never from input.
Outcome Update(const QString& table, const QString& keyColumn, const SqlArg& key, qint64* rowVersion,
               const QString& sets, SqlArgs args, QString* error = nullptr);

} // namespace VersionedRow
