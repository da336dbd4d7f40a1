#pragma once

#include "DataAccess.h"
#include "SessionRights.h"
#include "TestEnv.h"

#include <QDate>
#include <QSet>
#include <QString>

// The logged-in user of a test holds exactly `rights` (function codes).
class GrantedRights
{
public:
    explicit GrantedRights(const QStringList& rights = {"6001", "6002", "600201", "600202", "600203"})
    {
        Set(rights);
    }
    ~GrantedRights() { SessionRights::Uninstall(); }
    void Set(const QStringList& rights)
    {
        m_rights = QSet<QString>(rights.begin(), rights.end());
        SessionRights::Install([this](const QString& id) { return m_rights.contains(id); },
                               [] { return QStringLiteral("ADMIN"); });
    }

private:
    QSet<QString> m_rights;
};

// A sale record with the fields the repair desk reads; its key.
inline qint64 InsertMachine(const QString& name, const QString& phone, const QString& mobile,
                            const QDate& buy, const QVariant& overRun,
                            const QString& memory = QStringLiteral("8GB DDR4"))
{
    MemDataset inserted;
    if (!OpenQuery(
            QStringLiteral("insert into SaleInfo (Name,Phone,Mobile,addr,BuyDate,OverRun,TB,BuyAmount,CPU,"
                           "Memory,HD,MainBoard) values (?,?,?,?,?,?,'0','1',?,?,?,?) returning id"),
            inserted,
            {name, phone, mobile, QStringLiteral("北京市海淀区"), buy, SqlArg(overRun),
             QStringLiteral("Intel Core i5-12400"), memory, QStringLiteral("512GB NVMe 固态"),
             QStringLiteral("华硕 B660M")}) ||
        inserted.IsEmpty())
        return 0;
    return inserted.AsInteger("id");
}
