// Painting of the key-cap button: everything goes into one off-screen
// bitmap that all buttons share, which is then copied to the screen.
#include "TvoBtn.h"

#include "Utils.h"

#include <QApplication>
#include <QPainter>

namespace {

// The one off-screen bitmap every button paints into. A paint started from
// inside another (a hook repainting a second button) gets a bitmap of its own.
struct SharedBitmap {
    QImage image;
    bool busy = false;
};
SharedBitmap &sharedBitmap()
{
    static SharedBitmap b;
    return b;
}

} // namespace

// ---- Painting ------------------------------------------------------------------

void TTvoBtn::paintEvent(QPaintEvent *)
{
    if (width() <= 0 || height() <= 0)
        return;
    SharedBitmap &shared = sharedBitmap();
    QImage own;
    QImage &bitmap = shared.busy ? own : shared.image;
    if (bitmap.size() != size())
        bitmap = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    // The bitmap still holds the last button painted into it (or nothing
    // defined when just made): a hook that leaves out the standard content
    // must not show that through.
    bitmap.fill(m_down ? m_colorDown : color());
    const bool wasBusy = shared.busy;
    shared.busy = true;
    try {
        QPainter p(&bitmap);
        paintTo(p);
    } catch (const std::exception &e) {
        reportLater(e);
    }
    shared.busy = wasBusy;
    QPainter(this).drawImage(0, 0, bitmap);
}

void TTvoBtn::paintTo(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(m_down ? m_colorDown : color());
    const bool pressed = pressedLook();
    bool drawBtn = true, drawFrame = true;
    if (BeforePaint)
        BeforePaint(this, p, m_active, pressed, drawBtn, drawFrame);
    if (drawBtn)
        drawContent(p, pressed);
    if (OnPaint)
        OnPaint(this, p, QRect(1, 1, width() - 2, height() - 2).translated(pressed, pressed));
    if (!drawFrame)
        return;
    const bool hover = m_active && isEnabled();
    if (m_showFrame || hover) {
        TvoBtnImages::drawFrame(p, rect(), hover, pressed);
    } else {
        p.setPen(parentBackground());
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TTvoBtn::drawContent(QPainter &p, bool pressed)
{
    p.fillRect(rect(), p.brush());
    const bool enabled = isEnabled();
    TvoBtnLayout::Input in;
    in.width = width();
    in.height = height();
    in.margines = m_margines;
    in.wlasny = m_typ == tbWlasny;
    in.ikonka = m_ikonka.size();
    in.pressed = pressed;
    in.textHeight = QFontMetrics(font()).height();
    const TvoBtnLayout::Result L = TvoBtnLayout::compute(in);

    // A picture that counts as 0 x 0 in the layout is not drawn at all.
    const QSize pic = L.picture;
    if (in.wlasny) {
        if (!pic.isEmpty() && !m_ikonkaMasked.isNull())
            p.drawImage(L.picturePos, m_ikonkaMasked, QRect(enabled ? 0 : pic.width(), 0, pic.width(), pic.height()));
    } else if (!pic.isEmpty()) {
        const TvoBtnImages::Lists &lists = TvoBtnImages::lists();
        const auto &bg = enabled ? lists.bgEnabled : lists.bgDisabled;
        const auto &fg = enabled ? lists.fgEnabled : lists.fgDisabled;
        if (size_t(m_kolor) < bg.size())
            p.drawImage(L.picturePos, bg[size_t(m_kolor)]);
        if (size_t(m_typ) < fg.size())
            p.drawImage(L.picturePos + QPoint(1, 2), fg[size_t(m_typ)]);
    }

    p.setFont(font());
    p.setBrush(Qt::NoBrush);
    if (m_opis.isEmpty())
        return;
    const QPalette sys = QApplication::palette();
    auto caption = [&](const QColor &c, int shift) {
        p.setPen(c);
        const QRect r = L.text.translated(shift, shift);
        if (L.kind != TvoBtnLayout::Vertical) {
            p.drawText(r, L.textFlags | Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextDontClip, m_opis);
            return;
        }
        const TRotatedFont turned = RotatedFont(font(), 90);
        p.save();
        p.setClipRect(r);
        drawRotatedText(p, turned, TvoBtnLayout::verticalTextOrigin(r, QFontMetrics(turned.font).height()), m_opis);
        p.restore();
    };
    if (enabled) {
        caption(palette().color(QPalette::WindowText), 0);
    } else {
        caption(sys.color(QPalette::Light), 1);
        caption(sys.color(QPalette::Dark), 0);
    }
}

