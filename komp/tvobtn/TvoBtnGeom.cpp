// Layout of the key-cap button, the image lists cut from its strips and its
// 3-D frame.
#include "TvoBtn.h"

#include "AppCore.h"
#include "Exceptions.h"

#include <QImageReader>
#include <QApplication>
#include <QPainter>
#include <QPalette>

// ---- Layout ------------------------------------------------------------------

namespace TvoBtnLayout {

namespace {
// A rectangle given by its edges; the right and bottom edges lie outside.
QRect edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }
} // namespace

Kind kindFor(int width, int height)
{
    if (height > 2 * width)
        return Vertical;
    return height < 30 ? Horizontal : Stacked;
}

Result compute(const Input &in)
{
    Result r;
    r.kind = kindFor(in.width, in.height);
    const int m = in.margines;
    r.picture = QSize(0, 0);
    if (m >= -1 && !in.wlasny)
        r.picture = QSize(22, 17);
    else if (m >= -1 && !in.ikonka.isEmpty())
        r.picture = QSize(in.ikonka.width() / 2, in.ikonka.height());
    const int pw = r.picture.width(), ph = r.picture.height();
    const bool noPicture = in.wlasny && in.ikonka.isEmpty();
    switch (r.kind) {
    case Stacked:
        r.picturePos = QPoint((in.width - pw) / 2, m);
        r.text = edges(1, in.height - in.textHeight - m, in.width - 1, in.height - 1);
        r.textFlags = Qt::AlignHCenter | Qt::AlignTop;
        break;
    case Horizontal: {
        r.picturePos = QPoint(m, (in.height - ph) / 2);
        const int tm = m < 0 ? 0 : m;
        r.text = edges(noPicture ? tm : 2 * tm + pw, 1, in.width - 1, in.height - 1);
        r.textFlags = Qt::AlignVCenter | (m < 0 ? Qt::AlignHCenter : Qt::AlignLeft);
        break;
    }
    case Vertical:
        r.picturePos = QPoint((in.width - pw) / 2, in.height - ph - m);
        r.text = edges(1, 1, in.width - 1, noPicture ? in.height - m : in.height - ph - 2 * m);
        r.textFlags = 0;
        break;
    }
    if (in.pressed) {
        r.picturePos += QPoint(1, 1);
        r.text.translate(1, 1);
    }
    return r;
}

QPoint verticalTextOrigin(const QRect &text, int lineHeight)
{
    // The text runs upward from the bottom edge; its line height lies across.
    return QPoint((text.left() + text.left() + text.width() - lineHeight) / 2, text.top() + text.height());
}

} // namespace TvoBtnLayout

// ---- Image lists -------------------------------------------------------------

namespace TvoBtnImages {

std::vector<std::vector<QImage>> cutStrip(const QImage &strip, QSize cell)
{
    std::vector<std::vector<QImage>> columns;
    if (strip.isNull() || cell.isEmpty())
        return columns;
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = argb.pixel(0, 0);
    for (int x = 0; x + cell.width() <= argb.width(); x += cell.width()) {
        std::vector<QImage> list;
        for (int y = 0; y + cell.height() <= argb.height(); y += cell.height()) {
            QImage img = argb.copy(x, y, cell.width(), cell.height());
            for (int j = 0; j < img.height(); ++j) {
                auto *line = reinterpret_cast<QRgb *>(img.scanLine(j));
                for (int i = 0; i < img.width(); ++i)
                    if (line[i] == transparent)
                        line[i] = 0;
            }
            list.push_back(std::move(img));
        }
        columns.push_back(std::move(list));
    }
    return columns;
}

namespace {

QImage loadStrip(const char *name, QSize expected)
{
    App::initModules();
    // Named without a suffix: the format is given and not guessed, so that
    // no image plug-in is loaded to ask it.
    QImageReader reader(QStringLiteral(":/") + QLatin1String(name), "PNG");
    reader.setAutoDetectImageFormat(false);
    const QImage img = reader.read();
    if (img.size() != expected)
        throw Exception(QStringLiteral("Brak zasobu %1").arg(QLatin1String(name)));
    return img;
}

Lists makeLists()
{
    Lists l;
    auto bg = cutStrip(loadStrip("TVOBTN_BG", {44, 85}), {22, 17});
    auto fg = cutStrip(loadStrip("TVOBTN_FG", {40, 598}), {20, 13});
    l.bgEnabled = std::move(bg[0]);
    l.bgDisabled = std::move(bg[1]);
    l.fgEnabled = std::move(fg[0]);
    l.fgDisabled = std::move(fg[1]);
    return l;
}

// Edge bits: which rings are drawn, raised or sunken, and the soft colours.
enum : int { RaisedOuter = 1, SunkenOuter = 2, RaisedInner = 4, SunkenInner = 8, Soft = 16 };

// Index: [second variant][active][pressed].
constexpr int frameTable[2][2][2] = {
    {{RaisedInner | Soft, SunkenOuter | Soft}, {RaisedInner, SunkenOuter}},
    {{RaisedInner, SunkenOuter}, {RaisedOuter | RaisedInner | Soft, SunkenOuter | SunkenInner | Soft}},
};

// The second table suits palettes whose light 3-D colour is the face colour.
bool secondFrameVariant()
{
    const QPalette pal = QApplication::palette();
    return pal.color(QPalette::Midlight) == pal.color(QPalette::Button);
}

void ring(QPainter &p, const QRect &r, const QColor &lt, const QColor &rb)
{
    p.setPen(lt);
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    p.setPen(rb);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

} // namespace

const Lists &lists()
{
    static const Lists l = makeLists();
    return l;
}

void drawFrame(QPainter &p, const QRect &r, bool active, bool pressed)
{
    static const bool second = secondFrameVariant();
    const int edge = frameTable[second][active][pressed];
    const QPalette pal = QApplication::palette();
    const QColor hilight = pal.color(QPalette::Light), light = pal.color(QPalette::Midlight),
                 shadow = pal.color(QPalette::Dark), dark = pal.color(QPalette::Shadow);
    const bool soft = edge & Soft;
    p.save();
    p.setBrush(Qt::NoBrush);
    QRect at = r;
    if (edge & (RaisedOuter | SunkenOuter)) {
        if (edge & RaisedOuter)
            ring(p, at, soft ? hilight : light, dark);
        else
            ring(p, at, soft ? dark : shadow, hilight);
        at.adjust(1, 1, -1, -1);
    }
    if (edge & RaisedInner)
        ring(p, at, soft ? light : hilight, shadow);
    else if (edge & SunkenInner)
        ring(p, at, soft ? shadow : dark, light);
    p.restore();
}

} // namespace TvoBtnImages
