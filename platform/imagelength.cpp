#include "imagelength.h"

#include "elflength.h"
#include "pefile.h"

namespace platform {

std::int64_t imageLength(NativeFile f)
{
    const std::int64_t elf = elfImageLength(f);
    return elf >= 0 ? elf : peImageLength(f);
}

} // namespace platform
