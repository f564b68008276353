// Writing a resource store: resources (stored or zstd-compressed, whichever is
// smaller), then the index and the trailer.
#include "resstore.h"
#include "resstore_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <zstd.h>

namespace platform {

using storeformat::put;

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

struct CCtxFree {
    void operator()(ZSTD_CCtx *c) const { ZSTD_freeCCtx(c); }
};

// Source bytes from a file or from memory, one block at a time.
bool readSource(NativeFile srcFd, const void *data, std::uint64_t offset, void *buf, std::size_t n)
{
    if (data) {
        std::memcpy(buf, static_cast<const char *>(data) + offset, n);
        return true;
    }
    return readAt(srcFd, buf, n, offset);
}

} // namespace

bool ResourceStoreWriter::sysFail(const std::string &what)
{
    m_error = what + ": " + std::strerror(errno);
    return false;
}

bool ResourceStoreWriter::begin(const std::string &name, std::uint64_t &offset)
{
    if (name.empty() || name.size() > 0xFFFF) {
        m_error = "Bad resource name \"" + name + "\"";
        return false;
    }
    if (m_names.count(name)) {
        m_error = "Resource " + name + " is given twice";
        return false;
    }
    if (m_indexSize + storeIndexEntrySize(name.size()) > kMaxStoreIndexSize) {
        m_error = "Too many resources: the index would pass its limit of "
            + std::to_string(kMaxStoreIndexSize) + " bytes at " + name;
        return false;
    }
    const std::int64_t pos = seekToEnd(m_fd);
    if (pos < 0)
        return sysFail("Cannot write the store");
    offset = std::uint64_t(pos);
    return true;
}

bool ResourceStoreWriter::writeStored(NativeFile srcFd, const void *data, std::uint64_t offset, StoredResource &r)
{
    const std::size_t cap = std::clamp<std::uint64_t>(r.originalSize, 1, kBufferSize);
    std::unique_ptr<char[]> buf(new char[cap]);
    r.crc = 0;
    for (std::uint64_t done = 0; done < r.originalSize;) {
        const std::size_t n = std::min<std::uint64_t>(r.originalSize - done, cap);
        if (!readSource(srcFd, data, offset + done, buf.get(), n)) {
            m_error = "Cannot read the bytes of " + r.name;
            return false;
        }
        r.crc = crc32(r.crc, buf.get(), n);
        if (!writeAll(m_fd, buf.get(), n))
            return sysFail("Cannot write the store");
        done += n;
    }
    r.method = StoreMethod::Stored;
    r.size = r.originalSize;
    return true;
}

bool ResourceStoreWriter::writeZstd(NativeFile srcFd, const void *data, std::uint64_t offset, StoredResource &r)
{
    std::unique_ptr<ZSTD_CCtx, CCtxFree> cctx(ZSTD_createCCtx());
    if (!cctx || ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, m_level))
        || ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 0))
        || ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(cctx.get(), r.originalSize))) {
        m_error = "Cannot start the compressor for " + r.name;
        return false;
    }
    const std::size_t inCap = ZSTD_CStreamInSize(), outCap = ZSTD_CStreamOutSize();
    std::unique_ptr<char[]> in(new char[inCap]), out(new char[outCap]);
    r.crc = 0;
    r.size = 0;
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t n = std::min<std::uint64_t>(r.originalSize - done, inCap);
        if (n && !readSource(srcFd, data, offset + done, in.get(), n)) {
            m_error = "Cannot read the bytes of " + r.name;
            return false;
        }
        r.crc = crc32(r.crc, in.get(), n);
        done += n;
        const ZSTD_EndDirective mode = done == r.originalSize ? ZSTD_e_end : ZSTD_e_continue;
        ZSTD_inBuffer ib {in.get(), n, 0};
        std::size_t left = 0;
        do {
            ZSTD_outBuffer ob {out.get(), outCap, 0};
            left = ZSTD_compressStream2(cctx.get(), &ob, &ib, mode);
            if (ZSTD_isError(left)) {
                m_error = "Cannot compress " + r.name + ": " + ZSTD_getErrorName(left);
                return false;
            }
            if (!writeAll(m_fd, out.get(), ob.pos))
                return sysFail("Cannot write the store");
            r.size += ob.pos;
        } while (mode == ZSTD_e_end ? left != 0 : ib.pos < ib.size);
        if (mode == ZSTD_e_end)
            break;
    }
    r.method = StoreMethod::Zstd;
    return true;
}

bool ResourceStoreWriter::add(StoredResource r, NativeFile srcFd, const void *data, std::uint64_t srcOffset)
{
    if (!begin(r.name, r.offset))
        return false;
    if (m_level > 0 && r.originalSize > 0) {
        if (!writeZstd(srcFd, data, srcOffset, r))
            return false;
        if (r.size < r.originalSize) {
            m_names.insert(r.name);
            m_indexSize += storeIndexEntrySize(r.name.size());
            m_resources.push_back(std::move(r));
            return true;
        }
        // Not smaller: the compressed bytes go, the plain ones take their place.
        if (!truncateAt(m_fd, r.offset))
            return sysFail("Cannot write the store");
    }
    if (!writeStored(srcFd, data, srcOffset, r))
        return false;
    m_names.insert(r.name);
    m_indexSize += storeIndexEntrySize(r.name.size());
    m_resources.push_back(std::move(r));
    return true;
}

bool ResourceStoreWriter::addBytes(std::uint32_t type, const std::string &name, const void *data, std::size_t len)
{
    StoredResource r;
    r.type = type;
    r.name = name;
    r.originalSize = len;
    static const char empty = 0;
    return add(std::move(r), -1, data ? data : &empty, 0);
}

bool ResourceStoreWriter::addFromFile(std::uint32_t type, const std::string &name, NativeFile srcFd, std::uint64_t offset,
                                      std::uint64_t size)
{
    StoredResource r;
    r.type = type;
    r.name = name;
    r.originalSize = size;
    return add(std::move(r), srcFd, nullptr, offset);
}

bool ResourceStoreWriter::finish()
{
    std::string index;
    index.reserve(m_indexSize);
    put<std::uint32_t>(index, std::uint32_t(m_resources.size()));
    for (const StoredResource &r : m_resources) {
        put<std::uint32_t>(index, r.type);
        put<std::uint16_t>(index, std::uint16_t(r.name.size()));
        index += r.name;
        put<std::uint64_t>(index, r.offset);
        put<std::uint64_t>(index, r.size);
        put<std::uint32_t>(index, r.crc);
        put<std::uint8_t>(index, std::uint8_t(r.method));
        put<std::uint64_t>(index, r.originalSize);
    }
    const std::int64_t pos = seekToEnd(m_fd);
    if (pos < 0)
        return sysFail("Cannot write the store");
    std::string trailer(kStoreMagic, sizeof kStoreMagic);
    put<std::uint32_t>(trailer, kStoreVersion);
    put<std::uint32_t>(trailer, crc32(0, index.data(), index.size()));
    put<std::uint64_t>(trailer, std::uint64_t(pos));
    put<std::uint64_t>(trailer, std::uint64_t(index.size()));
    index += trailer;
    if (!writeAll(m_fd, index.data(), index.size()))
        return sysFail("Cannot write the store");
    return true;
}

} // namespace platform
