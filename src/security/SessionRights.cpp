#include "SessionRights.h"

namespace {

struct Hooks
{
    SessionRights::GrantTest isGranted;
    SessionRights::UserSource currentUserID;
};

Hooks& Installed()
{
    static Hooks hooks;
    return hooks;
}

} // namespace

namespace SessionRights {

void Install(GrantTest isGranted, UserSource currentUserID)
{
    Installed() = {std::move(isGranted), std::move(currentUserID)};
}

void Uninstall()
{
    Installed() = {};
}

bool IsGranted(const QString& funcID)
{
    return Installed().isGranted && Installed().isGranted(funcID);
}

QString CurrentUserID()
{
    return Installed().currentUserID ? Installed().currentUserID() : QString();
}

} // namespace SessionRights
