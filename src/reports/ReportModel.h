#pragma once

#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

// The banded report engine.  All geometry is in millimetres.  A ReportTemplate
// (page setup and bands of elements) is prepared into a PreparedReport: pages
// of positioned primitives that a renderer draws on any device and that the
// report file format stores.
namespace Report {

enum class Orientation : quint8 { Portrait = 0, Landscape = 1 };

struct PageSetup
{
    // Paper as it lies in portrait; paperName is shown in the page-setup dialog.
    QString paperName = QStringLiteral("A4");
    double paperWidth = 210.0;
    double paperHeight = 297.0;
    Orientation orientation = Orientation::Portrait;
    double marginLeft = 10.0;
    double marginTop = 10.0;
    double marginRight = 10.0;
    double marginBottom = 10.0;

    // Page size with the orientation applied.
    QSizeF PageSize() const;
    QRectF PrintableRect() const;
    bool operator==(const PageSetup&) const = default;
};

struct FontSpec
{
    QString family = QStringLiteral("宋体");
    double pointSize = 12.0;
    bool bold = false;
    bool underline = false;
    bool operator==(const FontSpec&) const = default;
};

enum class PenStyle : quint8 { Solid = 0, DashDotDot = 1 };

enum class ElementKind : quint8 {
    Text,   // one line, left-aligned, as wide as its text
    Memo,   // fixed box, word-wrapped, clipped to whole lines inside the box
    HLine,  // horizontal line through the middle of the box
    VLine,  // vertical line through the middle of the box
    Rect,   // rectangle outline
    QrCode, // QR code of the text, filling the box; nothing when the text is empty
    Chart   // a bar, line or pie chart of Element::chart, laid out in the box
};

enum class ChartKind : quint8 { Bar, Line, Pie };

struct ChartSeries
{
    QString name;
    QVector<double> values; // one per category
};

// The data of a chart element.  Bars of several series stand side by side
// (or on each other when stacked); a pie shows the first series, one slice
// per category.  Every series or slice has a colour and a hatch pattern (or
// marker shape) of its own, and the legend repeats both, so the chart reads
// in greyscale and without telling red from green.
struct ChartData
{
    ChartKind kind = ChartKind::Bar;
    QString title;
    QString xTitle; // under the category labels
    QString yTitle; // above the value axis
    QStringList categories;
    QVector<ChartSeries> series;
    bool stacked = false;
    int decimals = 0;        // of the value labels and the axis
    bool valueLabels = true; // the value over each bar (where there is room)
};

struct Element
{
    ElementKind kind = ElementKind::Text;
    // Fixed elements have no name; named ones are filled by the program.
    QString name;
    // Position and design size relative to the band's top-left corner.
    QRectF box;
    QString text;
    FontSpec font;
    int penWidth = 1;
    PenStyle penStyle = PenStyle::Solid;
    // Text elements are painted on white unless transparent.
    bool transparent = false;
    // A fixed text laid out for narrower glyphs than the substitute font's is
    // condensed (down to 60 %) to its design width instead of running on.
    bool fitWidth = false;
    // A field that must not run past its box: a text wider than the box is
    // set smaller (down to 6 pt) and wrapped onto up to this many lines
    // within the box's height; 0 lets the text run on.
    int fitLines = 0;
    // Chart only.  The parts of a chart that stand for a value (bars, pie
    // slices, line points) are named "<name>/<series>/<category>".
    ChartData chart{};
};

enum class BandKind : quint8 { PageHeader, Detail, PageFooter };

struct Band
{
    BandKind kind = BandKind::Detail;
    double height = 0.0;
    QVector<Element> elements;
};

class ReportTemplate
{
public:
    PageSetup page;
    QString title;
    QVector<Band> bands;

    Band& AddBand(BandKind kind, double height);
    Element* FindElement(const QString& name);
    const Element* FindElement(const QString& name) const;
    // Sets the text of a named element; false when there is no such element.
    bool SetText(const QString& name, const QString& text);
};

enum class PrimitiveKind : quint8 {
    Text = 0,
    Line = 1,
    Rect = 2,
    QrCode = 3,
    Area = 4,
    Polyline = 5,
    Sector = 6
};

// The hatching drawn over the colour of an area or a pie slice.
enum class FillPattern : quint8 {
    Solid = 0,
    Diagonal,   // ////
    Horizontal, // ====
    CrossDiagonal,
    Vertical, // ||||
    Dots,
    BackDiagonal, // the other diagonal
    Cross,        // ++++
};
inline constexpr int kFillPatternCount = 8;
// The shape marking each point of a line.
enum class Marker : quint8 { None = 0, Circle, Square, Triangle, Diamond };
inline constexpr int kMarkerCount = 5;

// One positioned drawing instruction of a prepared page (page coordinates, mm).
struct Primitive
{
    PrimitiveKind kind = PrimitiveKind::Text;
    QString name;
    // Text: the text box (top-left is where the text starts); Rect: the
    // outline; QrCode: the square the symbol fills, text being its content.
    QRectF rect;
    // Line only.
    QLineF line;
    QString text;
    FontSpec font;
    int penWidth = 1;
    PenStyle penStyle = PenStyle::Solid;
    bool opaque = false;
    // Horizontal scale of the text (1 = as designed).
    double stretch = 1.0;
    // Area (rect), Sector (slice of the ellipse in rect) and Polyline
    // (points, rect their bounds): the colour of the fill or the line (ARGB);
    // a Line takes it too.  Texts, rectangles and QR codes are black.
    quint32 color = 0xff000000;
    FillPattern pattern = FillPattern::Solid;
    Marker marker = Marker::None;
    QPolygonF points;
    // Sector: degrees counter-clockwise from three o'clock.
    double startAngle = 0.0;
    double spanAngle = 0.0;
    bool operator==(const Primitive&) const = default;
};

struct PreparedPage
{
    QVector<Primitive> primitives;
    bool operator==(const PreparedPage&) const = default;
};

struct PreparedReport
{
    PageSetup page;
    QString title;
    QVector<PreparedPage> pages;

    int PageCount() const { return pages.size(); }
    bool IsEmpty() const { return pages.isEmpty(); }
    // The primitives of a page carrying that element name, in drawing order.
    QVector<Primitive> Named(int pageIndex, const QString& name) const;
    // Moves every primitive so that content keeps its place relative to new margins.
    void ChangePageSetup(const PageSetup& setup);
    bool operator==(const PreparedReport&) const = default;
};

// Lays the bands out: page header on the first page, the detail band once
// (on a new page when it does not fit below the header), the page footer at
// the bottom of the printable area of the last page.
PreparedReport Prepare(const ReportTemplate& report);

// Splits a memo text into the lines that are drawn in a box of that size:
// line breaks (LF, CR, CR LF, LF CR) are honoured, long lines wrap at word
// boundaries or anywhere for CJK text, and lines that do not fit entirely
// into the box height are dropped.
QStringList MemoLines(const QString& text, const FontSpec& font, const QSizeF& box);

// Appends the primitives of a chart laid out in `box` (page coordinates).
void LayoutChart(const ChartData& chart, const QString& name, const QRectF& box, PreparedPage& page);
// The colour and pattern (or marker) of series or slice `index`.
quint32 ChartColor(int index);
FillPattern ChartPattern(int index);
Marker ChartMarker(int index);

// Line pitch of memo text, in em.
inline constexpr double kMemoLineSpacing = 1.2;

} // namespace Report
