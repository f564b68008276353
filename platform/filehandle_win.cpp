#include "filehandle.h"

#include <windows.h>

namespace platform {

bool closeNativeFile(NativeFile f)
{
    return CloseHandle(reinterpret_cast<HANDLE>(f)) != 0;
}

} // namespace platform
