#pragma once
// Progress gauge: a filled bar (horizontal or vertical), a pie, a needle or
// bare text, with the percentage written across it in inverted colours.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

// Off-screen bitmap used while painting.
class TBltBitmap : public QImage {
public:
    TBltBitmap() = default;
    // Takes the size of the source and fills the whole bitmap with the
    // system's window-frame colour.
    void MakeLike(const QImage &source);
};

class TGauge : public QWidget {
    Q_OBJECT
public:
    enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
    Q_ENUM(TGaugeKind)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

private:
    Q_PROPERTY(TGaugeKind Kind READ kind WRITE setKind)
    Q_PROPERTY(bool ShowText READ showText WRITE setShowText)
    Q_PROPERTY(TBorderStyle BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(QColor Color READ color WRITE setColor)
    Q_PROPERTY(QColor ForeColor READ foreColor WRITE setForeColor)
    Q_PROPERTY(QColor BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(qint32 MinValue READ minValue WRITE setMinValue)
    Q_PROPERTY(qint32 MaxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(qint32 Progress READ progress WRITE setProgress)
    Q_PROPERTY(int PercentDone READ percentDone)

public:
    explicit TGauge(QWidget *parent = nullptr);

    TGaugeKind kind() const { return m_kind; }
    void setKind(TGaugeKind k);
    bool showText() const { return m_showText; }
    void setShowText(bool on);
    TBorderStyle borderStyle() const { return m_border; }
    void setBorderStyle(TBorderStyle b);
    // Background of the pie and the needle; follows the parent's colour
    // until it is set.
    QColor color() const;
    void setColor(const QColor &c);
    QColor foreColor() const { return m_fore; }
    void setForeColor(const QColor &c);
    QColor backColor() const { return m_back; }
    void setBackColor(const QColor &c);

    qint32 minValue() const { return m_min; }
    void setMinValue(qint32 v); // EInvalidOperation when above MaxValue
    qint32 maxValue() const { return m_max; }
    void setMaxValue(qint32 v); // EInvalidOperation when below MinValue
    qint32 progress() const { return m_progress; }
    void setProgress(qint32 v); // clamped into MinValue..MaxValue
    int percentDone() const;

    // While a stored layout is applied the bounds are not checked against
    // each other, so the values may arrive in any order.
    bool loading() const { return m_loading; }
    void setLoading(bool on);

    // Paint events handled so far (lets callers verify that nothing was
    // redrawn when the visible value stayed the same).
    int paintCount() const { return m_paintCount; }

    // The whole picture as the gauge shows it at its current size.
    QImage render() const;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void changed();

    TGaugeKind m_kind = gkHorizontalBar;
    bool m_showText = true;
    TBorderStyle m_border = bsSingle;
    QColor m_fore = QColor(0, 0, 0);
    QColor m_back = QColor(255, 255, 255);
    qint32 m_min = 0;
    qint32 m_max = 100;
    qint32 m_progress = 0;
    bool m_loading = false;
    int m_paintCount = 0;
};

// Puts every gauge created during its lifetime into the loading state and
// ends that state when it goes out of scope, i.e. when the form that applies
// its stored layout (setupUi) is built:
//   { GaugeFormLoading loading; ui.setupUi(this); }
class GaugeFormLoading {
public:
    GaugeFormLoading();
    ~GaugeFormLoading();
    GaugeFormLoading(const GaugeFormLoading &) = delete;
    GaugeFormLoading &operator=(const GaugeFormLoading &) = delete;

private:
    friend class TGauge;
    QList<QPointer<TGauge>> m_gauges;
    GaugeFormLoading *m_outer;
};

// Geometry and text of the drawing, as plain functions. Rectangles are given
// by their edges and exclude the right and bottom ones.
namespace GaugeGeometry {

struct Edges {
    int left, top, right, bottom;
};

// Whole percentage, truncated toward zero, of progress within min..max
// (0 when the span is empty), computed in extended precision.
int percent(qint32 min, qint32 max, qint32 progress);
// "%d%%".
QString percentText(int percent);
// Client rectangle, shrunk by one pixel on every side with a frame.
Edges paintRect(QSize client, bool framed);
// Filled width of a horizontal bar of paint rectangle r (may reach W).
int horizontalFill(const Edges &r, int percent);
// Filled height of a vertical bar (at most H - 1).
int verticalFill(const Edges &r, int percent);
// Start of the pie's filled sector (it ends at the top, (W div 2, 0)).
QPoint pieStart(int w, int h, int percent);
// End of the needle, which starts at (controlWidth div 2, bottom - 1).
QPoint needleTip(int controlWidth, int bottom, int percent);
// The font the percentage is written in: the gauge's font in whole pixels
// (they invert cleanly), one pixel between the letters so that bold glyphs
// of a small font do not run into each other.
QFont textFont(const QFont &gaugeFont);
// Where the percentage text goes, from the image's origin.
QPoint textOrigin(const Edges &r, QSize text);
// Nearest integer, halves to the even neighbour.
int nearest(long double v);

} // namespace GaugeGeometry
