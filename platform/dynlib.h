#pragma once
// Loading shared libraries at run time.
#include <QString>

namespace platform {

class TempFile;

// Called once at start, before any library is loaded. Windows: the process's
// library search is limited to the system folder (SetDefaultDllDirectories),
// so that no DLL put beside the installer (a Downloads folder) or into the
// current folder is ever loaded in place of a system one. Nothing on Linux.
void restrictLibrarySearch();

// Loads the library at a drive-form path (a bare file name goes to the
// system's library search: on Windows the system folder only). A library
// loaded by path finds the libraries it needs in its own folder and the
// system's. Null on failure; lastLibraryError() says why.
void *loadLibrary(const QString &path);
// Loads a library this program wrote itself and still holds open. Refused
// (null) unless the drive-form path still names that very file. Linux: what
// is loaded is the open file itself, through the process's descriptor folder
// (/proc/self/fd), so a file put at the path meanwhile is never run; without
// that folder the path is loaded and its identity checked again at once.
// Windows: the file held open without write or delete sharing cannot be
// replaced, changed or removed; the path is checked to name it (volume and
// file index) and loaded, and the loaded module's file checked again. The
// loader does not share writing: the file must be held for reading only by
// then (TempFile::holdForReading), or the load fails with a sharing violation.
void *loadWrittenLibrary(const QString &path, const TempFile &file);

void *librarySymbol(void *lib, const char *name);
void freeLibrary(void *lib);
QString lastLibraryError();

} // namespace platform
