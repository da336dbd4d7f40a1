#include "AppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString g_appDir;
QString g_programDir;
bool g_usesUserDataDir = false;

QString WithSlash(const QString& dir)
{
    QString path = QDir(dir).absolutePath();
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

QString ExecutableDir()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}
} // namespace

QString GetAppDir()
{
    if (g_appDir.isEmpty())
        SetAppDir(ExecutableDir());
    return g_appDir;
}

void SetAppDir(const QString& dir)
{
    g_appDir = WithSlash(dir);
}

QString GetProgramDir()
{
    if (g_programDir.isEmpty())
        SetProgramDir(ChooseProgramDir(ExecutableDir()));
    return g_programDir;
}

void SetProgramDir(const QString& dir)
{
    g_programDir = WithSlash(dir);
}

QString ChooseDataDir(const DataDirFacts& facts)
{
    if (!facts.homeOption.isEmpty())
        return WithSlash(facts.homeOption);
    if (facts.programDirWritable && (facts.programDirHasData || facts.programDirPortable))
        return WithSlash(facts.programDir);
    return WithSlash(facts.userDataDir);
}

DataDirFacts InspectDataDir(const QString& programDir, const QString& homeOption)
{
    DataDirFacts facts;
    facts.homeOption = homeOption;
    facts.programDir = programDir;
    const QDir dir(programDir);
    facts.programDirWritable = QFileInfo(programDir).isWritable();
    facts.programDirHasData = QFileInfo(dir.filePath("data")).isDir();
    facts.programDirPortable = QFileInfo(dir.filePath("Skins/skins.dat")).isFile();
    facts.userDataDir = UserDataDir();
    return facts;
}

QString UserDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/weibao";
}

QString ChooseProgramDir(const QString& programDir)
{
    const QDir dir(programDir);
    if (QFileInfo(dir.filePath("Skins/skins.dat")).isFile())
        return programDir;
    const QString shared = dir.filePath("../share/weibao");
    if (QFileInfo(shared).isDir())
        return QDir::cleanPath(shared);
    return programDir;
}

void SetUpAppDirs(const QString& homeOption)
{
    const QString programDir = ExecutableDir();
    const DataDirFacts facts = InspectDataDir(programDir, homeOption);
    SetAppDir(ChooseDataDir(facts));
    SetProgramDir(ChooseProgramDir(programDir));
    g_usesUserDataDir = homeOption.isEmpty() && g_appDir == WithSlash(facts.userDataDir);
}

bool UsesUserDataDir()
{
    return g_usesUserDataDir;
}

QString FindShipped(const QString& relativePath)
{
    const QString own = GetAppDir() + relativePath;
    if (QFileInfo::exists(own))
        return own;
    return GetProgramDir() + relativePath;
}
