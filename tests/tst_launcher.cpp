// The self-contained installer's launcher: the runtime archive, the private
// folder, unpacking from a store, and running the installer with signals
// passed on.
#include "archive.h"
#include "child.h"
#include "filefixtures.h"
#include "resstore.h"
#include "rundir.h"
#include "unpack.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// An archive of a small tree: a program, a library folder, a nested plugin.
QByteArray sampleArchive(const QString &scratch)
{
    QDir(scratch).mkpath(QStringLiteral("src/lib"));
    writeFile(scratch + "/src/prog", QByteArray(70000, 'p'));
    writeFile(scratch + "/src/lib/libx.so.1", "library bytes");
    writeFile(scratch + "/src/empty", QByteArray());
    const QString out = scratch + "/archive";
    const int fd = ::open(QFile::encodeName(out).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    launcher::ArchiveWriter w(fd);
    const std::string src = QFile::encodeName(scratch + "/src/").toStdString();
    const bool ok = w.begin() && w.addFile("tvo-setup", src + "prog", 0755) && w.addFolder("lib", 0755)
        && w.addFile("lib/libx.so.1", src + "lib/libx.so.1", 0644) && w.addFolder("lib/sub", 0700)
        && w.addFile("empty", src + "empty", 0644) && w.finish();
    ::close(fd);
    return ok ? readAll(out) : QByteArray();
}

// Header of one entry, for hand-made archives.
QByteArray entry(char kind, const QByteArray &name, quint64 size)
{
    QByteArray h(16, '\0');
    h[0] = kind;
    h[2] = char(name.size() & 0xFF);
    h[3] = char(name.size() >> 8);
    h[4] = char(0644 & 0xFF);
    h[5] = char(0644 >> 8);
    for (int i = 0; i < 8; ++i)
        h[8 + i] = char((size >> (8 * i)) & 0xFF);
    return h + name;
}

const QByteArray kMagic("TVORUN01", 8);

} // namespace

class TestLauncher : public QObject {
    Q_OBJECT
private slots:
    void archiveRoundTrip_data();
    void archiveRoundTrip();
    void badArchive_data();
    void badArchive();
    void extractorNeverFollowsALink();
    void runDirSkipsUnusableParents();
    void madeCacheFolderGoesAgain();
    void removeTreeKeepsWhatLinksPointAt();
    void unpackFromStore_data();
    void unpackFromStore();
    void exitStatusAndEnvironment();
    void endSignalIsPassedOn();
};

void TestLauncher::archiveRoundTrip_data()
{
    QTest::addColumn<int>("piece");
    QTest::newRow("byte by byte") << 1;
    QTest::newRow("odd pieces") << 7;
    QTest::newRow("large pieces") << 65536;
}

// Whatever sizes the decompressor hands over, the tree comes out the same.
void TestLauncher::archiveRoundTrip()
{
    QFETCH(int, piece);
    QTemporaryDir tmp;
    const QByteArray archive = sampleArchive(tmp.path());
    QVERIFY(!archive.isEmpty());
    QVERIFY(QDir(tmp.path()).mkdir("out"));
    const int root = ::open(QFile::encodeName(tmp.path() + "/out").constData(), O_RDONLY | O_DIRECTORY);
    {
        launcher::ArchiveExtractor x(root);
        for (qsizetype i = 0; i < archive.size(); i += piece)
            QVERIFY2(x.feed(archive.constData() + i, std::min<qsizetype>(piece, archive.size() - i)), x.error().c_str());
        QVERIFY2(x.finish(), x.error().c_str());
        QCOMPARE(x.filesWritten(), 3u);
    }
    ::close(root);
    const QString out = tmp.path() + "/out/";
    QCOMPARE(readAll(out + "tvo-setup"), QByteArray(70000, 'p'));
    QCOMPARE(readAll(out + "lib/libx.so.1"), QByteArray("library bytes"));
    QCOMPARE(readAll(out + "empty"), QByteArray());
    QVERIFY(QFileInfo(out + "lib/sub").isDir());
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(out + "tvo-setup").constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0755u);
}

void TestLauncher::badArchive_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("feedFails");
    const QByteArray end = entry(0, {}, 0);
    QTest::newRow("wrong magic") << QByteArray("TVORUN02") + end << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("no end entry") << kMagic + entry(2, "a", 3) + "abc" << false;
    QTest::newRow("content cut short") << kMagic + entry(2, "a", 10) + "abc" << false;
    QTest::newRow("climbs out") << kMagic + entry(2, "../a", 1) + "x" + end << true;
    QTest::newRow("climbs out inside") << kMagic + entry(2, "lib/../../a", 1) + "x" + end << true;
    QTest::newRow("absolute") << kMagic + entry(2, "/tmp/a", 1) + "x" + end << true;
    QTest::newRow("empty name") << kMagic + entry(2, "", 1) + "x" + end << true;
    QTest::newRow("unknown kind") << kMagic + entry(5, "a", 0) + end << true;
    QTest::newRow("folder with contents") << kMagic + entry(1, "d", 4) + "abcd" + end << true;
    QTest::newRow("file twice") << kMagic + entry(2, "a", 1) + "x" + entry(2, "a", 1) + "y" + end << true;
    QTest::newRow("data after the end") << kMagic + end + "junk" << true;
}

// A damaged or hostile archive stops with a message, never writes outside.
void TestLauncher::badArchive()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, feedFails);
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkdir("out"));
    const int root = ::open(QFile::encodeName(tmp.path() + "/out").constData(), O_RDONLY | O_DIRECTORY);
    launcher::ArchiveExtractor x(root);
    QCOMPARE(!x.feed(bytes.constData(), std::size_t(bytes.size())), feedFails);
    QVERIFY(!x.finish());
    QVERIFY(!x.error().empty());
    ::close(root);
    QVERIFY(!QFile::exists(tmp.path() + "/a"));
}

// A link planted where a file goes is not written through.
void TestLauncher::extractorNeverFollowsALink()
{
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkdir("out"));
    writeFile(tmp.path() + "/victim", "keep");
    QVERIFY(QFile::link(tmp.path() + "/victim", tmp.path() + "/out/a"));
    const int root = ::open(QFile::encodeName(tmp.path() + "/out").constData(), O_RDONLY | O_DIRECTORY);
    launcher::ArchiveExtractor x(root);
    const QByteArray bytes = kMagic + entry(2, "a", 5) + "evil!" + entry(0, {}, 0);
    QVERIFY(!x.feed(bytes.constData(), std::size_t(bytes.size())));
    ::close(root);
    QCOMPARE(readAll(tmp.path() + "/victim"), QByteArray("keep"));
}

// Missing parents, files and parents without room are passed over; the
// folder is private and goes with the object.
void TestLauncher::runDirSkipsUnusableParents()
{
    QTemporaryDir tmp;
    writeFile(tmp.path() + "/file", "x");
    const std::string base = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(!launcher::allowsExecution(base + "/missing"));
    QVERIFY(!launcher::allowsExecution(base + "/file"));
    std::string why, path;
    {
        launcher::RunDir dir;
        QVERIFY(!dir.create({base + "/missing", base}, std::uint64_t(1) << 62, why));
        QVERIFY2(why.find("not enough free space") != std::string::npos, why.c_str());
        QVERIFY(dir.create({base + "/missing", base + "/file", base}, 1024, why));
        path = dir.path();
        QVERIFY(path.rfind(base + "/tvo-setup-", 0) == 0);
        struct stat st {};
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        writeFile(QString::fromStdString(path + "/f"), "y");
        launcher::RunDir second;
        QVERIFY(second.create({base}, 1024, why));
        QVERIFY(second.path() != path);
    }
    QVERIFY(!QFileInfo::exists(QString::fromStdString(path)));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList {"file"});
}

// A missing cache folder is made for the runtime and goes with it, unless
// something else came into it meanwhile.
void TestLauncher::madeCacheFolderGoesAgain()
{
    QTemporaryDir tmp;
    const std::string cache = QFile::encodeName(tmp.path() + "/cache").toStdString();
    std::string why;
    {
        launcher::RunDir dir;
        QVERIFY(dir.create({{cache, true}}, 1024, why));
        QVERIFY(QFileInfo(QString::fromStdString(cache)).isDir());
    }
    QVERIFY(!QFileInfo::exists(QString::fromStdString(cache)));
    {
        launcher::RunDir dir;
        QVERIFY(dir.create({{cache, true}}, 1024, why));
        writeFile(QString::fromStdString(cache + "/fontconfig"), "someone else's");
    }
    QCOMPARE(QDir(QString::fromStdString(cache)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList {"fontconfig"});
}

void TestLauncher::removeTreeKeepsWhatLinksPointAt()
{
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("outside/keep");
    writeFile(tmp.path() + "/outside/keep/file", "keep");
    QDir(tmp.path()).mkpath("tree/a/b");
    writeFile(tmp.path() + "/tree/a/b/f", "x");
    QVERIFY(QFile::link(tmp.path() + "/outside", tmp.path() + "/tree/a/link"));
    const int parent = ::open(QFile::encodeName(tmp.path()).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(launcher::removeTree(parent, "tree"));
    ::close(parent);
    QCOMPARE(readAll(tmp.path() + "/outside/keep/file"), QByteArray("keep"));
    QVERIFY(!QFileInfo::exists(tmp.path() + "/tree"));
}

void TestLauncher::unpackFromStore_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("damage"); // offset from the runtime's start to flip, -1 none
    QTest::addColumn<int>("keep");   // bytes of the runtime left by a cut, -1 no cut
    QTest::addColumn<QString>("expected");
    QTest::newRow("stored") << 0 << -1 << -1 << QString();
    QTest::newRow("compressed") << 6 << -1 << -1 << QString();
    QTest::newRow("stored, flipped byte") << 0 << 40 << -1 << QString("damaged");
    QTest::newRow("compressed, flipped byte") << 6 << 30 << -1 << QString("damaged");
    // An interrupted download: the index is gone, the runtime is whole.
    QTest::newRow("compressed, index cut off") << 6 << -1 << 1 << QString();
    QTest::newRow("compressed, cut in the runtime") << 6 << -1 << 40 << QString("cut short");
    QTest::newRow("stored, index cut off") << 0 << -1 << 1 << QString("no end");
}

// The runtime comes out of the installer's store into a fresh folder under
// XDG_RUNTIME_DIR; a damaged one is reported with the file's name.
void TestLauncher::unpackFromStore()
{
    QFETCH(int, level);
    QFETCH(int, damage);
    QFETCH(int, keep);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    const QByteArray archive = sampleArchive(tmp.path());
    const QString setup = tmp.path() + "/setup";
    // This test program stands in for the launcher: an ELF image.
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), setup));
    const off_t image = off_t(QFileInfo(setup).size());
    const int fd = ::open(QFile::encodeName(setup).constData(), O_RDWR);
    ::lseek(fd, 0, SEEK_END);
    platform::ResourceStoreWriter w(fd);
    w.setCompressionLevel(level);
    QVERIFY(w.addBytes(platform::kRawDataResource, platform::kRuntimeResource, archive.constData(),
                       std::size_t(archive.size())));
    QVERIFY(w.finish());
    if (damage >= 0) {
        char c = 0;
        QCOMPARE(::pread(fd, &c, 1, image + damage), 1);
        c = char(c ^ 0x5A);
        QCOMPARE(::pwrite(fd, &c, 1, image + damage), 1);
    }
    if (keep >= 0) {
        const off_t runtimeEnd = image + off_t(w.resources().front().size);
        QCOMPARE(::ftruncate(fd, keep == 1 ? runtimeEnd + 1 : image + keep), 0);
    }
    ::close(fd);

    QDir(tmp.path()).mkdir("run");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tmp.path() + "/run"));
    std::string path;
    {
        launcher::RunDir dir;
        const launcher::UnpackResult r = launcher::unpackRuntime(QFile::encodeName(setup).toStdString(), dir);
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(r.signal, 0);
        path = dir.path();
        if (expected.isEmpty()) {
            QVERIFY2(r.error.empty(), r.error.c_str());
            QCOMPARE(QString::fromStdString(path).section('/', 0, -2), tmp.path() + "/run");
            QCOMPARE(readAll(QString::fromStdString(path + "/lib/libx.so.1")), QByteArray("library bytes"));
            QCOMPARE(readAll(QString::fromStdString(path + "/tvo-setup")), QByteArray(70000, 'p'));
        } else {
            QVERIFY2(QString::fromStdString(r.error).contains(expected), r.error.c_str());
            QVERIFY2(QString::fromStdString(r.error).contains(setup), r.error.c_str());
        }
    }
    QVERIFY(path.empty() || !QFileInfo::exists(QString::fromStdString(path)));
}

void TestLauncher::exitStatusAndEnvironment()
{
    qputenv("TVO_SETUP_FILE", "/old/value");
    const std::vector<std::string> env = launcher::environmentWith("TVO_SETUP_FILE", "/new/setup");
    qunsetenv("TVO_SETUP_FILE");
    std::string why;
    const int status = launcher::runAndWait(
        "/bin/sh", {"sh", "-c", "[ \"$TVO_SETUP_FILE\" = /new/setup ] && [ \"$0\" = sh ] && exit 7; exit 1"}, env, why);
    QVERIFY2(status >= 0, why.c_str());
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 7);
    QCOMPARE(launcher::runAndWait("/nonexistent/program", {"x"}, env, why), -1);
    QVERIFY(why.find("/nonexistent/program") != std::string::npos);
}

// SIGTERM sent to the launcher reaches the installer, whose own handling
// decides the exit code; the launcher's mask does not reach the installer.
void TestLauncher::endSignalIsPassedOn()
{
    launcher::blockEndSignals();
    // Sent to this thread: other threads of the test process do not block it.
    const pid_t waiter = pid_t(::syscall(SYS_gettid));
    std::thread sender([waiter] {
        ::usleep(400 * 1000);
        ::syscall(SYS_tgkill, ::getpid(), waiter, SIGTERM);
    });
    std::string why;
    const int status = launcher::runAndWait(
        "/bin/sh", {"sh", "-c", "trap 'exit 42' TERM; i=0; while [ $i -lt 100 ]; do sleep 0.05; i=$((i+1)); done; exit 1"},
        launcher::environmentWith("X", "1"), why);
    sender.join();
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 42);
    QCOMPARE(launcher::takePendingSignal(), 0);
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
