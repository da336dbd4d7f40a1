#include "TestEnv.h"

#include "AppDir.h"
#include "CommandLog.h"
#include "DataAccess.h"
#include "GbkText.h"
#include "SeedData.h"

#include <QDate>
#include <QFile>

TestEnv::TestEnv(bool demo, bool connect)
{
    if (!m_dir.isValid()) {
        m_error = "no temporary folder";
        return;
    }
    SetAppDir(m_dir.path());
    if (!InitDatabase(DatabaseFile(), demo, &m_error))
        return;
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
