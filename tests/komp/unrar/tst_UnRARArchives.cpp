// TUnRAR with the real unrar library on archives from our writer (the 1.5-4
// format) and from the rar tool (the 5 format).
#include "AppCore.h"
#include "RarWriter.h"
#include "UnRAR.h"
#include "archivefixtures.h"
#include "drives.h"
#include "hostfixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <clocale>

using fixtures::listing;

// An entry's name as the library gives it, with '/' between its parts (the
// Windows library gives the system's '\\').
static QString entryName(const QString &name) { return QDir::fromNativeSeparators(name); }

class TestUnRARArchives : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString src;
    int serial = 0;

    // A fresh, empty folder in drive form and its host path.
    QPair<QString, QString> newFolder()
    {
        const QString name = QStringLiteral("out%1").arg(++serial);
        QDir(tmp.path()).mkpath(name);
        return {QStringLiteral("T:\\%1\\").arg(name), tmp.path() + '/' + name};
    }

    QString writeArchive(const QString &name, const QList<RarEntry> &entries)
    {
        QFile f(tmp.path() + '/' + name);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        RarWriter w;
        w.open(&f);
        for (const RarEntry &e : entries)
            w.add(e);
        w.finish();
        return QStringLiteral("T:\\") + name;
    }

    static RarEntry entry(const QString &name, const QByteArray &data, bool corrupt = false)
    {
        RarEntry e;
        e.name = name;
        e.data = data;
        e.corruptCrc = corrupt;
        return e;
    }

    static QString errorOf(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const Exception &e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    }

    // Each archive kind under the user's UTF-8 locale and under the plain C
    // locale, which a desktop session may well start the installer with.
    void archiveKinds()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QByteArray>("locale"); // empty: the process's own
        for (const char *loc : {"", "C"}) {
            QTest::addRow("RAR 4 from the writer%s%s", *loc ? ", locale " : "", loc) << "T:\\v4.rar" << QByteArray(loc);
            QTest::addRow("RAR 5 from the rar tool%s%s", *loc ? ", locale " : "", loc) << "T:\\v5.rar" << QByteArray(loc);
        }
    }

    // Switches the process's locale for one test function.
    struct LocaleScope {
        QByteArray saved;
        explicit LocaleScope(const QByteArray &name) : saved(std::setlocale(LC_ALL, nullptr))
        {
            if (!name.isEmpty())
                std::setlocale(LC_ALL, name.constData());
        }
        ~LocaleScope() { std::setlocale(LC_ALL, saved.constData()); }
    };

private slots:
    void initTestCase()
    {
        App::initModules();
        platform::setDriveRoot('T', tmp.path());
        src = tmp.path() + "/src";
        QVERIFY(fixtures::makeSampleTree(src));
        writeRarFromFolder(src, tmp.path() + "/v4.rar");
        // The host's rar tool (under Wine started through the host's shell).
        QByteArray out;
#ifdef Q_OS_WIN
        QCOMPARE(runOnHost(QStringLiteral("rar a -r -idq '%1/v5.rar' '*'").arg(unixPathOf(tmp.path())), src, &out), 0);
#else
        QCOMPARE(fixtures::run("rar", {"a", "-r", "-idq", tmp.path() + "/v5.rar", "*"}, src, &out), 0);
#endif
        QCOMPARE(errorOf([] { LoadUnrarLibrary(platform::toDrivePath(QStringLiteral(TVO_UNRAR_LIBRARY))); }),
                 QStringLiteral("<no error>"));
    }
    void cleanupTestCase() { UnloadUnrarLibrary(); }

    void listAndExtract_data() { archiveKinds(); }
    void listAndExtract()
    {
        QFETCH(QString, archive);
        QFETCH(QByteArray, locale);
        const LocaleScope scope(locale);
        const auto want = listing(src);
        TUnRAR u;
        u.setArchiveFile(archive);
        u.ListFiles();
        QMap<QString, quint32> listed;
        for (const auto &[name, size] : u.Files())
            listed.insert(entryName(name), size);
        QCOMPARE(listed.keys(), want.keys()); // folders included, Polish names intact
        QCOMPARE(listed.value("Podkatalog/Głęboki/dane.bin"), 1500000u);
        QCOMPARE(listed.value("run.sh"), 18u);

        const auto [folder, host] = newFolder();
        QStringList asked;
        u.OnExtractFile = [&](QObject *, const QString &name, bool &) { asked << name; };
        u.ExtractTo(folder);
        QStringList names;
        for (const auto &f : u.Files())
            names << f.first;
        QCOMPARE(asked, names); // once per header, in archive order
        QCOMPARE(listing(host), want); // contents and modes (run.sh stays executable on Linux)
    }

    void skippingHandler_data() { archiveKinds(); }
    void skippingHandler()
    {
        QFETCH(QString, archive);
        QFETCH(QByteArray, locale);
        const LocaleScope scope(locale);
        auto want = listing(src);
        want.removeIf([](auto it) { return it.key() == "a.txt" || it.key().startsWith("Podkatalog/Głęboki"); });
        TUnRAR u;
        u.setArchiveFile(archive);
        u.OnExtractFile = [&](QObject *, const QString &name, bool &skip) {
            skip = name == "a.txt" || entryName(name).startsWith("Podkatalog/Głęboki");
        };
        const auto [folder, host] = newFolder();
        u.ExtractTo(folder);
        QCOMPARE(listing(host), want);
    }

    void eventEndsExtraction()
    {
        const QString arc = writeArchive("stop.rar", {entry("1.txt", "1"), entry("2.txt", "2"), entry("3.txt", "3")});
        TUnRAR u;
        u.setArchiveFile(arc);
        int events = 0;
        u.OnExtractFile = [&](QObject *, const QString &, bool &) {
            if (++events == 3)
                throw EAbort();
        };
        const auto [folder, host] = newFolder();
        QVERIFY_THROWS_EXCEPTION(EAbort, u.ExtractTo(folder));
        QCOMPARE(QDir(host).entryList(QDir::Files), QStringList({"1.txt", "2.txt"}));
        u.OnExtractFile = nullptr;
        u.ExtractTo(folder); // the archive was closed: it opens again
        QCOMPARE(QDir(host).entryList(QDir::Files).size(), 3);
    }

    void notAnArchive_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty file") << QByteArray() << "This is not RAR archive !";
        QTest::newRow("text file") << QByteArray("not an archive at all\n") << "This is not RAR archive !";
        QTest::newRow("missing file") << QByteArray("-") << "Cannot open file !";
    }
    void notAnArchive()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString name = QStringLiteral("bad%1.rar").arg(++serial);
        if (content != "-")
            QVERIFY(fixtures::writeFile(tmp.path() + '/' + name, content));
        TUnRAR u;
        u.setArchiveFile("T:\\" + name);
        int events = 0;
        u.OnExtractFile = [&](QObject *, const QString &, bool &) { ++events; };
        QCOMPARE(errorOf([&] { u.ListFiles(); }), message);
        QVERIFY(u.Files().isEmpty());
        const auto [folder, host] = newFolder();
        QCOMPARE(errorOf([&, f = folder] { u.ExtractTo(f); }), message);
        QCOMPARE(events, 0);
        QVERIFY(QDir(host).isEmpty());
    }

    void wrongCrc()
    {
        const QString arc = writeArchive("crc.rar", {entry("good.txt", "fine"), entry("bad.txt", "broken", true)});
        TUnRAR u;
        u.setArchiveFile(arc);
        const auto [folder, host] = newFolder();
        QCOMPARE(errorOf([&, f = folder] { u.ExtractTo(f); }), QStringLiteral("File CRC error !"));
        QFile good(host + "/good.txt");
        QVERIFY(good.open(QIODevice::ReadOnly));
        QCOMPARE(good.readAll(), QByteArray("fine")); // entries before the failure stay
    }

    // Names that climb out of the target folder must land inside it.
    void staysInsideTarget()
    {
        const QString jail = tmp.path() + "/jail";
        const QString arc = writeArchive("escape.rar", {entry("../evil1.txt", "x"), entry("sub/../../evil2.txt", "x"),
                                                        entry("..\\..\\evil3.txt", "x"),
                                                        entry(tmp.path() + "/evil4.txt", "x"), entry("ok.txt", "ok")});
        QVERIFY(QDir().mkpath(jail + "/inner"));
        TUnRAR u;
        u.setArchiveFile(arc);
        int events = 0;
        u.OnExtractFile = [&](QObject *, const QString &, bool &) { ++events; };
        errorOf([&] { u.ExtractTo(QStringLiteral("T:\\jail\\inner\\")); }); // refusing an entry is fine too
        QCOMPARE(events, 5);
        const auto all = listing(tmp.path());
        for (auto it = all.begin(); it != all.end(); ++it)
            if (it.key().contains("evil"))
                QVERIFY2(it.key().startsWith("jail/inner/"), qPrintable(it.key()));
        QVERIFY(QFile::exists(jail + "/inner/ok.txt"));
    }
};

QTEST_MAIN(TestUnRARArchives)
#include "tst_UnRARArchives.moc"
