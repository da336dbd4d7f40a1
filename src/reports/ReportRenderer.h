#pragma once

#include "ReportModel.h"

class QPainter;

namespace Report {

// Pen widths 1 and 2 in millimetres.
double PenWidthMm(int penWidth);

// Draws a prepared page with its top-left corner at the painter's origin,
// at pixelsPerMm device pixels per millimetre.  The same code draws on the
// screen, a printer, a PDF writer and an image.  highlight is the index of a
// primitive drawn on a marker (a find hit), or -1.  When the painter clips,
// only what lies in the clip is drawn.
void RenderPage(QPainter& painter, const PreparedPage& page, double pixelsPerMm, int highlight = -1);

// Device pixels per millimetre of the painter's device.
double DevicePixelsPerMm(const QPainter& painter);

} // namespace Report
