#include "BenchSupport.h"

#include "AppDir.h"
#include "DataAccess.h"
#include "SeedData.h"
#include "Settings.h"
#include "SqlConnection.h"
#include "TDataM.h"
#include "TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include <sys/resource.h>

namespace Bench {

double Ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double PeakMegabytes()
{
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void ResetPeak()
{
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool OpenFreshDatabase(const QString& dir, TDataM& dataModule)
{
    SetAppDir(dir);
    QString error;
    if (!InitDatabase(dir + "/data/data.mdb", false, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    DataM = &dataModule;
    if (!dataModule.ConnectDatabase()) {
        std::fprintf(stderr, "%s\n", qPrintable(dataModule.LastError()));
        return false;
    }
    return true;
}

QString ServerUnavailableReason()
{
    return TestEnv::ServerUnavailableReason();
}

QString OpenFreshServerDatabase(const QString& dir, const QString& name, TDataM& dataModule)
{
    SetAppDir(dir);
    QString error;
    if (!TestEnv::Maintain("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)", &error) ||
        !TestEnv::Maintain("CREATE DATABASE " + name, &error))
        return error;
    const PgServer server = TestEnv::ServerFromEnvironment(name);
    if (!Settings::SetDatabaseServer(server))
        return QStringLiteral("cannot write Quorel.ini");
    if (!InitServerDatabase(server, false, &error))
        return error;
    DataM = &dataModule;
    return dataModule.ConnectDatabase() ? QString() : dataModule.LastError();
}

void DropServerDatabase(const QString& name)
{
    QString ignored;
    TestEnv::Maintain("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)", &ignored);
}

bool InsertRows(const QString& table, const QString& columns, int count,
                const std::function<SqlArgs(int)>& row)
{
    const int width = int(columns.count(',')) + 1;
    const int perStatement = 200;
    const QString oneRow = '(' + QStringLiteral("?,").repeated(width - 1) + "?)";
    SqlTransaction transaction(CurrentConnection());
    for (int first = 0; first < count; first += perStatement) {
        const int rows = qMin(perStatement, count - first);
        QStringList marks;
        SqlArgs args;
        for (int i = first; i < first + rows; ++i) {
            marks << oneRow;
            args << row(i);
        }
        SqlStatement insert(CurrentConnection(),
                            "insert into " + table + " (" + columns + ") values " + marks.join(','));
        if (!insert.Exec(args)) {
            std::fprintf(stderr, "%s\n", qPrintable(insert.ErrorString()));
            return false;
        }
    }
    return transaction.Commit();
}

} // namespace Bench
