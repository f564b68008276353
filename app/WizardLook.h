#pragma once
// The wizard's colours and fonts, control by control, as plain data so that
// tests can hold the window against it.
#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

class QWidget;

struct ControlLook {
    const char *name;   // object name of the control
    const char *face;   // designed font face
    int cellHeight;     // designed line height in pixels
    bool bold;
    bool italic;
    QColor color;       // text colour; invalid = leave as it is
    QColor background;  // invalid = transparent over the page
};

namespace WizardLook {
inline const QColor windowColor{0x00, 0x5D, 0xBE};
inline const QColor pageColor{0xBB, 0x16, 0x00};
inline const QColor desktopColor{0x3A, 0x6E, 0xA5};

const QList<ControlLook> &controls();
// Labels whose size stays as designed whatever their text.
bool hasFixedSize(const char *name);
// A label keeps at least its designed size and grows to show all of its
// text: a centred one about its centre, any other one to the right and down.
QRect fitLabel(const QRect &designed, const QSize &needed, bool centred);
// Gives every control of the window its font and colours.
void apply(QWidget *form);
// The window's own font, which its controls inherit until apply() gives them
// theirs. Set before the controls are made, it is the font they are first
// laid out in, so that no other font is loaded for that first layout.
QFont windowFont();

// The logo picture's light panel lies this many pixels inside the picture
// on every side (a dark rim and a margin in the page colour).
inline constexpr int logoRim = 11;
// A label that continues another one's line (the lead) starts a gap after
// the lead's right edge, or at its designed place when that is further
// right; its right edge stays where it was designed.
QRect followLabel(const QRect &lead, const QRect &designed, int gap);
// The rectangle moved left and up as far as needed to end inside the area
// (never past its left or top edge).
QRect keepInside(const QRect &r, const QRect &area);
// Places the labels whose position depends on others' sizes: the chosen
// folder after its caption, "DEMO" on the logo's panel. After apply() and
// after the logo has its picture.
void arrange(QWidget *form);
} // namespace WizardLook
