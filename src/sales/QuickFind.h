#pragma once

#include "SaleRecord.h"

// Quick find: the sale records whose name, phone, fax, mobile, address or
// remarks contain a typed fragment.  On SQLite through the trigram index
// SaleFind that triggers keep in step with SaleInfo; on a server through its
// trigram index over the same text, read by a "contains" pattern, and for
// two characters through its index of the text's pairs.  On SQLite
// a fragment of three or more characters is one phrase of the index.  A
// fragment of two characters has no trigram of its own; since every value in
// the index is closed by a separator, each of its occurrences starts an
// indexed trigram, so the vocabulary's trigrams that begin with it find it
// exactly.
namespace QuickFind {

inline constexpr int MinimumLength = 2;

// The fragment that is searched for: the typed text without leading and
// trailing blanks or control characters; empty when it is shorter than
// MinimumLength characters.
QString Fragment(const QString& typed);

// The condition of the records that contain `fragment` (from Fragment()).
// false with the database's message when the index cannot be read.
bool FindCondition(const QString& fragment, SaleRecord::Condition* out, QString* error);

// The condition of the records whose phone or mobile, read as digits alone
// (138-0013-5678 is 13800135678), contains `digits`: three or more digits.
// Through the phone index on either engine.
SaleRecord::Condition PhoneCondition(const QString& digits);

} // namespace QuickFind
