#pragma once
// The runtime of an installer file whose end is missing (an interrupted
// download): its store's index is gone, but the runtime, stored first, still
// follows the launcher's program image as one zstd frame when the cut came
// after it. Unpacked from there, the installer starts and reports the damage
// itself, in a window, as the installer does for any damaged payload.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace launcher {

struct RuntimeFrame {
    std::uint64_t offset = 0; // in the file
    std::uint64_t size = 0;   // uncompressed
};

// Finds the frame right after the program image of the file open as fd;
// false when none starts there or its header gives no size.
bool findRuntimeFrame(int fd, RuntimeFrame &frame);

// Decompresses the frame through sink to its end. False with the reason
// when the frame is cut short, damaged, longer than its header said, or the
// sink refuses.
bool decompressFrame(int fd, const RuntimeFrame &frame, const std::function<bool(const char *, std::size_t)> &sink,
                     std::string &why);

} // namespace launcher
