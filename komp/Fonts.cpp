#include "Fonts.h"

#include <QFontMetrics>
#include <QHash>
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
    f.setWeight(face == QLatin1String("Arial Black") ? QFont::Black : bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    return f;
}

int pixelSizeForCell(const QString &face, int cellHeight, bool bold, bool italic)
{
    QFont f = base(face, bold, italic);
    int best = 1;
    int bestDiff = 1 << 30;
    // Line height grows monotonically with the pixel size; scan the
    // neighbourhood of the usual ratio and keep the closest, preferring the
    // smaller size on a tie so that text never outgrows its cell.
    const int guess = std::max(1, int(std::lround(cellHeight / 1.15)));
    for (int px = std::max(1, guess - 4); px <= guess + 4; ++px) {
        f.setPixelSize(px);
        const int diff = std::abs(QFontMetrics(f).height() - cellHeight);
        if (diff < bestDiff) {
            best = px;
            bestDiff = diff;
        }
    }
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
