#include "AppDir.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString g_appDir;
}

QString GetAppDir()
{
    if (g_appDir.isEmpty()) {
        QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
        SetAppDir(dir);
    }
    return g_appDir;
}

void SetAppDir(const QString& dir)
{
    QString path = QDir(dir).absolutePath();
    if (!path.endsWith('/'))
        path += '/';
    g_appDir = path;
}
