// Expanding a chooser tree node whose folder holds 5,000 subfolders (every
// other one with a subfolder of its own, so that half of the nodes get an
// expand mark), against `find DIR -maxdepth 1 -type d` of the same folder in
// the same run.
//   bench_explorer [subfolders]
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
    p.start(QStringLiteral("find"), {dir, QStringLiteral("-maxdepth"), QStringLiteral("1"), QStringLiteral("-type"),
                                     QStringLiteral("d")});
    QByteArray out;
    while (p.waitForReadyRead(-1) || p.bytesAvailable())
        out += p.readAll();
    p.waitForFinished(-1);
    lines = int(out.count('\n')) - 1; // find prints the folder itself too
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

    const int runs = 5;
    double expand = 1e300, find = 1e300;
    int children = 0, lines = 0;
    for (int i = 0; i < runs; ++i) {
        expand = std::min(expand, expandMs(children));
        find = std::min(find, findMs(big, lines));
    }
    std::printf("subfolders: %d (node children %d, find lines %d), best of %d runs\n", count, children, lines, runs);
    std::printf("expand node:                %10.1f ms\n", expand);
    std::printf("find -maxdepth 1 -type d:   %10.1f ms\n", find);
    std::printf("ratio expand / find:        %10.2f\n", expand / find);
    return children == count && lines == count ? 0 : 1;
}
