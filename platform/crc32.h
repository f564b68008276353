#pragma once
// The one CRC-32 of the tree (the common reflected 0xEDB88320 polynomial, as
// zip, gzip and RAR use it), from libdeflate: carry-less multiplication where
// the processor has it.
#include <cstddef>
#include <cstdint>

namespace platform {

// CRC-32 of len bytes, continued from crc: pass 0 to start.
std::uint32_t crc32(std::uint32_t crc, const void *data, std::size_t len);

} // namespace platform
