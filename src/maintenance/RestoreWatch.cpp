#include "RestoreWatch.h"

#include "DataAccess.h"
#include "SqlDialect.h"

#include <QTimer>

RestoreWatch::RestoreWatch(QObject* parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(60 * 1000);
    connect(m_timer, &QTimer::timeout, this, &RestoreWatch::Check);
}

qint64 RestoreWatch::TableIdentity(SqlConnection* connection)
{
    const QString sql = SqlDialect::TableIdentitySql(connection);
    if (!connection || sql.isEmpty())
        return 0;
    SqlStatement read(connection, sql);
    return read.Step() ? read.ColumnInt64(0) : 0;
}

void RestoreWatch::Rebase()
{
    m_base = TableIdentity(CurrentConnection());
    m_told = false;
    if (m_base != 0)
        m_timer->start();
    else
        m_timer->stop();
}

bool RestoreWatch::Check()
{
    if (m_base == 0 || m_told)
        return !m_told;
    const qint64 now = TableIdentity(CurrentConnection());
    // 0: the server could not be asked now (the reconnect says so); asked again later.
    if (now == 0 || now == m_base)
        return true;
    m_told = true;
    m_timer->stop();
    emit restoredElsewhere();
    return false;
}
