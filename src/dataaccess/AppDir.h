#pragma once

#include <QString>

// The program folder: the folder of the executable, ending in "/".  A copy of
// that folder is a complete installation.  `--home DIR` (packaging, tests)
// points it elsewhere for the run.
QString GetAppDir();
void SetAppDir(const QString& dir);
