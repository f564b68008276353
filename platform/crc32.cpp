#include "crc32.h"

#include <libdeflate.h>

namespace platform {

std::uint32_t crc32(std::uint32_t crc, const void *data, std::size_t len)
{
    return libdeflate_crc32(crc, data, len);
}

} // namespace platform
