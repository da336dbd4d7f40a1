#pragma once

#include <QString>

// Creates a new database file with the schema and a complete working
// configuration (function catalogue, menu, toolbar, group bar, an
// administrator role and user); `demo` adds a company profile, dictionary
// rows, areas and a few dozen sale records.  Refuses to overwrite a file.
bool InitDatabase(const QString& fileName, bool demo, QString* error);

// The administrator created in a new database.
inline constexpr const char* AdminUserID = "ADMIN";
inline constexpr const char* AdminPassword = "admin";
