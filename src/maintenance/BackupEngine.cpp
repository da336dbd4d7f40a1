#include "BackupEngine.h"

#include "BackupFolder.h"
#include "CommandLog.h"
#include "DatabaseLock.h"
#include "Leftovers.h"
#include "PgBackup.h"
#include "Schema.h"
#include "SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QScopeGuard>
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

// Free bytes of the file system holding `dir`; -1 when unknown.
qint64 FreeSpace(const QString& dir)
{
    const QStorageInfo storage(dir);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

QString SqliteFailure(sqlite3* db, int rc)
{
    if ((rc & 0xff) == SQLITE_FULL)
        return QStringLiteral("磁盘空间不足");
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

} // namespace

BackupEngine::BackupEngine(const QString& databaseFile, const QString& backupDir)
    : m_database(databaseFile), m_backupDir(backupDir), m_replace(&BackupEngine::CopyIntoLive),
      m_compact(&BackupEngine::VacuumInPlace)
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
    RemoveLeftovers();
    // Both files stay open and marked while this run writes them: a
    // clean-up by another program (or a later run) leaves them alone, and
    // once this process is gone they count as left over.
    QTemporaryFile snapshot(m_backupDir + ".snapshot-XXXXXX");
    QTemporaryFile packed(m_backupDir + ".pack-XXXXXX");
    if (!snapshot.open() || (compress && !packed.open())) {
        Fail(QStringLiteral("无法在备份文件夹中写入文件：") + m_backupDir);
        return {};
    }
    Leftovers::MarkInUse(snapshot);
    if (compress)
        Leftovers::MarkInUse(packed);
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

bool BackupEngine::Unpack(const QString& archivePath, QString* entryName, const QString& target, QString* error,
                          qint64 maxBytes)
{
    std::unique_ptr<archive, ArchiveReadDeleter> a(archive_read_new());
    // Only the formats a backup comes in, read by the library itself: no
    // format that pulls in other files (mtree), no external filter program.
    archive_read_support_format_zip(a.get());
    archive_read_support_format_7zip(a.get());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    archive_read_support_format_empty(a.get());  // an empty file: "no database in it"
    if (archive_read_open_filename(a.get(), QFile::encodeName(archivePath).constData(), 1 << 16) != ARCHIVE_OK) {
        *error = QStringLiteral("无法识别备份文件（只能还原 zip、7z 或 rar 压缩文档）：") + ArchiveError(a.get());
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("无法写入文件：") + target;
        return false;
    }
    // Whatever went wrong, nothing half-written stays behind.
    bool done = false;
    auto discard = qScopeGuard([&] {
        if (!done)
            out.resize(0);
    });
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
        // No more than the entry says it holds, nor than the caller allows.
        qint64 limit = maxBytes;
        if (archive_entry_size_is_set(entry))
            limit = limit < 0 ? archive_entry_size(entry) : std::min<qint64>(limit, archive_entry_size(entry));
        QByteArray buffer(ChunkSize, Qt::Uninitialized);
        qint64 written = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), size_t(buffer.size()));
            if (n == 0)
                break;
            if (n < 0) {
                *error = QStringLiteral("备份文件已损坏：") + ArchiveError(a.get());
                return false;
            }
            written += n;
            if (limit >= 0 && written > limit) {
                *error = TooLargeText();
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
    done = true;
    return true;
}

QString BackupEngine::TooLargeText()
{
    return QStringLiteral("备份文件解压后过大，可能已损坏。");
}

qint64 BackupEngine::UnpackLimit() const
{
    constexpr qint64 MB = 1024 * 1024;
    const qint64 fourTimes = 4 * QFileInfo(m_database).size() + 1024 * MB;
    const qint64 free = FreeSpace(QFileInfo(m_database).absolutePath());
    return free < 0 ? fourTimes : std::max<qint64>(0, std::min(fourTimes, free - 100 * MB));
}

void BackupEngine::RemoveLeftovers() const
{
    const QStringList removed = Leftovers::Remove(m_backupDir, QFileInfo(m_database).absolutePath());
    if (!removed.isEmpty())
        WriteLogLine(QStringLiteral("已删除上次中断留下的临时文件：") + removed.join(QStringLiteral("，")));
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
    // Refused at once while another program works on the database, and no
    // other program can start on it until this is done.
    ExclusiveDatabaseUse alone(m_database);
    if (!alone.Acquired())
        return Fail(alone.Error());
    RemoveLeftovers();
    const QString dataDir = QFileInfo(m_database).absolutePath() + "/";
    QTemporaryFile restored(dataDir + "restore-XXXXXX.tmp");
    if (!restored.open())
        return Fail(QStringLiteral("无法在数据文件夹中写入文件：") + dataDir);
    Leftovers::MarkInUse(restored);
    QString error, entryName;
    // The kind is decided by the content, not by the name.
    const bool ok = IsDatabaseFile(backupFile)
                        ? CopyFile(backupFile, restored.fileName(), &error)
                        : Unpack(backupFile, &entryName, restored.fileName(), &error, UnpackLimit());
    if (!ok)
        return Fail(error);
    // Objects of others are refused in words of their own (the names are in
    // the command log).
    if (!VerifyDatabase(restored.fileName(), &error))
        return Fail(error == Schema::ForeignObjectsRefusal()
                        ? error
                        : QStringLiteral("备份文件 %1 不能还原：%2").arg(QFileInfo(backupFile).fileName(), error));

    // The current database is kept beside the backups, as it is now.
    if (!BackupFolder::Ensure(m_backupDir, &error))
        return Fail(error);
    const QString previous = DedupedPath(
        m_backupDir, "before-restore-" + QDateTime::currentDateTime().toString("yyyy-MM-dd-HH-mm-ss"), ".zbk");
    if (!Snapshot(m_database, previous, &error)) {
        QFile::remove(previous);
        return Fail(QStringLiteral("无法保留当前的数据库：") + error);
    }
    QFile::setPermissions(previous, QFileInfo(m_database).permissions());
    // The live database takes the verified one's pages; its rollback
    // journal needs room for the pages it replaces.
    const qint64 current = QFileInfo(m_database).size(), incoming = QFileInfo(restored.fileName()).size();
    const qint64 free = FreeSpace(dataDir);
    if (free >= 0 && free < current + std::max<qint64>(0, incoming - current)) {
        QFile::remove(previous);
        return Fail(QStringLiteral("磁盘空间不足：还原需要数据文件夹中有 %1 MB 空闲空间")
                        .arg((current + std::max<qint64>(0, incoming - current)) / 1048576 + 1));
    }
    if (!m_replace(restored.fileName(), m_database, &error)) {
        QFile::remove(previous);
        return Fail(QStringLiteral("无法还原数据库：") + error);
    }
    m_kept = previous;
    const QStringList pruned = Leftovers::PruneKeptCopies(m_backupDir);
    if (!pruned.isEmpty())
        WriteLogLine(QStringLiteral("已删除较早的还原前数据库副本：") + pruned.join(QStringLiteral("，")));
    return Refresh(host, QStringLiteral("数据库已还原"));
}

// --- rewriting the live database ------------------------------------------------

bool BackupEngine::CopyIntoLive(const QString& from, const QString& to, QString* error)
{
    sqlite3* src = nullptr;
    sqlite3* dst = nullptr;
    auto closeBoth = qScopeGuard([&] {
        sqlite3_close_v2(src);
        sqlite3_close_v2(dst);
    });
    if (sqlite3_open_v2(QFile::encodeName(from).constData(), &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("无法打开已检查的备份：") + QString::fromUtf8(sqlite3_errmsg(src));
        return false;
    }
    if (sqlite3_open_v2(QFile::encodeName(to).constData(), &dst, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("无法打开数据库：") + QString::fromUtf8(sqlite3_errmsg(dst));
        return false;
    }
    sqlite3_busy_timeout(dst, 5000);
    sqlite3_extended_result_codes(dst, 1);
    sqlite3_backup* backup = sqlite3_backup_init(dst, "main", src, "main");
    if (!backup) {
        *error = SqliteFailure(dst, sqlite3_extended_errcode(dst));
        return false;
    }
    // Every page in one step: one write transaction on the live database,
    // journaled, so that the other connections see either the old database
    // or the restored one, never a mixture, and a failure rolls it back.
    int rc;
    for (int tries = 0;; ++tries) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || tries >= 500)
            break;
        QThread::msleep(20);
    }
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        return true;
    *error = (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                 ? QStringLiteral("数据库正被其他连接写入，无法还原")
                 : SqliteFailure(nullptr, rc);
    return false;
}

bool BackupEngine::VacuumInPlace(const QString& database, QString* error)
{
    SqlConnection connection;
    if (!connection.Open(SqlConnection::MakeConnectionString(database))) {
        *error = connection.ErrorString();
        return false;
    }
    // The quick-find index keeps the entries of deleted records until it is
    // merged; merged first, VACUUM really gives their room back.
    if (!Schema::OptimizeIndexes(connection, error))
        return false;
    if (!connection.ExecRaw(QStringLiteral("VACUUM"))) {
        *error = (connection.ErrorCode() & 0xff) == SQLITE_FULL ? QStringLiteral("磁盘空间不足")
                                                                 : connection.ErrorString();
        return false;
    }
    return true;
}

bool BackupEngine::Refresh(ConnectionHost& host, const QString& done)
{
    // The program's connection never closed; opening it again re-reads what
    // the data module keeps (lookups, the usage-log window) from the new data.
    QString connectError;
    if (host.Connect(&connectError))
        return true;
    return Fail(done + QStringLiteral("；重新连接数据库失败：") + connectError);
}

// --- compaction ---------------------------------------------------------------

bool BackupEngine::Compact(ConnectionHost& host)
{
    m_error.clear();
    if (!QFileInfo(m_database).isFile())
        return Fail(QStringLiteral("无法获得数据库来源：") + m_database);
    ExclusiveDatabaseUse alone(m_database);
    if (!alone.Acquired())
        return Fail(alone.Error());
    RemoveLeftovers();
    // VACUUM writes the database anew into a temporary file and copies it
    // back under a rollback journal as large as the database.
    const qint64 size = QFileInfo(m_database).size();
    const QString dataDir = QFileInfo(m_database).absolutePath();
    const QStorageInfo data(dataDir), temp(QDir::tempPath());
    const qint64 needed = data.isValid() && temp.isValid() && data.device() == temp.device() ? 2 * size : size;
    if ((data.isValid() && data.bytesAvailable() < needed) || (temp.isValid() && temp.bytesAvailable() < size))
        return Fail(QStringLiteral("磁盘空间不足：压缩需要 %1 MB 空闲空间").arg(needed / 1048576 + 1));
    QString error;
    if (!m_compact(m_database, &error))
        return Fail(QStringLiteral("压缩失败：") + error);
    return Refresh(host, QStringLiteral("数据库已压缩"));
}
