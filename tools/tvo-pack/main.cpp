// tvo-pack's command line.
#include "TvoPack.h"

#include "resstore.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdio>

namespace {

const char kUsage[] =
    "usage: tvo-pack [options] INPUT OUTPUT\n"
    "       tvo-pack --list FILE\n"
    "       tvo-pack --unpack FILE DIR\n"
    "       tvo-pack --help | --version\n"
    "\n"
    "Copies the installer INPUT (one without a payload, such as build/ship/setup) to OUTPUT\n"
    "with the payload appended.\n"
    "  --library FILE     the unrar library (an ELF shared library of the installer's machine\n"
    "                     type exporting RAROpenArchive, RARReadHeader, RARProcessFile and\n"
    "                     RARCloseArchive; for a Windows installer a DLL exporting also\n"
    "                     RAROpenArchiveEx, RARReadHeaderEx and RARProcessFileW), stored\n"
    "                     as UNRAR_DLL\n"
    "  --archive FILE     a RAR archive (RAR 4 or RAR 5), stored as TVODEMO_0, TVODEMO_1, ...\n"
    "  --folder DIR       a folder, archived first (instead of --archive)\n"
    "  --piece-size N     bytes per archive piece before compression (default 1000000)\n"
    "  --no-compress      store the resources as they are (default: zstd level 19 where that\n"
    "                     makes a resource smaller)\n"
    "--list shows each resource's name, type, method, stored and full size and CRC-32;\n"
    "--unpack writes each resource, uncompressed and CRC-checked, into DIR.\n"
    "Paths are relative to the current folder. Exit codes: 0 done, 1 failed, 2 wrong usage.\n";

using tvopack::Failure;

// Paths become absolute against the current folder as they are read.
QString absolute(const QString &p) { return QDir::current().absoluteFilePath(p); }

int packCommand(const QStringList &args)
{
    tvopack::PackOptions o;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--no-compress")) {
            o.level = 0;
            continue;
        }
        const bool takesValue = a == QLatin1String("--library") || a == QLatin1String("--archive")
            || a == QLatin1String("--folder") || a == QLatin1String("--piece-size");
        if (!takesValue) {
            if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
                throw Failure(QStringLiteral("unknown option %1").arg(a), 2);
            positional << a;
            continue;
        }
        if (++i >= args.size())
            throw Failure(QStringLiteral("%1 needs a value").arg(a), 2);
        if (a == QLatin1String("--library"))
            o.library = absolute(args[i]);
        else if (a == QLatin1String("--archive"))
            o.archive = absolute(args[i]);
        else if (a == QLatin1String("--folder"))
            o.folder = absolute(args[i]);
        else {
            bool ok = false;
            const qlonglong n = args[i].toLongLong(&ok);
            if (!ok || n < 1)
                throw Failure(QStringLiteral("the piece size must be a whole number of at least 1, not %1").arg(args[i]),
                              2);
            o.pieceSize = std::uint64_t(n);
        }
    }
    if (positional.size() != 2)
        throw Failure(QStringLiteral("give INPUT and OUTPUT"), 2);
    if (!o.archive.isEmpty() && !o.folder.isEmpty())
        throw Failure(QStringLiteral("give --archive or --folder, not both"), 2);
    if (o.library.isEmpty() && o.archive.isEmpty() && o.folder.isEmpty())
        throw Failure(QStringLiteral("nothing to attach: give --library, --archive or --folder"), 2);
    if (o.library.isEmpty())
        std::fputs("tvo-pack: warning: no --library: the installer will ignore the archive and copy the folder "
                   "TVO-DEMO beside it instead\n",
                   stderr);
    o.input = absolute(positional[0]);
    o.output = absolute(positional[1]);
    return tvopack::pack(o);
}

int run(const QStringList &args)
{
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == QLatin1String("--version")) {
        std::printf("tvo-pack %s (resource store format %u)\n", TVO_VERSION, platform::kStoreVersion);
        return 0;
    }
    if (!args.isEmpty() && args[0] == QLatin1String("--list")) {
        if (args.size() != 2)
            throw Failure(QStringLiteral("--list takes one FILE"), 2);
        return tvopack::list(absolute(args[1]));
    }
    if (!args.isEmpty() && args[0] == QLatin1String("--unpack")) {
        if (args.size() != 3)
            throw Failure(QStringLiteral("--unpack takes FILE and DIR"), 2);
        return tvopack::unpack(absolute(args[1]), absolute(args[2]));
    }
    return packCommand(args);
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
            std::fputs("Try 'tvo-pack --help'.\n", stderr);
        return f.code;
    }
}
