#include "ShellOpen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

void ShellOpen(const QString& path, bool show)
{
    Q_UNUSED(show);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.isFile() && info.isExecutable()) {
        // Started on its own, outliving this program, like the shell does.
        QProcess::startDetached(info.absoluteFilePath(), {});
        return;
    }
    // A scheme of two or more letters marks a URL; one letter would be a
    // drive and a bare path is a local file.
    const QUrl url(path);
    if (!info.exists() && url.isValid() && url.scheme().size() > 1)
        QDesktopServices::openUrl(url);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}
