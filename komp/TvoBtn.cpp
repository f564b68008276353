#include "TvoBtn.h"

#include "AppCore.h"
#include "Fonts.h"
#include "Utils.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

#include <algorithm>
#include <utility>

namespace {

template <typename T> bool store(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// The key a letter stands for in key events (Qt::Key_A for "a" and "A").
int keyOf(QChar c) { return c.isNull() ? 0 : int(c.toUpper().unicode()); }

// Reports an error raised by a handler that ran inside an event: it cannot
// travel through the event loop, so the standard report shows it once the
// current event is done.
void reportLater(const std::exception &e)
{
    if (dynamic_cast<const EAbort *>(&e))
        return;
    const QString text = dynamic_cast<const Exception *>(&e) ? static_cast<const Exception &>(e).message()
                                                            : QString::fromUtf8(e.what());
    QMetaObject::invokeMethod(qApp, [text] { App::showException(Exception(text)); }, Qt::QueuedConnection);
}

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

TTvoBtn::TTvoBtn(QWidget *parent) : QWidget(parent)
{
    TvoBtnImages::lists(); // the module's pictures are cut once, before the first button shows
    resize(40, 33);
    setCursor(Qt::PointingHandCursor);
    setFont(Fonts::make(QStringLiteral("Arial"), 11, true));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    const QPalette sys = QApplication::palette();
    m_color = sys.color(QPalette::Button);
    m_colorDown = sys.color(QPalette::Light);
    m_opis = objectName();
    // Designed forms name a widget after constructing it: the caption follows
    // the first name given while nobody has set it.
    connect(this, &QObject::objectNameChanged, this, [this](const QString &name) {
        if (!m_opisSet)
            setOpis(name);
        m_opisSet = true;
    });
    updateShortcuts();
}

TTvoBtn::~TTvoBtn()
{
    if (m_filtered)
        m_filtered->removeEventFilter(this);
}

// ---- Properties --------------------------------------------------------------

void TTvoBtn::setTyp(TTvoBtnTyp t)
{
    if (store(m_typ, t))
        repaint();
}

void TTvoBtn::setKolor(int k)
{
    if (store(m_kolor, std::clamp(k, 0, 4)))
        repaint();
}

void TTvoBtn::setOpis(const QString &s)
{
    m_opisSet = true;
    if (!store(m_opis, s))
        return;
    updateShortcuts();
    repaint();
}

void TTvoBtn::setMargines(int m)
{
    if (store(m_margines, m))
        repaint();
}

void TTvoBtn::setColorDown(const QColor &c)
{
    if (store(m_colorDown, c))
        repaint();
}

void TTvoBtn::setDown(bool on)
{
    if (store(m_down, on))
        repaint();
}

QPixmap TTvoBtn::ikonka() const { return QPixmap::fromImage(m_ikonka); }

void TTvoBtn::setIkonka(const QPixmap &p) { setIkonka(p.toImage()); }

void TTvoBtn::setIkonka(const QImage &img)
{
    m_ikonka = img;
    m_ikonkaMasked = img.isNull() ? QImage() : TvoBtnImages::cutStrip(img, img.size()).front().front();
    repaint();
}

void TTvoBtn::setShowFrame(bool on)
{
    if (store(m_showFrame, on))
        repaint();
}

QColor TTvoBtn::color() const { return m_parentColor ? parentBackground() : m_color; }

void TTvoBtn::setColor(const QColor &c)
{
    const bool changed = m_parentColor || m_color != c;
    m_parentColor = false;
    m_color = c;
    if (changed)
        repaint();
}

void TTvoBtn::setParentColor(bool on)
{
    if (store(m_parentColor, on))
        repaint();
}

QColor TTvoBtn::parentBackground() const
{
    const QWidget *p = parentWidget();
    return p ? p->palette().color(p->backgroundRole()) : QApplication::palette().color(QPalette::Window);
}

QChar TTvoBtn::accelerator() const
{
    for (qsizetype i = 0; i + 1 < m_opis.size(); ++i)
        if (m_opis[i] == u'&') {
            if (m_opis[i + 1] != u'&')
                return m_opis[i + 1].toUpper();
            ++i; // "&&" is a literal "&"
        }
    return {};
}

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

// ---- Mouse, click and accelerator ------------------------------------------------

void TTvoBtn::setActive(bool on)
{
    if (store(m_active, on))
        repaint();
}

void TTvoBtn::setHeld(bool on)
{
    m_held = on;
    repaint();
}

void TTvoBtn::enterEvent(QEnterEvent *)
{
    if (OnMouseEnter)
        OnMouseEnter(this);
    m_active = true;
    repaint();
}

void TTvoBtn::leaveEvent(QEvent *)
{
    if (OnMouseLeave)
        OnMouseLeave(this);
    m_active = false;
    repaint();
}

void TTvoBtn::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (OnMouseMove)
        OnMouseMove(this, e->modifiers(), pos.x(), pos.y());
    if (rect().contains(pos))
        setActive(true);
}

void TTvoBtn::mousePressEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::LeftButton)
        m_leftDown = true;
    if (OnMouseDown)
        OnMouseDown(this, e->button(), e->modifiers(), pos.x(), pos.y());
    setHeld(true);
}

void TTvoBtn::mouseDoubleClickEvent(QMouseEvent *e) { mousePressEvent(e); }

void TTvoBtn::mouseReleaseEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    QPointer<TTvoBtn> alive(this);
    if (e->button() == Qt::LeftButton && std::exchange(m_leftDown, false) && rect().contains(pos)) {
        try {
            click();
        } catch (const std::exception &ex) {
            reportLater(ex);
        }
    }
    if (!alive)
        return;
    if (OnMouseUp)
        OnMouseUp(this, e->button(), e->modifiers(), pos.x(), pos.y());
    setHeld(false);
}

void TTvoBtn::click()
{
    QPointer<TTvoBtn> alive(this);
    auto settle = [&] {
        if (!alive)
            return;
        m_held = false;
        m_active = false;
        repaint();
    };
    try {
        if (OnClick)
            OnClick(this);
        if (alive)
            emit clicked();
    } catch (...) {
        settle();
        throw;
    }
    settle();
}

bool TTvoBtn::answersAccelerator(QChar c) const
{
    return !c.isNull() && c.toUpper() == accelerator() && isVisible() && isEnabled();
}

void TTvoBtn::updateShortcuts()
{
    if (m_shortcutId)
        releaseShortcut(m_shortcutId);
    m_shortcutId = 0;
    if (const int key = keyOf(accelerator()))
        m_shortcutId = grabShortcut(QKeySequence(Qt::ALT | Qt::Key(key)), Qt::WindowShortcut);
}

void TTvoBtn::hookWindow()
{
    QWidget *w = window();
    if (w == m_filtered)
        return;
    if (m_filtered)
        m_filtered->removeEventFilter(this);
    m_filtered = w;
    w->installEventFilter(this);
}

bool TTvoBtn::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::Shortcut:
        if (static_cast<QShortcutEvent *>(e)->shortcutId() != m_shortcutId)
            break;
        if (answersAccelerator(accelerator())) {
            try {
                click();
            } catch (const std::exception &ex) {
                reportLater(ex);
            }
        }
        return true;
    case QEvent::Show:
    case QEvent::ParentChange:
        hookWindow();
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

// A letter that no control took reaches the window: a plain letter (or a
// shifted one) is the accelerator as much as Alt with it.
bool TTvoBtn::eventFilter(QObject *watched, QEvent *e)
{
    if (watched != m_filtered || e->type() != QEvent::KeyPress)
        return false;
    auto *ke = static_cast<QKeyEvent *>(e);
    if (ke->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier) || ke->text().size() != 1)
        return false;
    if (!answersAccelerator(ke->text().front()))
        return false;
    try {
        click();
    } catch (const std::exception &ex) {
        reportLater(ex);
    }
    return true;
}
