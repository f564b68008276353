#include "utf8locale.h"

namespace platform {

// Nothing to switch on Windows. The names that pass through the unrar
// library there go through its wide-character entries (ArcNameW, FileNameW,
// RARProcessFileW), which take UTF-16 as it is; no multibyte conversion of
// the C library is on the way, so its locale cannot spoil a name.
Utf8CharacterType::Utf8CharacterType() = default;
Utf8CharacterType::~Utf8CharacterType() = default;

} // namespace platform
