#pragma once
// The shipped program carries the faces its layouts are drawn with, so that
// the pages look the same on every system, fonts installed there or not.

namespace EmbeddedFonts {

// Registers every face compiled in under :/fonts with the font database;
// returns how many were taken. A build without them registers none (the
// system's fonts then stand in). On Windows the application's default face
// becomes DejaVu Sans 9 pt, the one Linux desktops give. Needs the graphical
// application object.
int registerAll();

} // namespace EmbeddedFonts
