#pragma once

#include "ReportModel.h"

#include <QFont>

namespace Report {

// Text is laid out and drawn in design units of 1/100 mm, so that widths
// measured while preparing hold on every device and at every zoom.
inline constexpr double kUnitsPerMm = 100.0;
// Distance from the top of a text box to the baseline, in em: the em box of
// the text starts at the top of its element, as with the Windows CJK fonts.
inline constexpr double kBaselineEm = 0.88;

// Maps the Windows CJK family names the reports use (宋体, 黑体, ...) to the
// CJK fonts of this system.  Called by every function below; idempotent.
void InstallFontSubstitutions();

// The font a FontSpec describes, with its pixel size in design units.
QFont MakeFont(const FontSpec& spec);
// Em size in millimetres.
double EmSize(const FontSpec& spec);
double TextWidth(const QString& text, const QFont& font);
double TextWidth(const QString& text, const FontSpec& spec);

// The pieces a text is shaped in: runs of digits and runs of everything else.
// Shaped together with Latin letters, digits take contextual glyph variants
// that PDF text extraction cannot map back to characters; shaped on their own
// they keep their plain glyphs, so "M100" stays searchable in an exported PDF.
QStringList ShapingRuns(const QString& text);

} // namespace Report
