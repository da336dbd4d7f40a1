#include "ReportPreviewPane.h"

#include "Dialogs.h"
#include "ReportDialogs.h"
#include "ReportExport.h"
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "ReportPrint.h"
#include "ui_ReportPreviewPane.h"

#include <QAbstractItemModel>
#include <QActionGroup>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <algorithm>

namespace {

// Zoom entries of the box and the context menu: percent, or a mode tag.
constexpr int kTagPageWidth = 1;
constexpr int kTagWholePage = 2;
constexpr int kTagTwoPages = 3;
constexpr int kZoomTags[] = {200, 150, 100, 75, 50, 25, 10, kTagPageWidth, kTagWholePage, kTagTwoPages};
constexpr int kEntryPageWidth = 7;
constexpr int kEntryWholePage = 8;
constexpr int kEntry100 = 2;
constexpr int kEntryTwoPages = 9;

// The integer a box holds, allowing a trailing "%" and blanks.
bool ReadInteger(QString text, int* value)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    return ok;
}

} // namespace

ReportPreviewPane::ReportPreviewPane(QWidget* parent) : QWidget(parent), m_ui(new Ui::ReportPreviewPane)
{
    m_ui->setupUi(this);
    SetIcons();
    m_ui->FViewer->SetReport(&m_report);

    connect(m_ui->cmbZoom, &QComboBox::activated, this, &ReportPreviewPane::cmbZoomClick);
    connect(m_ui->edtPageNo, &QLineEdit::returnPressed, this, &ReportPreviewPane::edtPageNoEnter);
    connect(m_ui->btnOnePage, &QToolButton::clicked, this, &ReportPreviewPane::btnOnePageClick);
    connect(m_ui->btn100, &QToolButton::clicked, this, &ReportPreviewPane::btn100Click);
    connect(m_ui->btnPageWidth, &QToolButton::clicked, this, &ReportPreviewPane::btnPageWidthClick);
    connect(m_ui->btnTop, &QToolButton::clicked, this, &ReportPreviewPane::btnTopClick);
    connect(m_ui->btnPrev, &QToolButton::clicked, this, &ReportPreviewPane::btnPrevClick);
    connect(m_ui->btnNext, &QToolButton::clicked, this, &ReportPreviewPane::btnNextClick);
    connect(m_ui->btnLast, &QToolButton::clicked, this, &ReportPreviewPane::btnLastClick);
    connect(m_ui->btnFind, &QToolButton::clicked, this, &ReportPreviewPane::btnFindClick);
    connect(m_ui->btnSave, &QToolButton::clicked, this, &ReportPreviewPane::btnSaveClick);
    connect(m_ui->btnOpen, &QToolButton::clicked, this, &ReportPreviewPane::btnOpenClick);
    connect(m_ui->btnPrint, &QToolButton::clicked, this, &ReportPreviewPane::btnPrintClick);
    connect(m_ui->btnPageSetup, &QToolButton::clicked, this, &ReportPreviewPane::btnPageSetupClick);
    connect(m_ui->BtnExit, &QToolButton::clicked, this, &ReportPreviewPane::BtnExitClick);
    connect(m_ui->FViewer, &ReportViewer::ZoomChanged, this, &ReportPreviewPane::OnStatusChange);
    connect(this, &ReportPreviewPane::PageChanged, this, &ReportPreviewPane::OnPageChange);

    // The pane sees every key before its controls (menus excepted).
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    BuildMenus();
    UpdateCommands();
    OnStatusChange();
}

ReportPreviewPane::~ReportPreviewPane()
{
    delete m_ui;
}

ReportViewer* ReportPreviewPane::Viewer() const
{
    return m_ui->FViewer;
}

void ReportPreviewPane::SetIcons()
{
    // Theme icons where the desktop has them; otherwise the buttons show their short texts.
    const std::pair<QToolButton*, const char*> icons[] = {
        {m_ui->btnOnePage, "zoom-fit-best"}, {m_ui->btn100, "zoom-original"},
        {m_ui->btnTop, "go-first"},          {m_ui->btnPrev, "go-previous"},
        {m_ui->btnNext, "go-next"},          {m_ui->btnLast, "go-last"},
        {m_ui->btnFind, "edit-find"},        {m_ui->btnSave, "document-save"},
        {m_ui->btnOpen, "document-open"},    {m_ui->btnSaveToXLS, "x-office-spreadsheet"},
        {m_ui->btnPrint, "document-print"},  {m_ui->btnPageSetup, "document-properties"},
        {m_ui->BtnExit, "system-log-out"}};
    for (const auto& [button, name] : icons) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            button->setIcon(icon);
    }
}

void ReportPreviewPane::BuildMenus()
{
    m_procMenu = new QMenu(this);
    m_procMenu->setObjectName(QStringLiteral("ProcMenu"));
    m_zoomItems = new QActionGroup(this);
    m_zoomItems->setExclusive(true);
    const QStringList zoomTexts = {QStringLiteral("200%"),     QStringLiteral("150%"),
                                   QStringLiteral("100%"),     QStringLiteral("75%"),
                                   QStringLiteral("50%"),      QStringLiteral("25%"),
                                   QStringLiteral("10%"),      QStringLiteral("页面宽度"),
                                   QStringLiteral("整页显示"), QStringLiteral("双页显示")};
    for (int i = 0; i < zoomTexts.size(); ++i) {
        QAction* item = m_procMenu->addAction(zoomTexts[i]);
        item->setObjectName(QStringLiteral("itmZoom%1").arg(i));
        item->setCheckable(true);
        item->setData(kZoomTags[i]);
        item->setChecked(i == kEntry100);
        m_zoomItems->addAction(item);
    }
    connect(m_zoomItems, &QActionGroup::triggered, this, &ReportPreviewPane::ZoomItemClick);
    m_procMenu->addSeparator();
    m_itmPrint = m_procMenu->addAction(QStringLiteral("打印"), this, &ReportPreviewPane::Print);
    m_itmPrint->setObjectName(QStringLiteral("itmPrint"));
    m_itmPrintPage =
        m_procMenu->addAction(QStringLiteral("打印当前页"), this, &ReportPreviewPane::PrintCurrentPage);
    m_itmPrintPage->setObjectName(QStringLiteral("itmPrintPage"));
    QAction* n4 = m_procMenu->addSeparator();
    n4->setObjectName(QStringLiteral("N4"));
    QMenu* newPage = m_procMenu->addMenu(QStringLiteral("新加页面"));
    newPage->setObjectName(QStringLiteral("itmNewPage"));
    newPage->addAction(QStringLiteral("前面插入"), this, &ReportPreviewPane::InsertPageBefore)
        ->setObjectName(QStringLiteral("itmInsertBefore"));
    newPage->addAction(QStringLiteral("后面插入"), this, &ReportPreviewPane::InsertPageAfter)
        ->setObjectName(QStringLiteral("itmInsertAfter"));
    newPage->addSeparator();
    newPage->addAction(QStringLiteral("追加"), this, &ReportPreviewPane::AppendPage)
        ->setObjectName(QStringLiteral("itmAppend"));
    QAction* deletePage =
        m_procMenu->addAction(QStringLiteral("删除页面"), this, [this] { DeletePage(CurrentPage()); });
    deletePage->setObjectName(QStringLiteral("itmDeletePage"));
    m_itmEditPage =
        m_procMenu->addAction(QStringLiteral("编辑页面"), this, [this] { EditPage(CurrentPage()); });
    m_itmEditPage->setObjectName(QStringLiteral("itmEditPage"));
    m_editItems = {n4, newPage->menuAction(), deletePage, m_itmEditPage};
    connect(m_procMenu, &QMenu::aboutToShow, this, &ReportPreviewPane::ProcMenuPopup);
    connect(m_ui->FViewer, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_procMenu->popup(m_ui->FViewer->mapToGlobal(pos)); });

    m_exportMenu = new QMenu(this);
    m_exportMenu->setObjectName(QStringLiteral("mnuExport"));
    for (int n = 1; n <= kRecordSources; ++n) {
        QAction* item = m_exportMenu->addAction(QStringLiteral("记录%1").arg(n), this,
                                                [this, n] { ExportRecordSource(n); });
        item->setObjectName(QStringLiteral("itmRecord%1").arg(n));
    }
    connect(m_exportMenu, &QMenu::aboutToShow, this, &ReportPreviewPane::btnSaveToXLSPopup);
    m_ui->btnSaveToXLS->setMenu(m_exportMenu);
}

void ReportPreviewPane::SetReport(const Report::PreparedReport& report)
{
    m_report = report;
    m_hitPage = m_hitPrimitive = m_hitOrder = -1;
    m_ui->FViewer->SetReport(&m_report);
    UpdateCommands();
    emit PageChanged();
    OnStatusChange();
}

void ReportPreviewPane::ClearReport()
{
    SetReport(Report::PreparedReport());
}

int ReportPreviewPane::CurrentPage() const
{
    return HasReport() ? m_ui->FViewer->PageIndex() + 1 : 0;
}

double ReportPreviewPane::ZoomPercent() const
{
    return m_ui->FViewer->ZoomPercent();
}

ReportPreviewPane::ZoomMode ReportPreviewPane::Mode() const
{
    return m_ui->FViewer->Mode();
}

void ReportPreviewPane::SetZoomPercent(double percent)
{
    m_ui->FViewer->SetZoomPercent(percent);
}

void ReportPreviewPane::SetPageWidth()
{
    m_ui->FViewer->SetZoomMode(ZoomMode::PageWidth);
}

void ReportPreviewPane::SetWholePage()
{
    m_ui->FViewer->SetZoomMode(ZoomMode::WholePage);
}

void ReportPreviewPane::SetTwoPages()
{
    m_ui->FViewer->SetZoomMode(ZoomMode::TwoPages);
}

void ReportPreviewPane::GoToPage(int n)
{
    if (!HasReport())
        return;
    n = qBound(1, n, PageCount());
    if (n == CurrentPage()) {
        // The box may hold a number out of range: show the page shown.
        OnPageChange();
        return;
    }
    m_ui->FViewer->SetPageIndex(n - 1);
    m_ui->FViewer->ScrollToTop();
    emit PageChanged();
}

void ReportPreviewPane::FirstPage()
{
    GoToPage(1);
}

void ReportPreviewPane::PrevPage()
{
    GoToPage(CurrentPage() - 1);
}

void ReportPreviewPane::NextPage()
{
    GoToPage(CurrentPage() + 1);
}

void ReportPreviewPane::LastPage()
{
    GoToPage(PageCount());
}

void ReportPreviewPane::OnPageChange()
{
    m_ui->edtPageNo->setText(QString::number(CurrentPage()));
}

void ReportPreviewPane::OnStatusChange()
{
    const ZoomMode mode = Mode();
    const bool is100 = qRound(ZoomPercent()) == 100;
    m_ui->btnPageWidth->setChecked(mode == ZoomMode::PageWidth);
    m_ui->btnOnePage->setChecked(mode == ZoomMode::WholePage);
    m_ui->btn100->setChecked(mode != ZoomMode::PageWidth && mode != ZoomMode::WholePage && is100);
    SyncZoomBox();
    emit StatusChanged();
}

void ReportPreviewPane::SyncZoomBox()
{
    int entry = -1;
    if (m_ui->btnPageWidth->isChecked())
        entry = kEntryPageWidth;
    else if (m_ui->btnOnePage->isChecked())
        entry = kEntryWholePage;
    else if (m_ui->btn100->isChecked())
        entry = kEntry100;
    else if (Mode() == ZoomMode::TwoPages)
        entry = kEntryTwoPages;
    else
        entry = m_ui->cmbZoom->findText(QStringLiteral("%1%").arg(qRound(ZoomPercent())));
    m_ui->cmbZoom->setCurrentIndex(entry);
    // A percent without an entry is still shown, so the box never reads blank.
    if (entry < 0)
        m_ui->cmbZoom->setEditText(QStringLiteral("%1%").arg(qRound(ZoomPercent())));
}

void ReportPreviewPane::cmbZoomClick(int index)
{
    if (index < 0 || index >= int(std::size(kZoomTags)))
        return;
    switch (kZoomTags[index]) {
    case kTagPageWidth:
        SetPageWidth();
        break;
    case kTagWholePage:
        SetWholePage();
        break;
    case kTagTwoPages:
        SetTwoPages();
        break;
    default:
        SetZoomPercent(kZoomTags[index]);
    }
}

void ReportPreviewPane::cmbZoomEnter()
{
    // A typed zoom; "120" and "120%" both mean 120 percent, anything else 100.
    int percent = 100;
    if (!ReadInteger(m_ui->cmbZoom->currentText(), &percent))
        percent = 100;
    SetZoomPercent(percent);
    // Out-of-range values were clamped: show what is in force.
    OnStatusChange();
}

void ReportPreviewPane::edtPageNoEnter()
{
    int page = 0;
    bool ok = false;
    page = m_ui->edtPageNo->text().trimmed().toInt(&ok);
    if (!ok) {
        OnPageChange();
        return;
    }
    GoToPage(page);
}

void ReportPreviewPane::ZoomItemClick(QAction* item)
{
    const int tag = item->data().toInt();
    if (tag == kTagPageWidth)
        SetPageWidth();
    else if (tag == kTagWholePage)
        SetWholePage();
    else if (tag == kTagTwoPages)
        SetTwoPages();
    else
        SetZoomPercent(tag);
    item->setChecked(true);
    SyncZoomBox();
}

void ReportPreviewPane::ProcMenuPopup()
{
    const int entry = m_ui->cmbZoom->currentIndex();
    const QList<QAction*> items = m_zoomItems->actions();
    items.value(entry >= 0 && entry < items.size() ? entry : kEntry100)->setChecked(true);
    const bool editable = HasReport() && m_mayEditPages;
    for (QAction* item : m_editItems)
        item->setVisible(editable);
    m_itmPrint->setEnabled(m_ui->btnPrint->isEnabled());
    m_itmPrintPage->setEnabled(m_ui->btnPrint->isEnabled());
}

void ReportPreviewPane::btnSaveToXLSPopup()
{
    const QList<QAction*> items = m_exportMenu->actions();
    for (int n = 0; n < kRecordSources; ++n)
        items[n]->setVisible(!m_sources[n].isNull());
}

void ReportPreviewPane::btnOnePageClick()
{
    SetWholePage();
    OnStatusChange();
}

void ReportPreviewPane::btn100Click()
{
    SetZoomPercent(100);
    OnStatusChange();
}

void ReportPreviewPane::btnPageWidthClick()
{
    SetPageWidth();
    OnStatusChange();
}

void ReportPreviewPane::btnTopClick()
{
    FirstPage();
}

void ReportPreviewPane::btnPrevClick()
{
    PrevPage();
}

void ReportPreviewPane::btnNextClick()
{
    NextPage();
}

void ReportPreviewPane::btnLastClick()
{
    LastPage();
}

void ReportPreviewPane::btnFindClick()
{
    Find();
}

void ReportPreviewPane::btnPrintClick()
{
    Print();
}

void ReportPreviewPane::btnPageSetupClick()
{
    PageSetup();
}

void ReportPreviewPane::BtnExitClick()
{
    emit CloseRequested();
}

void ReportPreviewPane::UpdateCommands()
{
    const bool has = HasReport();
    for (QWidget* control : {static_cast<QWidget*>(m_ui->cmbZoom), static_cast<QWidget*>(m_ui->edtPageNo),
                             static_cast<QWidget*>(m_ui->btnOnePage), static_cast<QWidget*>(m_ui->btn100),
                             static_cast<QWidget*>(m_ui->btnPageWidth), static_cast<QWidget*>(m_ui->btnTop),
                             static_cast<QWidget*>(m_ui->btnPrev), static_cast<QWidget*>(m_ui->btnNext),
                             static_cast<QWidget*>(m_ui->btnLast), static_cast<QWidget*>(m_ui->btnFind),
                             static_cast<QWidget*>(m_ui->btnSave), static_cast<QWidget*>(m_ui->btnPrint),
                             static_cast<QWidget*>(m_ui->btnPageSetup)})
        control->setEnabled(has);
}

void ReportPreviewPane::ReportChanged(int pageIndex)
{
    m_hitPage = m_hitPrimitive = m_hitOrder = -1;
    m_ui->FViewer->SetHighlight(-1, -1);
    m_ui->FViewer->SetReport(&m_report);
    m_ui->FViewer->SetPageIndex(pageIndex);
    UpdateCommands();
    emit PageChanged();
    OnStatusChange();
}

void ReportPreviewPane::Warn(const QString& text, const QString& caption)
{
    Dialogs::Instance().Inform(
        this, {text, caption.isEmpty() ? QStringLiteral("提示") : caption, Dialogs::Icon::Warning});
}

// ---- find ----

QVector<int> ReportPreviewPane::ReadingOrder(int pageIndex) const
{
    // Texts top to bottom, then left to right; rows within half a millimetre count as one row.
    const QVector<Report::Primitive>& primitives = m_report.pages[pageIndex].primitives;
    QVector<int> order;
    for (int i = 0; i < primitives.size(); ++i)
        if (primitives[i].kind == Report::PrimitiveKind::Text && !primitives[i].text.isEmpty())
            order.append(i);
    std::stable_sort(order.begin(), order.end(), [&primitives](int a, int b) {
        const QRectF& ra = primitives[a].rect;
        const QRectF& rb = primitives[b].rect;
        if (qAbs(ra.top() - rb.top()) > 0.5)
            return ra.top() < rb.top();
        return ra.left() < rb.left();
    });
    return order;
}

bool ReportPreviewPane::FindFrom(int pageIndex, int order)
{
    const Qt::CaseSensitivity cs = m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int page = pageIndex; page < PageCount(); ++page) {
        const QVector<int> texts = ReadingOrder(page);
        for (int k = page == pageIndex ? order : 0; k < texts.size(); ++k) {
            if (!m_report.pages[page].primitives[texts[k]].text.contains(m_searchText, cs))
                continue;
            m_hitPage = page;
            m_hitOrder = k;
            m_hitPrimitive = texts[k];
            GoToPage(page + 1);
            m_ui->FViewer->SetHighlight(page, m_hitPrimitive);
            return true;
        }
    }
    m_hitPage = m_hitPrimitive = m_hitOrder = -1;
    m_ui->FViewer->SetHighlight(-1, -1);
    Dialogs::Instance().Inform(this, {QStringLiteral("没有找到“%1”。").arg(m_searchText),
                                      QStringLiteral("查找"), Dialogs::Icon::Information});
    return false;
}

void ReportPreviewPane::Find()
{
    if (!HasReport())
        return;
    ReportFindDialog dialog(m_searchText, m_matchCase, this);
    if (dialog.exec() != QDialog::Accepted || dialog.Text().isEmpty())
        return;
    FindText(dialog.Text(), dialog.MatchCase());
}

bool ReportPreviewPane::FindText(const QString& text, bool matchCase)
{
    if (!HasReport() || text.isEmpty())
        return false;
    m_searchText = text;
    m_matchCase = matchCase;
    return FindFrom(CurrentPage() - 1, 0);
}

bool ReportPreviewPane::FindNext()
{
    if (!HasReport() || m_searchText.isEmpty())
        return false;
    if (m_hitPage != CurrentPage() - 1)
        return FindFrom(CurrentPage() - 1, 0);
    return FindFrom(m_hitPage, m_hitOrder + 1);
}

// ---- print and page setup ----

bool ReportPreviewPane::CanPrint()
{
    if (!HasReport())
        return false;
    if (!Report::HasPrinters()) {
        Warn(Report::NoPrinterMessage(), QStringLiteral("打印"));
        return false;
    }
    return true;
}

void ReportPreviewPane::Print()
{
    if (!CanPrint())
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, PageCount());
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QList<int> pages;
    int from = 1, to = PageCount();
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        from = qMax(1, dialog.fromPage());
        to = qMin(PageCount(), dialog.toPage());
    } else if (dialog.printRange() == QAbstractPrintDialog::CurrentPage) {
        from = to = CurrentPage();
    }
    for (int n = from; n <= to; ++n)
        pages.append(n - 1);
    QString error;
    if (!Report::PrintPagesOn(printer, m_report, pages, &error, this))
        Warn(error, QStringLiteral("打印"));
}

void ReportPreviewPane::PrintCurrentPage()
{
    if (!CanPrint())
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!Report::PrintPagesOn(printer, m_report, {CurrentPage() - 1}, &error, this))
        Warn(error, QStringLiteral("打印"));
}

void ReportPreviewPane::PageSetup()
{
    if (!HasReport())
        return;
    ReportPageSetupDialog dialog(m_report.page, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_report.ChangePageSetup(dialog.Setup());
    ReportChanged(CurrentPage() - 1);
}

// ---- files ----

QString ReportPreviewPane::SaveFilterList()
{
    QString list = QStringLiteral("报表文件(*.rmp)|*.rmp");
    for (const Report::ExportFilter& filter : Report::ExportFilters())
        list += QLatin1Char('|') + filter.description + QLatin1Char('|') + filter.mask;
    return list;
}

int ReportPreviewPane::FilterIndexFor(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    const QVector<Report::ExportFilter>& filters = Report::ExportFilters();
    for (int i = 0; i < filters.size(); ++i)
        if (filters[i].mask.mid(2).compare(suffix, Qt::CaseInsensitive) == 0)
            return i + 2;
    return 1;
}

namespace {

// Replaces (or adds) the extension of a file name.
QString WithSuffix(const QString& fileName, const QString& suffix)
{
    const QFileInfo info(fileName);
    if (info.suffix().compare(suffix, Qt::CaseInsensitive) == 0)
        return fileName;
    QString base = fileName;
    if (!info.suffix().isEmpty())
        base.chop(info.suffix().size() + 1);
    return base + QLatin1Char('.') + suffix;
}

} // namespace

bool ReportPreviewPane::SaveToFile(const QString& fileName, int filterIndex, QString* error)
{
    if (!HasReport())
        return false;
    if (filterIndex <= 1)
        return Report::SaveReportFile(WithSuffix(fileName, QStringLiteral("rmp")), m_report, error);
    const QVector<Report::ExportFilter>& filters = Report::ExportFilters();
    if (filterIndex - 2 >= filters.size()) {
        if (error)
            *error = QStringLiteral("不支持的文件类型。");
        return false;
    }
    const Report::ExportFilter& filter = filters[filterIndex - 2];
    return filter.write(m_report, WithSuffix(fileName, filter.mask.mid(2)), error);
}

bool ReportPreviewPane::LoadFiles(const QStringList& fileNames, QString* error)
{
    if (fileNames.isEmpty())
        return false;
    // Everything is read first, so a bad file leaves the shown report as it was.
    Report::PreparedReport combined;
    for (int i = 0; i < fileNames.size(); ++i) {
        Report::PreparedReport loaded;
        if (!Report::LoadReportFile(fileNames[i], &loaded, error))
            return false;
        if (i == 0)
            combined = loaded;
        else
            combined.pages += loaded.pages;
    }
    m_report = combined;
    ReportChanged(0);
    return true;
}

void ReportPreviewPane::btnSaveClick()
{
    if (!HasReport())
        return;
    Dialogs::FileRequest request;
    request.title = QStringLiteral("保存报表");
    request.filter = SaveFilterList();
    request.defaultSuffix = QStringLiteral("rmp");
    request.confirmOverwrite = true;
    const QString fileName = Dialogs::Instance().SaveFileName(this, request);
    if (fileName.isEmpty())
        return;
    m_ui->FViewer->viewport()->update();
    QString error;
    if (!SaveToFile(fileName, FilterIndexFor(fileName), &error))
        Warn(error, QStringLiteral("保存报表"));
}

void ReportPreviewPane::btnOpenClick()
{
    // Works in an empty window too: that is how a report gets into the print template window.
    Dialogs::FileRequest request;
    request.title = QStringLiteral("打开报表");
    request.filter = QStringLiteral("报表文件(*.rmp)|*.rmp");
    request.defaultSuffix = QStringLiteral("rmp");
    // Several files: the first replaces the report, the others are appended.
    const QStringList fileNames = Dialogs::Instance().OpenFileNames(this, request);
    if (fileNames.isEmpty())
        return;
    QString error;
    if (!LoadFiles(fileNames, &error)) {
        Warn(error, QStringLiteral("打开报表"));
        return;
    }
    emit CaptionChanged(QStringLiteral("报表文件 - ") + QFileInfo(fileNames.first()).fileName());
}

// ---- page editing ----

void ReportPreviewPane::InsertPageBefore()
{
    if (!HasReport() || !m_mayEditPages)
        return;
    const int index = CurrentPage() - 1;
    m_report.pages.insert(index, Report::PreparedPage());
    ReportChanged(index);
}

void ReportPreviewPane::InsertPageAfter()
{
    if (!HasReport() || !m_mayEditPages)
        return;
    const int index = CurrentPage();
    m_report.pages.insert(index, Report::PreparedPage());
    ReportChanged(index);
}

void ReportPreviewPane::AppendPage()
{
    if (!HasReport() || !m_mayEditPages)
        return;
    m_report.pages.append(Report::PreparedPage());
    ReportChanged(PageCount() - 1);
}

void ReportPreviewPane::DeletePage(int n)
{
    if (!HasReport() || !m_mayEditPages || n < 1 || n > PageCount())
        return;
    if (PageCount() == 1) {
        Warn(QStringLiteral("报表只有这一页，不能删除。"), QStringLiteral("删除页面"));
        return;
    }
    m_report.pages.removeAt(n - 1);
    ReportChanged(qMin(n - 1, PageCount() - 1));
}

void ReportPreviewPane::EditPage(int n)
{
    if (!HasReport() || !m_mayEditPages || n < 1 || n > PageCount())
        return;
    ReportPageEditDialog dialog(m_report.pages[n - 1], this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_report.pages[n - 1] = dialog.Page();
    ReportChanged(n - 1);
}

// ---- record sources ----

void ReportPreviewPane::SetRecordSource(int n, QAbstractItemModel* records)
{
    if (n >= 1 && n <= kRecordSources)
        m_sources[n - 1] = records;
}

void ReportPreviewPane::ExportRecordSource(int n)
{
    if (n < 1 || n > kRecordSources || m_sources[n - 1].isNull())
        return;
    const QAbstractItemModel& records = *m_sources[n - 1];
    if (records.rowCount() == 0) {
        Dialogs::Instance().Inform(this, {QStringLiteral("没有可用记录需要导出！"), QStringLiteral("错误"),
                                          Dialogs::Icon::Critical});
        return;
    }
    if (!ExportRecordsToExcel(records, this))
        Dialogs::Instance().Inform(this, {QStringLiteral("无法建立EXCEL，请确保已安装EXCEL软件"),
                                          QStringLiteral("错误"), Dialogs::Icon::Critical});
}

// ---- keyboard ----

bool ReportPreviewPane::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Enter in the zoom box and the page box is theirs (the page box handles it itself).
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (watched == m_ui->cmbZoom || watched == m_ui->cmbZoom->lineEdit())) {
            cmbZoomEnter();
            return true;
        }
        return HandleKey(key);
    }
    return QWidget::eventFilter(watched, event);
}

bool ReportPreviewPane::HandleKey(QKeyEvent* event)
{
    const int key = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (!HasReport()) {
        // Opening and closing need no report.
        if (key == Qt::Key_Escape)
            emit CloseRequested();
        else if (ctrl && key == Qt::Key_O)
            btnOpenClick();
        else
            return false;
        return true;
    }
    QScrollBar* vertical = m_ui->FViewer->verticalScrollBar();
    QScrollBar* horizontal = m_ui->FViewer->horizontalScrollBar();
    if ((key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) &&
        vertical->isEnabled())
        vertical->setFocus();
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && horizontal->isEnabled())
        horizontal->setFocus();

    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!ctrl)
            vertical->triggerAction(key == Qt::Key_Up ? QAbstractSlider::SliderSingleStepSub
                                                      : QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (ctrl)
            return true;
        horizontal->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                      : QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_PageUp:
        ctrl ? PrevPage() : vertical->triggerAction(QAbstractSlider::SliderPageStepSub);
        return true;
    case Qt::Key_PageDown:
        ctrl ? NextPage() : vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
        return true;
    case Qt::Key_Escape:
        emit CloseRequested();
        return true;
    case Qt::Key_F3:
        if (!m_searchText.isEmpty())
            FindNext();
        return true;
    default:
        break;
    }
    if (!ctrl)
        return false;
    // Every Ctrl combination is consumed, whether it does something or not.
    switch (key) {
    case Qt::Key_Home:
        m_ui->FViewer->ScrollToTop();
        break;
    case Qt::Key_End:
        LastPage();
        break;
    case Qt::Key_O:
        btnOpenClick();
        break;
    case Qt::Key_S:
        btnSaveClick();
        break;
    case Qt::Key_F:
        Find();
        break;
    case Qt::Key_P:
        if (m_ui->btnPrint->isEnabled())
            alt ? PrintCurrentPage() : Print();
        break;
    case Qt::Key_E:
        if (m_mayEditPages)
            EditPage(CurrentPage());
        break;
    default:
        break;
    }
    return true;
}
