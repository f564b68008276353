#pragma once
// The runtime archive: the inner installer with its libraries, plugin and
// fonts as one byte stream, stored (compressed) as one resource.
//
// Layout, little-endian: the magic "TVORUN01", then entries
//   u8 kind (1 folder, 2 file, 0 end), u8 0, u16 name length, u32 mode,
//   u64 content size (0 for a folder), the name, the content.
// Names are relative and '/'-separated, with no empty, "." or ".." part; a
// folder comes before anything inside it. Modes keep rwx bits only.
#include <cstddef>
#include <cstdint>
#include <string>

namespace launcher {

constexpr char kArchiveMagic[8] = {'T', 'V', 'O', 'R', 'U', 'N', '0', '1'};
constexpr std::size_t kEntryHeaderSize = 16;
enum EntryKind : std::uint8_t { EndOfArchive = 0, Folder = 1, File = 2 };

// True for a name the extractor accepts.
bool safeEntryName(const std::string &name);

// Writes an archive to an open file descriptor.
class ArchiveWriter {
public:
    explicit ArchiveWriter(int fd) : m_fd(fd) {}
    bool begin();
    bool addFolder(const std::string &name, std::uint32_t mode);
    // Copies the whole file at srcPath.
    bool addFile(const std::string &name, const std::string &srcPath, std::uint32_t mode);
    bool finish();
    const std::string &error() const { return m_error; }

private:
    bool header(EntryKind kind, const std::string &name, std::uint32_t mode, std::uint64_t size);
    int m_fd;
    std::string m_error;
};

// Unpacks an archive, given in pieces as they are decompressed, into the
// folder open as rootFd. Every file is created new (O_EXCL), never through a
// link.
class ArchiveExtractor {
public:
    explicit ArchiveExtractor(int rootFd) : m_root(rootFd) {}
    ~ArchiveExtractor();
    ArchiveExtractor(const ArchiveExtractor &) = delete;
    ArchiveExtractor &operator=(const ArchiveExtractor &) = delete;

    // False on a malformed archive or a write error (see error()).
    bool feed(const char *data, std::size_t len);
    // True when the end entry was reached and nothing followed it.
    bool finish();
    const std::string &error() const { return m_error; }
    std::uint64_t filesWritten() const { return m_files; }

private:
    bool fail(const std::string &why);
    bool takeHeader();

    enum State { Magic, Header, Name, Content, Ended, Failed };
    int m_root;
    int m_out = -1;
    State m_state = Magic;
    char m_head[kEntryHeaderSize] = {};
    std::size_t m_have = 0;
    std::string m_name;
    std::size_t m_nameLen = 0;
    std::uint8_t m_kind = 0;
    std::uint32_t m_mode = 0;
    std::uint64_t m_left = 0;
    std::uint64_t m_files = 0;
    std::string m_error;
};

} // namespace launcher
