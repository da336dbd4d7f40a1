#include "WaitPas.h"

#include "BackupEngine.h"
#include "BackupFolder.h"
#include "CommandLog.h"
#include "DataAccess.h"
#include "DataModuleHost.h"
#include "PgBackup.h"
#include "Settings.h"

#include "AppDir.h"

WaitPas::WaitPas(const QString& fileName, Operation operation, int compress, int level, QObject* parent)
    : QThread(parent), m_fileName(fileName), m_database(GetAppDir() + "data/data.mdb"), m_operation(operation),
      m_compress(compress), m_level(level), m_onServer(Settings::DatabaseIsServer()),
      m_server(Settings::DatabaseServer())
{
}

void WaitPas::run()
{
    m_result = false;
    switch (m_operation) {
    case BackUp:
        m_result = BackUpFile();
        break;
    case Restore:
        m_result = RestoreFile();
        break;
    case Compact:
        m_result = CompactFile();
        break;
    }
}

bool WaitPas::BackUpFile()
{
    emit ShowStatus(QStringLiteral("正在备份数据库，请稍候……"));
    if (m_onServer) {
        PgBackup engine(m_server, m_fileName);
        m_made = engine.Backup(m_compress == 1, m_level);
        m_error = engine.Error();
    } else {
        BackupEngine engine(m_database, m_fileName);
        m_made = engine.Backup(m_compress == 1, m_level);
        m_error = engine.Error();
    }
    if (m_made.isEmpty()) {
        WriteLogLine(QStringLiteral("没有备份成功：") + m_error);
        return false;
    }
    return true;
}

bool WaitPas::RestoreFile()
{
    emit ShowStatus(QStringLiteral("正在还原数据库，请稍候……"));
    RetryingDataModuleHost host;
    bool restored;
    if (m_onServer) {
        PgBackup engine(m_server, BackupFolder::Path());
        restored = engine.Restore(m_fileName, host);
        m_error = engine.Error();
        m_made = engine.KeptFile();
    } else {
        BackupEngine engine(m_database, BackupFolder::Path());
        restored = engine.Restore(m_fileName, host);
        m_error = engine.Error();
        m_made = engine.KeptFile();
    }
    if (!restored) {
        WriteLogLine(QStringLiteral("没有还原成功：") + m_error);
        return false;
    }
    WriteLogLine(QStringLiteral("已还原数据库：") + m_fileName + QStringLiteral("，原数据库保存为 ") + m_made);
    return true;
}

bool WaitPas::CompactFile()
{
    emit ShowStatus(QStringLiteral("正在压缩数据库，请稍候……"));
    bool compacted;
    if (m_onServer) {
        PgBackup engine(m_server, BackupFolder::Path());
        compacted = engine.Compact();
        m_error = engine.Error();
    } else {
        BackupEngine engine(m_database, BackupFolder::Path());
        RetryingDataModuleHost host;
        compacted = engine.Compact(host);
        m_error = engine.Error();
    }
    if (!compacted) {
        WriteLogLine(QStringLiteral("没有压缩成功：") + m_error);
        return false;
    }
    return true;
}
