#pragma once

#include "ReportModel.h"

// The warranty card "客户售后服务保修书": a one-page A4 report with a page
// header (software name, print date), the ruled detail band and a page footer
// with the shop's contact data.  The fields carry the names of the card's
// elements; every text is printed exactly as given, an empty one prints empty.
struct WarrantyCardData
{
    // Page header.
    QString LblIncName; // software name
    QString LblPrintDate;
    // Customer, as the entry dialog's boxes show it.
    QString LblName, LblPhone, LblFax, Lblmobile, LblBuyAmount, LblAddr, LblBuyDate, LblOverRun;
    // Machine configuration.
    QString LblCpu, Lblmouse, Lblmainboard, Lbldisplay, LblMemory, Lblbox, LblHD, LblPower, LblSound,
        LblSoundBox, LbldisplayCard, LblPrint, LblCDROM, LblNetWork, Lblfloppy, LblModem, LblKeyBoard,
        LblOther;
    // Remarks, word-wrapped in the memo box.
    QString QMemo;
    // Company profile: promises and contact data.
    QString LblCN1, LblCN2, LblCN3, LblIncAddr, LblIncMail, LblIncWeb, LblIncPhone, LblIncFax, LblIncPhone1;
    // The text of the QR code beside the title (WarrantyCardCodeText); empty:
    // no code, as for a record not yet saved.
    QString QRCode;
};

namespace Report {

// A promise is one line across the card at 12 pt, from its indent to the
// frame: 32 Chinese characters (64 GBK bytes) take 135 mm of the 176 mm; a
// line of 64 wide Latin letters is condensed to fit.
inline constexpr int PromiseMaxBytes = 64;

// The card's layout with every element empty.
ReportTemplate WarrantyCardTemplate();
// Sets every named element of a card template from the data.
void FillWarrantyCardTemplate(ReportTemplate& card, const WarrantyCardData& data);
// The names of the filled elements, in layout order.
QStringList WarrantyCardFieldNames();
// Template, fill and prepare in one.
PreparedReport PrepareWarrantyCard(const WarrantyCardData& data);

} // namespace Report
