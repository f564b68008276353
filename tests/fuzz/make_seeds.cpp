// Writes the fuzzers' starting inputs into a folder: small installer files
// (a minimal ELF image, then a store of stored and compressed resources) and
// ELF files given on the command line.
//   make_seeds DIR [ELF...]
#include "resstore.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string minimalElf()
{
    std::string e(64, '\0');
    e.replace(0, 7, "\x7F" "ELF\x02\x01\x01", 7);
    e[0x34] = 64; // e_ehsize
    return e;
}

bool writeStore(const std::string &path, int level, bool fixFlag)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string head = std::string(1, fixFlag ? '\x01' : '\x00') + minimalElf();
    bool ok = fd >= 0 && platform::writeAll(fd, head.data(), head.size());
    std::string text;
    for (int i = 0; text.size() < 3000; ++i)
        text += "line " + std::to_string(i % 97) + " of the price list\n";
    platform::ResourceStoreWriter w(fd);
    w.setCompressionLevel(level);
    ok = ok && w.addBytes(10, "UNRAR_DLL", text.data(), text.size()) && w.addBytes(10, "TVODEMO_0", "Rar!\x1A\x07\x00", 7)
        && w.addBytes(10, "TVODEMO_1", "", 0) && w.finish();
    ::close(fd);
    return ok;
}

bool copyFile(const std::string &from, const std::string &to)
{
    const int in = ::open(from.c_str(), O_RDONLY), out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const off_t size = in >= 0 ? ::lseek(in, 0, SEEK_END) : -1;
    const bool ok = size >= 0 && out >= 0 && platform::copyRange(in, 0, std::uint64_t(size), out) == platform::CopyStatus::Ok;
    ::close(in);
    ::close(out);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    const std::string dir = argv[1];
    bool ok = writeStore(dir + "/store/stored", 0, true) && writeStore(dir + "/store/zstd", 19, true)
        && writeStore(dir + "/store/zstd-crc-as-is", 3, false);
    for (int i = 2; i < argc; ++i)
        ok = copyFile(argv[i], dir + "/elf/" + std::to_string(i - 1)) && ok;
    return ok ? 0 : 1;
}
