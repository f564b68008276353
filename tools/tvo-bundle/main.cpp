// tvo-bundle: makes the self-contained installer: the launcher followed by a
// resource store whose "TVO_RUNTIME" resource is the runtime folder as one
// compressed archive. tvo-pack then adds a payload to the result.
#include "archive.h"
#include "resstore.h"
#include "unpack.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "usage: tvo-bundle [--level N] LAUNCHER RUNTIME-DIR OUTPUT\n";

struct Failure {
    std::string message;
};

// A temporary file beside `target`, removed unless kept.
struct TempFile {
    std::string path;
    int fd = -1;
    bool keep = false;
    explicit TempFile(const std::string &target) : path(target + ".XXXXXX")
    {
        fd = ::mkstemp(path.data());
        if (fd < 0)
            throw Failure {"cannot write " + target + ": " + std::strerror(errno)};
    }
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!keep)
            ::unlink(path.c_str());
    }
};

void writeArchive(const fs::path &root, int fd)
{
    std::vector<fs::path> entries;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(root))
        entries.push_back(e.path().lexically_relative(root));
    std::sort(entries.begin(), entries.end()); // a folder before its contents
    launcher::ArchiveWriter w(fd);
    bool ok = w.begin();
    for (const fs::path &rel : entries) {
        if (!ok)
            break;
        const fs::path full = root / rel;
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0)
            throw Failure {full.string() + ": " + std::strerror(errno)};
        if (S_ISDIR(st.st_mode))
            ok = w.addFolder(rel.string(), st.st_mode & 0777);
        else if (S_ISREG(st.st_mode))
            ok = w.addFile(rel.string(), full.string(), st.st_mode & 0777);
        else
            throw Failure {full.string() + ": neither a file nor a folder"};
    }
    if (!ok || !w.finish())
        throw Failure {"cannot write the runtime archive: " + w.error()};
}

void bundle(const std::string &launcherPath, const std::string &runtime, const std::string &output, int level)
{
    if (!fs::is_regular_file(fs::path(runtime) / launcher::kInnerProgram))
        throw Failure {runtime + " holds no " + launcher::kInnerProgram};
    TempFile archive(output + ".runtime");
    writeArchive(runtime, archive.fd);
    const off_t archiveSize = ::lseek(archive.fd, 0, SEEK_END);

    TempFile out(output);
    platform::FileHandle in(::open(launcherPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0)
        throw Failure {"cannot read " + launcherPath + ": " + std::strerror(errno)};
    if (platform::copyRange(in.get(), 0, std::uint64_t(st.st_size), out.fd) != platform::CopyStatus::Ok)
        throw Failure {"cannot write " + output + ": " + std::strerror(errno)};
    platform::ResourceStoreWriter w(out.fd);
    w.setCompressionLevel(level);
    if (!w.addFromFile(platform::kRawDataResource, platform::kRuntimeResource, archive.fd, 0,
                       std::uint64_t(archiveSize))
        || !w.finish())
        throw Failure {"cannot write " + output + ": " + w.errorString()};
    if (::fchmod(out.fd, 0755) != 0 || ::fsync(out.fd) != 0
        || ::rename(out.path.c_str(), output.c_str()) != 0)
        throw Failure {"cannot write " + output + ": " + std::strerror(errno)};
    out.keep = true;
    const platform::StoredResource &r = w.resources().back();
    std::printf("tvo-bundle: %s: runtime %llu bytes, stored %llu bytes\n", output.c_str(),
                static_cast<unsigned long long>(r.originalSize), static_cast<unsigned long long>(r.size));
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    int level = platform::kDefaultCompressionLevel;
    if (args.size() == 5 && args[0] == "--level") {
        char *end = nullptr;
        level = int(std::strtol(args[1].c_str(), &end, 10));
        if (*end || level < 1 || level > 22) {
            std::fprintf(stderr, "tvo-bundle: the level must be 1 to 22\n%s", kUsage);
            return 2;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        bundle(args[0], args[1], args[2], level);
        return 0;
    } catch (const Failure &f) {
        std::fprintf(stderr, "tvo-bundle: %s\n", f.message.c_str());
    } catch (const fs::filesystem_error &e) {
        std::fprintf(stderr, "tvo-bundle: %s\n", e.what());
    }
    return 1;
}
