#include "BackupEngine.h"

#include "BackupFolder.h"
#include "PgBackup.h"
#include "Schema.h"
#include "SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <archive.h>
#include <archive_entry.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr qint64 ChunkSize = 1 << 20;

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

struct ArchiveReadDeleter
{
    void operator()(archive* a) const { archive_read_free(a); }
};
struct ArchiveWriteDeleter
{
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryDeleter
{
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

QString ArchiveError(archive* a)
{
    const char* text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("未知错误");
}

// An entry name that is absolute or climbs out of the folder is refused.  A
// relative folder before the name (older archivers stored one) is harmless:
// the entry is written to a file of our choosing, never under its own name.
bool IsSafeEntryName(const QString& name)
{
    if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\') ||
        (name.size() > 1 && name[1] == ':'))
        return false;
    const QStringList parts = QString(name).replace('\\', '/').split('/', Qt::SkipEmptyParts);
    return !parts.isEmpty() && !parts.contains(QStringLiteral(".."));
}

// Copies `source` into the already created file `target`.
bool CopyFile(const QString& source, const QString& target, QString* error)
{
    QFile in(source), out(target);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取文件：") + source;
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("无法写入文件：") + target;
        return false;
    }
    QByteArray buffer;
    while (!(buffer = in.read(ChunkSize)).isEmpty()) {
        if (out.write(buffer) != buffer.size()) {
            *error = QStringLiteral("无法写入文件：") + target;
            return false;
        }
    }
    if (in.error() != QFile::NoError || !out.flush()) {
        *error = QStringLiteral("复制文件失败：") + source;
        return false;
    }
    return true;
}

QString DedupedPath(const QString& dir, const QString& stem, const QString& suffix)
{
    QString path = dir + stem + suffix;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir + stem + "-" + QString::number(n) + suffix;
    return path;
}

// A compacted copy still carries the quick-find entries of deleted records
// until the index is merged; merging and vacuuming the copy (never the live
// file) lets it really shrink.
bool TidyCopy(const QString& file, QString* error)
{
    SqlConnection copy;
    if (!copy.Open(SqlConnection::MakeConnectionString(file))
        || !Schema::OptimizeIndexes(copy, error) || !copy.ExecRaw(QStringLiteral("VACUUM"))) {
        if (error->isEmpty())
            *error = copy.ErrorString();
        return false;
    }
    return true;
}

} // namespace

BackupEngine::BackupEngine(const QString& databaseFile, const QString& backupDir)
    : m_database(databaseFile), m_backupDir(backupDir), m_replace(&BackupEngine::RenameOver)
{
    if (!m_backupDir.isEmpty() && !m_backupDir.endsWith('/'))
        m_backupDir += '/';
}

bool BackupEngine::Fail(const QString& error)
{
    m_error = error;
    return false;
}

int BackupEngine::ZipLevel(int level)
{
    static const int Levels[] = {0, 1, 3, 6, 8, 9};
    return level >= 0 && level <= 5 ? Levels[level] : Levels[3];
}

bool BackupEngine::RenameOver(const QString& from, const QString& to, QString* error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = SystemError();
    return false;
}

bool BackupEngine::IsDatabaseFile(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3", 16);
}

// --- backup ----------------------------------------------------------------

bool BackupEngine::Snapshot(const QString& source, const QString& target, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    sqlite3* src = nullptr;
    sqlite3* dst = nullptr;
    auto closeBoth = [&] {
        sqlite3_close_v2(src);
        sqlite3_close_v2(dst);
    };
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &src, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("无法打开数据库：") + QString::fromUtf8(sqlite3_errmsg(src));
        closeBoth();
        return false;
    }
    if (sqlite3_open_v2(QFile::encodeName(target).constData(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        *error = QStringLiteral("无法创建备份文件：") + QString::fromUtf8(sqlite3_errmsg(dst));
        closeBoth();
        return false;
    }
    sqlite3_busy_timeout(src, 5000);
    sqlite3_backup* backup = sqlite3_backup_init(dst, "main", src, "main");
    if (!backup) {
        *error = QString::fromUtf8(sqlite3_errmsg(dst));
        closeBoth();
        return false;
    }
    // All pages in one step: the copy is read under one read lock, so it is
    // the state of one moment however the database is being written.  A
    // writer in the middle of its commit only makes us wait.
    int rc;
    for (int tries = 0;; ++tries) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || tries >= 500)
            break;
        QThread::msleep(20);
    }
    sqlite3_backup_finish(backup);
    const bool ok = rc == SQLITE_DONE;
    if (!ok)
        *error = QStringLiteral("无法读取数据库：") + QString::fromUtf8(sqlite3_errstr(rc));
    closeBoth();
    return ok;
}

bool BackupEngine::Pack(const QString& file, const QString& entryName, const QString& archivePath, int level,
                        QString* error)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取文件：") + file;
        return false;
    }
    std::unique_ptr<archive, ArchiveWriteDeleter> a(archive_write_new());
    archive_write_set_format_zip(a.get());
    const QByteArray option = "zip:compression-level=" + QByteArray::number(ZipLevel(level));
    if (archive_write_set_options(a.get(), option.constData()) != ARCHIVE_OK ||
        archive_write_open_filename(a.get(), QFile::encodeName(archivePath).constData()) != ARCHIVE_OK) {
        *error = ArchiveError(a.get());
        return false;
    }
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    archive_entry_set_pathname_utf8(entry.get(), entryName.toUtf8().constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), in.size());
    archive_entry_set_mtime(entry.get(), QFileInfo(file).lastModified().toSecsSinceEpoch(), 0);
    if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK) {
        *error = ArchiveError(a.get());
        return false;
    }
    QByteArray buffer;
    while (!(buffer = in.read(ChunkSize)).isEmpty()) {
        if (archive_write_data(a.get(), buffer.constData(), size_t(buffer.size())) != buffer.size()) {
            *error = ArchiveError(a.get());
            return false;
        }
    }
    if (in.error() != QFile::NoError) {
        *error = QStringLiteral("无法读取文件：") + file;
        return false;
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        *error = ArchiveError(a.get());
        return false;
    }
    return true;
}

QString BackupEngine::Backup(bool compress, int level, bool automatic, const QDateTime& when)
{
    m_error.clear();
    QString error;
    if (!QFileInfo::exists(m_database)) {
        Fail(QStringLiteral("数据库文件不存在：") + m_database);
        return {};
    }
    if (!BackupFolder::Ensure(m_backupDir, &error)) {
        Fail(error);
        return {};
    }
    QTemporaryFile snapshot(m_backupDir + ".snapshot-XXXXXX");
    QTemporaryFile packed(m_backupDir + ".pack-XXXXXX");
    if (!snapshot.open() || (compress && !packed.open())) {
        Fail(QStringLiteral("无法在备份文件夹中写入文件：") + m_backupDir);
        return {};
    }
    snapshot.close();
    packed.close();
    if (!Snapshot(m_database, snapshot.fileName(), &error)) {
        Fail(error);
        return {};
    }
    // The name is chosen last and taken without replacing anything; should
    // another backup take it first, the next free name is used.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString stem = BackupFolder::NewStem(m_backupDir, when, automatic);
        const QString target = m_backupDir + stem + (compress ? ".Jbk" : ".zbk");
        if (compress && !Pack(snapshot.fileName(), stem + ".zbk", packed.fileName(), level, &error)) {
            Fail(QStringLiteral("无法写入压缩文档：") + error);
            return {};
        }
        // A backup holds what the database holds: it gets the database's
        // access rights, not the owner-only ones of a temporary file.
        const QString finished = compress ? packed.fileName() : snapshot.fileName();
        QFile::setPermissions(finished, QFileInfo(m_database).permissions());
        if (BackupFolder::TakeName(finished, target))
            return target;
        if (errno != EEXIST) {
            Fail(QStringLiteral("无法保存备份文件 %1：%2").arg(target, SystemError()));
            return {};
        }
    }
    Fail(QStringLiteral("无法为备份文件找到空闲的名字"));
    return {};
}

// --- restore ----------------------------------------------------------------

bool BackupEngine::Unpack(const QString& archivePath, QString* entryName, const QString& target, QString* error)
{
    std::unique_ptr<archive, ArchiveReadDeleter> a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_all(a.get());
    if (archive_read_open_filename(a.get(), QFile::encodeName(archivePath).constData(), 1 << 16) != ARCHIVE_OK) {
        *error = QStringLiteral("无法识别备份文件：") + ArchiveError(a.get());
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("无法写入文件：") + target;
        return false;
    }
    int files = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN) {
            *error = QStringLiteral("备份文件已损坏：") + ArchiveError(a.get());
            return false;
        }
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const QString name = utf8 ? QString::fromUtf8(utf8) : QString::fromLocal8Bit(archive_entry_pathname(entry));
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        if (files > 0) {
            *error = QStringLiteral("备份文件中有不止一个文件：") + name;
            return false;
        }
        if (archive_entry_filetype(entry) != AE_IFREG) {
            *error = QStringLiteral("备份文件中的条目不是普通文件：") + name;
            return false;
        }
        if (!IsSafeEntryName(name)) {
            *error = QStringLiteral("备份文件中的条目带有不安全的路径，已拒绝：") + name;
            return false;
        }
        QByteArray buffer(ChunkSize, Qt::Uninitialized);
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), size_t(buffer.size()));
            if (n == 0)
                break;
            if (n < 0) {
                *error = QStringLiteral("备份文件已损坏：") + ArchiveError(a.get());
                return false;
            }
            if (out.write(buffer.constData(), n) != n) {
                *error = QStringLiteral("无法写入文件：") + target;
                return false;
            }
        }
        *entryName = name;
        ++files;
    }
    if (files == 0) {
        *error = QStringLiteral("备份文件中没有数据库");
        return false;
    }
    if (!out.flush()) {
        *error = QStringLiteral("无法写入文件：") + target;
        return false;
    }
    return true;
}

bool BackupEngine::VerifyDatabase(const QString& file, QString* error)
{
    SqlConnection connection;
    if (!connection.Open(SqlConnection::MakeConnectionString(file))) {
        *error = QStringLiteral("不是数据库文件：") + connection.ErrorString();
        return false;
    }
    {
        SqlStatement check(&connection, "PRAGMA integrity_check");
        const QString first = check.Step() ? check.ColumnValue(0).toString() : check.ErrorString();
        if (first != QLatin1String("ok")) {
            *error = QStringLiteral("数据库完整性检查未通过：") + first;
            return false;
        }
    }
    return Schema::AcceptRestored(connection, error);
}

bool BackupEngine::Restore(const QString& backupFile, ConnectionHost& host)
{
    m_error.clear();
    m_kept.clear();
    if (!QFileInfo(backupFile).isFile())
        return Fail(QStringLiteral("备份文件不存在：") + backupFile);
    const QString refused = PgBackup::WrongEngine(backupFile, false);
    if (!refused.isEmpty())
        return Fail(refused);
    const QString dataDir = QFileInfo(m_database).absolutePath() + "/";
    QTemporaryFile restored(dataDir + "restore-XXXXXX.tmp");
    if (!restored.open())
        return Fail(QStringLiteral("无法在数据文件夹中写入文件：") + dataDir);
    restored.close();
    QString error, entryName;
    // The kind is decided by the content, not by the name.
    const bool ok = IsDatabaseFile(backupFile) ? CopyFile(backupFile, restored.fileName(), &error)
                                                : Unpack(backupFile, &entryName, restored.fileName(), &error);
    if (!ok)
        return Fail(error);
    // Objects of others are refused in words of their own (the names are in
    // the command log).
    if (!VerifyDatabase(restored.fileName(), &error))
        return Fail(error == Schema::ForeignObjectsRefusal()
                        ? error
                        : QStringLiteral("备份文件 %1 不能还原：%2").arg(QFileInfo(backupFile).fileName(), error));
    return SwapIn(restored.fileName(), host, true);
}

// --- replacing the database --------------------------------------------------

bool BackupEngine::SwapIn(const QString& verified, ConnectionHost& host, bool keepCurrent)
{
    auto reconnect = [&](const QString& error) {
        QString connectError;
        if (!host.Connect(&connectError))
            return Fail(error + QStringLiteral("；重新连接数据库失败：") + connectError);
        return Fail(error);
    };
    const QByteArray database = QFile::encodeName(m_database);
    // A second name for the current database, so that it can be put back
    // should the replaced one not open.  For a restore it is the kept copy in
    // the backup folder; for a compaction a link beside the database.
    const QString previous = keepCurrent ? DedupedPath(m_backupDir, "before-restore-" +
                                                       QDateTime::currentDateTime().toString("yyyy-MM-dd-HH-mm-ss"), ".zbk")
                                         : QFileInfo(m_database).absolutePath() + "/_afs.old";
    QFile::remove(previous);
    QString error;
    if (keepCurrent && !BackupFolder::Ensure(m_backupDir, &error))
        return Fail(error);
    // The new file takes the access rights of the one it replaces (temporary
    // files are made private).
    QFile::setPermissions(verified, QFileInfo(m_database).permissions());

    host.Disconnect();
    for (const char* suffix : {"-journal", "-wal"})
        if (QFileInfo::exists(m_database + suffix))
            return reconnect(QStringLiteral("数据库还有未完成的日志文件：") + m_database + suffix);
    // With the connection closed the file is at rest: a hard link keeps it as
    // it is; across file systems it is copied instead.
    bool havePrevious = ::link(database.constData(), QFile::encodeName(previous).constData()) == 0;
    if (!havePrevious && keepCurrent) {
        havePrevious = Snapshot(m_database, previous, &error);
        if (!havePrevious) {
            QFile::remove(previous);
            return reconnect(QStringLiteral("无法保留当前的数据库：") + error);
        }
    }
    if (!m_replace(verified, m_database, &error)) {
        QFile::remove(previous);
        return reconnect(QStringLiteral("无法替换数据库文件：") + error);
    }
    QString connectError;
    if (host.Connect(&connectError)) {
        if (keepCurrent)
            m_kept = previous;
        else
            QFile::remove(previous);
        return true;
    }
    // Should never happen with a verified file: put the previous one back.
    QString putBack;
    if (havePrevious) {
        const QString copy = QFileInfo(m_database).absolutePath() + "/_afs.back";
        QFile::remove(copy);
        if (keepCurrent ? !QFile::copy(previous, copy) || !RenameOver(copy, m_database, &putBack)
                        : !RenameOver(previous, m_database, &putBack))
            putBack = QStringLiteral("；原数据库无法放回：") + putBack;
    }
    return reconnect(QStringLiteral("无法打开替换后的数据库：") + connectError + putBack);
}

// --- compaction ---------------------------------------------------------------

bool BackupEngine::Compact(ConnectionHost& host)
{
    m_error.clear();
    if (!QFileInfo(m_database).isFile())
        return Fail(QStringLiteral("无法获得数据库来源：") + m_database);
    const QString compacted = QFileInfo(m_database).absolutePath() + "/_afs.da";
    // A copy left over from an interrupted run would make VACUUM INTO fail.
    QFile::remove(compacted);
    QFile::remove(compacted + "-journal");
    {
        SqlConnection connection;
        if (!connection.Open(SqlConnection::MakeConnectionString(m_database)))
            return Fail(connection.ErrorString());
        SqlStatement vacuum(&connection, "VACUUM INTO ?");
        if (!vacuum.Exec({compacted})) {
            const QString error = vacuum.ErrorString();
            QFile::remove(compacted);
            return Fail(QStringLiteral("压缩失败：") + error);
        }
    }
    QString error;
    if (!TidyCopy(compacted, &error) || !VerifyDatabase(compacted, &error) || !SwapIn(compacted, host, false)) {
        QFile::remove(compacted);
        return m_error.isEmpty() ? Fail(error) : false;
    }
    return true;
}
