#pragma once
// What a shared library offers, read from its ELF headers and its dynamic
// symbol table without loading it (no code of it runs).
#include "filehandle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ElfHeader {
    bool is64 = false;
    bool bigEndian = false;
    std::uint16_t type = 0;    // 2 executable, 3 shared object or position-independent executable
    std::uint16_t machine = 0; // EM_X86_64 = 62, EM_386 = 3, EM_AARCH64 = 183, ...
};

// The ELF file header of the file open on fd; false when the bytes are not ELF.
bool readElfHeader(NativeFile fd, ElfHeader &header);

// The names among wanted that the file's dynamic symbol table does not define
// as global or weak symbols. False, with why set, when there is no readable
// dynamic symbol table.
bool missingDynamicSymbols(NativeFile fd, const std::vector<std::string> &wanted, std::vector<std::string> &missing,
                           std::string &why);

} // namespace platform
