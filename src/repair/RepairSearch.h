#pragma once

#include <QDate>
#include <QString>
#include <QVector>

// The 查找 box of the repair desk: a machine by a fragment of a phone
// (digits; dashes and blanks ignored), a name, a visit's number or the serial
// of a component that went into or came out of it.  Sale records are read
// through the quick-find indexes; % and _ are literal.
namespace RepairSearch {

struct Hit
{
    qint64 saleID = 0;   // 0: a machine bought elsewhere (repairID names its visit)
    qint64 repairID = 0; // the visit that matched, if one did
    QString name, phone, addr, machine;
    QDate buyDate;
    QString matched; // what was found: 客户, 电话, 单号, 序列号
};

// At most `limit` machines, the most recent first; each machine once.
QVector<Hit> Find(const QString& typed, int limit, QString* error);

} // namespace RepairSearch
