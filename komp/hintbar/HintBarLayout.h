#pragma once
// The hint bar's plain computations: where its buttons and text area go, the
// colour tags of the centre text, and the font and colour of each text.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

constexpr int HintBarButtonHeight = 20;
inline const QColor HintBarYellow(0xFF, 0xFF, 0x00);
inline const QColor HintBarSilver(0xC0, 0xC0, 0xC0);

// Where the buttons and the text area go in a bar of the given size. A
// hidden button keeps its place but gets height 0.
struct HintBarLayout {
    int margin = 0;
    QRect help, accept, cancel;
    int textLeft = 0;  // text area, from the bar's left side
    int textRight = 0;
};
HintBarLayout computeHintBarLayout(int barWidth, int barHeight, int btnWidth, bool helpButton,
                                   bool acceptShown, bool cancelShown);

// Splits the text at its first colour tag: segment = the text before it,
// tag = the tag's name, text = what follows the tag. Without a tag the
// segment is the whole text, the tag and the text end up empty; returns
// whether a tag was found.
bool SplitAtTag(QString &text, QString &segment, QString &tag);
// The text without its colour tags, as it is drawn.
QString StripTags(const QString &text);

// Font and colour of the centre text or of the side texts.
struct HintBarFont {
    QFont font;
    QColor color;
};
HintBarFont SelectFont(bool centre, bool active, bool errorState, bool flashMode);

// Left end of a text of width w centred in [left, right]; a text too wide
// for the area starts at its left edge.
int centredTextX(int left, int right, int w);

// The colour of the centre text after a tag: "NORMAL" goes back to normal;
// "RED", "YELLOW" and "WHITE" take their colour on an active bar; anything
// else (and any tag on a greyed bar) keeps the current colour.
QColor colourAfterTag(const QString &tag, bool active, const QColor &normal, const QColor &current);
