#include "resstore.h"

#include <QtEndian>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::uint64_t kMaxIndexSize = 16 * 1024 * 1024;
constexpr int kEntryFixedSize = 4 + 2 + 8 + 8 + 4;

// Slice-by-8 tables, built once.
struct CrcTables {
    std::array<std::array<std::uint32_t, 256>, 8> t {};
    CrcTables()
    {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s)
                t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

const CrcTables &crcTables()
{
    static const CrcTables tables;
    return tables;
}

// Little-endian or big-endian field of an ELF header.
std::uint64_t field(const unsigned char *p, int size, bool bigEndian)
{
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= std::uint64_t(p[bigEndian ? size - 1 - i : i]) << (8 * i);
    return v;
}

template <typename T> void put(QByteArray &out, T v)
{
    const T le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char *>(&le), sizeof le);
}

template <typename T> T get(const char *p)
{
    return qFromLittleEndian<T>(reinterpret_cast<const uchar *>(p));
}

} // namespace

std::uint32_t crc32(std::uint32_t crc, const void *data, std::size_t len)
{
    const auto &t = crcTables().t;
    auto p = static_cast<const unsigned char *>(data);
    crc = ~crc;
    while (len >= 8) {
        const std::uint32_t a = crc ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
                                       | std::uint32_t(p[3]) << 24);
        crc = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^ t[3][p[4]]
            ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        len -= 8;
    }
    while (len--)
        crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::int64_t elfImageLength(int fd)
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

// Repeats a transfer until len bytes are done; step(left) moves at most left
// bytes and returns the count, retried on EINTR, failing on 0 or an error.
template <typename Step>
static bool transferAll(std::size_t len, Step step)
{
    while (len > 0) {
        const ssize_t n = step(len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        len -= std::size_t(n);
    }
    return true;
}

bool readAt(int fd, void *buf, std::size_t len, std::uint64_t offset)
{
    auto p = static_cast<char *>(buf);
    return transferAll(len, [&](std::size_t left) {
        const ssize_t n = ::pread(fd, p, left, off_t(offset));
        if (n > 0) {
            p += n;
            offset += std::uint64_t(n);
        }
        return n;
    });
}

bool writeAll(int fd, const void *buf, std::size_t len)
{
    auto p = static_cast<const char *>(buf);
    return transferAll(len, [&](std::size_t left) {
        const ssize_t n = ::write(fd, p, left);
        if (n > 0)
            p += n;
        return n;
    });
}

bool crcOfRange(int fd, std::uint64_t offset, std::uint64_t len, std::uint32_t &crc)
{
    std::vector<char> buf(std::min<std::uint64_t>(len, kBufferSize));
    crc = 0;
    while (len > 0) {
        const std::size_t n = std::min<std::uint64_t>(len, buf.size());
        if (!readAt(fd, buf.data(), n, offset))
            return false;
        crc = crc32(crc, buf.data(), n);
        offset += n;
        len -= n;
    }
    return true;
}

CopyStatus copyRange(int inFd, std::uint64_t offset, std::uint64_t len, int outFd)
{
    // The kernel copies in one request where it can; a refusal (other file
    // systems, old kernels) or an error falls through to the next way, and the
    // buffer way tells a read failure from a write failure.
    off_t off = off_t(offset);
    bool kernel = true, viaSendfile = false;
    while (len > 0 && kernel) {
        const std::size_t want = std::min<std::uint64_t>(len, 0x7FFFF000);
        const ssize_t n = viaSendfile ? ::sendfile(outFd, inFd, &off, want)
                                      : ::copy_file_range(inFd, &off, outFd, nullptr, want, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0) {
            len -= std::uint64_t(n);
            continue;
        }
        if (n == 0)
            return CopyStatus::ReadFailed; // the source ends early
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
            return CopyStatus::WriteFailed;
        if (viaSendfile)
            kernel = false;
        viaSendfile = true;
    }
    std::vector<char> buf(std::min<std::uint64_t>(len, kBufferSize));
    while (len > 0) {
        const std::size_t n = std::min<std::uint64_t>(len, buf.size());
        if (!readAt(inFd, buf.data(), n, std::uint64_t(off)))
            return CopyStatus::ReadFailed;
        if (!writeAll(outFd, buf.data(), n))
            return CopyStatus::WriteFailed;
        off += off_t(n);
        len -= n;
    }
    return CopyStatus::Ok;
}

// ---- reading a store ----

ResourceStore::~ResourceStore() { close(); }

void ResourceStore::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

ResourceStore::Status ResourceStore::fail(Status s, const QString &why)
{
    m_status = s;
    m_error = s == Unreadable ? QStringLiteral("Cannot open file %1").arg(m_shown)
                              : QStringLiteral("The installer file %1 is damaged: %2.").arg(m_shown, why);
    m_resources.clear();
    return s;
}

ResourceStore::Status ResourceStore::open(const QString &hostPath, const QString &displayName)
{
    close();
    m_path = hostPath;
    m_shown = displayName.isEmpty() ? hostPath : displayName;
    m_error.clear();
    m_resources.clear();
    m_fd = ::open(hostPath.toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(Unreadable, {});
    const std::uint64_t size = std::uint64_t(st.st_size);

    char trailer[kStoreTrailerSize];
    const bool hasTrailer = size >= std::uint64_t(kStoreTrailerSize)
        && readAt(m_fd, trailer, sizeof trailer, size - kStoreTrailerSize)
        && std::memcmp(trailer, kStoreMagic, sizeof kStoreMagic) == 0;
    if (!hasTrailer) {
        const std::int64_t image = elfImageLength(m_fd);
        if (image >= 0 && std::uint64_t(image) > size)
            return fail(Damaged, QStringLiteral("it is shorter than its own program image"));
        if (image >= 0 && std::uint64_t(image) < size)
            return fail(Damaged, QStringLiteral("its resource store has no end (the file is truncated)"));
        m_status = Plain;
        return m_status;
    }
    if (get<quint32>(trailer + 8) != kStoreVersion)
        return fail(Damaged, QStringLiteral("unknown resource store version %1").arg(get<quint32>(trailer + 8)));
    return readIndex(trailer, size) ? (m_status = Valid) : m_status;
}

bool ResourceStore::readIndex(const char *trailer, std::uint64_t fileSize)
{
    const quint32 indexCrc = get<quint32>(trailer + 12);
    const quint64 indexOffset = get<quint64>(trailer + 16), indexSize = get<quint64>(trailer + 24);
    const QString badIndex = QStringLiteral("its resource index is damaged");
    if (indexSize < 4 || indexSize > kMaxIndexSize || indexOffset + indexSize + kStoreTrailerSize != fileSize)
        return fail(Damaged, badIndex), false;
    QByteArray index(qsizetype(indexSize), Qt::Uninitialized);
    if (!readAt(m_fd, index.data(), indexSize, indexOffset) || crc32(0, index.constData(), indexSize) != indexCrc)
        return fail(Damaged, badIndex), false;

    const std::int64_t image = elfImageLength(m_fd);
    std::uint64_t nextFree = image > 0 ? std::uint64_t(image) : 0;
    const char *p = index.constData(), *end = p + index.size();
    const quint32 count = get<quint32>(p);
    p += 4;
    for (quint32 i = 0; i < count; ++i) {
        if (end - p < kEntryFixedSize)
            return fail(Damaged, badIndex), false;
        StoredResource r;
        r.type = get<quint32>(p);
        const quint16 nameLen = get<quint16>(p + 4);
        p += 6;
        if (nameLen == 0 || end - p < nameLen + kEntryFixedSize - 6)
            return fail(Damaged, badIndex), false;
        r.name = QString::fromUtf8(p, nameLen);
        p += nameLen;
        r.offset = get<quint64>(p);
        r.size = get<quint64>(p + 8);
        r.crc = get<quint32>(p + 16);
        p += 20;
        // Resources lie one after another between the image and the index.
        if (r.offset < nextFree || r.size > indexOffset || r.offset > indexOffset - r.size)
            return fail(Damaged, badIndex), false;
        nextFree = r.offset + r.size;
        m_resources.append(r);
    }
    if (p != end)
        return fail(Damaged, badIndex), false;
    return true;
}

const StoredResource *ResourceStore::find(std::uint32_t type, const QString &name) const
{
    for (const StoredResource &r : m_resources)
        if (r.type == type && r.name == name)
            return &r;
    return nullptr;
}

ResourceStore::CopyResult ResourceStore::copyTo(const StoredResource &res, int outFd)
{
    std::uint32_t crc = 0;
    if (!crcOfRange(m_fd, res.offset, res.size, crc)) {
        m_error = QStringLiteral("Cannot read resource %1 from the installer file %2").arg(res.name, m_shown);
        return ReadFailed;
    }
    if (crc != res.crc) {
        m_error = QStringLiteral("The installer file %1 is damaged: resource %2 fails its CRC check.")
                      .arg(m_shown, res.name);
        return CrcMismatch;
    }
    switch (copyRange(m_fd, res.offset, res.size, outFd)) {
    case CopyStatus::Ok:
        return Copied;
    case CopyStatus::ReadFailed:
        m_error = QStringLiteral("Cannot read resource %1 from the installer file %2").arg(res.name, m_shown);
        return ReadFailed;
    case CopyStatus::WriteFailed:
        break;
    }
    m_error = QStringLiteral("Stream write error");
    return WriteFailed;
}

// ---- writing a store ----

bool ResourceStoreWriter::begin(const QString &name, std::uint64_t &offset)
{
    const QByteArray utf8 = name.toUtf8();
    if (utf8.isEmpty() || utf8.size() > 0xFFFF) {
        m_error = QStringLiteral("Bad resource name \"%1\"").arg(name);
        return false;
    }
    for (const StoredResource &r : m_resources)
        if (r.name == name) {
            m_error = QStringLiteral("Resource %1 is given twice").arg(name);
            return false;
        }
    const off_t pos = ::lseek(m_fd, 0, SEEK_END);
    if (pos < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    offset = std::uint64_t(pos);
    return true;
}

bool ResourceStoreWriter::addBytes(std::uint32_t type, const QString &name, const QByteArray &bytes)
{
    std::uint64_t offset = 0;
    if (!begin(name, offset))
        return false;
    if (!writeAll(m_fd, bytes.constData(), std::size_t(bytes.size()))) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_resources.append({type, name, offset, std::uint64_t(bytes.size()), crc32(0, bytes.constData(), bytes.size())});
    return true;
}

bool ResourceStoreWriter::addFromFile(std::uint32_t type, const QString &name, int srcFd, std::uint64_t offset,
                                      std::uint64_t size)
{
    StoredResource r {type, name, 0, size, 0};
    if (!begin(name, r.offset))
        return false;
    if (!crcOfRange(srcFd, offset, size, r.crc)) {
        m_error = QStringLiteral("Cannot read the bytes of %1").arg(name);
        return false;
    }
    const CopyStatus s = copyRange(srcFd, offset, size, m_fd);
    if (s != CopyStatus::Ok) {
        m_error = s == CopyStatus::ReadFailed ? QStringLiteral("Cannot read the bytes of %1").arg(name)
                                              : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_resources.append(r);
    return true;
}

bool ResourceStoreWriter::finish()
{
    QByteArray index;
    put<quint32>(index, quint32(m_resources.size()));
    for (const StoredResource &r : m_resources) {
        const QByteArray name = r.name.toUtf8();
        put<quint32>(index, r.type);
        put<quint16>(index, quint16(name.size()));
        index.append(name);
        put<quint64>(index, r.offset);
        put<quint64>(index, r.size);
        put<quint32>(index, r.crc);
    }
    const off_t pos = ::lseek(m_fd, 0, SEEK_END);
    QByteArray trailer(kStoreMagic, sizeof kStoreMagic);
    put<quint32>(trailer, kStoreVersion);
    put<quint32>(trailer, crc32(0, index.constData(), std::size_t(index.size())));
    put<quint64>(trailer, quint64(pos));
    put<quint64>(trailer, quint64(index.size()));
    index.append(trailer);
    if (pos < 0 || !writeAll(m_fd, index.constData(), std::size_t(index.size()))) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace platform
