#pragma once
// Blocking reads and writes on file descriptors, retried on interruption.
// Plain C++: the resource store uses them too.
#include <cstddef>
#include <cstdint>

namespace platform {

// Reads exactly len bytes at offset; false on error or end of file.
bool readAt(int fd, void *buf, std::size_t len, std::uint64_t offset);
// Writes all of buf at the current position; false on error.
bool writeAll(int fd, const void *buf, std::size_t len);
// Copies len bytes from offset of inFd to the current position of outFd
// (copy_file_range, then sendfile, then a fixed buffer).
enum class CopyStatus { Ok, ReadFailed, WriteFailed };
CopyStatus copyRange(int inFd, std::uint64_t offset, std::uint64_t len, int outFd);

} // namespace platform
