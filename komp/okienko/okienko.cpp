#include "okienko.h"

#include "AppCore.h"
#include "Fonts.h"
#include "okienkoLayout.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

QString ExtraButtonCaption[3];
int ExtraButtonWidth[3] = {0, 0, 0};

namespace {

QFrame *panel(QWidget *parent, QFrame::Shape shape = QFrame::NoFrame, QFrame::Shadow shadow = QFrame::Plain)
{
    auto *p = new QFrame(parent);
    p->setFrameStyle(shape | shadow);
    p->setLineWidth(1);
    return p;
}

QLabel *picture(QWidget *parent, const char *resource, const QString &name, bool visible)
{
    auto *l = new QLabel(parent);
    l->setAccessibleName(name);
    l->setPixmap(QPixmap(QString::fromLatin1(resource)));
    l->setAlignment(Qt::AlignCenter);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setVisible(visible);
    return l;
}

void setColor(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

} // namespace

TMsgOkienko::TMsgOkienko(QWidget *form)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      activeForm(form)
{
    setFont(Fonts::make(QStringLiteral("MS Sans Serif"), -11));
    build();
    // FormCreate: over a stay-on-top form the dialog stays on top as well.
    if (form && form->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    resize(MsgLayout::DesignClientWidth, MsgLayout::DesignClientHeight);
    layoutChildren();
}

void TMsgOkienko::build()
{
    const QString question = QStringLiteral("Pytanie"), warning = QStringLiteral("Uwaga");
    panLewy = panel(this);
    iqmark1 = picture(panLewy, ":/okienko/qmark.png", question, true);
    iexclam1 = picture(panLewy, ":/okienko/exclam.png", warning, false);
    Panel3 = panel(this, QFrame::Panel, QFrame::Sunken);
    Panel2 = panel(Panel3, QFrame::Panel, QFrame::Raised);
    lbl = new QLabel(Panel2);
    lbl->setFont(Fonts::make(QStringLiteral("Times New Roman"), -17, true));
    setColor(lbl, QColor(0, 0, 0x80));
    lbl->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lbl->setWordWrap(true);
    lbl2 = new QLabel(Panel2);
    lbl2->setFont(Fonts::make(QStringLiteral("Courier New"), -12, true));
    setColor(lbl2, QColor(0, 0, 0x80));
    lbl2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbl2->setGeometry(4, 23, 0, 0);
    lbl2->hide();
    panPrawy = panel(this);
    iqmark2 = picture(panPrawy, ":/okienko/qmark.png", question, true);
    iexclam2 = picture(panPrawy, ":/okienko/exclam.png", warning, false);
    for (QLabel *l : {lbl, lbl2}) {
        l->setMargin(0);
        l->setIndent(0);
        l->setTextFormat(Qt::PlainText);
    }
    buildButtonRow();
    buildTakPanel();

    TimerClose = new QTimer(this);
    TimerClose->setInterval(3000);
    connect(TimerClose, &QTimer::timeout, btnOk, &QPushButton::click);

    const std::pair<QObject *, const char *> names[] = {
        {panLewy, "panLewy"},   {panPrawy, "panPrawy"},   {Panel3, "Panel3"},       {Panel2, "Panel2"},
        {iqmark1, "iqmark1"},   {iqmark2, "iqmark2"},     {iexclam1, "iexclam1"},   {iexclam2, "iexclam2"},
        {lbl, "lbl"},           {lbl2, "lbl2"},           {panBtns, "panBtns"},     {btnOk, "btnOk"},
        {btnNo, "btnNo"},       {btnAll, "btnAll"},       {btnExtra, "btnExtra"},   {btnExtra2, "btnExtra2"},
        {btnCancel, "btnCancel"}, {btnExtra3, "btnExtra3"}, {panTAK, "panTAK"},     {pTAK, "pTAK"},
        {lblTAK, "lblTAK"},     {btnT, "btnT"},           {btnA, "btnA"},           {btnK, "btnK"},
        {btnN, "btnN"},         {TimerClose, "TimerClose"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));

    // Key preview and background clicks: the dialog sees its children's events first.
    installEventFilter(this);
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

void TMsgOkienko::buildButtonRow()
{
    panBtns = panel(this, QFrame::Panel, QFrame::Sunken);
    panBtns->setFont(Fonts::make(QStringLiteral("Arial"), 16, true));
    QIcon no(QStringLiteral(":/okienko/no.png"));
    no.addPixmap(QPixmap(QStringLiteral(":/okienko/no_disabled.png")), QIcon::Disabled);
    struct Design {
        QPushButton **button;
        const char *caption;
        int width;
        int result;
        QIcon icon;
    };
    const Design design[] = {
        {&btnOk, "&Powtórz", 90, 1, QIcon(QStringLiteral(":/okienko/tick.png"))},
        {&btnNo, "&Nie", 80, 7, no},
        {&btnAll, "&Wszystkie", 100, 8, QIcon(QStringLiteral(":/okienko/ticks.png"))},
        {&btnExtra, "Extra", 80, 3, {}},
        {&btnExtra2, "Extra2", 80, 4, {}},
        {&btnCancel, "&Anuluj", 80, 2, QIcon(QStringLiteral(":/okienko/cross.png"))},
        {&btnExtra3, "Extra3", 80, 5, {}},
    };
    QPushButton *previous = nullptr;
    for (const Design &d : design) {
        auto *b = new QPushButton(d.icon, QString::fromUtf8(d.caption), panBtns);
        b->setIconSize(QSize(18, 18));
        b->setGeometry(0, MsgLayout::ButtonTop, d.width, MsgLayout::ButtonHeight);
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoDefault(true);
        b->hide();
        const int result = d.result;
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        if (previous)
            setTabOrder(previous, b);
        previous = b;
        *d.button = b;
    }
    btnOk->setDefault(true);
}

void TMsgOkienko::buildTakPanel()
{
    panTAK = panel(this, QFrame::Panel, QFrame::Sunken);
    panTAK->hide();
    lblTAK = new QLabel(QStringLiteral("Aby potwierdzić, naciśnij kolejno trzy klawisze: T, A, K."), panTAK);
    lblTAK->setFont(Fonts::make(QStringLiteral("MS Sans Serif"), -13, true));
    setColor(lblTAK, QColor(0, 0, 0xFF));
    lblTAK->adjustSize();
    lblTAK->move(13, 12);
    pTAK = panel(panTAK);
    pTAK->setGeometry(65, 39, MsgLayout::TakGroupWidth, 29);
    const QFont keys = Fonts::make(QStringLiteral("Arial"), -13, true);
    auto key = [&](QWidget *parent, const QString &caption, QRect r, bool toggle) {
        auto *b = new QPushButton(caption, parent);
        b->setFont(keys);
        setColor(b, Qt::black);
        b->setGeometry(r);
        b->setCheckable(toggle);
        b->setFlat(!toggle);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        return b;
    };
    btnT = key(pTAK, QStringLiteral("T"), QRect(0, 0, 30, 29), true);
    btnA = key(pTAK, QStringLiteral("A"), QRect(35, 0, 30, 29), true);
    btnK = key(pTAK, QStringLiteral("K"), QRect(70, 0, 30, 29), true);
    btnN = key(panTAK, QStringLiteral("N I E"), QRect(235, 39, MsgLayout::RefuseWidth, 29), false);
    btnN->setAccessibleName(QStringLiteral("Nie")); // read as a word, not as three letters
    // A click has already toggled the button; the rule decides the final states.
    connect(btnT, &QPushButton::clicked, this, [this] { takKey(QChar('T')); });
    connect(btnA, &QPushButton::clicked, this, [this] { takKey(QChar('A')); });
    connect(btnK, &QPushButton::clicked, this, [this] { takKey(QChar('K')); });
    connect(btnN, &QPushButton::clicked, this, [this] { takKey(QChar('N')); });
}

void TMsgOkienko::showButton(QPushButton *button, const QString &c, int w)
{
    if (!c.isEmpty())
        button->setText(c);
    if (w != 0)
        button->resize(w, button->height());
    button->setVisible(true);
}

QList<QPushButton *> TMsgOkienko::rowButtons() const
{
    QList<QPushButton *> row;
    for (QPushButton *b : {btnAll, btnOk, btnNo, btnExtra, btnExtra2, btnCancel, btnExtra3})
        if (!b->isHidden())
            row << b;
    return row;
}

void TMsgOkienko::FormClick()
{
    for (QPushButton *b : {btnT, btnA, btnK})
        b->setChecked(false);
}

void TMsgOkienko::takKey(QChar c)
{
    if (c >= QChar('a') && c <= QChar('z'))
        c = c.toUpper();
    if (c == QChar('T')) {
        btnT->setChecked(true);
        btnA->setChecked(false);
        btnK->setChecked(false);
    } else if (c == QChar('A') && btnT->isChecked()) {
        btnA->setChecked(true);
        btnK->setChecked(false);
    } else if (c == QChar('K') && btnA->isChecked()) {
        done(1);
    } else if (c == QChar('N')) {
        done(7);
    } else {
        FormClick();
    }
}

void TMsgOkienko::reject()
{
    // Esc and the close box.
    done(2);
}

QSize TMsgOkienko::frameExtra() const
{
    // Known once the window manager has framed the window. Before that the
    // frame of the form the dialog stands over is the best estimate: one
    // window manager decorates both alike.
    const QSize own = frameGeometry().size() - geometry().size();
    if (!own.isEmpty() || !activeForm)
        return own;
    const QWidget *form = activeForm->window();
    return form->frameGeometry().size() - form->geometry().size();
}

void TMsgOkienko::layoutChildren()
{
    const MsgLayout::Parts parts{!panLewy->isHidden(), !panBtns->isHidden(), !panTAK->isHidden()};
    const MsgLayout::Areas a = MsgLayout::areas(size(), parts);
    panLewy->setGeometry(a.panLewy);
    panPrawy->setGeometry(a.panPrawy);
    for (QLabel *p : {iqmark1, iexclam1})
        p->setGeometry(panLewy->rect());
    for (QLabel *p : {iqmark2, iexclam2})
        p->setGeometry(panPrawy->rect());
    Panel3->setGeometry(a.panel3);
    Panel2->setGeometry(a.panel2);
    panBtns->setGeometry(a.panBtns);
    panTAK->setGeometry(a.panTAK);
    // lbl stays aligned to the top of Panel2 and follows its text.
    const int width = a.panel2.width() - 2 * MsgLayout::TextInset;
    const int height = MsgLayout::measureLabel(lbl->font(), lbl->text(), lbl->wordWrap() ? width : 0,
                                               lbl->alignment() & Qt::AlignHorizontal_Mask)
                           .height();
    lbl->setGeometry(MsgLayout::TextInset, MsgLayout::TextInset, width, height);
}

void TMsgOkienko::FormShow()
{
    if (m_shown)
        return;
    m_shown = true;
    using namespace MsgLayout;
    const Parts parts{!panLewy->isHidden(), !panBtns->isHidden(), !panTAK->isHidden()};
    TextInput in;
    in.text = lbl->text();
    in.font = lbl->font();
    in.align = lbl->alignment() & Qt::AlignHorizontal_Mask;
    in.secondVisible = !lbl2->isHidden();
    in.second = lbl2->text();
    in.secondFont = lbl2->font();
    const TextFit fit = fitText(size(), parts, in);
    lbl->setFont(fit.font);
    lbl->setWordWrap(!fit.multiLine);
    if (in.secondVisible)
        lbl2->setGeometry(fit.lbl2);

    const QSize frame = frameExtra();
    QSize client = fit.client;
    if (parts.takPanel) {
        const TakRow row = takRow(client.width() + frame.width(), frame.width(), lblTAK->width());
        client.setWidth(row.windowWidth - frame.width());
        lblTAK->move(row.captionLeft, lblTAK->y());
        pTAK->move(row.groupLeft, pTAK->y());
        btnN->move(row.refuseLeft, btnN->y());
    } else {
        const QList<QPushButton *> buttons = rowButtons();
        QList<int> widths;
        for (QPushButton *b : buttons)
            widths << b->width();
        const ButtonRow row = spreadButtons(client.width() + frame.width(), frame.width(), widths);
        client.setWidth(row.windowWidth - frame.width());
        for (qsizetype i = 0; i < buttons.size(); ++i)
            buttons[i]->move(row.lefts[i], buttons[i]->y());
    }
    setFixedSize(client);
    layoutChildren();

    QRect area(QPoint(0, 0), QGuiApplication::primaryScreen()->size());
    if (activeForm)
        area = QRect(activeForm->mapToGlobal(QPoint(0, 0)), activeForm->size());
    move(place(area, client + frame));

    if (parts.buttonRow && !rowButtons().isEmpty()) {
        for (QPushButton *b : {btnOk, btnNo, btnAll, btnExtra, btnExtra2, btnCancel, btnExtra3}) {
            if (!b->isHidden()) {
                b->setFocus();
                break;
            }
        }
    }
}

void TMsgOkienko::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        FormShow();
        // The native window is owned by the active form's window.
        if (activeForm && activeForm->window()->windowHandle()) {
            create();
            windowHandle()->setTransientParent(activeForm->window()->windowHandle());
        }
    }
    QDialog::setVisible(visible);
}

bool TMsgOkienko::formKeyDown(QKeyEvent *key)
{
    const auto shifts = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (key->key() != Qt::Key_Escape || (key->modifiers() & shifts) ||
        QGuiApplication::mouseButtons() != Qt::NoButton)
        return false;
    done(2);
    return true;
}

bool TMsgOkienko::accelerator(QKeyEvent *key)
{
    if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) || key->text().isEmpty())
        return false;
    const QChar c = key->text().front().toUpper();
    for (QPushButton *b : {btnOk, btnNo, btnAll, btnExtra, btnExtra2, btnCancel, btnExtra3}) {
        if (!b->isHidden() && b->isEnabled() && App::mnemonic(b->text()) == c) {
            b->click();
            return true;
        }
    }
    return false;
}

bool TMsgOkienko::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (formKeyDown(key))
            return true;
        if (!panTAK->isHidden()) {
            if (key->text().isEmpty())
                return false;
            takKey(key->text().front());
            return true;
        }
        return !panBtns->isHidden() && accelerator(key);
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        // A click that a child ignores travels on to its parents; only the
        // part that was clicked itself counts (the gaps between the keys or
        // the text panel's border do not release them).
        auto *w = static_cast<QWidget *>(watched);
        const QWidget *clicked = w->childAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        const QObject *background[] = {this,    panLewy, panPrawy, iqmark1, iqmark2, iexclam1,
                                       iexclam2, Panel3, lbl,      lbl2,    panTAK};
        if (!clicked && std::find(std::begin(background), std::end(background), watched) != std::end(background))
            FormClick();
    }
    return QDialog::eventFilter(watched, event);
}
