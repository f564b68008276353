#pragma once
// tvo-pack: attaches the payload (the unrar library and the archive in
// numbered pieces) to a plain installer binary, and shows or unpacks what an
// installer carries.
#include "resstore.h"

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace tvopack {

// A failure with the message to print; exit code 2 for a wrong command line.
struct Failure : std::runtime_error {
    int code;
    Failure(const QString &m, int c = 1) : std::runtime_error(m.toStdString()), code(c) {}
};

// Every path is absolute (made so against the current folder when parsed).
struct PackOptions {
    QString library, archive, folder, input, output;
    std::uint64_t pieceSize = 1000000;
    int level = platform::kDefaultCompressionLevel; // 0: resources stored as they are
};

int pack(const PackOptions &o);
int list(const QString &path);
int unpack(const QString &path, const QString &dir);

// Input checks made before anything is written. Each throws Failure.
// An open regular file and its size.
int openInput(const QString &path, const char *what, std::uint64_t &size);
// The archive starts with a RAR 4 or RAR 5 signature.
void checkArchive(platform::NativeFile fd, const QString &path);
// The library is built for the installer's system, class and machine type
// and offers the entry points the installer calls: an ELF shared object that
// defines them for an ELF installer, a DLL that exports them (and the wide and
// extended ones) for a Windows (PE) installer.
void checkLibrary(platform::NativeFile fd, const QString &path, const QString &installer);

} // namespace tvopack
