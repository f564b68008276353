#pragma once
// For the Windows implementations only: the system's error as the errno value
// the shared interfaces report, and UTF-8 paths as the wide-character paths
// the W calls take.
#include <string>
#include <string_view>

namespace platform::win {

// The errno value that stands for a Windows error code (EIO for the rest).
int errnoOf(unsigned long code);
// Sets errno from GetLastError() and keeps the code for lastSystemError();
// returns the errno value.
int setErrnoFromLastError();
// The code setErrnoFromLastError() kept on this thread (0 when none).
unsigned long keptSystemError();
// The system's own text for an error code, without the trailing line break.
std::wstring systemErrorText(unsigned long code);

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
// A path for the W file calls: absolute paths longer than the classic limit
// get the \\?\ prefix (\\?\UNC\ for shares), so that deep installations work
// wherever the file system allows them.
std::wstring longPath(std::wstring path);
// The file a loaded module was mapped from (a void * HMODULE; null: the
// program's own file), of any length; empty on failure.
std::wstring moduleFileName(void *module);

} // namespace platform::win
