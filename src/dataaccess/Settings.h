#pragma once

#include <QString>

// The keys of Quorel.ini in the program folder, with their defaults.  A
// missing file or key yields the default.
namespace Settings {

QString IniPath();
// Skins/set.ini: what each user chose for the look (the skin, list columns).
QString UserIniPath();

QString CoName();                         // [Company] CoName
QString SoftName();                       // [Company] SoftName
int BackUpCompressed();                   // [BackUpSet] BackUp: 1 compressed, 0 plain copy
int BackUpLevel();                        // [BackUpSet] Set: 0 store … 5 best
int BackUpAuto();                         // [BackUpSet] Auto: 1 back up at the first login of a day
int BackUpKeep();                         // [BackUpSet] Keep: automatic backups kept, default 10

bool SetCoName(const QString& value);
bool SetSoftName(const QString& value);
bool SetBackUpCompressed(int value);
bool SetBackUpLevel(int value);
bool SetBackUpAuto(int value);
bool SetBackUpKeep(int value);

inline const char* const DefaultCoName = "岚石软件工作室";
inline const char* const DefaultSoftName = "维保档案管家";

} // namespace Settings
