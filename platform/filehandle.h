#pragma once
// An open file descriptor that is closed on every way out.
#include <cerrno>
#include <unistd.h>

namespace platform {

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
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

    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    int get() const { return m_fd; }
    // Gives up ownership without closing.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // False when the system reports a failure at closing: a delayed write
    // error on some file systems is the first sign of a failed write.
    bool close()
    {
        const bool ok = m_fd < 0 || ::close(m_fd) == 0 || errno == EINTR;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd = -1;
};

} // namespace platform
