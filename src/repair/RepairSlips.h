#pragma once

#include "RepairRecord.h"
#include "ReportModel.h"

// The two slips of a visit, as reports of the report engine: the 维修单
// (A4 in two halves, 客户联 for the customer and 店铺联 taped to the machine,
// or one page per copy on an 80 mm receipt printer) and the 取机单.
struct RepairSlipData
{
    QString shopName, shopAddr, shopPhone, notice;
    RepairVisit visit;
    QString customer, phone, address, buyDate, warrantyEnd, warrantyText;
    QString cpu, mainBoard, memory, hd;
};

namespace RepairSlips {

// The data of a stored visit: its sale record (or its own customer and
// machine), the shop's profile and the 维修须知.
RepairSlipData DataOf(const RepairVisit& visit);

// The element names that carry the same value on both halves end in "_C"
// (客户联) and "_S" (店铺联): RepairNo, Problem, ...
Report::PreparedReport PrepareRepairOrder(const RepairSlipData& data, bool receipt);
Report::PreparedReport PreparePickupSlip(const RepairSlipData& data, bool receipt);

// The largest point size up to `largest` at which `text` fits `box` whole
// as a memo; `smallest` when none does.
double FittingPointSize(const QString& text, const QSizeF& box, double largest, double smallest);

} // namespace RepairSlips
