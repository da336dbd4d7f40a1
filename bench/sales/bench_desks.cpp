// Two desks on one database at the same time: two processes each save 10 000
// sale records the way the entry dialog saves one (an updatable dataset over
// SaleInfo, one write per record) and take a key from the counters for each,
// on SQLite (one file) and on the PostgreSQL server named by PGHOST, PGPORT
// and PGUSER.  Prints the total time and checks that no record is lost and no
// id or counter value is handed out twice.
//   bench_desks [N]                     N records per desk (10 000)
//   bench_desks --desk K N DIR          one desk (run by the above)
#include "AppDir.h"
#include "BenchSupport.h"
#include "DataAccess.h"
#include "TDataM.h"
#include "TableDataset.h"

#include <QDate>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// One desk: connects through DIR's Quorel.ini (or its data/data.mdb), waits
// until DIR/go exists so both desks start together, then saves N records.
// Writes the counter values it was handed to DIR/desk-K.keys.
int RunDesk(int desk, int count, const QString& dir)
{
    SetAppDir(dir);
    TDataM dataModule;
    DataM = &dataModule;
    if (!dataModule.ConnectDatabase()) {
        std::fprintf(stderr, "desk %d: %s\n", desk, qPrintable(dataModule.LastError()));
        return 1;
    }
    while (!QFile::exists(dir + "/go"))
        QThread::msleep(1);
    TableDataset& query = dataModule.ADOQuery1;
    if (!query.Open("SaleInfo", "where 1=0")) {
        std::fprintf(stderr, "desk %d: %s\n", desk, qPrintable(query.ErrorString()));
        return 1;
    }
    QByteArray keys;
    for (int i = 1; i <= count; ++i) {
        query.Append();
        query.SetValue("Name", QStringLiteral("柜台%1客户").arg(desk));
        query.SetValue("Phone", QStringLiteral("010-%1").arg(62000000 + i));
        query.SetValue("addr", QStringLiteral("北京市海淀区学院路%1号").arg(i % 300));
        query.SetValue("BuyDate", QDate(2026, 1, 1).addDays(i % 365));
        query.SetValue("OverRun", QDate(2027, 1, 1).addDays(i % 365));
        query.SetValue("TB", "0");
        query.SetValue("BuyAmount", "1");
        query.SetValue("Memo", QStringLiteral("desk %1 #%2").arg(desk).arg(i));
        if (!query.Post()) {
            std::fprintf(stderr, "desk %d, record %d: %s\n", desk, i, qPrintable(query.ErrorString()));
            return 1;
        }
        const QString key = NextSequenceValue("SeqTable", "ItemID");
        if (key.isEmpty()) {
            std::fprintf(stderr, "desk %d: no counter value\n", desk);
            return 1;
        }
        keys += key.toLatin1() + '\n';
    }
    QFile out(dir + QStringLiteral("/desk-%1.keys").arg(desk));
    if (!out.open(QIODevice::WriteOnly) || out.write(keys) != keys.size())
        return 1;
    dataModule.DisconnectDatabase();
    DataM = nullptr;
    return 0;
}

// Both desks on one fresh database; the figures and the checks.
bool RunEngine(bool server, int count, const QString& program)
{
    QTemporaryDir dir;
    const QString serverDatabase = QStringLiteral("weibao_bench_desks_%1").arg(QCoreApplication::applicationPid());
    {
        TDataM setup;
        if (server) {
            const QString error = Bench::OpenFreshServerDatabase(dir.path(), serverDatabase, setup);
            if (!error.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return false;
            }
        } else if (!Bench::OpenFreshDatabase(dir.path(), setup)) {
            return false;
        }
        setup.DisconnectDatabase();
        DataM = nullptr;
    }
    QProcess desks[2];
    for (int k = 0; k < 2; ++k) {
        desks[k].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        desks[k].start(program, {"--desk", QString::number(k + 1), QString::number(count), dir.path()});
        if (!desks[k].waitForStarted())
            return false;
    }
    QThread::msleep(500); // both connected and waiting
    QElapsedTimer timer;
    timer.start();
    QFile(dir.path() + "/go").open(QIODevice::WriteOnly);
    bool ok = true;
    for (QProcess& desk : desks)
        ok = desk.waitForFinished(-1) && desk.exitCode() == 0 && ok;
    const double total = Bench::Ms(timer);

    // The checks, on a connection of our own.
    SetAppDir(dir.path());
    TDataM check;
    DataM = &check;
    qint64 rows = -1, ids = -1, perDesk[2] = {-1, -1};
    if (check.ConnectDatabase()) {
        SqlStatement counts(CurrentConnection(), "select count(*), count(distinct id),"
                                                 " sum(case when Memo like 'desk 1 #%' then 1 else 0 end),"
                                                 " sum(case when Memo like 'desk 2 #%' then 1 else 0 end)"
                                                 " from SaleInfo");
        if (counts.Step()) {
            rows = counts.ColumnValue(0).toLongLong();
            ids = counts.ColumnValue(1).toLongLong();
            perDesk[0] = counts.ColumnValue(2).toLongLong();
            perDesk[1] = counts.ColumnValue(3).toLongLong();
        }
        check.DisconnectDatabase();
    }
    DataM = nullptr;
    QSet<QByteArray> keys;
    int handedOut = 0;
    for (int k = 1; k <= 2; ++k) {
        QFile in(dir.path() + QStringLiteral("/desk-%1.keys").arg(k));
        if (in.open(QIODevice::ReadOnly))
            for (const QByteArray& key : in.readAll().split('\n'))
                if (!key.isEmpty()) {
                    keys.insert(key);
                    ++handedOut;
                }
    }
    if (server)
        Bench::DropServerDatabase(serverDatabase);

    const bool sound = ok && rows == 2 * count && ids == rows && perDesk[0] == count && perDesk[1] == count &&
                       handedOut == 2 * count && keys.size() == handedOut;
    std::printf("%-10s two desks x %d records: %9.1f ms total (%.0f records/s); %lld rows, %lld distinct ids, "
                "%d counter values of which %lld distinct: %s\n",
                server ? "PostgreSQL" : "SQLite", count, total, 2 * count / (total / 1000.0), rows, ids,
                handedOut, qint64(keys.size()), sound ? "nothing lost or repeated" : "FAULT");
    return sound;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == "--desk")
        return RunDesk(args[2].toInt(), args[3].toInt(), args[4]);
    const int count = args.size() >= 2 && args[1].toInt() > 0 ? args[1].toInt() : 10000;
    bool sound = RunEngine(false, count, app.applicationFilePath());
    const QString unavailable = Bench::ServerUnavailableReason();
    if (unavailable.isEmpty())
        sound = RunEngine(true, count, app.applicationFilePath()) && sound;
    else
        std::printf("PostgreSQL left out: %s\n", qPrintable(unavailable));
    return sound ? 0 : 1;
}
