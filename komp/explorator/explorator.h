#pragma once
// The directory chooser component: the host sets its properties and calls
// Execute, which shows the chooser dialog modally and copies the choice back.
#include "Events.h"
#include "exploratorDlg.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TExplorer : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString Hint READ hint WRITE setHint)
    Q_PROPERTY(QString Katalog READ katalog WRITE setKatalog)
    Q_PROPERTY(QString Filtr READ filtr WRITE setFiltr)
    Q_PROPERTY(bool WyborPliku READ wyborPliku WRITE setWyborPliku)
    Q_PROPERTY(bool WyborKatalogu READ wyborKatalogu WRITE setWyborKatalogu)
    Q_PROPERTY(bool PlikiWidoczne READ plikiWidoczne WRITE setPlikiWidoczne)
    Q_PROPERTY(bool PodgladWidoczny READ podgladWidoczny WRITE setPodgladWidoczny)
    Q_PROPERTY(int SzerPlikow READ szerPlikow WRITE setSzerPlikow)
    Q_PROPERTY(int SzerOpisow READ szerOpisow WRITE setSzerOpisow)
    Q_PROPERTY(bool Szukanie READ szukanie WRITE setSzukanie)
    Q_PROPERTY(bool MultiWybor READ multiWybor WRITE setMultiWybor)
    Q_PROPERTY(int Wysokosc READ wysokosc WRITE setWysokosc)

public:
    explicit TExplorer(QObject *owner = nullptr);
    ~TExplorer() override;

    // True when the user accepted; Katalog (and WybranyPlik, WybranePliki in
    // file mode) then hold the choice. False changes nothing.
    bool Execute();

    TExplorerSprawdzKat OnSprawdzKatalog;
    TExplorerDodajPlik OnDodajPlik;
    TNotifyEvent BeforeExecute; // sender: the dialog, just before it shows
    TNotifyEvent AfterExecute;  // sender: the dialog, just after it closed

    // Results of a file choice (full paths).
    const QString &WybranyPlik() const { return m_wybranyPlik; }
    const QStringList &WybranePliki() const { return m_wybranePliki; }
    // The dialog while Execute runs, otherwise null.
    TExplorerDlg *dialog() const { return m_dialog; }

    QString caption() const { return m_caption; }
    QString hint() const { return m_hint; }
    QString katalog() const { return m_katalog; }
    QString filtr() const { return m_filtr; }
    bool wyborPliku() const { return m_wyborPliku; }
    bool wyborKatalogu() const { return m_wyborKatalogu; }
    bool plikiWidoczne() const { return m_plikiWidoczne; }
    bool podgladWidoczny() const { return m_podgladWidoczny; }
    int szerPlikow() const { return m_szerPlikow; }
    int szerOpisow() const { return m_szerOpisow; }
    bool szukanie() const { return m_szukanie; }
    bool multiWybor() const { return m_multiWybor; }
    int wysokosc() const { return m_wysokosc; }

    void setCaption(const QString &v) { m_caption = v; }
    void setHint(const QString &v) { m_hint = v; }
    void setKatalog(const QString &v) { m_katalog = v; }
    void setFiltr(const QString &v) { m_filtr = v; }
    // The Boolean setters keep the options consistent (one step, no cascade).
    void setWyborPliku(bool v);
    void setWyborKatalogu(bool v);
    void setPlikiWidoczne(bool v);
    void setPodgladWidoczny(bool v);
    void setSzukanie(bool v);
    void setMultiWybor(bool v) { m_multiWybor = v; }
    void setSzerPlikow(int v) { m_szerPlikow = v; }
    void setSzerOpisow(int v) { m_szerOpisow = v; }
    void setWysokosc(int v); // at least 100

protected:
    bool event(QEvent *e) override;

private:
    QString m_caption, m_hint;
    QString m_katalog = QStringLiteral("C:\\");
    QString m_filtr = QStringLiteral("*.DBF");
    bool m_wyborPliku = false;
    bool m_wyborKatalogu = true;
    bool m_plikiWidoczne = false;
    bool m_podgladWidoczny = false;
    int m_szerPlikow = 400;
    int m_szerOpisow = 0;
    bool m_szukanie = false;
    bool m_multiWybor = false;
    int m_wysokosc = 400;
    QString m_wybranyPlik;
    QStringList m_wybranePliki;
    TExplorerDlg *m_dialog = nullptr;
};
