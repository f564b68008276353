#include "modalwatchdog.h"
#include "AppCore.h"
#include "HintBar.h"
#include "drives.h"
#include "explorator.h"
#include "exploratorDrives.h"
#include "exploratorGeom.h"
#include "hostfixtures.h"
#include "okienko.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace explorer;

class TestExplorator : public QObject {
    Q_OBJECT
    ModalWatchdog watchdog; // a modal window nobody answers fails the test
    QTemporaryDir tmp;
    QStringList boxes;      // message dialogs shown: "title|text"
    QStringList reports;    // standard exception reports
    QList<int> answers;     // answers for the message dialogs, in turn

    void mk(const QString &rel, const QByteArray &data = "x")
    {
        const QString p = tmp.path() + '/' + rel;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    // Message boxes are recorded and answered from the answers list.
    void answerFromList()
    {
        SetMsgAnswerProvider([this](TMsgOkienko &d) {
            boxes << d.windowTitle() + '|' + d.lbl->text();
            return answers.isEmpty() ? 2 : answers.takeFirst();
        });
    }

    // A dialog set up as Execute sets it up, without showing it.
    std::unique_ptr<TExplorerDlg> open(const QString &path, bool files = false, bool pick = false)
    {
        auto dlg = std::make_unique<TExplorerDlg>(nullptr);
        dlg->PlikiWidoczne = files;
        dlg->WyborPliku = pick;
        dlg->files->setMask(QStringLiteral("*.DBF"));
        dlg->OpenFolder(path);
        return dlg;
    }
    static QStringList childTexts(QTreeWidgetItem *node)
    {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i)
            out << node->child(i)->text(0);
        return out;
    }
    static QStringList items(const QListWidget *lb)
    {
        QStringList out;
        for (int i = 0; i < lb->count(); ++i)
            out << lb->item(i)->text();
        return out;
    }
    // Runs Execute and lets action act on the open dialog.
    static bool run(TExplorer &ex, std::function<void(TExplorerDlg *)> action)
    {
        ex.BeforeExecute = [action](QObject *sender) {
            auto *dlg = static_cast<TExplorerDlg *>(sender);
            QTimer::singleShot(0, dlg, [dlg, action] {
                action(dlg);
                if (dlg->isVisible()) // the action left it open: close it as a person would
                    dlg->hbCancel();
            });
        };
        return ex.Execute();
    }

private slots:
    void cleanup() { watchdog.verifyAllAnswered(); }
    void initTestCase()
    {
        App::initModules();
        QDir().mkpath(tmp.path() + "/Alpha/Beta/Gamma");
        QDir().mkpath(tmp.path() + "/alpha2");
        QDir().mkpath(tmp.path() + "/beta2");
        QDir().mkpath(tmp.path() + "/.hidden/inner");
        for (const char *f : {"Zeta/a.txt", "Zeta/b.dbf", "Zeta/C.DBF", "Zeta/sub1/s1.dbf", "Zeta/sub2/s2a.dbf",
                              "Zeta/sub2/s2b.dbf", "Zeta/sub3/s3.dbf", "Zeta/bad.bmp"})
            mk(f);
        QImage pic(200, 100, QImage::Format_RGB32);
        pic.fill(Qt::red);
        QVERIFY(pic.save(tmp.path() + "/Zeta/pic.bmp", "BMP"));
        platform::setDriveRoot('T', tmp.path());
        QVERIFY(markHidden(tmp.path() + "/.hidden"));
        answerFromList();
        App::setSystemBoxHook([this](const QString &, const QString &text) { reports << text; });
    }
    void init()
    {
        boxes.clear();
        reports.clear();
        answers.clear();
    }

    void driveTypes_data()
    {
        QTest::addColumn<QByteArray>("fs");
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("type");
        QTest::newRow("home") << QByteArray("ext4") << "/home/u" << int(TDriveType::Fixed);
        QTest::newRow("stick") << QByteArray("vfat") << "/media/u/STICK" << int(TDriveType::Removable);
        QTest::newRow("disc") << QByteArray("iso9660") << "/media/cd" << int(TDriveType::CdRom);
        QTest::newRow("share") << QByteArray("cifs") << "/srv/share" << int(TDriveType::Network);
        QTest::newRow("memory") << QByteArray("tmpfs") << "/tmp" << int(TDriveType::Ram);
    }
    void driveTypes()
    {
        QFETCH(QByteArray, fs);
        QFETCH(QString, root);
        QFETCH(int, type);
        QCOMPARE(int(driveTypeForHostRoot(fs, root)), type);
    }

    // Each Boolean setter starting from the defaults; expected: WyborPliku,
    // WyborKatalogu, PlikiWidoczne, PodgladWidoczny, Szukanie.
    void consistency_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<bool>("value");
        QTest::addColumn<QList<bool>>("after");
        QTest::newRow("file choice on") << QByteArray("WyborPliku") << true << QList<bool>{true, true, true, false, false};
        QTest::newRow("folder choice off") << QByteArray("WyborKatalogu") << false
                                           << QList<bool>{true, false, true, false, false};
        QTest::newRow("preview on") << QByteArray("PodgladWidoczny") << true << QList<bool>{true, true, true, true, false};
        QTest::newRow("search on") << QByteArray("Szukanie") << true << QList<bool>{false, true, true, false, true};
        QTest::newRow("files on") << QByteArray("PlikiWidoczne") << true << QList<bool>{false, true, true, false, false};
    }
    void consistency()
    {
        QFETCH(QByteArray, property);
        QFETCH(bool, value);
        QFETCH(QList<bool>, after);
        TExplorer ex;
        QVERIFY(ex.setProperty(property, value));
        QCOMPARE((QList<bool>{ex.wyborPliku(), ex.wyborKatalogu(), ex.plikiWidoczne(), ex.podgladWidoczny(),
                              ex.szukanie()}),
                 after);
    }
    void consistencyOffDirections()
    {
        TExplorer ex;
        ex.setPodgladWidoczny(true);
        ex.setSzukanie(true);
        ex.setPlikiWidoczne(false); // takes preview, file choice and search with it
        QCOMPARE((QList<bool>{ex.wyborPliku(), ex.plikiWidoczne(), ex.podgladWidoczny(), ex.szukanie()}),
                 (QList<bool>{false, false, false, false}));
        ex.setWyborKatalogu(false);
        ex.setSzukanie(true);
        ex.setWyborPliku(false); // back to folders; the file list stays
        QCOMPARE((QList<bool>{ex.wyborKatalogu(), ex.plikiWidoczne(), ex.szukanie()}), (QList<bool>{true, true, true}));
        ex.setWysokosc(50);
        QCOMPARE(ex.wysokosc(), 100);
        ex.setProperty("MaxDlgNazwy", 30); // obsolete stored setting: accepted and dropped
        QVERIFY(!ex.property("MaxDlgNazwy").isValid());
    }

    void tree()
    {
        auto dlg = open("T:\\");
        QTreeWidgetItem *root = dlg->tree->topLevelItem(0);
        QVERIFY(root);
        QCOMPARE(root->text(0), QString("t:\\"));
        QCOMPARE(dlg->NodePath(root), QString("t:\\"));
        QCOMPARE(dlg->SelectedFolder(), QString("T:\\"));
        // Case-insensitive order, no hidden folder, placeholders only where subfolders exist.
        QCOMPARE(childTexts(root), (QStringList{"Alpha", "alpha2", "beta2", "Zeta"}));
        QCOMPARE(childTexts(root->child(0)), QStringList{""});
        QCOMPARE(root->child(1)->childCount(), 0);
        QCOMPARE(root->child(3)->childCount(), 1);
        root->child(0)->setExpanded(true);
        QCOMPARE(childTexts(root->child(0)), QStringList{"Beta"});
        QCOMPARE(dlg->NodePath(root->child(0)->child(0)), QString("t:\\Alpha\\Beta\\"));
        root->setExpanded(false);
        QVERIFY(root->isExpanded());
    }

    void openFolder_data()
    {
        QTest::addColumn<QString>("katalog");
        QTest::addColumn<QString>("selected");
        QTest::newRow("deep") << "T:\\Alpha\\Beta\\Gamma\\" << "T:\\Alpha\\Beta\\Gamma\\";
        QTest::newRow("lower case, no backslash") << "t:\\alpha\\beta\\gamma" << "T:\\Alpha\\Beta\\Gamma\\";
        QTest::newRow("dots") << "T:\\Alpha\\Beta\\Gamma\\..\\" << "T:\\Alpha\\Beta\\";
        QTest::newRow("missing folder: C root") << "T:\\Alpha\\Nope\\" << "C:\\";
        QTest::newRow("network path: C root") << "\\\\server\\share\\" << "C:\\";
        QTest::newRow("empty: C root") << "" << "C:\\";
    }
    void openFolder()
    {
        QFETCH(QString, katalog);
        QFETCH(QString, selected);
        auto dlg = open(katalog);
        QCOMPARE(dlg->SelectedFolder(), selected);
        QVERIFY(dlg->tree->currentItem()->isSelected());
        for (QTreeWidgetItem *n = dlg->tree->currentItem(); n; n = n->parent())
            QVERIFY(n->isExpanded());
    }

    void execute_data()
    {
        QTest::addColumn<QString>("katalog");
        QTest::addColumn<int>("action"); // 0 accept button, 1 Enter on the tree, 2 Escape, 3 cancel button
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("after");
        QTest::newRow("accept root") << "t:\\" << 0 << true << "T:\\";
        QTest::newRow("accept deep") << "t:\\alpha\\beta" << 0 << true << "T:\\Alpha\\Beta\\";
        QTest::newRow("enter on tree") << "T:\\Zeta" << 1 << true << "T:\\Zeta\\";
        QTest::newRow("escape") << "t:\\alpha\\beta" << 2 << false << "t:\\alpha\\beta";
        QTest::newRow("cancel") << "T:\\Zeta" << 3 << false << "T:\\Zeta";
    }
    void execute()
    {
        QFETCH(QString, katalog);
        QFETCH(int, action);
        QFETCH(bool, result);
        QFETCH(QString, after);
        const QString cwd = QDir::currentPath();
        TExplorer ex;
        ex.setKatalog(katalog);
        const bool ok = run(ex, [action](TExplorerDlg *dlg) {
            switch (action) {
            case 0: QTest::mouseClick(dlg->hb->acceptButton(), Qt::LeftButton); break;
            case 1: QTest::keyClick(dlg->tree, Qt::Key_Return); break;
            case 2: QTest::keyClick(dlg->tree, Qt::Key_Escape); break;
            default: QTest::mouseClick(dlg->hb->cancelButton(), Qt::LeftButton);
            }
        });
        QCOMPARE(ok, result);
        QCOMPARE(ex.katalog(), after);
        QVERIFY(!ex.dialog());
        QCOMPARE(QDir::currentPath(), cwd);
    }

    void sprawdzKatalog()
    {
        TExplorer ex;
        ex.setKatalog("T:\\Alpha");
        QStringList asked;
        ex.OnSprawdzKatalog = [&asked](QObject *, const QString &k, bool &mozeByc) {
            asked << k;
            mozeByc = asked.size() > 1;
        };
        QVERIFY(run(ex, [](TExplorerDlg *dlg) {
            dlg->hbAccept();
            QVERIFY(dlg->isVisible()); // refused: stays open
            dlg->hbAccept();
        }));
        QCOMPARE(asked, (QStringList{"T:\\Alpha\\", "T:\\Alpha\\"}));
    }

    void fileList()
    {
        auto dlg = open("T:\\Zeta", true, true);
        dlg->OnDodajPlik = [](QObject *, const QString &plik, QString &opis, bool &akceptuj) {
            opis = plik.section('\\', -1).toUpper();
            akceptuj = !plik.endsWith("C.DBF");
        };
        dlg->treeChange();
        QCOMPARE(items(dlg->lb), QStringList{"b.dbf\tB.DBF"});
        QCOMPARE(dlg->lb->currentRow(), 0);
        QCOMPARE(dlg->SelectedFile(), QString("T:\\Zeta\\b.dbf"));
        for (int bad : {-1, 1})
            QVERIFY_THROWS_EXCEPTION(EListError, dlg->FileNameAt(bad));
    }

    void fileChoice()
    {
        TExplorer ex;
        ex.setKatalog("T:\\beta2");
        ex.setWyborPliku(true);
        ex.setMultiWybor(true);
        QVERIFY(run(ex, [this](TExplorerDlg *dlg) {
            dlg->hbAccept(); // empty folder: nothing to choose
            QCOMPARE(boxes, QStringList{"Wybierz plik|Nie zaznaczono żadnego pliku !"});
            QVERIFY(dlg->isVisible());
            dlg->OpenFolder("T:\\Zeta");
            dlg->lb->selectAll();
            QTest::keyClick(dlg->lb, Qt::Key_Enter);
        }));
        QCOMPARE(ex.katalog(), QString("T:\\Zeta\\"));
        QCOMPARE(ex.WybranyPlik(), QString("T:\\Zeta\\b.dbf"));
        QCOMPARE(ex.WybranePliki(), (QStringList{"T:\\Zeta\\b.dbf", "T:\\Zeta\\C.DBF"}));
    }

    void search_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("whole tree, sorted") << "T:\\Zeta" << false
                                            << QStringList{"b.dbf\t", "C.DBF\t", "sub1\\s1.dbf\t", "sub2\\s2a.dbf\t",
                                                           "sub2\\s2b.dbf\t", "sub3\\s3.dbf\t"}
                                            << QStringList{};
        // Stopped in the first subfolder searched: the root's files and that
        // subfolder's stay; the others are never searched.
        QTest::newRow("stopped keeps what it found") << "T:\\Zeta" << true << QStringList{"b.dbf\t", "C.DBF\t"}
                                                     << QStringList{};
        QTest::newRow("nothing found") << "T:\\Alpha" << false << QStringList{}
                                       << QStringList{"Nie znaleziono|Nie znalazłem w tym katalogu i jego "
                                                      "podkatalogach żadnego pliku"};
    }
    void search()
    {
        QFETCH(QString, folder);
        QFETCH(bool, stop);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, shown);
        auto dlg = open(folder, true, true);
        dlg->show();
        if (stop) // "Przerwij" pressed while the second subfolder is searched
            dlg->OnDodajPlik = [&dlg](QObject *, const QString &plik, QString &, bool &) {
                QVERIFY(dlg->panSzukanie->isVisible() && !dlg->panLewy->isEnabled());
                if (plik.contains("\\sub"))
                    QTest::mouseClick(dlg->btnPrzerwij, Qt::LeftButton);
            };
        try {
            dlg->btnSzukajClick();
            QVERIFY(!stop);
        } catch (const EAbort &) {
            QVERIFY(stop);
        }
        QStringList found = items(dlg->lb);
        if (stop) {
            const QStringList sub = found.mid(2);
            QVERIFY(!sub.isEmpty() && sub.size() < 4);
            for (const QString &f : sub)
                QCOMPARE(f.left(5), sub[0].left(5));
            found = found.mid(0, 2);
        }
        QCOMPARE(found, listed);
        QCOMPARE(boxes, shown);
        QCOMPARE(dlg->lb->currentRow(), stop || listed.isEmpty() ? -1 : 0);
        QVERIFY(!dlg->panSzukanie->isVisible());
        QVERIFY(dlg->panLewy->isEnabled() && dlg->panPrawy->isEnabled());
    }

    // A close asked for in the middle of a search waits until the search ends.
    void closeDuringSearch()
    {
        TExplorer ex;
        ex.setKatalog("T:\\Zeta");
        ex.setWyborPliku(true);
        ex.setSzukanie(true);
        int listed = 0;
        ex.OnDodajPlik = [&listed](QObject *sender, const QString &, QString &, bool &) {
            auto *dlg = static_cast<TExplorerDlg *>(sender);
            if (!dlg->searching())
                return;
            if (++listed == 1)
                QTest::mouseClick(dlg->hb->cancelButton(), Qt::LeftButton);
            QVERIFY(dlg->isVisible());
        };
        QVERIFY(!run(ex, [](TExplorerDlg *dlg) { QTest::mouseClick(dlg->btnSzukaj, Qt::LeftButton); }));
        QCOMPARE(listed, 6);
        QCOMPARE(ex.katalog(), QString("T:\\Zeta"));
    }

    void drives()
    {
        QTemporaryDir gone;
        platform::setDriveRoot('Q', gone.path() + "/missing");
        auto dlg = open("T:\\Alpha");
        QTreeWidgetItem *root = dlg->tree->topLevelItem(0);
        QVERIFY(root);
        dlg->drives->setDrive('t'); // the drive shown already: no rebuild
        QCOMPARE(dlg->tree->topLevelItem(0), root);
        answers = {1, 2}; // "Powtórz", then "Anuluj"
        dlg->drives->setDrive('Q');
        QCOMPARE(boxes, (QStringList{"Błąd|Błąd przy odczycie dysku q:", "Błąd|Błąd przy odczycie dysku q:"}));
        QCOMPARE(dlg->drives->drive(), QChar('t'));
        QCOMPARE(dlg->tree->topLevelItem(0), root);
        QCOMPARE(dlg->SelectedFolder(), QString("T:\\Alpha\\"));
        // A drive that appears later shows up after "Sieć", the selection kept.
        platform::setDriveRoot('R', tmp.path() + "/Zeta");
        QCOMPARE(dlg->drives->findData(QChar('r')), -1);
        dlg->btnMapujClick();
        QVERIFY(dlg->drives->findData(QChar('r')) >= 0);
        QCOMPARE(dlg->drives->drive(), QChar('t'));
        QCOMPARE(dlg->tree->topLevelItem(0), root);
        platform::setDriveRoot('Q', QString());
        platform::setDriveRoot('R', QString());
    }

    // The starting drive cannot be read and the user gives up: an empty tree,
    // and accepting it chooses nothing.
    void noDriveShown()
    {
        platform::setDriveRoot('C', tmp.path() + "/missing");
        answers = {2};
        auto dlg = open("C:\\");
        platform::resetDrives();
        platform::setDriveRoot('T', tmp.path());
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(dlg->tree->topLevelItemCount(), 0);
        QCOMPARE(dlg->SelectedFolder(), QString());
        dlg->setModal(false);
        dlg->show();
        dlg->hbAccept();
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->result(), 0);
    }

    // What the drive change raises while the chooser opens (here: the retry
    // question) reaches the caller instead of ending the program.
    void driveChangeFailureReachesTheCaller()
    {
        platform::setDriveRoot('C', tmp.path() + "/missing");
        SetMsgAnswerProvider([](TMsgOkienko &) -> int { throw Exception(QStringLiteral("no answer")); });
        QString message;
        try {
            open("C:\\");
        } catch (const Exception &e) {
            message = e.message();
        }
        answerFromList();
        platform::resetDrives();
        platform::setDriveRoot('T', tmp.path());
        QCOMPARE(message, QStringLiteral("no answer"));
    }

    void layout_data()
    {
        QTest::addColumn<bool>("katalogu");
        QTest::addColumn<bool>("pliki");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("right");
        QTest::newRow("folders only") << true << false << 250 << true << false;
        QTest::newRow("folders and files") << true << true << 574 << true << true;
        QTest::newRow("files only") << false << true << 324 << false << true;
    }
    void layout()
    {
        QFETCH(bool, katalogu);
        QFETCH(bool, pliki);
        QFETCH(int, width);
        QFETCH(bool, left);
        QFETCH(bool, right);
        TExplorer ex;
        ex.setKatalog("T:\\");
        ex.setPlikiWidoczne(pliki);
        ex.setWyborKatalogu(katalogu);
        ex.setSzerPlikow(300);
        ex.setWysokosc(50);
        run(ex, [&](TExplorerDlg *dlg) {
            QCOMPARE(dlg->size(), QSize(width, 100));
            QCOMPARE(dlg->panLewy->isVisible(), left);
            QCOMPARE(dlg->panPrawy->isVisible(), right);
        });
    }

    void preview()
    {
        auto dlg = std::make_unique<TExplorerDlg>(nullptr);
        dlg->PlikiWidoczne = dlg->WyborPliku = dlg->PodgladWidoczny = true;
        dlg->files->setMask("*.bmp");
        dlg->OpenFolder("T:\\Zeta");
        dlg->show();
        dlg->panImg->resize(104, 104); // client 102 x 102 inside the border: area 100 x 100
        QCoreApplication::processEvents();
        QCOMPARE(items(dlg->lb), (QStringList{"bad.bmp\t", "pic.bmp\t"}));
        QCOMPARE(reports.size(), 1); // bad.bmp, made current first, is no picture
        QVERIFY(dlg->picture().isNull());
        dlg->lb->setCurrentRow(1);
        QCOMPARE(dlg->picture().size(), QSize(200, 100));
        QCOMPARE(dlg->img->size(), QSize(98, 49));
        QCOMPARE(dlg->img->pos(), QPoint(1 + 2, 1 + 26)); // centred in the client area
    }
};

QTEST_MAIN(TestExplorator)
#include "tst_explorator.moc"
