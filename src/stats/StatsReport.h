#pragma once

#include "BusinessStats.h"
#include "ReportModel.h"

// The page of 经营统计 as a report of the report engine: the figures and
// every chart, so the window, the preview, the print, the PDF and the report
// file show the same.  The parts of a chart that stand for records carry
// names BusinessStats::TargetOf understands.
namespace StatsReport {

struct NamedChart
{
    QString name;  // "sales", "types", ... (the first piece of a part's name)
    QString sheet; // the worksheet of 导出数据
    Report::ChartData chart;
};

// Every chart of the result, in page order.
QVector<NamedChart> Charts(const BusinessStats::Result& result);
QString GroupingText(BusinessStats::Grouping grouping);
QString PeriodText(const BusinessStats::Result& result);

Report::PreparedReport Prepare(const BusinessStats::Result& result, const QString& shopName);

// 导出数据: one workbook with a sheet per chart (its categories and series)
// and a sheet of the figures.  false with the reason when it cannot be written.
bool ExportWorkbook(const BusinessStats::Result& result, const QString& fileName, QString* error);

} // namespace StatsReport
