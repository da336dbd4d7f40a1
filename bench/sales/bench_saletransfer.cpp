// Times the export and import of sale records and reports the peak memory of
// each, so that it can be seen not to grow with the record count.  Each step
// runs in a process of its own (the peak is a high-water mark).  An .xlsx
// import is timed twice: with the program's reader and with the earlier one
// (QXmlStreamReader) as the baseline; its preview is timed with the reader
// on its own XML scanner and on expat (the baseline).  Then the sheet's XML
// alone is scanned by each parser (the scanner, expat, QXmlStreamReader, and
// libxml2's reader when the build found it), beside unpacking it without
// parsing, and its rows read by each reader.
// Each import is also timed with the change log and both indexes kept by
// their per-row triggers (the way before the set-based write) and, given a
// benchmark binary built from an earlier commit, with that build: each
// figure beside its baseline in the same run.
//   bench_saletransfer               10 000 and 100 000 records
//   bench_saletransfer N...          other counts
//   bench_saletransfer --baseline EARLIER-BENCH-BINARY [N...]
//   bench_saletransfer --import FILE [--preview-only] [--row-by-row] [--worker] [--earlier-reader] [--expat]
//                                    [--no-read-ahead]
//                                    one import of FILE (for perf stat and perf record)
//   bench_saletransfer --read FILE [--expat] [--no-read-ahead]
//                                    FILE's rows read by the .xlsx reader alone
#include "AppDir.h"
#include "BenchSupport.h"
#include "QtXlsxReader.h"
#include "SaleExport.h"
#include "SaleImport.h"
#include "SaleImportRun.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "TDataM.h"
#include "XlsxReader.h"
#include "XmlScanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cstdio>
#include <cstring>

#include <archive.h>
#include <archive_entry.h>
#include <expat.h>
#ifdef WEIBAO_BENCH_LIBXML2
#include <libxml/xmlreader.h>
#endif

namespace {

using Bench::CpuMs;
using Bench::Ms;
using Bench::PeakMegabytes;
using Bench::ResetPeak;

// Records as a shop has them: all 28 fields filled, dates over ten years.
bool Generate(int count)
{
    SqlTransaction transaction(CurrentConnection());
    SqlStatement insert(
        CurrentConnection(),
        "with recursive c(i) as (select 1 union all select i+1 from c where i<?) "
        "insert into SaleInfo "
        "(Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,DisplayCard,"
        "Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,Modem,Print,Other,"
        "Memo) "
        "select '客户'||(i%5000), '010-'||(62000000+i), '无', '138'||(10000000+i), "
        "'北京市海淀区学院路'||(i%300)||'号', "
        "date('2015-01-01','+'||(i*3650/?)||' days')||' 00:00:00', "
        "date('2015-01-01','+'||(i*3650/?+365)||' days')||' 00:00:00', "
        "case when i%50=0 then '1' else '0' end, '1', 'Intel Core i5-12400', '16GB DDR4 3200', '512GB NVMe "
        "固态', "
        "'GeForce RTX 3060', '板载声卡', '华硕 B660M', '先马 平头哥', 'AOC 24英寸', '航嘉 500W', '无', "
        "'DVD刻录机', "
        "'罗技 M100', '罗技 K120', '漫步者 R101V', '板载千兆网卡', '无', '无', '无', '第'||i||'台' from c");
    return insert.Exec({count, count, count}) && transaction.Commit();
}

// Child: a database of `count` records exported to `file`.
int Export(int count, const QString& file)
{
    QTemporaryDir dir;
    TDataM dataModule;
    if (!Bench::OpenFreshDatabase(dir.path(), dataModule) || !Generate(count))
        return 1;
    ResetPeak();
    const double before = PeakMegabytes();
    const double cpu = CpuMs();
    QElapsedTimer timer;
    timer.start();
    qint64 written = 0;
    QString error;
    qint64 calls = 0;
    const auto progress = [&calls](qint64, qint64) { return ++calls > 0; };
    if (SaleExport::Write(SaleRecord::AllCustomers(), file, SaleExport::FormatOf(file), progress, &written,
                          &error) != SaleExport::Outcome::Done) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf(
        "export %7d -> %-5s %8.0f ms (cpu %6.0f ms)   peak %5.0f MB (before %3.0f MB)   file %6.1f MB\n",
        int(written), qPrintable(QFileInfo(file).suffix()), Ms(timer), CpuMs() - cpu, PeakMegabytes(), before,
        QFileInfo(file).size() / 1048576.0);
    return 0;
}

// The unpacked bytes of one zip entry, handed to `take` 64 KB at a time.
template <typename Take> qint64 Unpack(const QString& file, const char* entryName, Take take)
{
    archive* a = archive_read_new();
    archive_read_support_format_zip_seekable(a);
    qint64 total = 0;
    if (archive_read_open_filename(a, QFile::encodeName(file).constData(), 65536) == ARCHIVE_OK) {
        archive_entry* entry = nullptr;
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            if (qstrcmp(archive_entry_pathname(entry), entryName) != 0)
                continue;
            static char buffer[65536];
            la_ssize_t n;
            while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0) {
                total += n;
                take(buffer, int(n), false);
            }
            take(buffer, 0, true);
            break;
        }
    }
    archive_read_free(a);
    return total;
}

// Child: the sheet of `file` scanned by each XML parser (elements counted),
// then read row by row by each .xlsx reader.
int Parsers(const QString& file)
{
    const char* sheet = "worksheets/sheet1.xml";
    const QByteArray sheetEntry = QByteArray("xl/") + sheet;
    QElapsedTimer timer;
    timer.start();
    double cpu0 = CpuMs();
    const qint64 bytes = Unpack(file, sheetEntry.constData(), [](const char*, int, bool) {});
    const double unpackOnly = Ms(timer);
    std::printf("sheet XML %.1f MB: unpack alone %8.0f ms (cpu %.0f ms)\n", bytes / 1048576.0, unpackOnly,
                CpuMs() - cpu0);

    qint64 elements = 0;
    timer.restart();
    cpu0 = CpuMs();
    {
        QXmlStreamReader xml;
        Unpack(file, sheetEntry.constData(), [&](const char* data, int n, bool) {
            xml.addData(QByteArray::fromRawData(data, n));
            while (!xml.atEnd()) {
                if (xml.readNext() == QXmlStreamReader::StartElement)
                    ++elements;
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    break;
            }
        });
    }
    std::printf("  QXmlStreamReader scan         %8.0f ms (cpu %.0f ms)  (%lld elements)\n", Ms(timer),
                CpuMs() - cpu0, elements);

    elements = 0;
    timer.restart();
    cpu0 = CpuMs();
    {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &elements);
        XML_SetElementHandler(
            parser, [](void* d, const XML_Char*, const XML_Char**) { ++*static_cast<qint64*>(d); },
            [](void*, const XML_Char*) {});
        XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
        Unpack(file, sheetEntry.constData(),
               [&](const char* data, int n, bool last) { XML_Parse(parser, data, n, last); });
        XML_ParserFree(parser);
    }
    std::printf("  expat scan                    %8.0f ms (cpu %.0f ms)  (%lld elements)\n", Ms(timer),
                CpuMs() - cpu0, elements);

    elements = 0;
    timer.restart();
    cpu0 = CpuMs();
    {
        // The reader's own scanner, as the reader feeds it.
        struct Count : XmlScanner::Handler
        {
            qint64* elements;
            void StartElement(const char*, const char**) override { ++*elements; }
            void EndElement(const char*) override {}
            void Characters(const char*, int) override {}
        } count;
        count.elements = &elements;
        XmlScanner scanner(count);
        Unpack(file, sheetEntry.constData(), [&](const char* data, int n, bool last) {
            std::memcpy(scanner.Room(n), data, size_t(n));
            scanner.Scan(n, last);
        });
    }
    std::printf("  scanner scan                  %8.0f ms (cpu %.0f ms)  (%lld elements)\n", Ms(timer),
                CpuMs() - cpu0, elements);

#ifdef WEIBAO_BENCH_LIBXML2
    elements = 0;
    timer.restart();
    cpu0 = CpuMs();
    {
        // The reader pulls its input through a callback: the zip is unpacked
        // into memory first (outside the timing of the parse), as the
        // reader has no push interface.
        QByteArray whole;
        whole.reserve(bytes);
        Unpack(file, sheetEntry.constData(), [&](const char* data, int n, bool) { whole.append(data, n); });
        const double unpacked = Ms(timer);
        timer.restart();
        cpu0 = CpuMs();
        xmlTextReaderPtr reader = xmlReaderForMemory(whole.constData(), int(whole.size()), nullptr, nullptr,
                                                     XML_PARSE_NONET | XML_PARSE_COMPACT);
        while (xmlTextReaderRead(reader) == 1) {
            if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT)
                ++elements;
        }
        xmlFreeTextReader(reader);
        std::printf("  libxml2 xmlTextReader scan    %8.0f ms (cpu %.0f ms, unpacking into memory apart)  "
                    "(%lld elements)\n",
                    Ms(timer), CpuMs() - cpu0, elements);
        Q_UNUSED(unpacked);
    }
#else
    std::printf("  libxml2 xmlTextReader: not built (libxml2-dev missing)\n");
#endif

    // The readers of the program, every row with its values.
    auto readAll = [](SheetReader& reader, const QString& fileName, qint64* rows) {
        *rows = 0;
        if (!reader.Open(fileName))
            return;
        QVector<QVariant> row;
        while (reader.ReadRow(&row))
            ++*rows;
    };
    qint64 rows = 0;
    timer.restart();
    cpu0 = CpuMs();
    {
        QtXlsxReader reader;
        readAll(reader, file, &rows);
    }
    const double qtRead = Ms(timer);
    std::printf("  rows read, earlier reader     %8.0f ms (cpu %.0f ms)  (%lld rows)\n", qtRead,
                CpuMs() - cpu0, rows);
    for (const auto parser : {XlsxReader::Parser::Expat, XlsxReader::Parser::Scanner}) {
        XlsxReader::SetParser(parser);
        timer.restart();
        cpu0 = CpuMs();
        {
            XlsxReader reader;
            readAll(reader, file, &rows);
        }
        std::printf("  rows read, reader on %-8s %8.0f ms (cpu %.0f ms)  (%lld rows; %.1fx)\n",
                    parser == XlsxReader::Parser::Expat ? "expat" : "scanner", Ms(timer), CpuMs() - cpu0,
                    rows, qtRead / Ms(timer));
    }
    return 0;
}

// Child: `file` previewed and imported into an empty database.
int Import(const QString& file, const char* reader, bool worker, bool previewOnly)
{
    QTemporaryDir dir;
    TDataM dataModule;
    if (!Bench::OpenFreshDatabase(dir.path(), dataModule))
        return 1;
    ResetPeak();
    const double before = PeakMegabytes();
    const double cpu = CpuMs();
    QElapsedTimer timer;
    timer.start();
    SaleImport::Preview preview;
    QString error;
    if (worker) {
        // As the import form reads: the rows read and checked on a worker
        // thread, the preview filled on this one.
        SaleImportRun run;
        QEventLoop loop;
        QObject::connect(&run, &SaleImportRun::Finished, &loop, &QEventLoop::quit);
        run.Start(file);
        loop.exec();
        if (run.Result() != SaleImport::Outcome::Done) {
            std::fprintf(stderr, "preview failed: %s\n", qPrintable(run.ErrorString()));
            return 1;
        }
        preview = run.CurrentPreview();
    } else if (SaleImport::Analyse(file, &preview, &error) != SaleImport::Outcome::Done) {
        std::fprintf(stderr, "preview failed: %s\n", qPrintable(error));
        return 1;
    }
    const double previewed = Ms(timer);
    const double previewCpu = CpuMs() - cpu;
    if (previewOnly) {
        std::printf("preview %6d <- %-5s %8.0f ms (cpu %6.0f ms)   peak %5.0f MB (before %3.0f MB)%s\n",
                    int(preview.rows), qPrintable(QFileInfo(file).suffix()), previewed, previewCpu,
                    PeakMegabytes(), before, reader);
        return 0;
    }
    qint64 written = 0;
    if (SaleImport::Write(preview, true, &written, &error) != SaleImport::Outcome::Done) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf(
        "import %7d <- %-5s %8.0f ms (cpu %6.0f ms)   peak %5.0f MB (before %3.0f MB)   preview %.0f ms + "
        "write %.0f ms (cpu: preview %.0f ms + write %.0f ms)%s\n",
        int(written), qPrintable(QFileInfo(file).suffix()), Ms(timer), CpuMs() - cpu, PeakMegabytes(), before,
        previewed, Ms(timer) - previewed, previewCpu, CpuMs() - cpu - previewCpu, reader);
    return 0;
}

int Child(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    return p.exitCode();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == "--export")
        return Export(args.value(1).toInt(), args.value(2));
    if (args.value(0) == "--import") {
        if (args.contains("--row-by-row"))
            SaleImport::SetSetBasedUpkeep(false);
        // The reader on expat, as the baseline of its scanner; without its
        // read-ahead thread.
        if (args.contains("--expat"))
            XlsxReader::SetParser(XlsxReader::Parser::Expat);
        if (args.contains("--no-read-ahead"))
            XlsxReader::SetReadAhead(false);
        // The earlier reader, as the baseline.
        if (args.contains("--earlier-reader"))
            SheetReader::SetXlsxFactory(
                []() -> std::unique_ptr<SheetReader> { return std::make_unique<QtXlsxReader>(); });
        const bool worker = args.contains("--worker");
        return Import(args.value(1),
                      worker ? "   (preview read on a worker thread, as the form does)"
                      : args.contains("--earlier-reader") ? "   (earlier reader: baseline)"
                      : args.contains("--expat")          ? "   (reader on expat: baseline)"
                      : args.contains("--no-read-ahead")  ? "   (reader without its read-ahead thread)"
                      : args.contains("--row-by-row")     ? "   (write by per-row triggers: baseline)"
                                                          : "",
                      worker, args.contains("--preview-only"));
    }
    if (args.value(0) == "--parsers")
        return Parsers(args.value(1));
    if (args.value(0) == "--read") {
        // The rows of FILE read by the reader alone, no import.
        if (args.contains("--expat"))
            XlsxReader::SetParser(XlsxReader::Parser::Expat);
        if (args.contains("--no-read-ahead"))
            XlsxReader::SetReadAhead(false);
        ResetPeak();
        const double cpu = CpuMs();
        QElapsedTimer timer;
        timer.start();
        XlsxReader reader;
        qint64 rows = 0;
        QVector<QVariant> row;
        if (reader.Open(args.value(1)))
            while (reader.ReadRow(&row))
                ++rows;
        std::printf("read %lld rows %8.0f ms (cpu %6.0f ms)   peak %5.0f MB%s\n", rows, Ms(timer),
                    CpuMs() - cpu, PeakMegabytes(),
                    args.contains("--expat")           ? "   (reader on expat: baseline)"
                    : args.contains("--no-read-ahead") ? "   (without the read-ahead thread)"
                                                       : "");
        return reader.HasError() ? 1 : 0;
    }

    QList<int> counts;
    QString earlier;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--baseline")
            earlier = args.value(++i);
        else
            counts << args[i].toInt();
    }
    // The earlier build's import of the same file, its line marked.
    const auto earlierImport = [&earlier](const QString& file) {
        if (earlier.isEmpty())
            return 0;
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(earlier, {"--import", file});
        p.waitForFinished(-1);
        const QByteArray line = p.readAllStandardOutput().trimmed();
        std::printf("%s   (earlier build: baseline)\n", line.constData());
        std::fflush(stdout);
        return p.exitCode();
    };
    if (counts.isEmpty())
        counts = {10000, 100000};
    QTemporaryDir files;
    for (int count : counts) {
        std::printf("\n== %d records ==\n", count);
        std::fflush(stdout);
        for (const char* suffix : {"xlsx", "csv"}) {
            const QString file = files.filePath(QString("sales-%1.%2").arg(count).arg(suffix));
            if (Child({"--export", QString::number(count), file}) != 0 || Child({"--import", file}) != 0 ||
                earlierImport(file) != 0 || Child({"--import", file, "--row-by-row"}) != 0 ||
                Child({"--import", file, "--worker"}) != 0)
                return 1;
            if (QLatin1String(suffix) == QLatin1String("xlsx") &&
                (Child({"--import", file, "--preview-only"}) != 0 ||
                 Child({"--import", file, "--preview-only", "--no-read-ahead"}) != 0 ||
                 Child({"--import", file, "--preview-only", "--expat"}) != 0 ||
                 Child({"--import", file, "--earlier-reader"}) != 0 || Child({"--parsers", file}) != 0))
                return 1;
        }
    }
    return 0;
}
