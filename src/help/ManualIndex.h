#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The user manual as a set of Markdown pages in one folder: index.md, the
// contents page, links the chapters in reading order; each chapter has one
// "# " title and "## " sections.  Knows the pages and their sections and
// finds words in them.
class ManualIndex
{
public:
    struct Page
    {
        QString file;          // name inside the folder, e.g. "02-records.md"
        QString title;         // its "# " heading (or the link text)
        QStringList sections;  // its "## " headings, in order
        QString text;          // the Markdown source
    };

    struct Hit
    {
        int page = -1;
        QString section;  // the heading above the first match, empty before any
        QString excerpt;  // the words around the first match, markup removed
    };

    // Reads index.md and every chapter it links to; false when the folder
    // has no readable index.md.
    bool Load(const QString& folder);
    QString Folder() const { return m_folder; }
    const QList<Page>& Pages() const { return m_pages; }
    int PageOf(const QString& file) const;

    // Pages containing every one of the blank-separated words (case is
    // ignored), in reading order, the contents page included.
    QList<Hit> Search(const QString& words) const;

    // The text of one Markdown line without its markup (headings, emphasis,
    // images, link targets).
    static QString PlainText(const QString& markdown);

private:
    static Page ReadPage(const QString& path, const QString& file, const QString& fallbackTitle);

    QString m_folder;
    QList<Page> m_pages;
};

// Where the manual is: manual/ in the data folder when a user keeps an own
// copy there, otherwise the one shipped with the program.
QString ManualFolder();
