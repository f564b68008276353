#include "exploratorDlg.h"

#include "Accessible.h"
#include "AppCore.h"
#include "HintBar.h"
#include "Utils.h"
#include "exploratorDrives.h"
#include "exploratorGeom.h"
#include "okienko.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScopeGuard>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace explorer;

namespace {

QToolButton *flatButton(QWidget *parent, const QString &caption, const QString &hint)
{
    auto *b = new QToolButton(parent);
    b->setText(caption);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    return b;
}

bool noModifiers(const QKeyEvent *k)
{
    return !(k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}

bool isEnter(const QKeyEvent *k) { return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter; }

} // namespace

TExplorerDlg::TExplorerDlg(QWidget *ownerWindow) : QDialog(ownerWindow)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | (ownerWindow ? Qt::WindowFlags() : Qt::WindowStaysOnTopHint));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    resize(538, 380);

    ImageList1.addPixmap(QPixmap(QStringLiteral(":/explorator/folder_closed.png")), QIcon::Normal);
    ImageList1.addPixmap(QPixmap(QStringLiteral(":/explorator/folder_open.png")), QIcon::Selected);

    auto finder = [this](TFindMode dirMode) {
        auto *f = new TFindFiles(this);
        f->setaDirectory(dirMode);
        f->setaHidden(fmNo);
        f->setaSystem(fmNo);
        f->setaReadOnly(fmNo);
        f->setaArchive(fmDontCare);
        return f;
    };
    files = finder(fmNo);
    dirs = finder(fmYes);
    dirs2 = finder(fmYes);
    files->OnProgress = [this](int p, const QString &d, bool &stop) { filesProgress(p, d, stop); };
    files->OnAddFile = [this](TFileObj *f, bool &accept, bool &stop) { filesAddFile(f, accept, stop); };

    buildLeft();
    buildRight();
    hb = new THintBar(this);
    hb->setTextAccept(QStringLiteral("Wybierz"));
    hb->setTextCancel(QStringLiteral("Zamknij"));
    hb->setBtnWidth(80);
    hb->setHelpHint(QStringLiteral("F1"));
    hb->setAcceptHint(QStringLiteral("Enter"));
    hb->setCancelHint(QStringLiteral("Esc"));
    hb->setOnAccept([this](QObject *) { guarded([this] { hbAccept(); }); });
    hb->setOnCancel([this](QObject *) { guarded([this] { hbCancel(); }); });
    hb->setFixedHeight(hb->height());

    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(panLewy);
    body->addWidget(panPrawy, 1);
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    main->addLayout(body, 1);
    main->addWidget(hb);
    buildSearchPanel();

    // Keyboard preview: the dialog sees every key before its controls do.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    DisableTreeToolTips(tree);
}

TExplorerDlg::~TExplorerDlg() = default;

void TExplorerDlg::buildLeft()
{
    panLewy = new QWidget(this);
    panLewy->setObjectName(QStringLiteral("panLewy"));
    panLewy->setFixedWidth(251);
    Label1 = new QLabel(QStringLiteral("Wybierz &dysk:"), panLewy);
    btnMapuj = flatButton(panLewy, QStringLiteral("Sieć"), QStringLiteral("Mapowanie dysków sieciowych"));
    drives = new TDriveComboBox(panLewy);
    Label1->setBuddy(drives);
    Label2 = new QLabel(QStringLiteral(" Wybierz &katalog:"), panLewy);
    btnSzukaj = flatButton(panLewy, QStringLiteral("&Szukaj"),
                           QStringLiteral("Szukanie odpowiednich plików w podkatalogach zaznaczonego katalogu"));
    btnSzukaj->hide();
    tree = new QTreeWidget(panLewy);
    Label2->setBuddy(tree);
    Accessible::nameBuddy(Label2);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setIndentation(19);
    tree->setIconSize(QSize(16, 13));
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    QPalette pal = tree->palette(); // the selection stays visible without focus
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    tree->setPalette(pal);

    auto *row1 = new QHBoxLayout;
    row1->addWidget(Label1, 1);
    row1->addWidget(btnMapuj);
    auto *row2 = new QHBoxLayout;
    row2->addWidget(Label2, 1);
    row2->addWidget(btnSzukaj);
    auto *v = new QVBoxLayout(panLewy);
    v->setContentsMargins(4, 4, 2, 4);
    v->setSpacing(2);
    v->addLayout(row1);
    v->addWidget(drives);
    v->addLayout(row2);
    v->addWidget(tree, 1);

    connect(drives, &QComboBox::currentIndexChanged, this, [this] {
        if (m_drivesChangeOn)
            guarded([this] { drivesChange(); });
    });
    connect(btnMapuj, &QToolButton::clicked, this, [this] { guarded([this] { btnMapujClick(); }); });
    connect(btnSzukaj, &QToolButton::clicked, this, [this] { guarded([this] { btnSzukajClick(); }); });
    connect(tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *node) { guarded([this, node] { treeExpanding(node); }); });
    connect(tree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem *node) {
        if (!node->parent()) // the root stays open
            node->setExpanded(true);
    });
    connect(tree, &QTreeWidget::currentItemChanged, this, [this] {
        if (m_treeChangeOn)
            guarded([this] { treeChange(); });
    });
    connect(tree, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (!WyborPliku)
            guarded([this] { hbAccept(); });
    });
}

void TExplorerDlg::guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        App::showException(e);
    }
}

QString TExplorerDlg::NodePath(QTreeWidgetItem *node) const
{
    QStringList texts;
    for (; node; node = node->parent())
        texts.append(node->text(0));
    return nodePathOf(texts);
}

QString TExplorerDlg::SelectedFolder() const { return upperDrive(NodePath(tree->currentItem())); }

QTreeWidgetItem *TExplorerDlg::makeFolderNode(const QString &text, bool withPlaceholder) const
{
    auto *node = new QTreeWidgetItem;
    node->setText(0, text);
    node->setIcon(0, ImageList1);
    if (withPlaceholder)
        node->addChild(new QTreeWidgetItem);
    return node;
}

QTreeWidgetItem *TExplorerDlg::AddFolderNode(QTreeWidgetItem *parent, const QString &text, bool withPlaceholder)
{
    QTreeWidgetItem *node = makeFolderNode(text, withPlaceholder);
    if (parent)
        parent->addChild(node);
    else
        tree->addTopLevelItem(node);
    return node;
}

bool TExplorerDlg::HasSubfolders(const QString &path)
{
    dirs2->setDirectory(path);
    try {
        return dirs2->FindsAny(); // ends at the first subfolder, without an exception
    } catch (const std::exception &) {
        return false;
    }
}

void TExplorerDlg::OpenFolder(const QString &path)
{
    QString p = existingFolder(path);
    if (p.isEmpty())
        p = QStringLiteral("C:\\");
    p = fullDrivePath(p).toUpper();

    {
        m_drivesChangeOn = false;
        const auto reattach = qScopeGuard([this] { m_drivesChangeOn = true; });
        drives->setDrive(p[0]);
    }
    // Not from a guard: it may ask the user, and what it raises goes to the caller.
    drivesChange();

    QString rest = p.mid(p.indexOf('\\') + 1);
    UpdatesSuspended suspended(tree);
    QTreeWidgetItem *node = tree->topLevelItem(0);
    if (!node) // no drive root could be shown
        return;
    tree->setCurrentItem(node);
    while (!rest.isEmpty()) {
        const int cut = rest.indexOf('\\');
        const QString name = cut < 0 ? rest : rest.left(cut);
        rest = cut < 0 ? QString() : rest.mid(cut + 1);
        QTreeWidgetItem *match = nullptr;
        for (int i = 0; i < node->childCount() && !match; ++i)
            if (node->child(i)->text(0).toUpper() == name)
                match = node->child(i);
        if (!match)
            break;
        node = match;
        tree->setCurrentItem(node);
        node->setExpanded(true);
    }
}

void TExplorerDlg::drivesChange()
{
    const QChar letter = drives->drive();
    if (letter.isNull())
        return;
    const QString rootText = QString(letter) + QStringLiteral(":\\");
    if (tree->topLevelItemCount() > 0 && tree->topLevelItem(0)->text(0) == rootText)
        return;
    while (!folderExists(rootText)) {
        if (!RetryBox(QStringLiteral("Błąd"), QStringLiteral("Błąd przy odczycie dysku %1:").arg(letter))) {
            const QString selected = SelectedFolder();
            if (!selected.isEmpty())
                drives->setDrive(selected[0]);
            return;
        }
    }
    UpdatesSuspended suspended(tree);
    {
        m_treeChangeOn = false;
        const auto reattach = qScopeGuard([this] { m_treeChangeOn = true; });
        tree->clear();
    }
    QTreeWidgetItem *root = AddFolderNode(nullptr, rootText, true);
    tree->setCurrentItem(root);
    root->setExpanded(true);
}

void TExplorerDlg::treeExpanding(QTreeWidgetItem *node)
{
    if (node->childCount() > 0 && !node->child(0)->text(0).isEmpty())
        return;
    BusyCursor busy(false);
    UpdatesSuspended suspended(tree);
    qDeleteAll(node->takeChildren());
    dirs->setDirectory(NodePath(node));
    dirs->Search();
    dirs->FileList.Sort(soNameNoCase);
    // The tree takes the nodes in one insertion, not one at a time.
    QList<QTreeWidgetItem *> nodes;
    nodes.reserve(dirs->FileList.Count());
    for (int i = 0; i < dirs->FileList.Count(); ++i) {
        const TFileObj *d = dirs->FileList.Items(i);
        nodes.append(makeFolderNode(d->FileName(), HasSubfolders(d->FullName())));
    }
    node->addChildren(nodes);
}

void TExplorerDlg::btnMapujClick()
{
    // The system's dialog for connecting a network drive, where there is one;
    // its answer does not matter: the list is read again either way, so
    // drives mounted meanwhile appear too.
    platform::connectNetworkDrive(quintptr(winId()));
    m_drivesChangeOn = false;
    const auto reattach = qScopeGuard([this] { m_drivesChangeOn = true; });
    drives->rebuild();
}

void TExplorerDlg::hbAccept()
{
    if (!WyborPliku) {
        const QString folder = SelectedFolder();
        if (folder.isEmpty()) // no drive could be shown: nothing to choose
            return;
        bool mozeByc = true;
        if (OnSprawdzKatalog)
            OnSprawdzKatalog(this, folder, mozeByc);
        if (mozeByc)
            done(Accepted);
        return;
    }
    if (lb->currentRow() < 0 || lb->count() == 0) {
        ErrorBox(QStringLiteral("Wybierz plik"), QStringLiteral("Nie zaznaczono żadnego pliku !"));
        return;
    }
    done(Accepted);
}

void TExplorerDlg::hbCancel() { done(Rejected); }

void TExplorerDlg::done(int result)
{
    if (m_searching) { // the search's handlers are still on the stack
        m_pendingResult = result;
        return;
    }
    QDialog::done(result);
}

bool TExplorerDlg::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::Resize && watched == panImg)
        guarded([this] { panImgResize(); });
    if (e->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, e);
    const auto *k = static_cast<QKeyEvent *>(e);
    if (k->key() == Qt::Key_Escape && noModifiers(k)) {
        guarded([this] { hbCancel(); });
        return true;
    }
    if (isEnter(k) && (k->modifiers() == Qt::NoModifier || k->modifiers() == Qt::KeypadModifier)) {
        if (watched == tree) {
            guarded([this] {
                if (WyborPliku)
                    SafeSetFocus(lb);
                else
                    hbAccept();
            });
            return true;
        }
        if (watched == lb) {
            guarded([this] { hbAccept(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TExplorerDlg::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (const QScreen *s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.topLeft() + centredPos(area.size(), frameGeometry().size()));
    }
}
