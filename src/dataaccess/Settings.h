#pragma once

#include "PgEngine.h"

#include <QString>

// The keys of Quorel.ini in the program folder, with their defaults.  A
// missing file or key yields the default.
namespace Settings {

QString IniPath();
// Skins/set.ini: what each user chose for the look (the skin, list columns).
QString UserIniPath();

QString CoName();       // [Company] CoName
QString SoftName();     // [Company] SoftName
int BackUpCompressed(); // [BackUpSet] BackUp: 1 compressed, 0 plain copy
int BackUpLevel();      // [BackUpSet] Set: 0 store … 5 best
int BackUpAuto();       // [BackUpSet] Auto: 1 (the default) back up at the first login of a day
QString BackUpCopyFolder(); // [BackUpSet] CopyTo: a second folder automatic backups are copied to
int BackUpKeep();       // [BackUpSet] Keep: automatic backups kept, default 10

// [Database] Engine: "SQLite" (the default: data/data.mdb below the program
// folder) or "PostgreSQL" (Host, Port, Name, User, ConnectTimeout; the
// password is never stored here: libpq reads ~/.pgpass or a service file).
QString DatabaseEngine();
bool DatabaseIsServer();
PgServer DatabaseServer();
bool SetDatabaseServer(const PgServer& server);

bool SetCoName(const QString& value);
bool SetSoftName(const QString& value);
bool SetBackUpCompressed(int value);
bool SetBackUpLevel(int value);
bool SetBackUpAuto(int value);
bool SetBackUpKeep(int value);
bool SetBackUpCopyFolder(const QString& folder);

inline const char* const EngineSQLite = "SQLite";
inline const char* const EnginePostgreSQL = "PostgreSQL";
inline const char* const DefaultCoName = "岚石软件工作室";
inline const char* const DefaultSoftName = "维保档案管家";

} // namespace Settings
