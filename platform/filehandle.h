#pragma once
// An open file of the system: a descriptor here, a handle on Windows, held as
// one integer type so that the interfaces above it are the same on both. The
// invalid value is -1 on both (INVALID_HANDLE_VALUE on Windows).
#include <cstdint>

namespace platform {

using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Closes the file; false when the system reports a failure at closing (an
// interrupted close counts as done: the file is closed either way).
bool closeNativeFile(NativeFile f);

// An open file that is closed on every way out.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(NativeFile fd) : m_fd(fd) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    FileHandle(FileHandle &&o) noexcept : m_fd(o.release()) {}
    FileHandle &operator=(FileHandle &&o) noexcept
    {
        if (this != &o)
            reset(o.release());
        return *this;
    }

    void reset(NativeFile fd)
    {
        close();
        m_fd = fd;
    }
    NativeFile get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Gives up ownership without closing.
    NativeFile release()
    {
        const NativeFile fd = m_fd;
        m_fd = kNoFile;
        return fd;
    }
    // False when the system reports a failure at closing: a delayed write
    // error on some file systems is the first sign of a failed write.
    bool close()
    {
        const bool ok = m_fd < 0 || closeNativeFile(m_fd);
        m_fd = kNoFile;
        return ok;
    }

private:
    NativeFile m_fd = kNoFile;
};

} // namespace platform
