#pragma once
// Named resources appended to an executable file.
//
// Layout of a file that carries resources:
//   [executable image][resource bytes, in index order][index][trailer]
// Trailer (32 bytes, little-endian, at the very end of the file):
//   magic "TVOSTORE", u32 format version, u32 CRC-32 of the index,
//   u64 index offset, u64 index size (the index ends where the trailer starts).
// Index: u32 count, then per resource
//   u32 type, u16 name length, name (UTF-8), u64 offset, u64 size, u32 CRC-32.
//
// A file without the magic carries no resources, unless it is longer than its
// own executable image (as its ELF headers give it): then its end is missing.
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace platform {

constexpr std::uint32_t kRawDataResource = 10;
constexpr std::uint32_t kStoreVersion = 1;
constexpr int kStoreTrailerSize = 32;
constexpr char kStoreMagic[8] = {'T', 'V', 'O', 'S', 'T', 'O', 'R', 'E'};

// CRC-32 (the common reflected 0xEDB88320 polynomial), continued from crc.
std::uint32_t crc32(std::uint32_t crc, const void *data, std::size_t len);

// Length of the executable image from its ELF headers (the furthest byte any
// header, segment or section covers); -1 when the bytes are not ELF.
std::int64_t elfImageLength(int fd);

struct StoredResource {
    std::uint32_t type = kRawDataResource;
    QString name;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

class ResourceStore {
public:
    enum Status { Plain, Valid, Damaged, Unreadable };
    enum CopyResult { Copied, ReadFailed, WriteFailed, CrcMismatch };

    ResourceStore() = default;
    ~ResourceStore();
    ResourceStore(const ResourceStore &) = delete;
    ResourceStore &operator=(const ResourceStore &) = delete;

    // Opens the file and reads its index; the file stays open for copying
    // until close() or destruction.
    // displayName names the file in messages (the host path when empty).
    Status open(const QString &hostPath, const QString &displayName = {});
    void close();

    Status status() const { return m_status; }
    // Why the store is Damaged or Unreadable, or why the last copy failed;
    // English, naming the file.
    QString errorString() const { return m_error; }
    QString fileName() const { return m_path; }
    const QList<StoredResource> &resources() const { return m_resources; }
    const StoredResource *find(std::uint32_t type, const QString &name) const;

    // Checks the resource's CRC-32 on the stored bytes, then copies them to
    // the current position of outFd in one request (kernel copy where the
    // system can, else through a fixed-size buffer).
    CopyResult copyTo(const StoredResource &res, int outFd);

private:
    bool readIndex(const char *trailer, std::uint64_t fileSize);
    Status fail(Status s, const QString &why);

    int m_fd = -1;
    Status m_status = Unreadable;
    QString m_path;
    QString m_shown;
    QString m_error;
    QList<StoredResource> m_resources;
};

// Appends resources and the index to an open file. Resources are written in
// the order they are added, starting at the file's current end.
class ResourceStoreWriter {
public:
    explicit ResourceStoreWriter(int fd) : m_fd(fd) {}

    bool addBytes(std::uint32_t type, const QString &name, const QByteArray &bytes);
    // Copies size bytes at offset of srcFd (never holding them whole in memory).
    bool addFromFile(std::uint32_t type, const QString &name, int srcFd, std::uint64_t offset,
                     std::uint64_t size);
    bool finish();
    QString errorString() const { return m_error; }

private:
    bool begin(const QString &name, std::uint64_t &offset);

    int m_fd;
    QList<StoredResource> m_resources;
    QString m_error;
};

// Reads exactly len bytes at offset; false on error or end of file.
bool readAt(int fd, void *buf, std::size_t len, std::uint64_t offset);
// Writes all of buf at the current position; false on error.
bool writeAll(int fd, const void *buf, std::size_t len);
// Copies len bytes from offset of inFd to the current position of outFd
// (copy_file_range, then sendfile, then a fixed buffer).
enum class CopyStatus { Ok, ReadFailed, WriteFailed };
CopyStatus copyRange(int inFd, std::uint64_t offset, std::uint64_t len, int outFd);
// CRC-32 of len bytes at offset, read through a fixed buffer; false on a
// read error or a file that ends early.
bool crcOfRange(int fd, std::uint64_t offset, std::uint64_t len, std::uint32_t &crc);

} // namespace platform
