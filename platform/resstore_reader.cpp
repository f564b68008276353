// Reading a resource store: the trailer, the index, and resources written out
// with their CRC checked (and zstd-compressed ones decompressed) in one pass.
#include "resstore.h"
#include "iobuffer.h"
#include "resstore_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <zstd.h>

namespace platform {

using storeformat::get;

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
// Resources up to this size (the archive pieces) are decompressed in one call
// straight into a buffer of their full size, which saves the streaming
// decoder's copy out of its window and writes each in one request.
constexpr std::uint64_t kWholeLimit = 4 * 1024 * 1024;

std::string key(std::uint32_t type, const std::string &name)
{
    std::string k(reinterpret_cast<const char *>(&type), sizeof type);
    k += name;
    return k;
}

std::string sysReason(int err) { return err ? std::string(std::strerror(err)) : std::string(); }

struct DCtxFree {
    void operator()(ZSTD_DCtx *c) const { ZSTD_freeDCtx(c); }
};

} // namespace

struct ResourceStore::Scratch {
    std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx {ZSTD_createDCtx()};
    IoBuffer in, out;
    std::size_t inCap = 0, outCap = 0;

    // Buffers of at least the given sizes, grown as needed.
    void reserve(std::size_t inSize, std::size_t outSize)
    {
        if (inSize > inCap) { // a size is taken only once its buffer is there
            in = ioBuffer(inSize);
            inCap = inSize;
        }
        if (outSize > outCap) {
            out = ioBuffer(outSize);
            outCap = outSize;
        }
    }
};

ResourceStore::ResourceStore() = default;
ResourceStore::~ResourceStore() = default;

std::uint64_t storeIndexEntrySize(std::size_t nameLength)
{
    return storeformat::kEntryFixedV2 + nameLength;
}

void ResourceStore::close()
{
    m_fd.close();
}

ResourceStore::Status ResourceStore::fail(Status s, const std::string &why)
{
    m_status = s;
    if (s == Unreadable)
        m_error = "Cannot open file " + m_shown;
    else if (s == Unsupported)
        m_error = "The installer file " + m_shown + " " + why + ".";
    else
        m_error = "The installer file " + m_shown + " is damaged: " + why + ".";
    m_resources.clear();
    m_byName.clear();
    return s;
}

ResourceStore::Status ResourceStore::open(const std::string &path, const std::string &displayName)
{
    close();
    m_path = path;
    m_shown = displayName.empty() ? path : displayName;
    m_error.clear();
    m_reason.clear();
    m_version = 0;
    m_truncated = false;
    m_resources.clear();
    m_byName.clear();
    std::uint64_t size = 0;
    m_fd.reset(openRegularForReading(path, size));
    if (!m_fd.isOpen()) {
        m_reason = errno ? sysReason(errno) : "not a regular file";
        return fail(Unreadable, {});
    }

    char trailer[kStoreTrailerSize];
    const auto trailerEndsAt = [&](std::uint64_t end) {
        return end >= std::uint64_t(kStoreTrailerSize)
            && readAt(m_fd.get(), trailer, sizeof trailer, end - kStoreTrailerSize)
            && std::memcmp(trailer, kStoreMagic, sizeof kStoreMagic) == 0;
    };
    bool hasTrailer = trailerEndsAt(size);
    // Signing a Windows installer appends its certificate table, after up to
    // 7 zero bytes that align it: the store ends before them.
    const std::int64_t signature = hasTrailer ? -1 : peCertificateOffset(m_fd.get());
    std::uint64_t padding = 0;
    if (signature >= 0) {
        size = std::uint64_t(signature);
        char c = 0;
        while (padding < 7 && padding < size && readAt(m_fd.get(), &c, 1, size - padding - 1) && c == 0)
            ++padding;
        for (std::uint64_t k = 0; k <= padding && !hasTrailer; ++k)
            if ((hasTrailer = trailerEndsAt(size - k)))
                size -= k;
    }
    if (!hasTrailer) {
        const std::int64_t image = imageLength(m_fd.get());
        m_truncated = image >= 0 && std::uint64_t(image) != size
            && !(signature >= 0 && std::uint64_t(image) < size && size - std::uint64_t(image) <= padding);
        if (image >= 0 && std::uint64_t(image) > size)
            return fail(Damaged, "it is shorter than its own program image");
        if (m_truncated && std::uint64_t(image) < size)
            return fail(Damaged, "its resource store has no end (the file is truncated)");
        m_status = Plain;
        return m_status;
    }
    m_version = get<std::uint32_t>(trailer + 8);
    if (m_version == 0)
        return fail(Damaged, "its resource index is damaged");
    if (m_version > kStoreVersion)
        return fail(Unsupported,
                    "was made by a newer packer: its resource store has format version " + std::to_string(m_version)
                        + ", this program reads versions 1 to " + std::to_string(kStoreVersion));
    return readIndex(trailer, size) ? (m_status = Valid) : m_status;
}

bool ResourceStore::readIndex(const char *trailer, std::uint64_t fileSize)
{
    const auto indexCrc = get<std::uint32_t>(trailer + 12);
    const auto indexOffset = get<std::uint64_t>(trailer + 16), indexSize = get<std::uint64_t>(trailer + 24);
    const std::string badIndex = "its resource index is damaged";
    if (indexSize < 4 || indexSize > kMaxStoreIndexSize || indexOffset > fileSize
        || indexOffset + indexSize + kStoreTrailerSize != fileSize)
        return fail(Damaged, badIndex), false;
    std::string index(indexSize, '\0');
    if (!readAt(m_fd.get(), index.data(), indexSize, indexOffset) || crc32(0, index.data(), indexSize) != indexCrc)
        return fail(Damaged, badIndex), false;

    const std::size_t fixed = m_version == 1 ? storeformat::kEntryFixedV1 : storeformat::kEntryFixedV2;
    const std::int64_t image = imageLength(m_fd.get());
    std::uint64_t nextFree = image > 0 ? std::uint64_t(image) : 0;
    const char *p = index.data(), *end = p + index.size();
    const auto count = get<std::uint32_t>(p);
    p += 4;
    if (count > (indexSize - 4) / (fixed + 1))
        return fail(Damaged, badIndex), false;
    m_resources.reserve(count);
    m_byName.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (std::size_t(end - p) < fixed)
            return fail(Damaged, badIndex), false;
        StoredResource r;
        r.type = get<std::uint32_t>(p);
        const auto nameLen = get<std::uint16_t>(p + 4);
        p += 6;
        if (nameLen == 0 || std::size_t(end - p) < nameLen + fixed - 6)
            return fail(Damaged, badIndex), false;
        r.name.assign(p, nameLen);
        p += nameLen;
        r.offset = get<std::uint64_t>(p);
        r.size = get<std::uint64_t>(p + 8);
        r.crc = get<std::uint32_t>(p + 16);
        p += 20;
        r.originalSize = r.size;
        if (m_version >= 2) {
            const auto method = static_cast<unsigned char>(*p);
            r.originalSize = get<std::uint64_t>(p + 1);
            p += 9;
            if (method > std::uint8_t(StoreMethod::Zstd))
                return fail(Damaged, badIndex), false;
            r.method = StoreMethod(method);
            if (r.method == StoreMethod::Stored && r.originalSize != r.size)
                return fail(Damaged, badIndex), false;
        }
        // Resources lie one after another between the image and the index;
        // a name is there once.
        if (r.offset < nextFree || r.size > indexOffset || r.offset > indexOffset - r.size)
            return fail(Damaged, badIndex), false;
        nextFree = r.offset + r.size;
        if (!m_byName.emplace(key(r.type, r.name), m_resources.size()).second)
            return fail(Damaged, badIndex), false;
        m_resources.push_back(std::move(r));
    }
    if (p != end)
        return fail(Damaged, badIndex), false;
    return true;
}

const StoredResource *ResourceStore::find(std::uint32_t type, const std::string &name) const
{
    const auto it = m_byName.find(key(type, name));
    return it == m_byName.end() ? nullptr : &m_resources[it->second];
}

ResourceStore::CopyResult ResourceStore::copyFailed(CopyResult r, const StoredResource &res)
{
    switch (r) {
    case ReadFailed:
        m_error = "Cannot read resource " + res.name + " from the installer file " + m_shown;
        break;
    case CrcMismatch:
        m_error = "The installer file " + m_shown + " is damaged: resource " + res.name + " fails its CRC check.";
        break;
    case WriteFailed:
        m_error = "Stream write error";
        break;
    case Copied:
        break;
    }
    return r;
}

// Reads the stored bytes once through a buffer: CRC and write per block.
ResourceStore::CopyResult ResourceStore::copyStored(const StoredResource &res, const Sink &sink, std::uint32_t &crc)
{
    const std::size_t cap = std::clamp<std::uint64_t>(res.size, 1, kBufferSize);
    const IoBuffer buf = ioBuffer(cap);
    for (std::uint64_t done = 0; done < res.size;) {
        const std::size_t n = std::min<std::uint64_t>(res.size - done, cap);
        if (!readAt(m_fd.get(), buf.get(), n, res.offset + done))
            return m_reason = sysReason(errno), ReadFailed;
        crc = crc32(crc, buf.get(), n);
        if (!sink(buf.get(), n))
            return m_reason = sysReason(errno), WriteFailed;
        done += n;
    }
    return Copied;
}

// Streams the compressed bytes through the decompressor. The output may not
// run past the recorded size, and the one frame must end exactly where the
// stored bytes end; anything else is damage.
ResourceStore::CopyResult ResourceStore::copyZstd(const StoredResource &res, const Sink &sink, std::uint32_t &crc)
{
    std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx(ZSTD_createDCtx());
    if (!dctx)
        return m_reason = "out of memory", ReadFailed;
    const std::size_t inCap = ZSTD_DStreamInSize(), outCap = ZSTD_DStreamOutSize();
    const IoBuffer in = ioBuffer(inCap), out = ioBuffer(outCap);
    std::uint64_t read = 0, produced = 0;
    ZSTD_inBuffer ib {in.get(), 0, 0};
    for (;;) {
        if (ib.pos == ib.size && read < res.size) {
            const std::size_t n = std::min<std::uint64_t>(res.size - read, inCap);
            if (!readAt(m_fd.get(), in.get(), n, res.offset + read))
                return m_reason = sysReason(errno), ReadFailed;
            read += n;
            ib = {in.get(), n, 0};
        }
        ZSTD_outBuffer ob {out.get(), outCap, 0};
        const std::size_t left = ZSTD_decompressStream(dctx.get(), &ob, &ib);
        if (ZSTD_isError(left))
            return m_reason = ZSTD_getErrorName(left), CrcMismatch;
        if (ob.pos > res.originalSize - produced)
            return m_reason = "more bytes than recorded", CrcMismatch;
        produced += ob.pos;
        crc = crc32(crc, out.get(), ob.pos);
        if (ob.pos && !sink(out.get(), ob.pos))
            return m_reason = sysReason(errno), WriteFailed;
        const bool inputDone = ib.pos == ib.size && read == res.size;
        if (left == 0) { // the frame is complete
            if (!inputDone)
                return m_reason = "data after the end of the compressed frame", CrcMismatch;
            break;
        }
        if (inputDone && ob.pos == 0)
            return m_reason = "the compressed frame is cut short", CrcMismatch;
    }
    if (produced != res.originalSize)
        return m_reason = "fewer bytes than recorded", CrcMismatch;
    return Copied;
}

// One read, one decompression into a buffer of the recorded size, one write.
// The frame must fill the buffer exactly: more output, less, or bytes that
// are not a frame are damage.
ResourceStore::CopyResult ResourceStore::copyZstdWhole(const StoredResource &res, NativeFile outFd, std::uint32_t &crc)
{
    if (!m_scratch)
        m_scratch = std::make_unique<Scratch>();
    Scratch &s = *m_scratch;
    if (!s.dctx)
        return m_reason = "out of memory", ReadFailed;
    s.reserve(std::max<std::size_t>(res.size, 1), std::max<std::size_t>(res.originalSize, 1));
    if (!readAt(m_fd.get(), s.in.get(), res.size, res.offset))
        return m_reason = sysReason(errno), ReadFailed;
    const std::size_t n = ZSTD_decompressDCtx(s.dctx.get(), s.out.get(), res.originalSize, s.in.get(), res.size);
    if (ZSTD_isError(n))
        return m_reason = ZSTD_getErrorName(n), CrcMismatch;
    if (n != res.originalSize)
        return m_reason = "fewer bytes than recorded", CrcMismatch;
    crc = crc32(0, s.out.get(), n);
    if (!writeAll(outFd, s.out.get(), n))
        return m_reason = sysReason(errno), WriteFailed;
    return Copied;
}

ResourceStore::CopyResult ResourceStore::copyTo(const StoredResource &res, NativeFile outFd)
{
    m_reason.clear();
    std::uint32_t crc = 0;
    const Sink toFd = [outFd](const char *data, std::size_t len) { return writeAll(outFd, data, len); };
    CopyResult r;
    if (res.method == StoreMethod::Stored)
        r = copyStored(res, toFd, crc);
    else if (res.size <= kWholeLimit && res.originalSize <= kWholeLimit)
        r = copyZstdWhole(res, outFd, crc);
    else
        r = copyZstd(res, toFd, crc);
    if (r != Copied)
        return copyFailed(r, res);
    if (crc != res.crc)
        return copyFailed(CrcMismatch, res);
    return Copied;
}

} // namespace platform
