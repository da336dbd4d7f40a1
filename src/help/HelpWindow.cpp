#include "HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QImage>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int FileRole = Qt::UserRole;
constexpr int SectionRole = Qt::UserRole + 1;

QPointer<HelpWindow> g_window;

// F1 anywhere in the program: the manual, on the page about the window in front.
class HelpKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1 ||
            static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier || !watched->isWidgetType())
            return false;
        // The window of the widget that has the key, also where no window
        // manager marks an active window.
        QWidget* front = QApplication::activeModalWidget();
        if (!front)
            front = static_cast<QWidget*>(watched)->window();
        if (qobject_cast<HelpWindow*>(front))
            return false;
        HelpWindow::ShowManual(HelpWindow::PageForWindow(front));
        return true;
    }
};

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("帮助文档"));
    resize(980, 680);

    auto* btnBack = new QPushButton(QStringLiteral("后退"));
    btnBack->setObjectName(QStringLiteral("btnBack"));
    auto* btnForward = new QPushButton(QStringLiteral("前进"));
    btnForward->setObjectName(QStringLiteral("btnForward"));
    auto* btnHome = new QPushButton(QStringLiteral("目录页"));
    btnHome->setObjectName(QStringLiteral("btnHome"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addWidget(btnHome);
    buttons->addStretch();

    tvContents = new QTreeWidget;
    tvContents->setObjectName(QStringLiteral("tvContents"));
    tvContents->setHeaderHidden(true);
    tvContents->setAccessibleName(QStringLiteral("目录"));

    edtSearch = new QLineEdit;
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setClearButtonEnabled(true);
    edtSearch->setPlaceholderText(QStringLiteral("输入要查找的词，按回车"));
    auto* lblSearch = new QLabel(QStringLiteral("查找(&F)："));
    lblSearch->setBuddy(edtSearch);
    auto* btnSearch = new QPushButton(QStringLiteral("查找"));
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    lvResults = new QListWidget;
    lvResults->setObjectName(QStringLiteral("lvResults"));
    lvResults->setAccessibleName(QStringLiteral("查找结果"));
    lvResults->setWordWrap(true);
    lvResults->setAlternatingRowColors(true);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(edtSearch);
    searchRow->addWidget(btnSearch);
    auto* searchPage = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->addWidget(lblSearch);
    searchLayout->addLayout(searchRow);
    searchLayout->addWidget(lvResults);

    tabHelp = new QTabWidget;
    tabHelp->setObjectName(QStringLiteral("tabHelp"));
    tabHelp->addTab(tvContents, QStringLiteral("目录"));
    tabHelp->addTab(searchPage, QStringLiteral("查找"));

    txtPage = new QTextBrowser;
    txtPage->setObjectName(QStringLiteral("txtPage"));
    txtPage->setAccessibleName(QStringLiteral("帮助内容"));
    txtPage->setOpenExternalLinks(true);

    auto* splitter = new QSplitter;
    splitter->setObjectName(QStringLiteral("splHelp"));
    splitter->addWidget(tabHelp);
    splitter->addWidget(txtPage);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 720});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    connect(btnBack, &QPushButton::clicked, txtPage, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, txtPage, &QTextBrowser::forward);
    connect(btnHome, &QPushButton::clicked, this, [this] { OpenPage(QStringLiteral("index.md")); });
    connect(txtPage, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(txtPage, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    connect(txtPage, &QTextBrowser::sourceChanged, this, &HelpWindow::SourceChanged);
    connect(tvContents, &QTreeWidget::itemClicked, this, &HelpWindow::ContentsItemClicked);
    connect(tvContents, &QTreeWidget::itemActivated, this, &HelpWindow::ContentsItemClicked);
    connect(edtSearch, &QLineEdit::returnPressed, this, [this] { Search(edtSearch->text()); });
    connect(btnSearch, &QPushButton::clicked, this, [this] { Search(edtSearch->text()); });
    connect(lvResults, &QListWidget::currentRowChanged, this, &HelpWindow::ResultClicked);
}

bool HelpWindow::LoadManual(const QString& folder)
{
    const bool loaded = m_index.Load(folder);
    BuildContents();
    if (!loaded) {
        txtPage->setHtml(QStringLiteral("<h2>找不到帮助文档</h2><p>帮助文档应在文件夹 %1 中，"
                                        "但那里没有 index.md。请重新安装本程序。</p>")
                             .arg(folder.toHtmlEscaped()));
        return false;
    }
    txtPage->setSearchPaths({folder});
    return OpenPage(QStringLiteral("index.md"));
}

void HelpWindow::BuildContents()
{
    tvContents->clear();
    for (const ManualIndex::Page& page : m_index.Pages()) {
        auto* chapter = new QTreeWidgetItem(tvContents, {page.title});
        chapter->setData(0, FileRole, page.file);
        for (const QString& section : page.sections) {
            auto* item = new QTreeWidgetItem(chapter, {section});
            item->setData(0, FileRole, page.file);
            item->setData(0, SectionRole, section);
        }
    }
}

bool HelpWindow::OpenPage(const QString& file, const QString& section)
{
    if (m_index.PageOf(file) < 0)
        return false;
    const QUrl url = QUrl::fromLocalFile(QDir(m_index.Folder()).filePath(file));
    if (txtPage->source() != url)
        txtPage->setSource(url, QTextDocument::MarkdownResource);
    if (section.isEmpty())
        txtPage->verticalScrollBar()->setValue(0);
    else
        ScrollToHeading(section);
    return true;
}

QString HelpWindow::CurrentPage() const
{
    return QFileInfo(txtPage->source().toLocalFile()).fileName();
}

void HelpWindow::ContentsItemClicked(QTreeWidgetItem* item)
{
    if (item)
        OpenPage(item->data(0, FileRole).toString(), item->data(0, SectionRole).toString());
}

void HelpWindow::SourceChanged(const QUrl& url)
{
    FitImages();
    // The contents follow the page shown, also when a link was followed.
    const QString file = QFileInfo(url.toLocalFile()).fileName();
    for (int i = 0; i < tvContents->topLevelItemCount(); ++i) {
        QTreeWidgetItem* chapter = tvContents->topLevelItem(i);
        if (chapter->data(0, FileRole).toString() != file)
            continue;
        if (!tvContents->currentItem() || tvContents->currentItem()->data(0, FileRole).toString() != file)
            tvContents->setCurrentItem(chapter);
        chapter->setExpanded(true);
    }
    if (!m_searched.isEmpty())
        HighlightWords(m_searched);
}

void HelpWindow::FitImages()
{
    // Screenshots are as wide as the program's windows: shown at most as
    // wide as the page pane is at its usual size.
    constexpr int maxWidth = 640;
    QTextDocument* document = txtPage->document();
    struct Resize
    {
        int position, length;
        QTextImageFormat format;
    };
    QList<Resize> resizes;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture =
                document->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull() || picture.width() <= maxWidth)
                continue;
            image.setWidth(maxWidth);
            image.setHeight(picture.height() * maxWidth / picture.width());
            resizes.append({fragment.position(), fragment.length(), image});
        }
    }
    // Changed after the walk: a change splits fragments under the iterator.
    for (const Resize& resize : resizes) {
        QTextCursor cursor(document);
        cursor.setPosition(resize.position);
        cursor.setPosition(resize.position + resize.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(resize.format);
    }
}

void HelpWindow::ScrollToHeading(const QString& heading)
{
    for (QTextBlock block = txtPage->document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || block.text().trimmed() != heading)
            continue;
        QTextCursor cursor(block);
        txtPage->setTextCursor(cursor);
        QScrollBar* bar = txtPage->verticalScrollBar();
        bar->setValue(bar->value() + txtPage->cursorRect(cursor).top());
        return;
    }
}

void HelpWindow::Search(const QString& words)
{
    tabHelp->setCurrentIndex(1);
    if (edtSearch->text() != words)
        edtSearch->setText(words);
    m_searched = words.trimmed();
    m_hits = m_index.Search(m_searched);
    lvResults->blockSignals(true);
    lvResults->clear();
    for (const ManualIndex::Hit& hit : m_hits) {
        const ManualIndex::Page& page = m_index.Pages().at(hit.page);
        QString title = page.title;
        if (!hit.section.isEmpty())
            title += QStringLiteral(" › ") + hit.section;
        lvResults->addItem(title + QLatin1Char('\n') + hit.excerpt);
    }
    if (m_hits.isEmpty() && !m_searched.isEmpty())
        lvResults->addItem(QStringLiteral("没有找到“%1”。").arg(m_searched));
    lvResults->blockSignals(false);
    HighlightWords(m_searched);
}

void HelpWindow::ResultClicked(int row)
{
    if (row < 0 || row >= m_hits.size())
        return;
    const ManualIndex::Hit& hit = m_hits[row];
    OpenPage(m_index.Pages().at(hit.page).file, hit.section);
    HighlightWords(m_searched);
}

void HelpWindow::HighlightWords(const QString& words)
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat format;
    format.setBackground(QColor(255, 230, 120));
    for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QTextCursor cursor(txtPage->document());
        while (!(cursor = txtPage->document()->find(word, cursor)).isNull())
            marks.append({cursor, format});
    }
    txtPage->setExtraSelections(marks);
}

HelpWindow* HelpWindow::ShowManual(const QString& file)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!g_window) {
        g_window = new HelpWindow(owner);
        g_window->setAttribute(Qt::WA_DeleteOnClose);
        g_window->LoadManual(ManualFolder());
    } else if (g_window->parentWidget() != owner) {
        // Reparenting a window hides it; it is shown again below.
        const QRect geometry = g_window->geometry();
        g_window->setParent(owner, Qt::Window);
        g_window->setGeometry(geometry);
    }
    if (!file.isEmpty())
        g_window->OpenPage(file);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    return g_window;
}

QString HelpWindow::PageForWindow(const QWidget* window)
{
    // The form in front inside the main window counts, not the main window.
    if (const auto* main = qobject_cast<const QMainWindow*>(window))
        if (const auto* mdi = main->findChild<QMdiArea*>())
            if (const QMdiSubWindow* sub = mdi->activeSubWindow())
                window = sub->widget();
    static const QHash<QString, QString> pages = {
        {"TfrmLogin", "01-start.md"},          {"TfrmChangePassWord", "06-users.md"},
        {"TFrmMain", "01-start.md"},           {"TFrmInputInfo", "02-sale-entry.md"},
        {"TFrmSaleManage", "03-records.md"},   {"TFrmSaleImport", "03-records.md"},
        {"TFrmPrintMode", "04-warranty-card.md"},
        {"ReportPreviewDialog", "04-warranty-card.md"},
        {"TFrmCompanySet", "05-company.md"},   {"TFrmCompanyDirEdit", "05-company.md"},
        {"TFrmUser", "06-users.md"},           {"TFrmRole", "06-users.md"},
        {"TFrmRight", "06-users.md"},          {"TFrmSysLog", "06-users.md"},
        {"TfrmMenuCfg", "07-menus.md"},        {"TfrmToolCfg", "07-menus.md"},
        {"TFrmGroupCfg", "07-menus.md"},       {"TFrmBackUp", "08-backup.md"},
        {"TFrmCompressData", "08-backup.md"},  {"TFrmOption", "08-backup.md"},
        {"TFrmBusinessStats", "12-statistics.md"},
    };
    // A form created through the catalogue carries the class name it was
    // registered under; otherwise the C++ class names it.
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        QString name = w->property("formClass").toString();
        if (name.isEmpty())
            name = QString::fromLatin1(w->metaObject()->className());
        if (pages.contains(name))
            return pages.value(name);
    }
    return QString();
}

void HelpWindow::InstallF1Key()
{
    qApp->installEventFilter(new HelpKeyFilter(qApp));
}
