#pragma once
// Unpacking the runtime resource of the installer's own file into a fresh
// private folder.
#include "rundir.h"

#include <string>

namespace launcher {

// The program in the runtime archive (the store resource that holds the
// archive is platform::kRuntimeResource).
inline constexpr char kInnerProgram[] = "tvo-setup";

struct UnpackResult {
    std::string error; // empty on success
    int signal = 0;    // an end signal that arrived meanwhile
};

// Opens the store of installerFile, makes dir (see RunDir) and unpacks the
// runtime into it. On failure or signal the folder is left for dir to remove.
UnpackResult unpackRuntime(const std::string &installerFile, RunDir &dir);

} // namespace launcher
