#include "HintBar.h"

#include "Fonts.h"

#include <QDynamicPropertyChangeEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

namespace {

constexpr int ButtonHeight = 20;
constexpr int ButtonGap = 3;
constexpr int PictureMargin = 2;
const QColor Yellow(0xFF, 0xFF, 0x00);
const QColor Silver(0xC0, 0xC0, 0xC0);

const char *const TagNames[] = {"RED", "YELLOW", "WHITE", "NORMAL"};

// The name of the tag that starts at text[pos], or nullptr.
const char *tagAt(const QString &text, qsizetype pos)
{
    if (text.at(pos) != u'#')
        return nullptr;
    for (const char *name : TagNames) {
        const QLatin1StringView n(name);
        if (QStringView(text).mid(pos + 1).startsWith(n) && text.size() > pos + 1 + n.size()
            && text.at(pos + 1 + n.size()) == u'#')
            return name;
    }
    return nullptr;
}

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

HintBarLayout computeHintBarLayout(int barWidth, int barHeight, int btnWidth, bool helpButton,
                                   bool acceptShown, bool cancelShown)
{
    HintBarLayout l;
    l.margin = (barHeight - ButtonHeight) / 2; // C++ division truncates toward zero
    const int top = l.margin;
    l.textLeft = l.margin;
    l.help = QRect(l.textLeft, top, btnWidth, helpButton ? ButtonHeight : 0);
    if (helpButton)
        l.textLeft += btnWidth + ButtonGap;
    l.textRight = barWidth - l.margin;
    l.cancel = QRect(cancelShown ? l.textRight - btnWidth : 0, top, btnWidth, cancelShown ? ButtonHeight : 0);
    if (cancelShown)
        l.textRight -= btnWidth + ButtonGap;
    l.accept = QRect(acceptShown ? l.textRight - btnWidth : 0, top, btnWidth, acceptShown ? ButtonHeight : 0);
    if (acceptShown)
        l.textRight -= btnWidth + ButtonGap;
    return l;
}

bool SplitAtTag(QString &text, QString &segment, QString &tag)
{
    // A tag at the very start is found as well: it splits off an empty segment.
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (const char *name = tagAt(text, i)) {
            segment = text.left(i);
            tag = QString::fromLatin1(name);
            text = text.mid(i + tag.size() + 2);
            return true;
        }
    }
    segment = text;
    tag.clear();
    text.clear();
    return false;
}

QString StripTags(const QString &text)
{
    QString rest = text, segment, tag, out;
    bool found;
    do {
        found = SplitAtTag(rest, segment, tag);
        out += segment;
    } while (found);
    return out;
}

HintBarFont SelectFont(bool centre, bool active, bool errorState, bool flashMode)
{
    static const QFont flashFont = Fonts::make(QStringLiteral("MS Sans Serif"), 12, true);
    static const QFont centreFont = Fonts::make(QStringLiteral("MS Sans Serif"), 16, true);
    static const QFont sideFont = Fonts::make(QStringLiteral("Arial"), 16, true);
    HintBarFont f;
    f.font = flashMode ? flashFont : centre ? centreFont : sideFont;
    if (!active)
        f.color = Silver;
    else if (!centre || flashMode)
        f.color = QColor(0xFF, 0xFF, 0xFF);
    else
        f.color = errorState ? QColor(0xFF, 0x00, 0x00) : QColor(0x00, 0xFF, 0x00);
    return f;
}

int centredTextX(int left, int right, int w)
{
    return std::max(left, (left + right - w) / 2);
}

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
    QColor fontColor = Yellow;
    QPixmap picture;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_bar->barColor());
        const bool down = isDown();
        if (isEnabled() && (down || underMouse())) {
            const QRect r = rect().adjusted(0, 0, -1, -1);
            p.setPen(down ? QColor(0x40, 0x40, 0x40) : Silver);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(down ? Silver : QColor(0x40, 0x40, 0x40));
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
        p.setPen(isEnabled() ? fontColor : Silver);
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
    b->picture = QPixmap(QStringLiteral(":/") + QLatin1String(picture));
    b->setGeometry(0, 0, m_btnWidth, ButtonHeight);
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

template <typename T> static bool store(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
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

// --- painting --------------------------------------------------------------

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
            drawClipped(p, r, x + 1, y + 1, segment, Yellow, nullptr);
        x += fm.horizontalAdvance(segment);
        area.setLeft(x);
        if (tag == QLatin1String("NORMAL"))
            color = centre.color;
        else if (m_active && tag == QLatin1String("RED"))
            color = QColor(0xFF, 0x44, 0x44);
        else if (m_active && tag == QLatin1String("YELLOW"))
            color = QColor(0xFF, 0xFF, 0x44);
        else if (m_active && tag == QLatin1String("WHITE"))
            color = QColor(0xFF, 0xFF, 0xFF);
    } while (found && x < right);
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
