#include "PgTools.h"

#include "PgEngine.h"
#include "SqlConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> g_lockTimeout{30000};
std::atomic<bool> g_cancel{false};

QMutex g_mutex;
QStringList g_folders;
bool g_overridden = false;

QStringList DefaultFolders()
{
    QStringList folders;
    QList<int> majors;
    for (const QString& name :
         QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (name.toInt() > 0)
            majors.append(name.toInt());
    std::sort(majors.begin(), majors.end(), std::greater<>());
    for (int major : majors)
        folders.append(QStringLiteral("/usr/lib/postgresql/%1/bin").arg(major));
    for (const QString& folder : qEnvironmentVariable("PATH").split(':', Qt::SkipEmptyParts))
        folders.append(folder);
    return folders;
}

QStringList SearchFolders()
{
    QMutexLocker lock(&g_mutex);
    return g_overridden ? g_folders : DefaultFolders();
}

} // namespace

void PgTools::SetSearchFolders(const QStringList& folders)
{
    QMutexLocker lock(&g_mutex);
    g_folders = folders;
    g_overridden = !folders.isEmpty();
}

QString PgTools::PackageFor(int serverMajor)
{
    return serverMajor > 0 ? QStringLiteral("postgresql-client-%1").arg(serverMajor)
                           : QStringLiteral("postgresql-client");
}

int PgTools::MajorVersion(const QString& program)
{
    QProcess process;
    process.start(program, {QStringLiteral("--version")});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return 0;
    // "pg_dump (PostgreSQL) 15.8 (Debian 15.8-0+deb12u1)"
    static const QRegularExpression version(QStringLiteral(R"(\)\s+(\d+))"));
    const auto match = version.match(QString::fromLocal8Bit(process.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

int PgTools::ServerMajor(SqlConnection& connection)
{
    SqlStatement query(&connection, QStringLiteral("select current_setting('server_version_num')"));
    return query.Step() ? query.ColumnValue(0).toString().toInt() / 10000 : 0;
}

QString PgTools::Find(const QString& tool, int serverMajor, QString* problem)
{
    int newestFound = 0;
    for (const QString& folder : SearchFolders()) {
        const QString candidate = QDir(folder).filePath(tool);
        const QFileInfo info(candidate);
        if (!info.isFile() || !info.isExecutable())
            continue;
        const int major = MajorVersion(candidate);
        if (major == 0)
            continue;
        if (major >= serverMajor)
            return candidate;
        newestFound = std::max(newestFound, major);
    }
    if (newestFound > 0)
        *problem =
            QStringLiteral(
                "数据库服务器的备份程序 %1 版本为 %2，比数据库服务器（版本 %3）旧，请安装 %4 软件包后再试！")
                .arg(tool)
                .arg(newestFound)
                .arg(serverMajor)
                .arg(PackageFor(serverMajor));
    else
        *problem = QStringLiteral("没有找到数据库服务器的备份程序 %1，请安装 %2 软件包后再试！")
                       .arg(tool, PackageFor(serverMajor));
    return {};
}

QStringList PgTools::ConnectionArguments(const PgServer& server)
{
    QStringList arguments;
    if (!server.host.isEmpty())
        arguments << QStringLiteral("--host=") + server.host;
    if (server.port > 0)
        arguments << QStringLiteral("--port=%1").arg(server.port);
    if (!server.user.isEmpty())
        arguments << QStringLiteral("--username=") + server.user;
    // Never a prompt: a missing password is an error like any other.
    arguments << QStringLiteral("--no-password");
    return arguments;
}

void PgTools::SetLockTimeout(int ms)
{
    g_lockTimeout = ms;
}

int PgTools::LockTimeout()
{
    return g_lockTimeout;
}

void PgTools::Cancel()
{
    g_cancel = true;
}

void PgTools::ResetCancel()
{
    g_cancel = false;
}

bool PgTools::Cancelled()
{
    return g_cancel;
}

QString PgTools::CancelledText()
{
    return QStringLiteral("操作已取消，数据库保持原样。");
}

bool PgTools::Run(const QString& program, const QStringList& arguments, int connectTimeout, QString* error,
                  QByteArray* output)
{
    if (g_cancel) {
        *error = CancelledText();
        return false;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (connectTimeout > 0)
        environment.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QString::number(connectTimeout));
    // A lock held at another desk makes the tool fail after a while instead
    // of waiting for ever.
    const QString lockOption = QStringLiteral("-c lock_timeout=%1").arg(int(g_lockTimeout));
    const QString options = environment.value(QStringLiteral("PGOPTIONS"));
    environment.insert(QStringLiteral("PGOPTIONS"), options.isEmpty() ? lockOption : options + " " + lockOption);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    if (!output)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(-1)) {
        *error = QStringLiteral("无法运行 %1：%2").arg(QFileInfo(program).fileName(), process.errorString());
        return false;
    }
    // However large the database: the wait window stays painted meanwhile.
    // 取消 stops the tool; what it did in its one transaction is rolled back.
    while (!process.waitForFinished(100)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (g_cancel) {
            process.kill();
            process.waitForFinished(-1);
            *error = CancelledText();
            return false;
        }
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    QString text = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (text.isEmpty())
        text = process.exitStatus() == QProcess::NormalExit
                   ? QStringLiteral("退出码 %1").arg(process.exitCode())
                   : process.errorString();
    // The tools name themselves at the start of their messages.
    const QString name = QFileInfo(program).fileName();
    if (!text.startsWith(name))
        text = name + QStringLiteral("：") + text;
    if (text.contains(QLatin1String("lock timeout")))
        text = QStringLiteral("其他电脑正在使用数据库，等待 %1 秒后仍未能取得数据表的锁，请稍后再试（%2）")
                   .arg(g_lockTimeout / 1000)
                   .arg(text);
    *error = text.replace('\n', QStringLiteral("；"));
    return false;
}
