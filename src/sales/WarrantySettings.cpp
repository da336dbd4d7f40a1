#include "WarrantySettings.h"

#include "IniFile.h"
#include "Settings.h"

namespace Settings {

namespace {
const char* const Section = "Warranty";
}

const QList<int>& ExpiringDayChoices()
{
    static const QList<int> choices = {30, 60, 90};
    return choices;
}

int ExpiringDays()
{
    // A hand-edited value outside the choices falls back to the default
    // rather than listing a surprising range.
    const int days = IniFile(IniPath()).ReadInteger(Section, "ExpiringDays", DefaultExpiringDays);
    return ExpiringDayChoices().contains(days) ? days : DefaultExpiringDays;
}

bool RemindAtLogin()
{
    return IniFile(IniPath()).ReadInteger(Section, "RemindAtLogin", 1) != 0;
}

bool SetExpiringDays(int days)
{
    if (!ExpiringDayChoices().contains(days))
        return false;
    return IniFile(IniPath()).WriteInteger(Section, "ExpiringDays", days);
}

bool SetRemindAtLogin(bool on)
{
    return IniFile(IniPath()).WriteInteger(Section, "RemindAtLogin", on ? 1 : 0);
}

} // namespace Settings
