// Recursive TFindFiles over a generated tree of 100,000 entries, against a
// find that reads every entry's size and time as the search does
// (`find DIR -printf '%s %T@ %p\n'`), over the same tree in the same run.
//   bench_findfiles [entries] [rounds]
// Prints "round <ours s> <find s>" per round.
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
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

    // The search reads every entry's size and time; so does this find.
    const QStringList withStat{QStringLiteral("-printf"), QStringLiteral("%s %T@ %p\n")};
    runFind(tmp.path(), withStat); // warm the caches for both
    runSearch(false);
    for (int i = 0; i < rounds; ++i) {
        // Alternate who goes first.
        Run find, ours;
        if (i % 2)
            ours = runSearch(false), find = runFind(tmp.path(), withStat);
        else
            find = runFind(tmp.path(), withStat), ours = runSearch(false);
        if (ours.entries != find.entries) {
            std::fprintf(stderr, "entry counts differ: %lld and %lld\n", ours.entries, find.entries);
            return 1;
        }
        std::printf("round %.6f %.6f   (TFindFiles %.1f ms, find -printf %.1f ms, %lld entries)\n", ours.ms / 1e3,
                    find.ms / 1e3, ours.ms, find.ms, ours.entries);
    }
    const Run progress = runSearch(true);
    std::printf("with a progress handler: %.1f ms\n", progress.ms);
    return 0;
}
