#include "TDataM.h"

#include "AppDir.h"
#include "Schema.h"

#include <QDateTime>

TDataM* DataM = nullptr;

TDataM::TDataM(QObject* parent) : QObject(parent)
{
    adoSetLog.SetUpdateMode(TableDataset::UpdateMode::Batch);
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
    if (!ADOConn.Open(SqlConnection::MakeConnectionString(GetAppDir() + "data/data.mdb"))) {
        m_error = ADOConn.ErrorString();
        return false;
    }
    SetCurrentConnection(&ADOConn);
    if (Schema::Version(ADOConn) == 0) {
        m_error = QStringLiteral("文件不是本程序的数据库");
    } else if (Schema::Upgrade(ADOConn, &m_error)) {
        if (!adoSetCity.Open("AreaData"))
            m_error = adoSetCity.ErrorString();
        else if (!adoSetProvince.Open("AreaData", "group by Province"))
            m_error = adoSetProvince.ErrorString();
        else if (!OpenLogWindow())
            m_error = adoSetLog.ErrorString();
    }
    if (!m_error.isEmpty()) {
        DisconnectDatabase();
        return false;
    }
    return true;
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
