#include "FormRegistry.h"

#include <deque>

namespace {
// A deque keeps the addresses handed out by Find valid while entries are added.
std::deque<FormRegistry::Entry>& Entries()
{
    static std::deque<FormRegistry::Entry> entries;
    return entries;
}
} // namespace

void FormRegistry::Register(const Entry& entry)
{
    for (Entry& existing : Entries()) {
        if (existing.className == entry.className) {
            existing = entry;
            return;
        }
    }
    Entries().push_back(entry);
}

const FormRegistry::Entry* FormRegistry::Find(const QString& className)
{
    for (const Entry& entry : Entries())
        if (entry.className == className)
            return &entry;
    return nullptr;
}

QStringList FormRegistry::ClassNames()
{
    QStringList names;
    for (const Entry& entry : Entries())
        names << entry.className;
    return names;
}

void FormRegistry::Clear()
{
    Entries().clear();
}
