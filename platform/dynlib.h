#pragma once
// Loading shared libraries at run time.
#include <QString>

namespace platform {

class TempFile;

// Loads the library at a drive-form path (a bare file name goes to the
// system's library search). Null on failure; lastLibraryError() says why.
void *loadLibrary(const QString &path);
// Loads a library this program wrote itself and still holds open. Refused
// (null) unless the drive-form path still names that very file. What is
// loaded is the open file itself, through the process's descriptor folder
// (/proc/self/fd), so a file put at the path meanwhile is never run. Without
// that folder the path is loaded and its identity checked again at once.
void *loadWrittenLibrary(const QString &path, const TempFile &file);

void *librarySymbol(void *lib, const char *name);
void freeLibrary(void *lib);
QString lastLibraryError();

} // namespace platform
