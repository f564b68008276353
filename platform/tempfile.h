#pragma once
// Files and folders the program makes for its own use in places that other
// users may be able to write: the target folder, the desktop folder, a
// runtime folder. No link at a name of our own is ever followed, and nothing
// is removed unless its name still refers to what was created here (same
// device and inode).
//
// Host paths as bytes (UTF-8); no Qt, so that a launcher without Qt can
// compile tempfile_unix.cpp on its own. Failures return an errno value
// (0 on success); std::strerror gives the text.
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace platform {

// What a name refers to, whatever the name: device and inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool known = false;
    friend bool operator==(const FileId &, const FileId &) = default;
};
// Of an open descriptor.
FileId fileIdOf(int fd);
// Of the entry itself: a link is not followed. Unknown when there is none.
FileId entryIdOf(const std::string &path);
// Of an entry in a folder given by its descriptor, not following a link.
FileId entryIdAt(int dirFd, const std::string &name);

// A file of our own, held open from its creation until it is closed.
// The destructor removes it as remove() does, unless keep() was called.
class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(TempFile &&other) noexcept;
    TempFile &operator=(TempFile &&other) noexcept;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    // Removes whatever entry has the name (a link is removed itself, never
    // followed; a folder is not removed, and then creation fails with EEXIST),
    // then creates the file new: O_CREAT | O_EXCL | O_NOFOLLOW, read and
    // write, mode 0600. The folder part of the path is used as it is (an
    // existing folder link counts as the folder). Any file held before is
    // removed first.
    int create(const std::string &path);
    // The same inside a folder given by its descriptor.
    int createAt(int dirFd, const std::string &name, const std::string &shownPath);

    bool isCreated() const { return m_id.known; }
    int fd() const { return m_fd; }
    const std::string &path() const { return m_path; }
    FileId id() const { return m_id; }

    // True while the name in its folder still refers to the created file.
    bool nameIsOurs() const;
    // A path that opens this very file while the descriptor is open, whatever
    // has the name meanwhile: /proc/self/fd/N. Empty when the system shows
    // no such path (no /proc) or the descriptor is closed.
    std::string descriptorPath() const;
    // Closes the descriptor: 0, or the delayed write error (EIO, ENOSPC...)
    // some file systems report only here. The file is still known.
    int close();
    // Removes the name when it still refers to the created file; another
    // file put at the name is left alone. Then forgets the file. True when
    // the name was removed.
    bool remove();
    // Forgets the file without removing it (the descriptor is closed).
    void keep();

private:
    void forget();

    int m_dir = -1; // the folder that holds the name
    int m_fd = -1;
    std::string m_name;
    std::string m_path;
    FileId m_id;
};

// Where the process's descriptors are seen (/proc/self/fd); tests point it at
// a missing folder to run the fallbacks. Empty restores it.
void setDescriptorFolderForTesting(const std::string &folder);

// Writes bytes to a file through a new file in the same folder that is then
// renamed over the name: readers see the old file or the whole new one, and a
// link at the name is replaced, never followed. mode is set on the new file
// before the rename. Returns 0 or an errno value; the temporary file is gone
// on every way out.
int replaceFile(const std::string &path, const void *bytes, std::size_t size, mode_t mode);

// A private folder made new by mkdtemp (mode 0700), for files that only this
// program writes and reads (for example a runtime it unpacks and runs).
// The destructor removes it as remove() does, unless keep() was called.
class PrivateDir {
public:
    PrivateDir() = default;
    ~PrivateDir();
    PrivateDir(const PrivateDir &) = delete;
    PrivateDir &operator=(const PrivateDir &) = delete;

    // Creates <parent>/<prefix>XXXXXX. The parent must be a folder (a link to
    // one is followed); the new folder itself is held open.
    int create(const std::string &parent, const std::string &prefix);
    bool isCreated() const { return m_id.known; }
    const std::string &path() const { return m_path; }
    int fd() const { return m_fd; }

    // Creates a file in it, as TempFile::create does; the file object keeps
    // the file (call keep() on it) or removes it again.
    int createFile(const std::string &name, TempFile &file) const;
    // Removes everything inside the folder (links are removed, never
    // followed; mount points are left alone) and the folder, when its name
    // still refers to the folder created here. True when the folder is gone.
    bool remove();
    void keep();

private:
    int m_fd = -1;
    int m_parent = -1;
    std::string m_name;
    std::string m_path;
    FileId m_id;
};

// Removes everything inside the folder open at dirFd, not following links and
// not crossing into other file systems. 0 or the first errno met.
int removeContentsAt(int dirFd);

} // namespace platform
