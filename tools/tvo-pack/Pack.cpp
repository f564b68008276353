// tvo-pack's packing: the plain installer, then the library and the archive
// pieces as resources of the appended store, written to OUTPUT atomically.
#include "TvoPack.h"
#include "pefile.h"

#include "RarWriter.h"
#include "filehandle.h"
#include "names.h"
#include "resstore.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace tvopack {
namespace {

const std::string kLibraryName = "UNRAR_DLL";

std::string pieceName(std::uint64_t n) { return "TVODEMO_" + std::to_string(n); }

QString sysError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The installer's reader refuses an index larger than its limit: refuse here,
// before anything is written, a piece count that would pass it.
void checkPieceCount(std::uint64_t archiveSize, std::uint64_t pieceSize, bool withLibrary)
{
    const std::uint64_t pieces = (archiveSize + pieceSize - 1) / pieceSize;
    std::uint64_t index = 4 + (withLibrary ? platform::storeIndexEntrySize(kLibraryName.size()) : 0);
    std::uint64_t n = 0;
    for (; n < pieces && index <= platform::kMaxStoreIndexSize; ++n)
        index += platform::storeIndexEntrySize(pieceName(n).size());
    if (index > platform::kMaxStoreIndexSize)
        throw Failure(QStringLiteral("the archive would be cut into %1 pieces of %2 bytes; the installer reads at "
                                     "most %3: give a larger --piece-size")
                          .arg(pieces)
                          .arg(pieceSize)
                          .arg(n - 1));
}

void addFile(platform::ResourceStoreWriter &w, const std::string &name, platform::NativeFile fd, std::uint64_t offset,
             std::uint64_t size, const QString &output)
{
    if (!w.addFromFile(platform::kRawDataResource, name, fd, offset, size))
        throw Failure(QStringLiteral("cannot write %1: %2").arg(output, QString::fromStdString(w.errorString())));
}

// Checks every input, then writes the whole installer to outFd.
void writeInstaller(const PackOptions &o, const QString &archive, platform::NativeFile outFd)
{
    // The input is an installer without a payload.
    platform::ResourceStore input;
    switch (input.open(QFile::encodeName(o.input).toStdString(), o.input.toStdString())) {
    case platform::ResourceStore::Plain:
        break;
    case platform::ResourceStore::Valid:
        throw Failure(QStringLiteral("%1 already carries a payload; give the installer without one").arg(o.input));
    case platform::ResourceStore::Damaged:
    case platform::ResourceStore::Unsupported:
        throw Failure(QString::fromStdString(input.errorString()));
    case platform::ResourceStore::Unreadable:
        throw Failure(QStringLiteral("cannot read input %1: %2").arg(o.input, QString::fromStdString(input.reason())));
    }
    input.close();
    std::uint64_t inSize = 0, libSize = 0, arcSize = 0;
    platform::FileHandle in(openInput(o.input, "input", inSize)), lib, arc;
    // A signature covers the whole file: what is attached after it breaks it.
    if (platform::peCertificateOffset(in.get()) >= 0)
        throw Failure(QStringLiteral("%1 is signed: attaching a payload would break its signature; give the installer "
                                     "before signing and sign what tvo-pack writes")
                          .arg(o.input));
    if (!o.library.isEmpty()) {
        lib.reset(openInput(o.library, "library", libSize));
        checkLibrary(lib.get(), o.library, o.input);
    }
    if (!archive.isEmpty()) {
        arc.reset(openInput(archive, "archive", arcSize));
        checkArchive(arc.get(), o.archive.isEmpty() ? o.folder : archive);
        checkPieceCount(arcSize, o.pieceSize, lib.get() >= 0);
    }

    if (platform::copyRange(in.get(), 0, inSize, outFd) != platform::CopyStatus::Ok)
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, sysError()));
    platform::ResourceStoreWriter w(outFd);
    w.setCompressionLevel(o.level);
    if (lib.get() >= 0)
        addFile(w, kLibraryName, lib.get(), 0, libSize, o.output);
    std::uint64_t n = 0;
    for (std::uint64_t off = 0; off < arcSize; off += o.pieceSize, ++n)
        addFile(w, pieceName(n), arc.get(), off, std::min(o.pieceSize, arcSize - off), o.output);
    if (!w.finish())
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, QString::fromStdString(w.errorString())));
}

// Names in the folder that Windows cannot hold: the Windows installer would
// refuse to install them; said on standard error, the packing goes on.
void warnOfWindowsNames(const QString &folder, const QString &installer)
{
    platform::PeHeader pe;
    std::uint64_t size = 0;
    platform::FileHandle in(openInput(installer, "input", size));
    if (!platform::readPeHeader(in.get(), pe))
        return; // a Linux installer holds every name
    const QDir root(folder);
    QStringList names;
    QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << root.relativeFilePath(it.next());
    names.sort();
    const auto warn = [](const QString &text) {
        std::fprintf(stderr, "tvo-pack: warning: %s; the Windows installer will refuse to install it\n", qPrintable(text));
    };
    for (const QString &name : std::as_const(names))
        if (const QString problem = platform::windowsNameProblem(name); !problem.isEmpty())
            warn(name + QStringLiteral(": ") + problem);
    if (const QStringList twins = platform::letterCaseTwins(names); !twins.isEmpty())
        warn(QStringLiteral("%1 and %2 differ in letter case alone (one file on Windows)").arg(twins[0], twins[1]));
}

} // namespace

int pack(const PackOptions &o)
{
    // The archive of a folder is made first, in a scratch folder.
    QTemporaryDir scratch;
    QString archive = o.archive;
    if (!o.folder.isEmpty()) {
        if (!QFileInfo(o.folder).isDir())
            throw Failure(QStringLiteral("cannot read folder %1").arg(o.folder));
        if (!scratch.isValid())
            throw Failure(QStringLiteral("cannot make a scratch folder: %1").arg(scratch.errorString()));
        archive = scratch.filePath(QStringLiteral("payload.rar"));
        warnOfWindowsNames(o.folder, o.input);
        try {
            writeRarFromFolder(o.folder, archive);
        } catch (const RarWriteError &e) {
            throw Failure(QStringLiteral("cannot archive %1: %2").arg(o.folder, QString::fromUtf8(e.what())));
        }
    }

    // Written beside OUTPUT, synced and renamed over it at the end, so that
    // OUTPUT is never left half written; dropped on any failure.
    QSaveFile out(o.output);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, out.errorString()));
    writeInstaller(o, archive, out.handle());
    if (::fchmod(out.handle(), 0755) != 0)
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, sysError()));
    if (!out.commit())
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, out.errorString()));
    return 0;
}

} // namespace tvopack
