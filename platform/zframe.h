#pragma once
// Data packed at build time as one zstd frame that records its own size (the
// program's compiled-in fonts): unpacked straight into the caller's buffer.
#include <cstddef>

namespace platform {

// The size the frame unpacks to, as the frame records it; 0 when the data is
// not such a frame or records no size.
std::size_t unpackedFrameSize(const void *packed, std::size_t size);

// Unpacks the frame into out, which holds exactly unpackedFrameSize bytes;
// false for damaged or truncated data or another size.
bool unpackFrame(const void *packed, std::size_t size, void *out, std::size_t outSize);

} // namespace platform
