#include "DataModuleHost.h"

#include "TDataM.h"

#include <QCoreApplication>
#include <QThread>

namespace {

template <typename F> void RunOnMainThread(F work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        work();
    else
        QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
}

} // namespace

void DataModuleHost::Disconnect()
{
    RunOnMainThread([] {
        if (DataM)
            DataM->DisconnectDatabase();
    });
}

bool DataModuleHost::Connect(QString* error)
{
    bool connected = false;
    RunOnMainThread([&] {
        connected = DataM && DataM->ConnectDatabase();
        if (!connected)
            *error = DataM ? DataM->LastError() : QStringLiteral("数据模块不存在");
    });
    return connected;
}
