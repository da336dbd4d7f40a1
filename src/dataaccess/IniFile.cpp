#include "IniFile.h"

#include "GbkText.h"

#include <QFile>
#include <QSaveFile>

namespace {

bool IsSectionLine(const QString& trimmed, QString* name)
{
    if (!trimmed.startsWith('[') || !trimmed.endsWith(']'))
        return false;
    *name = trimmed.mid(1, trimmed.size() - 2).trimmed();
    return true;
}

// Index of the line holding `key` inside `section`, -1 when absent; also the
// index after which a new key of that section goes (-1: no such section).
int FindKey(const QStringList& lines, const QString& section, const QString& key, int* insertAfter)
{
    bool inSection = false;
    *insertAfter = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        QString name;
        if (IsSectionLine(trimmed, &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                *insertAfter = i;
            continue;
        }
        if (!inSection)
            continue;
        if (!trimmed.isEmpty())
            *insertAfter = i;
        const int eq = trimmed.indexOf('=');
        if (eq > 0 && !trimmed.startsWith(';') && trimmed.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

IniFile::IniFile(const QString& path) : m_path(path) {}

QStringList IniFile::ReadLines() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = Gbk::Decode(file.readAll());
    text.replace("\r\n", "\n");
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QStringList lines = ReadLines();
    int insertAfter;
    const int i = FindKey(lines, section, key, &insertAfter);
    if (i < 0)
        return defaultValue;
    const QString& line = lines[i];
    return line.mid(line.indexOf('=') + 1).trimmed();
}

int IniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int value = ReadString(section, key).toInt(&ok);
    return ok ? value : defaultValue;
}

bool IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QStringList lines = ReadLines();
    int insertAfter;
    const int i = FindKey(lines, section, key, &insertAfter);
    const QString line = key + '=' + value;
    if (i >= 0) {
        lines[i] = line;
    } else if (insertAfter >= 0) {
        lines.insert(insertAfter + 1, line);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << '[' + section + ']' << line;
    }
    // Written through a temporary file, so a failed write leaves the old file whole.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(Gbk::Encode(lines.join("\r\n") + "\r\n"));
    return file.commit();
}

bool IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    return WriteString(section, key, QString::number(value));
}
