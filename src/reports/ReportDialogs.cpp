#include "ReportDialogs.h"

#include "Dialogs.h"
#include "ReportFonts.h"
#include "ui_ReportFindDialog.h"
#include "ui_ReportPageEditDialog.h"
#include "ui_ReportPageSetupDialog.h"

#include <QHeaderView>

ReportFindDialog::ReportFindDialog(const QString& text, bool matchCase, QWidget* parent)
    : QDialog(parent), m_ui(new Ui::ReportFindDialog)
{
    m_ui->setupUi(this);
    m_ui->edtFindText->setText(text);
    m_ui->edtFindText->selectAll();
    m_ui->chkMatchCase->setChecked(matchCase);
}

ReportFindDialog::~ReportFindDialog()
{
    delete m_ui;
}

QString ReportFindDialog::Text() const
{
    return m_ui->edtFindText->text();
}

bool ReportFindDialog::MatchCase() const
{
    return m_ui->chkMatchCase->isChecked();
}

namespace {

struct Paper
{
    const char* name;
    double width;
    double height;
};
// Portrait sizes in millimetres; the last entry keeps any other size.
constexpr Paper kPapers[] = {{"A4", 210, 297},       {"A3", 297, 420},   {"A5", 148, 210},
                             {"B5", 176, 250},       {"16开", 184, 260}, {"Letter", 215.9, 279.4},
                             {"Legal", 215.9, 355.6}};
const char* const kCustomPaper = "自定义";

} // namespace

ReportPageSetupDialog::ReportPageSetupDialog(const Report::PageSetup& setup, QWidget* parent)
    : QDialog(parent), m_ui(new Ui::ReportPageSetupDialog)
{
    m_ui->setupUi(this);
    for (const Paper& paper : kPapers)
        m_ui->cmbPaper->addItem(QString::fromUtf8(paper.name));
    m_ui->cmbPaper->addItem(QString::fromUtf8(kCustomPaper));
    int index = m_ui->cmbPaper->count() - 1;
    for (int i = 0; i < int(std::size(kPapers)); ++i)
        if (qAbs(kPapers[i].width - setup.paperWidth) < 0.5 &&
            qAbs(kPapers[i].height - setup.paperHeight) < 0.5)
            index = i;
    m_ui->edtPaperWidth->setValue(setup.paperWidth);
    m_ui->edtPaperHeight->setValue(setup.paperHeight);
    m_ui->cmbPaper->setCurrentIndex(index);
    cmbPaperChange(index);
    connect(m_ui->cmbPaper, &QComboBox::currentIndexChanged, this, &ReportPageSetupDialog::cmbPaperChange);
    m_ui->rbLandscape->setChecked(setup.orientation == Report::Orientation::Landscape);
    m_ui->rbPortrait->setChecked(setup.orientation == Report::Orientation::Portrait);
    m_ui->edtMarginLeft->setValue(setup.marginLeft);
    m_ui->edtMarginTop->setValue(setup.marginTop);
    m_ui->edtMarginRight->setValue(setup.marginRight);
    m_ui->edtMarginBottom->setValue(setup.marginBottom);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &ReportPageSetupDialog::btnOkClick);
}

ReportPageSetupDialog::~ReportPageSetupDialog()
{
    delete m_ui;
}

void ReportPageSetupDialog::cmbPaperChange(int index)
{
    const bool custom = index < 0 || index >= int(std::size(kPapers));
    if (!custom) {
        m_ui->edtPaperWidth->setValue(kPapers[index].width);
        m_ui->edtPaperHeight->setValue(kPapers[index].height);
    }
    m_ui->edtPaperWidth->setEnabled(custom);
    m_ui->edtPaperHeight->setEnabled(custom);
}

Report::PageSetup ReportPageSetupDialog::Setup() const
{
    Report::PageSetup setup;
    setup.paperName = m_ui->cmbPaper->currentText();
    setup.paperWidth = m_ui->edtPaperWidth->value();
    setup.paperHeight = m_ui->edtPaperHeight->value();
    setup.orientation =
        m_ui->rbLandscape->isChecked() ? Report::Orientation::Landscape : Report::Orientation::Portrait;
    setup.marginLeft = m_ui->edtMarginLeft->value();
    setup.marginTop = m_ui->edtMarginTop->value();
    setup.marginRight = m_ui->edtMarginRight->value();
    setup.marginBottom = m_ui->edtMarginBottom->value();
    return setup;
}

void ReportPageSetupDialog::btnOkClick()
{
    const Report::PageSetup setup = Setup();
    const QRectF area = setup.PrintableRect();
    if (setup.paperWidth < 10 || setup.paperHeight < 10 || area.width() < 10 || area.height() < 10) {
        Dialogs::Instance().Inform(this, {QStringLiteral("纸张太小或页边距太大，页面上没有可打印的区域。"),
                                          QStringLiteral("页面设置"), Dialogs::Icon::Warning});
        return;
    }
    accept();
}

ReportPageEditDialog::ReportPageEditDialog(const Report::PreparedPage& page, QWidget* parent)
    : QDialog(parent), m_ui(new Ui::ReportPageEditDialog), m_page(page)
{
    m_ui->setupUi(this);
    QTableWidget* table = m_ui->tblTexts;
    for (int i = 0; i < page.primitives.size(); ++i) {
        const Report::Primitive& primitive = page.primitives[i];
        if (primitive.kind != Report::PrimitiveKind::Text)
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        auto* name =
            new QTableWidgetItem(primitive.name.isEmpty() ? QStringLiteral("固定文字") : primitive.name);
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        name->setData(Qt::UserRole, i);
        auto* where = new QTableWidgetItem(QStringLiteral("%1, %2")
                                               .arg(primitive.rect.left(), 0, 'f', 1)
                                               .arg(primitive.rect.top(), 0, 'f', 1));
        where->setFlags(where->flags() & ~Qt::ItemIsEditable);
        table->setItem(row, 0, name);
        table->setItem(row, 1, where);
        table->setItem(row, 2, new QTableWidgetItem(primitive.text));
    }
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
}

ReportPageEditDialog::~ReportPageEditDialog()
{
    delete m_ui;
}

Report::PreparedPage ReportPageEditDialog::Page() const
{
    Report::PreparedPage page = m_page;
    const QTableWidget* table = m_ui->tblTexts;
    for (int row = 0; row < table->rowCount(); ++row) {
        Report::Primitive& primitive = page.primitives[table->item(row, 0)->data(Qt::UserRole).toInt()];
        const QString text = table->item(row, 2)->text();
        if (text == primitive.text)
            continue;
        primitive.text = text;
        primitive.rect.setWidth(Report::TextWidth(text, primitive.font) * primitive.stretch);
    }
    return page;
}
