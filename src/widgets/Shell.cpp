#include "Shell.h"

namespace {
Shell* g_shell = nullptr;
}

Shell* Shell::Instance()
{
    return g_shell;
}

void Shell::Install(Shell* shell)
{
    g_shell = shell;
}
