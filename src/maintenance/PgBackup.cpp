#include "PgBackup.h"

#include "BackupEngine.h"
#include "BackupFolder.h"
#include "CommandLog.h"
#include "PgTools.h"
#include "Schema.h"
#include "SqlConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>

namespace {

QByteArray FileStart(const QString& file, int length)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.read(length) : QByteArray();
}

// The archives of the SQLite desks: a zip, an older 7z, or a plain copy.
bool IsSqliteBackup(const QString& file)
{
    const QByteArray start = FileStart(file, 16);
    return start.startsWith("PK\x03\x04") || start.startsWith(QByteArray("7z\xBC\xAF\x27\x1C", 6)) ||
           BackupEngine::IsDatabaseFile(file);
}

// A database made for one restore, dropped again when this goes out of
// scope, whatever happened meanwhile.  Its name is ours alone (process and
// a random part), so two desks restoring at once do not meet.
class ScratchDatabase
{
public:
    ScratchDatabase(SqlConnection& admin, const PgServer& server) : m_admin(admin), m_server(server) {}
    ~ScratchDatabase() { Drop(); }

    bool Create(QString* error)
    {
        const QString name = QStringLiteral("%1%2_%3")
                                 .arg(QLatin1String(PgBackup::ScratchPrefix))
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
        // template0: nothing of the server's own template sneaks into the check.
        if (!m_admin.ExecRaw("CREATE DATABASE " + name + " TEMPLATE template0")) {
            *error = QStringLiteral("无法建立用于检查备份的临时数据库（数据库用户需要 CREATEDB 权限）：") +
                     m_admin.ErrorString();
            return false;
        }
        m_server.name = name;
        m_created = true;
        return true;
    }

    void Drop()
    {
        if (!m_created)
            return;
        m_created = false;
        if (!m_admin.ExecRaw("DROP DATABASE IF EXISTS " + m_server.name + " WITH (FORCE)"))
            WriteLogLine(
                QStringLiteral("无法删除临时数据库 %1：%2").arg(m_server.name, m_admin.ErrorString()));
    }

    const PgServer& Server() const { return m_server; }

private:
    SqlConnection& m_admin;
    PgServer m_server;
    bool m_created = false;
};

QString UniquePath(const QString& dir, const QString& stem, const QString& suffix)
{
    QString path = dir + stem + suffix;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir + stem + "-" + QString::number(n) + suffix;
    return path;
}

} // namespace

PgBackup::PgBackup(const PgServer& server, const QString& backupDir)
    : m_server(server), m_backupDir(backupDir)
{
    if (!m_backupDir.isEmpty() && !m_backupDir.endsWith('/'))
        m_backupDir += '/';
}

bool PgBackup::Fail(const QString& error)
{
    m_error = error;
    return false;
}

int PgBackup::DumpLevel(bool compress, int level)
{
    return compress ? BackupEngine::ZipLevel(level) : 0;
}

bool PgBackup::IsServerArchive(const QString& file)
{
    return FileStart(file, 5) == "PGDMP";
}

QString PgBackup::WrongEngine(const QString& file, bool onServer)
{
    const QString name = QFileInfo(file).fileName();
    if (!onServer)
        return IsServerArchive(file)
                   ? QStringLiteral("备份文件 %1 是数据库服务器（PostgreSQL）的备份，不能还原到单机数据库。")
                         .arg(name)
                   : QString();
    if (IsServerArchive(file))
        return {};
    if (IsSqliteBackup(file))
        return QStringLiteral("备份文件 %1 是单机数据库（SQLite）的备份，不能还原到数据库服务器。").arg(name);
    return QStringLiteral("备份文件 %1 不是数据库服务器的备份文件。").arg(name);
}

QString PgBackup::MissingTools(const PgServer& server)
{
    SqlConnection connection;
    // An unreachable server is not a question of tools: the operation
    // itself reports it.
    const int major = connection.OpenServer(server) ? PgTools::ServerMajor(connection) : 0;
    QString problem;
    for (const char* tool : {"pg_dump", "pg_restore"})
        if (PgTools::Find(QLatin1String(tool), major, &problem).isEmpty())
            return problem;
    return {};
}

QString PgBackup::FindTool(const QString& tool, QString* error)
{
    if (m_serverMajor < 0) {
        SqlConnection connection;
        if (!connection.OpenServer(m_server)) {
            *error = QStringLiteral("无法连接数据库服务器：") + connection.ErrorString();
            return {};
        }
        m_serverMajor = PgTools::ServerMajor(connection);
    }
    return PgTools::Find(tool, m_serverMajor, error);
}

bool PgBackup::Dump(const QString& pgDump, const PgServer& from, const QString& file, int level,
                    QString* error)
{
    QStringList arguments = PgTools::ConnectionArguments(from);
    arguments << QStringLiteral("--format=custom") << QStringLiteral("--compress=%1").arg(level)
              << QStringLiteral("--file=") + file << QStringLiteral("--dbname=") + from.name;
    return PgTools::Run(pgDump, arguments, from.connectTimeout, error);
}

bool PgBackup::RestoreInto(const QString& pgRestore, const PgServer& to, const QString& file, bool replace,
                           QString* error)
{
    QStringList arguments = PgTools::ConnectionArguments(to);
    // The restoring user owns what it makes; comments are left out because
    // only an extension's owner may set the one pg_dump writes for it.
    arguments << QStringLiteral("--dbname=") + to.name << QStringLiteral("--no-owner")
              << QStringLiteral("--no-comments") << QStringLiteral("--exit-on-error");
    QTemporaryFile contents(QDir::tempPath() + "/weibao-restore-XXXXXX.list");
    if (replace) {
        // The old tables are dropped and the archive's made in one
        // transaction, all or nothing.  The extensions (citext, pg_trgm) stay
        // as they are: the database has them already, and they usually
        // belong to the server's administrator, whom dropping them needs.
        QByteArray list;
        if (!PgTools::Run(pgRestore, {QStringLiteral("--list"), file}, to.connectTimeout, error, &list))
            return false;
        QByteArray kept;
        static const QRegularExpression extension(QStringLiteral("\\bEXTENSION\\b"));
        for (const QByteArray& line : list.split('\n'))
            if (!QString::fromUtf8(line).contains(extension))
                kept += line + '\n';
        if (!contents.open() || contents.write(kept) != kept.size() || !contents.flush()) {
            *error = QStringLiteral("无法写入临时文件：") + contents.fileName();
            return false;
        }
        arguments << QStringLiteral("--use-list=") + contents.fileName() << QStringLiteral("--clean")
                  << QStringLiteral("--if-exists") << QStringLiteral("--single-transaction");
    }
    arguments << file;
    return PgTools::Run(pgRestore, arguments, to.connectTimeout, error);
}

// --- backup ----------------------------------------------------------------

QString PgBackup::Backup(bool compress, int level, bool automatic, const QDateTime& when)
{
    m_error.clear();
    QString error;
    if (!BackupFolder::Ensure(m_backupDir, &error)) {
        Fail(error);
        return {};
    }
    const QString pgDump = FindTool(QStringLiteral("pg_dump"), &error);
    if (pgDump.isEmpty()) {
        Fail(error);
        return {};
    }
    QTemporaryFile dump(m_backupDir + ".pgdump-XXXXXX");
    if (!dump.open()) {
        Fail(QStringLiteral("无法在备份文件夹中写入文件：") + m_backupDir);
        return {};
    }
    dump.close();
    if (!Dump(pgDump, m_server, dump.fileName(), DumpLevel(compress, level), &error)) {
        Fail(QStringLiteral("无法备份数据库：") + error);
        return {};
    }
    // The name is chosen last and taken without replacing anything.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = m_backupDir + BackupFolder::NewStem(m_backupDir, when, automatic) + Suffix;
        if (BackupFolder::TakeName(dump.fileName(), target))
            return target;
        if (errno != EEXIST) {
            Fail(QStringLiteral("无法保存备份文件 %1：%2")
                     .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
            return {};
        }
    }
    Fail(QStringLiteral("无法为备份文件找到空闲的名字"));
    return {};
}

// --- restore ----------------------------------------------------------------

bool PgBackup::Verify(const PgServer& database, QString* error)
{
    SqlConnection connection;
    if (!connection.OpenServer(database)) {
        *error = connection.ErrorString();
        return false;
    }
    return Schema::AcceptRestored(connection, error);
}

bool PgBackup::Restore(const QString& backupFile, ConnectionHost& host)
{
    m_error.clear();
    m_kept.clear();
    if (!QFileInfo(backupFile).isFile())
        return Fail(QStringLiteral("备份文件不存在：") + backupFile);
    const QString refused = WrongEngine(backupFile, true);
    if (!refused.isEmpty())
        return Fail(refused);
    QString error;
    const QString pgDump = FindTool(QStringLiteral("pg_dump"), &error);
    const QString pgRestore = pgDump.isEmpty() ? QString() : FindTool(QStringLiteral("pg_restore"), &error);
    if (pgRestore.isEmpty())
        return Fail(error);
    if (!BackupFolder::Ensure(m_backupDir, &error))
        return Fail(error);
    SqlConnection admin;
    if (!admin.OpenServer(m_server))
        return Fail(QStringLiteral("无法连接数据库服务器：") + admin.ErrorString());

    // The archive proves itself in a database of its own.
    const QString refusal = QStringLiteral("备份文件 %1 不能还原：").arg(QFileInfo(backupFile).fileName());
    QTemporaryFile verified(m_backupDir + ".restore-XXXXXX");
    if (!verified.open())
        return Fail(QStringLiteral("无法在备份文件夹中写入文件：") + m_backupDir);
    verified.close();
    {
        ScratchDatabase scratch(admin, m_server);
        if (!scratch.Create(&error))
            return Fail(error);
        if (!RestoreInto(pgRestore, scratch.Server(), backupFile, false, &error) ||
            !Verify(scratch.Server(), &error))
            return Fail(refusal + error);
        // What is restored is exactly what was checked (and upgraded).
        if (!Dump(pgDump, scratch.Server(), verified.fileName(), 0, &error))
            return Fail(refusal + error);
    }

    // The current database is kept beside the backups before it is replaced.
    const QString kept =
        UniquePath(m_backupDir,
                   "before-restore-" + QDateTime::currentDateTime().toString("yyyy-MM-dd-HH-mm-ss"), Suffix);
    {
        QTemporaryFile keeping(m_backupDir + ".pgdump-XXXXXX");
        if (!keeping.open())
            return Fail(QStringLiteral("无法在备份文件夹中写入文件：") + m_backupDir);
        keeping.close();
        if (!Dump(pgDump, m_server, keeping.fileName(), DumpLevel(true, 3), &error) ||
            !BackupFolder::TakeName(keeping.fileName(), kept))
            return Fail(QStringLiteral("无法保留当前的数据库：") + (error.isEmpty() ? kept : error));
    }

    // pg_restore waits for locks without limit (its archives switch the
    // lock timeout off): the tables must be free now, or the restore stops
    // here after the lock timeout, before anything was replaced.
    if (!TablesFree(admin, &error)) {
        QFile::remove(kept);
        return Fail(error);
    }
    host.Disconnect();
    const bool replaced = RestoreInto(pgRestore, m_server, verified.fileName(), true, &error);
    QString connectError;
    const bool connected = host.Connect(&connectError);
    const QString reconnectFailure =
        connected ? QString() : QStringLiteral("；重新连接数据库失败：") + connectError;
    if (!replaced) {
        // Rolled back: the database is as it was, the kept copy not needed.
        QFile::remove(kept);
        return Fail(QStringLiteral("无法还原数据库：") + error + reconnectFailure);
    }
    m_kept = kept;
    if (!connected)
        return Fail(QStringLiteral("数据库已还原") + reconnectFailure);
    return true;
}

bool PgBackup::TablesFree(SqlConnection& connection, QString* error)
{
    QStringList tables;
    {
        SqlStatement list(&connection, "select quote_ident(tablename) from pg_tables "
                                       "where schemaname = current_schema() order by tablename");
        while (list.Step())
            tables << list.ColumnValue(0).toString();
    }
    if (tables.isEmpty())
        return true;
    // The locks are tried in short rounds, each taken and given back at once
    // in one round trip, so that 取消 stops the wait between two rounds.
    const int timeout = PgTools::LockTimeout(), round = qMin(timeout, 500);
    QElapsedTimer waited;
    waited.start();
    QString why;
    for (;;) {
        if (PgTools::Cancelled()) {
            *error = PgTools::CancelledText();
            return false;
        }
        const bool free = connection.ExecRaw(
            QStringLiteral(
                "BEGIN; SET LOCAL lock_timeout = %1; LOCK TABLE %2 IN ACCESS EXCLUSIVE MODE; ROLLBACK")
                .arg(round)
                .arg(tables.join(", ")));
        if (free)
            return true;
        why = connection.ErrorString();
        connection.ExecRaw(QStringLiteral("ROLLBACK"));
        if (!why.contains(QLatin1String("lock timeout")) || waited.elapsed() + round > timeout)
            break;
    }
    *error = why.contains(QLatin1String("lock timeout"))
                 ? QStringLiteral("其他电脑正在使用数据库，等待 %1 秒后仍未能取得数据表的锁，请稍后再试。")
                       .arg(qMax(1, timeout / 1000))
                 : QStringLiteral("无法锁定数据表：") + why;
    return false;
}

// --- compaction ---------------------------------------------------------------

bool PgBackup::Compact()
{
    m_error.clear();
    SqlConnection connection;
    if (!connection.OpenServer(m_server))
        return Fail(QStringLiteral("无法连接数据库服务器：") + connection.ErrorString());
    QStringList tables;
    {
        SqlStatement list(&connection, "select quote_ident(tablename) from pg_tables "
                                       "where schemaname = current_schema() order by tablename");
        while (list.Step())
            tables << list.ColumnValue(0).toString();
        if (!list.IsValid() || list.Failed())
            return Fail(QStringLiteral("压缩失败：") + list.ErrorString());
    }
    // A table another desk keeps locked makes the compaction fail after a
    // while instead of waiting for ever.
    if (!connection.ExecRaw(QStringLiteral("SET lock_timeout = %1").arg(PgTools::LockTimeout())))
        return Fail(QStringLiteral("压缩失败：") + connection.ErrorString());
    // VACUUM runs outside a transaction, one table at a time: each table is
    // locked only while it is rewritten.
    for (const QString& table : tables)
        if (!connection.ExecRaw("VACUUM (FULL, ANALYZE) " + table))
            return Fail(QStringLiteral("压缩失败：") + connection.ErrorString());
    return true;
}
