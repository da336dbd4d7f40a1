#pragma once

#include "SqlConnection.h"
#include "TableDataset.h"

#include <QObject>
#include <functional>

// The data module: the one database connection and the long-lived datasets
// every part of the program shares.  Created first at start, destroyed last.
class TDataM : public QObject
{
    Q_OBJECT
public:
    explicit TDataM(QObject* parent = nullptr);
    ~TDataM() override;

    // Opens (or reopens) data/data.mdb below the program folder, upgrades an
    // older schema and opens the lookups and the usage-log window (rows from
    // the start of the day three days ago).  false with LastError() on any
    // failure; the caller tells the user and ends the program.  Never creates
    // a database.  LastError() is the reason in words the user can act on
    // (missing, unreadable, not ours, newer schema, locked, read-only); it
    // also goes to the command log.
    bool ConnectDatabase();
    void DisconnectDatabase();
    QString LastError() const { return m_error; }
    // The text of the start-error box: the fixed message with the reason
    // beneath it.
    QString StartErrorText() const;

    // Appends one UseLog row for the current user (text cut to 100 bytes).
    // Never fails loudly: a failed write leaves no row.
    void WriteUsageLog(const QString& text);

    // Where WriteUsageLog takes the current user's code and name from.
    using UserSource = std::function<void(QString& userID, QString& userName)>;
    void SetUserSource(UserSource source) { m_userSource = std::move(source); }
    // The current user's code from that source; empty before a login.
    QString CurrentUserID() const;

    // Re-reads the area lookups and the usage-log window.
    void RefreshLookups();

signals:
    // The server connection had broken and was made anew at the next
    // statement (see SqlConnection::SetResetHandler); `message` is the line
    // for the status bar.  Emitted on the thread that ran the statement.
    // The new connection is a new session of the server: whatever the old
    // one held is gone.
    void ConnectionReset(const QString& message);

public:
    SqlConnection ADOConn;
    TableDataset adoSetCity;
    TableDataset adoSetProvince;
    TableDataset adoSetDir;
    TableDataset adoSetLog;
    TableDataset ADOQuery1;

private:
    bool OpenLogWindow();
    UserSource m_userSource;
    QString m_error;
};

// The application's data module (nullptr before it exists).
extern TDataM* DataM;
