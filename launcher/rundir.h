#pragma once
// The private folder the runtime is unpacked into. It is made with mkdtemp
// (mode 0700, a fresh name, so a second installer running at the same time
// gets a folder of its own) under the first parent folder where code may run
// and that has room for the runtime.
#include <cstdint>
#include <string>
#include <vector>

namespace launcher {

// The parent folders to try, in order: $XDG_RUNTIME_DIR, the user's cache
// folder ($XDG_CACHE_HOME or ~/.cache), /tmp. Relative or empty settings are
// passed over.
struct RunDirParent {
    RunDirParent(std::string p, bool m = false) : path(std::move(p)), make(m) {}
    std::string path;
    bool make; // made when missing (the cache folder)
};
std::vector<RunDirParent> runDirParents();

// True when files under the folder may be run: it is a folder and its file
// system is not mounted noexec.
bool allowsExecution(const std::string &folder);

class RunDir {
public:
    RunDir() = default;
    ~RunDir() { remove(); }
    RunDir(const RunDir &) = delete;
    RunDir &operator=(const RunDir &) = delete;

    // Makes the folder under the first usable parent with at least `need`
    // bytes free; a missing cache folder is made, and removed again with the
    // folder when nothing else came into it. False with the reason when no
    // parent will do.
    bool create(const std::vector<RunDirParent> &parents, std::uint64_t need, std::string &why);
    const std::string &path() const { return m_path; }
    int fd() const { return m_fd; }
    // Removes the folder and everything in it, never following a link; safe
    // to call more than once.
    void remove();

private:
    void dropMadeParent();

    std::string m_path;
    std::string m_madeParent;
    int m_fd = -1;
};

// Removes the entry `name` of the folder open as parentFd, recursing into
// folders without following links. False when something stayed.
bool removeTree(int parentFd, const char *name);

} // namespace launcher
