#pragma once

#include <QList>

// The expiring-soon keys of Quorel.ini, section [Warranty], beside the
// program's other settings.  A missing or unusable value reads as the default.
namespace Settings {

// The expiring-soon days offered in the record manager.
const QList<int>& ExpiringDayChoices();
inline constexpr int DefaultExpiringDays = 30;

int ExpiringDays();   // [Warranty] ExpiringDays: one of the choices
bool RemindAtLogin(); // [Warranty] RemindAtLogin: 1 on (default), 0 off

bool SetExpiringDays(int days);
bool SetRemindAtLogin(bool on);

} // namespace Settings
