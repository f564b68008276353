// Makes the sample installation folder: the program TVODEMO.EXE and a
// deterministic data set of a few hundred files in nested folders, sized so
// that the stored archive of the folder is exactly the requested length.
//
//   tvo-gensample PROGRAM OUTDIR ARCHIVE-SIZE
#include "RarWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

const QStringList kFolders {
    QStringLiteral("Dane/Cenniki"),           QStringLiteral("Dane/Katalogi/Budownictwo"),
    QStringLiteral("Dane/Katalogi/Drogi"),    QStringLiteral("Dane/Katalogi/Instalacje"),
    QStringLiteral("Pomoc"),                  QStringLiteral("Pomoc/Obrazy"),
    QStringLiteral("Przyklady/Kosztorys 1"),  QStringLiteral("Przyklady/Kosztorys 2"),
    QStringLiteral("Raporty"),                QStringLiteral("Szablony"),
};
constexpr int kFilesPerFolder = 30;
const char kPaddingFile[] = "Dane/Indeks.dat";

// 1 March 2010, noon UTC: every entry gets this time, so the archive of the
// folder is the same on every build.
constexpr time_t kFixedTime = 1267444800;

// A small linear congruential generator: the same data set everywhere.
struct Lcg {
    quint64 s = 0x54564F44454D4FULL;
    quint32 next()
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(s >> 33);
    }
};

QByteArray textContent(Lcg &rng, int size)
{
    QByteArray b;
    b.reserve(size + 64);
    while (b.size() < size) {
        const quint32 v = rng.next();
        b += QString::asprintf("%05u;Pozycja %u;%u.%02u zl;%s\r\n", v % 100000, v % 977, v % 5000, v % 100,
                                  (v & 1) ? "m2" : "szt").toLatin1();
    }
    b.truncate(size);
    return b;
}

QByteArray binaryContent(Lcg &rng, int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(rng.next() >> 7);
    return b;
}

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions perms = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return perms ? f.setPermissions(perms) : true;
}

void setFixedTimes(const QString &root)
{
    const struct timeval tv[2] = {{kFixedTime, 0}, {kFixedTime, 0}};
    QStringList entries {root};
    for (int i = 0; i < entries.size(); ++i) {
        const QFileInfoList list = QDir(entries[i]).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QFileInfo &fi : list)
            entries << fi.filePath();
    }
    for (const QString &e : entries)
        ::utimes(QFile::encodeName(e).constData(), tv);
}

qint64 archiveSize(const QString &root)
{
    QTemporaryDir scratch;
    const QString rar = scratch.filePath(QStringLiteral("size.rar"));
    writeRarFromFolder(root, rar);
    return QFileInfo(rar).size();
}

int fail(const QString &what)
{
    std::fprintf(stderr, "tvo-gensample: %s\n", qPrintable(what));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4)
        return fail(QStringLiteral("usage: tvo-gensample PROGRAM OUTDIR ARCHIVE-SIZE"));
    const QString program = QFile::decodeName(argv[1]), out = QFile::decodeName(argv[2]);
    bool ok = false;
    const qint64 wanted = QByteArray(argv[3]).toLongLong(&ok);
    if (!ok || wanted < 1)
        return fail(QStringLiteral("bad archive size %1").arg(argv[3]));

    QDir(out).removeRecursively();
    if (!QDir().mkpath(out))
        return fail(QStringLiteral("cannot create %1").arg(out));
    QFile exe(program);
    if (!exe.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(program));
    const QByteArray exeBytes = exe.readAll();
    const auto exePerms = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (!writeFile(QDir(out).filePath(QStringLiteral("TVODEMO.EXE")), exeBytes, exePerms))
        return fail(QStringLiteral("cannot write TVODEMO.EXE"));

    // The data set fills the budget that the program leaves, less a margin
    // that the padding file takes up once the archive's overhead is known.
    const qint64 budget = wanted - exeBytes.size() - 96 * 1024;
    if (budget < 0)
        return fail(QStringLiteral("the program alone is larger than the archive size %1").arg(wanted));
    Lcg rng;
    qint64 total = 0;
    int files = 0;
    for (const QString &folder : kFolders) {
        const QString dir = QDir(out).filePath(folder);
        QDir().mkpath(dir);
        for (int i = 0; i < kFilesPerFolder && total < budget; ++i) {
            const int size = int(std::min<qint64>(1000 + rng.next() % 40000, budget - total));
            const bool text = i % 3 != 2;
            const QString name = QStringLiteral("%1%2.%3")
                                     .arg(text ? QStringLiteral("poz") : QStringLiteral("rys"))
                                     .arg(i + 1, 3, 10, QLatin1Char('0'))
                                     .arg(text ? QStringLiteral("txt") : QStringLiteral("dat"));
            if (!writeFile(QDir(dir).filePath(name), text ? textContent(rng, size) : binaryContent(rng, size)))
                return fail(QStringLiteral("cannot write %1").arg(name));
            total += size;
            ++files;
        }
    }

    const QString padding = QDir(out).filePath(QString::fromLatin1(kPaddingFile));
    try {
        writeFile(padding, {});
        setFixedTimes(out);
        const qint64 missing = wanted - archiveSize(out);
        if (missing < 0)
            return fail(QStringLiteral("the data set is %1 bytes too large").arg(-missing));
        if (!writeFile(padding, binaryContent(rng, int(missing))))
            return fail(QStringLiteral("cannot write %1").arg(padding));
        setFixedTimes(out);
        const qint64 made = archiveSize(out);
        if (made != wanted)
            return fail(QStringLiteral("archive of %1 bytes instead of %2").arg(made).arg(wanted));
    } catch (const RarWriteError &e) {
        return fail(QString::fromUtf8(e.what()));
    }
    std::printf("%s: %d data files, TVODEMO.EXE, archive of %lld bytes\n", qPrintable(out), files + 1,
                static_cast<long long>(wanted));
    return 0;
}
