#pragma once
// A text file that the program only appends to (its log).
#include "filehandle.h"

#include <QString>

namespace platform {

// Opens a host path for appending, creating it (mode 0644) when missing. A
// symbolic link or anything but a regular file is refused: the file may lie
// in a folder that others can write. Returns the descriptor, or -1 with the
// reason in *error.
NativeFile openAppendOnly(const QString &hostPath, QString *error);

// Writes all bytes (one append each call); false on a write error.
bool appendBytes(NativeFile fd, const QByteArray &bytes);

} // namespace platform
