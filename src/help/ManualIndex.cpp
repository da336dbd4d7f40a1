#include "ManualIndex.h"

#include "AppDir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

QString ReadUtf8(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.readAll()) : QString();
}

// Lines that are headings of `level` ("# ", "## "), outside fenced code.
QStringList Headings(const QString& text, int level)
{
    QStringList result;
    const QString marker = QString(level, QLatin1Char('#')) + QLatin1Char(' ');
    bool inCode = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("```")))
            inCode = !inCode;
        else if (!inCode && line.startsWith(marker))
            result << line.mid(marker.size()).trimmed();
    }
    return result;
}

} // namespace

ManualIndex::Page ManualIndex::ReadPage(const QString& path, const QString& file, const QString& fallbackTitle)
{
    Page page;
    page.file = file;
    bool ok = false;
    page.text = ReadUtf8(path, &ok);
    const QStringList titles = Headings(page.text, 1);
    page.title = titles.isEmpty() ? fallbackTitle : titles.first();
    page.sections = Headings(page.text, 2);
    return page;
}

bool ManualIndex::Load(const QString& folder)
{
    m_folder = folder;
    m_pages.clear();
    const QDir dir(folder);
    if (!QFileInfo(dir.filePath("index.md")).isFile())
        return false;
    m_pages << ReadPage(dir.filePath("index.md"), "index.md", QStringLiteral("目录"));
    // Every local Markdown page the contents page links to, once, in order.
    static const QRegularExpression link(QStringLiteral("\\[([^\\]]+)\\]\\(([^)#\\s]+\\.md)(#[^)]*)?\\)"));
    auto matches = link.globalMatch(m_pages.first().text);
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QString file = match.captured(2);
        if (file.contains(QLatin1String("..")) || PageOf(file) >= 0 || !QFileInfo(dir.filePath(file)).isFile())
            continue;
        m_pages << ReadPage(dir.filePath(file), file, match.captured(1));
    }
    return true;
}

int ManualIndex::PageOf(const QString& file) const
{
    for (int i = 0; i < m_pages.size(); ++i)
        if (m_pages[i].file == file)
            return i;
    return -1;
}

QString ManualIndex::PlainText(const QString& markdown)
{
    QString text = markdown;
    static const QRegularExpression image(QStringLiteral("!\\[([^\\]]*)\\]\\([^)]*\\)"));
    static const QRegularExpression link(QStringLiteral("\\[([^\\]]*)\\]\\([^)]*\\)"));
    static const QRegularExpression heading(QStringLiteral("^\\s*(#+|>|[-*+]|\\d+\\.)\\s+"));
    static const QRegularExpression marks(QStringLiteral("[*_`|]+"));
    text.replace(image, QStringLiteral("\\1"));
    text.replace(link, QStringLiteral("\\1"));
    text.replace(heading, QString());
    text.replace(marks, QStringLiteral(" "));
    return text.simplified();
}

QList<ManualIndex::Hit> ManualIndex::Search(const QString& words) const
{
    const QStringList terms = words.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QList<Hit> hits;
    if (terms.isEmpty())
        return hits;
    for (int i = 0; i < m_pages.size(); ++i) {
        const QString plain = PlainText(m_pages[i].text);
        bool all = true;
        for (const QString& term : terms)
            all = all && plain.contains(term, Qt::CaseInsensitive);
        if (!all)
            continue;
        // The first line that holds the first word names the section and
        // gives the excerpt.
        Hit hit;
        hit.page = i;
        for (const QString& line : m_pages[i].text.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("## ")))
                hit.section = line.mid(3).trimmed();
            const QString lineText = PlainText(line);
            const int at = lineText.indexOf(terms.first(), 0, Qt::CaseInsensitive);
            if (at < 0)
                continue;
            const int from = qMax(0, at - 20);
            hit.excerpt = (from > 0 ? QStringLiteral("…") : QString()) + lineText.mid(from, 60) +
                          (from + 60 < lineText.size() ? QStringLiteral("…") : QString());
            break;
        }
        hits << hit;
    }
    return hits;
}

QString ManualFolder()
{
    return FindShipped(QStringLiteral("manual"));
}
