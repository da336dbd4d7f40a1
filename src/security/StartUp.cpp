#include "StartUp.h"

#include <QCoreApplication>

bool StartingUp = false;

namespace {
std::function<void()>& Handler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

void TerminateApplication()
{
    if (Handler())
        Handler()();
    else
        QCoreApplication::exit(0); // quit() would first ask every window to close
}

void SetTerminateHandler(std::function<void()> handler)
{
    Handler() = std::move(handler);
}
