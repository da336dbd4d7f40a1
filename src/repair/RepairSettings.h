#pragma once

#include <QString>
#include <QStringList>

// The repair desk's shop settings, kept in the database (RepairSetting) so
// that every desk shares them, and the one setting of each desk: the layout
// of the slips (A4 or an 80 mm receipt printer), kept in the desk's INI.
struct RepairSettings
{
    int overdueDays = 3;       // 已接收/检修中 older than this is late
    int pickupDays = 7;        // 待取机 older than this is reminded (and hidden this long after 已通知)
    int longWaitDays = 30;     // 待取机 older than this is 超30天未取
    int partWarrantyDays = 90; // a replaced component's warranty from pickup
    int dueDays = 3;           // 预计完成: received + this
    QStringList phrases;       // 常用故障
    QString notice;            // 维修须知 printed on the 维修单

    // The stored settings; defaults for what is not stored.
    static RepairSettings Load();
    bool Save(QString* error) const;

    // The desk's choice of slip layout: false A4, true 80 mm receipt.
    static bool ReceiptLayout();
    static bool SetReceiptLayout(bool receipt);
};
