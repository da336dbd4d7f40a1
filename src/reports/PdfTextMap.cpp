#include "PdfTextMap.h"

#include "ReportFonts.h"

#include <QRawFont>

namespace Report {

const QHash<ushort, ushort>& SharedGlyphIdeographs()
{
    static const QHash<ushort, ushort> map = [] {
        QHash<ushort, ushort> result;
        QString ideographs;
        for (uint c = 0x3400; c <= 0x9FFF; ++c)
            ideographs += QChar(char16_t(c));
        QString lower;
        for (uint c = 0x2E80; c < 0x3400; ++c)
            lower += QChar(char16_t(c));
        for (bool bold : {false, true}) {
            FontSpec spec;
            spec.bold = bold;
            const QRawFont raw = QRawFont::fromFont(MakeFont(spec));
            if (!raw.isValid())
                continue;
            const QList<quint32> ideographGlyphs = raw.glyphIndexesForString(ideographs);
            QHash<quint32, ushort> byGlyph;
            for (int i = 0; i < ideographGlyphs.size(); ++i)
                if (ideographGlyphs[i] != 0 && !byGlyph.contains(ideographGlyphs[i]))
                    byGlyph.insert(ideographGlyphs[i], ushort(0x3400 + i));
            const QList<quint32> lowerGlyphs = raw.glyphIndexesForString(lower);
            for (int i = 0; i < lowerGlyphs.size(); ++i)
                if (lowerGlyphs[i] != 0 && byGlyph.contains(lowerGlyphs[i]))
                    result.insert(ushort(0x2E80 + i), byGlyph.value(lowerGlyphs[i]));
        }
        return result;
    }();
    return map;
}

namespace {

// Replaces the destination codes of one line of a bfrange or bfchar block.
// firstDestination: index of the first destination token on the line.
bool RepairLine(QByteArray& pdf, qsizetype begin, qsizetype end, int firstDestination)
{
    const QHash<ushort, ushort>& map = SharedGlyphIdeographs();
    QList<qsizetype> tokens;
    for (qsizetype i = pdf.indexOf('<', begin); i >= 0 && i < end; i = pdf.indexOf('<', i + 1))
        tokens.append(i);
    if (tokens.size() <= firstDestination)
        return false;
    // "<a> <b> <dst>" maps a run of glyphs to a run of code points: only a run of one may change.
    const bool array = pdf.indexOf('[', begin) >= 0 && pdf.indexOf('[', begin) < end;
    if (firstDestination == 2 && !array && pdf.mid(tokens[0], 6) != pdf.mid(tokens[1], 6))
        return false;
    bool changed = false;
    for (int t = firstDestination; t < tokens.size(); ++t) {
        const qsizetype at = tokens[t] + 1;
        if (at + 4 >= pdf.size() || pdf[at + 4] != '>')
            continue;
        bool ok = false;
        const ushort code = pdf.mid(at, 4).toUShort(&ok, 16);
        if (!ok || !map.contains(code))
            continue;
        pdf.replace(at, 4, QByteArray::number(map.value(code), 16).toUpper().rightJustified(4, '0'));
        changed = true;
    }
    return changed;
}

bool RepairBlocks(QByteArray& pdf, const char* beginTag, const char* endTag, int firstDestination)
{
    bool changed = false;
    for (qsizetype pos = pdf.indexOf(beginTag); pos >= 0; pos = pdf.indexOf(beginTag, pos)) {
        const qsizetype blockEnd = pdf.indexOf(endTag, pos);
        if (blockEnd < 0)
            break;
        qsizetype line = pdf.indexOf('\n', pos) + 1;
        while (line > 0 && line < blockEnd) {
            qsizetype lineEnd = pdf.indexOf('\n', line);
            if (lineEnd < 0 || lineEnd > blockEnd)
                lineEnd = blockEnd;
            changed |= RepairLine(pdf, line, lineEnd, firstDestination);
            line = lineEnd + 1;
        }
        pos = blockEnd;
    }
    return changed;
}

} // namespace

bool RepairPdfTextMap(QByteArray& pdf)
{
    const bool ranges = RepairBlocks(pdf, "beginbfrange", "endbfrange", 2);
    const bool chars = RepairBlocks(pdf, "beginbfchar", "endbfchar", 1);
    return ranges || chars;
}

} // namespace Report
