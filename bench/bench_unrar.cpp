// Lists and extracts a 5,000-entry, 270 MB archive with TUnRAR and with the
// unrar tool in the same run, and prints both times and their ratio.
//   bench_unrar [library path, default the system's libunrar.so.5]
#include "AppCore.h"
#include "RarWriter.h"
#include "UnRAR.h"
#include "drives.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

constexpr int Folders = 50;
constexpr int FilesPerFolder = 99; // 50 folders + 4,950 files = 5,000 entries
constexpr qint64 TotalBytes = 270'000'000;

qint64 writeArchive(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    RarWriter w;
    w.open(&f);
    quint32 seed = 1;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const qint64 mean = TotalBytes / (Folders * FilesPerFolder);
    QByteArray pool(int(2 * mean), Qt::Uninitialized);
    for (char &c : pool)
        c = char(next() >> 16);
    qint64 total = 0;
    for (int d = 0; d < Folders; ++d) {
        RarEntry dir;
        dir.name = QStringLiteral("katalog%1").arg(d, 2, 10, QChar('0'));
        dir.folder = true;
        dir.unixMode = 0755;
        w.add(dir);
        for (int i = 0; i < FilesPerFolder; ++i) {
            RarEntry e;
            e.name = QStringLiteral("%1/plik%2.dat").arg(dir.name).arg(i, 3, 10, QChar('0'));
            const int size = int(next() % quint32(2 * mean));
            e.data = pool.left(size);
            total += size;
            w.add(e);
        }
    }
    w.finish();
    return total;
}

double seconds(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e9;
}

bool tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("unrar"), args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    App::initModules();
    QTemporaryDir tmp;
    platform::setDriveRoot('B', tmp.path());
    const QString arc = tmp.path() + "/bench.rar";
    const qint64 bytes = writeArchive(arc);
    std::printf("archive: %d entries, %lld data bytes, %lld archive bytes\n", Folders * (FilesPerFolder + 1),
                bytes, QFileInfo(arc).size());
    try {
        LoadUnrarLibrary(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral("Z:\\usr\\lib\\x86_64-linux-gnu\\libunrar.so.5"));
        TUnRAR u;
        u.setArchiveFile(QStringLiteral("B:\\bench.rar"));
        int events = 0;
        u.OnExtractFile = [&](QObject *, const QString &, bool &) { ++events; };
        double best[4] = {1e9, 1e9, 1e9, 1e9};
        for (int round = 0; round < 3; ++round) {
            const QString n = QString::number(round);
            QDir(tmp.path()).mkpath("tool" + n);
            QDir(tmp.path()).mkpath("ours" + n);
            bool ok = true;
            double tl = 0, tx = 0, ol = 0, ox = 0;
            auto theirs = [&] {
                tl = seconds([&] { ok &= tool({"lb", arc}); });
                tx = seconds([&] { ok &= tool({"x", "-idq", "-o+", arc, tmp.path() + "/tool" + n + "/"}); });
            };
            auto ours = [&] {
                events = 0;
                ol = seconds([&] { u.ListFiles(); });
                ox = seconds([&] { u.ExtractTo("B:\\ours" + n + "\\"); });
            };
            // Alternate who goes first, so that neither always meets the other's dirty pages.
            round % 2 ? (ours(), theirs()) : (theirs(), ours());
            if (!ok || u.Files().size() != Folders * (FilesPerFolder + 1) || events != u.Files().size()) {
                std::fprintf(stderr, "the unrar tool or the listing failed\n");
                return 1;
            }
            std::printf("round %d: list ours %.3f s, unrar lb %.3f s; extract ours %.3f s, unrar x %.3f s\n", round,
                        ol, tl, ox, tx);
            best[0] = std::min(best[0], ol), best[1] = std::min(best[1], tl);
            best[2] = std::min(best[2], ox), best[3] = std::min(best[3], tx);
            QDir(tmp.path() + "/tool" + n).removeRecursively();
            QDir(tmp.path() + "/ours" + n).removeRecursively();
        }
        std::printf("best: list %.3f s vs %.3f s (ratio %.2f); extract %.3f s vs %.3f s (ratio %.2f); %d events per extraction\n",
                    best[0], best[1], best[0] / best[1], best[2], best[3], best[2] / best[3], events);
    } catch (const Exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    UnloadUnrarLibrary();
    return 0;
}
