// Hostile workbooks and old workbooks through the sheet readers: for each,
// the processor time and the peak memory of reading it to its refusal (or
// end), each in a process of its own so that the peaks do not mix.  Also a
// plain sheet of 100,000 rows for comparison.  Prints only.
//
//   bench_hostilesheets            all cases
//   bench_hostilesheets <case>     one case (what the first form runs)

#include "SheetReader.h"
#include "XlsxReader.h"
#include "ZipWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>
#include <time.h>

namespace {

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

std::vector<ZipEntry> WithParts(const ZipEntry& sheet, ZipEntry strings, ZipEntry styles)
{
    std::vector<ZipEntry> entries = WorkbookEntries(sheet);
    entries[3] = TextEntry(
        "xl/_rels/workbook.xml.rels",
        "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"x/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>");
    strings.name = "xl/sharedStrings.xml";
    styles.name = "xl/styles.xml";
    entries.push_back(strings);
    entries.push_back(styles);
    return entries;
}

bool Make(const QString& kind, const QString& file)
{
    const QByteArray head = "<worksheet><sheetData>", tail = "</sheetData></worksheet>";
    ZipEntry sheet = TextEntry(QString(), head + "<row><c><v>1</v></c></row>" + tail);
    ZipEntry strings = TextEntry(QString(), "<sst/>");
    ZipEntry styles = TextEntry(QString(), "<styleSheet/>");
    if (kind == "nested")
        sheet = Repeated(head + "<row><c t=\"inlineStr\"><is><t>", "<a>", 20000000, QByteArray());
    else if (kind == "samecell")
        sheet = Repeated(head + "<row r=\"1\">", "<c r=\"A1\"><v>1</v></c>", 300000, "</row>" + tail);
    else if (kind == "manycells")
        sheet = Repeated(head + "<row>", "<c><v>1</v></c>", 450000, "</row>" + tail);
    else if (kind == "strings")
        strings = Repeated("<sst>", "<si/>", 200000000, "</sst>");
    else if (kind == "styles")
        styles = Repeated("<styleSheet><cellXfs>", "<xf/>", 200000000, "</cellXfs></styleSheet>");
    else if (kind == "bomb")
        sheet = Repeated(head + "<row>", "<!--" + QByteArray(1024 * 1024 - 7, ' ') + "-->", 1000, "");
    else if (kind == "rows100k")
        sheet =
            Repeated(head,
                     "<row><c t=\"inlineStr\"><is><t>张三</t></is></c><c><v>13800138000</v></c>"
                     "<c t=\"inlineStr\"><is><t>北京市海淀区学院路1号</t></is></c><c><v>45000</v></c></row>",
                     100000, tail);
    else
        return false;
    return WriteZip(file, WithParts(sheet, strings, styles));
}

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int RunOne(const QString& kind)
{
    QTemporaryDir dir;
    const QString file =
        kind == "xls" ? QStringLiteral(BENCH_DATA_DIR "/sales-old.xls") : dir.filePath("f.xlsx");
    if (kind != "xls" && !Make(kind, file))
        return 2;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double cpu = CpuMs();
    QElapsedTimer wall;
    wall.start();
    QString error;
    qint64 rows = 0;
    if (auto reader = SheetReader::OpenFile(file, &error)) {
        QVector<QVariant> row;
        while (reader->ReadRow(&row))
            ++rows;
        error = reader->ErrorString();
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    QTextStream(stdout)
        << QStringLiteral("%1  file %2 KB  rows %3  cpu %4 ms  wall %5 ms  peak %6 MB (before %7 MB)  %8\n")
               .arg(kind, -10)
               .arg(QFileInfo(file).size() / 1024)
               .arg(rows)
               .arg(CpuMs() - cpu, 0, 'f', 0)
               .arg(wall.elapsed())
               .arg(after.ru_maxrss / 1024.0, 0, 'f', 1)
               .arg(before.ru_maxrss / 1024.0, 0, 'f', 1)
               .arg(error.isEmpty() ? QStringLiteral("read") : error);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 2)
        return RunOne(QString::fromLocal8Bit(argv[1]));
    // The peak includes making the file; "before" is the peak up to reading.
    for (const char* kind :
         {"nested", "samecell", "manycells", "strings", "styles", "bomb", "rows100k", "xls"}) {
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedChannels);
        one.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kind)});
        one.waitForFinished(-1);
    }
    return 0;
}
