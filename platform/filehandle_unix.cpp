#include "filehandle.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

bool closeNativeFile(NativeFile f)
{
    return ::close(int(f)) == 0 || errno == EINTR;
}

} // namespace platform
