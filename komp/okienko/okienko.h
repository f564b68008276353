#pragma once
// The message dialog: one modal window for every message the user answers,
// and the message functions around it.
#include <QDialog>
#include <QFlags>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTimer;

// Dialog kind: the low four bits select the kind, mkAutoClose starts the timer.
enum : quint8 { mkWarning = 1, mkError = 2, mkQuestion = 3, mkTak = 4, mkPlain = 5, mkAutoClose = 16 };
using TMsgKind = quint8;

enum TMsgButton {
    mbTak = 1 << 0,
    mbOk = 1 << 1,
    mbPowtorz = 1 << 2,
    mbNie = 1 << 3,
    mbAnuluj = 1 << 4,
    mbCofnij = 1 << 5,
    mbWszystkie = 1 << 6,
    mbExtra = 1 << 7,
    mbExtra2 = 1 << 8,
    mbExtra3 = 1 << 9
};
Q_DECLARE_FLAGS(TMsgButtons, TMsgButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgButtons)

// Caption and width of the three extra buttons (empty / 0 = designed value).
extern QString ExtraButtonCaption[3];
extern int ExtraButtonWidth[3];

class TMsgOkienko : public QDialog {
    Q_OBJECT
public:
    explicit TMsgOkienko(QWidget *activeForm = nullptr);

    // Upper area: picture columns around the framed text.
    QFrame *panLewy, *panPrawy, *Panel3, *Panel2;
    QLabel *iqmark1, *iqmark2, *iexclam1, *iexclam2;
    QLabel *lbl, *lbl2;
    // Button row, in tab order.
    QFrame *panBtns;
    QPushButton *btnOk, *btnNo, *btnAll, *btnExtra, *btnExtra2, *btnCancel, *btnExtra3;
    // T-A-K confirmation panel.
    QFrame *panTAK, *pTAK;
    QLabel *lblTAK;
    QPushButton *btnT, *btnA, *btnK, *btnN;
    QTimer *TimerClose;

    // The form that was active when the dialog was shown (placement, owner).
    QPointer<QWidget> activeForm;

    // Shows a button of the row with caption c and width w (empty / 0 keep
    // the designed value).
    static void showButton(QPushButton *button, const QString &c, int w);
    // The visible row buttons in the order they stand in the row.
    QList<QPushButton *> rowButtons() const;

    // Fits the text, arranges the buttons and places the window; runs once,
    // just before the window first becomes visible.
    void FormShow();
    // The T-A-K rule for one typed character.
    void takKey(QChar c);
    // Releases T, A and K.
    void FormClick();

    void setVisible(bool visible) override;
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void buildButtonRow();
    void buildTakPanel();
    void layoutChildren();
    bool formKeyDown(QKeyEvent *key);
    bool accelerator(QKeyEvent *key);
    void takButton(QPushButton *button, QChar c);
    QSize frameExtra() const;

    bool m_shown = false;
};

// Builds the hidden dialog for one message.
std::unique_ptr<TMsgOkienko> BuildMsgDialog(const QString &title, const QString &text, TMsgKind kind,
                                            TMsgButtons buttons);
// Builds, shows modally and destroys the dialog; returns its result code.
int ShowMsgDialog(const QString &title, const QString &text, TMsgKind kind, TMsgButtons buttons);

void ErrorBox(const QString &title, const QString &text);
bool ConfirmBox(const QString &title, const QString &text);
bool OkCancelBox(const QString &title, const QString &text);
bool RetryBox(const QString &title, const QString &text);

// Destroys every open hint panel; the program opens none, so there is nothing to do.
void CloseAllHintPanels();

// The one test seam: when a provider is set, ShowMsgDialog builds the dialog and runs its show-time
// layout as usual, then asks the provider for the result code instead of waiting for a person.
using MsgAnswerProvider = std::function<int(TMsgOkienko &dialog)>;
void SetMsgAnswerProvider(MsgAnswerProvider provider); // empty function = back to people
