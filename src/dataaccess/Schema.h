#pragma once

#include <QString>

class SqlConnection;

// The database schema and its version.  The version lives in the file
// (PRAGMA user_version); opening a file made by an older build upgrades it
// step by step in one transaction, a file from a newer build is refused.
namespace Schema {

// Version 1: the first schema.
// Version 2: user codes in AC_ROLE_USER and AC_FUNCTION_USER compare
// without regard to case.
inline constexpr int CurrentVersion = 2;

int Version(SqlConnection& connection);
// Brings a database of an older version (0 = empty file) up to date.
bool Upgrade(SqlConnection& connection, QString* error);

} // namespace Schema
