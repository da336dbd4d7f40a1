#pragma once

#include <QByteArray>
#include <QHash>

namespace Report {

// Qt writes a PDF font's ToUnicode map from the lowest code point that uses
// each glyph.  The CJK fonts draw many radicals (U+2E80..U+2FDF) with the
// glyph of the ideograph itself, so a PDF would yield "⻚" for "页" when its
// text is searched or copied.  This maps such code points back to the
// ideograph that shares their glyph in the report fonts.
const QHash<ushort, ushort>& SharedGlyphIdeographs();

// Rewrites the destinations of the ToUnicode maps in a PDF written by Qt
// (uncompressed, four hex digits each) in place, keeping every byte offset.
// Returns true when something was changed.
bool RepairPdfTextMap(QByteArray& pdf);

} // namespace Report
