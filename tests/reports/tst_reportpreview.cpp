// The report preview pane and its hosts: toolbar and zoom box in step, page
// box, find and F3, page editing, the keyboard table, saving and opening
// report files, the export drop-down, the print template window, the modal
// card preview and printing.
#include "ExcelExport.h"
#include "FormRegistry.h"
#include "QuickReport1.h"
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "ReportFonts.h"
#include "ReportPreviewDialog.h"
#include "ReportPreviewPane.h"
#include "ReportPrint.h"
#include "ScriptedDialogs.h"
#include "TFrmPrintMode.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Report;

namespace {

Primitive TextAt(double x, double y, const QString& text)
{
    Primitive p;
    p.kind = PrimitiveKind::Text;
    p.rect = QRectF(x, y, TextWidth(text, p.font), 4.5);
    p.text = text;
    return p;
}

// Three pages: the card (甲方 twice: customer name and first promise), a page
// without it, and a page with it once.
PreparedReport ThreePages()
{
    WarrantyCardData data;
    data.LblName = QStringLiteral("甲方张三");
    data.LblCN1 = QStringLiteral("1、甲方保修一年");
    data.LblCpu = QStringLiteral("Intel ABC");
    PreparedReport report = PrepareWarrantyCard(data);
    report.pages.append(PreparedPage{{TextAt(20, 20, QStringLiteral("乙方第二页"))}});
    report.pages.append(PreparedPage{
        {TextAt(20, 250, QStringLiteral("第三页甲方")), TextAt(20, 20, QStringLiteral("页首"))}});
    return report;
}

// Runs the action on the next modal dialog that opens (once the event loop runs).
void OnNextModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, qApp, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
    });
}

QString PdfText(const QString& pdf, const QStringList& extra = {})
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                  extra + QStringList{pdf, QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestReportPreview : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void zoomBoxAndButtonsInStep();
    void contextMenuZoomAndVisibility();
    void pageBoxAndPaging();
    void findAndFindNext();
    void findDialog();
    void pageEditing();
    void editPageTexts();
    void pageSetup();
    void keyboardTable();
    void keysWithoutReport();
    void saveAndOpenReportFiles();
    void openRefusesBadFileAndKeepsReport();
    void exportDropDown();
    void printTemplateWindow();
    void modalCardPreview();
    void printing();

private:
    QToolButton* Button(const char* name) const
    {
        return m_pane->findChild<QToolButton*>(QLatin1String(name));
    }
    QAction* Item(const char* name) const { return m_pane->findChild<QAction*>(QLatin1String(name)); }
    QComboBox* Zoom() const { return m_pane->findChild<QComboBox*>(QStringLiteral("cmbZoom")); }
    QLineEdit* PageBox() const { return m_pane->findChild<QLineEdit*>(QStringLiteral("edtPageNo")); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(m_pane->Viewer(), Qt::Key(key), modifiers);
    }

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ReportPreviewPane> m_pane;
};

void TestReportPreview::init()
{
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_pane = std::make_unique<ReportPreviewPane>();
    m_pane->resize(700, 500);
    m_pane->SetReport(ThreePages());
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
}

void TestReportPreview::cleanup()
{
    m_pane.reset();
    QVERIFY2(!m_dialogs->Failed(), qPrintable(m_dialogs->Failures().join(QLatin1Char('\n'))));
    m_dialogs.reset();
}

void TestReportPreview::zoomBoxAndButtonsInStep()
{
    QToolButton* whole = Button("btnOnePage");
    QToolButton* hundred = Button("btn100");
    QToolButton* width = Button("btnPageWidth");
    auto downs = [&] { return QList<bool>{whole->isChecked(), hundred->isChecked(), width->isChecked()}; };

    QCOMPARE(Zoom()->currentIndex(), 2); // 100% at first
    QCOMPARE(downs(), (QList<bool>{false, true, false}));

    emit Zoom()->activated(0);
    QCOMPARE(m_pane->ZoomPercent(), 200.0);
    QCOMPARE(downs(), (QList<bool>{false, false, false}));
    QCOMPARE(Zoom()->currentIndex(), 0);

    width->click();
    QCOMPARE(m_pane->Mode(), ReportViewer::ZoomMode::PageWidth);
    QCOMPARE(downs(), (QList<bool>{false, false, true}));
    QCOMPARE(Zoom()->currentIndex(), 7);

    whole->click();
    QCOMPARE(m_pane->Mode(), ReportViewer::ZoomMode::WholePage);
    QCOMPARE(downs(), (QList<bool>{true, false, false}));
    QCOMPARE(Zoom()->currentIndex(), 8);
    // Pressing a down button again keeps it down.
    whole->click();
    QCOMPARE(downs(), (QList<bool>{true, false, false}));

    emit Zoom()->activated(9);
    QCOMPARE(m_pane->Mode(), ReportViewer::ZoomMode::TwoPages);
    QCOMPARE(Zoom()->currentIndex(), 9);
    QVERIFY(!whole->isChecked() && !width->isChecked());

    hundred->click();
    QCOMPARE(m_pane->ZoomPercent(), 100.0);
    QCOMPARE(downs(), (QList<bool>{false, true, false}));
    QCOMPARE(Zoom()->currentIndex(), 2);

    // Typed zooms: a number, a number with "%", and text that is no number (100 %).
    auto type = [this](const QString& text) {
        Zoom()->lineEdit()->setText(text);
        QTest::keyClick(Zoom()->lineEdit(), Qt::Key_Return);
    };
    type(QStringLiteral("120"));
    QCOMPARE(m_pane->ZoomPercent(), 120.0);
    QCOMPARE(Zoom()->currentIndex(), -1);
    QCOMPARE(Zoom()->currentText(), QStringLiteral("120%"));
    QCOMPARE(downs(), (QList<bool>{false, false, false}));
    type(QStringLiteral("75%"));
    QCOMPARE(m_pane->ZoomPercent(), 75.0);
    QCOMPARE(Zoom()->currentIndex(), 3);
    type(QStringLiteral("abc"));
    QCOMPARE(m_pane->ZoomPercent(), 100.0);
    QCOMPARE(Zoom()->currentIndex(), 2);
    QVERIFY(hundred->isChecked());
    // Out of range is clamped, and the box shows what is in force.
    type(QStringLiteral("0"));
    QCOMPARE(m_pane->ZoomPercent(), ReportViewer::kMinZoom);
    QCOMPARE(Zoom()->currentIndex(), 6);
}

void TestReportPreview::contextMenuZoomAndVisibility()
{
    QMenu* menu = m_pane->ContextMenu();
    Item("itmZoom4")->trigger();
    QCOMPARE(m_pane->ZoomPercent(), 50.0);
    QVERIFY(Item("itmZoom4")->isChecked());
    QCOMPARE(Zoom()->currentIndex(), 4);
    Item("itmZoom9")->trigger();
    QCOMPARE(m_pane->Mode(), ReportViewer::ZoomMode::TwoPages);
    QCOMPARE(Zoom()->currentIndex(), 9);

    // Opening the menu ticks the item of the zoom box's entry.
    Button("btnPageWidth")->click();
    emit menu->aboutToShow();
    QVERIFY(Item("itmZoom7")->isChecked());
    Zoom()->lineEdit()->setText(QStringLiteral("33"));
    QTest::keyClick(Zoom()->lineEdit(), Qt::Key_Return);
    emit menu->aboutToShow();
    QVERIFY(Item("itmZoom2")->isChecked()); // no entry: "100%"

    // Page editing items only where pages may be edited; print items follow btnPrint.
    QVERIFY(Item("itmEditPage")->isVisible());
    QVERIFY(Item("itmPrint")->isEnabled());
    m_pane->SetMayEditPages(false);
    emit menu->aboutToShow();
    QVERIFY(!Item("itmEditPage")->isVisible());
    QVERIFY(!Item("itmDeletePage")->isVisible());
    QVERIFY(!Item("N4")->isVisible());
    m_pane->ClearReport();
    emit menu->aboutToShow();
    QVERIFY(!Button("btnPrint")->isEnabled());
    QVERIFY(!Item("itmPrint")->isEnabled());
    QVERIFY(!Item("itmPrintPage")->isEnabled());
}

void TestReportPreview::pageBoxAndPaging()
{
    QSignalSpy pageChanged(m_pane.get(), &ReportPreviewPane::PageChanged);
    auto enter = [this](const QString& text) {
        PageBox()->setText(text);
        QTest::keyClick(PageBox(), Qt::Key_Return);
    };
    QCOMPARE(PageBox()->text(), QStringLiteral("1"));
    enter(QStringLiteral("2"));
    QCOMPARE(m_pane->CurrentPage(), 2);
    QCOMPARE(pageChanged.count(), 1);
    enter(QStringLiteral("0"));
    QCOMPARE(m_pane->CurrentPage(), 1);
    QCOMPARE(PageBox()->text(), QStringLiteral("1"));
    enter(QStringLiteral("99"));
    QCOMPARE(m_pane->CurrentPage(), 3);
    QCOMPARE(PageBox()->text(), QStringLiteral("3"));
    enter(QStringLiteral("abc"));
    QCOMPARE(m_pane->CurrentPage(), 3);
    QCOMPARE(PageBox()->text(), QStringLiteral("3"));
    // The current page again: no page change, but the box reads right.
    pageChanged.clear();
    enter(QStringLiteral("7"));
    QCOMPARE(pageChanged.count(), 0);
    QCOMPARE(PageBox()->text(), QStringLiteral("3"));

    Button("btnTop")->click();
    QCOMPARE(m_pane->CurrentPage(), 1);
    Button("btnPrev")->click();
    QCOMPARE(m_pane->CurrentPage(), 1);
    Button("btnNext")->click();
    QCOMPARE(PageBox()->text(), QStringLiteral("2"));
    Button("btnLast")->click();
    QCOMPARE(m_pane->CurrentPage(), 3);
    Button("btnNext")->click();
    QCOMPARE(m_pane->CurrentPage(), 3);
}

void TestReportPreview::findAndFindNext()
{
    const PreparedReport& report = m_pane->ShownReport();
    auto hitText = [&] { return report.pages[m_pane->HitPage()].primitives[m_pane->HitPrimitive()].text; };

    QVERIFY(m_pane->FindText(QStringLiteral("甲方")));
    QCOMPARE(m_pane->HitPage(), 0);
    QCOMPARE(hitText(), QStringLiteral("甲方张三"));
    Key(Qt::Key_F3);
    QCOMPARE(m_pane->HitPage(), 0);
    QCOMPARE(hitText(), QStringLiteral("1、甲方保修一年"));
    Key(Qt::Key_F3);
    QCOMPARE(m_pane->HitPage(), 2);
    QCOMPARE(m_pane->CurrentPage(), 3); // the hit is shown
    QCOMPARE(hitText(), QStringLiteral("第三页甲方"));
    QVERIFY(m_dialogs->Texts().isEmpty());
    Key(Qt::Key_F3);
    QCOMPARE(m_dialogs->LastText(), QStringLiteral("没有找到“甲方”。"));
    QCOMPARE(m_pane->HitPage(), -1);

    // After moving away from the last hit, F3 starts at the top of the page shown.
    m_pane->FirstPage();
    QVERIFY(m_pane->FindText(QStringLiteral("甲方")));
    QCOMPARE(m_pane->HitPage(), 0);
    m_pane->LastPage();
    Key(Qt::Key_F3);
    QCOMPARE(m_pane->HitPage(), 2);

    // Case does not matter unless asked for.
    m_pane->FirstPage();
    QVERIFY(m_pane->FindText(QStringLiteral("intel abc")));
    QCOMPARE(hitText(), QStringLiteral("Intel ABC"));
    m_dialogs->ClearRecords();
    QVERIFY(!m_pane->FindText(QStringLiteral("intel abc"), true));
    QCOMPARE(m_dialogs->Texts().size(), 1);
}

void TestReportPreview::findDialog()
{
    OnNextModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("edtFindText"))->setText(QStringLiteral("乙方"));
        dialog->findChild<QPushButton*>(QStringLiteral("btnFindOk"))->click();
    });
    Button("btnFind")->click();
    QCOMPARE(m_pane->SearchText(), QStringLiteral("乙方"));
    QCOMPARE(m_pane->CurrentPage(), 2);
    // Ctrl+F opens it again with the last text; cancelling changes nothing.
    OnNextModal([](QWidget* dialog) {
        QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("edtFindText"))->text(),
                 QStringLiteral("乙方"));
        dialog->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    });
    Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_pane->CurrentPage(), 2);
}

void TestReportPreview::pageEditing()
{
    const PreparedPage second = m_pane->ShownReport().pages[1];
    m_pane->GoToPage(2);
    Item("itmInsertBefore")->trigger();
    QCOMPARE(m_pane->PageCount(), 4);
    QCOMPARE(m_pane->CurrentPage(), 2);
    QVERIFY(m_pane->ShownReport().pages[1].primitives.isEmpty());
    QVERIFY(m_pane->ShownReport().pages[2] == second);

    Item("itmInsertAfter")->trigger();
    QCOMPARE(m_pane->PageCount(), 5);
    QCOMPARE(m_pane->CurrentPage(), 3);
    QVERIFY(m_pane->ShownReport().pages[2].primitives.isEmpty());

    Item("itmAppend")->trigger();
    QCOMPARE(m_pane->PageCount(), 6);
    QCOMPARE(m_pane->CurrentPage(), 6);
    QCOMPARE(PageBox()->text(), QStringLiteral("6"));

    Item("itmDeletePage")->trigger();
    QCOMPARE(m_pane->PageCount(), 5);
    QCOMPARE(m_pane->CurrentPage(), 5);
    m_pane->GoToPage(2);
    m_pane->DeletePage(2);
    m_pane->DeletePage(2);
    QVERIFY(m_pane->ShownReport().pages[1] == second);

    // The last page of a report stays.
    PreparedReport one = ThreePages();
    one.pages.resize(1);
    m_pane->SetReport(one);
    m_pane->DeletePage(1);
    QCOMPARE(m_pane->PageCount(), 1);
    QCOMPARE(m_dialogs->LastText(), QStringLiteral("报表只有这一页，不能删除。"));
}

void TestReportPreview::editPageTexts()
{
    OnNextModal([](QWidget* dialog) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("tblTexts"));
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == QLatin1String("LblName"))
                table->item(row, 2)->setText(QStringLiteral("李四"));
        dialog->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    });
    Key(Qt::Key_E, Qt::ControlModifier);
    const Primitive name = m_pane->ShownReport().Named(0, QStringLiteral("LblName")).value(0);
    QCOMPARE(name.text, QStringLiteral("李四"));
    QCOMPARE(name.rect.width(), TextWidth(QStringLiteral("李四"), name.font));
    QVERIFY(m_pane->FindText(QStringLiteral("李四")));

    // Cancelled: nothing changes.
    OnNextModal([](QWidget* dialog) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("tblTexts"));
        table->item(0, 2)->setText(QStringLiteral("不要"));
        dialog->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    });
    const PreparedReport before = m_pane->ShownReport();
    Item("itmEditPage")->trigger();
    QVERIFY(m_pane->ShownReport() == before);
}

void TestReportPreview::pageSetup()
{
    const QPointF nameAt = m_pane->ShownReport().Named(0, QStringLiteral("LblName")).value(0).rect.topLeft();
    // Margins that leave no printable area are refused and the dialog stays; then a valid setup.
    OnNextModal([this](QWidget* dialog) {
        auto* paper = dialog->findChild<QComboBox*>(QStringLiteral("cmbPaper"));
        QCOMPARE(paper->currentText(), QStringLiteral("A4"));
        paper->setCurrentIndex(paper->findText(QStringLiteral("A3")));
        dialog->findChild<QRadioButton*>(QStringLiteral("rbLandscape"))->setChecked(true);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("edtMarginLeft"))->setValue(415);
        dialog->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
        QVERIFY(dialog->isVisible());
        QVERIFY(m_dialogs->LastText().contains(QStringLiteral("没有可打印的区域")));
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("edtMarginLeft"))->setValue(25);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("edtMarginTop"))->setValue(15);
        dialog->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    });
    Button("btnPageSetup")->click();
    const PageSetup& page = m_pane->ShownReport().page;
    QCOMPARE(page.paperName, QStringLiteral("A3"));
    QCOMPARE(page.PageSize(), QSizeF(420, 297));
    // The content keeps its place relative to the new margins.
    const QPointF moved = m_pane->ShownReport().Named(0, QStringLiteral("LblName")).value(0).rect.topLeft();
    QCOMPARE(moved, nameAt + QPointF(15, 5));
}

void TestReportPreview::keyboardTable()
{
    m_pane->SetZoomPercent(200);
    QScrollBar* vertical = m_pane->Viewer()->verticalScrollBar();
    QScrollBar* horizontal = m_pane->Viewer()->horizontalScrollBar();
    QVERIFY(vertical->maximum() > 0 && horizontal->maximum() > 0);

    Key(Qt::Key_Down);
    QCOMPARE(vertical->value(), vertical->singleStep());
    QVERIFY(vertical->hasFocus());
    Key(Qt::Key_PageDown);
    QCOMPARE(vertical->value(), vertical->singleStep() + vertical->pageStep());
    Key(Qt::Key_Up);
    QCOMPARE(vertical->value(), vertical->pageStep());
    Key(Qt::Key_PageUp);
    QCOMPARE(vertical->value(), 0);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(vertical->value(), 0);
    Key(Qt::Key_Right);
    QCOMPARE(horizontal->value(), horizontal->singleStep());
    Key(Qt::Key_Left);
    QCOMPARE(horizontal->value(), 0);

    Key(Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(m_pane->CurrentPage(), 2);
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(m_pane->CurrentPage(), 1);
    Key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(m_pane->CurrentPage(), 3);

    // F3 without a search text does nothing; Ctrl+S and Ctrl+O ask for files.
    Key(Qt::Key_F3);
    QVERIFY(m_dialogs->Texts().isEmpty());
    m_dialogs->QueueFileName(QString());
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_dialogs->FileRequests().size(), 1);
    QCOMPARE(m_dialogs->FileRequests()[0].filter,
             QStringLiteral("报表文件(*.rmp)|*.rmp|PDF文件(*.pdf)|*.pdf|PNG图片，每页一个文件(*.png)|*.png"));
    QVERIFY(m_dialogs->FileRequests()[0].confirmOverwrite);
    m_dialogs->QueueFileName(QString());
    Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_dialogs->FileRequests().size(), 2);
    QCOMPARE(m_dialogs->FileRequests()[1].filter, QStringLiteral("报表文件(*.rmp)|*.rmp"));

    // Ctrl+P prints when btnPrint is enabled: without printers that is said.
    if (!HasPrinters()) {
        Key(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_dialogs->LastText(), NoPrinterMessage());
        Key(Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(m_dialogs->Texts().size(), 2);
    }

    // Other Ctrl keys are swallowed, plain keys reach the control.
    PageBox()->setFocus();
    PageBox()->setText(QStringLiteral("12"));
    PageBox()->selectAll();
    QTest::keyClick(PageBox(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(PageBox()->text(), QStringLiteral("12"));
    QTest::keyClick(PageBox(), Qt::Key_Home);
    QCOMPARE(PageBox()->cursorPosition(), 0);
    QTest::keyClick(PageBox(), Qt::Key_5);
    QCOMPARE(PageBox()->text(), QStringLiteral("512"));

    QSignalSpy close(m_pane.get(), &ReportPreviewPane::CloseRequested);
    Key(Qt::Key_Escape);
    QCOMPARE(close.count(), 1);
}

void TestReportPreview::keysWithoutReport()
{
    m_pane->ClearReport();
    QCOMPARE(m_pane->CurrentPage(), 0);
    Key(Qt::Key_PageDown, Qt::ControlModifier);
    Key(Qt::Key_F, Qt::ControlModifier); // would open the find dialog
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!Button("btnSave")->isEnabled());
    QVERIFY(Button("btnOpen")->isEnabled());
    // Opening needs no report.
    m_dialogs->QueueFileName(QString());
    Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_dialogs->FileRequests().size(), 1);
}

void TestReportPreview::saveAndOpenReportFiles()
{
    const PreparedReport shown = m_pane->ShownReport();
    const QString base = m_dir->filePath(QStringLiteral("saved"));
    m_dialogs->QueueFileName(base);
    Button("btnSave")->click();
    QVERIFY(QFile::exists(base + QStringLiteral(".rmp")));
    m_dialogs->QueueFileName(base + QStringLiteral(".pdf"));
    Button("btnSave")->click();
    QFile pdf(base + QStringLiteral(".pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-");
    m_dialogs->QueueFileName(base + QStringLiteral(".png"));
    Button("btnSave")->click();
    for (int n = 1; n <= 3; ++n)
        QVERIFY(QFile::exists(base + QStringLiteral("_%1.png").arg(n)));
    QCOMPARE(ReportPreviewPane::FilterIndexFor(QStringLiteral("a.PDF")), 2);
    QCOMPARE(ReportPreviewPane::FilterIndexFor(QStringLiteral("a.txt")), 1);
    QVERIFY(m_pane->SaveToFile(base + QStringLiteral(".txt"), 1, nullptr));
    QVERIFY(QFile::exists(base + QStringLiteral(".rmp")));
    QVERIFY(!QFile::exists(base + QStringLiteral(".txt")));
    QVERIFY(m_dialogs->Texts().isEmpty());

    // A new, empty pane opens the file: same report, caption names the file.
    ReportPreviewPane empty;
    QSignalSpy caption(&empty, &ReportPreviewPane::CaptionChanged);
    m_dialogs->QueueFileName(base + QStringLiteral(".rmp"));
    empty.findChild<QToolButton*>(QStringLiteral("btnOpen"))->click();
    QVERIFY(empty.ShownReport() == shown);
    QCOMPARE(caption.value(0).value(0).toString(), QStringLiteral("报表文件 - saved.rmp"));
    QCOMPARE(empty.CurrentPage(), 1);

    // Several files picked at once: the first replaces, the others are appended.
    PreparedReport one = shown;
    one.pages.resize(1);
    const QString single = m_dir->filePath(QStringLiteral("one.rmp"));
    QVERIFY(SaveReportFile(single, one, nullptr));
    m_dialogs->QueueFileNames({single, base + QStringLiteral(".rmp")});
    empty.findChild<QToolButton*>(QStringLiteral("btnOpen"))->click();
    QCOMPARE(empty.PageCount(), 4);
    QVERIFY(empty.ShownReport().pages.first() == shown.pages.first());
    QVERIFY(empty.ShownReport().pages.mid(1) == shown.pages);
    QCOMPARE(caption.value(1).value(0).toString(), QStringLiteral("报表文件 - one.rmp"));
}

void TestReportPreview::openRefusesBadFileAndKeepsReport()
{
    const QString bad = m_dir->filePath(QStringLiteral("bad.rmp"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a report at all") > 0);
    file.close();
    m_pane->GoToPage(2);
    const PreparedReport before = m_pane->ShownReport();
    QSignalSpy caption(m_pane.get(), &ReportPreviewPane::CaptionChanged);
    m_dialogs->QueueFileName(bad);
    Button("btnOpen")->click();
    QVERIFY(m_dialogs->LastText().contains(QStringLiteral("不是报表文件")));
    QVERIFY(m_pane->ShownReport() == before);
    QCOMPARE(m_pane->CurrentPage(), 2);
    QCOMPARE(caption.count(), 0);
    // A good file followed by a bad one changes nothing either.
    const QString good = m_dir->filePath(QStringLiteral("good.rmp"));
    QVERIFY(SaveReportFile(good, PrepareWarrantyCard({}), nullptr));
    QString error;
    QVERIFY(!m_pane->LoadFiles({good, bad}, &error));
    QVERIFY(m_pane->ShownReport() == before);
}

void TestReportPreview::exportDropDown()
{
    QMenu* menu = m_pane->ExportMenu();
    auto visible = [menu] {
        QList<bool> result;
        for (QAction* item : menu->actions())
            result.append(item->isVisible());
        return result;
    };
    emit menu->aboutToShow();
    QCOMPARE(visible(), (QList<bool>{false, false, false, false}));

    QStandardItemModel empty;
    auto* rows = new QStandardItemModel(2, 3);
    m_pane->SetRecordSource(2, &empty);
    m_pane->SetRecordSource(3, rows);
    emit menu->aboutToShow();
    QCOMPARE(visible(), (QList<bool>{false, true, true, false}));

    Item("itmRecord2")->trigger();
    QCOMPARE(m_dialogs->LastText(), QStringLiteral("没有可用记录需要导出！"));
    // Rows go into a new workbook that is then opened with the desktop's program.
    rows->setHorizontalHeaderLabels({QStringLiteral("姓名"), "B", "C"});
    rows->setItem(1, 0, new QStandardItem(QStringLiteral("张三")));
    QString opened;
    ExcelWorkbook::SetViewer([&opened](const QString& file) {
        opened = file;
        return true;
    });
    const int boxes = m_dialogs->Boxes().size();
    Item("itmRecord3")->trigger();
    ExcelWorkbook::SetViewer(nullptr);
    QCOMPARE(m_dialogs->Boxes().size(), boxes);
    QVERIFY(opened.endsWith(".xlsx"));
    QVERIFY(QFileInfo(opened).size() > 0);
    QFile::remove(opened);
    delete rows;
    emit menu->aboutToShow();
    QCOMPARE(visible(), (QList<bool>{false, true, false, false}));
}

void TestReportPreview::printTemplateWindow()
{
    RegisterReportForms();
    const FormRegistry::Entry* entry = FormRegistry::Find(QStringLiteral("TFrmPrintMode"));
    QVERIFY(entry && entry->isChildForm);
    QCOMPARE(entry->caption, QStringLiteral("打印模板"));

    QPointer<TFrmPrintMode> form = qobject_cast<TFrmPrintMode*>(entry->create(nullptr));
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("打印模板"));
    QVERIFY(!form->FViewer()->HasReport());
    form->ShowAsChild();
    QVERIFY(QTest::qWaitForWindowExposed(form));

    // The window starts empty; a report file opened in it is shown and named in the caption.
    const QString file = m_dir->filePath(QStringLiteral("card.rmp"));
    QVERIFY(SaveReportFile(file, ThreePages(), nullptr));
    m_dialogs->QueueFileName(file);
    form->FViewer()->findChild<QToolButton*>(QStringLiteral("btnOpen"))->click();
    QCOMPARE(form->FViewer()->PageCount(), 3);
    QCOMPARE(form->windowTitle(), QStringLiteral("报表文件 - card.rmp"));

    // Keys reach the window's key preview first: Ctrl+End, then Esc closes it.
    form->FViewer()->Viewer()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(form->FViewer()->CurrentPage(), 3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(form.isNull());
}

void TestReportPreview::modalCardPreview()
{
    TQuickReport1 card;
    WarrantyCardData data;
    data.LblName = QStringLiteral("王五");
    card.Fill(data);
    bool seen = false;
    OnNextModal([&seen](QWidget* modal) {
        auto* dialog = qobject_cast<ReportPreviewDialog*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->Pane()->PageCount(), 1);
        QCOMPARE(dialog->Pane()->ShownReport().Named(0, QStringLiteral("LblName")).value(0).text,
                 QStringLiteral("王五"));
        seen = true;
        QTest::keyClick(dialog->Pane()->Viewer(), Qt::Key_Escape);
    });
    card.Preview();
    QVERIFY(seen);
    QVERIFY(!QApplication::activeModalWidget());

    // A refill leaves nothing of the earlier card.
    card.Fill(WarrantyCardData());
    QCOMPARE(card.Prepared().Named(0, QStringLiteral("LblName")).value(0).text, QString());
}

void TestReportPreview::printing()
{
    // On a PDF printer: every page, in the report's page setup, text at its place.
    const QString out = m_dir->filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out);
    QString error;
    QVERIFY2(PrintPagesOn(printer, ThreePages(), {0, 1, 2}, &error), qPrintable(error));
    QVERIFY(QFile::exists(out));
    QVERIFY(!PrintPagesOn(printer, PreparedReport(), {0}, &error));
    if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        const QString layout = PdfText(out, {QStringLiteral("-bbox")});
        QCOMPARE(layout.count(QStringLiteral("<page ")), 3);
        QVERIFY(layout.contains(QStringLiteral("width=\"595.")));
        const QString text = PdfText(out);
        QVERIFY(text.contains(QStringLiteral("甲方张三")));
        QVERIFY(text.contains(QStringLiteral("第三页甲方")));
    }
    if (HasPrinters())
        QSKIP("this machine has a printer; the no-printer message cannot be checked");
    QVERIFY(!PrintReport(ThreePages(), &error));
    QCOMPARE(error, NoPrinterMessage());
    TQuickReport1 card;
    QVERIFY(!card.Print(&error));
    QVERIFY(error.startsWith(QStringLiteral("没有可用的打印机")));
}

QTEST_MAIN(TestReportPreview)
#include "tst_reportpreview.moc"
