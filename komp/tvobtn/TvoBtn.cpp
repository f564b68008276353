#include "TvoBtn.h"

#include "AppCore.h"
#include "Exceptions.h"
#include "Fonts.h"
#include "Properties.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcutEvent>

#include <algorithm>
#include <utility>

namespace {

// The key a letter stands for in key events (Qt::Key_A for "a" and "A").
int keyOf(QChar c) { return c.isNull() ? 0 : int(c.toUpper().unicode()); }

} // namespace

// Reports an error raised by a handler that ran inside an event: it cannot
// travel through the event loop, so the standard report shows it once the
// current event is done.
void TTvoBtn::reportLater(const std::exception &e)
{
    if (dynamic_cast<const EAbort *>(&e))
        return;
    const QString text = dynamic_cast<const Exception *>(&e) ? static_cast<const Exception &>(e).message()
                                                            : QString::fromUtf8(e.what());
    QMetaObject::invokeMethod(qApp, [text] { App::showException(Exception(text)); }, Qt::QueuedConnection);
}

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
// A changed property only schedules a repaint (the button draws nothing that a
// caller waits for); the pressed look of a click is drawn at once (setHeld).

void TTvoBtn::setTyp(TTvoBtnTyp t)
{
    if (store(m_typ, t))
        update();
}

void TTvoBtn::setKolor(int k)
{
    if (store(m_kolor, std::clamp(k, 0, 4)))
        update();
}

void TTvoBtn::setOpis(const QString &s)
{
    m_opisSet = true;
    if (!store(m_opis, s))
        return;
    updateShortcuts();
    update();
}

void TTvoBtn::setMargines(int m)
{
    if (store(m_margines, m))
        update();
}

void TTvoBtn::setColorDown(const QColor &c)
{
    if (store(m_colorDown, c))
        update();
}

void TTvoBtn::setDown(bool on)
{
    if (store(m_down, on))
        update();
}

QPixmap TTvoBtn::ikonka() const { return QPixmap::fromImage(m_ikonka); }

void TTvoBtn::setIkonka(const QPixmap &p) { setIkonka(p.toImage()); }

void TTvoBtn::setIkonka(const QImage &img)
{
    m_ikonka = img;
    m_ikonkaMasked = img.isNull() ? QImage() : TvoBtnImages::cutStrip(img, img.size()).front().front();
    update();
}

void TTvoBtn::setShowFrame(bool on)
{
    if (store(m_showFrame, on))
        update();
}

QColor TTvoBtn::color() const { return m_parentColor ? parentBackground() : m_color; }

void TTvoBtn::setColor(const QColor &c)
{
    const bool changed = m_parentColor || m_color != c;
    m_parentColor = false;
    m_color = c;
    if (changed)
        update();
}

void TTvoBtn::setParentColor(bool on)
{
    if (store(m_parentColor, on))
        update();
}

QColor TTvoBtn::parentBackground() const
{
    const QWidget *p = parentWidget();
    return p ? p->palette().color(p->backgroundRole()) : QApplication::palette().color(QPalette::Window);
}

QChar TTvoBtn::accelerator() const { return App::mnemonic(m_opis); }

// ---- Mouse, click and accelerator ------------------------------------------------

void TTvoBtn::setActive(bool on)
{
    if (store(m_active, on))
        update();
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
        if (answersAccelerator(accelerator()))
            clickReporting();
        return true;
    case QEvent::KeyPress:
        // Space presses a button that Tab has reached.
        if (static_cast<QKeyEvent *>(e)->key() == Qt::Key_Space && !static_cast<QKeyEvent *>(e)->isAutoRepeat()) {
            clickReporting();
            return true;
        }
        break;
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
    clickReporting();
    return true;
}

void TTvoBtn::clickReporting()
{
    try {
        click();
    } catch (const std::exception &ex) {
        reportLater(ex);
    }
}
