#pragma once
// The installer's own payload: the unrar library and the archive pieces that
// are appended to its executable file as named raw-data resources.
#include "Exceptions.h"
#include <QString>

// A resource that the installer file does not carry.
TVO_EXCEPTION(EResNotFound);
// An installer file whose resource store is damaged (truncated download,
// flipped bytes): the message names the file.
TVO_EXCEPTION(EResourceDamaged);

// True when the installer carries the "UNRAR_DLL" resource. A damaged
// installer file raises EResourceDamaged rather than answering false.
bool HasEmbeddedLibrary();
// Writes "UNRAR_DLL" to the drive-form file, creating or replacing it.
void WriteEmbeddedLibrary(const QString &fileName);
// Creates the drive-form file and appends "TVODEMO_0", "TVODEMO_1", ... in
// number order up to the first missing number.
void WriteEmbeddedArchive(const QString &fileName);

// Reads the payload from this host file instead of the running program's
// own file; an empty path goes back to the program's file.
void SetPayloadSourceForTesting(const QString &hostPath);
// Host path of the installer file the payload is read from.
QString InstallerFile();
