#include "storeio.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {
constexpr std::size_t kBufferSize = 256 * 1024;
} // namespace

NativeFile openRegularForReading(const std::string &path, std::uint64_t &size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size = std::uint64_t(st.st_size);
        return fd;
    }
    const int err = fd >= 0 && st.st_mode != 0 ? 0 : errno;
    if (fd >= 0)
        ::close(fd);
    errno = err;
    return kNoFile;
}

std::int64_t fileLength(NativeFile fd)
{
    struct stat st {};
    return ::fstat(int(fd), &st) == 0 ? std::int64_t(st.st_size) : -1;
}

std::int64_t seekToEnd(NativeFile fd) { return ::lseek(int(fd), 0, SEEK_END); }

bool truncateAt(NativeFile fd, std::uint64_t length)
{
    return ::ftruncate(int(fd), off_t(length)) == 0 && ::lseek(int(fd), 0, SEEK_END) >= 0;
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

bool readAt(NativeFile fd, void *buf, std::size_t len, std::uint64_t offset)
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

bool writeAll(NativeFile fd, const void *buf, std::size_t len)
{
    auto p = static_cast<const char *>(buf);
    return transferAll(len, [&](std::size_t left) {
        const ssize_t n = ::write(fd, p, left);
        if (n > 0)
            p += n;
        return n;
    });
}

CopyStatus copyRange(NativeFile inFd, std::uint64_t offset, std::uint64_t len, NativeFile outFd)
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

} // namespace platform
