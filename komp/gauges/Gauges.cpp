#include "Gauges.h"
#include "Exceptions.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <climits>
#include <cmath>
#include <numbers>

// ---------------------------------------------------------------- geometry

namespace GaugeGeometry {

int nearest(long double v) { return int(std::nearbyintl(v)); } // default mode: ties to even

int percent(qint32 min, qint32 max, qint32 progress)
{
    // In 64 bits the product is exact and the division truncates towards
    // zero: the whole percent, as the exact quotient has it.
    const qint64 span = qint64(max) - qint64(min);
    if (span == 0)
        return 0;
    return int((qint64(progress) - qint64(min)) * 100 / span);
}

QString percentText(int percent) { return QString::asprintf("%d%%", percent); }

QFont textFont(const QFont &gaugeFont)
{
    QFont f = gaugeFont;
    f.setStyleStrategy(QFont::NoAntialias);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    return f;
}

Edges paintRect(QSize client, bool framed)
{
    Edges r{0, 0, client.width(), client.height()};
    if (framed)
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    return r;
}

static int fraction(int length, int percent) { return int(std::truncl(length * (percent * 0.01L))); }

int horizontalFill(const Edges &r, int percent)
{
    const int w = r.right - r.left + 1;
    return std::min(fraction(w, percent), w);
}

int verticalFill(const Edges &r, int percent)
{
    const int h = r.bottom - r.top + 1;
    const int f = fraction(h, percent);
    return f >= h ? h - 1 : f;
}

QPoint pieStart(int w, int h, int percent)
{
    const int mx = w / 2, my = h / 2;
    const long double a = std::numbers::pi_v<long double> * (percent * 0.02L + 0.5L);
    return {nearest(mx * (1 - std::cos(a))), nearest(my * (1 - std::sin(a)))};
}

QPoint needleTip(int controlWidth, int bottom, int percent)
{
    const int mx = controlWidth / 2;
    const long double a = percent * 0.01L * std::numbers::pi_v<long double>;
    return {nearest(mx * (1 - std::cos(a))), nearest((bottom - 1) * (1 - std::sin(a)))};
}

QPoint textOrigin(const Edges &r, QSize text)
{
    return {(r.right - r.left + 1 - text.width()) / 2, (r.bottom - r.top + 1 - text.height()) / 2};
}

} // namespace GaugeGeometry

using namespace GaugeGeometry;

// ---------------------------------------------------------------- bitmaps

void TBltBitmap::MakeLike(const QImage &source)
{
    QImage::operator=(QImage(source.size(), QImage::Format_RGB32));
    setDevicePixelRatio(source.devicePixelRatio());
    fill(QGuiApplication::palette().color(QPalette::WindowText)); // window-frame colour
}

namespace {

// Drawing primitives with exclusive right and bottom edges.
void fillEdges(QPainter &p, const Edges &r, const QColor &c)
{
    if (r.right > r.left && r.bottom > r.top)
        p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), c);
}

QRectF ellipseBox(const Edges &b) { return QRectF(b.left, b.top, b.right - b.left - 1, b.bottom - b.top - 1); }

// Angle, in sixteenths of a degree, at which the ray from the box's centre
// through (x, y) meets the ellipse, measured the way QPainter measures arcs.
int arcAngle(const Edges &b, QPoint pt)
{
    const QRectF e = ellipseBox(b);
    const double rx = std::max(e.width() / 2, 0.5), ry = std::max(e.height() / 2, 0.5);
    const double t = std::atan2((e.center().y() - pt.y()) / ry, (pt.x() - e.center().x()) / rx);
    return int(std::lround(t * 180 / std::numbers::pi * 16));
}

// Pie slice whose arc runs counter-clockwise from radial point `from` to
// `to`; equal directions give the whole ellipse.
void pie(QPainter &p, const Edges &b, QPoint from, QPoint to)
{
    const int start = arcAngle(b, from);
    int span = (arcAngle(b, to) - start) % (360 * 16);
    if (span <= 0)
        span += 360 * 16;
    p.drawPie(ellipseBox(b), start, span);
}

void xorInto(QImage &image, const QImage &layer)
{
    QPainter p(&image);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.drawImage(0, 0, layer);
}

void drawKind(QPainter &p, const TGauge &g, const Edges &r, int pct)
{
    const bool framed = g.borderStyle() == TGauge::bsSingle;
    p.setPen(QPen(g.foreColor(), 1));
    switch (g.kind()) {
    case TGauge::gkText:
        fillEdges(p, r, g.backColor());
        break;
    case TGauge::gkHorizontalBar:
    case TGauge::gkVerticalBar: {
        const int w = r.right - r.left + 1, h = r.bottom - r.top + 1;
        fillEdges(p, r, g.backColor());
        if (g.kind() == TGauge::gkHorizontalBar) {
            const int f = horizontalFill(r, pct);
            if (f > 0)
                fillEdges(p, {r.left, r.top, f, h}, g.foreColor());
        } else {
            fillEdges(p, {r.left, h - verticalFill(r, pct), w, h}, g.foreColor());
        }
        break;
    }
    case TGauge::gkPie: {
        const int w = r.right - r.left + (framed ? 1 : 0), h = r.bottom - r.top + (framed ? 1 : 0);
        const Edges box{r.left, r.top, w, h};
        fillEdges(p, r, g.color());
        p.setBrush(g.backColor());
        p.drawEllipse(ellipseBox(box));
        if (pct > 0) {
            p.setBrush(g.foreColor());
            pie(p, box, pieStart(w, h, pct), QPoint(w / 2, 0));
        }
        break;
    }
    case TGauge::gkNeedle: {
        const int x = r.left, y = r.top;
        const int w = r.right - r.left + (framed ? 1 : 0), h = r.bottom - r.top + (framed ? 1 : 0);
        fillEdges(p, r, g.color());
        p.setBrush(g.backColor());
        pie(p, {x, y, w, 2 * h - 1}, QPoint(x + w, r.bottom - 1), QPoint(x, r.bottom - 1));
        p.drawLine(x, r.bottom, x + w - 1, r.bottom);
        if (pct > 0)
            p.drawLine(QPoint(g.width() / 2, r.bottom - 1), needleTip(g.width(), r.bottom, pct));
        break;
    }
    }
}

} // namespace

QImage TGauge::render() const
{
    // In the screen's own pixels, drawn in the layout's: on a scaled screen
    // the percentage stays sharp, and the image covers every device pixel
    // the control touches (it paints opaquely; a row left out would keep
    // what was there before).
    const qreal dpr = devicePixelRatioF();
    QImage image(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::black);
    const Edges r = paintRect(size(), m_border == bsSingle);
    const int pct = percentDone();

    TBltBitmap overlay;
    overlay.MakeLike(image);
    overlay.fill(Qt::black);
    {
        QPainter p(&overlay);
        drawKind(p, *this, r, pct);
    }
    xorInto(image, overlay);

    if (m_showText) {
        const QString text = percentText(pct);
        const QFont f = GaugeGeometry::textFont(font());
        const QFontMetrics fm(f);
        // The spacing after the last letter is not part of the text.
        const int width = fm.horizontalAdvance(text) - int(f.letterSpacing());
        const QPoint at = textOrigin(r, QSize(width, fm.height()));
        TBltBitmap textImage;
        textImage.MakeLike(image);
        textImage.fill(Qt::black);
        {
            QPainter p(&textImage);
            p.setFont(f);
            p.setPen(QColor(255, 255, 255));
            p.setClipRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
            p.drawText(at.x(), at.y() + fm.ascent(), text);
        }
        xorInto(image, textImage);
    }
    return image;
}

// ---------------------------------------------------------------- control

namespace {
GaugeFormLoading *g_formLoading = nullptr;
}

GaugeFormLoading::GaugeFormLoading() : m_outer(g_formLoading) { g_formLoading = this; }

GaugeFormLoading::~GaugeFormLoading()
{
    g_formLoading = m_outer;
    for (const QPointer<TGauge> &g : std::as_const(m_gauges))
        if (g)
            g->setLoading(false);
}

TGauge::TGauge(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
    if (g_formLoading) {
        m_loading = true;
        g_formLoading->m_gauges.append(this);
    }
}

void TGauge::changed() { repaint(); }

void TGauge::paintEvent(QPaintEvent *)
{
    ++m_paintCount;
    QPainter(this).drawImage(0, 0, render());
}

int TGauge::percentDone() const { return percent(m_min, m_max, m_progress); }

void TGauge::setLoading(bool on)
{
    if (m_loading == on)
        return;
    m_loading = on;
    if (!on)
        update();
}

#define TVO_GAUGE_SETTER(Name, Type, member)                                                                  \
    void TGauge::Name(Type v)                                                                                 \
    {                                                                                                         \
        if (member == v)                                                                                      \
            return;                                                                                           \
        member = v;                                                                                           \
        changed();                                                                                            \
    }

TVO_GAUGE_SETTER(setKind, TGaugeKind, m_kind)
TVO_GAUGE_SETTER(setShowText, bool, m_showText)
TVO_GAUGE_SETTER(setBorderStyle, TBorderStyle, m_border)
TVO_GAUGE_SETTER(setForeColor, const QColor &, m_fore)
TVO_GAUGE_SETTER(setBackColor, const QColor &, m_back)
#undef TVO_GAUGE_SETTER

QColor TGauge::color() const { return palette().color(QPalette::Window); }

void TGauge::setColor(const QColor &c)
{
    if (color() == c && testAttribute(Qt::WA_SetPalette))
        return;
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    setPalette(p);
    changed();
}

static QString rangeMessage(qint64 low, qint64 high)
{
    return QString::asprintf("Value must be between %lld and %lld", (long long)low, (long long)high);
}

void TGauge::setMinValue(qint32 v)
{
    if (v == m_min)
        return;
    if (v > m_max && !m_loading)
        throw EInvalidOperation(rangeMessage(-2147483647, qint64(m_max) - 1));
    m_min = v;
    if (m_progress < v)
        m_progress = v;
    changed();
}

void TGauge::setMaxValue(qint32 v)
{
    if (v == m_max)
        return;
    if (v < m_min && !m_loading)
        throw EInvalidOperation(rangeMessage(qint64(m_min) + 1, 2147483647));
    m_max = v;
    if (m_progress > v)
        m_progress = v;
    changed();
}

void TGauge::setProgress(qint32 v)
{
    const int before = percentDone();
    if (v < m_min)
        v = m_min;
    else if (v > m_max)
        v = m_max;
    if (v == m_progress)
        return;
    m_progress = v;
    if (percentDone() == before)
        return;
    changed();
    if (QAccessible::isActive()) { // readers hear of each whole percent
        QAccessibleValueChangeEvent event(this, v);
        QAccessible::updateAccessibility(&event);
    }
}
