#include "CommandLog.h"

#include "AppDir.h"
#include "GbkText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

QString CommandLogPath(const QDate& day)
{
    return GetAppDir() + "Log/Log" + day.toString("yyyyMMdd") + ".txt";
}

void WriteLogLine(const QString& text)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString path = CommandLogPath(now.date());
    if (!QFile::exists(path))
        QDir().mkpath(GetAppDir() + "Log");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QString stamp = now.toString("yyyy-MM-dd");
    if (now.time() != QTime(0, 0, 0))
        stamp += ' ' + now.toString("HH:mm:ss");
    file.write(Gbk::Encode(stamp + ' ' + text + "\r\n"));
}
