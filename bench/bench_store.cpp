// The resource store's benchmarks, each against a reference tool in the same
// run (medians of seven runs in turns, on a warm page cache):
//
//   bench_store embed DIR MEGABYTES PIECE LEVEL
//       WriteEmbeddedArchive of an archive of MEGABYTES packed in PIECE-byte
//       pieces (LEVEL 0: stored, against cat of the archive; LEVEL > 0:
//       zstd-compressed pieces, against zstd -dc of the archive compressed
//       whole at the same level)
//   bench_store corpus DIR FILES MEGABYTES
//       writes a folder of FILES files of MEGABYTES in all, in 50 folders: text
//       lines and binary blocks, about half of it compressible
//
// Each timing mode prints one line "ROW|path|ours s|reference s|ratio".
#include "Payload.h"
#include "drives.h"
#include "resstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 7;

// Deterministic contents: lines of a price list and blocks of noise.
QByteArray contents(qint64 size, quint32 seed)
{
    QByteArray b;
    b.reserve(size);
    while (b.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        if ((seed >> 16) % 10 < 6) {
            for (int i = 0; i < 64 && b.size() < size; ++i) {
                seed = seed * 1664525u + 1013904223u;
                b += "POZ " + QByteArray::number((seed >> 8) % 99991) + ";Roboty ziemne kat. "
                    + QByteArray::number((seed >> 4) % 7) + ";m3;" + QByteArray::number((seed >> 12) % 5000) + ","
                    + QByteArray::number((seed >> 3) % 100) + "\r\n";
            }
        } else {
            for (int i = 0; i < 4096 && b.size() < size; ++i) {
                seed = seed * 1664525u + 1013904223u;
                b += char(seed >> 24);
            }
        }
    }
    b.truncate(size);
    return b;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int corpus(const QString &dir, int files, qint64 megabytes)
{
    const qint64 each = megabytes * 1000000 / files;
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/Dane%2").arg(dir).arg(i % 50, 2, 10, QLatin1Char('0'));
        // Sizes vary around the mean: a few large files, many small ones.
        const qint64 size = (i % 10 == 0) ? each * 5 : each * 5 / 9;
        if (!QDir().mkpath(folder) || !writeFile(QStringLiteral("%1/plik%2.dat").arg(folder).arg(i), contents(size, quint32(i))))
            return 1;
    }
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Medians of the two, run in turns so that a busy moment of the machine
// falls on both.
template <typename F, typename G> std::pair<double, double> seconds(F &&ours, G &&reference)
{
    std::vector<double> a, b;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        ours();
        a.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        reference();
        b.push_back(timer.nsecsElapsed() / 1e9);
    }
    return {median(a), median(b)};
}

bool shell(const QString &cmd) { return QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), cmd}) == 0; }

int embed(const QString &dir, qint64 megabytes, qint64 piece, int level)
{
    const qint64 size = megabytes * 1000000;
    const QString archive = dir + QStringLiteral("/a.rar"), setup = dir + QStringLiteral("/setup");
    QFile::remove(setup);
    if (!writeFile(archive, contents(size, 7)) || !QFile::copy(QCoreApplication::applicationFilePath(), setup))
        return 1;
    const int out = ::open(QFile::encodeName(setup).constData(), O_WRONLY | O_APPEND);
    const int in = ::open(QFile::encodeName(archive).constData(), O_RDONLY);
    platform::ResourceStoreWriter w(out);
    w.setCompressionLevel(level);
    QElapsedTimer packTimer;
    packTimer.start();
    bool ok = out >= 0 && in >= 0;
    for (qint64 off = 0, n = 0; ok && off < size; off += piece, ++n)
        ok = w.addFromFile(platform::kRawDataResource, "TVODEMO_" + std::to_string(n), in, std::uint64_t(off),
                           std::uint64_t(std::min(piece, size - off)));
    ok = ok && w.finish();
    const double packed = packTimer.nsecsElapsed() / 1e9;
    ::close(in);
    ::close(out);
    if (!ok) {
        std::fprintf(stderr, "bench_store: %s\n", w.errorString().c_str());
        return 1;
    }
    SetPayloadSourceForTesting(setup);
    platform::setDriveRoot('B', dir);
    const QString target = QStringLiteral("B:\\out.rar");
    QString reference = QStringLiteral("cat '%1' > '%2/ref.rar'").arg(archive, dir);
    if (level > 0) {
        if (!shell(QStringLiteral("zstd -q -f -%1 '%2' -o '%2.zst'").arg(level).arg(archive)))
            return 1;
        reference = QStringLiteral("zstd -q -d -c '%1.zst' > '%2/ref.rar'").arg(archive, dir);
    }
    try {
        WriteEmbeddedArchive(target); // warms the page cache for both
        const auto [ours, ref] = seconds([&] { WriteEmbeddedArchive(target); }, [&] { shell(reference); });
        if (QFileInfo(dir + QStringLiteral("/out.rar")).size() != size)
            throw Exception(QStringLiteral("the written archive has the wrong size"));
        const qint64 pieces = (size + piece - 1) / piece;
        std::printf("packing %lld pieces: %.2f s\n", static_cast<long long>(pieces), packed);
        std::printf("ROW|WriteEmbeddedArchive %lld MB in %lld pieces, %s|%.3f|%.3f|%.2f\n",
                    static_cast<long long>(megabytes), static_cast<long long>(pieces),
                    level ? qPrintable(QStringLiteral("zstd -%1 pieces (zstd -dc)").arg(level)) : "stored (cat)", ours,
                    ref, ours / ref);
    } catch (const Exception &e) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(e.message()));
        return 1;
    }
    QFile::remove(setup);
    QFile::remove(archive);
    QFile::remove(archive + QStringLiteral(".zst"));
    QFile::remove(dir + QStringLiteral("/out.rar"));
    QFile::remove(dir + QStringLiteral("/ref.rar"));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() == 6 && a[1] == QLatin1String("embed"))
        return embed(a[2], a[3].toLongLong(), a[4].toLongLong(), a[5].toInt());
    if (a.size() == 5 && a[1] == QLatin1String("corpus"))
        return corpus(a[2], a[3].toInt(), a[4].toLongLong());
    std::fputs("usage: bench_store embed DIR MEGABYTES PIECE LEVEL | corpus DIR FILES MEGABYTES\n", stderr);
    return 2;
}
