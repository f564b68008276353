#include "explorator.h"

#include "AppCore.h"
#include "HintBar.h"

#include <QApplication>
#include <QDir>
#include <QDynamicPropertyChangeEvent>
#include <QScopeGuard>
#include <memory>

TExplorer::TExplorer(QObject *owner) : QObject(owner) {}

TExplorer::~TExplorer() = default;

void TExplorer::setWyborPliku(bool v)
{
    if (v == m_wyborPliku)
        return;
    m_wyborPliku = v;
    if (v)
        m_plikiWidoczne = true;
    else
        m_wyborKatalogu = true;
}

void TExplorer::setWyborKatalogu(bool v)
{
    if (v == m_wyborKatalogu)
        return;
    m_wyborKatalogu = v;
    if (!v) {
        m_plikiWidoczne = true;
        m_wyborPliku = true;
        m_szukanie = false;
    }
}

void TExplorer::setPlikiWidoczne(bool v)
{
    if (v == m_plikiWidoczne)
        return;
    m_plikiWidoczne = v;
    if (!v) {
        m_podgladWidoczny = false;
        m_wyborPliku = false;
        m_szukanie = false;
    }
}

void TExplorer::setPodgladWidoczny(bool v)
{
    if (v == m_podgladWidoczny)
        return;
    m_podgladWidoczny = v;
    if (v) {
        m_plikiWidoczne = true;
        m_wyborPliku = true;
    }
}

void TExplorer::setSzukanie(bool v)
{
    if (v == m_szukanie)
        return;
    m_szukanie = v;
    if (v)
        m_plikiWidoczne = true;
}

void TExplorer::setWysokosc(int v) { m_wysokosc = std::max(v, 100); }

bool TExplorer::event(QEvent *e)
{
    // Forms stored by older versions still carry the obsolete MaxDlgNazwy
    // setting: it loads without error and is dropped.
    if (e->type() == QEvent::DynamicPropertyChange) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent *>(e)->propertyName();
        if (name == "MaxDlgNazwy" && property(name).isValid()) {
            setProperty(name, QVariant());
            return true;
        }
    }
    return QObject::event(e);
}

bool TExplorer::Execute()
{
    const QString previousDir = QDir::currentPath();
    const auto restoreDir = qScopeGuard([&previousDir] { QDir::setCurrent(previousDir); });
    std::unique_ptr<TExplorerDlg> dlg(new TExplorerDlg(QApplication::activeWindow()));
    m_dialog = dlg.get();
    const auto forget = qScopeGuard([this] { m_dialog = nullptr; });

    dlg->setWindowTitle(m_caption);
    if (m_plikiWidoczne)
        dlg->hb->ShowText(m_hint);
    dlg->OnSprawdzKatalog = OnSprawdzKatalog;
    dlg->OnDodajPlik = OnDodajPlik;
    dlg->WyborKatalogu = m_wyborKatalogu;
    dlg->WyborPliku = m_wyborPliku;
    dlg->PlikiWidoczne = m_plikiWidoczne;
    dlg->PodgladWidoczny = m_podgladWidoczny;
    dlg->files->setMask(m_filtr);
    dlg->OpenFolder(m_katalog);
    dlg->Configure(m_szukanie, m_multiWybor, m_szerPlikow, m_szerOpisow, m_wysokosc);

    auto notify = [&dlg](const TNotifyEvent &handler) {
        if (!handler)
            return;
        try {
            handler(dlg.get());
        } catch (const std::exception &e) {
            App::showException(e);
        }
    };
    notify(BeforeExecute);
    const bool accepted = dlg->exec() == QDialog::Accepted;
    notify(AfterExecute);
    if (accepted) {
        setKatalog(dlg->SelectedFolder());
        if (m_wyborPliku) {
            m_wybranyPlik = dlg->SelectedFile();
            if (m_multiWybor)
                dlg->SelectedFiles(m_wybranePliki);
        }
    }
    return accepted;
}
