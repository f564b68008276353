#pragma once
// Where a colour was drawn in a grabbed picture.
#include <QColor>
#include <QImage>
#include <QRect>

// Bounding box of the pixels of exactly the given colour (inside the frame
// ring when asked).
inline QRect inkOf(const QImage &img, const QColor &c, int ring = 0)
{
    QRect box;
    for (int y = ring; y < img.height() - ring; ++y)
        for (int x = ring; x < img.width() - ring; ++x)
            if (img.pixelColor(x, y).rgb() == c.rgb())
                box |= QRect(x, y, 1, 1);
    return box;
}
