#include "AppCore.h"
#include "Exceptions.h"
#include "okienko.h"
#include "okienkoLayout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace MsgLayout;

namespace {

TMsgOkienko *modalDialog() { return qobject_cast<TMsgOkienko *>(QApplication::activeModalWidget()); }

// Runs `act` on the dialog once its modal loop runs, then shows it for real.
int showAndAct(const std::function<void(TMsgOkienko &)> &act, const QString &text, TMsgKind kind,
               TMsgButtons buttons)
{
    QTimer::singleShot(0, [act] {
        TMsgOkienko *d = modalDialog();
        QVERIFY(d);
        act(*d);
        // Whatever the action left open ends here with a code no action gives.
        if ((d = modalDialog()))
            d->done(99);
    });
    return ShowMsgDialog(QStringLiteral("Tytuł"), text, kind, buttons);
}

// Performs one scripted step on the shown dialog: "key:x" types x into the
// focused control, "Enter", "Esc", "Shift+Esc", "Tab" press keys, "click:name"
// clicks a component by its name, "close" uses the close box.
void step(TMsgOkienko &d, const QString &what)
{
    QWidget *focus = d.focusWidget() ? d.focusWidget() : &d;
    if (what.startsWith("key:"))
        QTest::keyClick(focus, what.at(4).toLatin1());
    else if (what == "Enter")
        QTest::keyClick(focus, Qt::Key_Return);
    else if (what == "Esc")
        QTest::keyClick(focus, Qt::Key_Escape);
    else if (what == "Shift+Esc")
        QTest::keyClick(focus, Qt::Key_Escape, Qt::ShiftModifier);
    else if (what == "Tab")
        QTest::keyClick(focus, Qt::Key_Tab);
    else if (what == "close")
        d.close();
    else if (what.startsWith("click:") || what.startsWith("rclick:")) {
        // "click:name" clicks the middle of a component, "click:name@x,y" a point in it.
        const QStringList parts = what.section(':', 1).split('@');
        auto *w = d.findChild<QWidget *>(parts[0]);
        QVERIFY2(w, qPrintable(what));
        const Qt::MouseButton button = what.startsWith('r') ? Qt::RightButton : Qt::LeftButton;
        if (parts.size() == 2) {
            const QStringList xy = parts[1].split(',');
            QTest::mouseClick(w, button, {}, QPoint(xy[0].toInt(), xy[1].toInt()));
        } else {
            QTest::mouseClick(w, button);
        }
    } else
        QFAIL(qPrintable("unknown step " + what));
}

int runSteps(const QStringList &steps, TMsgKind kind, TMsgButtons buttons, QString *states = nullptr)
{
    return showAndAct(
        [&](TMsgOkienko &d) {
            for (const QString &s : steps)
                if (QApplication::activeModalWidget() == &d)
                    step(d, s);
            if (states && QApplication::activeModalWidget() == &d)
                *states = QString("%1%2%3").arg(int(d.btnT->isChecked())).arg(int(d.btnA->isChecked()))
                              .arg(int(d.btnK->isChecked()));
        },
        "Na pewno?", kind, buttons);
}

QStringList captions(const QList<QPushButton *> &buttons)
{
    QStringList c;
    for (QPushButton *b : buttons)
        c << QStringLiteral("%1/%2").arg(b->text()).arg(b->width());
    return c;
}

} // namespace

class TestOkienko : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { App::initModules(); }
    void cleanup()
    {
        SetMsgAnswerProvider({});
        for (int i = 0; i < 3; ++i) {
            ExtraButtonCaption[i].clear();
            ExtraButtonWidth[i] = 0;
        }
    }

    void buttonSet_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("pictures"); // q, ! or none
        QTest::newRow("error empty") << int(mkError) << 0 << QStringList{"&Ok/80"} << "!";
        QTest::newRow("warning empty") << int(mkWarning) << 0 << QStringList{"&Ok/80"} << "!";
        QTest::newRow("question empty") << int(mkQuestion) << 0 << QStringList{} << "q";
        QTest::newRow("ok beats tak") << int(mkQuestion) << int(mbOk | mbTak | mbPowtorz) << QStringList{"&Ok/80"}
                                      << "q";
        QTest::newRow("tak beats retry") << int(mkQuestion) << int(mbTak | mbPowtorz) << QStringList{"&Tak/80"}
                                         << "q";
        QTest::newRow("retry") << int(mkQuestion) << int(mbPowtorz | mbAnuluj)
                               << QStringList{"&Powtórz/90", "&Anuluj/80"} << "q";
        QTest::newRow("one cancel") << int(mkPlain) << int(mbAnuluj | mbCofnij) << QStringList{"Cofnij/80"}
                                    << "none";
        QTest::newRow("row order") << 0 << int(mbAnuluj | mbNie | mbWszystkie | mbOk)
                                   << QStringList{"&Wszystkie/100", "&Ok/80", "&Nie/80", "&Anuluj/80"} << "q";
        QTest::newRow("extras") << 9 << int(mbExtra | mbExtra2 | mbExtra3 | mbAnuluj)
                                << QStringList{"&Dalej/120", "Extra2/80", "&Anuluj/80", "Extra3/80"} << "q";
        QTest::newRow("tak mode ignores the set") << int(mkTak) << int(mbOk | mbNie) << QStringList{} << "q";
        QTest::newRow("warning keeps its set") << int(mkWarning) << int(mbNie) << QStringList{"&Nie/80"} << "!";
    }
    void buttonSet()
    {
        QFETCH(int, kind);
        QFETCH(int, buttons);
        QFETCH(QString, pictures);
        ExtraButtonCaption[0] = "&Dalej";
        ExtraButtonWidth[0] = 120;
        const auto d(BuildMsgDialog("T", "x", TMsgKind(kind), TMsgButtons::fromInt(buttons)));
        QTEST(captions(d->rowButtons()), "row");
        QCOMPARE(d->panTAK->isHidden(), kind != mkTak);
        QCOMPARE(d->panBtns->isHidden(), kind == mkTak);
        QCOMPARE(d->panLewy->isHidden(), pictures == "none");
        QCOMPARE(d->panPrawy->isHidden(), pictures == "none");
        QCOMPARE(d->iexclam1->isHidden(), pictures != "!");
        QCOMPARE(d->iexclam2->isHidden(), pictures != "!");
        QCOMPARE(d->iqmark2->isHidden(), pictures == "!");
        const QColor red(160, 0, 0);
        QCOMPARE(d->lbl->palette().color(QPalette::WindowText) == red, kind == mkError);
    }

    void specialCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("second"); // "-" = lbl2 hidden
        QTest::addColumn<bool>("left");
        QTest::newRow("line breaks") << "a\rb\r\nc" << "a\nb\nc" << "-" << false;
        QTest::newRow("vertical tab") << "a\vb\vc" << "ab\vc" << "-" << true;
        QTest::newRow("form feed") << "Błąd pliku\fC:\\A\fB" << "Błąd pliku" << "C:\\A\fB" << false;
        QTest::newRow("both") << "\fx\vy" << "" << "xy" << true;
        QTest::newRow("empty tail") << "tekst\f" << "tekst" << "" << false;
    }
    void specialCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QString, second);
        QFETCH(bool, left);
        const auto d(BuildMsgDialog("Tytuł", text, mkQuestion, mbOk));
        QCOMPARE(d->windowTitle(), QString("Tytuł"));
        QTEST(d->lbl->text(), "main");
        QCOMPARE(d->lbl2->isHidden(), second == "-");
        if (second != "-")
            QCOMPARE(d->lbl2->text(), second);
        QCOMPARE(bool(d->lbl->alignment() & Qt::AlignLeft), left);
    }

    void shownLayout_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("text");
        QTest::newRow("error") << int(mkError) << 0 << "Brak miejsca na dysku C:";
        QTest::newRow("retry wrapped") << int(mkQuestion) << int(mbPowtorz | mbAnuluj)
                                       << QString("Nie można odczytać dysku A:. ").repeated(8);
        QTest::newRow("multi-line plain") << int(mkPlain) << int(mbOk | mbNie) << "Pierwszy\rDrugi wiersz";
        QTest::newRow("many buttons narrow text") << int(mkQuestion) << 0x3FF << "a\rb";
        QTest::newRow("form feed") << int(mkWarning) << int(mbOk) << "Plik:\fC:\\TVO-DEMO\\TVODEMO.EXE";
        QTest::newRow("focus on Nie, all leftmost") << int(mkQuestion) << int(mbWszystkie | mbNie) << "Co dalej?";
        QTest::newRow("tak") << int(mkTak) << 0 << "Czy\rna pewno?";
    }
    void shownLayout()
    {
        QFETCH(int, kind);
        QFETCH(int, buttons);
        QFETCH(QString, text);
        const auto d(BuildMsgDialog("T", text, TMsgKind(kind), TMsgButtons::fromInt(buttons)));
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        const int extra = d->lbl2->isHidden() ? 0 : d->lbl2->height() + 5;
        QCOMPARE(d->Panel2->height(), d->lbl->height() + 8 + extra);
        QCOMPARE(d->Panel2->width(), d->lbl->width() + 8);
        QCOMPARE(d->lbl->geometry().topLeft(), QPoint(4, 4));
        if (!d->lbl2->isHidden())
            QCOMPARE(d->lbl2->y(), d->lbl->y() + d->lbl->height() + 5);
        QCOMPARE(d->Panel3->geometry().right(), d->width() - 1 - (d->panPrawy->isHidden() ? 0 : 40));
        QCOMPARE((d->panTAK->isHidden() ? d->panBtns : d->panTAK)->width(), d->width());

        if (kind == mkTak) {
            QVERIFY(d->width() >= 400);
            const int gap = d->pTAK->x();
            QCOMPARE(d->btnN->x(), 2 * gap + d->pTAK->width());
            QVERIFY(d->width() - d->btnN->geometry().right() - 1 >= gap);
            QCOMPARE(d->lblTAK->x(), (d->panTAK->width() - d->lblTAK->width()) / 2);
            return;
        }
        const QList<QPushButton *> row = d->rowButtons();
        int total = 0;
        for (QPushButton *b : row)
            total += b->width();
        QVERIFY(d->width() - 30 >= total);
        const int gap = (d->width() - total) / (int(row.size()) + 1);
        int x = 0;
        for (QPushButton *b : row) {
            x += gap;
            QCOMPARE(b->geometry(), QRect(x, 12, b->width(), 26));
            x += b->width();
        }
        QPushButton *first = nullptr; // first visible one in tab order
        for (QPushButton *b : {d->btnOk, d->btnNo, d->btnAll, d->btnExtra, d->btnExtra2, d->btnCancel, d->btnExtra3})
            if (!first && !b->isHidden())
                first = b;
        QCOMPARE(d->focusWidget(), first);
    }

    void results_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result"); // 99: still open
        const int confirm = mbTak | mbNie, okCancel = mbOk | mbAnuluj, retry = mbPowtorz | mbAnuluj;
        QTest::newRow("error Enter") << int(mkError) << 0 << QStringList{"Enter"} << 1;
        QTest::newRow("error Esc") << int(mkError) << 0 << QStringList{"Esc"} << 2;
        QTest::newRow("error click") << int(mkError) << 0 << QStringList{"click:btnOk"} << 1;
        QTest::newRow("error close box") << int(mkError) << 0 << QStringList{"close"} << 2;
        QTest::newRow("confirm Enter") << int(mkQuestion) << confirm << QStringList{"Enter"} << 1;
        QTest::newRow("confirm Tab Enter") << int(mkQuestion) << confirm << QStringList{"Tab", "Enter"} << 7;
        QTest::newRow("confirm click Nie") << int(mkQuestion) << confirm << QStringList{"click:btnNo"} << 7;
        QTest::newRow("confirm key n") << int(mkQuestion) << confirm << QStringList{"key:n"} << 7;
        QTest::newRow("confirm key T") << int(mkQuestion) << confirm << QStringList{"key:T"} << 1;
        QTest::newRow("confirm Esc") << int(mkQuestion) << confirm << QStringList{"Esc"} << 2;
        QTest::newRow("confirm Shift+Esc") << int(mkQuestion) << confirm << QStringList{"Shift+Esc"} << 99;
        QTest::newRow("confirm other key") << int(mkQuestion) << confirm << QStringList{"key:x"} << 99;
        QTest::newRow("ok-cancel key a") << int(mkQuestion) << okCancel << QStringList{"key:a"} << 2;
        QTest::newRow("ok-cancel key o") << int(mkQuestion) << okCancel << QStringList{"key:o"} << 1;
        QTest::newRow("ok-cancel click") << int(mkQuestion) << okCancel << QStringList{"click:btnCancel"} << 2;
        QTest::newRow("retry key p") << int(mkQuestion) << retry << QStringList{"key:p"} << 1;
        QTest::newRow("all key w") << int(mkPlain) << int(mbWszystkie | mbOk | mbCofnij) << QStringList{"key:w"} << 8;
        QTest::newRow("Cofnij no letter") << int(mkPlain) << int(mbOk | mbCofnij) << QStringList{"key:c"} << 99;
        QTest::newRow("Cofnij click") << int(mkPlain) << int(mbOk | mbCofnij) << QStringList{"click:btnCancel"}
                                      << 2;
        QTest::newRow("no buttons Enter") << int(mkQuestion) << 0 << QStringList{"Enter"} << 99;
        QTest::newRow("no buttons Esc") << int(mkQuestion) << 0 << QStringList{"Esc"} << 2;
        QTest::newRow("no buttons close") << int(mkQuestion) << 0 << QStringList{"close"} << 2;
        for (int i = 0; i < 3; ++i) {
            const QString name = i == 0 ? "btnExtra" : QString("btnExtra%1").arg(i + 1);
            QTest::newRow(qPrintable(name)) << int(mkQuestion) << int(mbExtra | mbExtra2 | mbExtra3)
                                            << QStringList{"click:" + name} << 3 + i;
        }
    }
    void results()
    {
        QFETCH(int, kind);
        QFETCH(int, buttons);
        QFETCH(QStringList, steps);
        QTEST(runSteps(steps, TMsgKind(kind), TMsgButtons::fromInt(buttons)), "result");
    }

    void takSequence_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("states"); // T, A, K down when still open
        QTest::newRow("T A K") << QStringList{"key:T", "key:A", "key:K"} << 1 << "";
        QTest::newRow("lower case") << QStringList{"key:t", "key:a", "key:k"} << 1 << "";
        QTest::newRow("T K restarts") << QStringList{"key:T", "key:K"} << 99 << "000";
        QTest::newRow("A K restarts") << QStringList{"key:A", "key:K"} << 99 << "000";
        QTest::newRow("T A T A K") << QStringList{"key:T", "key:A", "key:T", "key:A", "key:K"} << 1 << "";
        QTest::newRow("T A x K") << QStringList{"key:T", "key:A", "key:x", "key:K"} << 99 << "000";
        QTest::newRow("T A Enter") << QStringList{"key:T", "key:A", "Enter"} << 99 << "000";
        QTest::newRow("T A") << QStringList{"key:T", "key:A"} << 99 << "110";
        QTest::newRow("N") << QStringList{"key:n"} << 7 << "";
        QTest::newRow("T A N") << QStringList{"key:T", "key:A", "key:N"} << 7 << "";
        QTest::newRow("Esc") << QStringList{"key:T", "Esc"} << 2 << "";
        QTest::newRow("clicks") << QStringList{"click:btnT", "click:btnA", "click:btnK"} << 1 << "";
        QTest::newRow("T clicked twice") << QStringList{"click:btnT", "click:btnT"} << 99 << "100";
        QTest::newRow("A clicked alone") << QStringList{"click:btnA"} << 99 << "000";
        QTest::newRow("K clicked early") << QStringList{"click:btnT", "click:btnK"} << 99 << "000";
        QTest::newRow("background click") << QStringList{"key:T", "key:A", "click:lbl"} << 99 << "000";
        QTest::newRow("panel click") << QStringList{"key:T", "click:panTAK", "key:A", "key:K"} << 99 << "000";
        QTest::newRow("N I E") << QStringList{"key:T", "click:btnN"} << 7 << "";
        QTest::newRow("frame click") << QStringList{"key:T", "key:A", "click:Panel3@2,2"} << 99 << "000";
        // Only the listed parts release the keys: not the gaps between the
        // keys, not the text panel's own border, not a right click.
        QTest::newRow("gap between keys") << QStringList{"key:T", "key:A", "click:pTAK@32,14"} << 99 << "110";
        QTest::newRow("text panel border") << QStringList{"key:T", "key:A", "click:Panel2@1,1"} << 99 << "110";
        QTest::newRow("right click") << QStringList{"key:T", "key:A", "rclick:lbl"} << 99 << "110";
    }
    void takSequence()
    {
        QFETCH(QStringList, steps);
        QString states;
        QTEST(runSteps(steps, mkTak, {}, &states), "result");
        QTEST(states, "states");
    }

    void autoClose_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("no button shown") << int(mkQuestion | mkAutoClose);
        QTest::newRow("T-A-K mode") << int(mkTak | mkAutoClose);
    }
    void autoClose()
    {
        QFETCH(int, kind);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ShowMsgDialog("T", "Zaraz zniknę", TMsgKind(kind), {}), 1);
        // The timer is coarse (a few per cent early at most); it did not close at once.
        QVERIFY(clock.elapsed() >= 2800);
    }

    void noTimerWithoutFlag()
    {
        SetMsgAnswerProvider([](TMsgOkienko &d) { return d.TimerClose->isActive() ? 1 : 2; });
        QCOMPARE(ShowMsgDialog("T", "x", mkQuestion, mbOk), 2);
        QCOMPARE(ShowMsgDialog("T", "x", mkQuestion | mkAutoClose, mbOk), 1);
        QCOMPARE(ShowMsgDialog("T", "x", mkWarning | mkAutoClose, mbOk), 1);
    }

    void boxesThroughSeam_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("row");
        for (int code : {1, 2, 7, 3, 0}) {
            const QString c = QString::number(code);
            QTest::newRow(qPrintable("confirm " + c)) << "confirm" << code << (code == 1)
                                                      << QStringList{"&Tak/80", "&Nie/80"};
            QTest::newRow(qPrintable("okcancel " + c)) << "okcancel" << code << (code == 1)
                                                       << QStringList{"&Ok/80", "&Anuluj/80"};
            QTest::newRow(qPrintable("retry " + c)) << "retry" << code << (code == 1)
                                                    << QStringList{"&Powtórz/90", "&Anuluj/80"};
        }
        QTest::newRow("error") << "error" << 2 << false << QStringList{"&Ok/80"};
    }
    void boxesThroughSeam()
    {
        QFETCH(QString, box);
        QFETCH(int, code);
        QFETCH(bool, answer);
        QStringList row;
        QString title, text;
        bool exclamation = false;
        SetMsgAnswerProvider([&](TMsgOkienko &d) {
            row = captions(d.rowButtons());
            title = d.windowTitle();
            text = d.lbl->text();
            exclamation = !d.iexclam1->isHidden();
            return code;
        });
        bool got = false;
        if (box == "confirm")
            got = ConfirmBox("Pytanie", "Czy\rkontynuować?");
        else if (box == "okcancel")
            got = OkCancelBox("Pytanie", "Czy\rkontynuować?");
        else if (box == "retry")
            got = RetryBox("Pytanie", "Czy\rkontynuować?");
        else
            ErrorBox("Pytanie", "Czy\rkontynuować?");
        QCOMPARE(got, answer);
        QTEST(row, "row");
        QCOMPARE(title, QString("Pytanie"));
        QCOMPARE(text, QString("Czy\nkontynuować?"));
        QCOMPARE(exclamation, box == "error");
    }

    void seamSeesLaidOutDialog()
    {
        int okLeft = -1, clientWidth = -1;
        SetMsgAnswerProvider([&](TMsgOkienko &d) {
            okLeft = d.btnOk->x();
            clientWidth = d.width();
            return 1;
        });
        ErrorBox("Błąd", "Nie ma miejsca");
        QCOMPARE(okLeft, (clientWidth - 80) / 2);
    }

    void errorDestroysDialog()
    {
        QPointer<TMsgOkienko> seen;
        SetMsgAnswerProvider([&](TMsgOkienko &d) -> int {
            seen = &d;
            throw EInvalidOperation("awaria");
        });
        QVERIFY_THROWS_EXCEPTION(EInvalidOperation, ConfirmBox("T", "x"));
        QVERIFY(seen.isNull());
    }

    void stayOnTopFollowsActiveForm()
    {
        QWidget form(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        bool onTop = false;
        SetMsgAnswerProvider([&](TMsgOkienko &d) {
            onTop = d.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            return 1;
        });
        QVERIFY(ConfirmBox("T", "x"));
        QVERIFY(onTop);
    }

    void centredOnScreen()
    {
        SetMsgAnswerProvider([](TMsgOkienko &d) {
            const QSize screen = QGuiApplication::primaryScreen()->size();
            return d.pos() == place(QRect(QPoint(0, 0), screen), d.frameGeometry().size()) ? 1 : 0;
        });
        QWidget *active = QApplication::activeWindow();
        QVERIFY(!active);
        QVERIFY(ConfirmBox("T", "Na środku ekranu?"));
    }

    void centredOnActiveForm()
    {
        QWidget form;
        form.setGeometry(30, 40, 160, 90);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QPoint pos;
        QSize size;
        SetMsgAnswerProvider([&](TMsgOkienko &d) {
            pos = d.pos();
            size = d.size();
            return d.activeForm == &form ? 1 : 0;
        });
        QVERIFY(OkCancelBox("T", "Nad oknem"));
        const QRect area(form.mapToGlobal(QPoint(0, 0)), form.size());
        // Not yet framed itself, the box counts with a frame like the form's.
        const QSize frame = form.frameGeometry().size() - form.geometry().size();
        QVERIFY(!frame.isEmpty());
        QCOMPARE(pos, place(area, size + frame));
        // Larger than the form: it sticks out on every side, off the screen too.
        QVERIFY(pos.x() < 0);
    }
};

QTEST_MAIN(TestOkienko)
#include "tst_okienko.moc"
