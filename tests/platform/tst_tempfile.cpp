// The program's own files in folders others may write: exclusive creation
// that never follows a link, removal only while the name is still ours,
// write-and-rename, private folders, and loading only the library written.
#include "drives.h"
#include "dynlib.h"
#include "filefixtures.h"
#include "tempfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

std::string s(const QString &path) { return path.toUtf8().toStdString(); }

bool isLink(const QString &path) { return QFileInfo(path).isSymLink(); }

int modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(s(path).c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

class TestTempFile : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString p(const QString &rel) const { return tmp.path() + "/" + rel; }

    // What a test puts at a name before the program writes there.
    void putAt(const QString &path, const QString &existing)
    {
        if (existing == "file")
            writeFile(path, "old");
        else if (existing == "link to a file")
            QVERIFY(QFile::link(p("outside/victim.txt"), path));
        else if (existing == "link to a missing file")
            QVERIFY(QFile::link(p("outside/none.txt"), path));
        else if (existing == "link to a folder")
            QVERIFY(QFile::link(p("outside/dir"), path));
        else if (existing == "folder")
            QVERIFY(QDir().mkpath(path));
    }
    void checkOutsideUntouched()
    {
        QCOMPARE(readAll(p("outside/victim.txt")), QByteArray("victim"));
        QVERIFY(!QFileInfo::exists(p("outside/none.txt")));
        QCOMPARE(QDir(p("outside/dir")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
                 QStringList());
    }

private slots:
    void init()
    {
        QDir(p("t")).removeRecursively();
        QDir(p("outside")).removeRecursively();
        QVERIFY(QDir().mkpath(p("t")));
        QVERIFY(QDir().mkpath(p("outside/dir")));
        writeFile(p("outside/victim.txt"), "victim");
    }
    void cleanup() { setDescriptorFolderForTesting({}); }

    void createReplacesWhatHasTheName_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("error");
        for (const char *kind : {"nothing", "file", "link to a file", "link to a missing file", "link to a folder"})
            QTest::newRow(kind) << kind << 0;
        QTest::newRow("folder") << "folder" << EEXIST; // never removed: the name is taken
    }
    void createReplacesWhatHasTheName()
    {
        QFETCH(QString, existing);
        QFETCH(int, error);
        const QString name = p("t/TVOUNRAR.DLL");
        putAt(name, existing);
        TempFile f;
        QCOMPARE(f.create(s(name)), error);
        checkOutsideUntouched();
        if (error) {
            QVERIFY(!f.isCreated());
            QVERIFY(QFileInfo(name).isDir());
            return;
        }
        QVERIFY(!isLink(name));
        QCOMPARE(modeOf(name), 0600);
        QVERIFY(entryIdOf(s(name)) == f.id());
        QVERIFY(f.nameIsOurs());
        QCOMPARE(::write(f.fd(), "new", 3), ssize_t(3));
        QCOMPARE(f.close(), 0);
        QCOMPARE(readAll(name), QByteArray("new"));
    }

    // The clean-up removes a name only while it still refers to the file
    // that was created; whatever someone put there instead stays. Closing
    // in the background changes when the descriptor goes, nothing else.
    void removeOnlyWhileTheNameIsOurs_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("background");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QByteArray>("left"); // at the name afterwards
        QTest::newRow("untouched") << "" << false << true << QByteArray("<missing>");
        QTest::newRow("replaced by another file") << "file" << false << false << QByteArray("theirs");
        QTest::newRow("replaced by a link to ours") << "link" << false << false << QByteArray("ours");
        QTest::newRow("removed by someone") << "gone" << false << false << QByteArray("<missing>");
        QTest::newRow("untouched, closed in the background") << "" << true << true << QByteArray("<missing>");
        QTest::newRow("replaced, closed in the background") << "file" << true << false << QByteArray("theirs");
    }
    void removeOnlyWhileTheNameIsOurs()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, background);
        QFETCH(bool, removed);
        QFETCH(QByteArray, left);
        const QString name = p("t/TVO-DEMO.RAR");
        TempFile f;
        QCOMPARE(f.create(s(name)), 0);
        QCOMPARE(::write(f.fd(), "ours", 4), ssize_t(4));
        if (meanwhile == "file") {
            writeFile(p("t/theirs"), "theirs");
            QVERIFY(::rename(s(p("t/theirs")).c_str(), s(name).c_str()) == 0);
        } else if (meanwhile == "link") {
            QVERIFY(::rename(s(name).c_str(), s(p("outside/moved")).c_str()) == 0);
            QVERIFY(QFile::link(p("outside/moved"), name));
        } else if (meanwhile == "gone") {
            QVERIFY(QFile::remove(name));
        }
        const int fd = f.fd();
        QCOMPARE(background ? f.removeClosingInBackground() : f.remove(), removed);
        QVERIFY(!f.isCreated());
        QCOMPARE(readAll(name), left);
        finishBackgroundCloses();
        QCOMPARE(::fcntl(fd, F_GETFD), -1); // closed, one way or the other
    }

    void ownershipEndsWithTheObject()
    {
        const QString a = p("t/a"), b = p("t/b");
        {
            TempFile f;
            QCOMPARE(f.create(s(a)), 0);
        }
        QVERIFY(!QFileInfo::exists(a)); // the destructor removes
        {
            TempFile f, g;
            QCOMPARE(f.create(s(a)), 0);
            QCOMPARE(g.create(s(b)), 0);
            g = std::move(f); // g's own file goes, f's passes to g
            QVERIFY(!QFileInfo::exists(b));
            QVERIFY(QFileInfo::exists(a));
            g.keep();
        }
        QVERIFY(QFileInfo::exists(a)); // kept
    }

    void replaceFileNeverFollowsALink_data()
    {
        QTest::addColumn<QString>("existing");
        for (const char *kind : {"nothing", "file", "link to a file", "link to a missing file", "link to a folder"})
            QTest::newRow(kind) << kind;
    }
    void replaceFileNeverFollowsALink()
    {
        QFETCH(QString, existing);
        const QString name = p("t/Tavro 2010 DEMO.desktop");
        putAt(name, existing);
        QCOMPARE(replaceFile(s(name), "new text", 8, 0755), 0);
        checkOutsideUntouched();
        QVERIFY(!isLink(name));
        QCOMPARE(readAll(name), QByteArray("new text"));
        QCOMPARE(modeOf(name), 0755);
        QCOMPARE(QDir(p("t")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"Tavro 2010 DEMO.desktop"}); // no temporary file left
    }

    void replaceFileFailureLeavesNothing()
    {
        const QString name = p("t/entry.desktop");
        QVERIFY(QDir().mkpath(name + "/inside"));
        QCOMPARE(replaceFile(s(name), "x", 1, 0644), EISDIR);
        QCOMPARE(QDir(p("t")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"entry.desktop"});
        QVERIFY(QFileInfo(name + "/inside").isDir());
        QCOMPARE(replaceFile(s(p("t/missing/entry.desktop")), "x", 1, 0644), ENOENT);
    }

    // The library file is swapped for another valid library between its
    // writing and its loading: that one's constructor must never run.
    void loadsOnlyTheWrittenLibrary_data()
    {
        QTest::addColumn<bool>("viaDescriptor");
        QTest::addColumn<bool>("swapped");
        QTest::newRow("written file, through /proc") << true << false;
        QTest::newRow("swapped file, through /proc") << true << true;
        QTest::newRow("written file, no /proc") << false << false;
        QTest::newRow("swapped file, no /proc") << false << true;
    }
    void loadsOnlyTheWrittenLibrary()
    {
        QFETCH(bool, viaDescriptor);
        QFETCH(bool, swapped);
        const QString marker = p("outside/marker");
        QFile::remove(marker);
        qputenv("TVO_TEST_MARKER", marker.toUtf8());
        setDescriptorFolderForTesting(viaDescriptor ? std::string() : s(p("no-proc")));
        setDriveRoot('W', p("t"));
        const QString name = p("t/TVOUNRAR.DLL");
        TempFile f;
        QCOMPARE(f.create(s(name)), 0);
        // The written file is the marker library itself when nothing is
        // swapped: loading it shows that the marker would appear.
        QFile source(swapped ? QString(TVO_UNRAR_LIBRARY) : QString(TVO_EVIL_LIBRARY));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        QCOMPARE(::write(f.fd(), bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        if (swapped) {
            QVERIFY(QFile::copy(TVO_EVIL_LIBRARY, p("t/planted.so")));
            QVERIFY(::rename(s(p("t/planted.so")).c_str(), s(name).c_str()) == 0);
        }
        void *lib = loadWrittenLibrary("W:\\TVOUNRAR.DLL", f);
        if (lib)
            freeLibrary(lib);
        QCOMPARE(lib != nullptr, !swapped);
        QCOMPARE(QFileInfo::exists(marker), !swapped);
        if (swapped)
            QVERIFY2(lastLibraryError().contains("replaced"), qPrintable(lastLibraryError()));
    }

    // A library loaded earlier through a descriptor number that is free again
    // does not stand in for the file now written with that number.
    void aReusedDescriptorLoadsTheNewFile()
    {
        qputenv("TVO_TEST_MARKER", p("outside/marker").toUtf8());
        setDriveRoot('W', p("t"));
        const auto writeLibrary = [&](TempFile &f, const char *from) {
            QCOMPARE(f.create(s(p("t/TVOUNRAR.DLL"))), 0);
            QFile source(from);
            QVERIFY(source.open(QIODevice::ReadOnly));
            const QByteArray bytes = source.readAll();
            QCOMPARE(::write(f.fd(), bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        };
        TempFile first, second;
        writeLibrary(first, TVO_EVIL_LIBRARY);
        void *kept = loadWrittenLibrary("W:\\TVOUNRAR.DLL", first); // stays loaded, as if it could not be unloaded
        QVERIFY(kept);
        const int number = first.fd();
        first.remove();
        writeLibrary(second, TVO_UNRAR_LIBRARY);
        QCOMPARE(second.fd(), number);
        void *lib = loadWrittenLibrary("W:\\TVOUNRAR.DLL", second);
        QVERIFY(lib);
        QVERIFY(lib != kept);
        QVERIFY(librarySymbol(lib, "RARGetDllVersion")); // only the real library has it
        freeLibrary(lib);
        freeLibrary(kept);
    }
};

QTEST_GUILESS_MAIN(TestTempFile)
#include "tst_tempfile.moc"
