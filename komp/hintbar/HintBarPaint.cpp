// Painting of the bar: the side texts, and the centre text with its colour
// tags. Where things go and which font and colour they get is decided by the
// plain functions of HintBarLayout.cpp.
#include "HintBar.h"

#include <QPainter>

namespace {

// Draws s with its cell top at (x, y), clipped to r; fills r with bg first
// when bg is given.
void drawClipped(QPainter &p, const QRect &r, int x, int y, const QString &s, const QColor &color,
                 const QColor *bg)
{
    if (r.width() <= 0)
        return;
    p.save();
    p.setClipRect(r);
    if (bg)
        p.fillRect(r, *bg);
    p.setPen(color);
    p.drawText(x, y + p.fontMetrics().ascent(), s);
    p.restore();
}

} // namespace

void THintBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor bg = barColor();
    p.fillRect(0, 0, m_leftEdge, height(), bg);
    p.fillRect(m_rightEdge, 0, width() - m_rightEdge, height(), bg);
    int wl = 0, wr = 0;
    if (!m_flashMode) {
        const HintBarFont side = SelectFont(false, m_active, m_errorState, false);
        p.setFont(side.font);
        const QFontMetrics fm(side.font);
        wl = fm.horizontalAdvance(m_textLeft);
        wr = fm.horizontalAdvance(m_textRight);
        const int y = (height() - fm.height()) / 2;
        drawClipped(p, QRect(m_leftEdge, 0, wl, height()), m_leftEdge, y, m_textLeft, side.color, &bg);
        drawClipped(p, QRect(m_rightEdge - wr, 0, wr, height()), m_rightEdge - wr, y, m_textRight,
                    side.color, &bg);
    }
    paintCentre(p, QRect(m_leftEdge + wl, 0, m_rightEdge - wr - (m_leftEdge + wl), height()),
                m_flashMode ? m_flashText : m_textCenter);
}

void THintBar::paintCentre(QPainter &p, QRect area, const QString &text)
{
    const QColor bg = barColor();
    const HintBarFont centre = SelectFont(true, m_active, m_errorState, m_flashMode);
    p.setFont(centre.font);
    const QFontMetrics fm(centre.font);
    const int right = area.left() + area.width();
    int x = centredTextX(area.left(), right, fm.horizontalAdvance(StripTags(text)));
    const int y = (height() - fm.height()) / 2;
    QColor color = centre.color;
    QString rest = text, segment, tag;
    bool found;
    do {
        found = SplitAtTag(rest, segment, tag);
        const QRect r(area.left(), 0, right - area.left(), height());
        drawClipped(p, r, x, y, segment, color, &bg);
        if (m_active && m_errorState)
            drawClipped(p, r, x + 1, y + 1, segment, HintBarYellow, nullptr);
        x += fm.horizontalAdvance(segment);
        area.setLeft(x);
        color = colourAfterTag(tag, m_active, centre.color, color);
    } while (found && x < right);
}
