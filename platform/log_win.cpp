#include "log.h"
#include "winerror_win.h"

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcSetup, "tvo.setup")

namespace platform {

QString lastSystemError()
{
    const int error = errno;
    // A failed W call keeps its own code (setErrnoFromLastError): its text
    // says more than the errno value it was mapped to ("The process cannot
    // access the file because it is being used by another process" rather
    // than "Device or resource busy"). errno set later by the C library
    // (another failure since) no longer matches the kept code: then errno's.
    const unsigned long kept = win::keptSystemError();
    if (kept != 0 && error != 0 && win::errnoOf(kept) == error)
        return QString::fromStdWString(win::systemErrorText(kept));
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace platform
