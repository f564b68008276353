#include "archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace launcher {
namespace {

template <typename T> void put(char *p, T v)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        p[i] = char((std::uint64_t(v) >> (8 * i)) & 0xFF);
}

template <typename T> T get(const char *p)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
    return T(v);
}

bool writeAll(int fd, const char *p, std::size_t len)
{
    while (len > 0) {
        const ssize_t n = ::write(fd, p, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        len -= std::size_t(n);
    }
    return true;
}

std::string sysError() { return std::strerror(errno); }

} // namespace

bool safeEntryName(const std::string &name)
{
    if (name.empty() || name.size() > 4096 || name.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

// ---- writing ----

bool ArchiveWriter::begin()
{
    if (!writeAll(m_fd, kArchiveMagic, sizeof kArchiveMagic))
        return m_error = sysError(), false;
    return true;
}

bool ArchiveWriter::header(EntryKind kind, const std::string &name, std::uint32_t mode, std::uint64_t size)
{
    if (kind != EndOfArchive && !safeEntryName(name))
        return m_error = "unsafe entry name \"" + name + "\"", false;
    if (name.size() > 0xFFFF)
        return m_error = "entry name too long", false;
    char h[kEntryHeaderSize] = {};
    put<std::uint8_t>(h, kind);
    put<std::uint16_t>(h + 2, std::uint16_t(name.size()));
    put<std::uint32_t>(h + 4, mode & 0777);
    put<std::uint64_t>(h + 8, size);
    if (!writeAll(m_fd, h, sizeof h) || !writeAll(m_fd, name.data(), name.size()))
        return m_error = sysError(), false;
    return true;
}

bool ArchiveWriter::addFolder(const std::string &name, std::uint32_t mode) { return header(Folder, name, mode, 0); }

bool ArchiveWriter::addFile(const std::string &name, const std::string &srcPath, std::uint32_t mode)
{
    const int in = ::open(srcPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = srcPath + ": " + (in < 0 ? sysError() : std::string("not a regular file"));
        if (in >= 0)
            ::close(in);
        return false;
    }
    bool ok = header(File, name, mode, std::uint64_t(st.st_size));
    std::uint64_t left = std::uint64_t(st.st_size);
    char buf[64 * 1024];
    while (ok && left > 0) {
        const ssize_t n = ::read(in, buf, std::min<std::uint64_t>(left, sizeof buf));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = srcPath + ": " + (n < 0 ? sysError() : std::string("changed while it was read"));
            ok = false;
        } else if (!writeAll(m_fd, buf, std::size_t(n))) {
            m_error = sysError();
            ok = false;
        } else {
            left -= std::uint64_t(n);
        }
    }
    ::close(in);
    return ok;
}

bool ArchiveWriter::finish() { return header(EndOfArchive, {}, 0, 0); }

// ---- extracting ----

ArchiveExtractor::~ArchiveExtractor()
{
    if (m_out >= 0)
        ::close(m_out);
}

bool ArchiveExtractor::fail(const std::string &why)
{
    if (m_state != Failed)
        m_error = why;
    m_state = Failed;
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
    return false;
}

// Acts on a complete entry header and name.
bool ArchiveExtractor::takeHeader()
{
    if (m_kind == EndOfArchive) {
        m_state = Ended;
        return true;
    }
    if (!safeEntryName(m_name))
        return fail("the runtime holds an unsafe name");
    if (m_kind == Folder) {
        if (m_left != 0)
            return fail("the runtime is damaged (a folder with contents)");
        if (::mkdirat(m_root, m_name.c_str(), (m_mode & 0777) | 0700) != 0)
            return fail("cannot create " + m_name + ": " + sysError());
        m_state = Header;
        return true;
    }
    m_out = ::openat(m_root, m_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     (m_mode & 0777) | 0600);
    if (m_out < 0)
        return fail("cannot create " + m_name + ": " + sysError());
    ++m_files;
    m_state = Content;
    if (m_left == 0) {
        ::close(m_out);
        m_out = -1;
        m_state = Header;
    }
    return true;
}

bool ArchiveExtractor::feed(const char *data, std::size_t len)
{
    while (len > 0) {
        switch (m_state) {
        case Failed:
            return false;
        case Ended:
            return fail("the runtime is damaged (data after its end)");
        case Magic:
        case Header: {
            const std::size_t want = (m_state == Magic ? sizeof kArchiveMagic : kEntryHeaderSize) - m_have;
            const std::size_t n = std::min(want, len);
            std::memcpy(m_head + m_have, data, n);
            m_have += n;
            data += n;
            len -= n;
            if (n < want)
                break;
            m_have = 0;
            if (m_state == Magic) {
                if (std::memcmp(m_head, kArchiveMagic, sizeof kArchiveMagic) != 0)
                    return fail("the runtime is not in a known format");
                m_state = Header;
                break;
            }
            m_kind = get<std::uint8_t>(m_head);
            m_nameLen = get<std::uint16_t>(m_head + 2);
            m_mode = get<std::uint32_t>(m_head + 4);
            m_left = get<std::uint64_t>(m_head + 8);
            m_name.clear();
            if (m_kind > File)
                return fail("the runtime is damaged (an unknown entry)");
            m_state = Name;
            if (m_nameLen == 0 && !takeHeader())
                return false;
            break;
        }
        case Name: {
            const std::size_t n = std::min(m_nameLen - m_name.size(), len);
            m_name.append(data, n);
            data += n;
            len -= n;
            if (m_name.size() == m_nameLen && !takeHeader())
                return false;
            break;
        }
        case Content: {
            const std::size_t n = std::min<std::uint64_t>(m_left, len);
            if (!writeAll(m_out, data, n))
                return fail("cannot write " + m_name + ": " + sysError());
            data += n;
            len -= n;
            m_left -= n;
            if (m_left == 0) {
                ::close(m_out);
                m_out = -1;
                m_state = Header;
            }
            break;
        }
        }
    }
    return m_state != Failed;
}

bool ArchiveExtractor::finish()
{
    if (m_state == Ended)
        return true;
    return m_state == Failed ? false : fail("the runtime is damaged (it ends early)");
}

} // namespace launcher
