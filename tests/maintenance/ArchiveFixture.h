#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

#include <archive.h>
#include <archive_entry.h>

// Writes an archive of libarchive's format `format` (ARCHIVE_FORMAT_…)
// holding the given entries (name, content), as some other program might
// have made it.
inline bool WriteArchiveFormat(const QString& path, const QList<QPair<QString, QByteArray>>& entries, int format)
{
    archive* a = archive_write_new();
    archive_write_set_format(a, format);
    bool ok = archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const auto& [name, data] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.toUtf8().constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, data.size());
        ok = ok && archive_write_header(a, e) == ARCHIVE_OK &&
             archive_write_data(a, data.constData(), size_t(data.size())) == data.size();
        archive_entry_free(e);
    }
    ok = ok && archive_write_close(a) == ARCHIVE_OK;
    archive_write_free(a);
    return ok;
}

// A zip, or a 7z as older installations made them.
inline bool WriteArchive(const QString& path, const QList<QPair<QString, QByteArray>>& entries, bool sevenZip)
{
    return WriteArchiveFormat(path, entries, sevenZip ? ARCHIVE_FORMAT_7ZIP : ARCHIVE_FORMAT_ZIP);
}

inline bool WriteZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries)
{
    return WriteArchive(path, entries, false);
}

// The names of the entries of an archive.
inline QStringList ArchiveEntries(const QString& path)
{
    QStringList names;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    archive_read_support_filter_all(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 1 << 16) == ARCHIVE_OK) {
        archive_entry* e = nullptr;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK)
            names << QString::fromUtf8(archive_entry_pathname(e));
    }
    archive_read_free(a);
    return names;
}

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray FileHash(const QString& path)
{
    return QCryptographicHash::hash(FileBytes(path), QCryptographicHash::Sha256).toHex();
}
