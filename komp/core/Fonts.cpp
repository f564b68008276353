#include "Fonts.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHash>
#include <QRawFont>
#include <cmath>

namespace Fonts {

QString hostFamily(const QString &face)
{
    static const QHash<QString, QString> map = {
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("Arial Black"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")},
    };
    return map.value(face, face);
}

void installSubstitutions()
{
    for (const char *face : {"MS Sans Serif", "Arial", "Arial Black", "Times New Roman", "Courier New"}) {
        const QString f = QString::fromLatin1(face);
        QFont::removeSubstitutions(f);
        QFont::insertSubstitution(f, hostFamily(f));
    }
}

static QFont base(const QString &face, bool bold, bool italic)
{
    QFont f(hostFamily(face));
    f.setStyleStrategy(QFont::PreferAntialias);
    // Light hinting, as the desktop's font settings usually ask for: the
    // same glyphs with the system's font configuration and without one.
    f.setHintingPreference(QFont::PreferVerticalHinting);
    f.setWeight(face == QLatin1String("Arial Black") ? QFont::Black : bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    return f;
}

int pixelSizeForCell(const QString &face, int cellHeight, bool bold, bool italic)
{
    // Answers are kept, and only the sizes next to the cell are measured.
    // Line height grows monotonically with the pixel size, so within the
    // neighbourhood of the usual ratio the closest size is either the
    // smallest one reaching the cell or the smallest one of
    // the height just below it (preferred on a tie, so that text never
    // outgrows its cell).
    static QHash<QString, int> known;
    const QString key = face + QLatin1Char('/') + QString::number(cellHeight) + QLatin1Char(bold ? 'b' : '-')
        + QLatin1Char(italic ? 'i' : '-');
    if (const auto it = known.constFind(key); it != known.cend())
        return *it;

    QFont f = base(face, bold, italic);
    const int guess = std::max(1, int(std::lround(cellHeight / 1.15)));
    const int lo = std::max(1, guess - 4), hi = guess + 4;
    // Each face and style is matched once, at the first size asked; every
    // size measured is that face scaled (a raw font), not another round of
    // font matching. The faces are let go with the application, while its
    // fonts still exist.
    static QHash<QString, QRawFont> matched;
    const QString style = face + QLatin1Char('/') + QLatin1Char(bold ? 'b' : '-') + QLatin1Char(italic ? 'i' : '-');
    auto found = matched.constFind(style);
    if (found == matched.cend()) {
        if (matched.isEmpty())
            qAddPostRoutine([] { matched.clear(); });
        f.setPixelSize(guess);
        found = matched.insert(style, QRawFont::fromFont(f));
    }
    const QRawFont &face0 = *found;
    QHash<int, int> heights;
    auto heightAt = [&](int px) {
        if (const auto it = heights.constFind(px); it != heights.cend())
            return *it;
        QRawFont scaled = face0;
        if (scaled.isValid())
            scaled.setPixelSize(px);
        if (scaled.isValid()) // the line height as QFontMetrics gives it: rounded ascent + rounded descent
            return heights[px] = int(std::lround(scaled.ascent()) + std::lround(scaled.descent()));
        f.setPixelSize(px);
        return heights[px] = QFontMetrics(f).height();
    };
    // The smallest size in range whose line reaches the cell (hi + 1: none).
    int reach = guess;
    if (heightAt(reach) >= cellHeight) {
        while (reach > lo && heightAt(reach - 1) >= cellHeight)
            --reach;
    } else {
        while (reach <= hi && heightAt(reach) < cellHeight)
            ++reach;
    }
    int best = reach;
    if (reach > lo) {
        int below = reach - 1;
        while (below > lo && heightAt(below - 1) == heightAt(below))
            --below;
        if (reach > hi || std::abs(heightAt(below) - cellHeight) <= std::abs(heightAt(reach) - cellHeight))
            best = below;
    }
    known.insert(key, best);
    return best;
}

QFont make(const QString &face, int height, bool bold, bool italic)
{
    QFont f = base(face, bold, italic);
    if (height < 0)
        f.setPixelSize(-height);
    else if (height > 0)
        f.setPixelSize(pixelSizeForCell(face, height, bold, italic));
    return f;
}

QFont withPointSize(const QFont &font, int points)
{
    QFont f = font;
    f.setPixelSize(int(std::lround(points * 96.0 / 72.0)));
    return f;
}

} // namespace Fonts
