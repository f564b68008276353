#pragma once
// The designed layouts name Windows fonts and give heights the Windows way:
// a positive height is the whole cell (ascent + descent) in pixels, a
// negative one the character height without internal leading. These helpers
// map the faces to installed metric twins and pick matching pixel sizes.
#include <QFont>
#include <QString>

namespace Fonts {

// Registers the face substitutions; called once at start-up (idempotent).
void installSubstitutions();

// The installed family that stands in for a designed face.
QString hostFamily(const QString &face);

// A font of the designed face and height (see above), bold/italic as given.
QFont make(const QString &face, int height, bool bold = false, bool italic = false);

// Pixel size whose rendered line height comes closest to the cell height.
int pixelSizeForCell(const QString &face, int cellHeight, bool bold, bool italic);

// Windows point size to the same font at 96 dpi (11 pt = -15 px).
QFont withPointSize(const QFont &font, int points);

} // namespace Fonts
