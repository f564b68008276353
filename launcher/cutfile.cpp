#include "cutfile.h"

#include "elflength.h"
#include "storeio.h"

#include <memory>
#include <zstd.h>

namespace launcher {
namespace {

struct DCtxFree {
    void operator()(ZSTD_DCtx *c) const { ZSTD_freeDCtx(c); }
};

} // namespace

bool findRuntimeFrame(int fd, RuntimeFrame &frame)
{
    const std::int64_t image = platform::elfImageLength(fd);
    unsigned char head[18] = {}; // the longest frame header
    if (image <= 0 || !platform::readAt(fd, head, sizeof head, std::uint64_t(image)))
        return false;
    const unsigned long long size = ZSTD_getFrameContentSize(head, sizeof head);
    if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR)
        return false;
    frame.offset = std::uint64_t(image);
    frame.size = size;
    return true;
}

bool decompressFrame(int fd, const RuntimeFrame &frame, const std::function<bool(const char *, std::size_t)> &sink,
                     std::string &why)
{
    std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx(ZSTD_createDCtx());
    const std::size_t inCap = ZSTD_DStreamInSize(), outCap = ZSTD_DStreamOutSize();
    std::unique_ptr<char[]> in(new char[inCap]), out(new char[outCap]);
    std::uint64_t pos = frame.offset, produced = 0;
    ZSTD_inBuffer ib {in.get(), 0, 0};
    for (;;) {
        if (ib.pos == ib.size) {
            const ssize_t n = ::pread(fd, in.get(), inCap, off_t(pos));
            if (n <= 0) {
                why = "its runtime is cut short";
                return false;
            }
            pos += std::uint64_t(n);
            ib = {in.get(), std::size_t(n), 0};
        }
        ZSTD_outBuffer ob {out.get(), outCap, 0};
        const std::size_t left = ZSTD_decompressStream(dctx.get(), &ob, &ib);
        if (ZSTD_isError(left)) {
            why = std::string("its runtime is damaged (") + ZSTD_getErrorName(left) + ")";
            return false;
        }
        produced += ob.pos;
        if (produced > frame.size) {
            why = "its runtime is damaged (longer than recorded)";
            return false;
        }
        if (ob.pos && !sink(out.get(), ob.pos)) {
            why = "the unpacking stopped";
            return false;
        }
        if (left == 0)
            break; // the frame is complete
    }
    if (produced != frame.size) {
        why = "its runtime is damaged (shorter than recorded)";
        return false;
    }
    return true;
}

} // namespace launcher
