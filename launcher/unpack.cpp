#include "unpack.h"

#include "archive.h"
#include "child.h"
#include "resstore.h"

namespace launcher {

UnpackResult unpackRuntime(const std::string &installerFile, RunDir &dir)
{
    UnpackResult result;
    platform::ResourceStore store;
    if (store.open(installerFile) != platform::ResourceStore::Valid) {
        result.error = store.status() == platform::ResourceStore::Plain
            ? "the installer file " + installerFile + " carries no runtime"
            : store.errorString();
        return result;
    }
    const platform::StoredResource *res = store.find(platform::kRawDataResource, platform::kRuntimeResource);
    if (!res) {
        result.error = "the installer file " + installerFile + " carries no runtime";
        return result;
    }
    // Room for the unpacked runtime and some to spare for the installer's own
    // temporary files, which do not go there.
    if (!dir.create(runDirParents(), res->originalSize + res->originalSize / 8, result.error))
        return result;

    ArchiveExtractor extractor(dir.fd());
    std::uint64_t sinceCheck = 0;
    const auto sink = [&](const char *data, std::size_t len) {
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
    const platform::ResourceStore::CopyResult copied = store.copyTo(*res, sink);
    if (!result.signal)
        result.signal = takePendingSignal();
    if (result.signal)
        return result;
    if (!extractor.error().empty())
        result.error = "cannot unpack the installer's runtime into " + dir.path() + ": " + extractor.error();
    else if (copied != platform::ResourceStore::Copied)
        result.error = store.errorString();
    else if (!extractor.finish())
        result.error = "the installer file " + installerFile + " is damaged: " + extractor.error();
    return result;
}

} // namespace launcher
