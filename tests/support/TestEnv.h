#pragma once

#include "PgEngine.h"
#include "TDataM.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh program folder for one test: its own data/data.mdb made from the
// built-in configuration (optionally with the demo data), the program folder
// pointed at it, and a connected data module.
class TestEnv
{
public:
    explicit TestEnv(bool demo = false, bool connect = true);
    ~TestEnv();

    bool IsValid() const { return m_valid; }
    QString Error() const { return m_error; }
    QString Dir() const; // ends in "/"
    QString DatabaseFile() const;
    TDataM* DataModule() const { return m_dataModule.get(); }

    // Lines of today's command log.
    QStringList CommandLogLines() const;
    // One value from the database (first column of the first row), or null.
    QVariant Scalar(const QString& sql, const SqlArgs& args = {}) const;

    // The suites run once per engine: WEIBAO_TEST_ENGINE=PostgreSQL puts
    // every TestEnv on a fresh database of the server named by PGHOST,
    // PGPORT and PGUSER (scripts/test.sh starts a throwaway one).
    static bool OnServer();
    // Empty when the server answers, else why not (the suite then skips
    // with that message rather than pass).
    static QString ServerUnavailableReason();
    // Opens a second connection to this environment's database.
    bool OpenSecondConnection(SqlConnection& connection) const;
    // The server database of this environment; empty on SQLite.
    QString ServerDatabase() const { return m_serverDatabase; }
    // Opens the database another process's environment named: a server
    // database (of PGHOST/PGPORT/PGUSER) or else an SQLite file.
    static bool OpenNamed(SqlConnection& connection, const QString& serverDatabase, const QString& file);
    // The server of PGHOST, PGPORT and PGUSER, database `database`.
    static PgServer ServerFromEnvironment(const QString& database);
    // Runs one statement on that server's maintenance database ("postgres").
    static bool Maintain(const QString& sql, QString* error);

    // Makes every `event` ("insert", "update", "delete") on `table` of the
    // current connection fail with "injected failure", or only the rows for
    // which `condition` holds (SQL over old./new., e.g. "old.MenuID=72"), so
    // that an operation of several statements fails in its middle.  A
    // trigger on either engine; RemoveFailure drops it again.
    static bool InjectFailure(const QString& table, const QString& event, const QString& condition = {});
    static bool RemoveFailure(const QString& table, const QString& event);

private:
    QString m_serverDatabase;
    QTemporaryDir m_dir;
    std::unique_ptr<TDataM> m_dataModule;
    bool m_valid = false;
    QString m_error;
};

// The first statement of initTestCase() in a suite that also runs on
// PostgreSQL (weibao_add_engine_test): without a server that run skips
// with the reason, and ctest reports it skipped rather than passed.
#define WEIBAO_SKIP_WITHOUT_SERVER()                                                                         \
    do {                                                                                                     \
        if (TestEnv::OnServer() && !TestEnv::ServerUnavailableReason().isEmpty())                            \
            QSKIP(qPrintable("PostgreSQL not available: " + TestEnv::ServerUnavailableReason()));            \
    } while (false)
