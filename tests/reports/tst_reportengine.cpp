// The report engine and the warranty card: layout positions, memo clipping,
// empty and placeholder texts, the report file and the export filters.
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "ReportFonts.h"
#include "ReportRenderer.h"
#include "WarrantyCard.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPicture>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Report;

namespace {

constexpr double kTolerance = 0.5; // mm
constexpr double kMmPerPt = 25.4 / 72.0;

// Where a band starts on the A4 card with 10 mm margins.
constexpr double kHeaderTop = 10.0;
constexpr double kDetailTop = 10.0 + 7.1;
constexpr double kFooterTop = 297.0 - 10.0 - 23.3;

struct FieldPlace
{
    const char* name;
    double bandTop;
    double left;
    double top;
    QString WarrantyCardData::*field;
};

// The card's named elements and their places in their bands.
const FieldPlace kPlaces[] = {
    {"LblIncName", kHeaderTop, 2.1, 2.1, &WarrantyCardData::LblIncName},
    {"LblPrintDate", kHeaderTop, 165.1, 3.2, &WarrantyCardData::LblPrintDate},
    {"LblIncAddr", kFooterTop, 27.5, 2.1, &WarrantyCardData::LblIncAddr},
    {"LblIncPhone", kFooterTop, 143.9, 2.1, &WarrantyCardData::LblIncPhone},
    {"LblIncMail", kFooterTop, 27.5, 8.5, &WarrantyCardData::LblIncMail},
    {"LblIncFax", kFooterTop, 143.9, 8.5, &WarrantyCardData::LblIncFax},
    {"LblIncWeb", kFooterTop, 27.5, 14.8, &WarrantyCardData::LblIncWeb},
    {"LblIncPhone1", kFooterTop, 143.9, 14.8, &WarrantyCardData::LblIncPhone1},
    {"LblName", kDetailTop, 44.5, 29.6, &WarrantyCardData::LblName},
    {"LblPhone", kDetailTop, 97.4, 29.6, &WarrantyCardData::LblPhone},
    {"LblFax", kDetailTop, 154.5, 29.6, &WarrantyCardData::LblFax},
    {"Lblmobile", kDetailTop, 44.5, 42.3, &WarrantyCardData::Lblmobile},
    {"LblBuyAmount", kDetailTop, 135.5, 42.3, &WarrantyCardData::LblBuyAmount},
    {"LblAddr", kDetailTop, 44.5, 55, &WarrantyCardData::LblAddr},
    {"LblBuyDate", kDetailTop, 52.9, 67.7, &WarrantyCardData::LblBuyDate},
    {"LblOverRun", kDetailTop, 137.6, 67.7, &WarrantyCardData::LblOverRun},
    {"LblCpu", kDetailTop, 42.3, 82.5, &WarrantyCardData::LblCpu},
    {"Lblmouse", kDetailTop, 118.5, 82.5, &WarrantyCardData::Lblmouse},
    {"Lblmainboard", kDetailTop, 42.3, 91, &WarrantyCardData::Lblmainboard},
    {"Lbldisplay", kDetailTop, 118.5, 91, &WarrantyCardData::Lbldisplay},
    {"LblMemory", kDetailTop, 42.3, 99.5, &WarrantyCardData::LblMemory},
    {"Lblbox", kDetailTop, 118.5, 99.5, &WarrantyCardData::Lblbox},
    {"LblHD", kDetailTop, 42.3, 108, &WarrantyCardData::LblHD},
    {"LblPower", kDetailTop, 118.5, 108, &WarrantyCardData::LblPower},
    {"LblSound", kDetailTop, 42.3, 116.4, &WarrantyCardData::LblSound},
    {"LblSoundBox", kDetailTop, 118.5, 116.4, &WarrantyCardData::LblSoundBox},
    {"LbldisplayCard", kDetailTop, 42.3, 124.9, &WarrantyCardData::LbldisplayCard},
    {"LblPrint", kDetailTop, 118.5, 124.9, &WarrantyCardData::LblPrint},
    {"LblCDROM", kDetailTop, 42.3, 133.3, &WarrantyCardData::LblCDROM},
    {"LblNetWork", kDetailTop, 118.5, 133.3, &WarrantyCardData::LblNetWork},
    {"Lblfloppy", kDetailTop, 42.3, 141.8, &WarrantyCardData::Lblfloppy},
    {"LblModem", kDetailTop, 118.5, 141.8, &WarrantyCardData::LblModem},
    {"LblKeyBoard", kDetailTop, 42.3, 150.3, &WarrantyCardData::LblKeyBoard},
    {"LblOther", kDetailTop, 50.8, 158.8, &WarrantyCardData::LblOther},
    {"LblCN1", kDetailTop, 10.6, 222.2, &WarrantyCardData::LblCN1},
    {"LblCN2", kDetailTop, 10.6, 228.6, &WarrantyCardData::LblCN2},
    {"LblCN3", kDetailTop, 10.6, 234.9, &WarrantyCardData::LblCN3},
    {"QMemo", kDetailTop, 21.2, 171.4, &WarrantyCardData::QMemo},
};

const char* const kFixedTexts[] = {"打印日期：",
                                   "公司地址：",
                                   "销售电话：",
                                   "公司电邮：",
                                   "传真：",
                                   "公司网址：",
                                   "服务电话：",
                                   "客户售后服务保修书",
                                   "客户",
                                   "电话",
                                   "传真",
                                   "手机",
                                   "购机数量",
                                   "地址",
                                   "购机日期",
                                   "过保日期",
                                   "CPU：",
                                   "鼠标：",
                                   "主板：",
                                   "显示器：",
                                   "内存：",
                                   "机箱：",
                                   "硬盘：",
                                   "电源：",
                                   "声卡：",
                                   "音箱：",
                                   "显卡：",
                                   "打印机：",
                                   "光驱：",
                                   "网卡：",
                                   "软驱：",
                                   "MODEM：",
                                   "键盘：",
                                   "其它设备：",
                                   "公司盖章",
                                   "经手人：",
                                   "服务承诺与说明："};

// A distinct value per field: "项07值" for the eighth field.
QString FieldValue(int index)
{
    return QStringLiteral("项%1值").arg(index, 2, 10, QLatin1Char('0'));
}

WarrantyCardData DistinctCard()
{
    WarrantyCardData data;
    for (int i = 0; i < int(std::size(kPlaces)); ++i)
        data.*kPlaces[i].field = FieldValue(i);
    return data;
}

struct PdfWord
{
    QString text;
    QRectF box; // mm
};

// Words of a PDF with their boxes, through pdftotext; empty without poppler.
QVector<PdfWord> PdfWords(const QString& pdf, int* pages = nullptr)
{
    QVector<PdfWord> words;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return words;
    QProcess process;
    process.start(tool, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    process.waitForFinished(30000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    if (pages)
        *pages = int(html.count(QStringLiteral("<page ")));
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        const QPointF topLeft(match.captured(1).toDouble() * kMmPerPt,
                              match.captured(2).toDouble() * kMmPerPt);
        const QPointF bottomRight(match.captured(3).toDouble() * kMmPerPt,
                                  match.captured(4).toDouble() * kMmPerPt);
        words.append({match.captured(5), QRectF(topLeft, bottomRight)});
    }
    return words;
}

bool HavePdfToText()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

QString AllText(const QVector<PdfWord>& words)
{
    QString text;
    for (const PdfWord& word : words)
        text += word.text + QLatin1Char(' ');
    return text;
}

// A report with every kind of primitive on three pages, landscape B5.
PreparedReport MixedReport()
{
    ReportTemplate report;
    report.title = QStringLiteral("混合报表");
    report.page.paperName = QStringLiteral("B5");
    report.page.paperWidth = 176;
    report.page.paperHeight = 250;
    report.page.orientation = Orientation::Landscape;
    report.page.marginLeft = 12.5;
    Band& header = report.AddBand(BandKind::PageHeader, 12);
    header.elements.append({ElementKind::Text,
                            QStringLiteral("Title"),
                            QRectF(0, 0, 50, 8),
                            QStringLiteral("页眉 Header 123"),
                            {QStringLiteral("宋体"), 15, true, true}});
    for (int i = 0; i < 3; ++i) {
        Band& detail = report.AddBand(BandKind::Detail, 120);
        detail.elements.append({ElementKind::Memo,
                                QStringLiteral("Memo"),
                                QRectF(0, 0, 60, 30),
                                QStringLiteral("第%1段\n换行").arg(i),
                                {}});
        Element dash{ElementKind::HLine, {}, QRectF(0, 40, 100, 2), {}, {}, 1, PenStyle::DashDotDot};
        detail.elements.append(dash);
        detail.elements.append({ElementKind::VLine, {}, QRectF(5, 50, 1, 40), {}, {}, 2});
        detail.elements.append({ElementKind::Rect, {}, QRectF(10, 50, 40, 40), {}, {}, 2});
        Element fitted{ElementKind::Text, {}, QRectF(0, 95, 5, 5), QStringLiteral("WWWW"), {}};
        fitted.fitWidth = true;
        detail.elements.append(fitted);
    }
    report.AddBand(BandKind::PageFooter, 10)
        .elements.append(
            {ElementKind::Text, QStringLiteral("Foot"), QRectF(0, 0, 10, 5), QStringLiteral("页脚"), {}});
    return Prepare(report);
}

// A report file container around any payload, as a newer or foreign writer might produce.
QByteArray Container(quint16 version, const QByteArray& payload)
{
    QByteArray data("WBRMP\r\n\x1a", 8);
    QDataStream out(&data, QIODevice::WriteOnly | QIODevice::Append);
    out << version << quint32(payload.size());
    data += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    data += payload;
    return data;
}

bool WriteFile(const QString& name, const QByteArray& data)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

int DarkPixels(const QImage& image, const QRect& area)
{
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ++dark;
    return dark;
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void cardFieldPositions_data();
    void cardFieldPositions();
    void cardFieldsInPdf();
    void cardFixedTextsLinesAndFrame();
    void cardLongRemarkClipped();
    void cardLongCompanyAddressStopsBeforeThePhone();
    void cardLongestPromisesFitTheCard();
    void cardEmptyAndPlaceholderTexts();
    void memoLineBreaksAndWrapping();
    void fontFallsBackToCjkSerif();

    void prepareSpillsDetailToNewPage();
    void reportFileRoundTrip();
    void reportFileRefusesBadFiles_data();
    void reportFileRefusesBadFiles();
    void renderDrawsOnlyTheVisibleArea();
    void exportPdfAndPng();

private:
    QTemporaryDir m_dir;
    PreparedReport m_card;
    QVector<PdfWord> m_cardWords;
};

void TestReportEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_card = PrepareWarrantyCard(DistinctCard());
    const QString pdf = m_dir.filePath(QStringLiteral("card.pdf"));
    QString error;
    QVERIFY2(ExportPdf(m_card, pdf, &error), qPrintable(error));
    m_cardWords = PdfWords(pdf);
}

void TestReportEngine::cardFieldPositions_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kPlaces)); ++i)
        QTest::newRow(kPlaces[i].name) << i;
}

void TestReportEngine::cardFieldPositions()
{
    QFETCH(int, index);
    const FieldPlace& place = kPlaces[index];
    QCOMPARE(m_card.PageCount(), 1);
    const QVector<Primitive> found = m_card.Named(0, QString::fromLatin1(place.name));
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].text, FieldValue(index));
    QVERIFY(qAbs(found[0].rect.left() - (10.0 + place.left)) <= kTolerance);
    QVERIFY(qAbs(found[0].rect.top() - (place.bandTop + place.top)) <= kTolerance);
}

void TestReportEngine::cardFieldsInPdf()
{
    if (!HavePdfToText())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QVERIFY(!m_cardWords.isEmpty());
    for (int i = 0; i < int(std::size(kPlaces)); ++i) {
        const FieldPlace& place = kPlaces[i];
        const Primitive primitive = m_card.Named(0, QString::fromLatin1(place.name)).value(0);
        const QString value = FieldValue(i);
        const PdfWord* word = nullptr;
        for (const PdfWord& candidate : m_cardWords)
            if (candidate.text.endsWith(value))
                word = &candidate;
        QVERIFY2(word, place.name);
        // A word may begin with a fixed text printed right before the value: then its right end counts.
        const double left =
            word->text == value ? word->box.left() : word->box.right() - primitive.rect.width();
        QVERIFY2(qAbs(left - (10.0 + place.left)) <= kTolerance, place.name);
        // pdftotext boxes span the font's ascent and descent; the baseline lies at the descent's share.
        const QFontMetricsF metrics(MakeFont(primitive.font));
        const double baseline = word->box.bottom() - word->box.height() * metrics.descent() /
                                                         (metrics.ascent() + metrics.descent());
        const double expected = place.bandTop + place.top + EmSize(primitive.font) * kBaselineEm;
        QVERIFY2(qAbs(baseline - expected) <= kTolerance, place.name);
    }
}

void TestReportEngine::cardFixedTextsLinesAndFrame()
{
    const PreparedPage& page = m_card.pages[0];
    QStringList fixed;
    int lines = 0, rects = 0;
    for (const Primitive& p : page.primitives) {
        if (p.kind == PrimitiveKind::Text && p.name.isEmpty())
            fixed.append(p.text);
        lines += p.kind == PrimitiveKind::Line;
        rects += p.kind == PrimitiveKind::Rect;
    }
    for (const char* text : kFixedTexts)
        QVERIFY2(fixed.contains(QString::fromUtf8(text)), text);
    QCOMPARE(fixed.count(QStringLiteral("客")), 2);
    QCOMPARE(lines, 15);
    QCOMPARE(rects, 4);

    auto hasRect = [&page](const QRectF& r, int pen) {
        for (const Primitive& p : page.primitives)
            if (p.kind == PrimitiveKind::Rect && p.penWidth == pen && qAbs(p.rect.left() - r.left()) < 0.01 &&
                qAbs(p.rect.top() - r.top()) < 0.01 && qAbs(p.rect.width() - r.width()) < 0.01 &&
                qAbs(p.rect.height() - r.height()) < 0.01)
                return true;
        return false;
    };
    auto hasLine = [&page](const QLineF& l, int pen, PenStyle style) {
        for (const Primitive& p : page.primitives)
            if (p.kind == PrimitiveKind::Line && p.penWidth == pen && p.penStyle == style &&
                QLineF(p.line.p1(), l.p1()).length() < 0.01 && QLineF(p.line.p2(), l.p2()).length() < 0.01)
                return true;
        return false;
    };
    // The main frame and the thick rule beside the side captions.
    QVERIFY(hasRect(QRectF(12.1, kDetailTop + 25.4, 184.4, 186.5), 2));
    QVERIFY(hasRect(QRectF(29.1, kDetailTop + 25.4, 0.3, 186.5), 2));
    // Lines run through the middle of their boxes.
    QVERIFY(hasLine(QLineF(12.1, kDetailTop + 1.2, 196.5, kDetailTop + 1.2), 2, PenStyle::Solid));
    QVERIFY(hasLine(QLineF(48.1, kDetailTop + 20.3, 164.8, kDetailTop + 20.3), 1, PenStyle::DashDotDot));
    QVERIFY(hasLine(QLineF(50.35, kDetailTop + 25.4, 50.35, kDetailTop + 63.8), 1, PenStyle::Solid));
    QVERIFY(hasLine(QLineF(12.1, kDetailTop + 243.55, 196.5, kDetailTop + 243.55), 2, PenStyle::Solid));

    // Drawn where they belong: the frame's left edge and the bottom rule are dark on the image.
    const double dpmm = 100 / 25.4;
    const QImage image = RenderPageImage(m_card, 0, 100);
    auto around = [dpmm](double xMm, double yMm) {
        return QRect(qRound(xMm * dpmm) - 2, qRound(yMm * dpmm) - 2, 5, 5);
    };
    QVERIFY(DarkPixels(image, around(12.1, 150)) > 0);
    QVERIFY(DarkPixels(image, around(100, kDetailTop + 243.55)) > 0);
    QCOMPARE(DarkPixels(image, around(100, 200)), 0); // empty remarks area
    if (HavePdfToText()) {
        const QString text = AllText(m_cardWords);
        for (const char* fixedText : kFixedTexts)
            QVERIFY2(text.contains(QString::fromUtf8(fixedText)), fixedText);
    }
}

void TestReportEngine::cardLongestPromisesFitTheCard()
{
    // What the profile's promise boxes take at most: Chinese, wide and narrow Latin.
    WarrantyCardData data;
    data.LblCN1 = QString(PromiseMaxBytes / 2, QChar(0x4fdd));
    data.LblCN2 = QString(PromiseMaxBytes, 'W');
    data.LblCN3 = QString(PromiseMaxBytes, '1');
    const PreparedReport card = PrepareWarrantyCard(data);
    const double frameRight = 10 + 2.1 + 184.4;
    for (const char* name : {"LblCN1", "LblCN2", "LblCN3"}) {
        const Primitive promise = card.Named(0, QString::fromLatin1(name)).value(0);
        QVERIFY2(promise.rect.right() <= frameRight,
                 qPrintable(QStringLiteral("%1 ends at %2 mm").arg(name).arg(promise.rect.right())));
        QVERIFY(promise.rect.left() > 20);
    }
    // A short promise is printed as designed, not stretched.
    data.LblCN1 = QStringLiteral("整机一年免费保修，终身维护。");
    QCOMPARE(PrepareWarrantyCard(data).Named(0, QStringLiteral("LblCN1")).value(0).stretch, 1.0);
}

void TestReportEngine::cardLongCompanyAddressStopsBeforeThePhone()
{
    // The address column holds 50 characters.
    WarrantyCardData data;
    data.LblIncAddr = QString(50, QChar(0x8def));
    data.LblIncPhone = QStringLiteral("0571-88888888");
    data.LblIncMail = QStringLiteral("shop@example.com");
    const PreparedReport card = PrepareWarrantyCard(data);
    const QVector<Primitive> lines = card.Named(0, QStringLiteral("LblIncAddr"));
    QVERIFY(!lines.isEmpty() && lines.size() <= 2);
    Primitive caption;
    for (const Primitive& primitive : card.pages[0].primitives)
        if (primitive.text == QStringLiteral("销售电话："))
            caption = primitive;
    QVERIFY(caption.rect.width() > 0);
    const Primitive mail = card.Named(0, QStringLiteral("LblIncMail")).value(0);
    QString printed;
    for (const Primitive& line : lines) {
        printed += line.text;
        QVERIFY2(line.rect.right() < caption.rect.left(), qPrintable(QString::number(line.rect.right())));
        QVERIFY(line.rect.bottom() <= mail.rect.top() + kTolerance);
        QVERIFY(line.font.pointSize >= 6);
    }
    QCOMPARE(printed, data.LblIncAddr);
    // A short address prints as designed.
    data.LblIncAddr = QStringLiteral("杭州市西湖区文三路1号");
    const QVector<Primitive> shortAddress = PrepareWarrantyCard(data).Named(0, QStringLiteral("LblIncAddr"));
    QCOMPARE(shortAddress.size(), 1);
    QCOMPARE(shortAddress[0].font.pointSize, 12.0);
    QCOMPARE(shortAddress[0].stretch, 1.0);
}

void TestReportEngine::cardLongRemarkClipped()
{
    WarrantyCardData data;
    QString remark;
    for (int i = 1; i <= 30; ++i)
        remark += QStringLiteral("第%1行备注，保修期内免费更换配件。").arg(i);
    remark += QStringLiteral("\n末尾标记");
    data.QMemo = remark;
    const PreparedReport card = PrepareWarrantyCard(data);
    const QVector<Primitive> lines = card.Named(0, QStringLiteral("QMemo"));
    const QRectF box(10 + 21.2, kDetailTop + 171.4, 116.7, 38.4);
    QVERIFY(lines.size() >= 5);
    QString shown;
    for (const Primitive& line : lines) {
        QVERIFY(box.adjusted(-0.01, -0.01, 0.01, 0.01).contains(line.rect));
        shown += line.text;
    }
    QVERIFY(remark.startsWith(shown));
    QVERIFY(!shown.contains(QStringLiteral("末尾标记")));

    if (!HavePdfToText())
        return;
    const QString pdf = m_dir.filePath(QStringLiteral("long.pdf"));
    QVERIFY(ExportPdf(card, pdf, nullptr));
    const QString text = AllText(PdfWords(pdf));
    QVERIFY(text.contains(QStringLiteral("第1行备注")));
    QVERIFY(!text.contains(QStringLiteral("末尾标记")));
    QVERIFY(!text.contains(QStringLiteral("第30行")));
}

void TestReportEngine::cardEmptyAndPlaceholderTexts()
{
    // No company row and an add-mode dialog: every filled element prints empty.
    const PreparedReport empty = PrepareWarrantyCard(WarrantyCardData());
    for (const QString& name : WarrantyCardFieldNames()) {
        for (const Primitive& p : empty.Named(0, name)) {
            QVERIFY2(p.text.isEmpty(), qPrintable(name));
            QCOMPARE(p.rect.width(), 0.0);
        }
    }
    // A box showing the placeholder prints it.
    WarrantyCardData data;
    data.LblPrint = QStringLiteral("无");
    data.LblCN2 = QStringLiteral("二、上门服务");
    const PreparedReport card = PrepareWarrantyCard(data);
    QCOMPARE(card.Named(0, QStringLiteral("LblPrint")).value(0).text, QStringLiteral("无"));
    QCOMPARE(card.Named(0, QStringLiteral("LblCN1")).value(0).text, QString());

    if (!HavePdfToText())
        return;
    QStringList fixed;
    for (const char* text : kFixedTexts)
        fixed.append(QString::fromUtf8(text));
    const QString emptyPdf = m_dir.filePath(QStringLiteral("empty.pdf"));
    QVERIFY(ExportPdf(empty, emptyPdf, nullptr));
    for (const PdfWord& word : PdfWords(emptyPdf)) {
        // Only fixed texts and the side captions are on an empty card.
        const bool isFixed = fixed.contains(word.text) || word.text.size() == 1;
        QVERIFY2(isFixed, qPrintable(word.text));
    }
    const QString cardPdf = m_dir.filePath(QStringLiteral("placeholder.pdf"));
    QVERIFY(ExportPdf(card, cardPdf, nullptr));
    bool placeholder = false;
    for (const PdfWord& word : PdfWords(cardPdf))
        placeholder |= word.text == QStringLiteral("无") && qAbs(word.box.left() - 128.5) <= kTolerance;
    QVERIFY(placeholder);
}

void TestReportEngine::memoLineBreaksAndWrapping()
{
    const FontSpec font;
    // Every line-break convention ends a line; an empty line stays.
    QCOMPARE(MemoLines(QStringLiteral("甲\r\n乙\n\r丙\r丁\n\n戊"), font, QSizeF(100, 100)),
             QStringList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"),
                          QStringLiteral("丁"), QString(), QStringLiteral("戊")}));
    // Latin text wraps at spaces, CJK text between characters, every line within the width.
    const QString mixed =
        QStringLiteral("The quick brown fox jumps over the lazy dog 一二三四五六七八九十甲乙丙丁");
    const QStringList lines = MemoLines(mixed, font, QSizeF(30, 100));
    QVERIFY(lines.size() > 3);
    for (const QString& line : lines)
        QVERIFY2(TextWidth(line, font) <= 30.0 + 1e-6, qPrintable(line));
    QCOMPARE(lines.join(QString()).remove(QLatin1Char(' ')), QString(mixed).remove(QLatin1Char(' ')));
    QVERIFY(lines.contains(QStringLiteral("The quick")));
    // A word wider than the box is cut; a box lower than one line shows nothing.
    const QStringList cut = MemoLines(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), font, QSizeF(10, 100));
    QVERIFY(cut.size() > 1);
    QCOMPARE(cut.join(QString()), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    QVERIFY(MemoLines(QStringLiteral("甲"), font, QSizeF(100, 3)).isEmpty());
}

void TestReportEngine::fontFallsBackToCjkSerif()
{
    if (!QFontDatabase::families().contains(QStringLiteral("Noto Serif CJK SC")))
        QSKIP("fonts-noto-cjk is not installed");
    QCOMPARE(QFontInfo(MakeFont(FontSpec())).family(), QStringLiteral("Noto Serif CJK SC"));
    FontSpec bold;
    bold.bold = true;
    QVERIFY(QFontInfo(MakeFont(bold)).bold());
}

void TestReportEngine::prepareSpillsDetailToNewPage()
{
    ReportTemplate report;
    report.AddBand(BandKind::PageHeader, 10)
        .elements.append(
            {ElementKind::Text, QStringLiteral("H"), QRectF(0, 0, 10, 5), QStringLiteral("页眉"), {}});
    for (const char* name : {"D1", "D2"})
        report.AddBand(BandKind::Detail, 200)
            .elements.append({ElementKind::Text,
                              QString::fromLatin1(name),
                              QRectF(1, 2, 10, 5),
                              QStringLiteral("明细"),
                              {}});
    report.AddBand(BandKind::PageFooter, 20)
        .elements.append(
            {ElementKind::Text, QStringLiteral("F"), QRectF(0, 3, 10, 5), QStringLiteral("页脚"), {}});
    const PreparedReport prepared = Prepare(report);
    QCOMPARE(prepared.PageCount(), 2);
    QCOMPARE(prepared.Named(0, QStringLiteral("H")).size(), 1);
    QCOMPARE(prepared.Named(1, QStringLiteral("H")).size(), 0);
    QCOMPARE(prepared.Named(0, QStringLiteral("D1")).value(0).rect.topLeft(), QPointF(11, 22));
    QCOMPARE(prepared.Named(1, QStringLiteral("D2")).value(0).rect.topLeft(), QPointF(11, 12));
    QCOMPARE(prepared.Named(0, QStringLiteral("F")).size(), 0);
    QCOMPARE(prepared.Named(1, QStringLiteral("F")).value(0).rect.top(), 297.0 - 10 - 20 + 3);
}

void TestReportEngine::reportFileRoundTrip()
{
    for (const PreparedReport& report : {m_card, MixedReport()}) {
        PreparedReport back;
        QString error;
        QVERIFY2(DeserializeReport(SerializeReport(report), QStringLiteral("x.rmp"), &back, &error),
                 qPrintable(error));
        QVERIFY(back == report);
        const QString file = m_dir.filePath(QStringLiteral("round.rmp"));
        QVERIFY2(SaveReportFile(file, report, &error), qPrintable(error));
        PreparedReport loaded;
        QVERIFY2(LoadReportFile(file, &loaded, &error), qPrintable(error));
        QVERIFY(loaded == report);
    }
    QCOMPARE(MixedReport().PageCount(), 3);
}

void TestReportEngine::reportFileRefusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("message");
    const QByteArray good = SerializeReport(MixedReport());
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x40);
    QByteArray newer = good;
    newer[9] = char(kReportFileVersion + 1);
    QByteArray badKind;
    {
        QDataStream out(&badKind, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << QStringLiteral("A4") << 210.0 << 297.0 << quint8(0) << 10.0 << 10.0 << 10.0 << 10.0;
        out << QStringLiteral("坏") << quint32(1) << quint32(1);
        // A complete primitive whose kind does not exist.
        out << quint8(9) << QString() << QRectF(0, 0, 1, 1) << QLineF() << QStringLiteral("字");
        out << QStringLiteral("宋体") << 12.0 << false << false << qint32(1) << quint8(0) << false << 1.0;
    }
    QTest::newRow("empty") << QByteArray() << QStringLiteral("不是报表文件");
    QTest::newRow("foreign") << QByteArray(
                                    "\x89PNG\r\n\x1a\n0000000000000000000000000000000000000000000000000")
                             << QStringLiteral("不是报表文件");
    QTest::newRow("text") << QByteArray("报表文件 WBRMP") << QStringLiteral("不是报表文件");
    QTest::newRow("header only") << good.left(20) << QStringLiteral("不完整");
    QTest::newRow("truncated") << good.left(good.size() - 7) << QStringLiteral("不完整");
    QTest::newRow("flipped byte") << flipped << QStringLiteral("已损坏");
    QTest::newRow("trailing bytes") << good + "xx" << QStringLiteral("已损坏");
    QTest::newRow("newer version") << newer << QStringLiteral("版本");
    QTest::newRow("bad primitive kind") << Container(1, badKind) << QStringLiteral("已损坏");
    // Valid files whose texts no page can show; painting them would freeze the preview.
    PreparedReport huge = MixedReport();
    huge.pages[0].primitives[0].text = QString(5000, QChar(0x5b57));
    QTest::newRow("huge text") << SerializeReport(huge) << QStringLiteral("已损坏");
    huge = MixedReport();
    huge.title = QString(100000, 'x');
    QTest::newRow("huge title") << SerializeReport(huge) << QStringLiteral("已损坏");
}

void TestReportEngine::reportFileRefusesBadFiles()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, message);
    const QString file = m_dir.filePath(QStringLiteral("bad.rmp"));
    QVERIFY(WriteFile(file, data));
    PreparedReport report = m_card;
    QString error;
    QVERIFY(!LoadReportFile(file, &report, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("bad.rmp")));
    QVERIFY(report == m_card);
}

void TestReportEngine::renderDrawsOnlyTheVisibleArea()
{
    // Many lines down the page and one long line across it.
    PreparedPage page;
    for (int i = 0; i < 200; ++i) {
        Primitive line;
        line.text = QStringLiteral("第%1行 保修卡").arg(i);
        line.rect = QRectF(10, 10 + i * 1.2, TextWidth(line.text, line.font), 5);
        page.primitives.append(line);
    }
    Primitive wide;
    wide.text = QString(4000, QChar(0x5b57)) + QStringLiteral(" 12345");
    wide.rect = QRectF(10, 5, TextWidth(wide.text, wide.font), 5);
    page.primitives.append(wide);

    auto recorded = [&page](const QRectF& clip) {
        QPicture picture;
        QPainter painter(&picture);
        if (!clip.isEmpty())
            painter.setClipRect(clip);
        RenderPage(painter, page, 4.0);
        painter.end();
        return picture.size();
    };
    const uint whole = recorded({});
    // The top-left corner of the page at 4 px/mm: the first lines only.
    const uint corner = recorded(QRectF(0, 0, 200, 80));
    QVERIFY2(corner * 10 < whole, qPrintable(QStringLiteral("%1 of %2 bytes").arg(corner).arg(whole)));
    QVERIFY(corner > 0);
}

void TestReportEngine::exportPdfAndPng()
{
    const PreparedReport mixed = MixedReport();
    // PNG: one image per page at the report's paper size (B5 landscape, 50 dpi).
    const QString png = m_dir.filePath(QStringLiteral("mixed.png"));
    QString error;
    QVERIFY2(ExportPng(mixed, png, &error, 50), qPrintable(error));
    const QStringList names = PngFileNames(png, 3);
    QCOMPARE(names.size(), 3);
    for (const QString& name : names) {
        const QImage image(name);
        QCOMPARE(image.size(), QSize(qCeil(250 * 50 / 25.4), qCeil(176 * 50 / 25.4)));
    }
    QCOMPARE(PngFileNames(png, 1), QStringList{png});
    QVERIFY(!ExportPng(mixed, m_dir.filePath(QStringLiteral("missing/x.png")), &error));
    QVERIFY(error.contains(QStringLiteral("x_1.png")));

    if (!HavePdfToText())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString pdf = m_dir.filePath(QStringLiteral("mixed.pdf"));
    QVERIFY(ExportPdf(mixed, pdf, &error));
    int pages = 0;
    const QString text = AllText(PdfWords(pdf, &pages));
    QCOMPARE(pages, 3);
    for (const QString& expected :
         {QStringLiteral("页眉"), QStringLiteral("Header"), QStringLiteral("123"), QStringLiteral("第0段"),
          QStringLiteral("第2段"), QStringLiteral("换行"), QStringLiteral("页脚"), QStringLiteral("WWWW")})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    // Digits right after Latin letters stay text (they are shaped on their own).
    WarrantyCardData data;
    data.LblCpu = QStringLiteral("i5-12400F");
    data.Lblmouse = QStringLiteral("M100");
    const QString card = m_dir.filePath(QStringLiteral("digits.pdf"));
    QVERIFY(ExportPdf(PrepareWarrantyCard(data), card, &error));
    const QString cardText = AllText(PdfWords(card));
    QVERIFY(cardText.contains(QStringLiteral("i5-12400F")));
    QVERIFY(cardText.contains(QStringLiteral("M100")));
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
