// The spreadsheet readers: .xlsx (our own writer's and hand-made workbooks),
// .xls, CSV in both encodings, and the choice of reader by content.
#include "CsvReader.h"
#include "GbkText.h"
#include "QtXlsxReader.h"
#include "RandomRun.h"
#include "SheetReader.h"
#include "XlsReader.h"
#include "XlsxExport.h"
#include "XlsxReader.h"
#include "ZipWriter.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>

namespace {

QVector<QVector<QVariant>> ReadAll(SheetReader& reader, QVector<int>* rowNumbers = nullptr)
{
    QVector<QVector<QVariant>> rows;
    QVector<QVariant> row;
    while (reader.ReadRow(&row)) {
        rows << row;
        if (rowNumbers)
            *rowNumbers << reader.RowNumber();
    }
    return rows;
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

ZipEntry SheetEntry(const QByteArray& xml)
{
    return TextEntry(QString(), xml);
}

// An entry of `head`, then `unit` `times` over in blocks of about a
// megabyte, then `tail`: large parts without holding them in memory.
ZipEntry Repeated(const QByteArray& head, const QByteArray& unit, qint64 times, const QByteArray& tail)
{
    const qint64 perBlock = qMax<qint64>(1, 1024 * 1024 / unit.size());
    const QByteArray full = unit.repeated(perBlock);
    const qint64 blocks = (times + perBlock - 1) / perBlock;
    return {QString(), [=](int block) -> QByteArray {
                if (block == 0)
                    return head;
                if (block <= blocks)
                    return block < blocks ? full : unit.repeated(times - (blocks - 1) * perBlock);
                return block == blocks + 1 ? tail : QByteArray();
            }};
}

// A one-sheet workbook with shared strings and styles of its own.
std::vector<ZipEntry> WorkbookWithParts(const ZipEntry& sheet, ZipEntry strings, ZipEntry styles)
{
    std::vector<ZipEntry> entries = WorkbookEntries(sheet);
    entries[3] =
        TextEntry("xl/_rels/workbook.xml.rels",
                  "<?xml version=\"1.0\"?><Relationships>"
                  "<Relationship Id=\"rId1\" Type=\"http://x/relationships/worksheet\" "
                  "Target=\"worksheets/sheet1.xml\"/>"
                  "<Relationship Id=\"rId2\" Type=\"http://x/relationships/sharedStrings\" "
                  "Target=\"sharedStrings.xml\"/>"
                  "<Relationship Id=\"rId3\" Type=\"http://x/relationships/styles\" Target=\"styles.xml\"/>"
                  "</Relationships>");
    strings.name = "xl/sharedStrings.xml";
    styles.name = "xl/styles.xml";
    entries.push_back(strings);
    entries.push_back(styles);
    return entries;
}

const QByteArray PlainStrings = "<sst><si><t>甲</t></si></sst>";
// Style 1 shows a date.
const QByteArray PlainStyles =
    "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>";

// Opens and reads `file` to its end; the refusal, empty when it was read.
QString Refusal(const QString& file, int* rows = nullptr)
{
    QString error;
    auto reader = SheetReader::OpenFile(file, &error);
    if (!reader)
        return error.isEmpty() ? QStringLiteral("(no message)") : error;
    QVector<QVariant> row;
    int count = 0;
    while (reader->ReadRow(&row))
        ++count;
    if (rows)
        *rows = count;
    return reader->ErrorString();
}

// The sample old workbook with `changes` bytes set at random past its first
// eight (the signature, so that it is still taken for an old workbook).
QByteArray Mutated(const QByteArray& sample, QRandomGenerator& random, int changes)
{
    QByteArray bytes = sample;
    for (int i = 0; i < changes; ++i)
        bytes[8 + random.bounded(int(bytes.size()) - 8)] = char(random.bounded(256));
    return bytes;
}

// What a reader makes of a file: every row with its number, or its refusal.
// The rows read before a refusal do not count (the import refuses the whole
// file; where a parser notices malformed XML depends on how far it looks
// ahead), nor the parser's own wording of it after "格式有误：".
QString Transcript(SheetReader& reader, const QString& file)
{
    QString out;
    QDebug log(&out);
    if (reader.Open(file)) {
        QVector<QVariant> row;
        while (reader.ReadRow(&row))
            log << reader.RowNumber() << row << "\n";
    }
    QString error = reader.ErrorString();
    const qsizetype malformed = error.indexOf(QStringLiteral("格式有误："));
    if (malformed >= 0)
        error = error.left(malformed + 5);
    return error.isEmpty() ? out : "refusal: " + error;
}

// An empty text when both .xlsx readers make the same of `file`, else both
// transcripts.
QString ReadersDiffer(const QString& file)
{
    XlsxReader expat;
    QtXlsxReader earlier;
    const QString a = Transcript(expat, file);
    const QString b = Transcript(earlier, file);
    return a == b ? QString() : "reader:\n" + a.left(2000) + "\nearlier reader:\n" + b.left(2000);
}

// The transcripts of `file` read through the reader's scanner and through
// expat: empty when they agree.
QString ParsersDiffer(const QString& file, QString* scanned = nullptr)
{
    XlsxReader::SetParser(XlsxReader::Parser::Expat);
    XlsxReader onExpat;
    const QString b = Transcript(onExpat, file);
    XlsxReader::SetParser(XlsxReader::Parser::Scanner);
    XlsxReader onScanner;
    const QString a = Transcript(onScanner, file);
    if (scanned)
        *scanned = a;
    return a == b ? QString() : "scanner:\n" + a.left(3000) + "\nexpat:\n" + b.left(3000);
}

// A sheet as other programs write it: prefixed names, either quote,
// references, CDATA, comments and instructions among rows and cells, rows
// and cells without references, formulas with their values.
const QByteArray PrefixedSheet =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
    "<x:row r='1'><x:c t='s' r='A1'><x:v>0</x:v></x:c><x:c r = \"B1\" t = \"s\" ><x:v>1</x:v></x:c>"
    "<!-- a remark --><x:c t=\"inlineStr\"><x:is><x:t><![CDATA[a<b>&c]]></x:t></x:is></x:c></x:row>"
    "<?note between rows?><x:row/><x:row spans=\"1:3\"><x:c s=\"1\"><x:v>45000</x:v></x:c>"
    "<x:c t=\"str\"><x:f>A1&amp;B1</x:f><x:v>&#x4E01;&#20013;&lt;</x:v></x:c><x:c t=\"b\"><x:v>1</x:v></x:c>"
    "<x:c/><x:c t=\"inlineStr\"><x:is><x:r><x:t xml:space=\"preserve\"> 甲 "
    "</x:t></x:r><x:r><x:t>乙\r\n丙</x:t>"
    "</x:r></x:is></x:c></x:row><x:row r=\"5\"><x:c r=\"C5\" t=\"e\"><x:v>#N/A</x:v></x:c>"
    "<x:c r=\"D5\" t=\"d\"><x:v>2024-02-29T10:30:00</x:v></x:c></x:row></x:sheetData></x:worksheet>";
const QByteArray PrefixedStrings =
    "<x:sst "
    "xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:si><x:t>甲&amp;</x:t></x:si>"
    "<x:si><x:r><x:t>乙</x:t></x:r><x:rPh><x:t>おつ</x:t></x:rPh><x:r><x:t><![CDATA[丙]]></x:t></x:r></"
    "x:si></x:sst>";

} // namespace

class TestSheetReaders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ::umask(022); }

    void streamedWorkbookReadsBackTyped()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("out.xlsx");
        {
            XlsxStreamWriter writer(file);
            QVERIFY(writer.Open("销售记录"));
            QVERIFY(writer.AppendRow({"用户姓名", "购买日期", "数量", "备注"}));
            QVERIFY(writer.AppendRow({"张三", QDate(2024, 3, 5), 2, "第一行\n第二行\r\n第三行"}));
            QVERIFY(
                writer.AppendRow({QVariant(), QDateTime(QDate(1900, 1, 1), QTime(12, 0)), 1.5, "a,\"b\""}));
            // Nothing appears under the name before the workbook is complete.
            QVERIFY(!QFile::exists(file));
            QVERIFY(writer.Commit());
        }
        XlsxReader reader;
        QVERIFY2(reader.Open(file), qPrintable(reader.ErrorString()));
        QCOMPARE(reader.SheetName(), QStringLiteral("销售记录"));
        QVector<int> numbers;
        const auto rows = ReadAll(reader, &numbers);
        QVERIFY(!reader.HasError());
        QCOMPARE(numbers, QVector<int>({1, 2, 3}));
        QCOMPARE(rows[0], QVector<QVariant>({"用户姓名", "购买日期", "数量", "备注"}));
        QCOMPARE(rows[1][1], QVariant(QDate(2024, 3, 5)));
        QCOMPARE(rows[1][2], QVariant(2.0));
        QCOMPARE(rows[1][3].toString(), QStringLiteral("第一行\n第二行\r\n第三行"));
        QVERIFY(rows[2][0].isNull());
        QCOMPARE(rows[2][1], QVariant(QDateTime(QDate(1900, 1, 1), QTime(12, 0))));
        QCOMPARE(rows[2][3].toString(), QStringLiteral("a,\"b\""));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.xlsx"});
        // Readable by others as any new file of the user, not owner-only as
        // the temporary file it was written to.
        QVERIFY(QFileInfo(file).permissions().testFlags(QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }

    void discardedWorkbookLeavesNothing()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("out.xlsx");
        WriteFile(file, "earlier");
        {
            XlsxStreamWriter writer(file);
            QVERIFY(writer.Open("s"));
            QVERIFY(writer.AppendRow({"x"}));
        } // never committed
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.xlsx"});
    }

    void handMadeWorkbookSharedAndInlineStrings()
    {
        // Shared strings with phonetic runs, a 1904 calendar, cells without
        // references, a date format by id and by code, escapes.
        QTemporaryDir dir;
        const QString file = dir.filePath("hand.xlsx");
        std::vector<ZipEntry> entries =
            WorkbookEntries(SheetEntry("<?xml version=\"1.0\"?><worksheet "
                                       "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                       "<sheetData>"
                                       "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c "
                                       "t=\"inlineStr\"><is><r><t>甲</t></r><r><t>乙_x000D_"
                                       "</t></r></is></c></row>"
                                       "<row><c r=\"A3\" s=\"1\"><v>0</v></c><c r=\"B3\" "
                                       "s=\"2\"><v>1.5</v></c><c r=\"C3\"><v>13800138000</v>"
                                       "</c><c r=\"D3\" t=\"b\"><v>1</v></c></row>"
                                       "</sheetData></worksheet>"));
        entries[2] = TextEntry(
            "xl/workbook.xml",
            "<?xml version=\"1.0\"?><workbook "
            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><workbookPr "
            "date1904=\"1\"/><sheets><sheet name=\"客户\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
        entries[3] = TextEntry(
            "xl/_rels/workbook.xml.rels",
            "<?xml version=\"1.0\"?><Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"/xl/worksheets/sheet1.xml\"/>"
            "<Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
            "Target=\"sharedStrings.xml\"/>"
            "<Relationship Id=\"rId3\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
            "Target=\"styles.xml\"/></Relationships>");
        entries.push_back(
            TextEntry("xl/sharedStrings.xml",
                      "<?xml version=\"1.0\"?><sst><si><t>王</t><rPh><t>おう</t></rPh><r><t>五</t></r>"
                      "</si></sst>"));
        entries.push_back(TextEntry(
            "xl/styles.xml", "<?xml version=\"1.0\"?><styleSheet><numFmts><numFmt numFmtId=\"164\" "
                             "formatCode=\"[Red]yyyy&quot;年&quot;m&quot;月&quot;\"/></numFmts><cellXfs>"
                             "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/></cellXfs>"
                             "</styleSheet>"));
        QVERIFY(WriteZip(file, entries));

        XlsxReader reader;
        QVERIFY2(reader.Open(file), qPrintable(reader.ErrorString()));
        QCOMPARE(reader.SheetName(), QStringLiteral("客户"));
        QVector<int> numbers;
        const auto rows = ReadAll(reader, &numbers);
        QVERIFY2(!reader.HasError(), qPrintable(reader.ErrorString()));
        QCOMPARE(numbers, QVector<int>({2, 3}));
        QCOMPARE(rows[0], QVector<QVariant>({QVariant(), "王五", "甲乙\r"}));
        QCOMPARE(rows[1][0], QVariant(QDate(1904, 1, 1)));
        QCOMPARE(rows[1][1], QVariant(QDateTime(QDate(1904, 1, 2), QTime(12, 0))));
        QCOMPARE(rows[1][2], QVariant(13800138000.0));
        QCOMPARE(rows[1][3], QVariant("TRUE"));
    }

    void dateFormats_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("date");
        QTest::newRow("general") << "General" << false;
        QTest::newRow("number") << "#,##0.00" << false;
        QTest::newRow("colour only") << "[Red]0.0" << false;
        QTest::newRow("quoted letters") << "0\"days\"" << false;
        QTest::newRow("iso") << "yyyy-mm-dd" << true;
        QTest::newRow("time") << "h:mm:ss" << true;
        QTest::newRow("chinese") << "yyyy\"年\"m\"月\"d\"日\"" << true;
    }
    void dateFormats()
    {
        QFETCH(QString, code);
        QFETCH(bool, date);
        QCOMPARE(XlsxReader::IsDateFormat(code), date);
    }

    void csvEncodingsAndQuoting()
    {
        QTemporaryDir dir;
        const QString text =
            QStringLiteral("姓名,备注\r\n张三,\"逗号,引号\"\"和\r\n换行\"\r\n,\r\n\r\n李四,\"\"\r\n");
        const struct
        {
            const char* name;
            QByteArray bytes;
            CsvReader::Encoding encoding;
        } files[] = {{"bom.csv", "\xEF\xBB\xBF" + text.toUtf8(), CsvReader::Encoding::Utf8},
                     {"plain.csv", text.toUtf8(), CsvReader::Encoding::Utf8},
                     {"gbk.csv", Gbk::Encode(text), CsvReader::Encoding::Gb18030}};
        for (const auto& f : files) {
            WriteFile(dir.filePath(f.name), f.bytes);
            CsvReader reader;
            QVERIFY(reader.Open(dir.filePath(f.name)));
            QCOMPARE(reader.DetectedEncoding(), f.encoding);
            QVector<int> numbers;
            const auto rows = ReadAll(reader, &numbers);
            QVERIFY(!reader.HasError());
            // Blank rows are skipped but counted, as a spreadsheet numbers them.
            QCOMPARE(numbers, QVector<int>({1, 2, 5}));
            QCOMPARE(rows[0], QVector<QVariant>({"姓名", "备注"}));
            QCOMPARE(rows[1], QVector<QVariant>({"张三", QStringLiteral("逗号,引号\"和\r\n换行")}));
            QCOMPARE(rows[2], QVector<QVariant>({"李四"}));
        }
        // Quotes inside a field that did not open with one, and text after
        // a closing quote, are kept as they stand.
        WriteFile(dir.filePath("stray.csv"), QStringLiteral("引\"号,\"甲\"乙,\"\"丙\",丁\n").toUtf8());
        CsvReader stray;
        QVERIFY(stray.Open(dir.filePath("stray.csv")));
        const auto strayRows = ReadAll(stray);
        QCOMPARE(strayRows.value(0), QVector<QVariant>({QStringLiteral("引\"号"), QStringLiteral("甲乙"),
                                                        QStringLiteral("丙\""), "丁"}));
        WriteFile(dir.filePath("open.csv"), "a,\"never closed\nb\n");
        CsvReader open;
        QVERIFY(open.Open(dir.filePath("open.csv")));
        QVector<QVariant> row;
        QVERIFY(!open.ReadRow(&row));
        QVERIFY(open.HasError());
    }

    void oldWorkbook()
    {
        XlsReader reader;
        QVERIFY2(reader.Open(TEST_DATA_DIR "/sales-old.xls"), qPrintable(reader.ErrorString()));
        const auto rows = ReadAll(reader);
        QVERIFY(!reader.HasError());
        QVERIFY(rows.size() >= 2);
        QCOMPARE(rows[0].value(0).toString(), QStringLiteral("客户名称"));
        QCOMPARE(rows[1].value(0).toString(), QStringLiteral("刘洋"));
        QCOMPARE(rows[1].value(3), QVariant(13900001111.0));
        QCOMPARE(rows[1].value(5), QVariant(QDate(2003, 5, 20)));
    }

    void readerChosenByContent()
    {
        QTemporaryDir dir;
        QString error;
        // A workbook named .csv is still read as a workbook, and the reverse.
        QFile::copy(TEST_DATA_DIR "/sales-old.xls", dir.filePath("old.csv"));
        auto xls = SheetReader::OpenFile(dir.filePath("old.csv"), &error);
        QVERIFY(dynamic_cast<XlsReader*>(xls.get()));
        WriteFile(dir.filePath("text.xlsx"), "a,b\n1,2\n");
        auto csv = SheetReader::OpenFile(dir.filePath("text.xlsx"), &error);
        QVERIFY(dynamic_cast<CsvReader*>(csv.get()));

        const struct
        {
            const char* name;
            QByteArray bytes;
            const char16_t* message;
        } refused[] = {{"empty.xlsx", QByteArray(), u"文件是空的"},
                       {"binary.csv",
                        QByteArray("\x7F"
                                   "ELF\x02\x01\x01\0\0\0",
                                   10),
                        u"不是可以读取的表格文件"},
                       {"fake.xlsx", QByteArray("PK\x03\x04garbage"), u"不是有效的Excel工作簿"},
                       {"fake.xls", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 garbage"),
                        u"不是有效的Excel 97-2003工作簿"}};
        for (const auto& r : refused) {
            WriteFile(dir.filePath(r.name), r.bytes);
            error.clear();
            QVERIFY(!SheetReader::OpenFile(dir.filePath(r.name), &error));
            QVERIFY2(error.contains(QString::fromUtf16(r.message)), qPrintable(error));
        }
        // Too large: refused by its size before a byte is read.
        QFile big(dir.filePath("big.csv"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(100LL * 1024 * 1024));
        big.close();
        QVERIFY(!SheetReader::OpenFile(big.fileName(), &error));
        QVERIFY2(error.contains(QStringLiteral("文件太大")), qPrintable(error));
    }

    void zipBombIsStoppedEarly()
    {
        // 300 MB of comments in the sheet pack into a few hundred KB.
        QTemporaryDir dir;
        const QString file = dir.filePath("bomb.xlsx");
        const QByteArray blanks = "<!--" + QByteArray(1024 * 1024 - 7, ' ') + "-->";
        ZipEntry sheet{QString(), [&blanks](int block) {
                           if (block == 0)
                               return QByteArray("<?xml version=\"1.0\"?><worksheet><sheetData><row><c "
                                                 "t=\"inlineStr\"><is><t>");
                           return block <= 300 ? blanks : QByteArray();
                       }};
        QVERIFY(WriteZip(file, WorkbookEntries(sheet)));
        QVERIFY(QFileInfo(file).size() < 2 * 1024 * 1024);
        // Refused by the size the zip gives, before a byte is unpacked.
        XlsxReader reader;
        QVector<QVariant> row;
        QVERIFY(!reader.Open(file) || !reader.ReadRow(&row));
        QVERIFY2(reader.ErrorString().contains(QStringLiteral("解压后的数据量过大")),
                 qPrintable(reader.ErrorString()));
    }

    void overlongCellIsRefused()
    {
        // No spreadsheet holds a cell of 300 000 characters: the text is not
        // gathered without end.
        QTemporaryDir dir;
        const QString file = dir.filePath("long.xlsx");
        QVERIFY(WriteZip(file,
                         WorkbookEntries(SheetEntry("<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>" +
                                                    QByteArray(300000, 'x') +
                                                    "</t></is></c></row></sheetData></worksheet>"))));
        XlsxReader reader;
        QVERIFY(reader.Open(file));
        QVector<QVariant> row;
        QVERIFY(!reader.ReadRow(&row));
        QVERIFY2(reader.ErrorString().contains(QStringLiteral("内容过长")), qPrintable(reader.ErrorString()));
    }

    void hostileWorkbooksAreRefusedByTheirBound_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("20 million nested elements") << "nested"
                                                    << "嵌套超过 64 层";
        QTest::newRow("one cell repeated") << "samecell"
                                           << "单元格重复或顺序有误";
        QTest::newRow("cells without references") << "manycells"
                                                  << "单元格过多（第 1 行超过 16384 个）";
        QTest::newRow("cells out of order") << "backwards"
                                            << "单元格重复或顺序有误";
        QTest::newRow("row number too large") << "lastrow"
                                              << "行过多（行号超过 1048576）";
        QTest::newRow("row repeated") << "samerow"
                                      << "第 1 行的行号重复或顺序有误";
        QTest::newRow("empty shared strings") << "strings"
                                              << "共享字符串过多（超过 1000000 个）";
        QTest::newRow("empty styles") << "styles"
                                      << "单元格样式过多（超过 1000000 个）";
        QTest::newRow("long shared string") << "longstring"
                                            << "共享字符串过长（超过 32767 个字符）";
        QTest::newRow("2 MB attribute") << "token"
                                        << "超过 1 MB";
        QTest::newRow("long comments") << "comments"
                                       << "注释超过 1 MB";
        QTest::newRow("2 MB text") << "text"
                                   << "";
    }
    void hostileWorkbooksAreRefusedByTheirBound()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath("hostile.xlsx");
        const QByteArray sheetHead = "<worksheet><sheetData>";
        const QByteArray sheetTail = "</sheetData></worksheet>";
        const QByteArray header = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>";
        ZipEntry sheet = TextEntry(QString(), sheetHead + header + sheetTail);
        ZipEntry strings = TextEntry(QString(), PlainStrings);
        ZipEntry styles = TextEntry(QString(), PlainStyles);
        if (kind == "nested")
            sheet = Repeated(sheetHead + "<row><c t=\"inlineStr\"><is><t>", "<a>", 20000000, QByteArray());
        else if (kind == "samecell")
            sheet = Repeated(sheetHead + "<row r=\"1\">", "<c r=\"A1\"><v>1</v></c>", 300000,
                             "</row>" + sheetTail);
        else if (kind == "manycells")
            sheet = Repeated(sheetHead + "<row>", "<c><v>1</v></c>", 400000, "</row>" + sheetTail);
        else if (kind == "backwards")
            sheet = SheetEntry(sheetHead + "<row><c r=\"C1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>" +
                               sheetTail);
        else if (kind == "lastrow")
            sheet = SheetEntry(sheetHead + header + "<row r=\"1048577\"><c><v>1</v></c></row>" + sheetTail);
        else if (kind == "samerow")
            sheet = Repeated(sheetHead, "<row r=\"1\"><c><v>1</v></c></row>", 300000, sheetTail);
        else if (kind == "strings")
            strings = Repeated("<sst>", "<si/>", 2000000, "</sst>");
        else if (kind == "styles")
            styles = Repeated("<styleSheet><cellXfs>", "<xf/>", 2000000, "</cellXfs></styleSheet>");
        else if (kind == "longstring")
            strings = TextEntry(QString(), "<sst><si><t>" + QByteArray(32768, 'x') + "</t></si></sst>");
        else if (kind == "token")
            sheet = SheetEntry(sheetHead + "<row><c r=\"A1\" x=\"" + QByteArray(2 * 1024 * 1024, 'x') +
                               "\"/></row>" + sheetTail);
        else if (kind == "comments")
            sheet = Repeated(sheetHead + header, "<!--" + QByteArray(65536, '-').replace("--", "- ") + "-->",
                             40, sheetTail);
        else if (kind == "text")
            sheet = SheetEntry(sheetHead + "<row><c t=\"inlineStr\"><is><t>" +
                               QByteArray(2 * 1024 * 1024, 'x') + "</t></is></c></row>" + sheetTail);
        QVERIFY(WriteZip(file, WorkbookWithParts(sheet, strings, styles)));
        QVERIFY(QFileInfo(file).size() < 4 * 1024 * 1024);
        const QString error = Refusal(file);
        // A 2 MB text is refused as a token or as a cell, whichever bound
        // the parser meets first.
        QVERIFY2(!error.isEmpty(), "read without a refusal");
        QVERIFY2(error.contains(message), qPrintable(error));
    }

    void limitsLetOrdinarySheetsThrough()
    {
        // The longest shared string a cell can hold, columns up to the last
        // one with a gap, a row number at the very end.
        QTemporaryDir dir;
        const QString file = dir.filePath("edges.xlsx");
        const QByteArray longest(32767, 'y');
        QVERIFY(WriteZip(
            file, WorkbookWithParts(
                      SheetEntry("<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                                 "<c r=\"C1\" t=\"s\"><v>1</v></c><c r=\"XFD1\"><v>7</v></c></row>"
                                 "<row r=\"1048576\"><c r=\"B1048576\" s=\"1\"><v>45000</v></c></row>"
                                 "</sheetData></worksheet>"),
                      TextEntry(QString(), "<sst><si><t>甲</t></si><si><t>" + longest + "</t></si></sst>"),
                      TextEntry(QString(), PlainStyles))));
        XlsxReader reader;
        QVERIFY2(reader.Open(file), qPrintable(reader.ErrorString()));
        QVector<int> numbers;
        const auto rows = ReadAll(reader, &numbers);
        QVERIFY2(!reader.HasError(), qPrintable(reader.ErrorString()));
        QCOMPARE(numbers, QVector<int>({1, 1048576}));
        QCOMPARE(rows[0].size(), 16384);
        QCOMPARE(rows[0][2].toString(), QString::fromLatin1(longest));
        QCOMPARE(rows[0][16383], QVariant(7.0));
        QCOMPARE(rows[1][1], QVariant(QDate(2023, 3, 15)));
    }

    void nonFiniteNumbersAreNeverDays()
    {
        // "nan" and "inf" in date-formatted cells come back as numbers that
        // are not finite, for the import to refuse; never a day.
        QTemporaryDir dir;
        const QString file = dir.filePath("nan.xlsx");
        QVERIFY(WriteZip(
            file, WorkbookWithParts(SheetEntry("<worksheet><sheetData><row><c s=\"1\"><v>nan</v></c>"
                                               "<c s=\"1\"><v>inf</v></c><c s=\"1\"><v>-inf</v></c>"
                                               "<c s=\"1\"><v>2</v></c></row></sheetData></worksheet>"),
                                    TextEntry(QString(), PlainStrings), TextEntry(QString(), PlainStyles))));
        XlsxReader reader;
        QVERIFY(reader.Open(file));
        const auto rows = ReadAll(reader);
        QVERIFY(!reader.HasError());
        QCOMPARE(rows.value(0).size(), 4);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(rows[0][c].typeId(), int(QMetaType::Double));
            QVERIFY(!std::isfinite(rows[0][c].toDouble()));
        }
        QCOMPARE(rows[0][3], QVariant(QDate(1900, 1, 2)));
    }

    void csvWithDamagedBytesNamesTheRows()
    {
        QTemporaryDir dir;
        // UTF-8 with one bad byte: still UTF-8, the header intact, the row
        // with the byte named.
        const QByteArray utf8 = QStringLiteral("用户姓名,地址\n张三,北京\n李\xFF四,上海\n王五,广州\n")
                                    .toUtf8()
                                    .replace("\xC3\xBF", "\xFF");
        WriteFile(dir.filePath("utf8.csv"), utf8);
        // GB18030 with a byte that starts no character.
        const QByteArray gbk = Gbk::Encode(QStringLiteral("用户姓名,地址\n张三,北京\n")) +
                               "\xFF\xFF,\xE4\xB8\n" + Gbk::Encode(QStringLiteral("王五,广州\n"));
        WriteFile(dir.filePath("gbk.csv"), gbk);
        const struct
        {
            const char* name;
            CsvReader::Encoding encoding;
            const char16_t* problem;
        } files[] = {{"utf8.csv", CsvReader::Encoding::Utf8, u"UTF-8"},
                     {"gbk.csv", CsvReader::Encoding::Gb18030, u"GB18030"}};
        for (const auto& f : files) {
            CsvReader reader;
            QVERIFY(reader.Open(dir.filePath(f.name)));
            QCOMPARE(reader.DetectedEncoding(), f.encoding);
            QVector<QVariant> row;
            QStringList problems;
            QVector<QVector<QVariant>> rows;
            while (reader.ReadRow(&row)) {
                rows << row;
                problems << reader.RowProblem();
            }
            QVERIFY(!reader.HasError());
            QCOMPARE(rows.size(), 4);
            QCOMPARE(rows[0], QVector<QVariant>({"用户姓名", "地址"}));
            QCOMPARE(rows[3], QVector<QVariant>({"王五", "广州"}));
            QVERIFY(problems[0].isEmpty() && problems[1].isEmpty() && problems[3].isEmpty());
            QVERIFY2(problems[2].contains(QString::fromUtf16(f.problem)), qPrintable(problems[2]));
            // The unreadable bytes are left out, never shown as something else.
            QVERIFY(!rows[2].value(0).toString().contains(QChar::ReplacementCharacter));
        }
    }

    void bytesThatAreNoTextAreNoSheet()
    {
        // Random bytes under a workbook's name, and control bytes without a
        // zero among them, are neither a workbook nor a CSV file.
        QTemporaryDir dir;
        QRandomGenerator random(20261209);
        QByteArray noise(64 * 1024, '\0');
        for (char& c : noise)
            c = char(random.bounded(256));
        WriteFile(dir.filePath("noise.xlsx"), noise);
        QByteArray controls;
        for (int i = 0; i < 4096; ++i)
            controls += char(1 + random.bounded(31)) + QByteArray("ab");
        WriteFile(dir.filePath("controls.csv"), controls);
        for (const char* name : {"noise.xlsx", "controls.csv"}) {
            const QString error = Refusal(dir.filePath(name));
            QVERIFY2(error.contains(QStringLiteral("不是可以读取的表格文件")), qPrintable(error));
        }
    }

    void oldWorkbooksAreReadByAConfinedHelper()
    {
        // The helper cannot write, connect, start a process or take more
        // memory than its limit; it can read.
        const QString helper = XlsReader::HelperPath();
        QVERIFY2(!helper.isEmpty(), "weibao-sheetread is not beside the tests");
        QTemporaryDir dir;
        QProcess check;
        check.start(helper, {"--check-confinement", dir.path()});
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
                 check.readAllStandardError().constData());
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void crashingOldWorkbooksLeaveTheProgramAlive()
    {
        // Old workbooks that crash the library that reads them: refused with
        // one message, and this process goes on.
        const QStringList crashers =
            QDir(TEST_DATA_DIR).entryList({"xls-crash-*.xls"}, QDir::Files, QDir::Name);
        QVERIFY(!crashers.isEmpty());
        for (const QString& name : crashers) {
            QCOMPARE(Refusal(QDir(TEST_DATA_DIR).filePath(name)), XlsReader::CorruptMessage());
        }
        // Fresh damage of the sample, the same every run: whatever each
        // file does to the library, it is read or refused, never more.
        QFile sampleFile(TEST_DATA_DIR "/sales-old.xls");
        QVERIFY(sampleFile.open(QIODevice::ReadOnly));
        const QByteArray sample = sampleFile.readAll();
        QTemporaryDir dir;
        QRandomGenerator random(4242);
        int refused = 0, read = 0;
        for (int i = 0; i < 60; ++i) {
            const QString file = dir.filePath(QStringLiteral("m%1.xls").arg(i));
            WriteFile(file, Mutated(sample, random, 1 + random.bounded(16)));
            int rows = 0;
            const QString error = Refusal(file, &rows);
            if (error.isEmpty())
                ++read;
            else
                ++refused;
            QVERIFY(rows <= 65536);
        }
        QCOMPARE(refused + read, 60);
        // The helper leaves nothing behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 60);
    }

    void readerMakesOfEveryWorkbookWhatTheEarlierOneDid()
    {
        // The reader of the program against the earlier one (QXmlStreamReader):
        // the same cells, row numbers and refusals, for the sample workbook,
        // our own export, hand-made and hostile workbooks and a few hundred
        // damaged sheets.
        QTemporaryDir dir;
        QStringList files{TEST_DATA_DIR "/sales-libreoffice.xlsx"};
        const auto add = [&](const QString& name, const std::vector<ZipEntry>& entries) {
            const QString file = dir.filePath(name);
            QVERIFY(WriteZip(file, entries));
            files << file;
        };
        {
            XlsxStreamWriter writer(dir.filePath("export.xlsx"));
            QVERIFY(writer.Open("销售记录"));
            QVERIFY(writer.AppendRow({"用户姓名", "购买日期", "数量", "备注"}));
            for (int i = 0; i < 300; ++i)
                QVERIFY(writer.AppendRow({QStringLiteral("客户%1").arg(i), QDate(2024, 3, 5).addDays(i),
                                          i * 1.5, i % 7 ? QVariant("a&b<c>\"d\"\n第二行") : QVariant()}));
            QVERIFY(writer.Commit());
            files << dir.filePath("export.xlsx");
        }
        const QByteArray styles = "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
                                  "</numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>"
                                  "<xf numFmtId=\"164\"/></cellXfs></styleSheet>";
        const QByteArray strings = "<sst><si><t>甲</t></si><si><r><t>乙</t></r><rPh><t>おつ</t></rPh>"
                                   "<r><t xml:space=\"preserve\"> 丙_x000D_</t></r></si><si><t/></si></sst>";
        const QByteArray sheet =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetPr/>"
            "<dimension ref=\"A1:E5\"/><sheetData>"
            "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
            "<c r=\"C1\" t=\"s\"><v>2</v></c></row>"
            "<row r=\"3\" spans=\"1:5\"><c r=\"A3\" s=\"1\"><v>45000.5</v></c><c r=\"C3\" s=\"2\">"
            "<v>45001</v></c><c r=\"D3\" t=\"b\"><v>0</v></c><c r=\"E3\" t=\"e\"><v>#N/A</v></c></row>"
            "<row><c t=\"str\"><f>A1</f><v>甲</v></c><c t=\"inlineStr\"><is><t>&amp;&lt;&#x4E01;</t></is></c>"
            "<c t=\"d\"><v>2024-02-29T10:30:00</v></c><c><v> 12 </v></c></row>"
            "<row r=\"5\"><c r=\"B5\"><v>1e3</v></c><!-- note --><c r=\"C5\" t=\"n\"/></row>"
            "</sheetData><mergeCells count=\"0\"/></worksheet>";
        add("hand.xlsx", WorkbookWithParts(SheetEntry(sheet), TextEntry(QString(), strings),
                                           TextEntry(QString(), styles)));
        // Damaged sheets: bytes of the XML changed, cut short, or repeated.
        QRandomGenerator random(26);
        for (int i = 0; i < 300; ++i) {
            QByteArray damaged = sheet;
            if (i % 3 == 0) {
                damaged.truncate(random.bounded(int(damaged.size())));
            } else {
                const char pool[] = "<>/=\"&;x0r1cvtsi \xE4";
                for (int n = 1 + random.bounded(4); n > 0; --n)
                    damaged[random.bounded(int(damaged.size()))] = pool[random.bounded(int(sizeof pool) - 1)];
            }
            add(QStringLiteral("damaged%1.xlsx").arg(i),
                WorkbookWithParts(SheetEntry(damaged), TextEntry(QString(), strings),
                                  TextEntry(QString(), styles)));
        }
        // Refusals: a string index out of range, a document type, a zip cut short.
        add("index.xlsx",
            WorkbookWithParts(SheetEntry("<worksheet><sheetData><row><c t=\"s\"><v>7</v></c></row>"
                                         "</sheetData></worksheet>"),
                              TextEntry(QString(), strings), TextEntry(QString(), styles)));
        add("dtd.xlsx",
            WorkbookEntries(SheetEntry("<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"b\">]>"
                                       "<worksheet><sheetData/></worksheet>")));
        QFile::copy(dir.filePath("hand.xlsx"), dir.filePath("cut.xlsx"));
        {
            QFile cut(dir.filePath("cut.xlsx"));
            QVERIFY(cut.open(QIODevice::ReadWrite) && cut.resize(cut.size() * 2 / 3));
            files << cut.fileName();
        }
        for (const QString& file : files) {
            const QString differ = ReadersDiffer(file);
            QVERIFY2(differ.isEmpty(), qPrintable(QFileInfo(file).fileName() + "\n" + differ));
        }
    }

    void hostileWorkbooksAreRefusedAsBefore()
    {
        // The bounds' workbooks of hostileWorkbooksAreRefusedByTheirBound,
        // each refused by both readers with the same message.
        QTemporaryDir dir;
        const QString file = dir.filePath("hostile.xlsx");
        const QByteArray head = "<worksheet><sheetData>";
        const QByteArray tail = "</sheetData></worksheet>";
        const QVector<ZipEntry> sheets = {
            Repeated(head + "<row><c t=\"inlineStr\"><is><t>", "<a>", 200000, QByteArray()),
            Repeated(head + "<row>", "<c><v>1</v></c>", 20000, "</row>" + tail),
            Repeated(head, "<row r=\"1\"><c><v>1</v></c></row>", 3000, tail),
            SheetEntry(head + "<row><c r=\"A1\" x=\"" + QByteArray(2 * 1024 * 1024, 'x') + "\"/></row>" +
                       tail),
            Repeated(head + "<row><c><v>1</v></c></row>", "<!--" + QByteArray(65536, 'c') + "-->", 40, tail),
            SheetEntry(head + "<row><c t=\"inlineStr\"><is><t>" + QByteArray(300000, 'x') +
                       "</t></is></c></row>" + tail),
        };
        for (const ZipEntry& sheet : sheets) {
            QVERIFY(WriteZip(file, WorkbookWithParts(sheet, TextEntry(QString(), PlainStrings),
                                                     TextEntry(QString(), PlainStyles))));
            const QString differ = ReadersDiffer(file);
            QVERIFY2(differ.isEmpty(), qPrintable(differ));
        }
    }

    void sheetsOfOtherWritersReadAsThroughExpat()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("other.xlsx");
        QVERIFY(
            WriteZip(file, WorkbookWithParts(SheetEntry(PrefixedSheet), TextEntry(QString(), PrefixedStrings),
                                             TextEntry(QString(), PlainStyles))));
        QString scanned;
        QString differ = ParsersDiffer(file, &scanned);
        QVERIFY2(differ.isEmpty(), qPrintable(differ));
        XlsxReader reader;
        QVERIFY(reader.Open(file));
        QVector<int> numbers;
        const auto rows = ReadAll(reader, &numbers);
        QVERIFY2(!reader.HasError(), qPrintable(reader.ErrorString()));
        QCOMPARE(numbers, QVector<int>({1, 3, 5}));
        QCOMPARE(rows[0], QVector<QVariant>({"甲&", "乙丙", "a<b>&c"}));
        QCOMPARE(rows[1], QVector<QVariant>({QDate(2023, 3, 15), "丁中<", "TRUE", QVariant(), " 甲 乙\n丙"}));
        QCOMPARE(rows[2], QVector<QVariant>({QVariant(), QVariant(), "#N/A",
                                             QDateTime(QDate(2024, 2, 29), QTime(10, 30))}));

        // Damaged: bytes changed, inserted or removed, or cut short.  Read
        // alike by both, or refused by both.
        QRandomGenerator random(2612);
        const QByteArray pool = "<>/=\"'&;#x:![]-?crvt1 \xE4";
        for (int i = 0; i < 150; ++i) {
            QByteArray damaged = PrefixedSheet;
            if (i % 4 == 0) {
                damaged.truncate(random.bounded(int(damaged.size())));
            } else {
                DamageBytes(damaged, random, pool);
            }
            QVERIFY(
                WriteZip(file, WorkbookWithParts(SheetEntry(damaged), TextEntry(QString(), PrefixedStrings),
                                                 TextEntry(QString(), PlainStyles))));
            differ = ParsersDiffer(file);
            QVERIFY2(differ.isEmpty(), qPrintable(damaged + "\n" + differ));
        }
    }

    void damagedWorkbooksAreReadOrRefusedAlike()
    {
        // Whole workbooks damaged at random, through the zip, the scanner,
        // the shared strings, the styles and the cells.  The XML of a part
        // damaged: read alike through the scanner and through expat, or
        // refused by both.  The bytes of the zip damaged: read or refused,
        // the same either way.  Every fourth sheet spans several pieces, so
        // that it is read on the thread ahead of the rows; a third reader of
        // it is left after a few rows, its thread still going.
        const RandomRun run = RandomRunOf(120, 1209);
        QRandomGenerator random(run.seed);
        QTemporaryDir dir;
        const QString file = dir.filePath("damaged.xlsx");
        QByteArray longSheet = "<x:worksheet xmlns:x=\"urn:x\"><x:sheetData>";
        for (int r = 1; r <= 2500; ++r) {
            const QByteArray n = QByteArray::number(r);
            longSheet +=
                "<x:row r=\"" + n + "\"><x:c r=\"A" + n + "\" t=\"s\"><x:v>" + QByteArray::number(r % 2) +
                "</x:v></x:c><x:c s='1'><x:v>4" + n + "</x:v></x:c><x:c t=\"inlineStr\"><x:is><x:t>甲&amp;" +
                n +
                "<![CDATA[]]>]</x:t></x:is></x:c><!-- c --><x:c t=\"str\"><x:v>&#x4E01;</x:v></x:c></x:row>";
        }
        longSheet += "</x:sheetData></x:worksheet>";
        const QByteArray styles =
            "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
            "</numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>";
        const QByteArray pool = "<>/=\"'&;#x:![]-?crvtsi01 \r\xE4\xB8\xAD";
        int refused = 0;
        for (int i = 0; i < run.cases; ++i) {
            const bool large = i % 4 == 0;
            std::vector<ZipEntry> entries =
                WorkbookWithParts(SheetEntry(large ? longSheet : PrefixedSheet),
                                  TextEntry(QString(), PrefixedStrings), TextEntry(QString(), styles));
            // Mostly the sheet, the shared strings or the styles; now and
            // then the workbook and its relationships, or the zip.
            const int target = random.bounded(10);
            const bool zipDamage = target == 9;
            if (!zipDamage) {
                const size_t at = target < 4   ? 4
                                  : target < 6 ? 5
                                  : target < 8 ? 6
                                               : size_t(1 + random.bounded(3));
                QByteArray xml = entries[at].data(0);
                if (random.bounded(5) == 0) {
                    xml.truncate(random.bounded(int(xml.size())));
                } else {
                    DamageBytes(xml, random, pool);
                }
                entries[at] = TextEntry(entries[at].name, xml);
            }
            QVERIFY(WriteZip(file, entries));
            if (zipDamage) {
                QFile zip(file);
                QVERIFY(zip.open(QIODevice::ReadWrite));
                QByteArray bytes = zip.readAll();
                for (int n = 1 + random.bounded(4); n > 0; --n)
                    bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
                QVERIFY(zip.seek(0) && zip.write(bytes) == bytes.size());
            }
            QString scanned;
            const QString differ = ParsersDiffer(file, &scanned);
            QVERIFY2(differ.isEmpty(), qPrintable(QStringLiteral("case %1\n").arg(i) + differ));
            if (scanned.startsWith(QStringLiteral("refusal: ")))
                ++refused;
            if (large) {
                XlsxReader reader;
                if (reader.Open(file)) {
                    QVector<QVariant> row;
                    int last = 0;
                    for (int n = random.bounded(400); n > 0 && reader.ReadRow(&row); --n) {
                        QVERIFY(reader.RowNumber() > last);
                        last = reader.RowNumber();
                    }
                }
            }
        }
        // Both kinds were met.
        QVERIFY2(refused > run.cases / 10 && refused < run.cases - run.cases / 30,
                 qPrintable(QStringLiteral("%1 of %2 refused").arg(refused).arg(run.cases)));
    }

    void tokensAcrossPiecesAndOtherEncodings()
    {
        // Some megabytes of rows of every length: the pieces of 64 KB end
        // within every kind of token.  Read alike by both parsers; the same
        // sheet in UTF-16 (read by expat) gives the same rows.
        QTemporaryDir dir;
        QByteArray sheet = "<worksheet><sheetData>";
        for (int r = 1; r <= 12000; ++r) {
            const QByteArray n = QByteArray::number(r);
            sheet += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>" +
                     QStringLiteral("文本&amp;%1").arg(QString(r % 37, QChar(u'字'))).toUtf8() +
                     "</t></is></c><!--" + QByteArray(r % 13, 'c') + "--><c r='B" + n + "'><v>" + n +
                     ".5</v></c><c t=\"str\"><v>&#" + QByteArray::number(0x4E00 + r % 500) + ";<![CDATA[" +
                     QByteArray(r % 11, ']') + "]]></v></c></row>";
        }
        sheet += "</sheetData></worksheet>";
        const QString file = dir.filePath("long.xlsx");
        QVERIFY(WriteZip(file, WorkbookEntries(SheetEntry(sheet))));
        QString scanned;
        const QString differ = ParsersDiffer(file, &scanned);
        QVERIFY2(differ.isEmpty(), qPrintable(differ));
        QCOMPARE(scanned.count('\n'), 12000);
        QVERIFY(scanned.contains(
            QStringLiteral("文本&%1\"), QVariant(double, 12000.5), QVariant(QString, \"%2]]]]]]]]]]\")")
                .arg(QString(12000 % 37, QChar(u'字')), QString(QChar(0x4E00 + 12000 % 500)))));

        const QString wide = dir.filePath("utf16.xlsx");
        QString text = QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + sheet);
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QVERIFY(WriteZip(wide, WorkbookEntries(SheetEntry(utf16))));
        XlsxReader reader;
        QCOMPARE(Transcript(reader, wide), scanned);
    }

    void readingStopsMidwayWithoutWaiting()
    {
        // The sheet is parsed ahead of the rows handed out: a reader left
        // after a few rows ends at once, and its rows came in order.
        QTemporaryDir dir;
        const QString file = dir.filePath("big.xlsx");
        QVERIFY(
            WriteZip(file, WorkbookEntries(Repeated("<worksheet><sheetData>", "<row><c><v>1</v></c></row>",
                                                    2000000, "</sheetData></worksheet>"))));
        for (int stopAt : {0, 1, 3000, 60000}) {
            XlsxReader reader;
            QVERIFY(reader.Open(file));
            QVector<QVariant> row;
            for (int i = 1; i <= stopAt; ++i) {
                QVERIFY(reader.ReadRow(&row));
                QCOMPARE(reader.RowNumber(), i);
            }
            QVERIFY(reader.Fraction() >= 0 && reader.Fraction() < 1);
        }
    }

    void documentTypeDefinitionsAreRefused()
    {
        // The "billion laughs": entities that expand to entities.
        QTemporaryDir dir;
        const QString file = dir.filePath("laughs.xlsx");
        QByteArray dtd = "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"hahahahaha\">";
        for (char c = 'b'; c <= 'j'; ++c)
            dtd += QByteArray("<!ENTITY ") + c + " \"" +
                   QByteArray("&").append(c - 1).append(';').repeated(10) + "\">";
        dtd += "]><worksheet><sheetData><row><c "
               "t=\"inlineStr\"><is><t>&j;</t></is></c></row></sheetData></worksheet>";
        QVERIFY(WriteZip(file, WorkbookEntries(SheetEntry(dtd))));
        XlsxReader reader;
        QVector<QVariant> row;
        QVERIFY(!reader.Open(file) || !reader.ReadRow(&row));
        QVERIFY2(reader.ErrorString().contains(QStringLiteral("DTD")), qPrintable(reader.ErrorString()));
    }
};

QTEST_GUILESS_MAIN(TestSheetReaders)
#include "tst_sheetreaders.moc"
