// What tvo-pack checks in its inputs before it writes anything, so that a
// wrong file fails here rather than on the user's machine.
#include "TvoPack.h"

#include "elfsymbols.h"
#include "pefile.h"
#include "storeio.h"

#include <QFile>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvopack {
namespace {

constexpr char kRar4[] = "Rar!\x1A\x07\x00";
constexpr char kRar5[] = "Rar!\x1A\x07\x01\x00";

QString machineName(std::uint16_t m)
{
    switch (m) {
    case 3:
        return QStringLiteral("x86");
    case 62:
        return QStringLiteral("x86-64");
    case 40:
        return QStringLiteral("ARM");
    case 183:
        return QStringLiteral("AArch64");
    default:
        return QStringLiteral("machine %1").arg(m);
    }
}

QString kind(const platform::ElfHeader &h)
{
    return QStringLiteral("%1-bit %2").arg(h.is64 ? 64 : 32).arg(machineName(h.machine));
}

QString kind(const platform::PeHeader &h)
{
    const std::uint16_t m = h.machine;
    const QString name = m == platform::kPeMachineX64 ? QStringLiteral("x86-64")
        : m == platform::kPeMachineX86                ? QStringLiteral("x86")
        : m == 0xAA64                                 ? QStringLiteral("AArch64")
                                                      : QStringLiteral("machine 0x%1").arg(m, 0, 16);
    return QStringLiteral("%1-bit %2").arg(h.is64 ? 64 : 32).arg(name);
}

// What the installer's binding calls; on Windows also the wide and extended
// entry points.
const std::vector<std::string> kEntryPoints {"RAROpenArchive", "RARReadHeader", "RARProcessFile", "RARCloseArchive"};
const std::vector<std::string> kWindowsEntryPoints {"RAROpenArchive",   "RAROpenArchiveEx", "RARReadHeader",
                                                    "RARReadHeaderEx",  "RARProcessFile",   "RARProcessFileW",
                                                    "RARCloseArchive"};

void refuseMissing(const QString &path, const std::vector<std::string> &missing)
{
    if (missing.empty())
        return;
    QStringList names;
    for (const std::string &m : missing)
        names << QString::fromStdString(m);
    throw Failure(QStringLiteral("library %1 does not export %2: it is not the unrar library")
                      .arg(path, names.join(QStringLiteral(", "))));
}

// The library of a Windows installer: a DLL of the installer's machine type
// whose export table names the entry points.
void checkWindowsLibrary(platform::NativeFile fd, const QString &path, const QString &installer,
                         const platform::PeHeader &exe)
{
    platform::ElfHeader elf;
    platform::PeHeader lib;
    if (platform::readElfHeader(fd, elf))
        throw Failure(QStringLiteral("library %1 is an ELF file, the installer %2 a Windows (PE) program: give the "
                                     "Windows DLL")
                          .arg(path, installer));
    if (!platform::readPeHeader(fd, lib))
        throw Failure(QStringLiteral("library %1 is not a Windows DLL").arg(path));
    if (!(lib.characteristics & platform::kPeFileDll))
        throw Failure(QStringLiteral("library %1 is a Windows (PE) file but not a DLL").arg(path));
    if (lib.is64 != exe.is64 || lib.machine != exe.machine)
        throw Failure(QStringLiteral("library %1 is built for %2, the installer %3 for %4")
                          .arg(path, kind(lib), installer, kind(exe)));
    std::vector<std::string> missing;
    std::string why;
    if (!platform::missingPeExports(fd, kWindowsEntryPoints, missing, why))
        throw Failure(QStringLiteral("library %1: %2").arg(path, QString::fromStdString(why)));
    refuseMissing(path, missing);
}

} // namespace

int openInput(const QString &path, const char *what, std::uint64_t &size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString why = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("not a regular file");
        if (fd >= 0)
            ::close(fd);
        throw Failure(QStringLiteral("cannot read %1 %2: %3").arg(QLatin1String(what), path, why));
    }
    size = std::uint64_t(st.st_size);
    return fd;
}

void checkArchive(platform::NativeFile fd, const QString &path)
{
    char head[8] = {};
    const bool rar4 = platform::readAt(fd, head, 7, 0) && std::memcmp(head, kRar4, 7) == 0;
    const bool rar5 = !rar4 && platform::readAt(fd, head, 8, 0) && std::memcmp(head, kRar5, 8) == 0;
    if (!rar4 && !rar5)
        throw Failure(QStringLiteral("archive %1 is not a RAR archive (it does not start with a RAR 4 or RAR 5 "
                                     "signature)")
                          .arg(path));
}

void checkLibrary(platform::NativeFile fd, const QString &path, const QString &installer)
{
    std::uint64_t size = 0;
    platform::FileHandle in(openInput(installer, "input", size));
    platform::ElfHeader exe;
    platform::PeHeader peExe;
    if (!platform::readElfHeader(in.get(), exe)) {
        if (!platform::readPeHeader(in.get(), peExe))
            throw Failure(QStringLiteral("input %1 is neither an ELF program nor a Windows (PE) program").arg(installer));
        if (peExe.characteristics & platform::kPeFileDll)
            throw Failure(QStringLiteral("input %1 is a Windows DLL, not a program").arg(installer));
        checkWindowsLibrary(fd, path, installer, peExe);
        return;
    }
    platform::ElfHeader lib;
    platform::PeHeader peLib;
    if (!platform::readElfHeader(fd, lib)) {
        if (platform::readPeHeader(fd, peLib))
            throw Failure(QStringLiteral("library %1 is a Windows (PE) file, the installer %2 an ELF program: give "
                                         "the ELF shared library")
                              .arg(path, installer));
        throw Failure(QStringLiteral("library %1 is not an ELF shared library").arg(path));
    }
    if (lib.type != 3)
        throw Failure(QStringLiteral("library %1 is an ELF file but not a shared library").arg(path));
    if (lib.is64 != exe.is64 || lib.machine != exe.machine || lib.bigEndian != exe.bigEndian)
        throw Failure(QStringLiteral("library %1 is built for %2, the installer %3 for %4")
                          .arg(path, kind(lib), installer, kind(exe)));

    std::vector<std::string> missing;
    std::string why;
    if (!platform::missingDynamicSymbols(fd, kEntryPoints, missing, why))
        throw Failure(QStringLiteral("library %1: %2").arg(path, QString::fromStdString(why)));
    refuseMissing(path, missing);
}

} // namespace tvopack
