#pragma once

#include "PgEngine.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class QThread;

// The automatic backup at the first login of a day ([BackUpSet] Auto=1): the
// same engine as a manual backup, with the packing settings of Quorel.ini,
// named "<stem>-auto", followed by pruning the automatic backups to the
// newest [BackUpSet] Keep.  It runs on a thread of its own so that the login
// never waits; a failure goes to the command log and the usage log, never to
// a box.
class AutoBackup : public QObject
{
    Q_OBJECT
public:
    // Starts the backup when it is switched on, none was made today and none
    // is running; the job, owned by `parent` and freed when done, or nullptr.
    static AutoBackup* StartIfDue(QObject* parent);

    struct Job
    {
        QString databaseFile;  // SQLite
        bool onServer = false;   // PostgreSQL: `server` instead of the file
        PgServer server;
        QString backupDir;
        bool compress = true;
        int level = 3;
        int keep = 10;
        QString copyFolder;  // a second folder the backup is copied to; empty: none
        QDateTime when = QDateTime::currentDateTime();
    };
    // The work itself, on any thread: the backup, the copy to the second
    // folder, then the pruning.  Returns the backup made, or empty with
    // `error`; a copy that failed leaves the backup made and says why in
    // `copyError`.
    static QString Run(const Job& job, QString* error, QString* copyError = nullptr);

    ~AutoBackup() override;
    // Blocks until the backup has finished (program end, tests).
    void Wait();

signals:
    // On the thread of the job's owner: the backup made, or empty and why not.
    void Finished(const QString& file, const QString& error);

private:
    explicit AutoBackup(const Job& job, QObject* parent);
    QThread* m_thread = nullptr;
};
