// Turned fonts of Utils.h.
#include "Utils.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>

void RotateFont(TRotatedFont &font, int angle)
{
    const QFont &old = font.font;
    QFont f(old.family());
    if (old.pixelSize() > 0)
        f.setPixelSize(old.pixelSize());
    else
        f.setPointSizeF(old.pointSizeF());
    f.setWeight(!old.bold() ? QFont::Normal : old.weight() > QFont::Bold ? old.weight() : QFont::Bold);
    f.setItalic(old.italic());
    f.setUnderline(old.underline());
    f.setStrikeOut(old.strikeOut());
    if (old.resolveMask() & QFont::FixedPitchResolved)
        f.setFixedPitch(old.fixedPitch());
    font.font = f;
    font.angle = angle;
}

TRotatedFont RotatedFont(const QFont &font, int angle)
{
    TRotatedFont r{font, 0};
    RotateFont(r, angle);
    return r;
}

static QTransform turnAbout(const QPointF &origin, int angle)
{
    // Counter-clockwise on screen; Qt turns clockwise with y pointing down.
    return QTransform().translate(origin.x(), origin.y()).rotate(-(angle % 360));
}

QRectF rotatedTextBounds(const TRotatedFont &font, const QPointF &origin, const QString &text)
{
    const QFontMetricsF fm(font.font);
    return turnAbout(origin, font.angle).mapRect(QRectF(0, 0, fm.horizontalAdvance(text), fm.height()));
}

void drawRotatedText(QPainter &painter, const TRotatedFont &font, const QPointF &origin, const QString &text)
{
    painter.save();
    painter.setFont(font.font);
    painter.setTransform(turnAbout(origin, font.angle), true);
    painter.drawText(QPointF(0, QFontMetricsF(font.font).ascent()), text);
    painter.restore();
}
