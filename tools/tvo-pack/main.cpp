// tvo-pack: attaches the payload (the unrar library and the archive in
// numbered pieces) to a plain installer binary, and shows or unpacks what an
// installer carries.
#include "RarWriter.h"
#include "resstore.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUsage[] = "usage: tvo-pack [--no-compress] [--library FILE] [--archive FILE | --folder DIR] [--piece-size N] INPUT OUTPUT\n"
                      "       tvo-pack --list FILE\n"
                      "       tvo-pack --unpack FILE DIR\n";

// A failure with the message to print; exit code 2 for a wrong command line.
struct Failure : std::runtime_error {
    int code;
    Failure(const QString &m, int c = 1) : std::runtime_error(m.toStdString()), code(c) {}
};

QString sysError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// An open file descriptor, closed on every way out.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
};

// Opens a regular file for reading and gives its size.
int openInput(const QString &path, const char *what, std::uint64_t &size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString why = fd < 0 ? sysError() : QStringLiteral("not a regular file");
        if (fd >= 0)
            ::close(fd);
        throw Failure(QStringLiteral("cannot read %1 %2: %3").arg(QLatin1String(what), path, why));
    }
    size = std::uint64_t(st.st_size);
    return fd;
}

// Opens an installer's store; a file without one, or a damaged one, fails.
void openStore(platform::ResourceStore &store, const QString &path)
{
    switch (store.open(QFile::encodeName(path).toStdString(), path.toStdString())) {
    case platform::ResourceStore::Valid:
        return;
    case platform::ResourceStore::Plain:
        throw Failure(QStringLiteral("%1 carries no resources").arg(path));
    case platform::ResourceStore::Unreadable:
        throw Failure(QStringLiteral("cannot read %1: %2").arg(path, QString::fromStdString(store.reason())));
    case platform::ResourceStore::Damaged:
    case platform::ResourceStore::Unsupported:
        throw Failure(QString::fromStdString(store.errorString()));
    }
}

int list(const QString &path)
{
    platform::ResourceStore store;
    openStore(store, path);
    std::printf("%-16s %4s %-6s %12s %12s %8s\n", "resource", "type", "method", "stored", "size", "crc32");
    for (const platform::StoredResource &r : store.resources())
        std::printf("%-16s %4u %-6s %12llu %12llu %08x\n", r.name.c_str(), r.type,
                    r.method == platform::StoreMethod::Zstd ? "zstd" : "stored", static_cast<unsigned long long>(r.size),
                    static_cast<unsigned long long>(r.originalSize), r.crc);
    return 0;
}

// A resource name becomes a file name inside DIR: it must not reach outside.
bool safeFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains('/')
        && !name.contains(QChar(0));
}

int unpack(const QString &path, const QString &dir)
{
    platform::ResourceStore store;
    openStore(store, path);
    if (!QDir().mkpath(dir))
        throw Failure(QStringLiteral("cannot create folder %1").arg(dir));
    for (const platform::StoredResource &r : store.resources()) {
        const QString name = QString::fromStdString(r.name);
        if (!safeFileName(name))
            throw Failure(QStringLiteral("%1: refusing the unsafe resource name \"%2\"").arg(path, name));
        const QString target = QDir(dir).filePath(name);
        Fd out(::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (out.fd < 0)
            throw Failure(QStringLiteral("cannot create %1: %2").arg(target, sysError()));
        if (store.copyTo(r, out.fd) != platform::ResourceStore::Copied)
            throw Failure(QStringLiteral("%1: %2").arg(target, QString::fromStdString(store.errorString())));
        std::printf("%s\n", QFile::encodeName(target).constData());
    }
    return 0;
}

struct PackOptions {
    QString library, archive, folder, input, output;
    std::uint64_t pieceSize = 1000000;
    int level = platform::kDefaultCompressionLevel;
};

void addFile(platform::ResourceStoreWriter &w, const QString &name, int fd, std::uint64_t offset, std::uint64_t size,
             const QString &output)
{
    if (!w.addFromFile(platform::kRawDataResource, name.toStdString(), fd, offset, size))
        throw Failure(QStringLiteral("cannot write %1: %2").arg(output, QString::fromStdString(w.errorString())));
}

// Writes the whole installer into an open temporary file.
void writeInstaller(const PackOptions &o, const QString &archive, int outFd)
{
    platform::ResourceStore plain;
    switch (plain.open(QFile::encodeName(o.input).toStdString(), o.input.toStdString())) {
    case platform::ResourceStore::Plain:
        break;
    case platform::ResourceStore::Valid:
        throw Failure(QStringLiteral("%1 already carries resources; give the plain installer").arg(o.input));
    case platform::ResourceStore::Damaged:
    case platform::ResourceStore::Unsupported:
        throw Failure(QString::fromStdString(plain.errorString()));
    case platform::ResourceStore::Unreadable:
        throw Failure(QStringLiteral("cannot read input %1: %2").arg(o.input, QString::fromStdString(plain.reason())));
    }
    std::uint64_t size = 0;
    Fd in(openInput(o.input, "input", size));
    if (platform::copyRange(in.fd, 0, size, outFd) != platform::CopyStatus::Ok)
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, sysError()));

    platform::ResourceStoreWriter w(outFd);
    w.setCompressionLevel(o.level);
    if (!o.library.isEmpty()) {
        Fd lib(openInput(o.library, "library", size));
        addFile(w, QStringLiteral("UNRAR_DLL"), lib.fd, 0, size, o.output);
    }
    if (!archive.isEmpty()) {
        Fd arc(openInput(archive, "archive", size));
        int n = 0;
        for (std::uint64_t off = 0; off < size; off += o.pieceSize, ++n)
            addFile(w, QStringLiteral("TVODEMO_%1").arg(n), arc.fd, off, std::min(o.pieceSize, size - off), o.output);
    }
    if (!w.finish())
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, QString::fromStdString(w.errorString())));
}

int pack(const PackOptions &o)
{
    // The archive of a folder is made first, in a scratch folder.
    QTemporaryDir scratch;
    QString archive = o.archive;
    if (!o.folder.isEmpty()) {
        if (!QFileInfo(o.folder).isDir())
            throw Failure(QStringLiteral("cannot read folder %1").arg(o.folder));
        archive = scratch.filePath(QStringLiteral("payload.rar"));
        try {
            writeRarFromFolder(o.folder, archive);
        } catch (const RarWriteError &e) {
            throw Failure(QStringLiteral("cannot archive %1: %2").arg(o.folder, QString::fromUtf8(e.what())));
        }
    }

    // Written beside OUTPUT and renamed over it at the end, so that OUTPUT is
    // never left half written.
    QByteArray tmpName = QFile::encodeName(o.output) + ".XXXXXX";
    const int fd = ::mkstemp(tmpName.data());
    if (fd < 0)
        throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, sysError()));
    Fd out(fd);
    try {
        writeInstaller(o, archive, out.fd);
        if (::fchmod(out.fd, 0755) != 0 || ::fsync(out.fd) != 0 || ::close(out.fd) != 0) {
            out.fd = -1;
            throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, sysError()));
        }
        out.fd = -1;
        if (::rename(tmpName.constData(), QFile::encodeName(o.output).constData()) != 0)
            throw Failure(QStringLiteral("cannot write %1: %2").arg(o.output, sysError()));
    } catch (...) {
        ::unlink(tmpName.constData());
        throw;
    }
    return 0;
}

int run(const QStringList &args)
{
    if (args.size() == 2 && args[0] == QLatin1String("--list"))
        return list(args[1]);
    if (args.size() == 3 && args[0] == QLatin1String("--unpack"))
        return unpack(args[1], args[2]);

    PackOptions o;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool takesValue = a == QLatin1String("--library") || a == QLatin1String("--archive")
            || a == QLatin1String("--folder") || a == QLatin1String("--piece-size");
        if (a == QLatin1String("--no-compress")) {
            o.level = 0;
            continue;
        }
        if (!takesValue) {
            if (a.startsWith(QLatin1String("--")))
                throw Failure(QStringLiteral("unknown option %1").arg(a), 2);
            positional << a;
            continue;
        }
        if (++i >= args.size())
            throw Failure(QStringLiteral("%1 needs a value").arg(a), 2);
        if (a == QLatin1String("--library"))
            o.library = args[i];
        else if (a == QLatin1String("--archive"))
            o.archive = args[i];
        else if (a == QLatin1String("--folder"))
            o.folder = args[i];
        else {
            bool ok = false;
            const qlonglong n = args[i].toLongLong(&ok);
            if (!ok || n < 1)
                throw Failure(QStringLiteral("the piece size must be a whole number of at least 1, not %1").arg(args[i]), 2);
            o.pieceSize = std::uint64_t(n);
        }
    }
    if (positional.size() != 2)
        throw Failure(QStringLiteral("give INPUT and OUTPUT"), 2);
    if (!o.archive.isEmpty() && !o.folder.isEmpty())
        throw Failure(QStringLiteral("give --archive or --folder, not both"), 2);
    if (o.library.isEmpty() && o.archive.isEmpty() && o.folder.isEmpty())
        throw Failure(QStringLiteral("nothing to attach: give --library, --archive or --folder"), 2);
    o.input = positional[0];
    o.output = positional[1];
    return pack(o);
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QFile::decodeName(argv[i]);
    try {
        return run(args);
    } catch (const Failure &f) {
        std::fprintf(stderr, "tvo-pack: %s\n", f.what());
        if (f.code == 2)
            std::fputs(kUsage, stderr);
        return f.code;
    }
}
