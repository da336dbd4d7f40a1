#pragma once

#include "PgEngine.h"

#include <QString>
#include <QThread>

// The worker thread of the maintenance dialogs: one backup, restore or
// compaction through BackupEngine, or PgBackup when the program works on a
// PostgreSQL server.  Closing and opening the program's
// connection are handed to the main thread (DataModuleHost); the status text
// reaches the wait window through ShowStatus.
class WaitPas : public QThread
{
    Q_OBJECT
public:
    enum Operation { BackUp = 1, Restore = 2, Compact = 3 };

    // `fileName`: the backup folder (BackUp) or the backup file (Restore);
    // unused for Compact.  The database is always the configured one,
    // data/data.mdb below the program folder.  `compress` 1 packs a backup with `level`.
    WaitPas(const QString& fileName, Operation operation, int compress, int level, QObject* parent = nullptr);

    bool Result() const { return m_result; }
    QString Error() const { return m_error; }
    // The backup made, or the copy a restore kept of the previous database.
    QString MadeFile() const { return m_made; }

signals:
    void ShowStatus(const QString& text);

protected:
    void run() override;

private:
    bool BackUpFile();
    bool RestoreFile();
    bool CompactFile();

    QString m_fileName;
    QString m_database;
    Operation m_operation;
    int m_compress;
    int m_level;
    bool m_onServer;
    PgServer m_server;
    bool m_result = false;
    QString m_error;
    QString m_made;
};
