#include "AppCore.h"
#include "Fonts.h"
#include "Utils.h"
#include "drives.h"
#include "files.h"
#include "hostfixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>


class TForm1 : public QWidget {
    Q_OBJECT
};
class TForm2 : public QWidget {
    Q_OBJECT
};

class TestUtils : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString makeFile(const QString &name, bool readOnly)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write("x");
        f.close();
        if (readOnly)
            f.setPermissions(QFileDevice::ReadOwner);
        return QStringLiteral("T:\\") + name;
    }

    static void popAll()
    {
        for (int i = 0; i < 20; ++i)
            SetBusyCursor(false, false);
    }

private slots:
    void initTestCase()
    {
        App::initModules();
        QVERIFY(m_dir.isValid());
        platform::setDriveRoot('T', m_dir.path());
        platform::setDriveRoot('Q', QString());
    }
    void cleanupTestCase() { platform::resetDrives(); }

    void driveNumberOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("number");
        QTest::newRow("upper C") << "C:\\TVO-DEMO\\" << 3;
        QTest::newRow("lower c") << "c:\\tvo-demo\\" << 35;
        QTest::newRow("A bare") << "A:" << 1;
        QTest::newRow("Z root") << "Z:\\" << 26;
        QTest::newRow("drive relative") << "D:name" << 4;
        QTest::newRow("share") << "\\\\server\\share\\dir" << 28;
        QTest::newRow("relative") << "TVO-DEMO\\x" << 0;
        QTest::newRow("rooted") << "\\TVO-DEMO" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("colon later") << "ab:\\x" << 0;
        QTest::newRow("digit wraps") << "1:\\" << 241;
        QTest::newRow("latin-1 letter") << QString::fromUtf8("é:\\") << 0xE9 - 64;
        // U+0143 must not wrap onto 'C' (code 0x43).
        QTest::newRow("wide char") << QString::fromUtf8("Ń:\\") << 255;
    }
    void driveNumberOf()
    {
        QFETCH(QString, path);
        QFETCH(int, number);
        QCOMPARE(int(DriveNumberOf(path)), number);
    }

    void diskFreeOfMissingDrives_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("unmapped letter") << "Q:\\x";
        QTest::newRow("share") << "\\\\server\\share\\x";
        QTest::newRow("wide char") << QString::fromUtf8("Ń:\\");
        QTest::newRow("digit") << "1:\\";
    }
    void diskFreeOfMissingDrives()
    {
        QFETCH(QString, path);
        QCOMPARE(double(DiskFreeMB(DriveNumberOf(path))), -1.0);
    }

    void diskFreeBothCasesAndCurrentDrive()
    {
        const double reference = double(BytesToMB(platform::diskFreeBytes("T:\\")));
        QVERIFY(reference > 0);
        // Other processes write meanwhile; the figures need only name one drive.
        const double slack = 256;
        QVERIFY(qAbs(double(DiskFreeMB(DriveNumberOf("T:\\x"))) - reference) < slack);
        QVERIFY(qAbs(double(DiskFreeMB(DriveNumberOf("t:\\x"))) - reference) < slack);

        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        const double current = double(DiskFreeMB(DriveNumberOf("relative\\x")));
        QDir::setCurrent(old);
        QVERIFY(qAbs(current - reference) < slack);
    }

    void bytesToMB_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<double>("mb");
        QTest::newRow("million") << qint64(1000000) << 0.95367431640625;
        QTest::newRow("zero") << qint64(0) << 0.0;
        // Beyond 2^31 clusters and 2^32 bytes: must not turn negative.
        QTest::newRow("16 TiB") << (qint64(1) << 44) << 16777216.0;
        QTest::newRow("8 PiB + 1 MiB") << ((qint64(1) << 53) + 1048576) << 8589934593.0;
        QTest::newRow("no answer") << qint64(-1) << -1.0;
    }
    void bytesToMB()
    {
        QFETCH(qint64, bytes);
        QFETCH(double, mb);
        QCOMPARE(double(BytesToMB(bytes)), mb);
    }

    void clearFileAttributes_data()
    {
        using namespace platform;
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("set"); // attributes given before, where the system keeps them
        QTest::addColumn<int>("after");
        QTest::newRow("read-only") << "ro.txt" << true << 0 << int(faArchive);
        QTest::newRow("writable") << "rw.txt" << false << 0 << int(faArchive);
#ifdef Q_OS_WIN
        // A dot starts a name like any letter; hidden is an attribute of its own.
        QTest::newRow("dot name, read-only") << ".hid.txt" << true << 0
                                             << (runsUnderWine() ? faArchive | faHidden : int(faArchive));
        // An attribute cleared before stays cleared (Wine archives every file).
        const int unarchived = runsUnderWine() ? int(faArchive) : 0;
#else
        // A hidden name cannot change here without losing the file.
        QTest::newRow("hidden read-only") << ".hid.txt" << true << 0 << int(faArchive | faHidden);
        const int unarchived = faArchive; // every regular file is archived here
#endif
        QTest::newRow("read-only, hidden, system, archived")
            << "rhs.txt" << true << (faReadOnly | faHidden | faSysFile | faArchive) << int(faArchive);
        QTest::newRow("read-only, not archived") << "rn.txt" << true << int(faReadOnly) << unarchived;
    }
    void clearFileAttributes()
    {
        QFETCH(QString, name);
        QFETCH(bool, readOnly);
        QFETCH(int, set);
        QFETCH(int, after);
        const QString path = makeFile(name, readOnly);
        QVERIFY(!path.isEmpty());
        if (set)
            QVERIFY(platform::setFileAttributes(path, set));
        QCOMPARE(bool(platform::fileAttributes(path) & platform::faReadOnly), readOnly);
        QVERIFY(ClearFileAttributes(path));
        QCOMPARE(platform::fileAttributes(path), after);
        QVERIFY(QFile(m_dir.filePath(name)).open(QIODevice::Append));
    }

    void clearFileAttributesFails_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << "T:\\missing.txt";
        QTest::newRow("unmapped drive") << "Q:\\x.txt";
        QTest::newRow("empty") << "";
    }
    void clearFileAttributesFails()
    {
        QFETCH(QString, path);
        QVERIFY(!ClearFileAttributes(path));
    }

    void busyCursor_data()
    {
        // F pushes foreground work, B background work, - pops.
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QList<int>>("tops");
        QTest::newRow("two pushes, two pops") << "FF--" << QList<int>{-11, -11, -11, 0};
        QTest::newRow("pop on empty") << "-" << QList<int>{0};
        QTest::newRow("background") << "B-" << QList<int>{-19, 0};
        QTest::newRow("background inside foreground") << "FB--" << QList<int>{-11, -11, -11, 0};
        QTest::newRow("foreground inside background") << "BF--" << QList<int>{-19, -11, -19, 0};
        QTest::newRow("background twice") << "BB-" << QList<int>{-19, -19, -19};
        QTest::newRow("extra pops") << "F---F" << QList<int>{-11, 0, 0, 0, -11};
    }
    void busyCursor()
    {
        QFETCH(QString, ops);
        QFETCH(QList<int>, tops);
        popAll();
        for (int i = 0; i < ops.size(); ++i) {
            SetBusyCursor(ops[i] != '-', ops[i] == 'B');
            QCOMPARE(CurrentBusyCursor(), tops[i]);
            const QCursor *shown = QGuiApplication::overrideCursor();
            if (tops[i] == 0)
                QVERIFY(!shown);
            else
                QCOMPARE(shown ? int(shown->shape()) : -1, int(tops[i] == -11 ? Qt::WaitCursor : Qt::BusyCursor));
        }
        popAll();
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void busyCursorKeepsForeignHourglass()
    {
        popAll();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        SetBusyCursor(true, true);
        QCOMPARE(CurrentBusyCursor(), -11);
        SetBusyCursor(false, false);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QGuiApplication::restoreOverrideCursor();
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void treeToolTips_data()
    {
        QTest::addColumn<bool>("disable");
        QTest::newRow("plain tree shows tips") << false;
        QTest::newRow("disabled tree shows none") << true;
    }
    void treeToolTips()
    {
        QFETCH(bool, disable);
        QTreeWidget tree;
        auto *item = new QTreeWidgetItem(&tree, QStringList{"a rather long folder name"});
        item->setToolTip(0, "a rather long folder name");
        if (disable) {
            DisableTreeToolTips(&tree);
            DisableTreeToolTips(&tree);
        }
        tree.resize(200, 100);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QToolTip::hideText();
        const QPoint at = tree.visualItemRect(item).center();
        QHelpEvent help(QEvent::ToolTip, at, tree.viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree.viewport(), &help);
        QCOMPARE(QToolTip::isVisible(), !disable);
        QToolTip::hideText();
    }

    void safeSetFocusFailures_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("message");
        const QString head = "Problem z SetFocus dla: TForm1, QLineEdit-edKatalog\r";
        QTest::newRow("hidden") << "hidden" << head + "(Visible=0, Enabled=1, CanFocus=0)";
        QTest::newRow("disabled") << "disabled" << head + "(Visible=1, Enabled=0, CanFocus=0)";
        QTest::newRow("no focus") << "nofocus" << head + "(Visible=1, Enabled=1, CanFocus=0)";
        QTest::newRow("form disabled") << "formdisabled" << head + "(Visible=1, Enabled=1, CanFocus=0)";
        QTest::newRow("form not shown") << "formhidden" << head + "(Visible=1, Enabled=1, CanFocus=0)";
    }
    void safeSetFocusFailures()
    {
        QFETCH(QString, state);
        QFETCH(QString, message);
        TForm1 form;
        SetMainForm(&form);
        auto *ed = new QLineEdit(&form);
        ed->setObjectName("edKatalog");
        if (state != "formhidden") {
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        if (state == "hidden")
            ed->hide();
        if (state == "disabled")
            ed->setEnabled(false);
        if (state == "nofocus")
            ed->setFocusPolicy(Qt::NoFocus);
        if (state == "formdisabled")
            form.setEnabled(false);
        try {
            SafeSetFocus(ed);
            QFAIL("no ESetFocusError");
        } catch (const ESetFocusError &e) {
            QCOMPARE(e.message(), message);
        }
        SetMainForm(nullptr);
    }

    void safeSetFocusNullAndSuccess()
    {
        try {
            SafeSetFocus(nullptr);
            QFAIL("no ESetFocusError");
        } catch (const ESetFocusError &e) {
            QCOMPARE(e.message(), QString("Problem z SetFocus dla: nil"));
        }
        TForm1 form;
        auto *a = new QLineEdit(&form);
        auto *b = new QLineEdit(&form);
        b->move(0, 30);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        a->setFocus();
        SafeSetFocus(b);
        QCOMPARE(form.focusWidget(), b);
    }

    void componentPath()
    {
        QCOMPARE(ComponentPath(nullptr), QString("nil"));
        TForm1 main;
        SetMainForm(&main);
        auto *lb = new QListWidget(&main);
        lb->setObjectName("lb");
        auto *pan = new QWidget(&main);
        pan->setObjectName("panBtns");
        auto *btn = new QPushButton(pan);
        btn->setObjectName("btnDalej");
        auto *unnamed = new QObject(btn);
        TForm2 other;
        auto *lbl = new QListWidget(&other);
        lbl->setObjectName("lbl");
        QObject loose;
        loose.setObjectName("x");

        QCOMPARE(ComponentPath(&main), QString("TForm1"));
        QCOMPARE(ComponentPath(lb), QString("TForm1, QListWidget-lb"));
        QCOMPARE(ComponentPath(btn), QString("TForm1, QWidget-panBtns, QPushButton-btnDalej"));
        QCOMPARE(ComponentPath(unnamed), QString("TForm1, QWidget-panBtns, QPushButton-btnDalej, QObject-"));
        QCOMPARE(ComponentPath(&other), QString("nil, TForm2"));
        QCOMPARE(ComponentPath(lbl), QString("nil, TForm2, QListWidget-lbl"));
        QCOMPARE(ComponentPath(&loose), QString("nil, QObject-x"));
        SetMainForm(nullptr);
    }

    void mainFormFallsBackToTheOnlyWindow()
    {
        SetMainForm(nullptr);
        TForm1 main;
        auto *lb = new QListWidget(&main);
        lb->setObjectName("lb");
        QCOMPARE(ComponentPath(lb), QString("TForm1, QListWidget-lb"));
        TForm2 second;
        QCOMPARE(MainForm(), nullptr);
        QCOMPARE(ComponentPath(lb), QString("nil, TForm1, QListWidget-lb"));
    }

    void rotateFont_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<int>("weight");
        QFont semi = Fonts::make("Arial", -12);
        semi.setWeight(QFont::DemiBold);
        semi.setUnderline(true);
        semi.setLetterSpacing(QFont::AbsoluteSpacing, 3);
        QTest::newRow("demi-bold counts as bold") << semi << int(QFont::Bold);
        QFont light = Fonts::make("Times New Roman", -15, false, true);
        light.setWeight(QFont::Light);
        light.setStrikeOut(true);
        QTest::newRow("light becomes normal") << light << int(QFont::Normal);
        QTest::newRow("heavy face stays heavy") << Fonts::make("Arial Black", -16) << int(QFont::Black);
    }
    void rotateFont()
    {
        QFETCH(QFont, font);
        QFETCH(int, weight);
        TRotatedFont r{font, 0};
        RotateFont(r, 90);
        QCOMPARE(r.angle, 90);
        QCOMPARE(r.font.family(), font.family());
        QCOMPARE(r.font.pixelSize(), font.pixelSize());
        QCOMPARE(int(r.font.weight()), weight);
        QCOMPARE(r.font.italic(), font.italic());
        QCOMPARE(r.font.underline(), font.underline());
        QCOMPARE(r.font.strikeOut(), font.strikeOut());
        QCOMPARE(r.font.letterSpacing(), 0.0);
    }

    void rotatedTextRunsUpward()
    {
        const TRotatedFont r = RotatedFont(Fonts::make("Arial", -16, true), 90);
        const QPointF origin(10, 190);
        const QRectF box = rotatedTextBounds(r, origin, "TAVRO");
        // Upward: the cell lies right of the origin and above it, taller than wide.
        QCOMPARE(box.left(), origin.x());
        QCOMPARE(box.bottom(), origin.y());
        QVERIFY(box.height() > box.width());

        QImage img(100, 200, QImage::Format_ARGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            p.setPen(Qt::black);
            drawRotatedText(p, r, origin, "TAVRO");
            QCOMPARE(p.transform(), QTransform());
        }
        QRect inked;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 128)
                    inked |= QRect(x, y, 1, 1);
        QVERIFY(!inked.isEmpty());
        QVERIFY(box.adjusted(-1, -1, 1, 1).contains(QRectF(inked)));
        QVERIFY(inked.height() > 2 * inked.width());
    }
};

QTEST_MAIN(TestUtils)
#include "tst_Utils.moc"
