#pragma once

#include <QString>
#include <QStringList>

// An INI file read and written key by key, like the Windows profile-string
// calls: "[Section]" headers and "key=value" lines, GB18030 text on disk.
// A missing file, section or key reads as the default; writing one key
// rewrites only that line (or adds it) and keeps the rest of the file,
// comments and unknown keys included.  Section and key names match without
// regard to case.
class IniFile
{
public:
    explicit IniFile(const QString& path);

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    // false when the file cannot be written; the file is then unchanged.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);

    const QString& Path() const { return m_path; }

private:
    QStringList ReadLines() const;
    QString m_path;
};
