// The cost of the change log: 10 000 single saves of edited records and an
// import of 100 000 records, each with and without the log's triggers in the
// same run; then, among 1 000 000 log rows, the history of one record and
// the first page of the change-log window.  On SQLite, and on the server
// named by PGHOST, PGPORT and PGUSER when there is one.
//   bench_changelog [saves] [imported] [logrows]
#include "BenchSupport.h"
#include "ChangeLog.h"
#include "ChangeLogModel.h"
#include "SaleImport.h"
#include "SaleRecord.h"
#include "SqlConnection.h"
#include "SqlDialect.h"
#include "TDataM.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using Bench::Ms;

int Saves = 10000;
int Imported = 100000;
int LogRows = 1000000;

bool Fail(const QString& what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    return false;
}

bool Triggers(bool on)
{
    QString error;
    SqlConnection& connection = *CurrentConnection();
    const bool ok =
        on ? ChangeLog::CreateTriggers(connection, &error) : ChangeLog::DropTriggers(connection, &error);
    return ok || Fail(error);
}

bool Exec(const QString& sql, const SqlArgs& args = {})
{
    SqlStatement statement(CurrentConnection(), sql);
    return statement.Exec(args) || Fail(statement.ErrorString());
}

// `count` records to edit, written without the log.
bool Generate(int count)
{
    SqlTransaction transaction(CurrentConnection());
    return Triggers(false) &&
           Exec("with recursive c(i) as (select 1 union all select i+1 from c where i<?) "
                "insert into SaleInfo (Name,Phone,addr,BuyDate,OverRun,TB,BuyAmount,CPU,Memo) "
                "select '客户', '010-62000000', '北京市海淀区学院路', '2024-01-01 00:00:00', '2025-01-01 "
                "00:00:00',"
                " '0', '1', 'Intel Core i5', '无' from c",
                {count}) &&
           Triggers(true) && transaction.Commit();
}

// Each record saved on its own, as the entry dialog saves an edit.
double TimeSaves(int round)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    for (qint64 id = 1; id <= Saves; ++id) {
        qint64 version = SaleRecord::ReadRowVersion(id).value_or(-1);
        if (SaleRecord::UpdateRecord(id, &version,
                                     {{"Phone", QStringLiteral("010-%1").arg(round * 100000 + id)}},
                                     &error) != SaleRecord::UpdateOutcome::Saved) {
            Fail(error);
            return -1;
        }
    }
    return Ms(timer);
}

double TimeImport(const SaleImport::Preview& preview)
{
    QElapsedTimer timer;
    timer.start();
    qint64 written = 0;
    QString error;
    if (SaleImport::Write(preview, false, &written, &error) != SaleImport::Outcome::Done) {
        Fail(error);
        return -1;
    }
    return Ms(timer);
}

bool Run(const QString& engine)
{
    QString error;
    if (!ChangeLog::SetSession(*CurrentConnection(), "ADMIN", "bench-desk"))
        return Fail("session: " + CurrentConnection()->ErrorString());
    if (!Generate(Saves))
        return false;

    // Saves: with, without, with again (the first round warms the caches).
    const double firstWith = TimeSaves(1);
    if (!Triggers(false))
        return false;
    const double without = TimeSaves(2);
    if (!Triggers(true))
        return false;
    const double with = TimeSaves(3);
    if (firstWith < 0 || without < 0 || with < 0)
        return false;
    std::printf(
        "%-10s %6d single saves   without log %8.0f ms   with log %8.0f ms (first round %8.0f ms)   x%.2f\n",
        qPrintable(engine), Saves, without, with, firstWith, with / without);

    QTemporaryDir dir;
    const QString file = dir.filePath("import.csv");
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return Fail("cannot write " + file);
        out.write(QStringLiteral("用户姓名,电话,地址,购买日期,处理器\n").toUtf8());
        for (int i = 1; i <= Imported; ++i)
            out.write(QStringLiteral("客户%1,010-%2,北京市海淀区学院路%3号,2024-03-01,Intel Core i5\n")
                          .arg(i % 5000)
                          .arg(62000000 + i)
                          .arg(i % 300)
                          .toUtf8());
    }
    SaleImport::Preview preview;
    if (SaleImport::Analyse(file, &preview, &error) != SaleImport::Outcome::Done)
        return Fail(error);
    const auto removeImported = [] {
        SqlTransaction transaction(CurrentConnection());
        return Triggers(false) && Exec("delete from SaleInfo where id>?", {Saves}) && Triggers(true) &&
               transaction.Commit();
    };
    if (!Triggers(false))
        return false;
    const double importWithout = TimeImport(preview);
    if (importWithout < 0 || !Triggers(true) || !removeImported())
        return false;
    const double importWith = TimeImport(preview);
    if (importWith < 0)
        return false;
    std::printf("%-10s %6d-row import    without log %8.0f ms   with log %8.0f ms   x%.2f\n",
                qPrintable(engine), Imported, importWithout, importWith, importWith / importWithout);

    // The log filled up to LogRows rows, spread over 100 000 records.
    SqlStatement count(CurrentConnection(), "select count(*) from ChangeLog");
    const qint64 rows = count.Step() ? count.ColumnValue(0).toLongLong() : 0;
    {
        SqlTransaction transaction(CurrentConnection());
        if (LogRows > rows &&
            !Exec("with recursive c(i) as (select 1 union all select i+1 from c where i<?) "
                  "insert into ChangeLog (LogTime, UserID, Desk, TableName, RecordKey, Action, Fields) "
                  "select '2026-01-01 08:00:00', 'ADMIN', 'bench-desk', 'SaleInfo', cast(i%100000+1 as text),"
                  " '修改', '{\"memo\":[\"旧的备注\",\"新的备注\"]}' from c",
                  {LogRows - rows}))
            return false;
        if (!transaction.Commit())
            return Fail(CurrentConnection()->ErrorString());
    }
    const QString analyze = SqlDialect::RefreshStatistics(CurrentConnection(), QStringLiteral("ChangeLog"));
    if (!analyze.isEmpty())
        CurrentConnection()->ExecRaw(analyze);

    QVector<ChangeLog::Entry> entries;
    QElapsedTimer timer;
    timer.start();
    const int repeats = 20;
    for (int i = 0; i < repeats; ++i)
        if (!ChangeLog::History(*CurrentConnection(), "SaleInfo", QString::number(4242 + i), &entries,
                                &error))
            return Fail(error);
    std::printf("%-10s history of one record (%d rows) among %d log rows: %6.2f ms\n", qPrintable(engine),
                int(entries.size()), LogRows, Ms(timer) / repeats);

    const auto page = [&](const char* what, const ChangeLogModel::Filter& filter) {
        ChangeLogModel model;
        QElapsedTimer pageTimer;
        pageTimer.start();
        if (!model.Load(filter, &error))
            return Fail(error);
        std::printf("%-10s window, first page %-22s %4d rows: %8.2f ms\n", qPrintable(engine), what,
                    model.rowCount(), Ms(pageTimer));
        return true;
    };
    ChangeLogModel::Filter deletions;
    deletions.action = ChangeLog::Deleted;
    ChangeLogModel::Filter oneUser;
    oneUser.userID = "ADMIN";
    ChangeLogModel::Filter oneRecord;
    oneRecord.key = "4242";
    return page("(everything)", {}) && page("(one user)", oneUser) && page("(one record)", oneRecord) &&
           page("(deletions only)", deletions);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        Saves = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2)
        Imported = QString::fromLocal8Bit(argv[2]).toInt();
    if (argc > 3)
        LogRows = QString::fromLocal8Bit(argv[3]).toInt();
    int failures = 0;
    {
        QTemporaryDir dir;
        TDataM dataModule;
        if (!Bench::OpenFreshDatabase(dir.path(), dataModule) || !Run(QStringLiteral("SQLite")))
            ++failures;
    }
    const QString why = Bench::ServerUnavailableReason();
    if (!why.isEmpty()) {
        std::printf("PostgreSQL left out: %s\n", qPrintable(why));
        return failures;
    }
    QTemporaryDir dir;
    TDataM dataModule;
    const QString name = QStringLiteral("weibao_bench_changelog");
    const QString error = Bench::OpenFreshServerDatabase(dir.path(), name, dataModule);
    if (!error.isEmpty()) {
        std::printf("PostgreSQL left out: %s\n", qPrintable(error));
        return failures;
    }
    if (!Run(QStringLiteral("PostgreSQL")))
        ++failures;
    dataModule.DisconnectDatabase();
    Bench::DropServerDatabase(name);
    return failures;
}
