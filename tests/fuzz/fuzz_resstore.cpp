// libFuzzer target: the store's reader on an untrusted installer file. The
// first input byte chooses whether the index CRC in the trailer is made to
// match, so that the index parser itself is reached; the rest is the file.
#include "resstore.h"
#include "resstore_format.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The bytes as a file of their own (in memory).
int memoryFile(const std::uint8_t *data, std::size_t size)
{
    const int fd = ::memfd_create("store", MFD_CLOEXEC);
    if (fd >= 0 && !platform::writeAll(fd, data, size)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void fixIndexCrc(std::string &file)
{
    const std::size_t t = platform::kStoreTrailerSize;
    if (file.size() < t || std::memcmp(file.data() + file.size() - t, platform::kStoreMagic, 8) != 0)
        return;
    const auto off = platform::storeformat::get<std::uint64_t>(file.data() + file.size() - t + 16);
    if (off > file.size() - t)
        return;
    std::string crc;
    platform::storeformat::put<std::uint32_t>(crc, platform::crc32(0, file.data() + off, file.size() - t - off));
    file.replace(file.size() - t + 12, 4, crc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::string file(reinterpret_cast<const char *>(data + 1), size - 1);
    if (data[0] & 1)
        fixIndexCrc(file);
    const int fd = memoryFile(reinterpret_cast<const std::uint8_t *>(file.data()), file.size());
    if (fd < 0)
        return 0;
    static const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    platform::ResourceStore store;
    if (store.open("/proc/self/fd/" + std::to_string(fd)) == platform::ResourceStore::Valid) {
        int copied = 0;
        for (const platform::StoredResource &r : store.resources()) {
            // A tiny frame may claim gigabytes: such a resource is only looked up.
            if (r.originalSize <= (1u << 22) && copied++ < 16)
                store.copyTo(r, sink);
            store.find(r.type, r.name);
        }
    }
    store.close();
    ::close(fd);
    return 0;
}
