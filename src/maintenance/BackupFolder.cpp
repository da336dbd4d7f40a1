#include "BackupFolder.h"

#include "AppDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace BackupFolder {

namespace {

const QRegularExpression& AutomaticName()
{
    static const QRegularExpression re(R"(^(\d{4}-\d\d-\d\d)-\d\d-\d\d-\d\d(-\d+)?-auto\.(jbk|zbk|pgdump)$)",
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

QFileInfoList Files(const QString& dir, const QString& suffix)
{
    QFileInfoList out;
    const QFileInfoList all =
        QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : all)
        if (info.fileName().endsWith(suffix, Qt::CaseInsensitive) && !info.fileName().startsWith('.'))
            out.append(info);
    return out;
}

bool StemTaken(const QString& dir, const QString& stem)
{
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name.compare(stem + ".jbk", Qt::CaseInsensitive) == 0 ||
            name.compare(stem + ".zbk", Qt::CaseInsensitive) == 0 ||
            name.compare(stem + ".pgdump", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QString Path()
{
    return GetAppDir() + "BackUp/";
}

bool Ensure(const QString& dir, QString* error)
{
    if (QDir().mkpath(dir))
        return true;
    if (error)
        *error = QStringLiteral("无法创建备份文件夹：") + dir;
    return false;
}

QString NewStem(const QString& dir, const QDateTime& when, bool automatic)
{
    const QString base = when.toString("yyyy-MM-dd-HH-mm-ss");
    const QString tail = automatic ? QStringLiteral("-auto") : QString();
    for (int n = 1;; ++n) {
        const QString stem = base + (n > 1 ? "-" + QString::number(n) : QString()) + tail;
        if (!StemTaken(dir, stem))
            return stem;
    }
}

bool TakeName(const QString& from, const QString& to)
{
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a hard link fails on an
    // existing name as well.
    if (::link(f.constData(), t.constData()) != 0)
        return false;
    ::unlink(f.constData());
    return true;
}

bool IsAutomatic(const QString& fileName)
{
    return AutomaticName().match(fileName).hasMatch();
}

QList<Entry> List(const QString& dir)
{
    QList<Entry> out;
    for (const auto& [suffix, kind] :
         {std::pair{".jbk", Kind::Archive}, std::pair{".zbk", Kind::Plain}, std::pair{".pgdump", Kind::Server}})
        for (const QFileInfo& info : Files(dir, QString::fromLatin1(suffix)))
            out.append({info.fileName(), kind, info.size(), info.lastModified()});
    return out;
}

QString SizeText(qint64 bytes)
{
    const qint64 k = bytes / 1024;
    if (k < 1024)
        return QString::number(k) + " KB";
    return QString::number(double(bytes) / 1048576.0, 'f', 2) + " MB";
}

QString DateText(const QDateTime& when)
{
    return when.toString("yyyy-MM-dd,HH:mm:ss");
}

bool HasAutomaticBackup(const QString& dir, const QDate& day)
{
    const QString date = day.toString("yyyy-MM-dd");
    for (const Entry& entry : List(dir)) {
        const auto match = AutomaticName().match(entry.fileName);
        if (match.hasMatch() && match.captured(1) == date)
            return true;
    }
    return false;
}

QStringList PruneAutomatic(const QString& dir, int keep)
{
    // Newest first: by the time in the stem, then by the "-n" of backups
    // made within the same second.
    struct Item
    {
        QString time;
        int n;
        QString fileName;
    };
    QList<Item> automatic;
    for (const Entry& entry : List(dir)) {
        const auto match = AutomaticName().match(entry.fileName);
        if (match.hasMatch())
            automatic.append({entry.fileName.left(19), match.captured(2).isEmpty() ? 1 : match.captured(2).mid(1).toInt(),
                              entry.fileName});
    }
    std::sort(automatic.begin(), automatic.end(), [](const Item& a, const Item& b) {
        return a.time != b.time ? a.time > b.time : a.n > b.n;
    });
    QStringList failed;
    for (int i = std::max(keep, 0); i < automatic.size(); ++i)
        if (!QFile::remove(dir + automatic[i].fileName))
            failed.append(automatic[i].fileName);
    return failed;
}

} // namespace BackupFolder
