#include "TestEnv.h"

#include "IniFile.h"

#include "AppDir.h"
#include "CommandLog.h"
#include "DataAccess.h"
#include "GbkText.h"
#include "SeedData.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>

PgServer TestEnv::ServerFromEnvironment(const QString& database)
{
    PgServer server;
    server.host = qEnvironmentVariable("PGHOST");
    server.port = qEnvironmentVariableIntValue("PGPORT");
    server.user = qEnvironmentVariable("PGUSER");
    server.name = database;
    server.connectTimeout = 5;
    return server;
}

bool TestEnv::Maintain(const QString& sql, QString* error)
{
    SqlConnection admin;
    if (!admin.OpenServer(ServerFromEnvironment("postgres")) || !admin.ExecRaw(sql)) {
        *error = admin.ErrorString();
        return false;
    }
    return true;
}

bool TestEnv::OnServer()
{
    return qEnvironmentVariable("WEIBAO_TEST_ENGINE")
               .compare(QLatin1String(Settings::EnginePostgreSQL), Qt::CaseInsensitive) == 0;
}

QString TestEnv::ServerUnavailableReason()
{
    static const QString reason = [] {
        if (qEnvironmentVariable("PGHOST").isEmpty())
            return QStringLiteral("PGHOST is not set (scripts/test.sh starts a server)");
        QString error;
        return Maintain("select 1", &error) ? QString() : error;
    }();
    return reason;
}

TestEnv::TestEnv(bool demo, bool connect)
{
    if (!m_dir.isValid()) {
        m_error = "no temporary folder";
        return;
    }
    SetAppDir(m_dir.path());
    // An automatic backup at each login would change what many suites
    // count (files, usage-log rows); the suites about it switch it on.
    if (!IniFile(Settings::IniPath()).WriteInteger("BackUpSet", "Auto", 0)) {
        m_error = "cannot write Quorel.ini";
        return;
    }
    if (OnServer()) {
        static int counter = 0;
        const QString name =
            QStringLiteral("weibao_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        if (!Maintain("DROP DATABASE IF EXISTS " + name, &m_error) ||
            !Maintain("CREATE DATABASE " + name, &m_error))
            return;
        m_serverDatabase = name;
        const PgServer server = ServerFromEnvironment(name);
        if (!Settings::SetDatabaseServer(server)) {
            m_error = "cannot write Quorel.ini";
            return;
        }
        if (!InitServerDatabase(server, demo, &m_error))
            return;
    } else if (!InitDatabase(DatabaseFile(), demo, &m_error)) {
        return;
    }
    if (connect) {
        m_dataModule = std::make_unique<TDataM>();
        DataM = m_dataModule.get();
        if (!m_dataModule->ConnectDatabase()) {
            m_error = m_dataModule->LastError();
            return;
        }
    }
    m_valid = true;
}

TestEnv::~TestEnv()
{
    if (m_dataModule)
        m_dataModule->DisconnectDatabase();
    if (DataM == m_dataModule.get())
        DataM = nullptr;
    if (!m_serverDatabase.isEmpty()) {
        QString ignored;
        Maintain("DROP DATABASE IF EXISTS " + m_serverDatabase + " WITH (FORCE)", &ignored);
    }
}

bool TestEnv::OpenSecondConnection(SqlConnection& connection) const
{
    return OpenNamed(connection, m_serverDatabase, DatabaseFile());
}

bool TestEnv::OpenNamed(SqlConnection& connection, const QString& serverDatabase, const QString& file)
{
    if (!serverDatabase.isEmpty())
        return connection.OpenServer(ServerFromEnvironment(serverDatabase));
    return connection.Open(SqlConnection::MakeConnectionString(file));
}

namespace {

QString InjectedTriggerName(const QString& table, const QString& event)
{
    return QStringLiteral("injected_%1_%2").arg(table, event).toLower();
}

} // namespace

bool TestEnv::InjectFailure(const QString& table, const QString& event, const QString& condition)
{
    SqlConnection* connection = CurrentConnection();
    const QString name = InjectedTriggerName(table, event);
    if (!connection->IsServer()) {
        const QString when = condition.isEmpty() ? QString() : " when " + condition;
        return connection->ExecRaw(QStringLiteral("create trigger %1 before %2 on %3%4 begin "
                                                  "select raise(abort, 'injected failure'); end")
                                       .arg(name, event, table, when));
    }
    // PostgreSQL's triggers call a function; one serves every injection.
    const QString when = condition.isEmpty() ? QString() : " when (" + condition + ")";
    return connection->ExecRaw("create or replace function injected_failure() returns trigger "
                               "language plpgsql as $$ begin raise exception 'injected failure'; end $$") &&
           connection->ExecRaw(QStringLiteral("create trigger %1 before %2 on %3 for each row%4 "
                                              "execute function injected_failure()")
                                   .arg(name, event, table, when));
}

bool TestEnv::RemoveFailure(const QString& table, const QString& event)
{
    SqlConnection* connection = CurrentConnection();
    const QString name = InjectedTriggerName(table, event);
    return connection->ExecRaw(connection->IsServer()
                                   ? QStringLiteral("drop trigger %1 on %2").arg(name, table)
                                   : "drop trigger " + name);
}

QString TestEnv::Dir() const
{
    return GetAppDir();
}

QString TestEnv::DatabaseFile() const
{
    return m_dir.path() + "/data/data.mdb";
}

QStringList TestEnv::CommandLogLines() const
{
    QFile file(CommandLogPath(QDate::currentDate()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = Gbk::Decode(file.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QVariant TestEnv::Scalar(const QString& sql, const SqlArgs& args) const
{
    SqlStatement statement(CurrentConnection(), sql);
    if (!statement.Bind(args) || !statement.Step())
        return {};
    return statement.ColumnValue(0);
}
