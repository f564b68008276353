// libFuzzer target: the ELF readers (the image length the store's reader
// trusts, and the header and dynamic symbol table the packer checks).
#include "elflength.h"
#include "elfsymbols.h"
#include "storeio.h"

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const int fd = ::memfd_create("elf", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (platform::writeAll(fd, data, size)) {
        platform::elfImageLength(fd);
        platform::ElfHeader h;
        platform::readElfHeader(fd, h);
        std::vector<std::string> missing;
        std::string why;
        platform::missingDynamicSymbols(fd, {"RAROpenArchive", "RARReadHeader", "RARProcessFile", "RARCloseArchive"},
                                        missing, why);
    }
    ::close(fd);
    return 0;
}
