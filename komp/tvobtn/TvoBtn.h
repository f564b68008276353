#pragma once
// Key-cap button: a push button painted entirely by itself. Beside or above
// its caption it shows a small coloured key with the glyph of a keyboard key
// (the key that triggers it), or a picture of the caller's own, or nothing.
// It has a hover look, a pressed look, a permanent down state, a 3-D frame, a
// disabled look, two painting hooks and an accelerator letter ("&W").
#include "Events.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

class TTvoBtn : public QWidget {
    Q_OBJECT
public:
    // The ordinal of a value is the row of its glyph in the glyph strip.
    enum TTvoBtnTyp {
        tbA, tbB, tbC, tbD, tbE, tbF, tbG, tbH, tbI, tbJ, tbK, tbL, tbM, tbN, tbO, tbP, tbR, tbS,
        tbT, tbU, tbW, tbZ,
        tbF1, tbF2, tbF3, tbF4, tbF5, tbF6, tbF7, tbF8, tbF9, tbF10, tbF11, tbF12,
        tbBackspace, tbEnter, tbPlus, tbMinus, tbTab, tbGwiazdka, tbAltBkspc, tb1, tbPusty,
        tbWlasny, tbSlash, tbCtrlC
    };
    Q_ENUM(TTvoBtnTyp)

private:
    Q_PROPERTY(TTvoBtnTyp Typ READ typ WRITE setTyp)
    Q_PROPERTY(int Kolor READ kolor WRITE setKolor)
    Q_PROPERTY(QString Opis READ opis WRITE setOpis)
    Q_PROPERTY(int Margines READ margines WRITE setMargines)
    Q_PROPERTY(QColor ColorDown READ colorDown WRITE setColorDown)
    Q_PROPERTY(bool Down READ down WRITE setDown)
    Q_PROPERTY(QPixmap Ikonka READ ikonka WRITE setIkonka)
    Q_PROPERTY(bool ShowFrame READ showFrame WRITE setShowFrame)
    Q_PROPERTY(QColor Color READ color WRITE setColor)
    Q_PROPERTY(bool ParentColor READ parentColor WRITE setParentColor)
    Q_PROPERTY(int Width READ width WRITE setWidth)
    Q_PROPERTY(int Height READ height WRITE setHeight)

public:
    // Sender, the off-screen canvas, the active flag, the pressed look, and
    // whether the standard content and the frame are to be drawn (in and out).
    using TTvoBtnBPaint = std::function<void(QObject *Sender, QPainter &BtnCanvas, bool Active,
                                             bool Pressed, bool &DrawBtn, bool &DrawFrame)>;
    // Sender, the off-screen canvas, the inner rectangle (shifted by one
    // pixel right and down in the pressed look).
    using TTvoBtnPaint = std::function<void(QObject *Sender, QPainter &BtnCanvas, QRect BtnRect)>;
    using TMouseEvent = std::function<void(QObject *Sender, Qt::MouseButton Button,
                                           Qt::KeyboardModifiers Shift, int X, int Y)>;

    // 40 x 33, hand cursor, Arial bold black 11, no picture. The caption takes
    // the object's name when that is first set while the caption has not been
    // set yet (a widget gets its name only after construction).
    explicit TTvoBtn(QWidget *parent = nullptr);
    ~TTvoBtn() override;

    TTvoBtnTyp typ() const { return m_typ; }
    void setTyp(TTvoBtnTyp t);
    int kolor() const { return m_kolor; }
    void setKolor(int k); // clamped to 0..4
    QString opis() const { return m_opis; }
    void setOpis(const QString &s);
    int margines() const { return m_margines; }
    void setMargines(int m);
    QColor colorDown() const { return m_colorDown; }
    void setColorDown(const QColor &c);
    bool down() const { return m_down; }
    void setDown(bool on);
    // Two pictures of equal size side by side (enabled, disabled); the colour
    // of the top-left pixel is transparent. The button keeps its own copy.
    QPixmap ikonka() const;
    void setIkonka(const QPixmap &p);
    void setIkonka(const QImage &img);
    bool showFrame() const { return m_showFrame; }
    void setShowFrame(bool on);
    // Background while not Down; follows the parent's colour until it is set.
    QColor color() const;
    void setColor(const QColor &c);
    bool parentColor() const { return m_parentColor; }
    void setParentColor(bool on);
    void setWidth(int w) { resize(w, height()); }
    void setHeight(int h) { resize(width(), h); }

    bool active() const { return m_active; }
    bool held() const { return m_held; }
    bool pressedLook() const { return (m_active && m_held) || m_down; }
    // The accelerator letter (upper case), or a null character.
    QChar accelerator() const;

    // Runs the click: OnClick and clicked(); afterwards the hover and held
    // looks are dropped, also when a handler throws.
    void click();
    // The click of a key or of an assistive tool: a handler's error goes to
    // the standard report.
    void clickReporting();

    TNotifyEvent OnClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    std::function<void(QObject *Sender, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseMove;
    TTvoBtnBPaint BeforePaint;
    TTvoBtnPaint OnPaint;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void paintTo(QPainter &p);
    void drawContent(QPainter &p, bool pressed);
    void setActive(bool on);
    void setHeld(bool on);
    void updateShortcuts();
    void hookWindow();
    bool answersAccelerator(QChar c) const;
    QColor parentBackground() const;
    // A handler's error cannot travel through the event loop: the standard
    // report shows it once the current event is done.
    static void reportLater(const std::exception &e);

    TTvoBtnTyp m_typ = tbWlasny;
    int m_kolor = 0;
    QString m_opis;
    bool m_opisSet = false;
    int m_margines = 2;
    QColor m_colorDown;
    QColor m_color;
    bool m_parentColor = true;
    bool m_down = false;
    QImage m_ikonka;       // as given
    QImage m_ikonkaMasked; // transparent colour turned into alpha 0
    bool m_showFrame = true;
    bool m_active = false;
    bool m_held = false;
    bool m_leftDown = false;   // the left button went down here: its release may click
    int m_shortcutId = 0;      // Alt with the accelerator letter
    QPointer<QWidget> m_filtered; // the window whose unclaimed letters are watched
};

using TTvoBtnTyp = TTvoBtn::TTvoBtnTyp;
using enum TTvoBtn::TTvoBtnTyp;

// ---- Layout ------------------------------------------------------------------

namespace TvoBtnLayout {

enum Kind { Vertical, Horizontal, Stacked };

struct Input {
    int width = 40, height = 33;
    int margines = 2;
    bool wlasny = true;      // Typ is tbWlasny
    QSize ikonka;            // size of the whole Ikonka (both halves)
    bool pressed = false;
    int textHeight = 0;      // height of a line of text in the font ("Aj")
};

struct Result {
    Kind kind = Horizontal;
    QSize picture;           // (0, 0) when nothing counts as a picture
    QPoint picturePos;
    QRect text;              // where the caption goes
    int textFlags = 0;       // Qt alignment flags for stacked and horizontal
};

// Vertical when Height > 2 x Width, horizontal when Height < 30, else stacked.
Kind kindFor(int width, int height);
// Picture place and caption rectangle for a button of the given state.
Result compute(const Input &in);
// Where a caption turned upward starts (the top-left corner of its text cell
// before turning): centred across the rectangle, at its bottom edge.
QPoint verticalTextOrigin(const QRect &text, int lineHeight);

} // namespace TvoBtnLayout

// ---- Module-wide pictures ------------------------------------------------------

namespace TvoBtnImages {

// Cuts a strip into one image list per column: cell i of a list is row i of
// that column, with the colour of the strip's top-left pixel made transparent.
std::vector<std::vector<QImage>> cutStrip(const QImage &strip, QSize cell);

struct Lists {
    std::vector<QImage> bgEnabled, bgDisabled;  // 22 x 17, one per Kolor
    std::vector<QImage> fgEnabled, fgDisabled;  // 20 x 13, one per Typ
};
// The four lists, cut from the compiled-in strips when first asked for.
const Lists &lists();

// The 3-D edge around a rectangle: raised or sunken, hover look or not, in
// the application palette's 3-D colours. The set of edges is picked once:
// palettes whose light 3-D colour equals the face colour get stronger edges.
void drawFrame(QPainter &p, const QRect &r, bool active, bool pressed);

} // namespace TvoBtnImages
