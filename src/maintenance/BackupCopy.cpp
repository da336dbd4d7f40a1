#include "BackupCopy.h"

#include "BackupFolder.h"
#include "Leftovers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace BackupCopy {

namespace {
constexpr qint64 ChunkSize = 1 << 20;
}

QByteArray Sha256(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return {};
    return hash.result().toHex();
}

QString CopyTo(const QString& backup, const QString& folder, QString* error)
{
    const QFileInfo source(backup);
    if (!source.isFile()) {
        *error = QStringLiteral("备份文件不存在：") + backup;
        return {};
    }
    const QString dir = QDir(folder).absolutePath() + "/";
    if (!QFileInfo(dir).isDir()) {
        *error = QStringLiteral("文件夹不存在：") + QDir::toNativeSeparators(dir);
        return {};
    }
    QFile in(backup);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取备份文件：") + backup;
        return {};
    }
    // The partial copy is hidden and marked, so that nobody takes it for a backup.
    QTemporaryFile out(dir + ".copy-XXXXXX");
    if (!out.open()) {
        *error = QStringLiteral("无法在文件夹 %1 中写入文件（%2）")
                     .arg(QDir::toNativeSeparators(dir), out.errorString());
        return {};
    }
    Leftovers::MarkInUse(out);
    QCryptographicHash written(QCryptographicHash::Sha256);
    QByteArray buffer;
    while (!(buffer = in.read(ChunkSize)).isEmpty()) {
        written.addData(buffer);
        if (out.write(buffer) != buffer.size()) {
            *error = QStringLiteral("写入 %1 失败（%2）").arg(QDir::toNativeSeparators(dir), out.errorString());
            return {};
        }
    }
    if (in.error() != QFile::NoError || !out.flush() || ::fsync(out.handle()) != 0) {
        *error = QStringLiteral("写入 %1 失败（%2）")
                     .arg(QDir::toNativeSeparators(dir), QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    // What arrived, read back from the target, must be what was sent.
    if (QFileInfo(out.fileName()).size() != source.size() || Sha256(out.fileName()) != written.result().toHex()) {
        *error = QStringLiteral("复制到 %1 的文件与备份不一致，已删除").arg(QDir::toNativeSeparators(dir));
        return {};
    }
    const QString stem = source.completeBaseName(), suffix = source.suffix().isEmpty() ? QString() : "." + source.suffix();
    for (int n = 1; n < 1000; ++n) {
        const QString target = dir + stem + (n > 1 ? "-" + QString::number(n) : QString()) + suffix;
        if (BackupFolder::TakeName(out.fileName(), target)) {
            out.setAutoRemove(false);
            QFile::setPermissions(target, source.permissions());
            return target;
        }
        if (errno != EEXIST) {
            *error = QStringLiteral("无法保存 %1（%2）")
                         .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(errno)));
            return {};
        }
    }
    *error = QStringLiteral("无法为副本找到空闲的名字");
    return {};
}

} // namespace BackupCopy
