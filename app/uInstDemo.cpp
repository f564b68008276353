#include "uInstDemo.h"
#include "ui_uInstDemo.h"

#include "AppCore.h"
#include "CommandLine.h"
#include "Gauges.h"
#include "HintBar.h"
#include "InstallLog.h"
#include "JpegImage.h"
#include "Manifest.h"
#include "TvoBtn.h"
#include "UnRAR.h"
#include "Utils.h"
#include "WizardLook.h"
#include "explorator.h"
#include "FindFiles.h"
#include "okienko.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

namespace {

const QString kCentreText = QStringLiteral("Aby kontynuować instalację, kliknij obok przycisk DALEJ  >>>");

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TForm1>())
{
    // A window that is never shown (--very-silent) needs no fonts and no
    // pictures: measuring and loading them is most of the start-up.
    const bool shown = installOptions().showsWindow();
    if (shown)
        setFont(WizardLook::windowFont()); // the controls below are first laid out in it
    ui->setupUi(this);
    if (!installOptions().dir.isEmpty())
        ui->edKatalog->setText(targetFolderArgument(installOptions().dir));
    setFixedSize(designedSize());
    createComponents();
    if (shown) {
        WizardLook::apply(this);
        loadPictures();
        WizardLook::arrange(this);
    }
    ui->lblKopiowanie->adjustSize();
    // The name at work changes with every entry, thousands of times a
    // second: a label of fixed size asks its page for no new layout each time.
    ui->lblPlik->setFixedSize(ui->lblPlik->size());
    qApp->installEventFilter(this); // key preview
    SetMainForm(this);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    FormCreate();
}

TForm1::~TForm1() { qApp->removeEventFilter(this); }

void TForm1::createComponents()
{
    {
        GaugeFormLoading loading; // stored values may arrive in any order
        gaugeInstalka = new TGauge(ui->pInstalacja);
        gaugeInstalka->setObjectName(QStringLiteral("gaugeInstalka"));
        gaugeInstalka->setGeometry(90, 139, 600, 25);
        gaugeInstalka->setForeColor(QColor(0x80, 0x00, 0x00));
        gaugePlik = new TGauge(ui->pInstalacja);
        gaugePlik->setObjectName(QStringLiteral("gaugePlik"));
        gaugePlik->setGeometry(90, 329, 600, 16);
        gaugePlik->setForeColor(QColor(0x80, 0x00, 0x00));
        gaugePlik->setBackColor(QColor(0xC0, 0xC0, 0xC0));
        gaugeInstalka->setAccessibleName(QStringLiteral("Przebieg instalacji"));
        gaugePlik->setAccessibleName(QStringLiteral("Kopiowanie pliku"));
        // Each gauge below its caption in the page's children, as a reader
        // reads them (no widget of the page overlaps another).
        gaugeInstalka->stackUnder(ui->lblKopiowanie);
        gaugePlik->stackUnder(ui->lblWybrany);
    }

    explorer = new TExplorer(this);
    explorer->setObjectName(QStringLiteral("explorer"));
    explorer->setCaption(QStringLiteral("Wybór katalogu docelowego"));
    explorer->setKatalog(QStringLiteral("C:\\"));
    explorer->setFiltr(QStringLiteral("*.DBF"));
    explorer->setWyborPliku(false);
    explorer->setPlikiWidoczne(false);
    explorer->setPodgladWidoczny(false);
    explorer->setSzerPlikow(400);
    explorer->setSzerOpisow(0);
    explorer->setSzukanie(false);
    explorer->setMultiWybor(false);
    ui->btnWybierzKat->setColor(palette().color(QPalette::Button));
    connect(ui->btnWybierzKat, &TTvoBtn::clicked, this, [this] { btnWybierzKatClick(); });

    FindFiles = new TFindFiles(this);
    FindFiles->setObjectName(QStringLiteral("FindFiles"));
    FindFiles->setRecurse(true);
    FindFiles->setMask(QStringLiteral("*.*"));
    FindFiles->setaReadOnly(fmDontCare);
    FindFiles->setaArchive(fmDontCare);
    FindFiles->setaSystem(fmNo);
    FindFiles->setaHidden(fmNo);
    FindFiles->setaDirectory(fmDontCare);

    UnRAR = new TUnRAR(this);
    UnRAR->setObjectName(QStringLiteral("UnRAR"));
    UnRAR->OnExtractFile = [this](QObject *sender, const QString &name, bool &skip) {
        UnRARExtractFile(sender, name, skip);
    };

    hb = new THintBar(this);
    hb->setObjectName(QStringLiteral("hb"));
    hb->setGeometry(0, 447, 780, 26);
    hb->setBtnWidth(90);
    hb->setHelpButton(false);
    hb->setTextAccept(QStringLiteral("DALEJ"));
    hb->setTextCancel(QStringLiteral("Zamknij"));
    hb->setTextCenter(kCentreText);
    hb->setErrorState(false);
    hb->setHelpHint(QStringLiteral("F1"));
    hb->setAcceptHint(QStringLiteral("Enter"));
    hb->setCancelHint(QStringLiteral("Esc"));
    hb->setOnAccept([this](QObject *) { hbAccept(); });
    hb->setOnCancel([this](QObject *) { hbCancel(); });
    // The window itself answers Enter and Esc for every control; a focused
    // bar would answer them a second time.
    hb->setFocusPolicy(Qt::NoFocus);
}

void TForm1::loadPictures()
{
    QFile logo(QStringLiteral(":/logo.jpg"));
    if (logo.open(QIODevice::ReadOnly)) {
        const QImage img = decodeJpeg(logo.readAll());
        ui->imgLogo->setPixmap(QPixmap::fromImage(img));
        if (!img.isNull())
            ui->imgLogo->resize(img.size()); // sized to its image
    }
    // The shortcut's picture belongs to the last page: it is read when that
    // page first shows (its reader is an image plug-in that nothing before
    // it needs, and loading the plug-ins would delay the first window).
}

void TForm1::loadShortcutPicture()
{
    if (!ui->imgIkona->pixmap().isNull())
        return;
    const QPixmap icon(QStringLiteral(":/icon.gif"));
    ui->imgIkona->setPixmap(icon);
    if (!icon.isNull())
        ui->imgIkona->resize(icon.size());
}

void TForm1::FormCreate()
{
    gaugeInstalka->setProgress(0);
    gaugePlik->setProgress(0);
    ShowPage(1);
}

void TForm1::ShowPage(int n)
{
    m_page = n;
    ui->pStart->setVisible(n == 1);
    ui->pKatalog->setVisible(n == 2);
    ui->pInstalacja->setVisible(n == 3);
    ui->pKoniec->setVisible(n == 4);
    switch (n) {
    case 2:
        ui->edKatalog->setFocus();
        break;
    case 3:
        hb->setTextAccept(QString());
        hb->setTextCenter(QString());
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_INSTALL)));
        break;
    case 4:
        loadShortcutPicture();
        hb->setTextAccept(QStringLiteral("Dalej"));
        hb->setTextCancel(QString());
        break;
    default:
        break;
    }
}

void TForm1::hbAccept()
{
    switch (m_page) {
    case 1:
        ShowPage(2);
        break;
    case 2:
        if (ValidateTargetFolder())
            ShowPage(3);
        break;
    case 4:
        LaunchInstalledProgram();
        break;
    default:
        break;
    }
}

void TForm1::hbCancel() { close(); }

void TForm1::TerminationSignal(int signo)
{
    InstallLog::write(QStringLiteral("Signal %1 on page %2").arg(signo).arg(m_page));
    App::terminate();
}

bool TForm1::FormCloseQuery()
{
    if (m_page != 3)
        return true;
    return ConfirmBox(QStringLiteral("Potwierdź"), QStringLiteral("Czy na pewno przerwać instalację ?"));
}

// Centred by its client area before it had a frame, the window may reach
// past the work area with it (a scaled window on a small screen, the title
// bar above the top or the bottom under the task bar): the frame, known once
// shown where the system draws it, is moved inside.
void TForm1::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (m_placed || !screen())
        return;
    m_placed = true;
    const QRect frame = frameGeometry();
    const QRect inside = WizardLook::keepInside(frame, screen()->availableGeometry());
    if (inside != frame)
        move(inside.topLeft());
}

void TForm1::closeEvent(QCloseEvent *e)
{
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    e->accept();
    // Closing the main window ends the application; a running installation
    // sees the flag at its next step.
    App::terminate();
}

bool TForm1::FormKeyDown(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        hbAccept();
    else if (key == Qt::Key_Escape)
        hbCancel();
    return false; // the key goes on to the focused control unchanged
}

bool TForm1::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, e);
    auto *key = static_cast<QKeyEvent *>(e);
    // Key preview: a key press reaches the window's native window once, before
    // it is handed to the focused control and from there up to its parents.
    // Previewing there, and only there, runs the window's key handler once per
    // key, whatever dialog the handler opens and wherever the focus is after it.
    if (watched == windowHandle() && FormKeyDown(key->key()))
        return true;
    // Letters typed into the folder box arrive in upper case. Text put there
    // by the program (the chooser's folder) keeps its case: names differ by
    // case on this system.
    if (watched == ui->edKatalog && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        && !key->text().isEmpty() && key->text() != key->text().toUpper()) {
        ui->edKatalog->insert(key->text().toUpper());
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

bool TForm1::event(QEvent *e)
{
    if (e->type() == QEvent::Type(WM_INSTALL)) {
        RunInstallation();
        return true;
    }
    return QWidget::event(e);
}

