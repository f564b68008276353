// Writing a list of resources with a second thread doing the work that does
// not write: the reading and decompressing of the next compressed piece, or
// the CRC check of stored pieces that the kernel copies meanwhile. These are
// the pieces of the archive, where either would otherwise add to the
// installation's time.
#include "resstore.h"
#include "iobuffer.h"
#include "storeio.h"

#include <atomic>
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
// The CRC check's reads of stored pieces.
constexpr std::size_t kCheckBuffer = 256 * 1024;

struct DCtxFree {
    void operator()(ZSTD_DCtx *c) const { ZSTD_freeDCtx(c); }
};

// One resource read (and decompressed) into memory.
struct Slot {
    enum State { Empty, Ready } state = Empty;
    std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx {ZSTD_createDCtx()};
    IoBuffer in, out;
    std::size_t inCap = 0, outCap = 0;
    std::size_t length = 0; // bytes in out
    bool inlineCopy = false; // too large: copyTo() on the calling thread
    ResourceStore::CopyResult result = ResourceStore::Copied;
    std::string reason;

    char *buffer(IoBuffer &b, std::size_t &cap, std::size_t need)
    {
        if (need > cap) { // the size is taken only once the buffer is there
            b = ioBuffer(need);
            cap = need;
        }
        return b.get();
    }

    void load(NativeFile fd, const StoredResource &res)
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

// Stored pieces go from file to file inside the kernel, one copy and none
// through this process, while the second thread reads them for their CRCs.
// Damage found there stops the copy; the failure reported is the first one
// in the list's order.
ResourceStore::CopyResult ResourceStore::copyStoredAllTo(const std::vector<const StoredResource *> &list, NativeFile outFd,
                                                         std::size_t &failedAt)
{
    std::atomic<bool> damaged {false}, stop {false};
    std::size_t badAt = list.size();
    CopyResult bad = Copied;
    std::string badReason;
    std::thread checker([&] {
        const IoBuffer buf = tryIoBuffer(kCheckBuffer);
        for (std::size_t i = 0; i < list.size() && !stop; ++i) {
            const StoredResource &res = *list[i];
            std::uint32_t crc = 0;
            for (std::uint64_t done = 0; done < res.size && bad == Copied && !stop;) {
                const std::size_t n = std::min<std::uint64_t>(res.size - done, kCheckBuffer);
                if (!buf || !readAt(m_fd.get(), buf.get(), n, res.offset + done)) {
                    bad = ReadFailed;
                    badReason = buf ? (errno ? std::strerror(errno) : "") : "out of memory";
                } else {
                    crc = crc32(crc, buf.get(), n);
                    done += n;
                }
            }
            if (bad == Copied && !stop && crc != res.crc)
                bad = CrcMismatch;
            if (bad != Copied) {
                badAt = i;
                damaged = true;
                return;
            }
        }
    });
    CopyResult result = Copied;
    failedAt = 0;
    for (std::size_t i = 0; i < list.size() && !damaged; ++i) {
        const CopyStatus s = copyRange(m_fd.get(), list[i]->offset, list[i]->size, outFd);
        if (s != CopyStatus::Ok) {
            result = s == CopyStatus::ReadFailed ? ReadFailed : WriteFailed;
            m_reason = errno ? std::strerror(errno) : "";
            failedAt = i;
            break;
        }
    }
    stop = result != Copied;
    checker.join();
    if (bad != Copied && (result == Copied || badAt <= failedAt)) {
        failedAt = badAt;
        m_reason = badReason;
        return copyFailed(bad, *list[badAt]);
    }
    return result == Copied ? Copied : copyFailed(result, *list[failedAt]);
}

ResourceStore::CopyResult ResourceStore::copyAllTo(const std::vector<const StoredResource *> &list, NativeFile outFd,
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
    if (list.size() >= 2 && !compressed && total / list.size() >= kPipelineMinimum)
        return copyStoredAllTo(list, outFd, failedAt);
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
