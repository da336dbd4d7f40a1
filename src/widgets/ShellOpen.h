#pragma once

#include <QString>

// Opens a file, folder or URL ("mailto:…", "http://…") with the desktop's
// default program; an executable file is started as a program of its own.
// `show` asks for a normally shown window; the desktop decides for programs it
// opens.  The outcome is not reported.
void ShellOpen(const QString& path, bool show = true);
