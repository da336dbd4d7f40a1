#include "DataModuleHost.h"

#include "Dialogs.h"
#include "StartUp.h"
#include "TDataM.h"

#include <QApplication>
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

QString RetryingDataModuleHost::QuestionText(const QString& reason)
{
    return QStringLiteral("重新连接数据库失败，请排除下面的问题后重试，或退出本程序。\n\n原因：") + reason;
}

bool RetryingDataModuleHost::Connect(QString* error)
{
    for (;;) {
        if (DataModuleHost::Connect(error))
            return true;
        Dialogs::Button answer = Dialogs::Cancel;
        RunOnMainThread([&] {
            answer = Dialogs::Instance().Ask(
                QApplication::activeWindow(),
                {QuestionText(*error), QStringLiteral("数据库连接错误"), Dialogs::Icon::Critical,
                 {{Dialogs::Ok, QStringLiteral("重试")}, {Dialogs::Cancel, QStringLiteral("退出")}}},
                Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok);
        });
        if (answer != Dialogs::Ok) {
            RunOnMainThread([] { TerminateApplication(); });
            return false;
        }
    }
}
