#pragma once
// Windows programs and DLLs (PE files) read from their headers, never loaded:
// how long the image is and what a DLL exports. Portable, so that tvo-pack on
// Linux checks a Windows installer and its library as the installer on
// Windows reads its own file. Every offset and size is checked against the
// file's length before it is used.
#include "filehandle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint16_t kPeMachineX86 = 0x14C;
inline constexpr std::uint16_t kPeMachineX64 = 0x8664;
inline constexpr std::uint16_t kPeFileDll = 0x2000; // IMAGE_FILE_DLL

struct PeHeader {
    std::uint16_t machine = 0;         // IMAGE_FILE_MACHINE_*
    std::uint16_t characteristics = 0; // IMAGE_FILE_*
    bool is64 = false;                 // PE32+
};

// The file and optional headers of the PE file open on f; false when the
// bytes are not PE or its headers and section table do not fit in the file.
bool readPeHeader(NativeFile f, PeHeader &header);

// The end of the image in the PE file open on f: its headers, the raw data of
// every section and the COFF symbol and string tables the file header points
// to (the linker writes them after the sections of a program that is not
// stripped). Not counted: the certificate table that signing appends, and
// anything else after the image (a payload). May exceed the file's length
// when the file is cut short. -1 when the bytes are not PE or the headers are
// damaged.
std::int64_t peImageLength(NativeFile f);

// Where the certificate table of a signed PE file starts, when it is what
// ends the file (signing appends it there); -1 when there is none.
std::int64_t peCertificateOffset(NativeFile f);

// The names among wanted that the export table of the PE file open on f does
// not name (with an address). False, with why set, when there is no readable
// export table.
bool missingPeExports(NativeFile f, const std::vector<std::string> &wanted, std::vector<std::string> &missing,
                      std::string &why);

} // namespace platform
