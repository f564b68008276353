#pragma once
// Files and folders the program makes for its own use in places that other
// users may be able to write: the target folder and the desktop folder. No link at a name of our own is ever followed, and nothing
// is removed unless its name still refers to what was created here (same
// device and inode).
//
// Host paths as bytes (UTF-8), plain C++ without Qt. Failures return an errno value
// (0 on success); std::strerror gives the text.
#include "filehandle.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// What a name refers to, whatever the name: device and inode.
struct FileId {
    std::uint64_t dev = 0; // the volume
    std::uint64_t ino = 0; // the file on it
    bool known = false;
    friend bool operator==(const FileId &, const FileId &) = default;
};
// Of an open descriptor.
FileId fileIdOf(NativeFile fd);
// Of the entry itself: a link is not followed. Unknown when there is none.
FileId entryIdOf(const std::string &path);
// Of an entry in a folder given by its descriptor, not following a link.
FileId entryIdAt(NativeFile dirFd, const std::string &name);

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
    int createAt(NativeFile dirFd, const std::string &name, const std::string &shownPath);

    bool isCreated() const { return m_id.known; }
    NativeFile fd() const { return m_fd; }
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
    // The content is complete: the file stays held, from now on only for
    // reading, and still no one else may write it. Windows maps no file for
    // running while a handle may write it; here nothing changes. 0, or an
    // errno value (EBUSY: someone else opened it for writing in between; the
    // file is no longer held then, but still known).
    int holdForReading();
    // Removes the name when it still refers to the created file; another
    // file put at the name is left alone. Then forgets the file. True when
    // the name was removed.
    bool remove();
    // The same, but the descriptor is closed on a thread of its own: the last
    // close of a large removed file is where the system frees its space,
    // tens of milliseconds for a few hundred megabytes, which the caller
    // need not wait for. finishBackgroundCloses() waits for them.
    bool removeClosingInBackground();
    // Forgets the file without removing it (the descriptor is closed).
    void keep();

private:
    void forget();

    NativeFile m_dir = -1; // the folder that holds the name
    NativeFile m_fd = -1;
    std::string m_name;
    std::string m_path;
    FileId m_id;
};

// Closes an open file on a thread of its own (where none can be had, here).
void closeInBackground(NativeFile f);
// Waits until every file handed to closeInBackground() (and so to
// removeClosingInBackground()) is closed.
void finishBackgroundCloses();

// Where the process's descriptors are seen (/proc/self/fd); tests point it at
// a missing folder to run the fallbacks. Empty restores it.
void setDescriptorFolderForTesting(const std::string &folder);

// Writes bytes to a file through a new file in the same folder that is then
// renamed over the name: readers see the old file or the whole new one, and a
// link at the name is replaced, never followed. mode is set on the new file
// before the rename. Returns 0 or an errno value; the temporary file is gone
// on every way out.
int replaceFile(const std::string &path, const void *bytes, std::size_t size, std::uint32_t mode);

} // namespace platform
