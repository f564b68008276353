#pragma once
// The directory chooser's dialog window: drive list and lazily filled folder
// tree on the left; file list with a description column, picture preview and
// recursive file search on the right; hint bar at the bottom. It lives for
// one TExplorer::Execute.
#include "FindFiles.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QStringList>
#include <functional>

class QFrame;
class QLabel;
class QListWidget;
class QMovie;
class QProgressBar;
class QSplitter;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDriveComboBox;
class THintBar;

// Validates the chosen folder; leaving MozeByc false keeps the dialog open.
using TExplorerSprawdzKat = std::function<void(QObject *sender, const QString &Katalog, bool &MozeByc)>;
// Filters a listed file and supplies its description.
using TExplorerDodajPlik =
    std::function<void(QObject *sender, const QString &Plik, QString &Opis, bool &Akceptuj)>;

class TExplorerDlg : public QDialog {
    Q_OBJECT
public:
    // ownerWindow: the active form, or none (the dialog then stays on top).
    explicit TExplorerDlg(QWidget *ownerWindow);
    ~TExplorerDlg() override;

    // Components.
    QWidget *panLewy, *panPrawy, *panPliki;
    QLabel *Label1, *Label2, *lblPliki;
    QToolButton *btnMapuj, *btnSzukaj;
    TDriveComboBox *drives;
    QTreeWidget *tree;
    QListWidget *lb;
    QSplitter *splitImg;
    QFrame *panImg;
    QLabel *img;
    THintBar *hb;
    QFrame *panSzukanie;
    QLabel *Animate1, *Label4, *lblSzukKat;
    QToolButton *btnPrzerwij;
    QProgressBar *pbSzukanie;
    QIcon ImageList1; // closed folder, and the open folder for a selected node
    TFindFiles *files, *dirs, *dirs2;

    // Copies of the component's settings, made by Execute.
    bool WyborKatalogu = true;
    bool WyborPliku = false;
    bool PlikiWidoczne = false;
    bool PodgladWidoczny = false;
    TExplorerSprawdzKat OnSprawdzKatalog;
    TExplorerDodajPlik OnDodajPlik;

    // Settings that Execute applies after opening the folder: search button,
    // file list mode and tab stop, layout mode and height.
    void Configure(bool szukanie, bool multiWybor, int szerPlikow, int szerOpisow, int wysokosc);

    QString NodePath(QTreeWidgetItem *node) const;
    QString SelectedFolder() const;
    QString FileNameAt(int index) const;
    QString SelectedFile() const;
    void SelectedFiles(QStringList &list) const;
    QTreeWidgetItem *AddFolderNode(QTreeWidgetItem *parent, const QString &text, bool withPlaceholder);
    // A node of the tree's look not yet in the tree.
    QTreeWidgetItem *makeFolderNode(const QString &text, bool withPlaceholder) const;
    bool HasSubfolders(const QString &path);
    void OpenFolder(const QString &path);

    // Handlers, public so that the owner and tests can run them as a user would.
    void drivesChange();
    void treeExpanding(QTreeWidgetItem *node);
    void treeChange();
    void btnSzukajClick();
    void btnPrzerwijClick() { m_stopRequest = true; }
    void btnMapujClick();
    void lbClick();
    void panImgResize();
    void hbAccept();
    void hbCancel();

    bool searching() const { return m_searching; }
    int tabStop() const { return m_tabStopPx; } // pixels from the item's left
    const QImage &picture() const { return m_picture; }
    QMovie *animation() const { return m_movie; }

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void buildLeft();
    void buildRight();
    void buildSearchPanel();
    void filesAddFile(TFileObj *entry, bool &accept, bool &stop);
    void filesProgress(int progress, const QString &dirName, bool &stop);
    void listFiles(bool recurse);
    void selectFirstFile();
    // Runs a handler the way an event runs: an exception goes to the
    // application's standard report.
    void guarded(const std::function<void()> &handler);

    bool m_drivesChangeOn = true;
    bool m_treeChangeOn = true;
    bool m_lbClickOn = true;
    bool m_stopRequest = false;
    bool m_searching = false;
    int m_pendingResult = -1; // a close asked for during a search
    int m_tabStopPx = 0;
    QImage m_picture;
    QMovie *m_movie = nullptr;
};
