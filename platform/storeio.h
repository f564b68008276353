#pragma once
// Blocking reads and writes on open files, retried on interruption, and the
// few other calls the resource store makes on them. Plain C++ without Qt.
// Failures leave the reason in errno (on Windows mapped from the system's
// error), so that std::strerror names it on both systems.
#include "filehandle.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Opens an existing regular file (path in UTF-8) for reading and tells its
// size; kNoFile on failure, with errno 0 when the entry is there but is not
// a regular file.
NativeFile openRegularForReading(const std::string &path, std::uint64_t &size);
// The length of an open file; -1 on failure.
std::int64_t fileLength(NativeFile fd);
// Moves to the end of the file; its length, or -1 on failure.
std::int64_t seekToEnd(NativeFile fd);
// Cuts the file at length and moves to its new end.
bool truncateAt(NativeFile fd, std::uint64_t length);

// Reads exactly len bytes at offset; the read position of fd is not used
// (on Windows it may move: read such a file through readAt only); false on
// error or end of file.
bool readAt(NativeFile fd, void *buf, std::size_t len, std::uint64_t offset);
// Writes all of buf at the current position; false on error.
bool writeAll(NativeFile fd, const void *buf, std::size_t len);
// Copies len bytes from offset of inFd to the current position of outFd
// (copy_file_range, then sendfile, then a fixed buffer).
enum class CopyStatus { Ok, ReadFailed, WriteFailed };
CopyStatus copyRange(NativeFile inFd, std::uint64_t offset, std::uint64_t len, NativeFile outFd);

} // namespace platform
