#pragma once
// Geometry of the message dialog as plain functions: the areas of its
// panels, the fit of the text, the spreading of the buttons, the T-A-K row
// and the placement of the window. Sizes are pixels; "window" sizes are the
// outer size (client + frame), every division truncates toward zero.
#include <QFont>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace MsgLayout {

// Designed measures.
constexpr int DesignClientWidth = 400;
constexpr int DesignClientHeight = 219;
constexpr int LeftColumnWidth = 41;
constexpr int RightColumnWidth = 40;
constexpr int ButtonRowHeight = 50;
constexpr int TakPanelHeight = 80;
constexpr int FrameInset = 6;  // Panel3: inner bevel 1 + border 5
constexpr int TextInset = 4;   // Panel2: outer bevel 1 + border 3
constexpr int ButtonTop = 12;
constexpr int ButtonHeight = 26;

// Which of the optional panels take part in the layout.
struct Parts {
    bool pictures = true;  // panLewy and panPrawy
    bool buttonRow = true; // panBtns
    bool takPanel = false; // panTAK
};

// Rectangles in the client area of the dialog (Panel2 is inside Panel3).
struct Areas {
    QRect panLewy, panPrawy, panel3, panel2, panBtns, panTAK;
};
Areas areas(QSize client, const Parts &parts);

// The size of an auto-sized label: its text laid out in the font, wrapped at
// wrapWidth (no wrapping when wrapWidth <= 0); never lower than one line.
QSize measureLabel(const QFont &font, const QString &text, int wrapWidth, Qt::Alignment align);

// Input and result of fitting the text to the window.
struct TextInput {
    QString text;          // the caption of lbl, line breaks as "\r" or "\n"
    QFont font;            // lbl's font
    Qt::Alignment align = Qt::AlignHCenter;
    bool secondVisible = false;
    QString second;        // the caption of lbl2
    QFont secondFont;
};
struct TextFit {
    QSize client;          // the new client size of the dialog
    QFont font;            // lbl's font (11 points when the text was too big)
    bool multiLine = false;
    QRect lbl;             // in Panel2
    QRect lbl2;            // in Panel2 (empty when hidden)
};
TextFit fitText(QSize client, const Parts &parts, const TextInput &in);

// Spreads the visible buttons (their widths, in display order) over the row:
// widens the window to total + 30 if needed, then n + 1 equal gaps.
struct ButtonRow {
    int windowWidth = 0;
    QList<int> lefts;
};
ButtonRow spreadButtons(int windowWidth, int frameWidth, const QList<int> &widths);

// The T-A-K row: window at least 400 wide, caption centred, three equal gaps.
struct TakRow {
    int windowWidth = 0;
    int captionLeft = 0;
    int groupLeft = 0; // pTAK
    int refuseLeft = 0; // btnN
};
constexpr int TakGroupWidth = 101;
constexpr int RefuseWidth = 100;
TakRow takRow(int windowWidth, int frameWidth, int captionWidth);

// Centres a window of the given outer size over the area (not clamped).
QPoint place(const QRect &area, QSize window);

} // namespace MsgLayout
