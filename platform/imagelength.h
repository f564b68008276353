#pragma once
// Length of the executable image in a program's file, from its own headers:
// ELF here, PE for the Windows installer (tvo-pack reads both on any system).
#include "filehandle.h"

#include <cstdint>

namespace platform {

// The length of the image of the ELF or PE file open on f (elfImageLength,
// peImageLength); what follows it is not the program's (an appended payload,
// the certificate table of a signed PE file). May exceed the file's length
// when the file is cut short. -1 when the file is neither ELF nor PE.
std::int64_t imageLength(NativeFile f);

} // namespace platform
