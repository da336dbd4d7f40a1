#include "Settings.h"

#include "AppDir.h"
#include "IniFile.h"

namespace Settings {

QString IniPath()
{
    return GetAppDir() + "Quorel.ini";
}

QString UserIniPath()
{
    // Beside the skins, where the skin manager keeps the skin choice.
    return GetAppDir() + "Skins/set.ini";
}

QString CoName()
{
    return IniFile(IniPath()).ReadString("Company", "CoName", QString::fromUtf8(DefaultCoName));
}

QString SoftName()
{
    return IniFile(IniPath()).ReadString("Company", "SoftName", QString::fromUtf8(DefaultSoftName));
}

int BackUpCompressed()
{
    return IniFile(IniPath()).ReadInteger("BackUpSet", "BackUp", 1);
}

int BackUpLevel()
{
    return IniFile(IniPath()).ReadInteger("BackUpSet", "Set", 3);
}

int BackUpAuto()
{
    return IniFile(IniPath()).ReadInteger("BackUpSet", "Auto", 0);
}

int BackUpKeep()
{
    return IniFile(IniPath()).ReadInteger("BackUpSet", "Keep", 10);
}

bool SetCoName(const QString& value)
{
    return IniFile(IniPath()).WriteString("Company", "CoName", value);
}

bool SetSoftName(const QString& value)
{
    return IniFile(IniPath()).WriteString("Company", "SoftName", value);
}

bool SetBackUpCompressed(int value)
{
    return IniFile(IniPath()).WriteInteger("BackUpSet", "BackUp", value);
}

bool SetBackUpLevel(int value)
{
    return IniFile(IniPath()).WriteInteger("BackUpSet", "Set", value);
}

bool SetBackUpAuto(int value)
{
    return IniFile(IniPath()).WriteInteger("BackUpSet", "Auto", value);
}

bool SetBackUpKeep(int value)
{
    return IniFile(IniPath()).WriteInteger("BackUpSet", "Keep", value);
}

} // namespace Settings
