#include "WarrantyCard.h"

#include <utility>

namespace Report {

namespace {

using Field = QString WarrantyCardData::*;

// Element name and the data field that fills it, in layout order.
const std::pair<const char*, Field> kFields[] = {
    {"LblIncName", &WarrantyCardData::LblIncName},
    {"LblPrintDate", &WarrantyCardData::LblPrintDate},
    {"LblIncAddr", &WarrantyCardData::LblIncAddr},
    {"LblIncPhone", &WarrantyCardData::LblIncPhone},
    {"LblIncMail", &WarrantyCardData::LblIncMail},
    {"LblIncFax", &WarrantyCardData::LblIncFax},
    {"LblIncWeb", &WarrantyCardData::LblIncWeb},
    {"LblIncPhone1", &WarrantyCardData::LblIncPhone1},
    {"LblName", &WarrantyCardData::LblName},
    {"LblPhone", &WarrantyCardData::LblPhone},
    {"LblFax", &WarrantyCardData::LblFax},
    {"Lblmobile", &WarrantyCardData::Lblmobile},
    {"LblBuyAmount", &WarrantyCardData::LblBuyAmount},
    {"LblAddr", &WarrantyCardData::LblAddr},
    {"LblBuyDate", &WarrantyCardData::LblBuyDate},
    {"LblOverRun", &WarrantyCardData::LblOverRun},
    {"LblCpu", &WarrantyCardData::LblCpu},
    {"Lblmouse", &WarrantyCardData::Lblmouse},
    {"Lblmainboard", &WarrantyCardData::Lblmainboard},
    {"Lbldisplay", &WarrantyCardData::Lbldisplay},
    {"LblMemory", &WarrantyCardData::LblMemory},
    {"Lblbox", &WarrantyCardData::Lblbox},
    {"LblHD", &WarrantyCardData::LblHD},
    {"LblPower", &WarrantyCardData::LblPower},
    {"LblSound", &WarrantyCardData::LblSound},
    {"LblSoundBox", &WarrantyCardData::LblSoundBox},
    {"LbldisplayCard", &WarrantyCardData::LbldisplayCard},
    {"LblPrint", &WarrantyCardData::LblPrint},
    {"LblCDROM", &WarrantyCardData::LblCDROM},
    {"LblNetWork", &WarrantyCardData::LblNetWork},
    {"Lblfloppy", &WarrantyCardData::Lblfloppy},
    {"LblModem", &WarrantyCardData::LblModem},
    {"LblKeyBoard", &WarrantyCardData::LblKeyBoard},
    {"LblOther", &WarrantyCardData::LblOther},
    {"QMemo", &WarrantyCardData::QMemo},
    {"LblCN1", &WarrantyCardData::LblCN1},
    {"LblCN2", &WarrantyCardData::LblCN2},
    {"LblCN3", &WarrantyCardData::LblCN3},
    {"QRCode", &WarrantyCardData::QRCode},
};

// Builds the elements of one band; positions in millimetres from the band's corner.
class BandBuilder
{
public:
    explicit BandBuilder(Band& band) : m_band(band) {}

    void Text(double left, double top, double width, double height, const QString& text, double points = 12,
              bool bold = false, bool underline = false)
    {
        Add(ElementKind::Text, QString(), left, top, width, height, text, points, bold, underline);
        m_band.elements.last().fitWidth = true;
    }
    void Field(const char* name, double left, double top, double width, double height, double points = 12,
               bool bold = false)
    {
        Add(ElementKind::Text, QString::fromLatin1(name), left, top, width, height, QString(), points, bold);
    }
    // A field that is set smaller and wrapped rather than run past its box.
    void WrappedField(const char* name, double left, double top, double width, double height, int lines)
    {
        Field(name, left, top, width, height);
        m_band.elements.last().fitLines = lines;
    }
    // A field that is condensed to its width rather than run past it.
    void FittedField(const char* name, double left, double top, double width, double height)
    {
        Field(name, left, top, width, height);
        m_band.elements.last().fitWidth = true;
    }
    // One bold 15 pt character of the side captions.
    void Side(double top, const QString& character) { Text(8.5, top, 5.8, 5.6, character, 15, true); }
    void HLine(double left, double top, double width, double height, int pen,
               PenStyle style = PenStyle::Solid)
    {
        AddLine(ElementKind::HLine, left, top, width, height, pen, style);
    }
    void VLine(double left, double top, double width, double height, int pen = 1)
    {
        AddLine(ElementKind::VLine, left, top, width, height, pen, PenStyle::Solid);
    }
    void Rect(double left, double top, double width, double height, int pen = 2)
    {
        AddLine(ElementKind::Rect, left, top, width, height, pen, PenStyle::Solid);
    }
    void Code(const char* name, double left, double top, double side)
    {
        Add(ElementKind::QrCode, QString::fromLatin1(name), left, top, side, side, QString(), 12, false);
    }
    void Memo(const char* name, double left, double top, double width, double height)
    {
        Add(ElementKind::Memo, QString::fromLatin1(name), left, top, width, height, QString(), 12, false);
        m_band.elements.last().transparent = true;
    }

private:
    void Add(ElementKind kind, const QString& name, double left, double top, double width, double height,
             const QString& text, double points, bool bold, bool underline = false)
    {
        Element element;
        element.kind = kind;
        element.name = name;
        element.box = QRectF(left, top, width, height);
        element.text = text;
        element.font.pointSize = points;
        element.font.bold = bold;
        element.font.underline = underline;
        m_band.elements.append(element);
    }
    void AddLine(ElementKind kind, double left, double top, double width, double height, int pen,
                 PenStyle style)
    {
        Element element;
        element.kind = kind;
        element.box = QRectF(left, top, width, height);
        element.penWidth = pen;
        element.penStyle = style;
        m_band.elements.append(element);
    }

    Band& m_band;
};

void BuildHeader(BandBuilder b)
{
    b.Field("LblIncName", 2.1, 2.1, 29.4, 5.6, 15, true);
    b.Text(143.9, 3.2, 21.4, 4.5, QStringLiteral("打印日期："));
    b.Field("LblPrintDate", 165.1, 3.2, 25.7, 4.5);
}

void BuildFooter(BandBuilder b)
{
    b.Text(4.2, 2.1, 21.4, 4.5, QStringLiteral("公司地址："));
    // Up to the phone's caption and the next row: a long address wraps there.
    b.WrappedField("LblIncAddr", 27.5, 2.1, 92.0, 6.3, 2);
    b.Text(120.7, 2.1, 21.4, 4.5, QStringLiteral("销售电话："));
    b.Field("LblIncPhone", 143.9, 2.1, 23.5, 4.5);
    b.Text(4.2, 8.5, 21.4, 4.5, QStringLiteral("公司电邮："));
    b.Field("LblIncMail", 27.5, 8.5, 21.4, 4.5);
    b.Text(129.1, 8.5, 13, 4.5, QStringLiteral("传真："));
    b.Field("LblIncFax", 143.9, 8.5, 19.3, 4.5);
    b.Text(4.2, 14.8, 21.4, 4.5, QStringLiteral("公司网址："));
    b.Field("LblIncWeb", 27.5, 14.8, 19.3, 4.5);
    b.Text(120.7, 14.8, 21.4, 4.5, QStringLiteral("服务电话："));
    b.Field("LblIncPhone1", 143.9, 14.8, 25.7, 4.5);
}

void BuildCustomerSection(BandBuilder& b)
{
    b.VLine(40.2, 25.4, 0.3, 38.4);
    b.VLine(74.1, 25.4, 0.3, 13);
    b.VLine(93.1, 25.4, 0.3, 25.7);
    b.VLine(131.2, 25.4, 0.3, 25.7);
    b.VLine(150.3, 25.4, 0.3, 13);
    b.Text(25.4, 29.6, 8.7, 6.6, QStringLiteral("客户"));
    b.Field("LblName", 44.5, 29.6, 15.1, 4.5);
    b.Text(78.3, 29.6, 8.7, 4.5, QStringLiteral("电话"));
    b.Field("LblPhone", 97.4, 29.6, 17.2, 4.5);
    b.Text(137.6, 29.6, 8.7, 4.5, QStringLiteral("传真"));
    b.Field("LblFax", 154.5, 29.6, 13, 4.5);
    b.Side(31.8, QStringLiteral("客"));
    b.HLine(19.1, 38.1, 167.5, 0.3, 1);
    b.Side(42.3, QStringLiteral("户"));
    b.Text(25.4, 42.3, 8.7, 4.5, QStringLiteral("手机"));
    b.Field("Lblmobile", 44.5, 42.3, 19.3, 4.5);
    b.Text(103.7, 42.3, 17.2, 4.5, QStringLiteral("购机数量"));
    b.Field("LblBuyAmount", 135.5, 42.3, 25.7, 4.5);
    b.HLine(19.1, 50.8, 167.5, 0.3, 1);
    b.Side(52.9, QStringLiteral("信"));
    b.Text(25.4, 55, 8.7, 4.5, QStringLiteral("地址"));
    b.Field("LblAddr", 44.5, 55, 15.1, 4.5);
    b.HLine(19.1, 63.5, 167.5, 0.3, 1);
    b.VLine(48.7, 63.5, 0.3, 13);
    b.VLine(101.6, 63.5, 0.3, 13);
    b.VLine(133.3, 63.5, 0.3, 13);
    b.Side(65.6, QStringLiteral("息"));
    b.Text(25.4, 67.7, 17.2, 4.5, QStringLiteral("购机日期"));
    b.Field("LblBuyDate", 52.9, 67.7, 21.4, 4.5);
    b.Text(108, 67.7, 17.2, 4.5, QStringLiteral("过保日期"));
    b.Field("LblOverRun", 137.6, 67.7, 21.4, 4.5);
    b.Rect(2.1, 76.5, 184.4, 0.3);
}

void BuildConfigurationSection(BandBuilder& b)
{
    b.Side(82.5, QStringLiteral("客"));
    b.Text(29.6, 82.5, 10.8, 4.5, QStringLiteral("CPU："));
    b.Field("LblCpu", 42.3, 82.5, 13, 4.5);
    b.Text(103.7, 82.5, 13, 4.5, QStringLiteral("鼠标："));
    b.Field("Lblmouse", 118.5, 82.5, 17.2, 4.5);
    b.Text(27.5, 91, 13, 4.5, QStringLiteral("主板："));
    b.Field("Lblmainboard", 42.3, 91, 25.7, 4.5);
    b.Text(99.5, 91, 17.2, 4.5, QStringLiteral("显示器："));
    b.Field("Lbldisplay", 118.5, 91, 21.4, 4.5);
    b.Side(95.2, QStringLiteral("户"));
    b.Text(27.5, 99.5, 13, 4.5, QStringLiteral("内存："));
    b.Field("LblMemory", 42.3, 99.5, 19.3, 4.5);
    b.Text(103.7, 99.5, 13, 4.5, QStringLiteral("机箱："));
    b.Field("Lblbox", 118.5, 99.5, 13, 4.5);
    b.Side(108, QStringLiteral("电"));
    b.Text(27.5, 108, 13, 4.5, QStringLiteral("硬盘："));
    b.Field("LblHD", 42.3, 108, 10.8, 4.5);
    b.Text(103.7, 108, 13, 4.5, QStringLiteral("电源："));
    b.Field("LblPower", 118.5, 108, 17.2, 4.5);
    b.Text(27.5, 116.4, 13, 4.5, QStringLiteral("声卡："));
    b.Field("LblSound", 42.3, 116.4, 17.2, 4.5);
    b.Text(103.7, 116.4, 13, 4.5, QStringLiteral("音箱："));
    b.Field("LblSoundBox", 118.5, 116.4, 23.5, 4.5);
    b.Side(120.7, QStringLiteral("脑"));
    b.Text(27.5, 124.9, 13, 4.5, QStringLiteral("显卡："));
    b.Field("LbldisplayCard", 42.3, 124.9, 29.9, 4.5);
    b.Text(99.5, 124.9, 17.2, 4.5, QStringLiteral("打印机："));
    b.Field("LblPrint", 118.5, 124.9, 17.2, 4.5);
    b.Text(27.5, 133.3, 13, 4.5, QStringLiteral("光驱："));
    b.Field("LblCDROM", 42.3, 133.3, 17.2, 4.5);
    b.Text(103.7, 133.3, 13, 4.5, QStringLiteral("网卡："));
    b.Field("LblNetWork", 118.5, 133.3, 21.4, 4.5);
    b.Side(135.5, QStringLiteral("配"));
    b.Text(27.5, 141.8, 13, 4.5, QStringLiteral("软驱："));
    b.Field("Lblfloppy", 42.3, 141.8, 19.3, 4.5);
    b.Text(101.6, 141.8, 15.1, 4.5, QStringLiteral("MODEM："));
    b.Field("LblModem", 118.5, 141.8, 17.2, 4.5);
    b.Side(150.3, QStringLiteral("置"));
    b.Text(27.5, 150.3, 13, 4.5, QStringLiteral("键盘："));
    b.Field("LblKeyBoard", 42.3, 150.3, 23.5, 4.5);
    b.Text(27.5, 158.8, 21.4, 4.5, QStringLiteral("其它设备："));
    b.Field("LblOther", 50.8, 158.8, 17.2, 4.5);
    b.Rect(2.1, 169.3, 184.4, 0.3);
}

void BuildRemarksAndPromises(BandBuilder& b)
{
    b.VLine(139.7, 169.3, 0.3, 42.6);
    b.Memo("QMemo", 21.2, 171.4, 116.7, 38.4);
    b.Side(175.7, QStringLiteral("备"));
    b.Text(152.4, 179.9, 17.2, 4.5, QStringLiteral("公司盖章"));
    b.Side(184.2, QStringLiteral("注"));
    b.Side(192.6, QStringLiteral("信"));
    b.Side(201.1, QStringLiteral("息"));
    b.Text(141.8, 203.2, 17.2, 4.5, QStringLiteral("经手人："));
    b.Text(2.1, 215.9, 36.2, 4.5, QStringLiteral("服务承诺与说明："), 12, true, true);
    // The promises reach to the right edge of the frame, never past it.
    b.FittedField("LblCN1", 10.6, 222.2, 175.9, 4.5);
    b.FittedField("LblCN2", 10.6, 228.6, 175.9, 4.5);
    b.FittedField("LblCN3", 10.6, 234.9, 175.9, 4.5);
    b.HLine(2.1, 243.4, 184.4, 0.3, 2);
}

void BuildDetail(BandBuilder b)
{
    b.HLine(2.1, 0, 184.4, 2.4, 2);
    b.Text(38.1, 6.3, 116.9, 15.1, QStringLiteral("客户售后服务保修书"), 36, true);
    b.HLine(38.1, 19.1, 116.7, 2.4, 1, PenStyle::DashDotDot);
    // The record's QR code in the free corner right of the title, clear of
    // the rule above and the frame below by more than four modules.
    b.Code("QRCode", 164.5, 4.0, 19.0);
    // The main frame and the thick rule between the side captions and the contents.
    b.Rect(2.1, 25.4, 184.4, 186.5);
    b.Rect(19.1, 25.4, 0.3, 186.5);
    BuildCustomerSection(b);
    BuildConfigurationSection(b);
    BuildRemarksAndPromises(b);
}

} // namespace

ReportTemplate WarrantyCardTemplate()
{
    ReportTemplate card;
    card.title = QStringLiteral("客户售后服务保修书");
    // A4 portrait with 10 mm margins is the page setup's default.
    BuildHeader(BandBuilder(card.AddBand(BandKind::PageHeader, 7.1)));
    BuildDetail(BandBuilder(card.AddBand(BandKind::Detail, 245.5)));
    BuildFooter(BandBuilder(card.AddBand(BandKind::PageFooter, 23.3)));
    return card;
}

void FillWarrantyCardTemplate(ReportTemplate& card, const WarrantyCardData& data)
{
    for (const auto& [name, field] : kFields)
        card.SetText(QString::fromLatin1(name), data.*field);
}

QStringList WarrantyCardFieldNames()
{
    QStringList names;
    for (const auto& entry : kFields)
        names.append(QString::fromLatin1(entry.first));
    return names;
}

PreparedReport PrepareWarrantyCard(const WarrantyCardData& data)
{
    ReportTemplate card = WarrantyCardTemplate();
    FillWarrantyCardTemplate(card, data);
    return Prepare(card);
}

} // namespace Report
