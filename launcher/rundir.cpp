#include "rundir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace launcher {
namespace {

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

bool absolute(const std::string &p) { return !p.empty() && p[0] == '/'; }

std::string homeFolder()
{
    std::string home = env("HOME");
    if (absolute(home))
        return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return {};
}

} // namespace

std::vector<RunDirParent> runDirParents()
{
    std::vector<RunDirParent> parents;
    if (const std::string run = env("XDG_RUNTIME_DIR"); absolute(run))
        parents.push_back(run);
    std::string cache = env("XDG_CACHE_HOME");
    if (!absolute(cache)) {
        const std::string home = homeFolder();
        cache = home.empty() ? std::string() : home + "/.cache";
    }
    if (!cache.empty())
        parents.emplace_back(cache, true);
    parents.emplace_back("/tmp");
    return parents;
}

bool allowsExecution(const std::string &folder)
{
    struct stat st {};
    struct statvfs fs {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::statvfs(folder.c_str(), &fs) == 0
        && !(fs.f_flag & ST_NOEXEC);
}

bool RunDir::create(const std::vector<RunDirParent> &parents, std::uint64_t need, std::string &why)
{
    remove();
    why.clear();
    for (const RunDirParent &candidate : parents) {
        const std::string &parent = candidate.path;
        struct statvfs fs {};
        if (candidate.make && ::mkdir(parent.c_str(), 0700) == 0)
            m_madeParent = parent;
        if (!allowsExecution(parent)) {
            why += "\n  " + parent + ": no folder where programs may run";
            dropMadeParent();
            continue;
        }
        if (::statvfs(parent.c_str(), &fs) == 0 && std::uint64_t(fs.f_bavail) * fs.f_frsize < need) {
            why += "\n  " + parent + ": not enough free space";
            dropMadeParent();
            continue;
        }
        std::string tmpl = parent + "/tvo-setup-XXXXXX";
        if (!::mkdtemp(tmpl.data())) {
            why += "\n  " + parent + ": " + std::strerror(errno);
            dropMadeParent();
            continue;
        }
        m_fd = ::open(tmpl.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (m_fd < 0) {
            why += "\n  " + tmpl + ": " + std::strerror(errno);
            ::rmdir(tmpl.c_str());
            dropMadeParent();
            continue;
        }
        m_path = tmpl;
        return true;
    }
    why = "no place to unpack the installer's runtime:" + why;
    return false;
}

void RunDir::remove()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_path.empty())
        return;
    const std::string::size_type slash = m_path.rfind('/');
    const std::string parent = slash == 0 ? "/" : m_path.substr(0, slash);
    const int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd >= 0) {
        removeTree(parentFd, m_path.c_str() + slash + 1);
        ::close(parentFd);
    }
    m_path.clear();
    dropMadeParent();
}

void RunDir::dropMadeParent()
{
    if (!m_madeParent.empty())
        ::rmdir(m_madeParent.c_str()); // only while empty
    m_madeParent.clear();
}

bool removeTree(int parentFd, const char *name)
{
    if (::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return false;
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            ok = removeTree(::dirfd(dir), e->d_name) && ok;
    }
    ::closedir(dir);
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 && ok;
}

} // namespace launcher
