#include "TDataM.h"

#include "AppDir.h"
#include "ChangeLog.h"
#include "CommandLog.h"
#include "Schema.h"
#include "Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

TDataM* DataM = nullptr;

namespace {

// Why the database file cannot be used, in words the person at the desk can
// act on (SQLite's own texts are English and name no file).
QString OpenFailureReason(int code, const QString& message, const QString& file)
{
    const QString name = QDir::toNativeSeparators(file);
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
        if (!QFileInfo::exists(file))
            return QStringLiteral("找不到数据库文件 %1。").arg(name);
        return QStringLiteral("无法读取数据库文件 %1（没有读取权限或不是普通文件）。").arg(name);
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_IOERR:
        return QStringLiteral("无法读取数据库文件 %1（%2）。").arg(name, message);
    case SQLITE_NOTADB:
        return QStringLiteral("文件 %1 不是本程序的数据库。").arg(name);
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件 %1 已损坏（%2）。").arg(name, message);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件 %1 正被其他程序锁定，请关闭该程序后再启动。").arg(name);
    case SQLITE_READONLY:
        return QStringLiteral(
                   "数据库文件 %1 只能读取、不能写入（文件或其所在文件夹没有写入权限，或位于只读介质上）。")
            .arg(name);
    default:
        return message;
    }
}

// Why the database server cannot be used, with libpq's own reason (which
// names the host, the socket or the refused login).
QString ServerFailureReason(const PgServer& server, const QString& message)
{
    const QString place = server.host.isEmpty() ? QStringLiteral("本机") : server.host;
    return QStringLiteral("无法连接数据库服务器 %1 上的数据库 %2（%3）。").arg(place, server.name, message);
}

} // namespace

TDataM::TDataM(QObject* parent) : QObject(parent)
{
    adoSetLog.SetUpdateMode(TableDataset::UpdateMode::Batch);
    ADOConn.SetResetHandler([this](const QString& message) { emit ConnectionReset(message); });
    if (!DataM)
        DataM = this;
}

TDataM::~TDataM()
{
    DisconnectDatabase();
    if (DataM == this)
        DataM = nullptr;
}

bool TDataM::ConnectDatabase()
{
    DisconnectDatabase();
    m_error.clear();
    const bool server = Settings::DatabaseIsServer();
    const QString file = GetAppDir() + "data/data.mdb";
    const PgServer where = Settings::DatabaseServer();
    if (!server &&
        Settings::DatabaseEngine().compare(QLatin1String(Settings::EngineSQLite), Qt::CaseInsensitive) != 0) {
        m_error = QStringLiteral("Quorel.ini 中的数据库引擎“%1”无法识别（可用：SQLite、PostgreSQL）。")
                      .arg(Settings::DatabaseEngine());
        WriteLogLine(QStringLiteral("数据库打开失败：") + m_error);
        return false;
    }
    if (server ? !ADOConn.OpenServer(where) : !ADOConn.Open(SqlConnection::MakeConnectionString(file))) {
        m_error = server ? ServerFailureReason(where, ADOConn.ErrorString())
                         : OpenFailureReason(ADOConn.ErrorCode(), ADOConn.ErrorString(), file);
        WriteLogLine(QStringLiteral("数据库打开失败：") + m_error);
        return false;
    }
    SetCurrentConnection(&ADOConn);
    if (Schema::Version(ADOConn) == 0) {
        m_error = server
                      ? QStringLiteral("数据库 %1 中还没有本程序的数据表，请先运行 weibao --init-database。")
                            .arg(where.name)
                      : OpenFailureReason(SQLITE_NOTADB, QString(), file);
    } else if (!server && !Schema::OnlyOurObjects(ADOConn, &m_error)) {
        // Somebody else's trigger or view would run inside the program's
        // own writes (the upgrade, the usage log): the file is left as it is.
    } else if (!Schema::Upgrade(ADOConn, &m_error)) {
        // A newer schema explains itself; a failed step says what SQLite said.
        if (!server && ADOConn.ErrorCode() != SQLITE_OK)
            m_error = OpenFailureReason(ADOConn.ErrorCode(), m_error, file);
    } else {
        if (!adoSetCity.Open("AreaData"))
            m_error = adoSetCity.ErrorString();
        else if (!adoSetProvince.Open(
                     "AreaData",
                     "where rowid in (select min(rowid) from AreaData group by Province) order by Province"))
            m_error = adoSetProvince.ErrorString();
        else if (!OpenLogWindow())
            m_error = adoSetLog.ErrorString();
        // A connection opened again (after a restore) logs for the same user.
        else
            ChangeLog::ApplySession(ADOConn);
    }
    if (!m_error.isEmpty()) {
        DisconnectDatabase();
        WriteLogLine(QStringLiteral("数据库打开失败：") + m_error);
        return false;
    }
    return true;
}

QString TDataM::StartErrorText() const
{
    QString text = QStringLiteral("数据库打开出现意外失败，请重新启动应用程序。");
    if (!m_error.isEmpty())
        text += QStringLiteral("\n\n原因：") + m_error;
    return text;
}

bool TDataM::OpenLogWindow()
{
    const QDate from = QDate::currentDate().addDays(-3);
    return adoSetLog.Open("UseLog", "where LogTime>=? order by LogTime", {SqlArg(from)});
}

void TDataM::DisconnectDatabase()
{
    for (TableDataset* set : {&adoSetCity, &adoSetProvince, &adoSetDir, &adoSetLog, &ADOQuery1})
        if (set->IsActive())
            set->Close();
    ADOConn.Close();
    if (CurrentConnection() == &ADOConn)
        SetCurrentConnection(nullptr);
}

QString TDataM::CurrentUserID() const
{
    QString userID, userName;
    if (m_userSource)
        m_userSource(userID, userName);
    return userID;
}

void TDataM::WriteUsageLog(const QString& text)
{
    if (!adoSetLog.IsActive())
        return;
    QString userID, userName;
    if (m_userSource)
        m_userSource(userID, userName);
    adoSetLog.Append();
    adoSetLog.SetValue("UserID", userID);
    adoSetLog.SetValue("UserName", userName);
    adoSetLog.SetValue("LogTime", QDateTime::currentDateTime());
    adoSetLog.SetValue("LogText", text);
    if (!adoSetLog.ApplyUpdates())
        adoSetLog.CancelUpdates();
}

void TDataM::RefreshLookups()
{
    adoSetCity.Requery();
    adoSetProvince.Requery();
    OpenLogWindow();
}
