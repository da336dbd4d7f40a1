#include "DatabaseLock.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// This program's shared lock: one open file description for the whole
// process, so that turning it exclusive does not meet the program's own lock.
QMutex g_mutex;
int g_sharedFd = -1;
QString g_sharedFile;

int OpenLockFile(const QString& databaseFile, QString* error)
{
    const QString path = DatabaseLock::LockFileFor(databaseFile);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && error)
        *error = QStringLiteral("无法打开数据库锁文件 %1：%2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return fd;
}

QString Canonical(const QString& file)
{
    return QFileInfo(file).absoluteFilePath();
}

// flock, retried when a signal interrupts it.
int Flock(int fd, int operation)
{
    int rc;
    do
        rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace

namespace DatabaseLock {

QString InUseText()
{
    return QStringLiteral("数据库正被其他程序使用，请先关闭其他程序后再试。");
}

QString LockFileFor(const QString& databaseFile)
{
    return databaseFile + QStringLiteral(".lock");
}

bool HoldShared(const QString& databaseFile, QString* error, int waitMs)
{
    QMutexLocker locker(&g_mutex);
    const QString file = Canonical(databaseFile);
    if (g_sharedFd >= 0 && g_sharedFile == file)
        return true;
    if (g_sharedFd >= 0) {
        ::close(g_sharedFd);
        g_sharedFd = -1;
        g_sharedFile.clear();
    }
    const int fd = OpenLockFile(file, error);
    if (fd < 0)
        return false;
    // A restore or compaction of another program takes seconds; wait for it.
    for (int waited = 0; Flock(fd, LOCK_SH | LOCK_NB) != 0; waited += 50) {
        if (errno != EWOULDBLOCK || waited >= waitMs) {
            if (error)
                *error = errno == EWOULDBLOCK ? QStringLiteral("数据库正在被其他程序还原或压缩，请稍候再启动。")
                                              : QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return false;
        }
        QThread::msleep(50);
    }
    g_sharedFd = fd;
    g_sharedFile = file;
    return true;
}

void ReleaseShared()
{
    QMutexLocker locker(&g_mutex);
    if (g_sharedFd >= 0)
        ::close(g_sharedFd);
    g_sharedFd = -1;
    g_sharedFile.clear();
}

QString SharedFile()
{
    QMutexLocker locker(&g_mutex);
    return g_sharedFile;
}

} // namespace DatabaseLock

ExclusiveDatabaseUse::ExclusiveDatabaseUse(const QString& databaseFile)
{
    const QString file = Canonical(databaseFile);
    QMutexLocker locker(&g_mutex);
    if (g_sharedFd >= 0 && g_sharedFile == file) {
        if (Flock(g_sharedFd, LOCK_EX | LOCK_NB) == 0) {
            m_acquired = m_converted = true;
            return;
        }
        const int why = errno;
        // A failed conversion has given up the shared lock: take it again.
        // Only another program's exclusive lock can be in the way, and that
        // is given back within the time of one restore.
        for (int tries = 0; Flock(g_sharedFd, LOCK_SH | LOCK_NB) != 0 && tries < 600; ++tries)
            QThread::msleep(50);
        m_error = why == EWOULDBLOCK ? DatabaseLock::InUseText() : QString::fromLocal8Bit(std::strerror(why));
        return;
    }
    locker.unlock();
    m_fd = OpenLockFile(file, &m_error);
    if (m_fd < 0)
        return;
    if (Flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_acquired = true;
        return;
    }
    m_error = errno == EWOULDBLOCK ? DatabaseLock::InUseText() : QString::fromLocal8Bit(std::strerror(errno));
    ::close(m_fd);
    m_fd = -1;
}

ExclusiveDatabaseUse::~ExclusiveDatabaseUse()
{
    if (m_converted) {
        QMutexLocker locker(&g_mutex);
        // Going back from exclusive to shared never has to wait.
        if (g_sharedFd >= 0)
            Flock(g_sharedFd, LOCK_SH);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}
