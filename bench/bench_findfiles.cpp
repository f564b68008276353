// Recursive TFindFiles over a generated tree of 100,000 entries, against
// `find DIR` over the same tree in the same run (and, for scale, a find that
// also reads every entry's size and time, as the search does).
//   bench_findfiles [entries]
#include "FindFiles.h"
#include "drives.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Folders three levels deep (10 x 10 x 10), files spread over the leaves,
// until the tree holds `total` entries below its root (at least the 1,110
// folders).
int makeTree(const QString &root, int total)
{
    int made = 0;
    QStringList leaves;
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                const QString rel = QStringLiteral("d%1/s%2/l%3").arg(a).arg(b).arg(c);
                made += (b == 0 && c == 0) + (c == 0) + 1; // folders new on this path
                QDir().mkpath(root + '/' + rel);
                leaves << rel;
            }
    for (int i = 0; made < total; ++i, ++made) {
        QFile f(root + '/' + leaves[i % leaves.size()] + QStringLiteral("/file%1.dat").arg(i));
        if (!f.open(QIODevice::WriteOnly))
            return -1;
        f.write("x");
    }
    return made;
}

struct Run {
    double ms = 0;
    long long entries = 0;
};

Run runFind(const QString &dir, const QStringList &extra = {})
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QStringLiteral("find"), QStringList{dir} + extra);
    long long lines = 0;
    while (p.waitForReadyRead(-1) || p.bytesAvailable())
        lines += p.readAll().count('\n');
    p.waitForFinished(-1);
    return {double(t.nsecsElapsed()) / 1e6, lines - 1}; // find prints the root too
}

Run runSearch(bool withProgress)
{
    TFindFiles ff;
    ff.setDirectory(QStringLiteral("B:\\"));
    ff.setRecurse(true);
    ff.setaDirectory(fmDontCare);
    ff.setaHidden(fmDontCare);
    ff.setaReadOnly(fmDontCare);
    int calls = 0;
    if (withProgress)
        ff.OnProgress = [&](int, const QString &, bool &) { ++calls; };
    QElapsedTimer t;
    t.start();
    ff.Search();
    return {double(t.nsecsElapsed()) / 1e6, ff.FileList.Count()};
}

template <class F> Run best(int times, F f)
{
    Run r = f();
    for (int i = 1; i < times; ++i) {
        const Run n = f();
        if (n.ms < r.ms)
            r = n;
    }
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir tmp;
    QElapsedTimer gen;
    gen.start();
    const int made = makeTree(tmp.path(), total);
    if (made != total) {
        std::fprintf(stderr, "could not build a tree of %d entries in %s\n", total, qPrintable(tmp.path()));
        return 1;
    }
    std::printf("tree: %d entries, built in %.0f ms\n", made, double(gen.elapsed()));
    platform::setDriveRoot('B', tmp.path());

    runFind(tmp.path()); // warm the caches for both
    const Run find = best(3, [&] { return runFind(tmp.path()); });
    // The search reads every entry's size and time; so does this find.
    const QStringList withStat{QStringLiteral("-printf"), QStringLiteral("%s %T@ %p\n")};
    const Run findStat = best(3, [&] { return runFind(tmp.path(), withStat); });
    const Run plain = best(3, [] { return runSearch(false); });
    const Run progress = best(3, [] { return runSearch(true); });
    std::printf("find DIR                  : %8.1f ms  %lld entries\n", find.ms, find.entries);
    std::printf("find DIR -printf size,time: %8.1f ms  %lld entries  ratio %.2f\n", findStat.ms, findStat.entries,
                findStat.ms / find.ms);
    std::printf("TFindFiles                : %8.1f ms  %lld entries  ratio %.2f\n", plain.ms, plain.entries,
                plain.ms / find.ms);
    std::printf("TFindFiles with progress  : %8.1f ms  %lld entries  ratio %.2f\n", progress.ms, progress.entries,
                progress.ms / find.ms);
    if (plain.entries != find.entries || progress.entries != find.entries) {
        std::fprintf(stderr, "entry counts differ\n");
        return 1;
    }
    return 0;
}
