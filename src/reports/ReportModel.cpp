#include "ReportModel.h"

#include "ReportFonts.h"

#include <QTextBoundaryFinder>
#include <cmath>

namespace Report {

QSizeF PageSetup::PageSize() const
{
    if (orientation == Orientation::Landscape)
        return {paperHeight, paperWidth};
    return {paperWidth, paperHeight};
}

QRectF PageSetup::PrintableRect() const
{
    const QSizeF size = PageSize();
    return QRectF(marginLeft, marginTop, size.width() - marginLeft - marginRight,
                  size.height() - marginTop - marginBottom);
}

Band& ReportTemplate::AddBand(BandKind kind, double height)
{
    bands.append(Band{kind, height, {}});
    return bands.last();
}

Element* ReportTemplate::FindElement(const QString& name)
{
    for (Band& band : bands)
        for (Element& element : band.elements)
            if (!name.isEmpty() && element.name == name)
                return &element;
    return nullptr;
}

const Element* ReportTemplate::FindElement(const QString& name) const
{
    return const_cast<ReportTemplate*>(this)->FindElement(name);
}

bool ReportTemplate::SetText(const QString& name, const QString& text)
{
    Element* element = FindElement(name);
    if (!element)
        return false;
    element->text = text;
    return true;
}

QVector<Primitive> PreparedReport::Named(int pageIndex, const QString& name) const
{
    QVector<Primitive> result;
    if (pageIndex < 0 || pageIndex >= pages.size())
        return result;
    for (const Primitive& primitive : pages[pageIndex].primitives)
        if (primitive.name == name)
            result.append(primitive);
    return result;
}

void PreparedReport::ChangePageSetup(const PageSetup& setup)
{
    const QPointF delta(setup.marginLeft - page.marginLeft, setup.marginTop - page.marginTop);
    page = setup;
    if (delta.isNull())
        return;
    for (PreparedPage& prepared : pages) {
        for (Primitive& primitive : prepared.primitives) {
            primitive.rect.translate(delta);
            primitive.line.translate(delta);
            primitive.points.translate(delta);
        }
    }
}

namespace {

constexpr double kMinStretch = 0.6;

QString NormalizeBreaks(QString text)
{
    // LF CR is the order the program's own multi-line texts use.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString TrimmedRight(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// Splits a paragraph at its line-break opportunities (Unicode line breaking:
// after spaces, between CJK characters, never before a closing mark).
QStringList BreakPieces(const QString& paragraph)
{
    QStringList pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
    int start = 0;
    for (int pos = finder.toNextBoundary(); pos != -1; pos = finder.toNextBoundary()) {
        if (pos > start) {
            pieces.append(paragraph.mid(start, pos - start));
            start = pos;
        }
    }
    if (start < paragraph.size())
        pieces.append(paragraph.mid(start));
    return pieces;
}

// How many characters of a text fit into the width; at least one character
// (a surrogate pair counts as one).
int FittingPrefix(const QString& text, const QFont& font, double width)
{
    int fit = text[0].isHighSurrogate() ? 2 : 1;
    double used = TextWidth(text.left(fit), font);
    while (fit < text.size()) {
        const int next = fit + (text[fit].isHighSurrogate() ? 2 : 1);
        used += TextWidth(text.mid(fit, next - fit), font);
        if (used > width + 1e-9)
            break;
        fit = next;
    }
    return qMin(fit, int(text.size()));
}

// The lines of a text fitted into its box (see Element::fitLines), with the
// font they are set in and the horizontal condensing they need.
QStringList FittedLines(const Element& element, FontSpec& font, double& stretch)
{
    const QRectF& box = element.box;
    stretch = 1.0;
    const QSizeF unbounded(box.width(), 1e6);
    for (font.pointSize = element.font.pointSize; font.pointSize >= 6.0 - 1e-9; font.pointSize -= 0.5) {
        const int room = qMin(element.fitLines, int(std::floor(box.height() / EmSize(font) + 1e-9)));
        const QStringList lines = MemoLines(element.text, font, unbounded);
        if (room >= 1 && lines.size() <= room)
            return lines;
    }
    // Still too long at the smallest size: condensed as far as a text may be.
    font.pointSize = 6.0;
    stretch = kMinStretch;
    const int room = qMax(1, qMin(element.fitLines, int(std::floor(box.height() / EmSize(font) + 1e-9))));
    return MemoLines(element.text, font, QSizeF(box.width() / kMinStretch, 1e6)).mid(0, room);
}

void EmitElement(const Element& element, const QPointF& origin, PreparedPage& page)
{
    const QRectF box = element.box.translated(origin);
    Primitive primitive;
    primitive.name = element.name;
    primitive.penWidth = element.penWidth;
    primitive.penStyle = element.penStyle;
    switch (element.kind) {
    case ElementKind::Text:
        primitive.kind = PrimitiveKind::Text;
        primitive.text = element.text;
        primitive.font = element.font;
        primitive.opaque = !element.transparent;
        primitive.rect = QRectF(box.topLeft(), QSizeF(TextWidth(element.text, element.font), box.height()));
        if (element.fitLines > 0 && box.width() > 0 && primitive.rect.width() > box.width()) {
            FontSpec font = element.font;
            double stretch = 1.0;
            const QStringList lines = FittedLines(element, font, stretch);
            const double em = EmSize(font);
            for (int i = 0; i < lines.size(); ++i) {
                Primitive line = primitive;
                line.text = lines[i];
                line.font = font;
                line.stretch = stretch;
                line.rect = QRectF(box.left(), box.top() + i * em, TextWidth(lines[i], font) * stretch, em);
                page.primitives.append(line);
            }
            break;
        }
        if (element.fitWidth && primitive.rect.width() > box.width() && box.width() > 0) {
            primitive.stretch = qMax(kMinStretch, box.width() / primitive.rect.width());
            primitive.rect.setWidth(primitive.rect.width() * primitive.stretch);
        }
        page.primitives.append(primitive);
        break;
    case ElementKind::Memo: {
        const double pitch = EmSize(element.font) * kMemoLineSpacing;
        const QStringList lines = MemoLines(element.text, element.font, box.size());
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].isEmpty())
                continue;
            Primitive line = primitive;
            line.kind = PrimitiveKind::Text;
            line.text = lines[i];
            line.font = element.font;
            line.opaque = false;
            line.rect = QRectF(box.left(), box.top() + i * pitch, TextWidth(lines[i], element.font),
                               EmSize(element.font));
            page.primitives.append(line);
        }
        break;
    }
    case ElementKind::HLine:
        primitive.kind = PrimitiveKind::Line;
        primitive.rect = box;
        primitive.line = QLineF(box.left(), box.center().y(), box.right(), box.center().y());
        page.primitives.append(primitive);
        break;
    case ElementKind::VLine:
        primitive.kind = PrimitiveKind::Line;
        primitive.rect = box;
        primitive.line = QLineF(box.center().x(), box.top(), box.center().x(), box.bottom());
        page.primitives.append(primitive);
        break;
    case ElementKind::Rect:
        primitive.kind = PrimitiveKind::Rect;
        primitive.rect = box;
        page.primitives.append(primitive);
        break;
    case ElementKind::QrCode:
        if (element.text.isEmpty())
            break;
        primitive.kind = PrimitiveKind::QrCode;
        primitive.rect = box;
        primitive.text = element.text;
        page.primitives.append(primitive);
        break;
    case ElementKind::Chart:
        LayoutChart(element.chart, element.name, box, page);
        break;
    }
}

void EmitBand(const Band& band, const QPointF& origin, PreparedPage& page)
{
    for (const Element& element : band.elements)
        EmitElement(element, origin, page);
}

} // namespace

QStringList MemoLines(const QString& text, const FontSpec& font, const QSizeF& box)
{
    QStringList lines;
    const double em = EmSize(font);
    const double pitch = em * kMemoLineSpacing;
    // The last line needs only its em height, the others a full pitch.
    const int maxLines =
        box.height() + 1e-9 < em ? 0 : int(std::floor((box.height() - em) / pitch + 1e-9)) + 1;
    if (maxLines == 0 || text.isEmpty())
        return lines;

    const QFont qfont = MakeFont(font);
    const double width = box.width();
    const QStringList paragraphs = NormalizeBreaks(text).split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        if (lines.size() >= maxLines)
            break;
        // Greedy fill between line-break opportunities; a piece wider than the
        // box on its own is cut between characters.  Kerning is off, so the
        // width of a line is the sum of its pieces' widths.
        QString line;
        double lineWidth = 0.0;
        QStringList pieces = BreakPieces(paragraph);
        int i = 0;
        while (i < pieces.size() && lines.size() < maxLines) {
            const double visible = TextWidth(TrimmedRight(pieces[i]), qfont);
            if (lineWidth + visible <= width + 1e-9) {
                line += pieces[i];
                lineWidth += TextWidth(pieces[i], qfont);
                ++i;
            } else if (!line.isEmpty()) {
                lines.append(TrimmedRight(line));
                line.clear();
                lineWidth = 0.0;
            } else {
                const int fit = FittingPrefix(pieces[i], qfont, width);
                lines.append(pieces[i].left(fit));
                pieces[i] = pieces[i].mid(fit);
                if (pieces[i].isEmpty())
                    ++i;
            }
        }
        // An empty paragraph is an empty line.
        if (lines.size() < maxLines && (!line.isEmpty() || paragraph.isEmpty()))
            lines.append(TrimmedRight(line));
    }
    return lines;
}

PreparedReport Prepare(const ReportTemplate& report)
{
    PreparedReport prepared;
    prepared.page = report.page;
    prepared.title = report.title;
    const QRectF area = report.page.PrintableRect();

    double footerHeight = 0.0;
    for (const Band& band : report.bands)
        if (band.kind == BandKind::PageFooter)
            footerHeight += band.height;

    prepared.pages.append(PreparedPage());
    double y = area.top();
    bool pageHasDetail = false;
    for (const Band& band : report.bands) {
        if (band.kind != BandKind::PageHeader)
            continue;
        EmitBand(band, QPointF(area.left(), y), prepared.pages.last());
        y += band.height;
    }
    for (const Band& band : report.bands) {
        if (band.kind != BandKind::Detail)
            continue;
        if (pageHasDetail && y + band.height > area.bottom() - footerHeight + 1e-6) {
            prepared.pages.append(PreparedPage());
            y = area.top();
        }
        EmitBand(band, QPointF(area.left(), y), prepared.pages.last());
        y += band.height;
        pageHasDetail = true;
    }
    double footerTop = area.bottom() - footerHeight;
    for (const Band& band : report.bands) {
        if (band.kind != BandKind::PageFooter)
            continue;
        EmitBand(band, QPointF(area.left(), footerTop), prepared.pages.last());
        footerTop += band.height;
    }
    return prepared;
}

} // namespace Report
