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
    return IniFile(IniPath()).ReadInteger("BackUpSet", "Auto", 1);
}

QString BackUpCopyFolder()
{
    return IniFile(IniPath()).ReadString("BackUpSet", "CopyTo", QString()).trimmed();
}

int BackUpKeep()
{
    return IniFile(IniPath()).ReadInteger("BackUpSet", "Keep", 10);
}

QString DatabaseEngine()
{
    return IniFile(IniPath()).ReadString("Database", "Engine", QString::fromUtf8(EngineSQLite)).trimmed();
}

bool DatabaseIsServer()
{
    return DatabaseEngine().compare(QLatin1String(EnginePostgreSQL), Qt::CaseInsensitive) == 0;
}

PgServer DatabaseServer()
{
    IniFile ini(IniPath());
    PgServer server;
    server.host = ini.ReadString("Database", "Host", QString()).trimmed();
    server.port = ini.ReadInteger("Database", "Port", 0);
    server.name = ini.ReadString("Database", "Name", QStringLiteral("weibao")).trimmed();
    server.user = ini.ReadString("Database", "User", QString()).trimmed();
    server.connectTimeout = ini.ReadInteger("Database", "ConnectTimeout", 10);
    return server;
}

bool SetDatabaseServer(const PgServer& server)
{
    IniFile ini(IniPath());
    return ini.WriteString("Database", "Engine", QString::fromUtf8(EnginePostgreSQL)) &&
           ini.WriteString("Database", "Host", server.host) &&
           ini.WriteString("Database", "Port", server.port > 0 ? QString::number(server.port) : QString()) &&
           ini.WriteString("Database", "Name", server.name) &&
           ini.WriteString("Database", "User", server.user) &&
           ini.WriteString("Database", "ConnectTimeout", QString::number(server.connectTimeout));
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

bool SetBackUpCopyFolder(const QString& folder)
{
    return IniFile(IniPath()).WriteString("BackUpSet", "CopyTo", folder);
}

bool SetBackUpKeep(int value)
{
    return IniFile(IniPath()).WriteInteger("BackUpSet", "Keep", value);
}

} // namespace Settings
