// The spreadsheet readers: .xlsx (our own writer's and hand-made workbooks),
// .xls, CSV in both encodings, and the choice of reader by content.
#include "CsvReader.h"
#include "GbkText.h"
#include "SheetReader.h"
#include "XlsReader.h"
#include "XlsxExport.h"
#include "XlsxReader.h"
#include "ZipWriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

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
                        u"不是表格文件"},
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
        // 200 MB of blanks in the sheet pack into a few hundred KB.
        QTemporaryDir dir;
        const QString file = dir.filePath("bomb.xlsx");
        const QByteArray blanks(1024 * 1024, ' ');
        ZipEntry sheet{
            QString(), [&blanks](int block) {
                if (block == 0)
                    return QByteArray(
                        "<?xml version=\"1.0\"?><worksheet><sheetData><row><c t=\"inlineStr\"><is><t>");
                return block <= 200 ? blanks : QByteArray();
            }};
        QVERIFY(WriteZip(file, WorkbookEntries(sheet)));
        QVERIFY(QFileInfo(file).size() < 2 * 1024 * 1024);
        XlsxReader reader;
        QVERIFY(reader.Open(file));
        QVector<QVariant> row;
        QVERIFY(!reader.ReadRow(&row));
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
