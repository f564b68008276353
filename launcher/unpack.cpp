#include "unpack.h"

#include "archive.h"
#include "child.h"
#include "cutfile.h"
#include "resstore.h"

#include <fcntl.h>
#include <unistd.h>

namespace launcher {
namespace {

using Sink = std::function<bool(const char *, std::size_t)>;

// Makes the folder in dir and unpacks into it what copy hands to its sink;
// copy returns why it failed, empty when it did not.
template <typename Copy>
UnpackResult unpackInto(const std::string &installerFile, std::uint64_t size, RunDir &dir, Copy copy)
{
    UnpackResult result;
    // Room for the unpacked runtime and some to spare for the installer's own
    // temporary files, which do not go there.
    if (!dir.create(runDirParents(), size + size / 8, result.error))
        return result;

    ArchiveExtractor extractor(dir.fd());
    std::uint64_t sinceCheck = 0;
    const Sink sink = [&](const char *data, std::size_t len) {
        if (!extractor.feed(data, len))
            return false;
        // An end signal stops the unpacking early.
        sinceCheck += len;
        if (sinceCheck >= (4u << 20)) {
            sinceCheck = 0;
            if ((result.signal = takePendingSignal()))
                return false;
        }
        return true;
    };
    const std::string copyError = copy(sink);
    if (!result.signal)
        result.signal = takePendingSignal();
    if (result.signal)
        return result;
    if (!extractor.error().empty())
        result.error = "cannot unpack the installer's runtime into " + dir.path() + ": " + extractor.error();
    else if (!copyError.empty())
        result.error = copyError;
    else if (!extractor.finish())
        result.error = "the installer file " + installerFile + " is damaged: " + extractor.error();
    return result;
}

// A file whose store cannot be read because its end is missing: the runtime
// from the frame after the launcher, when that is still whole.
UnpackResult unpackCutFile(const std::string &installerFile, const std::string &storeError, RunDir &dir)
{
    const int fd = ::open(installerFile.c_str(), O_RDONLY | O_CLOEXEC);
    RuntimeFrame frame;
    if (fd < 0 || !findRuntimeFrame(fd, frame)) {
        if (fd >= 0)
            ::close(fd);
        return {storeError};
    }
    UnpackResult result = unpackInto(installerFile, frame.size, dir, [&](const Sink &sink) {
        std::string why;
        return decompressFrame(fd, frame, sink, why) ? std::string() : storeError + " (" + why + ")";
    });
    ::close(fd);
    return result;
}

} // namespace

UnpackResult unpackRuntime(const std::string &installerFile, RunDir &dir)
{
    platform::ResourceStore store;
    switch (store.open(installerFile)) {
    case platform::ResourceStore::Valid:
        break;
    case platform::ResourceStore::Damaged:
        return unpackCutFile(installerFile, store.errorString(), dir);
    case platform::ResourceStore::Plain:
        return {"the installer file " + installerFile + " carries no runtime"};
    default:
        return {store.errorString()};
    }
    const platform::StoredResource *res = store.find(platform::kRawDataResource, platform::kRuntimeResource);
    if (!res)
        return {"the installer file " + installerFile + " carries no runtime"};
    return unpackInto(installerFile, res->originalSize, dir, [&](const Sink &sink) {
        return store.copyTo(*res, sink) == platform::ResourceStore::Copied ? std::string() : store.errorString();
    });
}

} // namespace launcher
