#include "log.h"

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcSetup, "tvo.setup")

namespace platform {

QString lastSystemError()
{
    const int error = errno;
    char buffer[256];
    // The GNU strerror_r returns the text, in the buffer or a static string.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

} // namespace platform
