#include "RestoredSession.h"

#include <QCoreApplication>
#include <QTimer>

namespace {
std::function<void()>& Handler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

namespace RestoredSession {

QString NoticeText()
{
    return QStringLiteral("数据已还原到备份时的状态，请重新登录（密码为备份时的密码）。");
}

QString QuestionLine(bool onServer)
{
    QString line = QStringLiteral("还原后所有窗口将关闭，需要重新登录（密码为备份时的密码）。");
    if (onServer)
        line += QStringLiteral("\n其他电脑在备份之后录入或修改的数据也将丢失，这些电脑需要重新登录。");
    return line;
}

void SetHandler(std::function<void()> handler)
{
    Handler() = std::move(handler);
}

bool Request()
{
    if (!Handler() || !QCoreApplication::instance())
        return false;
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        if (Handler())
            Handler()();
    });
    return true;
}

} // namespace RestoredSession
