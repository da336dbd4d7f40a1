#pragma once

#include <QString>
#include <functional>

// What the administration forms need to know about the session: whether the
// logged-in user holds a function, and who that user is.  The rights object
// of the configurable user interface sits above this library, so it installs
// the answers here while it lives; without it nothing is granted and nobody
// is logged in.
namespace SessionRights {

using GrantTest = std::function<bool(const QString& funcID)>;
using UserSource = std::function<QString()>;

void Install(GrantTest isGranted, UserSource currentUserID);
void Uninstall();

bool IsGranted(const QString& funcID);
QString CurrentUserID();

} // namespace SessionRights
