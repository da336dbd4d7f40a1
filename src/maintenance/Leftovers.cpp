#include "Leftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Whether some run (of this or another program) still writes `path`.
bool InUse(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// Removes the files of `dir` whose names match `pattern`; the captured
// "owner" group names the file whose mark protects a journal.
void RemoveMatching(const QString& dir, const QRegularExpression& pattern, QStringList* removed)
{
    if (dir.isEmpty())
        return;
    const QDir folder(dir);
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const auto match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const QString owner = folder.filePath(match.captured(QStringLiteral("owner")));
        if (InUse(owner))
            continue;
        if (QFile::remove(folder.filePath(name)))
            removed->append(name);
    }
}

} // namespace

namespace Leftovers {

bool MarkInUse(QFile& file)
{
    return file.handle() >= 0 && ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}

QStringList Remove(const QString& backupDir, const QString& dataDir)
{
    static const QRegularExpression backupNames(
        QStringLiteral(R"(^(?<owner>\.(snapshot|pack|pgdump|restore)-[A-Za-z0-9]{6})(-journal|-wal|-shm)?$)"));
    static const QRegularExpression dataNames(
        QStringLiteral(R"(^(?<owner>restore-[A-Za-z0-9]{6}\.tmp|_afs\.(da|old|back))(-journal)?$)"));
    QStringList removed;
    RemoveMatching(backupDir, backupNames, &removed);
    RemoveMatching(dataDir, dataNames, &removed);
    return removed;
}

QStringList PruneKeptCopies(const QString& backupDir, int keep)
{
    QFileInfoList kept = QDir(backupDir).entryInfoList({QStringLiteral("before-restore-*")}, QDir::Files);
    // Newest first: by the time in the name, then by when it was written.
    std::sort(kept.begin(), kept.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QString ta = a.fileName().mid(15, 19), tb = b.fileName().mid(15, 19);
        return ta != tb ? ta > tb : a.lastModified() > b.lastModified();
    });
    QStringList removed;
    for (int i = std::max(keep, 0); i < kept.size(); ++i)
        if (QFile::remove(kept[i].absoluteFilePath()))
            removed.append(kept[i].fileName());
    return removed;
}

} // namespace Leftovers
