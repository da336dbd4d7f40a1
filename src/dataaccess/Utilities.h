#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class MemDataset;

// Small conversions shared by the forms.

// 0 for a text that is empty after trimming; otherwise its integer value.  A
// text that is not an integer gives 0 and sets *ok to false.
qint64 TextToInt(const QString& text, bool* ok = nullptr);
bool IsInteger(const QString& text);
// `defaultValue` when the field is missing, null, blank or not an integer.
qint64 FieldAsInteger(const MemDataset& dataset, const QString& fieldName, qint64 defaultValue);
// `defaultValue` when the field is missing, null or blank; otherwise its text
// without trailing blanks.
QString FieldAsText(const MemDataset& dataset, const QString& fieldName, const QString& defaultValue);
// "A-B-C" gives code "A" and name "B-C"; a text without "-" is all code.
void SplitCodeAndName(const QString& text, QString& code, QString& name);
// Index of the first entry equal to `text`; the list's length when none is.
int IndexOfText(const QStringList& list, const QString& text);
// -1 for an empty list; else the index of the first entry containing `text`
// (searched only when `text` is neither empty nor "-"); 0 when none does.
int IndexOfContaining(const QStringList& list, const QString& text);
// Characters as a reader counts them (a character outside the BMP is one,
// not the two UTF-16 units QString::size() counts).
int CharacterCount(const QString& text);
// "星期日" … "星期六".
QString WeekdayName(const QDate& date);
// A flag column counts as set only for an exact upper-case "Y" (after trimming).
inline bool IsFlagSet(const QString& flag)
{
    return flag.trimmed() == QLatin1String("Y");
}
