#pragma once

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

private:
    QString m_serverDatabase;
    QTemporaryDir m_dir;
    std::unique_ptr<TDataM> m_dataModule;
    bool m_valid = false;
    QString m_error;
};
