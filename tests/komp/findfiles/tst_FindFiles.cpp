#include "AppCore.h"
#include "FindFiles.h"
#include "drives.h"
#include "fileio.h"
#include "files.h"
#include "hostfixtures.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

class TestFindFiles : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> tmp;
    QTemporaryDir cwdTmp; // the current folder, outside the searched trees
    QString startDir;

    void mk(const QString &rel, const QByteArray &data = "x")
    {
        const QString p = tmp->path() + '/' + rel;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    void mkdirs(const QStringList &rels)
    {
        for (const QString &r : rels)
            QVERIFY(QDir().mkpath(tmp->path() + '/' + r));
    }
    static QStringList relNames(const TFileList &l)
    {
        QStringList out;
        for (int i = 0; i < l.Count(); ++i)
            out << l.Items(i)->RelName();
        return out;
    }
    static QStringList sorted(QStringList l)
    {
        l.sort();
        return l;
    }
    static void setModes(TFindFiles &ff, const QList<int> &m) // read-only, archive, system, hidden, directory
    {
        ff.setaReadOnly(TFindMode(m[0]));
        ff.setaArchive(TFindMode(m[1]));
        ff.setaSystem(TFindMode(m[2]));
        ff.setaHidden(TFindMode(m[3]));
        ff.setaDirectory(TFindMode(m[4]));
    }

private slots:
    void initTestCase() { App::initModules(); }
    void init()
    {
        tmp = std::make_unique<QTemporaryDir>();
        platform::setDriveRoot('T', tmp->path());
        QVERIFY(QDir::setCurrent(cwdTmp.path()));
        startDir = QDir::currentPath();
    }
    void cleanup()
    {
        // Whatever way a search ended, the current folder is where it was.
        QCOMPARE(QDir::currentPath(), startDir);
        QDir::setCurrent(QDir::homePath());
        QFile::setPermissions(tmp->path() + "/ro.txt", QFile::ReadOwner | QFile::WriteOwner);
        tmp.reset();
        platform::resetDrives();
    }

    void defaultsAndPropertiesByName()
    {
        TFindFiles ff;
        QCOMPARE(ff.property("Mask").toString(), QStringLiteral("*.*"));
        QCOMPARE(ff.property("Recurse").toBool(), false);
        QCOMPARE(ff.aArchive(), fmDontCare);
        QCOMPARE(ff.aReadOnly(), fmNo);
        QCOMPARE(ff.aDirectory(), fmNo);
        QVERIFY(ff.setProperty("aHidden", "fmYes"));
        QCOMPARE(ff.aHidden(), fmYes);
    }

    void matcher_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("match");
        QTest::newRow("star-dot-star, no dot") << "README" << "*.*" << true;
        QTest::newRow("star-dot-star, dot first") << ".profile" << "*.*" << true;
        QTest::newRow("case") << "Plik.TXT" << "*.txt" << true;
        QTest::newRow("polish case") << "ŁÓDŹ.txt" << "łódź.*" << true;
        QTest::newRow("backtrack") << "abcabd.x" << "*ab?.x" << true;
        QTest::newRow("backtrack fails") << "abcabe.x" << "*abd.x" << false;
        QTest::newRow("question is one char") << "a.txt" << "a?.txt" << false;
        QTest::newRow("ext optional") << "readme" << "readme.*" << true;
        QTest::newRow("dot means no ext") << "readme" << "*." << true;
        QTest::newRow("dot with ext") << "a.txt" << "*." << false;
        QTest::newRow("suffix") << "a.txt.bak" << "*.txt" << false;
        QTest::newRow("empty mask") << "a" << "" << false;
    }
    void matcher()
    {
        QFETCH(QString, name);
        QFETCH(QString, mask);
        QFETCH(bool, match);
        QCOMPARE(MatchesMask(name, mask), match);
    }

    void masks_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("all") << "*.*" << QStringList{"README", "a.txt", "b.TXT", "c.doc"};
        QTest::newRow("two") << "*.doc;*.txt" << QStringList{"a.txt", "b.TXT", "c.doc"};
        QTest::newRow("repeated") << "*.txt;a.*" << QStringList{"a.txt", "a.txt", "b.TXT"};
        QTest::newRow("empty tail") << "*.doc;" << QStringList{"c.doc"};
        QTest::newRow("only separator") << ";" << QStringList{};
        QTest::newRow("no match") << "*.pdf" << QStringList{};
    }
    void masks()
    {
        QFETCH(QString, mask);
        QFETCH(QStringList, found);
        for (const char *n : {"a.txt", "b.TXT", "c.doc", "README"})
            mk(QStringLiteral("m/") + n);
        TFindFiles ff;
        ff.setDirectory("T:\\m");
        ff.setMask(mask);
        ff.Search();
        QCOMPARE(sorted(relNames(ff.FileList)), found);
        if (mask.startsWith("*.doc") && !found.isEmpty())
            QCOMPARE(ff.FileList.Items(0)->FileName(), QStringLiteral("c.doc")); // mask by mask
    }

    void attributeModes_data()
    {
        QTest::addColumn<QList<int>>("modes");
        QTest::addColumn<QStringList>("found");
        const int N = fmNo, Y = fmYes, D = fmDontCare;
        QTest::newRow("defaults") << QList<int>{N, D, N, N, N} << QStringList{"f.txt", "ro.txt"};
        QTest::newRow("read-only yes") << QList<int>{Y, D, N, N, N} << QStringList{"ro.txt"};
        QTest::newRow("hidden yes") << QList<int>{N, D, N, Y, N} << QStringList{".h.txt"};
        QTest::newRow("hidden any") << QList<int>{N, D, N, D, N} << QStringList{".h.txt", "f.txt", "ro.txt"};
        QTest::newRow("dirs any") << QList<int>{N, D, N, N, D} << QStringList{"dir", "f.txt", "ro.txt"};
        QTest::newRow("dirs only") << QList<int>{D, D, D, D, Y} << QStringList{".hd", "dir"};
        QTest::newRow("archive yes") << QList<int>{N, Y, N, D, D} << QStringList{".h.txt", "f.txt", "ro.txt"};
        QTest::newRow("archive no keeps all") << QList<int>{N, N, N, N, D} << QStringList{"dir", "f.txt", "ro.txt"};
        QTest::newRow("system yes") << QList<int>{D, D, Y, D, D} << QStringList{};
        QTest::newRow("all no") << QList<int>{N, N, N, N, N} << QStringList{};
    }
    void attributeModes()
    {
        QFETCH(QList<int>, modes);
        QFETCH(QStringList, found);
        mk("f.txt");
        mk("ro.txt");
        mk(".h.txt");
        mkdirs({"dir", ".hd"});
        for (const char *hidden : {".h.txt", ".hd"})
            QVERIFY(markHidden(tmp->path() + '/' + hidden));
        QVERIFY(QFile::setPermissions(tmp->path() + "/ro.txt", QFile::ReadOwner));
        TFindFiles ff;
        ff.setDirectory("T:\\");
        setModes(ff, modes);
        int events = 0;
        ff.OnAddFile = [&](TFileObj *o, bool &, bool &) {
            ++events;
            QCOMPARE(o->Attr().contains(atReadOnly), o->FileName() == "ro.txt");
            QCOMPARE(o->Attr().contains(atHidden), o->FileName().startsWith('.'));
        };
        ff.Search();
        QCOMPARE(sorted(relNames(ff.FileList)), found);
        QCOMPARE(events, found.size());
    }

    void hiddenFolderIsDescended()
    {
        mk("h/.hd/inner.txt");
        mk("h/.hd/.secret");
        mk("h/dir/x.txt");
        for (const char *hidden : {"h/.hd", "h/.hd/.secret"})
            QVERIFY(markHidden(tmp->path() + '/' + hidden));
        TFindFiles ff;
        ff.setDirectory("T:\\h\\");
        ff.setRecurse(true);
        ff.setaDirectory(fmDontCare);
        ff.Search();
        QCOMPARE(sorted(relNames(ff.FileList)), QStringList({".hd\\inner.txt", "dir", "dir\\x.txt"}));
    }

    void names_data()
    {
        QTest::addColumn<QString>("rel");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("sub");
        QTest::newRow("root") << "r.txt" << "r" << ".txt" << "";
        QTest::newRow("folder") << "Sub" << "Sub" << "" << "";
        QTest::newRow("deep, dotted") << "Sub\\Deeper\\d.tar.gz" << "d.tar" << ".gz" << "Sub\\Deeper\\";
        QTest::newRow("dot first") << "Sub\\.profile" << "" << ".profile" << "Sub\\";
        QTest::newRow("no dot") << "Sub\\Deeper\\Makefile" << "Makefile" << "" << "Sub\\Deeper\\";
    }
    void names()
    {
        QFETCH(QString, rel);
        QFETCH(QString, base);
        QFETCH(QString, ext);
        QFETCH(QString, sub);
        for (const char *f : {"t/r.txt", "t/Sub/.profile", "t/Sub/Deeper/d.tar.gz", "t/Sub/Deeper/Makefile"})
            mk(f);
        TFindFiles ff;
        ff.setDirectory("T:\\t");
        ff.setRecurse(true);
        ff.setaDirectory(fmDontCare);
        ff.setaHidden(fmDontCare);
        ff.Search();
        const QStringList all = relNames(ff.FileList);
        const int i = int(all.indexOf(rel));
        QVERIFY2(i >= 0, qPrintable(all.join(' ')));
        const TFileObj *o = ff.FileList.Items(i);
        QCOMPARE(o->BaseName(), base);
        QCOMPARE(o->Ext(), ext);
        QCOMPARE(o->SubDir(), sub);
        QCOMPARE(o->RootDir(), QStringLiteral("T:\\t\\"));
        QCOMPARE(o->FullName(), "T:\\t\\" + rel);
        // Breadth-first: a folder comes before everything inside it.
        QVERIFY(all.indexOf("Sub") < all.indexOf("Sub\\.profile"));
        QVERIFY(all.indexOf("Sub\\Deeper") < all.indexOf("Sub\\Deeper\\Makefile"));
        QVERIFY(all.indexOf("r.txt") < all.indexOf("Sub\\.profile"));
    }

    void namesThatAreNotUtf8()
    {
        // cp1250 and a bare 0xFF: listed, descended into, and mapped back to
        // the very bytes on disk.
#ifdef Q_OS_WIN
        QSKIP("a Windows name is UTF-16: it has no bytes outside UTF-8 to keep");
#endif
        const QByteArray root = QFile::encodeName(tmp->path());
        QVERIFY(platform::makeFolder(platform::hostNameFromBytes(root + "/kat\xFF")));
        for (const QByteArray &rel : {QByteArray("kat\xFF/ceny\xB9.dbf"), QByteArray("plik\xFF")})
            QVERIFY(platform::createNewFile(platform::hostNameFromBytes(root + '/' + rel)).isOpen());
        TFindFiles ff;
        ff.setDirectory("T:\\");
        ff.setRecurse(true);
        ff.setaDirectory(fmDontCare);
        ff.Search();
        QCOMPARE(ff.FileList.Count(), 3);
        QStringList hosts;
        for (int i = 0; i < ff.FileList.Count(); ++i) {
            const QString host = platform::toHostPath(ff.FileList.Items(i)->FullName());
            hosts << QString::fromLatin1(platform::hostNameBytes(host).mid(root.size() + 1).toPercentEncoding("/"));
            QVERIFY(platform::hostStatus(host).exists());
        }
        QCOMPARE(sorted(hosts), (QStringList{"kat%FF", "kat%FF/ceny%B9.dbf", "plik%FF"}));
    }

    void rootForms_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("root");
        QTest::newRow("plain") << "T:\\t" << "T:\\t\\";
        QTest::newRow("slash") << "T:\\t\\" << "T:\\t\\";
        QTest::newRow("dotdot") << "T:\\t\\Sub\\.." << "T:\\t\\";
        QTest::newRow("relative") << "..\\..\\t" << "T:\\t\\";
        QTest::newRow("drive root") << "T:\\" << "T:\\";
    }
    void rootForms()
    {
        QFETCH(QString, dir);
        QFETCH(QString, root);
        mk("t/a.txt");
        mk("t/Sub/b.txt");
        if (!dir.contains(':')) { // relative to the current folder
            QVERIFY(QDir::setCurrent(tmp->path() + "/t/Sub"));
            startDir = QDir::currentPath();
        }
        TFindFiles ff;
        ff.setDirectory(dir);
        ff.setaDirectory(fmYes);
        ff.Search();
        QVERIFY(ff.FileList.Count() > 0);
        QCOMPARE(ff.FileList.Items(0)->RootDir(), root);
        QCOMPARE(ff.FileList.Items(0)->SubDir(), QString());
    }

    void progress_data()
    {
        QTest::addColumn<QStringList>("dirs");
        QTest::addColumn<QList<int>>("values");
        QTest::newRow("three") << QStringList{"A", "B", "C"} << QList<int>{0, 25, 50, 75, 100};
        QTest::newRow("seven, halves to even") << QStringList{"1", "2", "3", "4", "5", "6", "7"}
                                              << QList<int>{0, 12, 25, 38, 50, 62, 75, 88, 100};
        QTest::newRow("never goes down") << QStringList{"A/x", "A/y", "A/z"} << QList<int>{0, 50, 50, 60, 80, 100};
    }
    void progress()
    {
        QFETCH(QStringList, dirs);
        QFETCH(QList<int>, values);
        for (const QString &d : dirs)
            mkdirs({"p/" + d});
        TFindFiles ff;
        ff.setDirectory("T:\\p");
        QList<int> got;
        QStringList names;
        bool lastStop = false;
        ff.OnProgress = [&](int p, const QString &name, bool &stop) {
            got << p;
            names << name;
            lastStop = stop;
        };
        ff.Search();
        QVERIFY(got.isEmpty()); // not recursive: no progress at all
        ff.setRecurse(true);
        ff.Search();
        QCOMPARE(got, values);
        QCOMPARE(names.first(), QStringLiteral("T:\\p\\"));
        QVERIFY(names[1].startsWith("T:\\p\\") && !names[1].endsWith('\\'));
        QCOMPARE(names.last(), QString());
        QVERIFY(lastStop);
    }

    void stop_data()
    {
        QTest::addColumn<bool>("inProgress");
        QTest::addColumn<int>("atCall");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("left");
        QTest::newRow("progress, first") << true << 1 << true << 0;
        QTest::newRow("progress, second") << true << 2 << true << 2;
        QTest::newRow("add, reject first") << false << 1 << false << 0;
        QTest::newRow("add, accept second") << false << 2 << true << 2;
    }
    void stop()
    {
        QFETCH(bool, inProgress);
        QFETCH(int, atCall);
        QFETCH(bool, accept);
        QFETCH(int, left);
        mk("s/a.txt");
        mk("s/b.txt");
        mk("s/Sub/c.txt");
        TFindFiles ff;
        ff.setDirectory("T:\\s");
        ff.setRecurse(true);
        int calls = 0;
        ff.OnProgress = [&](int, const QString &, bool &stop) { stop = inProgress && ++calls == atCall; };
        ff.OnAddFile = [&](TFileObj *, bool &acc, bool &stop) {
            if (!inProgress && ++calls == atCall) {
                acc = accept;
                stop = true;
            }
        };
        QVERIFY_THROWS_EXCEPTION(EAbort, ff.Search());
        QCOMPARE(ff.FileList.Count(), left);
    }

    void handlerExceptions()
    {
        mk("e/a.txt");
        mk("e/bad.txt");
        mk("e/Sub/c.txt");
        TFindFiles ff;
        ff.setDirectory("T:\\e");
        ff.setRecurse(true);
        ff.OnAddFile = [](TFileObj *o, bool &, bool &) {
            if (o->BaseName() == "bad")
                throw std::runtime_error("handler failed");
            if (o->BaseName() == "c")
                throw EFindFilesError("also failed");
        };
        ff.Search();
        QCOMPARE(sorted(relNames(ff.FileList)), QStringList({"a.txt"}));

        ff.OnAddFile = nullptr;
        ff.OnProgress = [](int p, const QString &, bool &) {
            if (p > 0)
                throw EFindFilesError("progress failed");
        };
        QVERIFY_THROWS_EXCEPTION(EFindFilesError, ff.Search());
        QCOMPARE(sorted(relNames(ff.FileList)), QStringList({"a.txt", "bad.txt"}));
    }

    void errors_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("text");
        QTest::newRow("no directory") << "" << "*.*" << "Missing \"Directory\" property";
        QTest::newRow("no mask") << "T:\\" << "" << "Missing \"Mask\" property";
        QTest::newRow("missing") << "T:\\nope" << "*.*" << "Can not access the directory \"T:\\nope\".";
        QTest::newRow("a file") << "T:\\f.txt\\" << "*.*" << "Can not access the directory \"T:\\f.txt\\\".";
        QTest::newRow("no drive") << "Q:\\x" << "*.*" << "Can not access the directory \"Q:\\x\".";
    }
    void errors()
    {
        QFETCH(QString, dir);
        QFETCH(QString, mask);
        QFETCH(QString, text);
        mk("f.txt");
        TFindFiles ff;
        ff.setDirectory("T:\\");
        ff.Search();
        QVERIFY(ff.FileList.Count() > 0);
        ff.setDirectory(dir);
        ff.setMask(mask);
        try {
            ff.Search();
            QFAIL("no exception");
        } catch (const EFindFilesError &e) {
            QCOMPARE(e.message(), text);
        }
        QCOMPARE(ff.FileList.Count(), 0);
        // With nothing to include, only the empty properties still count.
        setModes(ff, {fmNo, fmNo, fmNo, fmNo, fmNo});
        ff.OnAddFile = [](TFileObj *, bool &, bool &) { QFAIL("no event expected"); };
        if (dir.isEmpty() || mask.isEmpty())
            QVERIFY_THROWS_EXCEPTION(EFindFilesError, ff.Search());
        else
            ff.Search();
    }

    // A symbolic link at rel (below the temporary folder) to target; false
    // where the system makes none.
    bool link(const QString &target, const QString &rel, bool toFolder = true)
    {
        return makeSymbolicLink(target, tmp->path() + '/' + rel, toFolder);
    }

    void linkLoopEnds()
    {
        mk("l/a/file.txt");
        mk("l/b/other.txt");
        if (!link("..", "l/a/up"))
            QSKIP(kNoLinksHere);
        QVERIFY(link(".", "l/b/self"));
        QVERIFY(link("missing", "l/dangling", false));
        TFindFiles ff;
        ff.setDirectory("T:\\l");
        ff.setRecurse(true);
        ff.Search();
        QCOMPARE(sorted(relNames(ff.FileList)), QStringList({"a\\file.txt", "b\\other.txt"}));
        // A link to a folder outside the tree is followed.
        mk("outside/o.txt");
        QVERIFY(link(tmp->path() + "/outside", "l/out"));
        ff.Search();
        QVERIFY(relNames(ff.FileList).contains("out\\o.txt"));
        // A link found before the folder it names leaves that folder listed
        // too: every real folder keeps its contents.
        mk("l/deep/real/r.txt");
        QVERIFY(link("deep/real", "l/early"));
        ff.Search();
        const QStringList all = relNames(ff.FileList);
        QVERIFY2(all.contains("deep\\real\\r.txt"), qPrintable(all.join(' ')));
        QVERIFY(all.contains("early\\r.txt"));
    }

    // Levels 0..23 side by side, each with two links to the next level: the
    // paths through them double with every level, the folders do not. Each
    // folder is listed once under its own name; the links are listed as the
    // entries they are, and not descended.
    void linksToOneFolderAreDescendedOnce()
    {
        const int levels = 24;
        QStringList expected;
        for (int i = 0; i < levels; ++i) {
            const QString level = QString::number(i);
            mk("g/" + level + "/f.txt");
            expected << level << level + "\\f.txt";
            if (i + 1 == levels)
                break;
            for (const char *name : {"a", "b"}) {
                if (!link("../" + QString::number(i + 1), "g/" + level + '/' + name))
                    QSKIP(kNoLinksHere);
                expected << level + '\\' + name;
            }
        }
        TFindFiles ff;
        ff.setDirectory("T:\\g");
        ff.setRecurse(true);
        ff.setaDirectory(fmDontCare);
        int added = 0;
        ff.OnAddFile = [&added](TFileObj *, bool &, bool &stop) { stop = ++added > 1000; };
        try {
            ff.Search();
        } catch (const EAbort &) {
            QFAIL("the search walked the paths through the links");
        }
        QCOMPARE(sorted(relNames(ff.FileList)), sorted(expected));
    }

    // FindsAny: the chooser's question whether a folder has subfolders.
    void findsAny_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("found");
        QTest::newRow("empty") << QStringList{} << QStringList{} << false;
        QTest::newRow("files only") << QStringList{} << QStringList{"a.txt", "b.txt"} << false;
        QTest::newRow("a subfolder") << QStringList{"sub"} << QStringList{"a.txt"} << true;
        QTest::newRow("only a hidden one") << QStringList{".hidden"} << QStringList{} << false;
        QTest::newRow("hidden and plain") << QStringList{".hidden", "plain"} << QStringList{} << true;
        QTest::newRow("only deeper down") << QStringList{"sub/deeper"} << QStringList{} << true;
    }
    void findsAny()
    {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, files);
        QFETCH(bool, found);
        QVERIFY(QDir().mkpath(tmp->path() + "/n"));
        for (const QString &f : folders) {
            mkdirs({"n/" + f});
            if (f.startsWith('.'))
                QVERIFY(markHidden(tmp->path() + "/n/" + f));
        }
        for (const QString &f : files)
            mk("n/" + f);
        TFindFiles ff;
        setModes(ff, {fmNo, fmDontCare, fmNo, fmNo, fmYes}); // the chooser's folder search
        ff.setDirectory("T:\\n");
        int handled = 0;
        ff.OnAddFile = [&handled](TFileObj *, bool &, bool &) { ++handled; };
        ff.FileList.Add(std::make_unique<TFileObj>("T:\\", "", "kept", TFileAttrs(), 0.0, 0));
        QCOMPARE(ff.FindsAny(), found);
        QCOMPARE(handled, 0);
        QCOMPARE(ff.FileList.Count(), 1); // untouched
        // The search itself agrees.
        ff.Search();
        QCOMPARE(ff.FileList.Count() > 0, found);
        ff.setDirectory("T:\\n\\none");
        QVERIFY_THROWS_EXCEPTION(EFindFilesError, ff.FindsAny());
    }

    // In the C locale items of one folder are ordered by their names alone;
    // the order is the one the whole names give, across folders too.
    void sortByNameInCLocale()
    {
        QLocale::setDefault(QLocale::c());
        for (const QString &f : {"a/B.txt", "a/a.txt", "a/A1", "a b/c.txt", "A/c.txt", "a-/z", "ab/y", "Za.txt",
                                 "z.txt", "a/b/c.txt", "a/b.txt0"})
            mk("s/" + f);
        TFindFiles ff;
        ff.setDirectory("T:\\s");
        ff.setRecurse(true);
        ff.Search();
        QCOMPARE(ff.FileList.Count(), 11);
        for (const TFileSortOrder order : {soNameNoCase, soNameCase}) {
            ff.FileList.Sort(order);
            QCollator coll{QLocale::c()};
            coll.setCaseSensitivity(order == soNameCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
            for (int i = 0; i + 1 < ff.FileList.Count(); ++i) {
                const QString a = ff.FileList.Items(i)->FullName(), b = ff.FileList.Items(i + 1)->FullName();
                QVERIFY2(coll.compare(a, b) <= 0, qPrintable(a + " before " + b));
            }
        }
    }

    void sortAndItems()
    {
        QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
        // Windows keeps "A.txt" and "a.txt" as one name: there the first goes.
        const auto here = [](QStringList names) {
            if (!namesAreCaseSensitive())
                names.removeAll("A.txt");
            return names;
        };
        const QStringList files = here({"b.txt", "Z.txt", "ą.txt", "A.txt", "a.txt"});
        for (int i = 0; i < files.size(); ++i) {
            mk("o/" + files[i], QByteArray(i + 1, 'x'));
            const QDateTime t(QDate(2020, 5, 17), QTime(10, 11, 13 - i * 2));
            QVERIFY(platform::setLastWriteTime("T:\\o\\" + files[i], t));
        }
        TFindFiles ff;
        ff.setDirectory("T:\\o");
        ff.Search();
        auto fileNames = [&] {
            QStringList out;
            for (int i = 0; i < ff.FileList.Count(); ++i)
                out << ff.FileList.Items(i)->FileName();
            return out;
        };
        ff.FileList.Sort(soNameCase);
        QCOMPARE(fileNames(), here({"a.txt", "A.txt", "ą.txt", "b.txt", "Z.txt"}));
        ff.FileList.Sort(soNameNoCase); // "a" and "A" compare equal here
        const QStringList as = here({"A.txt", "a.txt"});
        QCOMPARE(fileNames().mid(as.size()), QStringList({"ą.txt", "b.txt", "Z.txt"}));
        QCOMPARE(sorted(fileNames().mid(0, as.size())), as);
        const QStringList byTime = here({"a.txt", "A.txt", "ą.txt", "Z.txt", "b.txt"});
        ff.FileList.Sort(soTime);
        QCOMPARE(fileNames(), byTime);
        ff.FileList.Sort(TFileSortOrder(7));
        QCOMPARE(fileNames(), byTime);
        // 17 May 2020 is day 43968; 10:11:13 is kept as 10:11:12.
        const TFileObj *b = ff.FileList.Items(int(files.size()) - 1);
        QCOMPARE(b->Time(), 43968 + (10 * 3600 + 11 * 60 + 12) / 86400.0);
        QCOMPARE(b->Size(), 1);
        // Times before 1980 read as its first day, as the packed format has it.
        QVERIFY(platform::setLastWriteTime("T:\\o\\b.txt", QDateTime(QDate(1975, 3, 1), QTime(8, 0))));
        ff.Search();
        ff.FileList.Sort(soTime);
        QCOMPARE(ff.FileList.Items(0)->Time(), 29221.0);
        QLocale::setDefault(QLocale::c());
        try {
            ff.FileList.Items(int(files.size()));
            QFAIL("no exception");
        } catch (const EListError &e) {
            QCOMPARE(e.message(), QStringLiteral("List index out of bounds (%1)").arg(files.size()));
        }
        QVERIFY_THROWS_EXCEPTION(EListError, ff.FileList.Items(-1));
    }
};

QTEST_MAIN(TestFindFiles)
#include "tst_FindFiles.moc"
