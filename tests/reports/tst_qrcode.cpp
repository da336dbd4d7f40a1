// The QR code of the warranty card: what it holds, where it sits, and that
// it reads back from the rendered image, the PDF and a reopened .rmp file.
#include "QrCode.h"
#include "ReportExportFilters.h"
#include "ReportFile.h"
#include "WarrantyCard.h"
#include "WarrantyCardCode.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Report;

namespace {

// The text zbarimg reads from an image file; a null string when it finds no code.
QString Decode(const QString& imageFile)
{
    QProcess zbar;
    zbar.start("zbarimg", {"--quiet", "--raw", "-Sdisable", "-Sqrcode.enable", imageFile});
    if (!zbar.waitForFinished(60000) || zbar.exitCode() != 0)
        return {};
    QString text = QString::fromUtf8(zbar.readAllStandardOutput());
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

WarrantyCardData SampleCard(const QString& code)
{
    WarrantyCardData data;
    data.LblIncName = QStringLiteral("维保档案管家");
    data.LblPrintDate = QStringLiteral("2026-12-08");
    data.LblName = QStringLiteral("欧阳明");
    data.LblPhone = QStringLiteral("010-62001234");
    data.LblAddr = QStringLiteral("北京市海淀区中关村大街1号");
    data.LblBuyDate = QStringLiteral("2026-12-01");
    data.LblOverRun = QStringLiteral("2027-12-01");
    data.LblCpu = QStringLiteral("Intel Core i5-12400");
    data.LblCN1 = QStringLiteral("一、一年内免费保修");
    data.QRCode = code;
    return data;
}

} // namespace

class TestQrCode : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void textOfTheCode();
    void codeSitsInAFreeCorner();
    void readsBackFromImageAndPdf();
    void reportFileKeepsTheCode();

private:
    QTemporaryDir m_dir;
    QString m_text;
};

void TestQrCode::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_text = WarrantyCardCodeText(1024, QStringLiteral("欧阳明"), QDate(2026, 12, 1), QDate(2027, 12, 1),
                                  QStringLiteral("岚石电脑城"));
}

void TestQrCode::textOfTheCode()
{
    QCOMPARE(m_text, QStringLiteral("保修档案编号：1024\n客户：欧阳明\n购机日期：2026-12-01\n"
                                    "过保日期：2027-12-01\n商家：岚石电脑城"));
    // A record not yet saved has no code; a shop without a name no shop line.
    QCOMPARE(WarrantyCardCodeText(-1, "x", QDate(2026, 1, 1), QDate(2027, 1, 1), "y"), QString());
    QVERIFY(!WarrantyCardCodeText(7, "x", QDate(2026, 1, 1), QDate(2027, 1, 1), " ").contains("商家"));
    QVERIFY(QrCode::Encode(QString()).IsNull());
    // A shop name longer than the profile can hold still fits a symbol.
    QVERIFY(!QrCode::Encode(m_text + QString(100, QChar(0x5E97))).IsNull());
}

void TestQrCode::codeSitsInAFreeCorner()
{
    const PreparedReport card = PrepareWarrantyCard(SampleCard(m_text));
    const QVector<Primitive> codes = card.Named(0, "QRCode");
    QCOMPARE(codes.size(), 1);
    const QRectF box = codes[0].rect;
    QCOMPARE(box.width(), box.height());
    // Clear of every other element, text as wide as it grew.
    for (const Primitive& p : card.pages[0].primitives) {
        if (p.kind == PrimitiveKind::QrCode)
            continue;
        const QRectF other =
            p.kind == PrimitiveKind::Line ? QRectF(p.line.p1(), p.line.p2()).normalized() : p.rect;
        QVERIFY2(!box.intersects(other.adjusted(-0.5, -0.5, 0.5, 0.5)), qPrintable(p.name + p.text));
    }
    // Inside the frame's width, between the top rule and the frame.
    QVERIFY(box.right() < 10 + 186.5 && box.top() > 10 + 7.1 + 1.2);

    // Without a number nothing is drawn there.
    const PreparedReport unsaved = PrepareWarrantyCard(SampleCard(QString()));
    QVERIFY(unsaved.Named(0, "QRCode").isEmpty());
    QCOMPARE(unsaved.pages[0].primitives.size(), card.pages[0].primitives.size() - 1);
}

void TestQrCode::readsBackFromImageAndPdf()
{
    if (QStandardPaths::findExecutable("zbarimg").isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed");
    const PreparedReport card = PrepareWarrantyCard(SampleCard(m_text));
    for (int dpi : {150, 300}) {
        const QString png = m_dir.filePath(QStringLiteral("card%1.png").arg(dpi));
        QVERIFY(RenderPageImage(card, 0, dpi).save(png));
        QCOMPARE(Decode(png), m_text);
    }
    const QString empty = m_dir.filePath("unsaved.png");
    QVERIFY(RenderPageImage(PrepareWarrantyCard(SampleCard(QString())), 0, 300).save(empty));
    QCOMPARE(Decode(empty), QString());

    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        QSKIP("pdftoppm (poppler-utils) is not installed");
    const QString pdf = m_dir.filePath("card.pdf");
    QVERIFY(ExportPdf(card, pdf, nullptr));
    QVERIFY(QProcess::execute("pdftoppm",
                              {"-r", "200", "-png", "-singlefile", pdf, m_dir.filePath("fromPdf")}) == 0);
    QCOMPARE(Decode(m_dir.filePath("fromPdf.png")), m_text);
}

void TestQrCode::reportFileKeepsTheCode()
{
    const PreparedReport card = PrepareWarrantyCard(SampleCard(m_text));
    const QString file = m_dir.filePath("card.rmp");
    QString error;
    QVERIFY2(SaveReportFile(file, card, &error), qPrintable(error));
    PreparedReport reopened;
    QVERIFY2(LoadReportFile(file, &reopened, &error), qPrintable(error));
    QCOMPARE(reopened, card);
    QCOMPARE(reopened.Named(0, "QRCode").value(0).text, m_text);
    if (!QStandardPaths::findExecutable("zbarimg").isEmpty()) {
        const QString png = m_dir.filePath("reopened.png");
        QVERIFY(RenderPageImage(reopened, 0, 300).save(png));
        QCOMPARE(Decode(png), m_text);
    }

    // A file of the first format (no codes) still opens; a code without
    // text is refused as damage.
    QByteArray first = SerializeReport(PrepareWarrantyCard(SampleCard(QString())), 1);
    QVERIFY2(DeserializeReport(first, "old.rmp", &reopened, &error), qPrintable(error));
    PreparedReport blank = card;
    for (Primitive& p : blank.pages[0].primitives)
        if (p.kind == PrimitiveKind::QrCode)
            p.text.clear();
    QVERIFY(!DeserializeReport(SerializeReport(blank), "blank.rmp", &reopened, &error));
    QVERIFY(error.contains(QStringLiteral("已损坏")));
}

QTEST_MAIN(TestQrCode)
#include "tst_qrcode.moc"
