// Times the export and import of sale records and reports the peak memory of
// each, so that it can be seen not to grow with the record count.  Each step
// runs in a process of its own (the peak is a high-water mark).
//   bench_saletransfer               10 000 and 100 000 records
//   bench_saletransfer N...          other counts
#include "AppDir.h"
#include "BenchSupport.h"
#include "SaleExport.h"
#include "SaleImport.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "TDataM.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>


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

// Child: `file` previewed and imported into an empty database.
int Import(const QString& file)
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
    if (SaleImport::Analyse(file, &preview, &error) != SaleImport::Outcome::Done) {
        std::fprintf(stderr, "preview failed: %s\n", qPrintable(error));
        return 1;
    }
    const double previewed = Ms(timer);
    qint64 written = 0;
    if (SaleImport::Write(preview, true, &written, &error) != SaleImport::Outcome::Done) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf(
        "import %7d <- %-5s %8.0f ms (cpu %6.0f ms)   peak %5.0f MB (before %3.0f MB)   preview %.0f ms + "
        "write %.0f ms\n",
        int(written), qPrintable(QFileInfo(file).suffix()), Ms(timer), CpuMs() - cpu, PeakMegabytes(), before,
        previewed, Ms(timer) - previewed);
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
    if (args.value(0) == "--import")
        return Import(args.value(1));

    QList<int> counts;
    for (const QString& a : args)
        counts << a.toInt();
    if (counts.isEmpty())
        counts = {10000, 100000};
    QTemporaryDir files;
    for (int count : counts) {
        std::printf("\n== %d records ==\n", count);
        std::fflush(stdout);
        for (const char* suffix : {"xlsx", "csv"}) {
            const QString file = files.filePath(QString("sales-%1.%2").arg(count).arg(suffix));
            if (Child({"--export", QString::number(count), file}) != 0 || Child({"--import", file}) != 0)
                return 1;
        }
    }
    return 0;
}
