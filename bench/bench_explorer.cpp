// Expanding a chooser tree node whose folder holds 5,000 subfolders (every
// other one with a subfolder of its own, so that half of the nodes get an
// expand mark), against `find DIR -mindepth 1 -maxdepth 2 -type d` of the
// same folder in the same run (the node also looks into each subfolder).
//   bench_explorer [subfolders] [rounds]
// Prints "round <ours s> <find s>" per round.
#include "AppCore.h"
#include "drives.h"
#include "exploratorDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>

namespace {

double expandMs(int &children)
{
    TExplorerDlg dlg(nullptr);
    dlg.OpenFolder(QStringLiteral("B:\\"));
    QTreeWidgetItem *big = dlg.tree->topLevelItem(0)->child(0);
    QElapsedTimer t;
    t.start();
    big->setExpanded(true);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    children = big->childCount();
    return ms;
}

double findMs(const QString &dir, int &lines)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QStringLiteral("find"), {dir, QStringLiteral("-mindepth"), QStringLiteral("1"), QStringLiteral("-maxdepth"),
                                     QStringLiteral("2"), QStringLiteral("-type"), QStringLiteral("d")});
    QByteArray out;
    while (p.waitForReadyRead(-1) || p.bytesAvailable())
        out += p.readAll();
    p.waitForFinished(-1);
    lines = int(out.count('\n'));
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    App::initModules();
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    QTemporaryDir tmp;
    const QString big = tmp.path() + QStringLiteral("/big");
    for (int i = 0; i < count; ++i)
        QDir().mkpath(big + QStringLiteral("/folder%1").arg(i, 5, 10, QChar('0')) +
                      (i % 2 ? QStringLiteral("/inner") : QString()));
    platform::setDriveRoot('B', tmp.path());

    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    int children = 0, lines = 0;
    expandMs(children), findMs(big, lines); // warm the caches for both
    const int folders = count + count / 2;
    for (int i = 0; i < rounds; ++i) {
        double expand, find;
        if (i % 2)
            expand = expandMs(children), find = findMs(big, lines);
        else
            find = findMs(big, lines), expand = expandMs(children);
        if (children != count || lines != folders) {
            std::fprintf(stderr, "node children %d (of %d), find lines %d (of %d)\n", children, count, lines, folders);
            return 1;
        }
        std::printf("round %.6f %.6f   (expand %.1f ms, find %.1f ms, %d subfolders)\n", expand / 1e3, find / 1e3, expand,
                    find, count);
    }
    return 0;
}
