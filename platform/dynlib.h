#pragma once
// Loading shared libraries at run time.
#include <QString>

namespace platform {

// Loads the library at a drive-form path (a bare file name goes to the
// system's library search). Null on failure; lastLibraryError() says why.
void *loadLibrary(const QString &path);
void *librarySymbol(void *lib, const char *name);
void freeLibrary(void *lib);
QString lastLibraryError();

} // namespace platform
