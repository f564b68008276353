#include "zframe.h"

#include <zstd.h>

namespace platform {

std::size_t unpackedFrameSize(const void *packed, std::size_t size)
{
    const unsigned long long n = ZSTD_getFrameContentSize(packed, size);
    if (n == ZSTD_CONTENTSIZE_UNKNOWN || n == ZSTD_CONTENTSIZE_ERROR || n > std::size_t(-1))
        return 0;
    return std::size_t(n);
}

bool unpackFrame(const void *packed, std::size_t size, void *out, std::size_t outSize)
{
    const std::size_t n = ZSTD_decompress(out, outSize, packed, size);
    return !ZSTD_isError(n) && n == outSize;
}

} // namespace platform
