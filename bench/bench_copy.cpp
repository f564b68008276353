// Copy speed of CopyFileWithProgress (driving a visible TGauge) against cp,
// on one large file and on a tree of many small files, in the same run.
//   bench_copy [folder for the test files] [MiB of the large file] [small files] [rounds]
// Prints "round <ours s> <cp s> big|small" per round (a large file of 0 MiB
// leaves that part out).
#include "AppCore.h"
#include "FileRoutines.h"
#include "Gauges.h"
#include "drives.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void writeFile(const QString &host, qint64 size)
{
    QFile f(host);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(host));
    static QByteArray block = [] {
        QByteArray b(1 << 20, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(b.data()), b.size() / 4);
        return b;
    }();
    while (size > 0) {
        const qint64 n = std::min<qint64>(size, block.size());
        f.write(block.constData(), n);
        size -= n;
    }
}

// Reads the files once so that both contenders start from a warm cache.
void warm(const QString &host)
{
    QDirIterator it(host, QDir::Files, QDirIterator::Subdirectories);
    QStringList files = QFileInfo(host).isFile() ? QStringList{host} : QStringList{};
    while (it.hasNext())
        files << it.next();
    QByteArray buf(1 << 20, Qt::Uninitialized);
    for (const QString &f : files) {
        QFile in(f);
        if (in.open(QIODevice::ReadOnly))
            while (in.read(buf.data(), buf.size()) > 0) {
            }
    }
}

double timeCp(const QStringList &args)
{
    QElapsedTimer t;
    t.start();
    if (QProcess::execute("cp", args) != 0)
        qFatal("cp failed");
    return t.nsecsElapsed() / 1e9;
}

// Copies every file below the drive-form folder src into dst, the way the
// folder-copy installation does.
double timeOurs(const QString &srcHost, const QString &src, const QString &dst, TGauge &gauge)
{
    QStringList files = QFileInfo(srcHost).isFile() ? QStringList{QString()} : QStringList{};
    QDirIterator it(srcHost, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(srcHost).relativeFilePath(it.next()).replace('/', '\\');
    QElapsedTimer t;
    t.start();
    for (const QString &rel : files) {
        CopyFileWithProgress(rel.isEmpty() ? src : src + '\\' + rel, rel.isEmpty() ? dst : dst + '\\' + rel, &gauge);
        App::processMessages();
    }
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    App::initModules();
    const QStringList args = app.arguments();
    QTemporaryDir tmp(args.size() > 1 ? args[1] + "/bench_copy-XXXXXX" : QDir::tempPath() + "/bench_copy-XXXXXX");
    const qint64 bigMiB = args.size() > 2 ? args[2].toLongLong() : 1024;
    const int smallFiles = args.size() > 3 ? args[3].toInt() : 5000;
    if (!tmp.isValid())
        qFatal("no temporary folder");
    const QString root = tmp.path();
    platform::setDriveRoot('B', root);

    TGauge gauge;
    gauge.resize(600, 16);
    gauge.setForeColor(QColor(0x80, 0, 0));
    gauge.show();

    std::printf("preparing %lld MiB file and %d small files in %s\n", bigMiB, smallFiles, qPrintable(root));
    std::fflush(stdout);
    if (bigMiB > 0)
        writeFile(root + "/big.bin", bigMiB << 20);
    for (int i = 0; i < smallFiles; ++i) {
        const QString dir = root + QString("/tree/d%1").arg(i / 100, 3, 10, QChar('0'));
        QDir().mkpath(dir);
        writeFile(dir + QString("/f%1.dat").arg(i), 256 + QRandomGenerator::global()->bounded(16384));
    }

    const int rounds = args.size() > 4 ? std::max(1, args[4].toInt()) : 3;
    for (int r = 0; r < rounds && bigMiB > 0; ++r) {
        warm(root + "/big.bin");
        const double cpBig = timeCp({root + "/big.bin", root + "/big.cp"});
        QFile::remove(root + "/big.cp");
        const double oursBig = timeOurs(root + "/big.bin", "B:\\big.bin", "B:\\big.ours", gauge);
        QFile::remove(root + "/big.ours");
        std::printf("round %.6f %.6f big\n", oursBig, cpBig);
        std::fflush(stdout);
    }
    QFile::remove(root + "/big.bin");

    warm(root + "/tree");
    for (int r = 0; r < rounds; ++r) {
        const double cpTree = timeCp({"-r", root + "/tree", root + "/tree.cp"});
        const double oursTree = timeOurs(root + "/tree", "B:\\tree", "B:\\tree.ours", gauge);
        QDir(root + "/tree.cp").removeRecursively();
        QDir(root + "/tree.ours").removeRecursively();
        std::printf("round %.6f %.6f small\n", oursTree, cpTree);
        std::fflush(stdout);
    }
    return 0;
}
