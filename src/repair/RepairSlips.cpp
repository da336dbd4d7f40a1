#include "RepairSlips.h"

#include "DataAccess.h"
#include "RepairRules.h"
#include "RepairSettings.h"

namespace RepairSlips {

namespace {

using namespace Report;

QString DateText(const QDateTime& value, bool withTime = true)
{
    if (!value.isValid())
        return {};
    return value.toString(withTime ? QStringLiteral("yyyy-MM-dd HH:mm") : QStringLiteral("yyyy-MM-dd"));
}

// Builds one band; positions in millimetres from the band's corner.
class Builder
{
public:
    explicit Builder(Band& band) : m_band(band) {}

    void Label(double left, double top, const QString& text, double points = 10, bool bold = false)
    {
        Add(ElementKind::Text, {}, QRectF(left, top, 0, points * 0.45), text, points, bold);
    }
    // A value, condensed to `width` rather than run past it.
    void Value(const QString& name, double left, double top, double width, const QString& text,
               double points = 10, bool bold = false)
    {
        Add(ElementKind::Text, name, QRectF(left, top, width, points * 0.45), text, points, bold);
        m_band.elements.last().fitWidth = true;
    }
    void Memo(const QString& name, const QRectF& box, const QString& text, double points)
    {
        Add(ElementKind::Memo, name, box, text, points, false);
        m_band.elements.last().transparent = true;
    }
    void Code(const QString& name, double left, double top, double side, const QString& text)
    {
        Add(ElementKind::QrCode, name, QRectF(left, top, side, side), text, 10, false);
    }
    void HLine(double left, double top, double width, int pen = 1, PenStyle style = PenStyle::Solid)
    {
        Line(ElementKind::HLine, QRectF(left, top, width, 0.3), pen, style);
    }
    void Rect(const QRectF& box, int pen = 1) { Line(ElementKind::Rect, box, pen, PenStyle::Solid); }

private:
    void Add(ElementKind kind, const QString& name, const QRectF& box, const QString& text, double points,
             bool bold)
    {
        Element e;
        e.kind = kind;
        e.name = name;
        e.box = box;
        e.text = text;
        e.font.pointSize = points;
        e.font.bold = bold;
        m_band.elements.append(e);
    }
    void Line(ElementKind kind, const QRectF& box, int pen, PenStyle style)
    {
        Element e;
        e.kind = kind;
        e.box = box;
        e.penWidth = pen;
        e.penStyle = style;
        m_band.elements.append(e);
    }
    Band& m_band;
};

// One copy of the 维修单 in a box of `width` millimetres from `top`.  The
// A4 half and the receipt share the content, laid out in one or two columns.
double OrderCopy(Builder& b, const RepairSlipData& d, const QString& copy, const QString& suffix, double top,
                 double width, bool receipt)
{
    const RepairVisit& v = d.visit;
    const double small = receipt ? 8 : 9.5;
    const double pitch = receipt ? 4.4 : 5.6;
    double y = top;
    b.Value("Shop" + suffix, 0, y, width - (receipt ? 0 : 30), d.shopName, receipt ? 11 : 13, true);
    y += receipt ? 6 : 7;
    b.Label(0, y, QStringLiteral("维修单（%1）").arg(copy), receipt ? 11 : 14, true);
    const double code = receipt ? 22 : 26;
    const double codeLeft = width - code;
    if (!receipt)
        b.Code("Code" + suffix, codeLeft, top, code, v.repairNo);
    y += receipt ? 6 : 8;
    b.Label(0, y + 1, QStringLiteral("单号"), small);
    b.Value("RepairNo" + suffix, receipt ? 10 : 12, y, receipt ? 60 : 80, v.repairNo, receipt ? 14 : 18,
            true);
    y += receipt ? 8 : 10;
    if (receipt) {
        b.Code("Code" + suffix, (width - code) / 2, y, code, v.repairNo);
        y += code + 3;
    }
    const double col2 = receipt ? 0 : width / 2;
    const auto pair = [&](const QString& c1, const QString& n1, const QString& v1, const QString& c2,
                          const QString& n2, const QString& v2) {
        const double valueWidth = (receipt ? width : width / 2) - 20;
        b.Label(0, y, c1, small);
        b.Value(n1 + suffix, 19, y, valueWidth, v1, small);
        if (receipt)
            y += pitch;
        b.Label(col2, y, c2, small);
        b.Value(n2 + suffix, col2 + 19, y, valueWidth, v2, small);
        y += pitch;
    };
    pair(QStringLiteral("接收时间"), "ReceivedAt", DateText(v.receivedAt), QStringLiteral("预计完成"),
         "DueAt", DateText(v.dueAt, false));
    pair(QStringLiteral("客户"), "Customer", d.customer, QStringLiteral("电话"), "Phone", d.phone);
    pair(QStringLiteral("送修人"), "Contact", v.contactName, QStringLiteral("联系电话"), "ContactPhone",
         v.contactPhone);
    pair(QStringLiteral("购买日期"), "BuyDate", d.buyDate, QStringLiteral("保修截止"), "WarrantyEnd",
         d.warrantyEnd);
    pair(QStringLiteral("保修"), "Warranty", d.warrantyText, QStringLiteral("状态"), "Status",
         RepairRules::StatusText(v.status));
    pair(QStringLiteral("CPU"), "Cpu", d.cpu, QStringLiteral("主板"), "MainBoard", d.mainBoard);
    pair(QStringLiteral("内存"), "Memory", d.memory, QStringLiteral("硬盘"), "HD", d.hd);
    b.Label(0, y, QStringLiteral("故障描述"), small, true);
    y += pitch - 0.6;
    const QSizeF problemBox(width, receipt ? 34 : 30);
    b.Memo("Problem" + suffix, QRectF(QPointF(2, y), problemBox), v.problem,
           FittingPointSize(v.problem, problemBox, small, 5));
    y += problemBox.height() + 1;
    pair(QStringLiteral("随机附件"), "Accessories", v.accessories, QStringLiteral("外观"), "Appearance",
         v.appearance);
    pair(QStringLiteral("已收定金"), "Deposit",
         v.deposit > 0 ? RepairRules::YuanText(v.deposit) + QStringLiteral(" 元") : QString(),
         QStringLiteral("接待人"), "ReceivedBy", v.receivedBy);
    b.Label(0, y, QStringLiteral("维修须知"), small - 1, true);
    y += pitch - 1;
    const QSizeF noticeBox(width, receipt ? 26 : 16);
    b.Memo("Notice" + suffix, QRectF(QPointF(2, y), noticeBox), d.notice,
           FittingPointSize(d.notice, noticeBox, small - 1.5, 5));
    y += noticeBox.height() + 2;
    b.Label(0, y, QStringLiteral("客户签字：________________"), small);
    if (receipt)
        y += pitch + 1;
    b.Label(receipt ? 0 : col2, y, QStringLiteral("接待人签字：________________"), small);
    return y + pitch;
}

PageSetup ReceiptPage(double height)
{
    PageSetup page;
    page.paperName = QStringLiteral("80mm");
    page.paperWidth = 80;
    page.paperHeight = height;
    page.marginLeft = page.marginRight = 3;
    page.marginTop = page.marginBottom = 4;
    return page;
}

} // namespace

double FittingPointSize(const QString& text, const QSizeF& box, double largest, double smallest)
{
    QString compact = text;
    compact.remove(QLatin1Char('\n')).remove(QLatin1Char(' '));
    for (double points = largest; points >= smallest; points -= 0.5) {
        FontSpec font;
        font.pointSize = points;
        QString shown = MemoLines(text, font, box).join(QString());
        shown.remove(QLatin1Char(' '));
        if (shown == compact)
            return points;
    }
    return smallest;
}

RepairSlipData DataOf(const RepairVisit& visit)
{
    RepairSlipData d;
    d.visit = visit;
    const RepairSettings settings = RepairSettings::Load();
    d.notice = settings.notice;
    MemDataset company;
    if (OpenQuery(QStringLiteral("select name, addr, Phone, Phone1 from AC_Company"), company) &&
        !company.IsEmpty()) {
        d.shopName = company.AsString("name");
        d.shopAddr = company.AsString("addr");
        d.shopPhone = company.AsString("Phone1").trimmed().isEmpty() ? company.AsString("Phone")
                                                                     : company.AsString("Phone1");
    }
    if (visit.outside) {
        d.customer = visit.customerName;
        d.address = visit.customerAddr;
        d.phone = visit.contactPhone;
        d.cpu = visit.cpu;
        d.mainBoard = visit.mainBoard;
        d.memory = visit.memory;
        d.hd = visit.hd;
        d.warrantyText = QStringLiteral("非本店销售");
        return d;
    }
    const RepairRecord::SaleMachine sale = RepairRecord::LoadSale(visit.saleID);
    d.customer = sale.name;
    d.address = sale.addr;
    const bool mobile = !sale.mobile.trimmed().isEmpty() && sale.mobile.trimmed() != QStringLiteral("无");
    d.phone = mobile ? sale.mobile : sale.phone;
    d.buyDate = sale.buyDate.isValid() ? sale.buyDate.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    const RepairRules::Warranty w = RepairRules::Judge(sale.overRunText, visit.receivedAt.date());
    d.warrantyEnd = w.registered ? w.end.toString(QStringLiteral("yyyy-MM-dd")) : QStringLiteral("未登记");
    d.warrantyText = visit.inWarranty ? QStringLiteral("保修") : QStringLiteral("不保修");
    if (!visit.warrantyReason.isEmpty())
        d.warrantyText += QStringLiteral("（%1）").arg(visit.warrantyReason);
    // The machine as it stands now: sold, with the swaps of its visits.
    for (const auto& [caption, model] : RepairRecord::CurrentConfiguration(visit.saleID)) {
        if (caption == QStringLiteral("处理器"))
            d.cpu = model;
        else if (caption == QStringLiteral("主板"))
            d.mainBoard = model;
        else if (caption == QStringLiteral("内存"))
            d.memory = model;
        else if (caption == QStringLiteral("硬盘"))
            d.hd = model;
    }
    return d;
}

PreparedReport PrepareRepairOrder(const RepairSlipData& data, bool receipt)
{
    ReportTemplate slip;
    slip.title = QStringLiteral("维修单 ") + data.visit.repairNo;
    if (receipt) {
        // One page per copy: the printer cuts between them.
        slip.page = ReceiptPage(200);
        Builder b(slip.AddBand(BandKind::Detail, 192));
        OrderCopy(b, data, QStringLiteral("客户联"), QStringLiteral("_C"), 0, 74, true);
        PreparedReport first = Prepare(slip);
        ReportTemplate second;
        second.title = slip.title;
        second.page = slip.page;
        Builder b2(second.AddBand(BandKind::Detail, 192));
        OrderCopy(b2, data, QStringLiteral("店铺联"), QStringLiteral("_S"), 0, 74, true);
        first.pages += Prepare(second).pages;
        return first;
    }
    // A4: the customer's half above, the shop's below, a cutting line between.
    Builder b(slip.AddBand(BandKind::Detail, 277));
    OrderCopy(b, data, QStringLiteral("客户联"), QStringLiteral("_C"), 0, 190, false);
    b.HLine(0, 138.3, 190, 1, PenStyle::DashDotDot);
    OrderCopy(b, data, QStringLiteral("店铺联"), QStringLiteral("_S"), 141, 190, false);
    return Prepare(slip);
}

PreparedReport PreparePickupSlip(const RepairSlipData& d, bool receipt)
{
    const RepairVisit& v = d.visit;
    ReportTemplate slip;
    slip.title = QStringLiteral("取机单 ") + v.repairNo;
    const double width = receipt ? 74 : 190;
    const double small = receipt ? 8 : 10;
    const double pitch = receipt ? 4.4 : 6;
    if (receipt)
        slip.page = ReceiptPage(170 + 9 * v.swaps.size());
    Builder b(slip.AddBand(BandKind::Detail, receipt ? slip.page.PrintableRect().height() : 277));
    double y = 0;
    b.Value("Shop", 0, y, width, d.shopName, receipt ? 11 : 14, true);
    y += receipt ? 6 : 8;
    b.Label(0, y, QStringLiteral("取机单"), receipt ? 12 : 16, true);
    y += receipt ? 7 : 9;
    b.Label(0, y + 1, QStringLiteral("单号"), small);
    b.Value("RepairNo", receipt ? 10 : 14, y, 70, v.repairNo, receipt ? 13 : 16, true);
    if (v.inWarranty) {
        // The stamp: a framed 保修免费 in the free corner.
        const QRectF stamp(width - (receipt ? 30 : 46), receipt ? 6 : 2, receipt ? 28 : 44,
                           receipt ? 11 : 16);
        b.Rect(stamp, 2);
        b.Value("FreeStamp", stamp.left() + 2.5, stamp.top() + (receipt ? 2.5 : 3.5), stamp.width() - 5,
                QStringLiteral("保修免费"), receipt ? 14 : 22, true);
    }
    y += receipt ? 8 : 10;
    const double col2 = receipt ? 0 : width / 2;
    const auto pair = [&](const QString& c1, const QString& n1, const QString& v1, const QString& c2,
                          const QString& n2, const QString& v2) {
        const double valueWidth = (receipt ? width : width / 2) - 22;
        b.Label(0, y, c1, small);
        b.Value(n1, 21, y, valueWidth, v1, small);
        if (receipt)
            y += pitch;
        b.Label(col2, y, c2, small);
        b.Value(n2, col2 + 21, y, valueWidth, v2, small);
        y += pitch;
    };
    pair(QStringLiteral("客户"), "Customer", d.customer, QStringLiteral("电话"), "Phone", d.phone);
    pair(QStringLiteral("接收时间"), "ReceivedAt", DateText(v.receivedAt), QStringLiteral("完工时间"),
         "ReadyAt", DateText(v.readyAt));
    pair(QStringLiteral("取机时间"), "PickedUpAt", DateText(v.pickedUpAt), QStringLiteral("维修结果"),
         "Outcome", v.outcome);
    b.Label(0, y, QStringLiteral("检测结果"), small, true);
    y += pitch - 1;
    const QSizeF textBox(width, receipt ? 16 : 14);
    b.Memo("Diagnosis", QRectF(QPointF(2, y), textBox), v.diagnosis,
           FittingPointSize(v.diagnosis, textBox, small, 5));
    y += textBox.height() + 1;
    b.Label(0, y, QStringLiteral("处理措施"), small, true);
    y += pitch - 1;
    b.Memo("Action", QRectF(QPointF(2, y), textBox), v.action, FittingPointSize(v.action, textBox, small, 5));
    y += textBox.height() + 1;

    // The swaps: component, old → new with serials, price and warranty.
    b.Label(0, y, QStringLiteral("更换配件"), small, true);
    y += pitch;
    if (!receipt) {
        const double x[] = {0, 18, 72, 126, 140, 162};
        const char16_t* heads[] = {u"部件", u"原型号 / 序列号", u"新型号 / 序列号", u"数量",
                                   u"金额", u"保修至"};
        for (int i = 0; i < 6; ++i)
            b.Label(x[i], y, QString::fromUtf16(heads[i]), small - 1, true);
        y += pitch - 1;
        b.HLine(0, y, width);
        y += 1;
        for (int i = 0; i < v.swaps.size(); ++i) {
            const RepairSwapLine& s = v.swaps[i];
            const QString n = QString::number(i + 1);
            b.Value("SwapPart" + n, x[0], y, 17, s.component, small - 1);
            b.Value("SwapOld" + n, x[1], y, 53, (s.oldModel + ' ' + s.oldSerial).trimmed(), small - 1);
            b.Value("SwapNew" + n, x[2], y, 53, (s.newModel + ' ' + s.newSerial).trimmed(), small - 1);
            b.Value("SwapQty" + n, x[3], y, 13, QString::number(s.qty), small - 1);
            b.Value("SwapAmount" + n, x[4], y, 21,
                    s.covered ? QStringLiteral("保修") : RepairRules::YuanText(qint64(s.qty) * s.price),
                    small - 1);
            b.Value("SwapUntil" + n, x[5], y, 28,
                    s.warrantyUntil.isValid() ? s.warrantyUntil.toString(QStringLiteral("yyyy-MM-dd"))
                                              : QString(),
                    small - 1);
            y += pitch - 0.5;
        }
    } else {
        for (int i = 0; i < v.swaps.size(); ++i) {
            const RepairSwapLine& s = v.swaps[i];
            const QString n = QString::number(i + 1);
            b.Value(
                "SwapPart" + n, 0, y, width,
                QStringLiteral("%1 ×%2  %3")
                    .arg(s.component)
                    .arg(s.qty)
                    .arg(s.covered ? QStringLiteral("保修") : RepairRules::YuanText(qint64(s.qty) * s.price)),
                small);
            y += pitch - 0.5;
            b.Value("SwapOld" + n, 2, y, width - 2,
                    QStringLiteral("原：") + (s.oldModel + ' ' + s.oldSerial).trimmed(), small - 1);
            y += pitch - 0.8;
            b.Value("SwapNew" + n, 2, y, width - 2,
                    QStringLiteral("新：") + (s.newModel + ' ' + s.newSerial).trimmed(), small - 1);
            y += pitch - 0.8;
            if (s.warrantyUntil.isValid()) {
                b.Value("SwapUntil" + n, 2, y, width - 2,
                        QStringLiteral("保修至：") + s.warrantyUntil.toString(QStringLiteral("yyyy-MM-dd")),
                        small - 1);
                y += pitch - 0.8;
            }
        }
    }
    b.HLine(0, y, width);
    y += 2;
    const QString yuan = QStringLiteral(" 元");
    pair(QStringLiteral("人工费"), "LaborFee", RepairRules::YuanText(v.laborFee) + yuan,
         QStringLiteral("配件费"), "PartsFee", RepairRules::YuanText(v.PartsFee()) + yuan);
    pair(QStringLiteral("合计"), "Total", RepairRules::YuanText(v.ComputedTotal()) + yuan,
         QStringLiteral("已收定金"), "Deposit", RepairRules::YuanText(v.deposit) + yuan);
    b.Label(0, y, QStringLiteral("实收"), small + 2, true);
    b.Value("Paid", 21, y, 60, RepairRules::YuanText(v.Due()) + yuan, small + 2, true);
    y += pitch + 3;
    pair(QStringLiteral("维修人员"), "Technician", v.technician, QStringLiteral("接待人"), "ReceivedBy",
         v.receivedBy);
    y += 2;
    b.Label(0, y, QStringLiteral("客户验收签字：________________"), small);
    return Prepare(slip);
}

} // namespace RepairSlips
