#pragma once

#include <QString>

// Appends one line to today's command log, Log/Log<yyyyMMdd>.txt below the
// program folder: "yyyy-MM-dd HH:mm:ss text" (the time left out at exact
// midnight), CR LF, GB18030 on disk.  The folder and file are made on first
// use; any file error loses the line silently.  Safe to call from any thread:
// each call opens, appends and closes the file.
void WriteLogLine(const QString& text);

// The path of the command log for `day` (for tests and the log viewer).
QString CommandLogPath(const class QDate& day);
