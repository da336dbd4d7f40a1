#pragma once

#include <QString>

struct PgServer;
class SqlConnection;

// Creates a new database file with the schema and a complete working
// configuration (function catalogue, menu, toolbar, group bar, an
// administrator role and user); `demo` adds a company profile, dictionary
// rows, areas and a few dozen sale records.  Refuses to overwrite a file.
bool InitDatabase(const QString& fileName, bool demo, QString* error);
// Same on an empty PostgreSQL database (one transaction; a database that
// holds any table is refused).
bool InitServerDatabase(const PgServer& server, bool demo, QString* error);
// Same on the engine Quorel.ini names (data/data.mdb by default).
bool InitConfiguredDatabase(bool demo, QString* error);

// The administrator created in a new database.
inline constexpr const char* AdminUserID = "ADMIN";
inline constexpr const char* AdminPassword = "admin";

// Adds the repair desk's functions (6000 and below) to a configured
// catalogue, grants them to the roles that hold 系统管理, and adds its menu,
// toolbar buttons and side-bar group after those of the sale records.
// Nothing in a database without a catalogue (it is seeded later) or one that
// has them already.
bool AddRepairCatalogue(SqlConnection& connection, QString* error);
