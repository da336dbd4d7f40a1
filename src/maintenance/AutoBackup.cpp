#include "AutoBackup.h"

#include "BackupCopy.h"
#include "BackupEngine.h"
#include "BackupFolder.h"
#include "BackupStatus.h"
#include "CommandLog.h"
#include "DataAccess.h"
#include "PgBackup.h"
#include "Settings.h"
#include "TDataM.h"

#include <QFileInfo>
#include <QThread>

#include <atomic>

namespace {
// One automatic backup at a time, even when logins follow quickly.
std::atomic<bool> g_running{false};
} // namespace

AutoBackup* AutoBackup::StartIfDue(QObject* parent)
{
    if (Settings::BackUpAuto() != 1 || g_running)
        return nullptr;
    Job job;
    job.onServer = Settings::DatabaseIsServer();
    if (job.onServer)
        job.server = Settings::DatabaseServer();
    else
        job.databaseFile = GetDatabaseFileName();
    job.backupDir = BackupFolder::Path();
    if ((!job.onServer && job.databaseFile.isEmpty()) || BackupFolder::HasAutomaticBackup(job.backupDir, job.when.date()))
        return nullptr;
    job.compress = Settings::BackUpCompressed() == 1;
    job.level = Settings::BackUpLevel();
    job.keep = Settings::BackUpKeep();
    job.copyFolder = Settings::BackUpCopyFolder();
    return new AutoBackup(job, parent);
}

QString AutoBackup::Run(const Job& job, QString* error, QString* copyError)
{
    QString made;
    if (job.onServer) {
        PgBackup engine(job.server, job.backupDir);
        made = engine.Backup(job.compress, job.level, true, job.when);
        *error = engine.Error();
    } else {
        BackupEngine engine(job.databaseFile, job.backupDir);
        made = engine.Backup(job.compress, job.level, true, job.when);
        *error = engine.Error();
    }
    if (made.isEmpty())
        return {};
    if (!job.copyFolder.isEmpty()) {
        QString why;
        if (BackupCopy::CopyTo(made, job.copyFolder, &why).isEmpty() && copyError)
            *copyError = why;
    }
    const QStringList kept = BackupFolder::PruneAutomatic(job.backupDir, std::max(job.keep, 1));
    if (!kept.isEmpty())
        WriteLogLine(QStringLiteral("无法删除旧的自动备份：") + kept.join(QStringLiteral("，")));
    return made;
}

AutoBackup::AutoBackup(const Job& job, QObject* parent) : QObject(parent)
{
    g_running = true;
    struct Result
    {
        QString made, error, copyError;
    };
    auto result = std::make_shared<Result>();
    m_thread = QThread::create([job, result] { result->made = Run(job, &result->error, &result->copyError); });
    connect(m_thread, &QThread::finished, this, [this, result] {
        const QString name = QFileInfo(result->made).fileName();
        if (result->made.isEmpty()) {
            WriteLogLine(QStringLiteral("自动备份失败：") + result->error);
            if (DataM)
                DataM->WriteUsageLog(BackupStatus::AutomaticFailedText());
        } else {
            WriteLogLine(QStringLiteral("自动备份：") + name);
            if (!result->copyError.isEmpty())
                WriteLogLine(QStringLiteral("自动备份未能复制到第二文件夹：") + result->copyError);
            if (DataM)
                DataM->WriteUsageLog(result->copyError.isEmpty() ? BackupStatus::AutomaticDoneText(name)
                                                                 : BackupStatus::AutomaticCopyFailedText(name));
        }
        BackupStatusLabel::RefreshAll();
        g_running = false;
        emit Finished(result->made, result->error);
        deleteLater();
    });
    m_thread->start(QThread::LowPriority);
}

AutoBackup::~AutoBackup()
{
    Wait();
    delete m_thread;
    g_running = false;
}

void AutoBackup::Wait()
{
    if (m_thread)
        m_thread->wait();
}
