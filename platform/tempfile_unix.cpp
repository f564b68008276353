#include "tempfile.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

constexpr int kCreateFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
// Tries of the remove-then-create step when an entry reappears in between.
constexpr int kCreateTries = 4;

std::string g_descriptorFolder = "/proc/self/fd";

FileId idOf(const struct stat &st) { return {st.st_dev, st.st_ino, true}; }

int closeFd(NativeFile &fd)
{
    int err = 0;
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        err = errno;
    fd = -1;
    return err;
}

// Splits a path into its folder and its last name ("." for a bare name).
bool splitPath(const std::string &path, std::string &folder, std::string &name)
{
    const std::size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !name.empty() && name != "." && name != "..";
}

// A descriptor of the folder that holds the path's last name.
int openFolderOf(const std::string &path, std::string &name, NativeFile &fd)
{
    std::string folder;
    if (!splitPath(path, folder, name))
        return EINVAL;
    fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? errno : 0;
}

// A name no one can guess: prefix + 12 letters and digits.
std::string randomName(const std::string &prefix)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12];
    if (::getrandom(bytes, sizeof bytes, 0) != ssize_t(sizeof bytes)) {
        static std::uint64_t counter = 0;
        std::uint64_t seed = std::uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(std::time(nullptr))
                             ^ ++counter * 0xBF58476D1CE4E5B9ull;
        for (unsigned char &b : bytes) {
            seed ^= seed >> 29;
            seed *= 0x94D049BB133111EBull;
            b = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string out = prefix;
    for (unsigned char b : bytes)
        out += letters[b % (sizeof letters - 1)];
    return out;
}

int writeAllBytes(NativeFile fd, const void *bytes, std::size_t size)
{
    const char *p = static_cast<const char *>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        p += n;
        size -= std::size_t(n);
    }
    return 0;
}

} // namespace

FileId fileIdOf(NativeFile fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 ? idOf(st) : FileId();
}

FileId entryIdOf(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? idOf(st) : FileId();
}

FileId entryIdAt(NativeFile dirFd, const std::string &name)
{
    struct stat st;
    return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? idOf(st) : FileId();
}

// ---- TempFile ----

TempFile::~TempFile() { remove(); }

TempFile::TempFile(TempFile &&other) noexcept
    : m_dir(std::exchange(other.m_dir, -1)), m_fd(std::exchange(other.m_fd, -1)), m_name(std::move(other.m_name)),
      m_path(std::move(other.m_path)), m_id(std::exchange(other.m_id, FileId()))
{
}

TempFile &TempFile::operator=(TempFile &&other) noexcept
{
    if (this != &other) {
        remove();
        m_dir = std::exchange(other.m_dir, -1);
        m_fd = std::exchange(other.m_fd, -1);
        m_name = std::move(other.m_name);
        m_path = std::move(other.m_path);
        m_id = std::exchange(other.m_id, FileId());
    }
    return *this;
}

int TempFile::create(const std::string &path)
{
    std::string name;
    NativeFile dir = kNoFile;
    if (const int err = openFolderOf(path, name, dir))
        return err;
    const int err = createAt(dir, name, path);
    closeFd(dir);
    return err;
}

int TempFile::createAt(NativeFile dirFd, const std::string &name, const std::string &shownPath)
{
    remove();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return EINVAL;
    const int dir = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (dir < 0)
        return errno;
    int err = EEXIST;
    for (int i = 0; i < kCreateTries && err == EEXIST; ++i) {
        // The old entry goes first, whatever it is. A folder stays, and then
        // the name is taken (EEXIST); so does an entry we may not remove.
        const int unlinkErr = ::unlinkat(dir, name.c_str(), 0) == 0 ? 0 : errno;
        m_fd = ::openat(dir, name.c_str(), kCreateFlags, 0600);
        err = m_fd >= 0 ? 0 : errno;
        if (err == EEXIST && unlinkErr != 0 && unlinkErr != ENOENT) {
            if (unlinkErr != EISDIR)
                err = unlinkErr;
            break;
        }
        // Otherwise an EEXIST means the name came back in between: again.
    }
    if (err) {
        NativeFile d = dir;
        closeFd(d);
        return err;
    }
    m_dir = dir;
    m_name = name;
    m_path = shownPath;
    m_id = fileIdOf(m_fd);
    return 0;
}

bool TempFile::nameIsOurs() const { return m_id.known && m_dir >= 0 && entryIdAt(m_dir, m_name) == m_id; }

std::string TempFile::descriptorPath() const
{
    if (m_fd < 0 || !m_id.known)
        return {};
    const std::string path = g_descriptorFolder + "/" + std::to_string(m_fd);
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && idOf(st) == m_id ? path : std::string();
}

void setDescriptorFolderForTesting(const std::string &folder)
{
    g_descriptorFolder = folder.empty() ? std::string("/proc/self/fd") : folder;
}

int TempFile::close() { return closeFd(m_fd); }

// A descriptor that may write is loaded from as well as any here.
int TempFile::holdForReading() { return m_fd >= 0 ? 0 : EBADF; }

bool TempFile::remove()
{
    const bool removed = nameIsOurs() && ::unlinkat(m_dir, m_name.c_str(), 0) == 0;
    forget();
    return removed;
}

bool TempFile::removeClosingInBackground()
{
    NativeFile fd = m_fd;
    m_fd = -1;
    const bool removed = remove();
    if (fd >= 0)
        closeInBackground(fd);
    return removed;
}

void TempFile::keep() { forget(); }

void TempFile::forget()
{
    closeFd(m_fd);
    closeFd(m_dir);
    m_name.clear();
    m_path.clear();
    m_id = FileId();
}

// ---- replacing a file ----

int replaceFile(const std::string &path, const void *bytes, std::size_t size, std::uint32_t mode)
{
    std::string name;
    NativeFile dir = kNoFile;
    if (const int err = openFolderOf(path, name, dir))
        return err;
    TempFile file;
    int err = EEXIST;
    std::string tempName;
    // A fresh random name each try: nothing of anyone else's is removed.
    for (int i = 0; i < kCreateTries && err == EEXIST; ++i) {
        tempName = randomName("." + name + ".");
        if (entryIdAt(dir, tempName).known)
            continue;
        err = file.createAt(dir, tempName, path + ".tmp");
    }
    if (!err)
        err = writeAllBytes(file.fd(), bytes, size);
    if (!err && ::fchmod(file.fd(), mode) != 0)
        err = errno;
    if (!err && ::fsync(file.fd()) != 0 && errno != EINVAL)
        err = errno;
    if (!err)
        err = file.close();
    if (!err && !file.nameIsOurs())
        err = ENOENT; // someone took the temporary name away
    if (!err && ::renameat(dir, tempName.c_str(), dir, name.c_str()) != 0)
        err = errno;
    if (!err)
        file.keep(); // it has the final name now
    closeFd(dir);
    return err; // on failure the file object removes the temporary file
}

} // namespace platform
