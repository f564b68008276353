// Writes the archive of a packed installer (300 MB in 1,000,000-byte pieces)
// with WriteEmbeddedArchive and copies the same bytes with cat, each a few
// times on a warm page cache, and prints the best times and their ratio.
//
//   bench_payload [MEGABYTES]
#include "Payload.h"
#include "drives.h"
#include "resstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kRuns = 3;
constexpr qint64 kPiece = 1000000;

bool makeArchive(const QString &path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 2654435761u) >> 24);
    for (qint64 done = 0; done < size; done += block.size())
        if (f.write(block.constData(), std::min<qint64>(block.size(), size - done)) < 0)
            return false;
    return true;
}

bool packInstaller(const QString &plain, const QString &archive, qint64 size)
{
    const int out = ::open(QFile::encodeName(plain).constData(), O_WRONLY | O_APPEND);
    const int in = ::open(QFile::encodeName(archive).constData(), O_RDONLY);
    platform::ResourceStoreWriter w(out);
    bool ok = out >= 0 && in >= 0;
    for (qint64 off = 0, n = 0; ok && off < size; off += kPiece, ++n)
        ok = w.addFromFile(platform::kRawDataResource, "TVODEMO_" + std::to_string(n), in, std::uint64_t(off),
                           std::uint64_t(std::min(kPiece, size - off)));
    ok = ok && w.finish();
    ::close(in);
    ::close(out);
    return ok;
}

template <typename F> double bestSeconds(F &&run)
{
    double best = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 300;
    const qint64 size = megabytes * 1000000;
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/bench_payload-XXXXXX"));
    const QString archive = tmp.filePath(QStringLiteral("a.rar")), setup = tmp.filePath(QStringLiteral("setup"));
    if (size <= 0 || !makeArchive(archive, size) || !QFile::copy(app.applicationFilePath(), setup)
        || !packInstaller(setup, archive, size)) {
        std::fprintf(stderr, "bench_payload: cannot make the fixture in %s\n", qPrintable(tmp.path()));
        return 1;
    }
    SetPayloadSourceForTesting(setup);
    platform::setDriveRoot('B', tmp.path());

    try {
        WriteEmbeddedArchive(QStringLiteral("B:\\warm.rar")); // page cache warm for both
    } catch (const Exception &e) {
        std::fprintf(stderr, "bench_payload: %s\n", qPrintable(e.message()));
        return 1;
    }
    const double ours = bestSeconds([] { WriteEmbeddedArchive(QStringLiteral("B:\\out.rar")); });
    const QString cmd = QStringLiteral("cat '%1' > '%2'").arg(archive, tmp.filePath(QStringLiteral("cat.rar")));
    const double cat = bestSeconds([&] { QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), cmd}); });

    if (QFileInfo(tmp.filePath(QStringLiteral("out.rar"))).size() != size) {
        std::fprintf(stderr, "bench_payload: the written archive has the wrong size\n");
        return 1;
    }
    std::printf("archive %lld bytes in %lld pieces, best of %d runs\n", static_cast<long long>(size),
                static_cast<long long>((size + kPiece - 1) / kPiece), kRuns);
    std::printf("WriteEmbeddedArchive %.3f s  (%.0f MB/s)\n", ours, size / 1e6 / ours);
    std::printf("cat                  %.3f s  (%.0f MB/s)\n", cat, size / 1e6 / cat);
    std::printf("ratio WriteEmbeddedArchive / cat = %.2f\n", ours / cat);
    return 0;
}
