#pragma once
// The installer's own payload: the unrar library and the archive pieces that
// are appended to its executable file as named raw-data resources.
#include "Exceptions.h"
#include <QString>
#include <functional>

namespace platform {
class TempFile;
}

// A resource that the installer file does not carry.
TVO_EXCEPTION(EResNotFound);
// An installer file whose resource store is damaged (truncated download,
// flipped bytes): the message names the file.
TVO_EXCEPTION(EResourceDamaged);

// True when the installer carries the "UNRAR_DLL" resource. A damaged
// installer file raises EResourceDamaged rather than answering false.
bool HasEmbeddedLibrary();
// Both writers make the drive-form file new as a file of the installer's own
// (platform/tempfile.h): whatever entry had the name is removed first (a link
// itself, never what it points at), the file is created exclusively with mode
// 0600, and a failure removes it again. When written is given it receives the
// file still open, to be loaded or read through its descriptor, and removes
// it in turn unless kept; otherwise the file is closed and stays.
//
// Writes "UNRAR_DLL".
void WriteEmbeddedLibrary(const QString &fileName, platform::TempFile *written = nullptr);
// Appends "TVODEMO_0", "TVODEMO_1", ... in number order up to the first
// missing number.
void WriteEmbeddedArchive(const QString &fileName, platform::TempFile *written = nullptr);
// Called with the file name once a writer has written its file, before the
// caller gets it: a test puts another file in its place here.
void SetWrittenHookForTesting(std::function<void(const QString &fileName)> hook);

// Reads the payload from this host file instead of the running program's
// own file; an empty path goes back to the program's file.
void SetPayloadSourceForTesting(const QString &hostPath);
// Host path of the installer file the payload is read from.
QString InstallerFile();
