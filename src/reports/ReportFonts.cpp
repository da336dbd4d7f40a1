#include "ReportFonts.h"

#include <QFontMetricsF>
#include <QHash>

namespace Report {

void InstallFontSubstitutions()
{
    static const bool installed = [] {
        // Noto CJK comes with fonts-noto-cjk; AR PL fonts are a second choice.
        const QStringList serif = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
                                   QStringLiteral("Noto Sans CJK SC")};
        const QStringList sans = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("Noto Serif CJK SC")};
        for (const char* name : {"宋体", "新宋体", "SimSun", "NSimSun", "仿宋", "FangSong", "楷体", "KaiTi"})
            QFont::insertSubstitutions(QString::fromUtf8(name), serif);
        for (const char* name : {"黑体", "SimHei", "微软雅黑", "Microsoft YaHei"})
            QFont::insertSubstitutions(QString::fromUtf8(name), sans);
        return true;
    }();
    Q_UNUSED(installed);
}

QFont MakeFont(const FontSpec& spec)
{
    // Resolving a font is the costly part of laying out a report: keep the few a report uses.
    thread_local QHash<QString, QFont> cache;
    const QString key =
        QStringLiteral("%1|%2|%3|%4").arg(spec.family).arg(spec.pointSize).arg(spec.bold).arg(spec.underline);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    InstallFontSubstitutions();
    QFont font(spec.family);
    font.setPixelSize(qMax(1, qRound(EmSize(spec) * kUnitsPerMm)));
    font.setBold(spec.bold);
    font.setUnderline(spec.underline);
    // Unhinted outlines scale linearly, so a width measured once holds at any size.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, font);
    return font;
}

double EmSize(const FontSpec& spec)
{
    return spec.pointSize * 25.4 / 72.0;
}

QStringList ShapingRuns(const QString& text)
{
    QStringList runs;
    int start = 0;
    for (int i = 1; i <= text.size(); ++i) {
        if (i == text.size() || text[i].isDigit() != text[i - 1].isDigit()) {
            runs.append(text.mid(start, i - start));
            start = i;
        }
    }
    return runs;
}

double TextWidth(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    double width = 0.0;
    for (const QString& run : ShapingRuns(text))
        width += metrics.horizontalAdvance(run);
    return width / kUnitsPerMm;
}

double TextWidth(const QString& text, const FontSpec& spec)
{
    if (text.isEmpty())
        return 0.0;
    return TextWidth(text, MakeFont(spec));
}

} // namespace Report
