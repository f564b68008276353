#pragma once
// Little-endian fields of the store's index and trailer (see resstore.h).
#include <cstdint>
#include <cstring>
#include <string>

namespace platform::storeformat {

constexpr std::size_t kEntryFixedV1 = 4 + 2 + 8 + 8 + 4;
constexpr std::size_t kEntryFixedV2 = kEntryFixedV1 + 1 + 8;

template <typename T> void put(std::string &out, T v)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(char((std::uint64_t(v) >> (8 * i)) & 0xFF));
}

template <typename T> T get(const char *p)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
    return T(v);
}

} // namespace platform::storeformat
