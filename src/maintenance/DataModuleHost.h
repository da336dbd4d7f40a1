#pragma once

#include "BackupEngine.h"

// The data module as a ConnectionHost: closing and opening the program's
// connection always run on the main thread, which owns it; called from a
// worker, each call waits until the main thread has run it (the main thread
// meanwhile sits in the wait window's modal loop).
class DataModuleHost : public ConnectionHost
{
public:
    void Disconnect() override;
    bool Connect(QString* error) override;
};

// The host of the maintenance dialogs: a reconnect that fails shows the data
// module's message with the reason and offers 重试 and 退出, so that the
// program never goes on without its database.  退出 ends the program.
class RetryingDataModuleHost : public DataModuleHost
{
public:
    bool Connect(QString* error) override;
    // The question after a failed reconnect, for `reason`.
    static QString QuestionText(const QString& reason);
};
