#include "elfsymbols.h"

#include "storeio.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace platform {
namespace {

constexpr std::uint32_t kShtDynsym = 11;
constexpr std::uint64_t kMaxTable = 64 * 1024 * 1024;

std::uint64_t field(const unsigned char *p, int size, bool bigEndian)
{
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= std::uint64_t(p[bigEndian ? size - 1 - i : i]) << (8 * i);
    return v;
}

struct Section {
    std::uint32_t type = 0, link = 0;
    std::uint64_t offset = 0, size = 0, entsize = 0;
};

bool readSection(NativeFile fd, const ElfHeader &h, std::uint64_t shoff, std::uint64_t shentsize, std::uint64_t i,
                 Section &s)
{
    unsigned char e[64];
    const std::uint64_t need = h.is64 ? 64 : 40;
    if (shentsize < need || i > (UINT64_MAX - shoff) / shentsize || !readAt(fd, e, need, shoff + i * shentsize))
        return false;
    const bool be = h.bigEndian;
    s.type = std::uint32_t(field(e + 4, 4, be));
    s.offset = h.is64 ? field(e + 0x18, 8, be) : field(e + 0x10, 4, be);
    s.size = h.is64 ? field(e + 0x20, 8, be) : field(e + 0x14, 4, be);
    s.link = std::uint32_t(h.is64 ? field(e + 0x28, 4, be) : field(e + 0x18, 4, be));
    s.entsize = h.is64 ? field(e + 0x38, 8, be) : field(e + 0x24, 4, be);
    return true;
}

bool readTable(NativeFile fd, const Section &s, std::uint64_t fileSize, std::string &out)
{
    if (s.size > kMaxTable || s.offset > fileSize || s.size > fileSize - s.offset)
        return false;
    out.resize(s.size);
    return readAt(fd, out.data(), s.size, s.offset);
}

} // namespace

bool readElfHeader(NativeFile fd, ElfHeader &header)
{
    unsigned char h[20];
    if (!readAt(fd, h, sizeof h, 0) || std::memcmp(h, "\x7F" "ELF", 4) != 0 || (h[4] != 1 && h[4] != 2)
        || (h[5] != 1 && h[5] != 2))
        return false;
    header.is64 = h[4] == 2;
    header.bigEndian = h[5] == 2;
    header.type = std::uint16_t(field(h + 16, 2, header.bigEndian));
    header.machine = std::uint16_t(field(h + 18, 2, header.bigEndian));
    return true;
}

bool missingDynamicSymbols(NativeFile fd, const std::vector<std::string> &wanted, std::vector<std::string> &missing,
                           std::string &why)
{
    ElfHeader h;
    unsigned char e[64];
    const std::int64_t length = fileLength(fd);
    if (!readElfHeader(fd, h) || length < 0 || !readAt(fd, e, h.is64 ? 64 : 52, 0)) {
        why = "not an ELF file";
        return false;
    }
    const std::uint64_t fileSize = std::uint64_t(length);
    const bool be = h.bigEndian;
    const std::uint64_t shoff = h.is64 ? field(e + 0x28, 8, be) : field(e + 0x20, 4, be);
    const std::uint64_t shentsize = field(e + (h.is64 ? 0x3A : 0x2E), 2, be);
    const std::uint64_t shnum = field(e + (h.is64 ? 0x3C : 0x30), 2, be);

    Section dynsym, strtab;
    bool found = false;
    for (std::uint64_t i = 0; i < shnum && !found; ++i)
        found = readSection(fd, h, shoff, shentsize, i, dynsym) && dynsym.type == kShtDynsym;
    const std::uint64_t symSize = h.is64 ? 24 : 16;
    std::string syms, names;
    if (!found || dynsym.link >= shnum || dynsym.entsize < symSize
        || !readSection(fd, h, shoff, shentsize, dynsym.link, strtab) || !readTable(fd, dynsym, fileSize, syms)
        || !readTable(fd, strtab, fileSize, names)) {
        why = "it has no readable dynamic symbol table";
        return false;
    }

    std::unordered_set<std::string> defined;
    const std::unordered_set<std::string> want(wanted.begin(), wanted.end());
    for (std::uint64_t off = 0; off + symSize <= syms.size(); off += dynsym.entsize) {
        const auto *s = reinterpret_cast<const unsigned char *>(syms.data() + off);
        const std::uint64_t name = field(s, 4, be);
        const unsigned info = h.is64 ? s[4] : s[12];
        const std::uint64_t shndx = field(s + (h.is64 ? 6 : 14), 2, be);
        const unsigned bind = info >> 4;
        if (shndx == 0 || (bind != 1 && bind != 2 && bind != 10) || name >= names.size())
            continue;
        const char *start = names.data() + name;
        const std::string n(start, strnlen(start, names.size() - name));
        if (want.count(n))
            defined.insert(n);
    }
    missing.clear();
    for (const std::string &w : wanted)
        if (!defined.count(w))
            missing.push_back(w);
    return true;
}

} // namespace platform
