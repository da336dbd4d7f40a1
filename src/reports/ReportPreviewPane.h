#pragma once

#include "ReportModel.h"
#include "ReportViewer.h"

#include <QPointer>
#include <QWidget>

class QAbstractItemModel;
class QAction;
class QActionGroup;
class QKeyEvent;
class QMenu;

namespace Ui {
class ReportPreviewPane;
}

// The report preview: toolbar (zoom, paging, find, save/open, export, print,
// page setup, close), the page view FViewer with its context menu ProcMenu,
// and the keyboard commands.  It owns the report it shows.  Hosts: the
// "打印模板" child window and the modal card preview.
class ReportPreviewPane : public QWidget
{
    Q_OBJECT
public:
    using ZoomMode = ReportViewer::ZoomMode;
    static constexpr int kRecordSources = 4;

    explicit ReportPreviewPane(QWidget* parent = nullptr);
    ~ReportPreviewPane() override;

    void SetReport(const Report::PreparedReport& report);
    void ClearReport();
    const Report::PreparedReport& ShownReport() const { return m_report; }
    bool HasReport() const { return !m_report.IsEmpty(); }

    // 1-based; 0 without a report.
    int CurrentPage() const;
    int PageCount() const { return m_report.PageCount(); }
    double ZoomPercent() const;
    ZoomMode Mode() const;

    void SetZoomPercent(double percent);
    void SetPageWidth();
    void SetWholePage();
    void SetTwoPages();

    // Clamps n to 1..page count; nothing when n is the current page.
    void GoToPage(int n);
    void FirstPage();
    void PrevPage();
    void NextPage();
    void LastPage();

    // The find dialog, then a search from the start of the current page.
    void Find();
    bool FindText(const QString& text, bool matchCase = false);
    // Searches on after the last hit; from the start of the current page when
    // the last hit lay on another page.
    bool FindNext();
    QString SearchText() const { return m_searchText; }
    // Page (0-based) and primitive index of the last hit, or -1.
    int HitPage() const { return m_hitPage; }
    int HitPrimitive() const { return m_hitPrimitive; }

    void Print();
    void PrintCurrentPage();
    void PageSetup();

    // The first file replaces the shown report, each further one is appended.
    // Nothing changes when any file cannot be read.
    bool LoadFiles(const QStringList& fileNames, QString* error);
    // Index 1: report file (extension forced to .rmp); n > 1: export filter n - 1.
    bool SaveToFile(const QString& fileName, int filterIndex, QString* error);
    // "报表文件(*.rmp)|*.rmp" followed by every export filter.
    static QString SaveFilterList();
    // The type-list index a chosen file name stands for (by its extension).
    static int FilterIndexFor(const QString& fileName);

    bool MayEditPages() const { return m_mayEditPages; }
    void SetMayEditPages(bool allowed) { m_mayEditPages = allowed; }
    void InsertPageBefore();
    void InsertPageAfter();
    void AppendPage();
    // 1-based page numbers.
    void DeletePage(int n);
    void EditPage(int n);

    // Record sources 1..4 offered by the export drop-down; nullptr detaches.
    void SetRecordSource(int n, QAbstractItemModel* records);
    void ExportRecordSource(int n);

    QMenu* ContextMenu() const { return m_procMenu; }
    QMenu* ExportMenu() const { return m_exportMenu; }
    ReportViewer* Viewer() const;

    // The keyboard table; true when the key was consumed.  Hosts pass on the
    // keys that reach them.
    bool HandleKey(QKeyEvent* event);

signals:
    void StatusChanged();
    void PageChanged();
    void CaptionChanged(const QString& caption);
    void CloseRequested();

public slots:
    void cmbZoomClick(int index);
    void cmbZoomEnter();
    void edtPageNoEnter();
    void btnOnePageClick();
    void btn100Click();
    void btnPageWidthClick();
    void btnTopClick();
    void btnPrevClick();
    void btnNextClick();
    void btnLastClick();
    void btnFindClick();
    void btnSaveClick();
    void btnOpenClick();
    void btnPrintClick();
    void btnPageSetupClick();
    void BtnExitClick();
    void ProcMenuPopup();
    void btnSaveToXLSPopup();
    void ZoomItemClick(QAction* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A report is shown and a printer exists (else says so).
    bool CanPrint();
    void BuildMenus();
    void SetIcons();
    void OnStatusChange();
    void OnPageChange();
    // Selects the zoom entry matching the toolbar; shows the percent as text
    // when no entry matches.
    void SyncZoomBox();
    void UpdateCommands();
    void ReportChanged(int pageIndex);
    bool FindFrom(int pageIndex, int order);
    QVector<int> ReadingOrder(int pageIndex) const;
    void Warn(const QString& text, const QString& caption = QString());

    Ui::ReportPreviewPane* m_ui;
    Report::PreparedReport m_report;
    QMenu* m_procMenu = nullptr;
    QMenu* m_exportMenu = nullptr;
    QActionGroup* m_zoomItems = nullptr;
    QList<QAction*> m_editItems;
    QAction* m_itmPrint = nullptr;
    QAction* m_itmPrintPage = nullptr;
    QAction* m_itmEditPage = nullptr;
    QPointer<QAbstractItemModel> m_sources[kRecordSources];
    bool m_mayEditPages = true;
    QString m_searchText;
    bool m_matchCase = false;
    int m_hitPage = -1;
    int m_hitPrimitive = -1;
    int m_hitOrder = -1;
};
