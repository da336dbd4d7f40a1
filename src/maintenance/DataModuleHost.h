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
