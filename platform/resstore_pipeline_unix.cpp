// Writing a list of resources with the reading and decompressing of the next
// one on a second thread: the pieces of the archive, where decompression
// would otherwise add to the installation's time.
#include "resstore.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <zstd.h>

namespace platform {
namespace {

// Resources up to this size go through the two slots; larger ones are written
// by copyTo() on the calling thread when their turn comes.
constexpr std::uint64_t kSlotLimit = 4 * 1024 * 1024;
// Smaller resources, on average, are written one by one on the calling thread.
constexpr std::uint64_t kPipelineMinimum = 64 * 1024;

struct DCtxFree {
    void operator()(ZSTD_DCtx *c) const { ZSTD_freeDCtx(c); }
};

// One resource read (and decompressed) into memory.
struct Slot {
    enum State { Empty, Ready } state = Empty;
    std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx {ZSTD_createDCtx()};
    std::unique_ptr<char[]> in, out;
    std::size_t inCap = 0, outCap = 0;
    std::size_t length = 0; // bytes in out
    bool inlineCopy = false; // too large: copyTo() on the calling thread
    ResourceStore::CopyResult result = ResourceStore::Copied;
    std::string reason;

    char *buffer(std::unique_ptr<char[]> &b, std::size_t &cap, std::size_t need)
    {
        if (need > cap)
            b.reset(new char[cap = need]);
        return b.get();
    }

    void load(int fd, const StoredResource &res)
    {
        result = ResourceStore::Copied;
        reason.clear();
        length = 0;
        inlineCopy = res.size > kSlotLimit || res.originalSize > kSlotLimit;
        if (inlineCopy)
            return;
        char *o = buffer(out, outCap, std::max<std::size_t>(res.originalSize, 1));
        if (res.method == StoreMethod::Stored) {
            if (!readAt(fd, o, res.size, res.offset)) {
                result = ResourceStore::ReadFailed;
                reason = errno ? std::strerror(errno) : "";
            }
            length = res.size;
            return;
        }
        char *i = buffer(in, inCap, std::max<std::size_t>(res.size, 1));
        if (!dctx) {
            result = ResourceStore::ReadFailed;
            reason = "out of memory";
        } else if (!readAt(fd, i, res.size, res.offset)) {
            result = ResourceStore::ReadFailed;
            reason = errno ? std::strerror(errno) : "";
        } else {
            const std::size_t n = ZSTD_decompressDCtx(dctx.get(), o, res.originalSize, i, res.size);
            if (ZSTD_isError(n) || n != res.originalSize) {
                result = ResourceStore::CrcMismatch;
                reason = ZSTD_isError(n) ? ZSTD_getErrorName(n) : "fewer bytes than recorded";
            }
            length = ZSTD_isError(n) ? 0 : n;
        }
    }
};

} // namespace

ResourceStore::CopyResult ResourceStore::copyAllTo(const std::vector<const StoredResource *> &list, int outFd,
                                                   std::size_t &failedAt)
{
    failedAt = 0;
    // The second thread pays where there is decompressing to overlap and the
    // pieces are large enough for the hand-over between threads not to count.
    std::uint64_t total = 0;
    bool compressed = false;
    for (const StoredResource *r : list) {
        total += r->originalSize;
        compressed = compressed || r->method != StoreMethod::Stored;
    }
    if (list.size() < 2 || !compressed || total / list.size() < kPipelineMinimum) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (const CopyResult r = copyTo(*list[i], outFd); r != Copied) {
                failedAt = i;
                return r;
            }
        return Copied;
    }
    Slot slots[2];
    std::mutex m;
    std::condition_variable cv;
    bool stop = false;
    std::thread reader([&] {
        for (std::size_t i = 0; i < list.size(); ++i) {
            Slot &s = slots[i % 2];
            {
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return stop || s.state == Slot::Empty; });
                if (stop)
                    return;
            }
            try {
                s.load(m_fd.get(), *list[i]);
            } catch (const std::bad_alloc &) {
                s.result = ReadFailed;
                s.reason = "out of memory";
                s.inlineCopy = false;
            }
            {
                std::lock_guard lock(m);
                s.state = Slot::Ready;
            }
            cv.notify_all();
        }
    });

    CopyResult result = Copied;
    for (std::size_t i = 0; i < list.size() && result == Copied; ++i) {
        Slot &s = slots[i % 2];
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return s.state == Slot::Ready; });
        }
        const StoredResource &res = *list[i];
        m_reason.clear();
        if (s.inlineCopy) {
            result = copyTo(res, outFd);
        } else if (s.result != Copied) {
            m_reason = s.reason;
            result = copyFailed(s.result, res);
        } else {
            // The length and CRC of what is written are checked as copyTo() checks them.
            if (crc32(0, s.out.get(), s.length) != res.crc)
                result = copyFailed(CrcMismatch, res);
            else if (!writeAll(outFd, s.out.get(), s.length)) {
                m_reason = std::strerror(errno);
                result = copyFailed(WriteFailed, res);
            }
        }
        if (result != Copied)
            failedAt = i;
        {
            std::lock_guard lock(m);
            s.state = Slot::Empty;
            if (result != Copied)
                stop = true;
        }
        cv.notify_all();
    }
    {
        std::lock_guard lock(m);
        stop = true;
    }
    cv.notify_all();
    reader.join();
    return result;
}

} // namespace platform
