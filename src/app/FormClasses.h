#pragma once

#include <QString>

// Registers every form class the function catalogue may name, before the
// first login.
void RegisterFormClasses();

// The name under which a form created through the registry was registered
// (a dynamic property of the form); FindOpenForm matches on it.
inline constexpr const char* FormClassProperty = "formClass";
