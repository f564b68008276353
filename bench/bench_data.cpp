// Test data of the benchmarks:
//   bench_data tree DIR ENTRIES BYTES
// makes DIR holding ENTRIES entries, one folder per hundred entries and files
// spread over them, about BYTES bytes in all, of bytes that do not compress
// (as an archive's contents would be). The same arguments give the same tree.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5 || a[1] != QLatin1String("tree")) {
        std::fprintf(stderr, "usage: bench_data tree DIR ENTRIES BYTES\n");
        return 2;
    }
    const QString root = a[2];
    const int entries = a[3].toInt();
    const qint64 bytes = a[4].toLongLong();
    const int folders = std::max(1, entries / 100);
    const int files = std::max(0, entries - folders);
    const qint64 mean = files ? bytes / files : 0;
    quint64 seed = 88172645463325252ull;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    QByteArray pool(int(2 * mean + 8), Qt::Uninitialized);
    for (qsizetype i = 0; i + 8 <= pool.size(); i += 8) {
        const quint64 v = next();
        memcpy(pool.data() + i, &v, 8);
    }
    for (int d = 0; d < folders; ++d)
        if (!QDir().mkpath(root + QStringLiteral("/katalog%1").arg(d, 3, 10, QChar('0'))))
            return 1;
    qint64 total = 0;
    for (int i = 0; i < files; ++i) {
        QFile f(root + QStringLiteral("/katalog%1/plik%2.dat").arg(i % folders, 3, 10, QChar('0')).arg(i, 5, 10, QChar('0')));
        const qint64 size = mean ? qint64(next() % quint64(2 * mean)) : 0;
        // Each file starts somewhere else in the pool, so no two are alike.
        const qint64 from = mean ? qint64(next() % quint64(pool.size() - size)) : 0;
        if (!f.open(QIODevice::WriteOnly) || f.write(pool.constData() + from, size) != size)
            return 1;
        total += size;
    }
    std::printf("%d folders, %d files, %lld bytes in %s\n", folders, files, total, qPrintable(root));
    return 0;
}
