// libFuzzer target: the ELF and PE readers (the image length the store's
// reader trusts, and the headers, dynamic symbol table and export table the
// packer checks).
#include "elfsymbols.h"
#include "imagelength.h"
#include "pefile.h"
#include "storeio.h"

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const int fd = ::memfd_create("elf", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (platform::writeAll(fd, data, size)) {
        platform::imageLength(fd);
        platform::peImageLength(fd);
        platform::peCertificateOffset(fd);
        platform::PeHeader pe;
        platform::readPeHeader(fd, pe);
        platform::ElfHeader h;
        platform::readElfHeader(fd, h);
        std::vector<std::string> missing;
        std::string why;
        platform::missingDynamicSymbols(fd, {"RAROpenArchive", "RARReadHeader", "RARProcessFile", "RARCloseArchive"},
                                        missing, why);
        platform::missingPeExports(fd, {"RAROpenArchive", "RAROpenArchiveEx", "RARProcessFileW"}, missing, why);
    }
    ::close(fd);
    return 0;
}
