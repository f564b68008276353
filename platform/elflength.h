#pragma once
// Length of an executable image from its ELF headers.
#include "filehandle.h"

#include <cstdint>

namespace platform {

// The furthest byte any header, segment or section of the ELF file open on fd
// covers; -1 when the bytes are not ELF. Headers that cannot be read (a file
// cut short) leave the table ends as the file header gives them.
std::int64_t elfImageLength(NativeFile fd);

} // namespace platform
