// Times backup and restore of a live database of about 50 MB of generated
// sale records (the data module's connection open): the consistent snapshot,
// whole backups at methods 0 (store), 3 (standard) and 5 (best) with their
// sizes, a verified restore, a compaction, and beside them a plain copy of
// the same file as the baseline.  The step that puts the restored data in
// place (pages copied into the live database) and the compaction in place
// (VACUUM) are timed beside the earlier way of writing a new file and
// renaming it over the database with the connection closed.
//   bench_maintenance [megabytes]
#include "AppDir.h"
#include "DataAccess.h"
#include "BenchSupport.h"
#include "BackupEngine.h"
#include "BackupFolder.h"
#include "DataAccess.h"
#include "DataModuleHost.h"
#include "Schema.h"
#include "SeedData.h"
#include "SqlConnection.h"
#include "TDataM.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

using Bench::CpuMs;
using Bench::Ms;

// Wall and CPU time of one run.
struct Timing
{
    QElapsedTimer wall;
    double cpu0 = 0;
    Timing() { Restart(); }
    void Restart()
    {
        wall.restart();
        cpu0 = CpuMs();
    }
    QByteArray Text() const
    {
        return QString::asprintf("%8.1f ms wall %8.1f ms CPU", Ms(wall), CpuMs() - cpu0).toUtf8();
    }
};

double Mb(qint64 bytes)
{
    return bytes / 1048576.0;
}

// Sale records as a shop types them: repeated component names, but names,
// telephone numbers, addresses and remarks that differ from row to row.
bool Generate(int count)
{
    SqlTransaction transaction(CurrentConnection());
    SqlStatement insert(
        CurrentConnection(),
        "with recursive c(i) as (select 1 union all select i+1 from c where i<?) "
        "insert into SaleInfo (Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,DisplayCard,"
        "Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,Modem,Print,Other,Memo) "
        "select '客户'||(abs(random())%90000), '010-'||(62000000+abs(random())%1000000), '无', "
        "'138'||(10000000+abs(random())%90000000), "
        "'北京市海淀区学院路'||(abs(random())%3000)||'号'||(abs(random())%30)||'单元', "
        "date('2015-01-01','+'||(i*3650/?)||' days')||' 00:00:00', "
        "date('2015-01-01','+'||(i*3650/?+365)||' days')||' 00:00:00', "
        "case when i%50=0 then '1' else '0' end, '1', 'Intel Core i5-12400', '16GB DDR4 3200', '512GB NVMe 固态', "
        "'GeForce RTX 3060', '板载声卡', '华硕 B660M', '先马 平头哥', 'AOC 24英寸', '航嘉 500W', '无', 'DVD刻录机', "
        "'罗技 M100', '罗技 K120', '漫步者 R101V', '板载千兆网卡', '无', '无', "
        "'序列号 '||hex(randomblob(8)), '第'||i||'台，'||hex(randomblob(12)) from c");
    return insert.Exec({count, count, count}) && transaction.Commit();
}

// The fastest of `runs` runs.
template <typename F> QByteArray BestOf(int runs, F run)
{
    double bestWall = 1e12, bestCpu = 0;
    for (int i = 0; i < runs; ++i) {
        Timing t;
        if (!run())
            return "failed";
        if (Ms(t.wall) < bestWall) {
            bestWall = Ms(t.wall);
            bestCpu = CpuMs() - t.cpu0;
        }
    }
    return QString::asprintf("%8.1f ms wall %8.1f ms CPU", bestWall, bestCpu).toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    QTemporaryDir dir;
    const QString database = dir.path() + "/data/data.mdb";
    TDataM dataModule;
    if (!Bench::OpenFreshDatabase(dir.path(), dataModule))
        return 1;
    QString error;
    // A first batch tells the size of a row; the rest fills up to the target.
    QElapsedTimer timer;
    timer.start();
    Generate(10000);
    const qint64 perRow = QFileInfo(database).size() / 10000;
    const int rows = int(qint64(megabytes) * 1048576 / std::max<qint64>(perRow, 1)) - 10000;
    if (rows > 0 && !Generate(rows)) {
        std::fprintf(stderr, "generating failed: %s\n", qPrintable(CurrentConnection()->ErrorString()));
        return 1;
    }
    const qint64 size = QFileInfo(database).size();
    std::printf("database: %.1f MB, %d sale records (generated in %.0f ms), connection open\n\n", Mb(size),
                rows + 10000, Ms(timer));

    const QString backupDir = BackupFolder::Path();
    QDir().mkpath(backupDir);
    const QString scratch = dir.path() + "/scratch.db";
    const QByteArray copy = BestOf(3, [&] {
        QFile::remove(scratch);
        return QFile::copy(database, scratch);
    });
    std::printf("baseline: plain file copy                %s  %7.1f MB\n", copy.constData(), Mb(size));
    const QByteArray snapshot = BestOf(3, [&] {
        QFile::remove(scratch);
        return BackupEngine::Snapshot(database, scratch, &error);
    });
    std::printf("snapshot (online backup API)             %s  %7.1f MB\n", snapshot.constData(),
                Mb(QFileInfo(scratch).size()));
    QFile::remove(scratch);

    BackupEngine engine(database, backupDir);
    QString standard;
    for (int level : {0, 3, 5}) {
        Timing t;
        const QString made = engine.Backup(true, level);
        const QByteArray ms = t.Text();
        if (made.isEmpty()) {
            std::fprintf(stderr, "backup failed: %s\n", qPrintable(engine.Error()));
            return 1;
        }
        std::printf("backup, packed, method %d                 %s  %7.1f MB\n", level, ms.constData(),
                    Mb(QFileInfo(made).size()));
        if (level == 3)
            standard = made;
    }
    Timing t;
    const QString plain = engine.Backup(false, 3);
    std::printf("backup, plain copy (.zbk)                %s  %7.1f MB\n", t.Text().constData(),
                Mb(QFileInfo(plain).size()));

    DataModuleHost host;
    double copyInMs = 1e12, renameMs = 1e12;  // the fastest of three runs of each
    t.Restart();
    if (!engine.Restore(standard, host)) {
        std::fprintf(stderr, "restore failed: %s\n", qPrintable(engine.Error()));
        return 1;
    }
    std::printf("verified restore of the method-3 backup  %s\n", t.Text().constData());
    t.Restart();
    if (!engine.Restore(plain, host)) {
        std::fprintf(stderr, "restore failed: %s\n", qPrintable(engine.Error()));
        return 1;
    }
    std::printf("verified restore of the plain copy       %s\n", t.Text().constData());
    t.Restart();
    if (!engine.Compact(host)) {
        std::fprintf(stderr, "compaction failed: %s\n", qPrintable(engine.Error()));
        return 1;
    }
    std::printf("compaction (VACUUM in place, reconnect)  %s\n\n", t.Text().constData());

    // The step that puts a verified database in place.
    const QString verified = dir.path() + "/data/verified.db";
    const QByteArray copyIn = BestOf(3, [&] {
        QFile::remove(verified);
        if (!BackupEngine::Snapshot(plain, verified, &error))
            return false;
        Timing step;
        const bool ok = BackupEngine::CopyIntoLive(verified, database, &error) && host.Connect(&error);
        copyInMs = std::min(copyInMs, Ms(step.wall));
        return ok;
    });
    std::printf("restore step: pages into the live database (backup API) + reconnect  %.1f ms wall\n", copyInMs);
    const QByteArray renameIn = BestOf(3, [&] {
        QFile::remove(verified);
        if (!BackupEngine::Snapshot(plain, verified, &error))
            return false;
        Timing step;
        host.Disconnect();
        const bool ok = BackupEngine::RenameOver(verified, database, &error) && host.Connect(&error);
        renameMs = std::min(renameMs, Ms(step.wall));
        return ok;
    });
    std::printf("restore step: earlier way, disconnect + rename + reconnect           %.1f ms wall\n\n", renameMs);
    Q_UNUSED(copyIn);
    Q_UNUSED(renameIn);

    // Compaction after a fifth of the records were deleted, both ways.
    auto thinOut = [&](int remainder) {
        return ExecCommand("delete from SaleInfo where id % 5 = ?", {remainder});
    };
    thinOut(1);
    t.Restart();
    if (!engine.Compact(host)) {
        std::fprintf(stderr, "compaction failed: %s\n", qPrintable(engine.Error()));
        return 1;
    }
    std::printf("compaction in place (VACUUM) of %.1f MB    %s\n", Mb(QFileInfo(database).size()),
                t.Text().constData());
    thinOut(2);
    const qint64 before = QFileInfo(database).size();
    t.Restart();
    const QString compacted = dir.path() + "/data/_afs.da";
    QFile::remove(compacted);
    {
        SqlConnection connection;
        SqlStatement vacuum(&connection, "VACUUM INTO ?");
        if (!connection.Open(SqlConnection::MakeConnectionString(database)) || !vacuum.Exec({compacted}))
            return 1;
    }
    {
        SqlConnection copyConnection;
        if (!copyConnection.Open(SqlConnection::MakeConnectionString(compacted)) ||
            !Schema::OptimizeIndexes(copyConnection, &error) || !copyConnection.ExecRaw("VACUUM"))
            return 1;
    }
    if (!BackupEngine::VerifyDatabase(compacted, &error))
        return 1;
    host.Disconnect();
    if (!BackupEngine::RenameOver(compacted, database, &error) || !host.Connect(&error))
        return 1;
    std::printf("compaction, earlier way (VACUUM INTO copy, tidy, check, rename) of %.1f MB  %s\n", Mb(before),
                t.Text().constData());
    return 0;
}
