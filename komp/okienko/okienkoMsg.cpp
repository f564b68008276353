// The message functions around the dialog.
#include "AppCore.h"
#include "okienko.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace {

MsgAnswerProvider g_provider;

void clearExtraCaptions()
{
    for (QString &c : ExtraButtonCaption)
        c.clear();
}

} // namespace

void SetMsgAnswerProvider(MsgAnswerProvider provider) { g_provider = std::move(provider); }

void CloseAllHintPanels() {}

std::unique_ptr<TMsgOkienko> BuildMsgDialog(const QString &title, const QString &text, TMsgKind kind,
                                            TMsgButtons buttons)
{
    static const bool cleanupRegistered = (App::addCleanup(clearExtraCaptions), true);
    Q_UNUSED(cleanupRegistered);
    kind &= 0x0F;
    CloseAllHintPanels();
    auto d = std::make_unique<TMsgOkienko>(QApplication::activeWindow());
    if (kind == mkTak) {
        d->panBtns->hide();
        d->panTAK->show();
    } else {
        const bool alarm = kind == mkWarning || kind == mkError;
        if (alarm && !buttons)
            buttons = mbOk;
        if (alarm) {
            d->iqmark1->hide();
            d->iqmark2->hide();
            d->iexclam1->show();
            d->iexclam2->show();
        }
        if (kind == mkPlain) {
            d->panLewy->hide();
            d->panPrawy->hide();
        }
        if (kind == mkError) {
            QPalette p = d->lbl->palette();
            p.setColor(QPalette::WindowText, QColor(160, 0, 0));
            d->lbl->setPalette(p);
        }
        if (buttons & mbOk)
            TMsgOkienko::showButton(d->btnOk, QStringLiteral("&Ok"), 80);
        else if (buttons & mbTak)
            TMsgOkienko::showButton(d->btnOk, QStringLiteral("&Tak"), 80);
        else if (buttons & mbPowtorz)
            TMsgOkienko::showButton(d->btnOk, QStringLiteral("&Powtórz"), 90);
        if (buttons & mbNie)
            TMsgOkienko::showButton(d->btnNo, {}, 0);
        if (buttons & mbAnuluj)
            TMsgOkienko::showButton(d->btnCancel, {}, 0);
        if (buttons & mbCofnij)
            TMsgOkienko::showButton(d->btnCancel, QStringLiteral("Cofnij"), 0);
        if (buttons & mbWszystkie)
            TMsgOkienko::showButton(d->btnAll, {}, 0);
        const TMsgButton extras[] = {mbExtra, mbExtra2, mbExtra3};
        QPushButton *extraButtons[] = {d->btnExtra, d->btnExtra2, d->btnExtra3};
        for (int i = 0; i < 3; ++i)
            if (buttons & extras[i])
                TMsgOkienko::showButton(extraButtons[i], ExtraButtonCaption[i], ExtraButtonWidth[i]);
    }
    d->setWindowTitle(title);
    QString main = text;
    const qsizetype vt = main.indexOf(QChar(11));
    if (vt >= 0) {
        main.remove(vt, 1);
        d->lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    const qsizetype ff = main.indexOf(QChar(12));
    if (ff >= 0) {
        d->lbl2->setText(App::displayText(main.mid(ff + 1)));
        d->lbl2->show();
        main.truncate(ff);
    }
    d->lbl->setText(App::displayText(main));
    return d;
}

int ShowMsgDialog(const QString &title, const QString &text, TMsgKind kind, TMsgButtons buttons)
{
    const std::unique_ptr<TMsgOkienko> d = BuildMsgDialog(title, text, kind & 0x0F, buttons);
    if (kind & mkAutoClose)
        d->TimerClose->start();
    d->activeForm = QApplication::activeWindow();
    if (g_provider) {
        d->FormShow();
        return g_provider(*d);
    }
    return d->exec();
}

void ErrorBox(const QString &title, const QString &text)
{
    QApplication::beep();
    ShowMsgDialog(title, text, mkError, {});
}

bool ConfirmBox(const QString &title, const QString &text)
{
    return ShowMsgDialog(title, text, mkQuestion, TMsgButtons(mbTak) | mbNie) == 1;
}

bool OkCancelBox(const QString &title, const QString &text)
{
    return ShowMsgDialog(title, text, mkQuestion, TMsgButtons(mbOk) | mbAnuluj) == 1;
}

bool RetryBox(const QString &title, const QString &text)
{
    return ShowMsgDialog(title, text, mkQuestion, TMsgButtons(mbPowtorz) | mbAnuluj) == 1;
}
