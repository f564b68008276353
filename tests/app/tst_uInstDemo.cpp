#include "installtraces.h"
#include "modalwatchdog.h"
#include "AppCore.h"
#include "Fonts.h"
#include "Gauges.h"
#include "HintBar.h"
#include "JpegImage.h"
#include "Payload.h"
#include "WizardLook.h"
#include "desktop.h"
#include "drives.h"
#include "explorator.h"
#include "exploratorDlg.h"
#include "hostfixtures.h"
#include "okienko.h"
#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include <QAbstractButton>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTest>
#include <QTimer>
#include <csignal>

namespace {

// The window with its installation run replaced by a recorder.
class Wizard : public TForm1 {
public:
    int runs = 0;
    int pageWhenRun = 0;
    bool validateResult = true;
    bool realValidate = false; // the window's own folder check
    int validations = 0;
    int launches = 0;

protected:
    void RunInstallation() override
    {
        ++runs;
        pageWhenRun = currentPage();
    }
    bool ValidateTargetFolder() override
    {
        ++validations;
        return realValidate ? TForm1::ValidateTargetFolder() : validateResult;
    }
    void LaunchInstalledProgram() override
    {
        ++launches;
        TForm1::LaunchInstalledProgram();
    }
};

// Answers the message dialog. Like a real modal box, an answered one leaves
// no control of the window with the focus.
struct Questions {
    QStringList asked;
    int answer = 7;
    Questions()
    {
        SetMsgAnswerProvider([this](TMsgOkienko &d) {
            asked << d.windowTitle() + "|" + d.lbl->text();
            if (QWidget *f = QApplication::focusWidget())
                f->clearFocus();
            return answer;
        });
    }
    ~Questions() { SetMsgAnswerProvider({}); }
};

int installEventsIn(QObject *target)
{
    struct Counter : QObject {
        int n = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Type(WM_INSTALL))
                ++n;
            return false;
        }
    } counter;
    target->installEventFilter(&counter);
    QCoreApplication::sendPostedEvents(target);
    target->removeEventFilter(&counter);
    return counter.n;
}

// The real installation run by copying: an installer without a payload and a
// TVO-DEMO folder beside it, installing into D:\target\ with the desktop in
// the folder that user-dirs.dirs names (Windows: the registry's Desktop value).
class Installer : public TForm1 {
public:
    using TForm1::RunInstallation;
};

struct CopyInstall {
    QTemporaryDir tmp;
    QString desktop;
    QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    QByteArray oldData = qgetenv("XDG_DATA_HOME");
#ifdef Q_OS_WIN
    DesktopValue desktopValue;
#endif

    QString host(const QString &rel) const { return tmp.path() + "/" + rel; }
    void write(const QString &rel, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(host(rel)).path());
        QFile f(host(rel));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    explicit CopyInstall(const QString &desktopRel = "desk") : desktop(host(desktopRel))
    {
        write("cd/TVO-DEMO/a.txt", "aaa");
        write("cd/TVO-DEMO/SUB/b.txt", "bbb");
        QFile::copy("/bin/true", host("cd/setup"));
        QDir().mkpath(host("target"));
        write("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + desktop.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", host("cfg").toUtf8());
        qputenv("XDG_DATA_HOME", host("data").toUtf8()); // the menu entry and the icons
#ifdef Q_OS_WIN
        desktopValue.redirect(desktop);
#endif
        SetPayloadSourceForTesting(host("cd/setup"));
        platform::setDriveRoot('D', tmp.path());
    }
    ~CopyInstall()
    {
        SetPayloadSourceForTesting({});
        platform::resetDrives();
        qputenv("XDG_CONFIG_HOME", oldConfig);
        qputenv("XDG_DATA_HOME", oldData);
    }
    // The file itself: these runs install no TVODEMO.EXE for it to point at.
    bool hasShortcut() const { return entryExists(desktop + "/" + platform::shortcutFileName("Tavro 2010 DEMO")); }
};

void toPage(Wizard &w, int page)
{
    while (w.currentPage() < page) {
        if (w.currentPage() == 3)
            w.ShowPage(4);
        else
            w.hbAccept();
    }
}

} // namespace

class TestWizard : public QObject {
    Q_OBJECT
    ModalWatchdog watchdog; // a modal window nobody answers fails the test
private slots:
    void cleanup() { watchdog.verifyAllAnswered(); }
    void initTestCase() { App::initModules(); }
    void init() { App::resetTerminated(); }
    void cleanupTestCase()
    {
        removeInstallationTraces();
    }

    // The watchdog ends a box that nobody answers instead of letting the test
    // hang, and names it.
    void watchdogEndsAnUnansweredBox()
    {
        watchdog.setLimit(200);
        ErrorBox("Błąd", "Nikt nie odpowie");
        watchdog.setLimit(10000);
        QCOMPARE(watchdog.closed, QStringList{"Błąd"});
        watchdog.closed.clear();
    }

    void startsOnWelcomePage()
    {
        Wizard w;
        QCOMPARE(w.currentPage(), 1);
        QCOMPARE(w.windowTitle(), QString("Instalacja DEMO Wylicznika TAVRO 2010"));
        QVERIFY(!w.ui->pStart->isHidden());
        QVERIFY(w.ui->pKatalog->isHidden() && w.ui->pInstalacja->isHidden() && w.ui->pKoniec->isHidden());
        QCOMPARE(w.hb->textAccept(), QString("DALEJ"));
        QCOMPARE(w.hb->textCancel(), QString("Zamknij"));
        QCOMPARE(w.hb->textCenter(), QString("Aby kontynuować instalację, kliknij obok przycisk DALEJ  >>>"));
        QCOMPARE(w.size(), QSize(780, 473));
        QCOMPARE(w.hb->geometry(), QRect(0, 447, 780, 26));
        QCOMPARE(w.gaugeInstalka->progress(), 0);
        QCOMPARE(w.font().pixelSize(), 11); // character height, not cell height
    }

    void enterAndEscape_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");    // to the close question
        QTest::addColumn<int>("pageAfter"); // 0 = window closed
        QTest::addColumn<int>("questions");
        QTest::newRow("enter on 1") << 1 << int(Qt::Key_Return) << 0 << 2 << 0;
        QTest::newRow("keypad enter on 1") << 1 << int(Qt::Key_Enter) << 0 << 2 << 0;
        QTest::newRow("enter on 2") << 2 << int(Qt::Key_Return) << 0 << 3 << 0;
        QTest::newRow("enter on 3") << 3 << int(Qt::Key_Return) << 0 << 3 << 0;
        QTest::newRow("esc on 1") << 1 << int(Qt::Key_Escape) << 0 << 0 << 0;
        QTest::newRow("esc on 2") << 2 << int(Qt::Key_Escape) << 0 << 0 << 0;
        QTest::newRow("esc on 3, no") << 3 << int(Qt::Key_Escape) << 7 << 3 << 1;
        QTest::newRow("esc on 3, close box") << 3 << int(Qt::Key_Escape) << 2 << 3 << 1;
        QTest::newRow("esc on 3, yes") << 3 << int(Qt::Key_Escape) << 1 << 0 << 1;
        QTest::newRow("esc on 4") << 4 << int(Qt::Key_Escape) << 0 << 0 << 0;
    }
    void enterAndEscape()
    {
        QFETCH(int, page);
        QFETCH(int, key);
        QFETCH(int, answer);
        QFETCH(int, pageAfter);
        QFETCH(int, questions);
        Questions q;
        q.answer = answer;
        Wizard w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        toPage(w, page);
        if (page == 2)
            QCOMPARE(QApplication::focusWidget(), w.ui->edKatalog);
        QTest::keyClick(w.windowHandle(), Qt::Key(key));
        QCOMPARE(q.asked.size(), questions);
        if (questions)
            QCOMPARE(q.asked.first(), QString("Potwierdź|Czy na pewno przerwać instalację ?"));
        if (pageAfter == 0) {
            QVERIFY(!w.isVisible());
            QVERIFY(App::terminated());
        } else {
            QVERIFY(w.isVisible());
            QCOMPARE(w.currentPage(), pageAfter);
            QVERIFY(!App::terminated());
        }
    }

    void clickOnBarThenEnterMovesOnePage()
    {
        Wizard w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(w.hb, Qt::LeftButton, {}, QPoint(300, 13));
        QTest::keyClick(w.windowHandle(), Qt::Key_Return);
        QCOMPARE(w.currentPage(), 2);
    }

    // One key press, one action, even when the message box that its handler
    // shows leaves no control with the focus: the folder check's messages,
    // the overwrite question answered "Nie".
    void oneKeyOneMessage_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("asked");
        QTest::newRow("empty") << "" << "Błąd|Podaj katalog docelowy !";
        QTest::newRow("root") << "C:\\" << "Błąd|Podaj katalog docelowy !";
        QTest::newRow("no drive") << "Q:\\X\\" << "Błąd|Za mało miejsca na wybranym dysku !\n"
                                                  "Instalacja wymaga minimum 55MB.";
        QTest::newRow("under a file") << "D:\\PLIK\\X\\" << "Błąd|Nieprawidłowy katalog !";
        QTest::newRow("exists, Nie") << "D:\\ISTNIEJE\\" << "Potwierdź|Podany katalog już istnieje !\n"
                                                   "Czy chcesz kontynuować\n(nadpisując wszystkie pliki) ?";
    }
    void oneKeyOneMessage()
    {
        QFETCH(QString, folder);
        QFETCH(QString, asked);
        QTemporaryDir tmp;
        platform::setDriveRoot('D', tmp.path());
        QFile plik(tmp.path() + "/PLIK");
        QVERIFY(plik.open(QIODevice::WriteOnly));
        plik.close();
        QVERIFY(QDir(tmp.path()).mkdir("ISTNIEJE"));
        Questions q;
        Wizard w;
        w.realValidate = true;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        toPage(w, 2);
        w.ui->edKatalog->setText(folder);
        w.ui->edKatalog->setFocus();
        QTest::keyClick(w.windowHandle(), Qt::Key_Return);
        platform::resetDrives();
        QCOMPARE(w.validations, 1);
        QCOMPARE(q.asked.size(), 1);
        QCOMPARE(q.asked.first(), asked);
        QCOMPARE(w.currentPage(), 2);
    }

    void closeBoxAsksOnlyOnProgressPage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("questions");
        for (int p = 1; p <= 4; ++p)
            QTest::addRow("page %d", p) << p << (p == 3 ? 1 : 0);
    }
    void closeBoxAsksOnlyOnProgressPage()
    {
        QFETCH(int, page);
        QFETCH(int, questions);
        Questions q;
        q.answer = 1;
        Wizard w;
        w.show();
        toPage(w, page);
        QVERIFY(w.close());
        QCOMPARE(q.asked.size(), questions);
    }

    void refusedFolderKeepsPageTwo()
    {
        Wizard w;
        w.validateResult = false;
        toPage(w, 2);
        w.hbAccept();
        QCOMPARE(w.currentPage(), 2);
        QCOMPARE(installEventsIn(&w), 0);
    }

    void installEventPostedOnceAfterAccept()
    {
        Wizard w;
        toPage(w, 2);
        w.hbAccept(); // the accept handler returns before the run starts
        QCOMPARE(w.currentPage(), 3);
        QCOMPARE(w.runs, 0);
        QCOMPARE(installEventsIn(&w), 1);
        QCOMPARE(w.runs, 1);
        QCOMPARE(w.pageWhenRun, 3);
        QCOMPARE(installEventsIn(&w), 0);
    }

    void progressPageHidesAccept()
    {
        Wizard w;
        w.show();
        toPage(w, 3);
        QCOMPARE(w.hb->textAccept(), QString());
        QCOMPARE(w.hb->textCenter(), QString());
        QCOMPARE(w.hb->textCancel(), QString("Zamknij"));
        w.ShowPage(4);
        QCOMPARE(w.hb->textAccept(), QString("Dalej"));
        QCOMPARE(w.hb->textCancel(), QString());
        QCOMPARE(w.hb->textCenter(), QString());
        w.hbAccept();
        QCOMPARE(w.launches, 1);
    }

    void folderBoxTurnsLettersUpper()
    {
        Wizard w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        toPage(w, 2);
        w.ui->edKatalog->clear();
        QTest::keyClicks(w.ui->edKatalog, "d:\\programy\\x");
        QCOMPARE(w.ui->edKatalog->text(), QString("D:\\PROGRAMY\\X"));
        w.ui->edKatalog->setText("C:\\Programy\\"); // the chooser's folder keeps its case
        QCOMPARE(w.ui->edKatalog->text(), QString("C:\\Programy\\"));
    }

    // The chooser opens at the typed folder; a chosen folder gets "TVO-DEMO\\"
    // appended, a cancelled choice changes nothing.
    void chooserButton_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("after");
        QTest::newRow("accepted") << true << "D:\\Programy\\TVO-DEMO\\";
        QTest::newRow("cancelled") << false << "D:\\Programy\\Stare\\";
    }
    void chooserButton()
    {
        QFETCH(bool, accept);
        QFETCH(QString, after);
        QTemporaryDir tmp;
        QVERIFY(QDir().mkpath(tmp.path() + "/Programy/Stare"));
        platform::setDriveRoot('D', tmp.path());
        Wizard w;
        w.show();
        toPage(w, 2);
        w.ui->edKatalog->setText("D:\\Programy\\Stare\\");
        QString opened;
        w.explorer->BeforeExecute = [&](QObject *sender) {
            auto *dlg = static_cast<TExplorerDlg *>(sender);
            opened = dlg->SelectedFolder();
            // Act once the modal dialog is really up (building it pumps events).
            auto *poll = new QTimer(dlg);
            QObject::connect(poll, &QTimer::timeout, dlg, [dlg, accept, poll] {
                if (!dlg->isVisible() || QApplication::activeModalWidget() != dlg)
                    return;
                poll->stop();
                dlg->OpenFolder("D:\\Programy\\");
                accept ? dlg->hbAccept() : dlg->reject();
            });
            poll->start(10);
        };
        w.ui->btnWybierzKat->click();
        platform::resetDrives();
        QCOMPARE(opened, QString("D:\\Programy\\Stare\\"));
        QCOMPARE(w.ui->edKatalog->text(), after);
        QCOMPARE(w.explorer->caption(), QString("Wybór katalogu docelowego"));
    }

    void fontsMatchDesignedCells_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cell");
        for (const ControlLook &l : WizardLook::controls())
            QTest::newRow(l.name) << QString(l.name) << l.cellHeight;
    }
    void fontsMatchDesignedCells()
    {
        QFETCH(QString, name);
        QFETCH(int, cell);
        Wizard w;
        QWidget *c = w.findChild<QWidget *>(name);
        QVERIFY(c);
        QVERIFY(std::abs(QFontMetrics(c->font()).height() - cell) <= 1);
    }

    void labelFit_data()
    {
        QTest::addColumn<QRect>("designed");
        QTest::addColumn<QSize>("needed");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("fits") << QRect(10, 20, 100, 30) << QSize(80, 20) << true << QRect(10, 20, 100, 30);
        QTest::newRow("centred grows both ways") << QRect(10, 20, 100, 30) << QSize(120, 20) << true
                                                 << QRect(0, 20, 120, 30);
        QTest::newRow("left grows right") << QRect(10, 20, 100, 30) << QSize(121, 40) << false
                                          << QRect(10, 20, 121, 40);
    }
    void labelFit()
    {
        QFETCH(QRect, designed);
        QFETCH(QSize, needed);
        QFETCH(bool, centred);
        QFETCH(QRect, fitted);
        QCOMPARE(WizardLook::fitLabel(designed, needed, centred), fitted);
    }

    void noLabelCutsItsText()
    {
        Wizard w;
        for (QLabel *l : w.findChildren<QLabel *>()) {
            if (l->text().isEmpty() || WizardLook::hasFixedSize(qPrintable(l->objectName())))
                continue;
            QVERIFY2(l->sizeHint().width() <= l->width() && l->sizeHint().height() <= l->height(),
                     qPrintable(l->objectName()));
            QVERIFY2(QRect(0, 0, 780, 447).contains(l->geometry()), qPrintable(l->objectName()));
        }
    }

    // "Wybrany katalog docelowy:" and the folder after it do not run together.
    void chosenFolderStandsApartFromItsCaption()
    {
        Wizard w;
        const QLabel *caption = w.ui->lblWybrany, *folder = w.ui->lblKatalog;
        const int inkEnd = caption->x() + caption->fontMetrics().horizontalAdvance(caption->text());
        QVERIFY2(folder->x() >= inkEnd + caption->fontMetrics().horizontalAdvance(' '),
                 qPrintable(QString("caption ends at %1, folder starts at %2").arg(inkEnd).arg(folder->x())));
        QCOMPARE(folder->x() + folder->width(), 690); // right edge as designed
    }

    // "DEMO" stays on the logo's light panel: none of its yellow lies on the
    // dark rim or beyond.
    void demoStaysOnTheLogoPanel()
    {
        Wizard w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage shot = w.grab().toImage();
        const QRect logo = w.ui->imgLogo->geometry(), demo = w.ui->lblDemo->geometry();
        const int panelRight = logo.right() - WizardLook::logoRim;
        for (int x = panelRight + 1; x < shot.width(); ++x)
            for (int y = demo.top(); y <= demo.bottom(); ++y) {
                const QColor c = shot.pixelColor(x, y);
                QVERIFY2(!(c.red() > 200 && c.green() > 180 && c.blue() < 140),
                         qPrintable(QString("yellow at %1,%2").arg(x).arg(y)));
            }
    }

    void picturesSizedToTheirImages()
    {
        Wizard w;
        QCOMPARE(w.ui->imgLogo->pixmap().size(), QSize(630, 190));
        QCOMPARE(w.ui->imgLogo->geometry(), QRect(77, 165, 630, 190));
        QCOMPARE(w.ui->imgIkona->geometry(), QRect(21, 5, 44, 39));
        w.ShowPage(4); // the shortcut's picture is read when its page shows
        QCOMPARE(w.ui->imgIkona->pixmap().size(), QSize(44, 39));
        QCOMPARE(w.ui->imgIkona->geometry(), QRect(21, 5, 44, 39));
    }

    void pageColours()
    {
        Wizard w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage shot = w.grab().toImage();
        QCOMPARE(shot.pixelColor(5, 5), WizardLook::pageColor);
        QCOMPARE(shot.pixelColor(300, 460), QColor(Qt::black)); // hint bar
    }

    // A file that cannot be copied asks whether to go on: Ok leaves it out
    // and finishes the run, Anuluj ends it silently.
    void copyFailureAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Ok") << 1 << true << int(App::ExitInstalled);
        QTest::newRow("Anuluj") << 2 << false << int(App::ExitCancelled);
        QTest::newRow("box closed") << 0 << false << int(App::ExitCancelled);
    }
    void copyFailureAsks()
    {
        QFETCH(int, answer);
        QFETCH(bool, goesOn);
        QFETCH(int, exitCode);
        CopyInstall fx;
        fx.write("target/SUB", "a file where the folder should be");
        Questions q;
        q.answer = answer;
        Installer w;
        w.ui->edKatalog->setText("D:\\target\\");
        w.RunInstallation();
        QCOMPARE(q.asked.size(), 1);
        QCOMPARE(q.asked.first().replace('\r', '\n'),
                 QString("Błąd przy kopiowaniu pliku !|Nie można skopiować pliku b.txt do:\nD:\\target\\SUB\\b.txt"));
        QCOMPARE(w.currentPage(), 4);
        QCOMPARE(App::terminated(), !goesOn);
        QCOMPARE(int(w.runResult()), exitCode);
        QCOMPARE(fx.hasShortcut(), goesOn);
        if (goesOn) {
            QVERIFY(QFileInfo::exists(fx.host("target/a.txt")));
            QCOMPARE(w.gaugeInstalka->progress(), w.gaugeInstalka->maxValue());
        }
    }

    // An installer without a payload and without the folder to copy reports
    // it and ends as a failed installation.
    void missingFolderFails()
    {
        CopyInstall fx;
        QVERIFY(QDir(fx.host("cd/TVO-DEMO")).removeRecursively());
        Questions q;
        Installer w;
        w.ui->edKatalog->setText("D:\\target\\");
        w.RunInstallation();
        QCOMPARE(q.asked.size(), 1);
        QVERIFY2(q.asked.first().startsWith("Błąd|Nie znaleziono katalogu:"), qPrintable(q.asked.first()));
        QVERIFY(App::terminated());
        QCOMPARE(w.runResult(), App::ExitFailed);
        QVERIFY(!fx.hasShortcut());
    }

    // A termination signal during the run stops it at the next step as a
    // cancel; on the other pages it ends the program without a question.
    void terminationSignal_data()
    {
        QTest::addColumn<int>("page");
        for (int p = 1; p <= 4; ++p)
            QTest::addRow("page %d", p) << p;
    }
    void terminationSignal()
    {
        QFETCH(int, page);
        Questions q;
        Wizard w;
        w.show();
        toPage(w, page);
        w.TerminationSignal(SIGTERM);
        QVERIFY(App::terminated());
        QVERIFY(q.asked.isEmpty());
    }

    void terminationSignalDuringTheRun()
    {
        CopyInstall fx;
        Questions q;
        Installer w;
        w.ui->edKatalog->setText("D:\\target\\");
        // The signal arrives while the first file is copied.
        bool sent = false;
        QTimer::singleShot(0, &w, [&] { sent = true; w.TerminationSignal(SIGINT); });
        w.RunInstallation();
        QVERIFY(sent);
        QVERIFY(q.asked.isEmpty());
        QCOMPARE(w.runResult(), App::ExitCancelled);
        QVERIFY(!fx.hasShortcut());
    }

    // A desktop entry that cannot be written is reported; the run still
    // reaches the finish page and counts the shortcut step.
    void shortcutFailureIsReported()
    {
        CopyInstall fx("cd/setup/Pulpit"); // below a file: the folder cannot exist
        Questions q;
        Installer w;
        w.ui->edKatalog->setText("D:\\target\\");
        w.RunInstallation();
        QCOMPARE(q.asked.size(), 1);
        QVERIFY2(q.asked.first().startsWith("Błąd przy zakładaniu ikony !|"), qPrintable(q.asked.first()));
        QCOMPARE(w.currentPage(), 4);
        QVERIFY(!App::terminated());
        QVERIFY(QFileInfo::exists(fx.host("target/SUB/b.txt")));
        QCOMPARE(w.gaugeInstalka->maxValue(), 4); // a folder, two files, the shortcut
        QCOMPARE(w.gaugeInstalka->progress(), 4);
        QVERIFY(w.ui->lblPlik->isHidden() && w.gaugePlik->isHidden());
    }

    void jpegDecoder_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("not a picture at all", 20);
        QFile f(":/logo.jpg");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTest::newRow("header only") << f.read(2);
    }
    void jpegDecoder()
    {
        QFETCH(QByteArray, data);
        QVERIFY(decodeJpeg(data).isNull());
    }
};

QTEST_MAIN(TestWizard)
#include "tst_uInstDemo.moc"
