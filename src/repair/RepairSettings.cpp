#include "RepairSettings.h"

#include "DataAccess.h"
#include "IniFile.h"
#include "Settings.h"

namespace {

const QStringList DefaultPhrases = {
    QStringLiteral("不开机"),   QStringLiteral("开机无显示"), QStringLiteral("蓝屏死机"),
    QStringLiteral("自动重启"), QStringLiteral("系统很慢"),   QStringLiteral("噪音大"),
    QStringLiteral("无法上网"), QStringLiteral("硬盘异响"),   QStringLiteral("屏幕花屏"),
};

const QString DefaultNotice = QStringLiteral("1. 请凭本单取机，遗失请持身份证件办理。\n"
                                             "2. 送修前请自行备份资料，维修过程中数据丢失本店不承担责任。\n"
                                             "3. 维修完成通知后超过30天未取机，本店不再负责保管。\n"
                                             "4. 人为损坏、进液、私自拆修不在保修范围之内。");

int Bounded(const QString& text, int fallback, int low, int high)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

} // namespace

RepairSettings RepairSettings::Load()
{
    RepairSettings s;
    s.phrases = DefaultPhrases;
    s.notice = DefaultNotice;
    MemDataset rows;
    if (!OpenQuery(QStringLiteral("select Name, Value from RepairSetting"), rows))
        return s;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        const QString name = rows.AsString("Name");
        const QString value = rows.AsString("Value");
        if (name == QLatin1String("OverdueDays"))
            s.overdueDays = Bounded(value, s.overdueDays, 1, 365);
        else if (name == QLatin1String("PickupDays"))
            s.pickupDays = Bounded(value, s.pickupDays, 1, 365);
        else if (name == QLatin1String("LongWaitDays"))
            s.longWaitDays = Bounded(value, s.longWaitDays, 1, 3650);
        else if (name == QLatin1String("PartWarrantyDays"))
            s.partWarrantyDays = Bounded(value, s.partWarrantyDays, 0, 3650);
        else if (name == QLatin1String("DueDays"))
            s.dueDays = Bounded(value, s.dueDays, 0, 365);
        else if (name == QLatin1String("Phrases"))
            s.phrases = value.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        else if (name == QLatin1String("Notice"))
            s.notice = value;
    }
    return s;
}

bool RepairSettings::Save(QString* error) const
{
    const QVector<QPair<QString, QString>> values = {
        {QStringLiteral("OverdueDays"), QString::number(overdueDays)},
        {QStringLiteral("PickupDays"), QString::number(pickupDays)},
        {QStringLiteral("LongWaitDays"), QString::number(longWaitDays)},
        {QStringLiteral("PartWarrantyDays"), QString::number(partWarrantyDays)},
        {QStringLiteral("DueDays"), QString::number(dueDays)},
        {QStringLiteral("Phrases"), phrases.join(QLatin1Char('\n'))},
        {QStringLiteral("Notice"), notice},
    };
    SqlTransaction transaction(CurrentConnection());
    if (!transaction.IsActive()) {
        *error = CurrentConnection() ? CurrentConnection()->ErrorString() : QString();
        return false;
    }
    for (const auto& [name, value] : values)
        if (!ExecCommand(QStringLiteral("delete from RepairSetting where Name=?"), {name}, error) ||
            !ExecCommand(QStringLiteral("insert into RepairSetting (Name, Value) values (?,?)"),
                         {name, value}, error))
            return false;
    if (!transaction.Commit()) {
        *error = CurrentConnection()->ErrorString();
        return false;
    }
    return true;
}

bool RepairSettings::ReceiptLayout()
{
    return IniFile(Settings::IniPath()).ReadInteger(QStringLiteral("Repair"), QStringLiteral("Receipt"), 0) ==
           1;
}

bool RepairSettings::SetReceiptLayout(bool receipt)
{
    IniFile ini(Settings::IniPath());
    return ini.WriteInteger(QStringLiteral("Repair"), QStringLiteral("Receipt"), receipt ? 1 : 0);
}
