#pragma once
// Named resources appended to an executable file: the installer's payload.
// Plain C++20 (no Qt), linked with a static libzstd and libdeflate, so that
// the installers need neither library at run time.
//
// Reading a named resource into a descriptor:
//
//   platform::ResourceStore store;
//   if (store.open("/proc/self/exe") != platform::ResourceStore::Valid)
//       fail(store.errorString());          // Plain: no store; Damaged, Unsupported, Unreadable
//   const platform::StoredResource *r = store.find(platform::kRawDataResource, "NAME");
//   if (!r) ...                              // no such resource (lookup by hash)
//   if (store.copyTo(*r, fd) != platform::ResourceStore::Copied)
//       fail(store.errorString());          // CrcMismatch: "... is damaged: ..."
//
// copyTo() writes the resource's uncompressed bytes at fd's current position
// in one read pass over the stored bytes: zstd-compressed resources are
// decompressed on the way, and the CRC-32 of the uncompressed bytes and their
// length are checked as they are written. A resource that fails the check has
// already been partly written: the caller removes the target.
//
// Writing a store with compressed resources:
//
//   platform::ResourceStoreWriter w(fd);     // fd open for writing; the store
//   w.setCompressionLevel(19);                // starts at its current end
//   w.addFromFile(platform::kRawDataResource, "NAME", srcFd, offset, size);
//   w.addBytes(platform::kRawDataResource, "SMALL", data, len);
//   if (!w.finish()) fail(w.errorString());  // writes the index and trailer
//
// A resource whose compressed form is not smaller is stored as it is.
//
// Layout: [executable image][resource bytes, in index order][index][trailer]
// Trailer (32 bytes, little-endian, at the very end of the file):
//   magic "TVOSTORE", u32 format version, u32 CRC-32 of the index,
//   u64 index offset, u64 index size (the index ends where the trailer starts).
// Index: u32 count, then per resource
//   version 1: u32 type, u16 name length, name (UTF-8), u64 offset, u64 size,
//              u32 CRC-32
//   version 2: the same, then u8 method (0 stored, 1 zstd) and u64 uncompressed
//              size; size is the stored (compressed) size and the CRC-32 is
//              that of the uncompressed bytes.
// Version 2 is written; versions 1 and 2 are read.
//
// A file without the magic carries no resources, unless it is longer than its
// own executable image (as its ELF or PE headers give it): then its end is
// missing. A signed Windows installer ends with its certificate table: the
// store ends where that table and the zero bytes that align it begin.
#include "crc32.h"
#include "filehandle.h"
#include "imagelength.h"
#include "pefile.h"
#include "storeio.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

constexpr std::uint32_t kRawDataResource = 10;
constexpr std::uint32_t kStoreVersion = 2;
constexpr int kStoreTrailerSize = 32;
constexpr char kStoreMagic[8] = {'T', 'V', 'O', 'S', 'T', 'O', 'R', 'E'};
// The reader refuses a larger index; the writer refuses to write one.
constexpr std::uint64_t kMaxStoreIndexSize = 32 * 1024 * 1024;
constexpr int kDefaultCompressionLevel = 19;

enum class StoreMethod : std::uint8_t { Stored = 0, Zstd = 1 };

struct StoredResource {
    std::uint32_t type = kRawDataResource;
    std::string name;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;         // bytes in the file
    std::uint32_t crc = 0;          // of the uncompressed bytes
    StoreMethod method = StoreMethod::Stored;
    std::uint64_t originalSize = 0; // uncompressed
};

// Bytes one resource takes in a version-2 index.
std::uint64_t storeIndexEntrySize(std::size_t nameLength);

class ResourceStore {
public:
    enum Status { Plain, Valid, Damaged, Unsupported, Unreadable };
    enum CopyResult { Copied, ReadFailed, WriteFailed, CrcMismatch };

    ResourceStore();
    ~ResourceStore();
    ResourceStore(const ResourceStore &) = delete;
    ResourceStore &operator=(const ResourceStore &) = delete;

    // Opens the file and reads its index; the file stays open for copying
    // until close() or destruction.
    // displayName names the file in messages (the path when empty).
    Status open(const std::string &path, const std::string &displayName = {});
    void close();

    Status status() const { return m_status; }
    // Why the store is not Valid, or why the last copy failed; English,
    // naming the file, for logs and tools (the installer words its own
    // messages from the status, truncated() and the resource).
    const std::string &errorString() const { return m_error; }
    // The system's or the decompressor's reason behind the last failure, for
    // logs (empty when there is none).
    const std::string &reason() const { return m_reason; }
    // Damaged because the file ends before its store does: a download cut
    // short (rather than bytes changed inside it).
    bool truncated() const { return m_truncated; }
    const std::string &fileName() const { return m_path; }
    std::uint32_t version() const { return m_version; }
    const std::vector<StoredResource> &resources() const { return m_resources; }
    const StoredResource *find(std::uint32_t type, const std::string &name) const;

    CopyResult copyTo(const StoredResource &res, NativeFile outFd);
    // copyTo() for each resource of the list in turn, the next one read and
    // decompressed on a second thread while the current one is checked and
    // written; stored ones are copied by the kernel while the second thread
    // checks their CRCs. Stops at the first failure; failedAt is then its
    // index.
    CopyResult copyAllTo(const std::vector<const StoredResource *> &list, NativeFile outFd, std::size_t &failedAt);

private:
    // Takes the uncompressed bytes piece by piece; false ends the copy.
    using Sink = std::function<bool(const char *data, std::size_t len)>;
    bool readIndex(const char *trailer, std::uint64_t fileSize);
    Status fail(Status s, const std::string &why);
    CopyResult copyFailed(CopyResult r, const StoredResource &res);
    CopyResult copyStored(const StoredResource &res, const Sink &sink, std::uint32_t &crc);
    CopyResult copyZstd(const StoredResource &res, const Sink &sink, std::uint32_t &crc);
    CopyResult copyZstdWhole(const StoredResource &res, NativeFile outFd, std::uint32_t &crc);
    CopyResult copyStoredAllTo(const std::vector<const StoredResource *> &list, NativeFile outFd, std::size_t &failedAt);

    // The decompressor and buffers, kept from one resource to the next.
    struct Scratch;
    std::unique_ptr<Scratch> m_scratch;

    FileHandle m_fd;
    Status m_status = Unreadable;
    std::uint32_t m_version = 0;
    bool m_truncated = false;
    std::string m_path;
    std::string m_shown;
    std::string m_error;
    std::string m_reason;
    std::vector<StoredResource> m_resources;
    std::unordered_map<std::string, std::size_t> m_byName; // type + '\0' + name
};

// Appends resources and the index to an open file. Resources are written in
// the order they are added, starting at the file's current end.
class ResourceStoreWriter {
public:
    explicit ResourceStoreWriter(NativeFile fd) : m_fd(fd) {}

    // 0 stores resources as they are; 1..22 compresses each with zstd.
    void setCompressionLevel(int level) { m_level = level; }

    bool addBytes(std::uint32_t type, const std::string &name, const void *data, std::size_t len);
    // Copies size bytes at offset of srcFd (never holding them whole in memory).
    bool addFromFile(std::uint32_t type, const std::string &name, NativeFile srcFd, std::uint64_t offset,
                     std::uint64_t size);
    bool finish();
    const std::string &errorString() const { return m_error; }
    const std::vector<StoredResource> &resources() const { return m_resources; }

private:
    bool begin(const std::string &name, std::uint64_t &offset);
    bool writeStored(NativeFile srcFd, const void *data, std::uint64_t offset, StoredResource &r);
    bool writeZstd(NativeFile srcFd, const void *data, std::uint64_t offset, StoredResource &r);
    bool add(StoredResource r, NativeFile srcFd, const void *data, std::uint64_t srcOffset);
    bool sysFail(const std::string &what);

    NativeFile m_fd;
    int m_level = 0;
    std::uint64_t m_indexSize = 4;
    std::vector<StoredResource> m_resources;
    std::unordered_set<std::string> m_names;
    std::string m_error;
};

} // namespace platform
