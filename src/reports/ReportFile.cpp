#include "ReportFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>

namespace Report {

namespace {

const QByteArray kMagic("WBRMP\r\n\x1a", 8);
constexpr int kHeaderSize = 8 + 2 + 4 + 32;
constexpr qint64 kMaxFileSize = 512LL * 1024 * 1024;
constexpr quint32 kMaxPages = 100000;
constexpr quint32 kMaxPrimitives = 1000000;
// One text is one printed line: a few thousand characters already run far off
// the widest paper, and longer ones only make painting crawl.
constexpr qsizetype kMaxTextLength = 4096;
// The points of one line of a chart: one per day of many years at most.
constexpr quint32 kMaxPoints = 100000;

bool SaneText(const QString& text)
{
    return text.size() <= kMaxTextLength;
}

void Write(QDataStream& out, const FontSpec& font)
{
    out << font.family << font.pointSize << font.bold << font.underline;
}

void Write(QDataStream& out, const PageSetup& page)
{
    out << page.paperName << page.paperWidth << page.paperHeight << quint8(page.orientation)
        << page.marginLeft << page.marginTop << page.marginRight << page.marginBottom;
}

void Write(QDataStream& out, const Primitive& p, quint16 version)
{
    out << quint8(p.kind) << p.name << p.rect << p.line << p.text;
    Write(out, p.font);
    out << qint32(p.penWidth) << quint8(p.penStyle) << p.opaque << p.stretch;
    if (version < 3)
        return;
    // Version 3: colours and the shapes of charts.
    out << p.color << quint8(p.pattern) << quint8(p.marker) << quint32(p.points.size());
    for (const QPointF& point : p.points)
        out << point;
    out << p.startAngle << p.spanAngle;
}

bool Finite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

// Each reader checks the stream and the ranges of what it read.
bool Read(QDataStream& in, FontSpec& font)
{
    in >> font.family >> font.pointSize >> font.bold >> font.underline;
    return in.status() == QDataStream::Ok && SaneText(font.family) && std::isfinite(font.pointSize) &&
           font.pointSize > 0 && font.pointSize < 1000;
}

bool Read(QDataStream& in, PageSetup& page)
{
    quint8 orientation = 0;
    in >> page.paperName >> page.paperWidth >> page.paperHeight >> orientation >> page.marginLeft >>
        page.marginTop >> page.marginRight >> page.marginBottom;
    page.orientation = Orientation(orientation);
    for (double v : {page.paperWidth, page.paperHeight, page.marginLeft, page.marginTop, page.marginRight,
                     page.marginBottom})
        if (!std::isfinite(v) || v < 0 || v > 10000)
            return false;
    return in.status() == QDataStream::Ok && SaneText(page.paperName) && orientation <= 1 &&
           page.paperWidth > 0 && page.paperHeight > 0;
}

bool Read(QDataStream& in, Primitive& p, quint16 version)
{
    quint8 kind = 0, style = 0;
    qint32 penWidth = 0;
    in >> kind >> p.name >> p.rect >> p.line >> p.text;
    if (!SaneText(p.name) || !SaneText(p.text) || !Read(in, p.font))
        return false;
    in >> penWidth >> style >> p.opaque >> p.stretch;
    const quint8 lastKind = version >= 3 ? quint8(PrimitiveKind::Sector) : quint8(PrimitiveKind::QrCode);
    if (version >= 3) {
        quint8 pattern = 0, marker = 0;
        quint32 points = 0;
        in >> p.color >> pattern >> marker >> points;
        if (in.status() != QDataStream::Ok || pattern >= kFillPatternCount || marker >= kMarkerCount ||
            points > kMaxPoints)
            return false;
        p.pattern = FillPattern(pattern);
        p.marker = Marker(marker);
        for (quint32 i = 0; i < points; ++i) {
            QPointF point;
            in >> point;
            if (!std::isfinite(point.x()) || !std::isfinite(point.y()))
                return false;
            p.points << point;
        }
        in >> p.startAngle >> p.spanAngle;
        if (!std::isfinite(p.startAngle) || !std::isfinite(p.spanAngle) || qAbs(p.startAngle) > 720 ||
            qAbs(p.spanAngle) > 360)
            return false;
    }
    p.kind = PrimitiveKind(kind);
    p.penWidth = penWidth;
    p.penStyle = PenStyle(style);
    // A QR code without text would print as nothing where a code belongs.
    if (p.kind == PrimitiveKind::QrCode && p.text.isEmpty())
        return false;
    return in.status() == QDataStream::Ok && kind <= lastKind && style <= 1 && penWidth >= 1 &&
           penWidth <= 2 && std::isfinite(p.stretch) && p.stretch > 0 && p.stretch <= 10 && Finite(p.rect) &&
           std::isfinite(p.line.x1()) && std::isfinite(p.line.y1()) && std::isfinite(p.line.x2()) &&
           std::isfinite(p.line.y2());
}

QString Damaged(const QString& fileName)
{
    return QStringLiteral("报表文件“%1”已损坏，无法打开。").arg(fileName);
}

} // namespace

QByteArray SerializeReport(const PreparedReport& report, quint16 version)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        Write(out, report.page);
        out << report.title << quint32(report.pages.size());
        for (const PreparedPage& page : report.pages) {
            out << quint32(page.primitives.size());
            for (const Primitive& primitive : page.primitives)
                Write(out, primitive, version);
        }
    }
    QByteArray data = kMagic;
    {
        QDataStream out(&data, QIODevice::WriteOnly | QIODevice::Append);
        out << version << quint32(payload.size());
    }
    data += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    data += payload;
    return data;
}

bool DeserializeReport(const QByteArray& data, const QString& fileName, PreparedReport* report,
                       QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (data.size() < kMagic.size() || !data.startsWith(kMagic))
        return fail(QStringLiteral("“%1”不是报表文件。").arg(fileName));
    if (data.size() < kHeaderSize)
        return fail(QStringLiteral("报表文件“%1”不完整，可能已被截断。").arg(fileName));

    quint16 version = 0;
    quint32 length = 0;
    {
        QDataStream in(data.mid(kMagic.size(), 6));
        in >> version >> length;
    }
    if (version > kReportFileVersion)
        return fail(
            QStringLiteral("报表文件“%1”的格式版本（%2）比本程序新，无法打开。").arg(fileName).arg(version));
    if (version == 0)
        return fail(Damaged(fileName));
    if (qint64(data.size()) - kHeaderSize < qint64(length))
        return fail(QStringLiteral("报表文件“%1”不完整，可能已被截断。").arg(fileName));
    if (qint64(data.size()) - kHeaderSize > qint64(length))
        return fail(Damaged(fileName));
    const QByteArray payload = data.mid(kHeaderSize);
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256) != data.mid(kMagic.size() + 6, 32))
        return fail(Damaged(fileName));

    PreparedReport loaded;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 pageCount = 0;
    if (!Read(in, loaded.page))
        return fail(Damaged(fileName));
    in >> loaded.title >> pageCount;
    if (in.status() != QDataStream::Ok || !SaneText(loaded.title) || pageCount > kMaxPages)
        return fail(Damaged(fileName));
    for (quint32 i = 0; i < pageCount; ++i) {
        quint32 count = 0;
        in >> count;
        if (in.status() != QDataStream::Ok || count > kMaxPrimitives)
            return fail(Damaged(fileName));
        PreparedPage page;
        for (quint32 j = 0; j < count; ++j) {
            Primitive primitive;
            if (!Read(in, primitive, version))
                return fail(Damaged(fileName));
            page.primitives.append(primitive);
        }
        loaded.pages.append(page);
    }
    if (!in.atEnd())
        return fail(Damaged(fileName));
    *report = std::move(loaded);
    return true;
}

bool SaveReportFile(const QString& fileName, const PreparedReport& report, QString* error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(SerializeReport(report)) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("无法保存报表文件“%1”：%2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

bool LoadReportFile(const QString& fileName, PreparedReport* report, QString* error)
{
    const QString shown = QFileInfo(fileName).fileName();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("无法打开报表文件“%1”：%2").arg(shown, file.errorString());
        return false;
    }
    if (file.size() > kMaxFileSize) {
        if (error)
            *error = QStringLiteral("“%1”不是报表文件（文件过大）。").arg(shown);
        return false;
    }
    return DeserializeReport(file.readAll(), shown, report, error);
}

} // namespace Report
