// What the components tell assistive technology, read through Qt's
// accessibility interfaces as the bus bridge reads them.
#include "Accessible.h"
#include "AppCore.h"
#include "Gauges.h"
#include "HintBar.h"
#include "TvoBtn.h"
#include "okienko.h"

#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

QAccessibleInterface *iface(QObject *o) { return QAccessible::queryAccessibleInterface(o); }

// "role:name" of every control below the interface that is not a container,
// depth first, as a reader meets them.
QStringList leaves(QAccessibleInterface *node)
{
    QStringList out;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *c = node->child(i);
        if (c->childCount())
            out += leaves(c);
        else
            out << QStringLiteral("%1:%2").arg(int(c->role())).arg(c->text(QAccessible::Name));
    }
    return out;
}

QString leaf(QAccessible::Role role, const QString &name) { return QStringLiteral("%1:%2").arg(int(role)).arg(name); }

QStringList pressKeys(QAccessibleInterface *i)
{
    return i->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction());
}

} // namespace

class tst_Accessible : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        App::initModules();
        Accessible::install();
    }

    void spokenCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("accelerator") << "&Wybierz..." << "Wybierz...";
        QTest::newRow("inside") << "Wy&bierz" << "Wybierz";
        QTest::newRow("literal ampersand") << "A && B" << "A & B";
        QTest::newRow("trailing ampersand") << "Koniec&" << "Koniec&";
        QTest::newRow("none") << "Pomoc" << "Pomoc";
    }
    void spokenCaption()
    {
        QFETCH(QString, caption);
        QTEST(Accessible::spokenCaption(caption), "spoken");
    }

    void keyCapButton_data()
    {
        QTest::addColumn<int>("typ");
        QTest::addColumn<QString>("opis");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("own picture, accelerator") << int(tbWlasny) << "&Wybierz..." << "Wybierz..."
                                                  << QStringList{"Alt+W"};
        QTest::newRow("Enter cap and accelerator") << int(tbEnter) << "&Dalej" << "Dalej"
                                                   << QStringList{"Enter", "Alt+D"};
        QTest::newRow("function key, no accelerator") << int(tbF2) << "Szukaj" << "Szukaj" << QStringList{"F2"};
        QTest::newRow("letter cap") << int(tbZ) << "Zapisz" << "Zapisz" << QStringList{"Z"};
        QTest::newRow("empty cap") << int(tbPusty) << "Nic" << "Nic" << QStringList{};
    }
    void keyCapButton()
    {
        QFETCH(int, typ);
        QFETCH(QString, opis);
        QWidget form;
        auto *b = new TTvoBtn(&form);
        b->setTyp(TTvoBtnTyp(typ));
        b->setOpis(opis);
        QAccessibleInterface *i = iface(b);
        QCOMPARE(i->role(), QAccessible::Button);
        QTEST(i->text(QAccessible::Name), "name");
        QTEST(pressKeys(i), "keys");
        QTEST(Accessible::buttonKeys(*b), "keys");
        QVERIFY(!i->state().pressed);
        b->setDown(true);
        QVERIFY(i->state().pressed);
    }

    void keyCapButtonPressRunsAfterTheCall()
    {
        QWidget form;
        auto *b = new TTvoBtn(&form);
        b->setOpis(QStringLiteral("&Wybierz..."));
        QSignalSpy clicked(b, &TTvoBtn::clicked);
        QAccessibleActionInterface *a = iface(b)->actionInterface();
        QVERIFY(a->actionNames().contains(QAccessibleActionInterface::pressAction()));
        a->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicked.count(), 0); // a press may open a modal window: never inside the bus's call
        QTRY_COMPARE(clicked.count(), 1);
        b->setEnabled(false);
        a->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(20);
        QCOMPARE(clicked.count(), 1);
    }

    // A button that Tab reaches is pressed with Space, as a push button is.
    void keyCapButtonTakesSpace()
    {
        QWidget form;
        auto *b = new TTvoBtn(&form);
        b->setFocusPolicy(Qt::TabFocus);
        QSignalSpy clicked(b, &TTvoBtn::clicked);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        b->setFocus();
        QTest::keyClick(b, Qt::Key_Space);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(iface(b)->state().focused);
    }

    void gaugeIsAProgressBar()
    {
        TGauge g;
        g.setAccessibleName(QStringLiteral("Przebieg instalacji"));
        g.setMaxValue(400);
        g.setProgress(168);
        QAccessibleInterface *i = iface(&g);
        QCOMPARE(i->role(), QAccessible::ProgressBar);
        QCOMPARE(i->text(QAccessible::Name), QStringLiteral("Przebieg instalacji"));
        QCOMPARE(i->text(QAccessible::Value), QStringLiteral("42%"));
        QAccessibleValueInterface *v = i->valueInterface();
        QVERIFY(v);
        QCOMPARE(v->minimumValue().toInt(), 0);
        QCOMPARE(v->maximumValue().toInt(), 400);
        QCOMPARE(v->currentValue().toInt(), 168);
        v->setCurrentValue(1); // a reader cannot move it
        QCOMPARE(g.progress(), 168);
    }

    // Only the children on display are in the tree: hidden ones and the
    // zero-sized hint bar button that has no caption are not.
    void containersListShownChildren()
    {
        QWidget window;
        window.resize(300, 200);
        auto *page1 = new QFrame(&window);
        auto *page2 = new QFrame(&window);
        page1->setGeometry(0, 0, 300, 150);
        page2->setGeometry(0, 0, 300, 150);
        auto *bar = new THintBar(&window);
        bar->setGeometry(0, 170, 300, 26);
        bar->setHelpButton(false);
        bar->setTextAccept(QStringLiteral("DALEJ"));
        bar->setTextCenter(QStringLiteral("#RED#Uwaga:#NORMAL# kliknij"));
        bar->setAcceptHint(QStringLiteral("Enter"));
        page2->hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QAccessibleInterface *w = iface(&window);
        QCOMPARE(w->role(), QAccessible::Window);
        QCOMPARE(w->childCount(), 2);
        QCOMPARE(w->child(0)->object(), page1);
        QCOMPARE(w->child(0)->role(), QAccessible::Pane);
        QCOMPARE(w->indexOfChild(iface(page2)), -1);
        QCOMPARE(w->indexOfChild(iface(bar)), 1);
        QAccessibleInterface *b = iface(bar);
        QCOMPARE(b->role(), QAccessible::StatusBar);
        QCOMPARE(b->text(QAccessible::Name), QStringLiteral("Uwaga: kliknij"));
        QCOMPARE(b->childCount(), 1); // the cancel button has no caption
        QCOMPARE(b->child(0)->text(QAccessible::Name), QStringLiteral("DALEJ"));
        QCOMPARE(pressKeys(b->child(0)), QStringList{"Enter"});
        page1->hide();
        page2->show();
        QCOMPARE(w->child(0)->object(), page2);
    }

    // Every kind of message: its pictures named, only the buttons it shows.
    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QStringList>("controls");
        const QString q = leaf(QAccessible::Graphic, "Pytanie"), w = leaf(QAccessible::Graphic, "Uwaga"),
                      text = leaf(QAccessible::StaticText, "Treść");
        auto button = [](const char *name) { return leaf(QAccessible::Button, QString::fromUtf8(name)); };
        auto toggle = [](const char *name) { return leaf(QAccessible::CheckBox, QString::fromUtf8(name)); };
        QTest::newRow("warning") << int(mkWarning) << 0 << QStringList{w, text, w, button("Ok")};
        QTest::newRow("error") << int(mkError) << 0 << QStringList{w, text, w, button("Ok")};
        QTest::newRow("question") << int(mkQuestion) << int(mbTak | mbNie)
                                  << QStringList{q, text, q, button("Tak"), button("Nie")};
        QTest::newRow("retry") << int(mkQuestion) << int(mbPowtorz | mbAnuluj)
                               << QStringList{q, text, q, button("Powtórz"), button("Anuluj")};
        QTest::newRow("plain") << int(mkPlain) << int(mbOk) << QStringList{text, button("Ok")};
        QTest::newRow("T-A-K") << int(mkTak) << 0
                               << QStringList{q, text, q,
                                              leaf(QAccessible::StaticText,
                                                   "Aby potwierdzić, naciśnij kolejno trzy klawisze: T, A, K."),
                                              toggle("T"), toggle("A"), toggle("K"), button("Nie")};
    }
    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(int, buttons);
        const std::unique_ptr<TMsgOkienko> d =
            BuildMsgDialog(QStringLiteral("Tytuł"), QStringLiteral("Treść"), TMsgKind(kind), TMsgButtons(buttons));
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        QAccessibleInterface *i = iface(d.get());
        QCOMPARE(i->role(), QAccessible::Dialog);
        QCOMPARE(i->text(QAccessible::Name), QStringLiteral("Tytuł"));
        QTEST(leaves(i), "controls");
    }
};

QTEST_MAIN(tst_Accessible)
#include "tst_Accessible.moc"
