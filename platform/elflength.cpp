#include "elflength.h"

#include "storeio.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Little-endian or big-endian field of an ELF header.
std::uint64_t field(const unsigned char *p, int size, bool bigEndian)
{
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= std::uint64_t(p[bigEndian ? size - 1 - i : i]) << (8 * i);
    return v;
}

} // namespace

std::int64_t elfImageLength(NativeFile fd)
{
    unsigned char h[64] = {};
    if (!readAt(fd, h, 52, 0) || std::memcmp(h, "\x7F" "ELF", 4) != 0 || (h[4] != 1 && h[4] != 2)
        || (h[5] != 1 && h[5] != 2))
        return -1;
    const bool is64 = h[4] == 2, be = h[5] == 2;
    if (is64 && !readAt(fd, h, 64, 0))
        return -1;
    auto f = [&](int off32, int off64, int size32, int size64) {
        return is64 ? field(h + off64, size64, be) : field(h + off32, size32, be);
    };
    const std::uint64_t phoff = f(0x1C, 0x20, 4, 8), shoff = f(0x20, 0x28, 4, 8);
    const std::uint64_t ehsize = f(0x28, 0x34, 2, 2);
    const std::uint64_t phentsize = f(0x2A, 0x36, 2, 2), phnum = f(0x2C, 0x38, 2, 2);
    const std::uint64_t shentsize = f(0x2E, 0x3A, 2, 2), shnum = f(0x30, 0x3C, 2, 2);
    std::uint64_t end = ehsize;
    if (phnum)
        end = std::max(end, phoff + phnum * phentsize);
    if (shnum)
        end = std::max(end, shoff + shnum * shentsize);

    // Segments and sections reach as far as their file contents go; headers
    // that cannot be read (a file cut short) leave the table ends above.
    unsigned char e[64];
    for (std::uint64_t i = 0; i < phnum && phentsize <= sizeof e; ++i) {
        if (!readAt(fd, e, phentsize, phoff + i * phentsize))
            break;
        const std::uint64_t off = is64 ? field(e + 8, 8, be) : field(e + 4, 4, be);
        const std::uint64_t sz = is64 ? field(e + 0x20, 8, be) : field(e + 0x10, 4, be);
        end = std::max(end, off + sz);
    }
    for (std::uint64_t i = 0; i < shnum && shentsize <= sizeof e; ++i) {
        if (!readAt(fd, e, shentsize, shoff + i * shentsize))
            break;
        if (field(e + 4, 4, be) == 8) // SHT_NOBITS occupies no file space
            continue;
        const std::uint64_t off = is64 ? field(e + 0x18, 8, be) : field(e + 0x10, 4, be);
        const std::uint64_t sz = is64 ? field(e + 0x20, 8, be) : field(e + 0x14, 4, be);
        end = std::max(end, off + sz);
    }
    return end > std::uint64_t(INT64_MAX) ? INT64_MAX : std::int64_t(end);
}

} // namespace platform
