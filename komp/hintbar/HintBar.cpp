#include "HintBar.h"

#include "Fonts.h"
#include "Properties.h"

#include <QImageReader>
#include <QDynamicPropertyChangeEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

namespace {

constexpr int PictureMargin = 2;

// Runs a copy of the handler, so that a handler may replace itself (a page
// switch sets the next page's handlers) without pulling the code from under
// its own feet.
void run(const TNotifyEvent &handler, QObject *sender)
{
    if (const TNotifyEvent h = handler)
        h(sender);
}

bool inLayout(const QLayout *layout, const QWidget *w)
{
    if (!layout)
        return false;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == w || inLayout(item->layout(), w))
            return true;
    }
    return false;
}

} // namespace

// A flat button: picture near its left edge, caption centred in the rest,
// a thin frame only while the mouse is over it.
class THintBar::Button : public QAbstractButton {
public:
    Button(THintBar *bar) : QAbstractButton(bar), m_bar(bar)
    {
        setAttribute(Qt::WA_Hover);
        connect(this, &QAbstractButton::clicked, this, [this] { run(onClick, this); });
    }
    TNotifyEvent onClick;
    QColor fontColor = HintBarYellow;
    QPixmap picture;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_bar->barColor());
        const bool down = isDown();
        if (isEnabled() && (down || underMouse())) {
            const QRect r = rect().adjusted(0, 0, -1, -1);
            p.setPen(down ? QColor(0x40, 0x40, 0x40) : HintBarSilver);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(down ? HintBarSilver : QColor(0x40, 0x40, 0x40));
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        }
        const int shift = down ? 1 : 0;
        if (!picture.isNull()) {
            QStyleOption opt;
            opt.initFrom(this);
            const QPixmap pic =
                isEnabled() ? picture : style()->generatedIconPixmap(QIcon::Disabled, picture, &opt);
            p.drawPixmap(PictureMargin + shift, (height() - picture.height()) / 2 + shift, pic);
        }
        const int textLeft = PictureMargin + picture.width();
        p.setPen(isEnabled() ? fontColor : HintBarSilver);
        p.drawText(QRect(textLeft + shift, shift, width() - textLeft, height()),
                   Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }

private:
    THintBar *m_bar;
};

THintBar::THintBar(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    resize(width(), 24);
    m_cancel = makeButton(QString(), "HINTBARCANCEL");
    m_accept = makeButton(QString(), "HINTBARACCEPT");
    m_help = makeButton(QStringLiteral("Pomoc"), "HINTBARHELP");
    m_help->onClick = [this](QObject *) { HelpClick(); };
    m_help->fontColor = QColor(0xFF, 0xFF, 0xFF);
    setHelpHint(QStringLiteral("F1"));
    setAcceptHint(QStringLiteral("Enter"));
    setCancelHint(QStringLiteral("Esc"));
    if (parent)
        parent->installEventFilter(this);
    dock();
    UpdateLayout();
}

THintBar::~THintBar()
{
    if (m_timer)
        m_timer->stop();
}

THintBar::Button *THintBar::makeButton(const QString &caption, const char *picture)
{
    auto *b = new Button(this);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFont(Fonts::make(QStringLiteral("MS Sans Serif"), 12, true));
    QImageReader reader(QStringLiteral(":/") + QLatin1String(picture), "PNG");
    reader.setAutoDetectImageFormat(false); // no image plug-in is loaded to guess the format
    b->picture = QPixmap::fromImage(reader.read());
    b->setGeometry(0, 0, m_btnWidth, HintBarButtonHeight);
    b->setText(caption);
    return b;
}

TNotifyEvent THintBar::onAccept() const { return m_accept->onClick; }
TNotifyEvent THintBar::onCancel() const { return m_cancel->onClick; }
void THintBar::setOnAccept(TNotifyEvent handler) { m_accept->onClick = std::move(handler); }
void THintBar::setOnCancel(TNotifyEvent handler) { m_cancel->onClick = std::move(handler); }
QString THintBar::textAccept() const { return m_accept->text(); }
QString THintBar::textCancel() const { return m_cancel->text(); }
QAbstractButton *THintBar::acceptButton() const { return m_accept; }
QAbstractButton *THintBar::cancelButton() const { return m_cancel; }
QAbstractButton *THintBar::helpButton() const { return m_help; }

void THintBar::setBtnWidth(int width)
{
    if (width == m_btnWidth)
        return;
    m_btnWidth = width;
    for (Button *b : {m_help, m_cancel, m_accept})
        b->resize(width, b->height());
    UpdateLayout();
}

void THintBar::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    repaint();
    for (Button *b : {m_help, m_accept, m_cancel})
        b->setEnabled(active);
}

void THintBar::setHelpButton(bool shown)
{
    if (shown == m_helpButton)
        return;
    m_helpButton = shown;
    UpdateLayout();
}

static bool setCaption(QAbstractButton *b, const QString &text)
{
    if (b->text() == text)
        return false;
    b->setText(text);
    return true;
}

void THintBar::setTextAccept(const QString &text)
{
    if (setCaption(m_accept, text))
        UpdateLayout();
}

void THintBar::setTextCancel(const QString &text)
{
    if (setCaption(m_cancel, text))
        UpdateLayout();
}

void THintBar::setTextLeft(const QString &text) { if (store(m_textLeft, text)) InvalidateText(); }
void THintBar::setTextCenter(const QString &text) { if (store(m_textCenter, text)) InvalidateText(); }
void THintBar::setTextRight(const QString &text) { if (store(m_textRight, text)) InvalidateText(); }
void THintBar::setErrorState(bool error) { if (store(m_errorState, error)) InvalidateText(); }
void THintBar::setHelpHint(const QString &hint) { if (store(m_helpHint, hint)) m_help->setToolTip(hint); }
void THintBar::setAcceptHint(const QString &hint) { if (store(m_acceptHint, hint)) m_accept->setToolTip(hint); }
void THintBar::setCancelHint(const QString &hint) { if (store(m_cancelHint, hint)) m_cancel->setToolTip(hint); }

void THintBar::UpdateLayout()
{
    const HintBarLayout l = computeHintBarLayout(width(), height(), m_btnWidth, m_helpButton,
                                                 !textAccept().isEmpty(), !textCancel().isEmpty());
    // A hidden button keeps its left position; only its height drops to 0.
    const auto place = [](Button *b, const QRect &r) {
        b->setGeometry(r.height() ? r.left() : b->x(), r.top(), b->width(), r.height());
    };
    place(m_help, l.help);
    place(m_cancel, l.cancel);
    place(m_accept, l.accept);
    m_leftEdge = l.textLeft;
    m_rightEdge = l.textRight;
    repaint();
}

void THintBar::InvalidateText()
{
    update(QRect(m_leftEdge, 0, m_rightEdge - m_leftEdge, height()));
}

void THintBar::HelpClick()
{
    run(m_onHelp, this);
}

// --- flash texts ---------------------------------------------------------

void THintBar::ShowText(const QString &text)
{
    SuppressFlash(1000);
    setTextCenter(text);
    setErrorState(false);
}

void THintBar::FlashText(const QString &text)
{
    FlashTextTimed(text, 200, 1000);
}

void THintBar::FlashTextTimed(const QString &text, int delay, int duration)
{
    if (m_suppressed)
        return;
    if (!m_timer) {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, &THintBar::timerTick);
    }
    m_timer->stop();
    // A negative time would leave the timer dead and the flash on for good.
    delay = std::max(0, delay);
    duration = std::max(0, duration);
    if (m_flashMode) {
        if (text != m_flashText) {
            m_flashText = text;
            m_flashMode = !text.isEmpty();
            InvalidateText();
        }
        if (m_flashMode)
            m_timer->start(duration);
    } else if (!text.isEmpty()) {
        m_timerTag = duration;
        m_flashText = text;
        m_timer->start(delay);
    }
}

void THintBar::SuppressFlash(int ms)
{
    FlashText(QString());
    m_suppressed = true;
    m_timer->start(std::max(0, ms));
}

void THintBar::timerTick()
{
    if (m_suppressed) {
        m_timer->stop();
        m_suppressed = false;
        return;
    }
    if (m_flashMode) {
        m_timer->stop();
        m_flashMode = false;
    } else {
        m_timer->start(m_timerTag);
        m_flashMode = true;
    }
    InvalidateText();
}

// --- geometry, keys, stored settings --------------------------------------

// The bar sits at the bottom of its parent across the parent's whole width,
// unless a layout of the parent places it.
void THintBar::dock()
{
    QWidget *p = parentWidget();
    if (!p || isWindow() || inLayout(p->layout(), this))
        return;
    const QRect want(0, p->height() - height(), p->width(), height());
    if (geometry() != want)
        setGeometry(want);
}

bool THintBar::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == parentWidget() && e->type() == QEvent::Resize)
        dock();
    return QWidget::eventFilter(watched, e);
}

void THintBar::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    dock();
    UpdateLayout();
}

void THintBar::moveEvent(QMoveEvent *e)
{
    QWidget::moveEvent(e);
    dock();
}

bool THintBar::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::ParentAboutToChange:
        if (parentWidget())
            parentWidget()->removeEventFilter(this);
        break;
    case QEvent::ParentChange:
        if (parentWidget())
            parentWidget()->installEventFilter(this);
        dock();
        break;
    case QEvent::DynamicPropertyChange: {
        // Layouts saved by earlier versions of the bar carry settings whose
        // names begin with "Flash"; they are read without error and dropped.
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent *>(e)->propertyName();
        if (name.startsWith("Flash") && property(name.constData()).isValid())
            setProperty(name.constData(), QVariant());
        return true;
    }
    default:
        break;
    }
    return QWidget::event(e);
}

void THintBar::keyPressEvent(QKeyEvent *e)
{
    QWidget::keyPressEvent(e);
    const int key = e->key();
    const bool ours = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_F1;
    if (!ours || (e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return;
    e->accept();
    // A greyed bar or a hidden button takes no keys either.
    if (!m_active)
        return;
    if (key == Qt::Key_F1) {
        HelpClick();
        return;
    }
    const Button *b = key == Qt::Key_Escape ? m_cancel : m_accept;
    if (!b->text().isEmpty())
        run(b->onClick, this);
}
