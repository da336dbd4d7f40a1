#pragma once

#include <QString>

// Passwords are kept as salted argon2id hashes in libsodium's self-describing
// string form ("$argon2id$...").  A stored value that is not such a hash is a
// legacy plain-text password: it matches the typed password exactly after
// its own leading and trailing blanks are removed.
namespace PasswordHash {

QString Hash(const QString& password);
bool IsHash(const QString& stored);
bool Verify(const QString& stored, const QString& typed);

} // namespace PasswordHash
