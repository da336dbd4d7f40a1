#include "RepairRules.h"

#include <QRegularExpression>

namespace RepairRules {

QString StatusText(int status)
{
    switch (status) {
    case Received:
        return QStringLiteral("已接收");
    case InRepair:
        return QStringLiteral("检修中");
    case Ready:
        return QStringLiteral("待取机");
    case PickedUp:
        return QStringLiteral("已取机");
    default:
        return {};
    }
}

const QStringList& Outcomes()
{
    static const QStringList outcomes = {QStringLiteral("已修复"), QStringLiteral("未修复"),
                                         QStringLiteral("无故障")};
    return outcomes;
}

const QStringList& OverrideReasons()
{
    static const QStringList reasons = {QStringLiteral("人为损坏"), QStringLiteral("进液"),
                                        QStringLiteral("私拆"), QStringLiteral("其他")};
    return reasons;
}

const QVector<Component>& Components()
{
    static const QVector<Component> components = {
        {u"处理器", "CPU"},       {u"主板", "MainBoard"}, {u"内存", "Memory"}, {u"硬盘", "HD"},
        {u"显卡", "DisplayCard"}, {u"声卡", "Sound"},     {u"电源", "Power"},  {u"机箱", "Box"},
        {u"显示器", "Display"},   {u"光驱", "CDROM"},     {u"软驱", "Floppy"}, {u"网卡", "NetWork"},
        {u"Modem", "Modem"},      {u"键盘", "KeyBoard"},  {u"鼠标", "Mouse"},  {u"音箱", "SoundBox"},
        {u"打印机", "Print"},     {u"其他", ""},
    };
    return components;
}

QString ComponentColumn(const QString& caption)
{
    for (const Component& c : Components())
        if (QString::fromUtf16(c.caption) == caption)
            return QString::fromLatin1(c.column);
    return {};
}

std::optional<QString> MoveRight(int from, int to)
{
    if (from < Received || from > PickedUp || to < Received || to > PickedUp || from == to)
        return std::nullopt;
    if (to > from)
        return QString::fromLatin1(to == PickedUp ? PickupRight : BenchRight);
    if (from == Ready && to == InRepair)
        return QString::fromLatin1(BenchRight);
    if (from == PickedUp && to == Ready)
        return QString::fromLatin1(AdvancedRight);
    return std::nullopt;
}

Warranty Judge(const QString& overRunText, const QDate& received)
{
    Warranty w;
    const QString text = overRunText.trimmed();
    // Stored as "yyyy-MM-dd HH:mm:ss" (a date at midnight) or a date alone.
    w.end = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    if (text.isEmpty() || !w.end.isValid() || !received.isValid()) {
        w.badge = QStringLiteral("保修期未登记");
        return w;
    }
    w.registered = true;
    w.inWarranty = received <= w.end;
    if (w.inWarranty) {
        w.days = int(received.daysTo(w.end)) + 1;
        w.badge = QStringLiteral("保修期内(剩 %1 天)").arg(w.days);
    } else {
        w.days = int(w.end.daysTo(received));
        w.badge = QStringLiteral("已过保(超 %1 天)").arg(w.days);
    }
    return w;
}

std::optional<qint64> ParseYuan(const QString& text)
{
    QString t = text.trimmed();
    t.remove(QChar(u'，')).remove(QChar(u',')).remove(QChar(u' '));
    if (t.startsWith(QChar(u'￥')) || t.startsWith(QChar(u'¥')))
        t.remove(0, 1);
    if (t.endsWith(QChar(u'元')))
        t.chop(1);
    if (t.isEmpty())
        return qint64(0);
    static const QRegularExpression form(QStringLiteral("^(\\d{1,10})(?:\\.(\\d{0,2}))?$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    QString cents = m.captured(2);
    while (cents.size() < 2)
        cents += QLatin1Char('0');
    return m.captured(1).toLongLong() * 100 + cents.toLongLong();
}

QString YuanText(qint64 fen)
{
    const QString sign = fen < 0 ? QStringLiteral("-") : QString();
    const qint64 a = fen < 0 ? -fen : fen;
    return sign + QString::number(a / 100) + QLatin1Char('.') +
           QStringLiteral("%1").arg(a % 100, 2, 10, QChar('0'));
}

qint64 PartsFee(const QVector<Line>& lines)
{
    qint64 sum = 0;
    for (const Line& line : lines)
        if (!line.covered)
            sum += qint64(line.qty) * line.price;
    return sum;
}

qint64 Total(qint64 laborFee, const QVector<Line>& lines)
{
    return laborFee + PartsFee(lines);
}

qint64 Due(qint64 total, qint64 deposit)
{
    return qMax<qint64>(0, total - deposit);
}

QString CounterDay(const QDate& day)
{
    return day.toString(QStringLiteral("yyMMdd"));
}

QString RepairNo(const QDate& day, qint64 number)
{
    return QStringLiteral("WX%1-%2").arg(CounterDay(day)).arg(number, 3, 10, QChar('0'));
}

QString PhoneDigits(const QString& text)
{
    QString digits = text;
    digits.remove(QChar('-')).remove(QChar(' ')).remove(QChar(u'\u3000'));
    return digits;
}

} // namespace RepairRules
