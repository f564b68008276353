#include "pefile.h"

#include "storeio.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace platform {
namespace {

constexpr std::uint64_t kDosHeaderSize = 64, kCoffHeaderSize = 24, kSectionHeaderSize = 40;
constexpr std::uint64_t kCoffSymbolSize = 18;
constexpr std::uint32_t kMaxExports = 65536; // ordinals are 16-bit
constexpr std::size_t kExportDirectory = 0, kCertificateTable = 4;

std::uint32_t le(const unsigned char *p, int size)
{
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

struct Section {
    std::uint32_t address = 0, virtualSize = 0, rawSize = 0, rawOffset = 0;
};

struct Directory {
    std::uint32_t address = 0, size = 0; // a file offset for the certificate table
};

struct Pe {
    PeHeader header;
    std::uint64_t fileSize = 0;
    std::uint64_t headersEnd = 0;    // the end of the section table
    std::uint64_t sizeOfHeaders = 0; // as the optional header gives it
    std::uint64_t symbolsEnd = 0;    // the end of the COFF string table, 0 without one
    std::vector<Section> sections;
    Directory directories[16];
};

// The headers and section table; false when they are not PE or do not fit in
// the file. Nothing here trusts a size: every read is within the file.
bool readPe(NativeFile f, Pe &pe)
{
    const std::int64_t length = fileLength(f);
    unsigned char dos[kDosHeaderSize];
    if (length < std::int64_t(kDosHeaderSize) || !readAt(f, dos, sizeof dos, 0) || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    pe.fileSize = std::uint64_t(length);
    const std::uint64_t nt = le(dos + 0x3C, 4);
    unsigned char coff[kCoffHeaderSize];
    if (nt > pe.fileSize || pe.fileSize - nt < sizeof coff || !readAt(f, coff, sizeof coff, nt)
        || std::memcmp(coff, "PE\0\0", 4) != 0)
        return false;
    pe.header.machine = std::uint16_t(le(coff + 4, 2));
    const std::uint64_t sectionCount = le(coff + 6, 2);
    const std::uint64_t symbols = le(coff + 12, 4), symbolCount = le(coff + 16, 4);
    const std::uint64_t optionalSize = le(coff + 20, 2);
    pe.header.characteristics = std::uint16_t(le(coff + 22, 2));

    const std::uint64_t optional = nt + kCoffHeaderSize, table = optional + optionalSize;
    pe.headersEnd = table + sectionCount * kSectionHeaderSize;
    if (optionalSize < 2 || pe.headersEnd > pe.fileSize)
        return false;
    std::vector<unsigned char> o(optionalSize);
    if (!readAt(f, o.data(), o.size(), optional))
        return false;
    const std::uint32_t magic = le(o.data(), 2);
    if (magic != 0x10B && magic != 0x20B)
        return false;
    pe.header.is64 = magic == 0x20B;
    const std::uint64_t directoriesAt = pe.header.is64 ? 112 : 96;
    if (optionalSize < directoriesAt)
        return false;
    pe.sizeOfHeaders = le(o.data() + 60, 4);
    const std::uint64_t directoryCount = std::min<std::uint64_t>(
        {le(o.data() + directoriesAt - 4, 4), 16, (optionalSize - directoriesAt) / 8});
    for (std::uint64_t i = 0; i < directoryCount; ++i)
        pe.directories[i] = {le(o.data() + directoriesAt + 8 * i, 4), le(o.data() + directoriesAt + 8 * i + 4, 4)};

    std::vector<unsigned char> s(sectionCount * kSectionHeaderSize);
    if (!s.empty() && !readAt(f, s.data(), s.size(), table))
        return false;
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        const unsigned char *e = s.data() + i * kSectionHeaderSize;
        pe.sections.push_back({le(e + 12, 4), le(e + 8, 4), le(e + 16, 4), le(e + 20, 4)});
    }

    // The COFF symbol table, then the string table, which starts with its
    // own size (4 counts the size field alone). Long section names live there.
    if (symbols != 0) {
        pe.symbolsEnd = symbols + symbolCount * kCoffSymbolSize;
        unsigned char size[4];
        if (pe.symbolsEnd <= pe.fileSize - std::min<std::uint64_t>(pe.fileSize, 4)
            && readAt(f, size, 4, pe.symbolsEnd))
            pe.symbolsEnd += std::max<std::uint32_t>(le(size, 4), 4);
    }
    return true;
}

// The file offset of len bytes at the relative virtual address rva, when all
// of them are in one section's bytes in the file.
bool fileOffset(const Pe &pe, std::uint64_t rva, std::uint64_t len, std::uint64_t &offset)
{
    for (const Section &s : pe.sections) {
        const std::uint64_t inFile = s.virtualSize ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
        if (rva < s.address || rva - s.address >= inFile || len > inFile - (rva - s.address))
            continue;
        offset = s.rawOffset + (rva - s.address);
        return offset <= pe.fileSize && len <= pe.fileSize - offset;
    }
    return false;
}

bool readRva(NativeFile f, const Pe &pe, std::uint64_t rva, std::vector<unsigned char> &out, std::uint64_t len)
{
    std::uint64_t offset = 0;
    if (!fileOffset(pe, rva, len, offset))
        return false;
    out.resize(len);
    return len == 0 || readAt(f, out.data(), len, offset);
}

// The zero-terminated name at rva, when it ends within limit bytes.
bool readName(NativeFile f, const Pe &pe, std::uint64_t rva, std::size_t limit, std::string &name)
{
    std::uint64_t offset = 0;
    if (!fileOffset(pe, rva, 1, offset))
        return false;
    char buf[128];
    const std::size_t n = std::size_t(std::min<std::uint64_t>({limit + 1, sizeof buf, pe.fileSize - offset}));
    if (!readAt(f, buf, n, offset))
        return false;
    const void *end = std::memchr(buf, '\0', n);
    if (!end)
        return false;
    name.assign(buf, std::size_t(static_cast<const char *>(end) - buf));
    return true;
}

} // namespace

bool readPeHeader(NativeFile f, PeHeader &header)
{
    Pe pe;
    if (!readPe(f, pe))
        return false;
    header = pe.header;
    return true;
}

std::int64_t peImageLength(NativeFile f)
{
    Pe pe;
    if (!readPe(f, pe))
        return -1;
    std::uint64_t end = std::max({pe.headersEnd, pe.sizeOfHeaders, pe.symbolsEnd});
    for (const Section &s : pe.sections)
        if (s.rawSize != 0) // uninitialised data has no bytes in the file
            end = std::max(end, std::uint64_t(s.rawOffset) + s.rawSize);
    return std::int64_t(end);
}

std::int64_t peCertificateOffset(NativeFile f)
{
    Pe pe;
    if (!readPe(f, pe))
        return -1;
    const Directory &c = pe.directories[kCertificateTable];
    return c.size != 0 && std::uint64_t(c.address) + c.size == pe.fileSize ? std::int64_t(c.address) : -1;
}

bool missingPeExports(NativeFile f, const std::vector<std::string> &wanted, std::vector<std::string> &missing,
                      std::string &why)
{
    Pe pe;
    if (!readPe(f, pe)) {
        why = "not a PE file";
        return false;
    }
    const Directory &d = pe.directories[kExportDirectory];
    std::vector<unsigned char> dir, functions, names, ordinals;
    bool ok = d.size != 0 && readRva(f, pe, d.address, dir, 40);
    const std::uint32_t functionCount = ok ? le(dir.data() + 20, 4) : 0, nameCount = ok ? le(dir.data() + 24, 4) : 0;
    ok = ok && functionCount <= kMaxExports && nameCount <= kMaxExports
        && readRva(f, pe, le(dir.data() + 28, 4), functions, 4 * std::uint64_t(functionCount))
        && readRva(f, pe, le(dir.data() + 32, 4), names, 4 * std::uint64_t(nameCount))
        && readRva(f, pe, le(dir.data() + 36, 4), ordinals, 2 * std::uint64_t(nameCount));
    if (!ok) {
        why = "it has no readable export table";
        return false;
    }

    std::size_t longest = 0;
    for (const std::string &w : wanted)
        longest = std::max(longest, w.size());
    const std::unordered_set<std::string> want(wanted.begin(), wanted.end());
    std::unordered_set<std::string> exported;
    std::string name;
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::uint32_t ordinal = le(ordinals.data() + 2 * i, 2);
        // A name counts only with an address behind it (0: no function).
        if (ordinal >= functionCount || le(functions.data() + 4 * ordinal, 4) == 0)
            continue;
        if (readName(f, pe, le(names.data() + 4 * i, 4), longest, name) && want.count(name))
            exported.insert(name);
    }
    missing.clear();
    for (const std::string &w : wanted)
        if (!exported.count(w))
            missing.push_back(w);
    return true;
}

} // namespace platform
