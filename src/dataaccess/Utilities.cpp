#include "Utilities.h"

#include "MemDataset.h"

qint64 TextToInt(const QString& text, bool* ok)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        if (ok)
            *ok = true;
        return 0;
    }
    bool converted = false;
    const qint64 value = trimmed.toLongLong(&converted);
    if (ok)
        *ok = converted;
    return converted ? value : 0;
}

bool IsInteger(const QString& text)
{
    bool ok = false;
    text.trimmed().toLongLong(&ok);
    return ok;
}

qint64 FieldAsInteger(const MemDataset& dataset, const QString& fieldName, qint64 defaultValue)
{
    if (!dataset.HasField(fieldName) || dataset.IsNull(fieldName))
        return defaultValue;
    const QString text = dataset.AsString(fieldName).trimmed();
    if (text.isEmpty())
        return defaultValue;
    bool ok = false;
    const qint64 value = TextToInt(text, &ok);
    return ok ? value : defaultValue;
}

QString FieldAsText(const MemDataset& dataset, const QString& fieldName, const QString& defaultValue)
{
    if (!dataset.HasField(fieldName) || dataset.IsNull(fieldName))
        return defaultValue;
    QString text = dataset.AsString(fieldName);
    if (text.trimmed().isEmpty())
        return defaultValue;
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

void SplitCodeAndName(const QString& text, QString& code, QString& name)
{
    code.clear();
    name.clear();
    if (text.isEmpty())
        return;
    const int dash = text.indexOf('-');
    if (dash < 0) {
        code = text;
        return;
    }
    code = text.left(dash);
    name = text.mid(dash + 1);
}

int IndexOfText(const QStringList& list, const QString& text)
{
    const int i = list.indexOf(text);
    return i < 0 ? list.size() : i;
}

int IndexOfContaining(const QStringList& list, const QString& text)
{
    if (list.isEmpty())
        return -1;
    if (text.isEmpty() || text == "-")
        return 0;
    for (int i = 0; i < list.size(); ++i)
        if (list[i].contains(text))
            return i;
    return 0;
}

QString WeekdayName(const QDate& date)
{
    static const char* const names[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
    const int day = date.dayOfWeek(); // 1 = Monday … 7 = Sunday
    return day >= 1 && day <= 7 ? QString::fromUtf8(names[day - 1]) : QString();
}

int CharacterCount(const QString& text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!text[i].isLowSurrogate())
            ++count;
    return count;
}
