#pragma once

#include "ManualIndex.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

// The help window: the manual's contents (chapters and their sections) and a
// search on the left, the page on the right, with back and forward.  One
// window for the program, opened by "帮助文档" and by F1.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Reads the manual from `folder`; false (and a page saying so) when
    // there is none.
    bool LoadManual(const QString& folder);
    // Shows a page ("03-records.md"), optionally scrolled to one of its
    // sections.  false when the manual has no such page.
    bool OpenPage(const QString& file, const QString& section = QString());
    // Lists the pages holding the words on the search tab.
    void Search(const QString& words);
    QString CurrentPage() const;

    // Opens the one help window on `file` (empty: where it was, or the
    // contents page) and brings it to the front.  While a modal dialog is
    // open the window belongs to it, so that it can still be used.
    static HelpWindow* ShowManual(const QString& file = QString());
    // The manual page about a window (by its class), or empty.
    static QString PageForWindow(const QWidget* window);
    // Lets F1 open the manual from any window of the program, on the page
    // about the window in front.
    static void InstallF1Key();

private:
    void BuildContents();
    void ContentsItemClicked(QTreeWidgetItem* item);
    void ResultClicked(int row);
    void SourceChanged(const QUrl& url);
    void FitImages();
    void ScrollToHeading(const QString& heading);
    void HighlightWords(const QString& words);

    ManualIndex m_index;
    QList<ManualIndex::Hit> m_hits;
    QString m_searched;
    QTabWidget* tabHelp = nullptr;
    QTreeWidget* tvContents = nullptr;
    QLineEdit* edtSearch = nullptr;
    QListWidget* lvResults = nullptr;
    QTextBrowser* txtPage = nullptr;
};
