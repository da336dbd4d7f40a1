#pragma once

#include <QObject>

class QTimer;
class SqlConnection;

// Whether another desk restored the server's database since this desk's
// login.  A restore replaces every table, so the sale table's identity on
// the server changes; the watch reads it once a minute and tells once.  On
// SQLite it never tells: a restore there waits until no other program has
// the database open.
class RestoreWatch : public QObject
{
    Q_OBJECT
public:
    explicit RestoreWatch(QObject* parent = nullptr);

    // The identity of the sale table now; 0 on SQLite or when it cannot be read.
    static qint64 TableIdentity(SqlConnection* connection);

    // What is read from now on is compared with the database as it is now
    // (after a login, or after this desk's own restore).
    void Rebase();

public slots:
    // Reads the identity; emits restoredElsewhere when it changed since
    // Rebase (once until the next Rebase).  false when it did.
    bool Check();

signals:
    void restoredElsewhere();

private:
    QTimer* m_timer;
    qint64 m_base = 0;
    bool m_told = false;
};
