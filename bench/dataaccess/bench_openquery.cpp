// OpenQuery of "select * from SaleInfo order by id" into a MemDataset for
// 10k, 100k and 1M generated sale records, beside stepping the same rows with
// the bare SQLite API in the same run.  Prints time and peak memory per row;
// the ratio OpenQuery / bare stepping is the figure to watch.

#include "AppDir.h"
#include "DataAccess.h"
#include "SeedData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>
#include <sys/resource.h>

namespace {

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentKiB()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

bool Generate(SqlConnection& c, int rows)
{
    c.ExecRaw("delete from SaleInfo");
    const QString sql = QString(
        "with recursive n(i) as (select 1 union all select i+1 from n where i < %1) "
        "insert into SaleInfo (Name,Phone,Fax,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memory,HD,DisplayCard,"
        "Sound,MainBoard,Box,Display,Power,Floppy,CDROM,Mouse,KeyBoard,SoundBox,NetWork,Modem,Print,Other,Memo) "
        "select '客户'||i, '010-'||(60000000+i), '无', '13'||(900000000+i), '北京市海淀区'||(i%500)||'号', "
        "date('2020-01-01', '+'||(i%2000)||' days')||' 00:00:00', date('2021-01-01', '+'||(i%2000)||' days')||' 00:00:00', "
        "case when i%7=0 then '1' else '0' end, '1', 'Intel Core i5-12400', '16GB DDR4', '512GB NVMe', '集成显卡', "
        "'板载声卡', '华硕 B660M', '先马', 'AOC 24英寸', '航嘉 500W', '无', '无', '罗技 M100', '罗技 K120', '无', "
        "'板载网卡', '无', '无', '无', '无' from n").arg(rows);
    return c.ExecRaw("begin") && c.ExecRaw(sql) && c.ExecRaw("commit");
}

double BareStep(SqlConnection& c)
{
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(c.Handle(), "select * from SaleInfo order by id", -1, &stmt, nullptr);
    qint64 sink = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i)
            sink += sqlite3_column_bytes(stmt, i);
    }
    sqlite3_finalize(stmt);
    Q_UNUSED(sink);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    SetAppDir(dir.path());
    // The command log would measure the disk, not the query: send it nowhere.
    QString error;
    if (!InitDatabase(dir.path() + "/data/data.mdb", false, &error)) {
        out << error << Qt::endl;
        return 1;
    }
    SqlConnection connection;
    connection.Open(SqlConnection::MakeConnectionString(dir.path() + "/data/data.mdb"));
    SetCurrentConnection(&connection);

    QList<int> sizes{10000, 100000, 1000000};
    if (argc > 1)
        sizes = {QString(argv[1]).toInt()};
    out << "rows       openquery_ms  bare_ms  ratio  us/row  KiB/row(held)  peak_MiB" << Qt::endl;
    for (int rows : sizes) {
        if (!Generate(connection, rows)) {
            out << "generate failed: " << connection.ErrorString() << Qt::endl;
            return 1;
        }
        const double bare = BareStep(connection);
        const long before = CurrentKiB();
        QElapsedTimer t;
        t.start();
        MemDataset data;
        if (!OpenQuery("select * from SaleInfo order by id", data)) {
            out << "OpenQuery failed" << Qt::endl;
            return 1;
        }
        const double ms = t.nsecsElapsed() / 1e6;
        const long held = CurrentKiB() - before;
        out << QString("%1 %2 %3 %4 %5 %6 %7")
                   .arg(rows, -10)
                   .arg(ms, 12, 'f', 1)
                   .arg(bare, 8, 'f', 1)
                   .arg(ms / bare, 6, 'f', 1)
                   .arg(ms * 1000 / rows, 7, 'f', 2)
                   .arg(double(held) / rows, 13, 'f', 2)
                   .arg(PeakKiB() / 1024.0, 9, 'f', 0)
            << Qt::endl;
        if (data.RecordCount() != rows)
            out << "  unexpected row count " << data.RecordCount() << Qt::endl;
    }
    return 0;
}
