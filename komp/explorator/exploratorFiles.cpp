// The chooser dialog's right side: the file list with its description
// column, the recursive search with its panel, and the picture preview.
#include "Accessible.h"
#include "AppCore.h"
#include "HintBar.h"
#include "drives.h"
#include "exploratorDlg.h"
#include "exploratorGeom.h"
#include "okienko.h"

#include <QApplication>
#include <QCollator>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QPainter>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

using namespace explorer;

namespace {

// List items sort by their whole text, without regard to case.
class FileItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem &other) const override
    {
        static const QCollator collator = [] {
            QCollator c;
            c.setCaseSensitivity(Qt::CaseInsensitive);
            return c;
        }();
        return collator.compare(text(), other.text()) < 0;
    }
};

// Draws "name<tab>description" with the description at the dialog's tab stop.
class TabDelegate : public QStyledItemDelegate {
public:
    explicit TabDelegate(const TExplorerDlg *dlg) : QStyledItemDelegate(const_cast<TExplorerDlg *>(dlg)), m_dlg(dlg) {}

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);

        const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget).adjusted(2, 0, 0, 0);
        const int tab = text.indexOf('\t');
        const QString name = tab < 0 ? text : text.left(tab);
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                                : QPalette::Inactive;
        p->save();
        p->setFont(opt.font);
        p->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                : QPalette::Text));
        p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, name);
        if (tab >= 0) {
            const int nameEnd = QFontMetrics(opt.font).horizontalAdvance(name) + 2;
            const int x = r.left() + tabPosition(nameEnd, m_dlg->tabStop());
            p->drawText(QRect(x, r.top(), std::max(0, r.right() - x), r.height()),
                        Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text.mid(tab + 1));
        }
        p->restore();
    }

private:
    const TExplorerDlg *m_dlg;
};

// Picture formats of the preview, chosen by the file's extension.
QImage loadPicture(const QString &path)
{
    const QString name = platform::fileNamePart(path);
    const int dot = name.lastIndexOf('.');
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    static const QHash<QString, QByteArray> formats = {
        {"bmp", "bmp"}, {"ico", "ico"}, {"jpg", "jpeg"}, {"jpeg", "jpeg"}, {"jpe", "jpeg"},
        {"gif", "gif"}, {"wmf", "wmf"}, {"emf", "emf"},
    };
    const auto format = formats.constFind(ext);
    if (format == formats.constEnd())
        throw Exception(QStringLiteral("Unknown picture file extension (.%1)").arg(ext));
    QImageReader reader(platform::toHostPath(path), *format);
    QImage image = reader.read();
    if (image.isNull())
        throw Exception(QStringLiteral("Cannot load the picture %1: %2").arg(path, reader.errorString()));
    return image;
}

} // namespace

void TExplorerDlg::buildRight()
{
    panPrawy = new QWidget(this);
    panPrawy->setObjectName(QStringLiteral("panPrawy"));
    panPliki = new QWidget(panPrawy);
    lblPliki = new QLabel(panPliki);
    lb = new QListWidget(panPliki);
    lb->setSortingEnabled(true);
    lb->setItemDelegate(new TabDelegate(this));
    lblPliki->setBuddy(lb);
    panImg = new QFrame;
    panImg->setFrameStyle(QFrame::Box | QFrame::Plain);
    panImg->setLineWidth(1);
    panImg->setAutoFillBackground(true);
    panImg->setBackgroundRole(QPalette::Base);
    panImg->setMinimumHeight(50);
    img = new QLabel(panImg);
    img->setAccessibleName(QStringLiteral("Podgląd pliku"));
    img->setScaledContents(true);
    img->resize(0, 0);
    splitImg = new QSplitter(Qt::Vertical, panPliki);
    splitImg->setChildrenCollapsible(false);
    splitImg->addWidget(lb);
    splitImg->addWidget(panImg);
    splitImg->setSizes({300, 100});
    lb->setMinimumHeight(50);

    auto *v = new QVBoxLayout(panPliki);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(2);
    v->addWidget(lblPliki);
    v->addWidget(splitImg, 1);
    auto *outer = new QVBoxLayout(panPrawy);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panPliki);

    connect(lb, &QListWidget::currentRowChanged, this, [this] {
        if (m_lbClickOn)
            guarded([this] { lbClick(); });
    });
    connect(lb, &QListWidget::itemDoubleClicked, this, [this] { guarded([this] { hbAccept(); }); });
}

void TExplorerDlg::buildSearchPanel()
{
    panSzukanie = new QFrame(this);
    panSzukanie->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panSzukanie->setLineWidth(1);
    panSzukanie->setAutoFillBackground(true);
    panSzukanie->resize(450, 101);
    panSzukanie->hide();
    Animate1 = new QLabel(panSzukanie);
    Animate1->setGeometry(8, 8, 48, 40);
    m_movie = new QMovie(QStringLiteral(":/explorator/search.gif"), QByteArray(), this);
    Animate1->setMovie(m_movie);
    Label4 = new QLabel(App::displayText(QStringLiteral("Czekaj cierpliwie...\r\nTrwa przeszukiwanie katalogów:")),
                        panSzukanie);
    Label4->setGeometry(64, 8, 378, 32);
    lblSzukKat = new QLabel(panSzukanie);
    QFont bold = lblSzukKat->font();
    bold.setBold(true);
    lblSzukKat->setFont(bold);
    lblSzukKat->setGeometry(64, 42, 378, 18);
    btnPrzerwij = new QToolButton(panSzukanie);
    btnPrzerwij->setText(QStringLiteral("Przerwij"));
    btnPrzerwij->setAutoRaise(true);
    btnPrzerwij->setGeometry(8, 68, 80, 24);
    pbSzukanie = new QProgressBar(panSzukanie);
    pbSzukanie->setRange(0, 100);
    pbSzukanie->setGeometry(96, 72, 346, 16);
    pbSzukanie->setAccessibleName(QStringLiteral("Przeszukiwanie katalogów"));
    Animate1->setAccessibleName(QStringLiteral("Szukanie"));
    connect(btnPrzerwij, &QToolButton::clicked, this, [this] { btnPrzerwijClick(); });
}

void TExplorerDlg::Configure(bool szukanie, bool multiWybor, int szerPlikow, int szerOpisow, int wysokosc)
{
    btnSzukaj->setVisible(szukanie);
    lb->setEnabled(WyborPliku);
    const int baseUnit = std::max(1, QFontMetrics(lb->font()).averageCharWidth());
    m_tabStopPx = tabStopPixels(listTabStopUnits(szerPlikow, szerOpisow, baseUnit), baseUnit);
    QPalette pal = lb->palette();
    pal.setColor(QPalette::Base, pal.color(WyborPliku ? QPalette::Base : QPalette::Button));
    lb->setPalette(pal);
    if (WyborPliku) {
        lb->setSelectionMode(multiWybor ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
        lblPliki->setText(multiWybor ? QStringLiteral(" &Zaznacz pliki:") : QStringLiteral(" &Zaznacz plik:"));
    } else {
        lblPliki->setText(QStringLiteral(" Lista plików w katalogu:"));
    }
    Accessible::nameBuddy(lblPliki);

    int width;
    if (!WyborKatalogu) {
        panLewy->hide();
        width = szerPlikow + 24;
    } else if (PlikiWidoczne) {
        width = szerPlikow + 274;
    } else {
        panPrawy->hide();
        panLewy->setMinimumWidth(0);
        panLewy->setMaximumWidth(QWIDGETSIZE_MAX);
        width = 250;
    }
    if (!PodgladWidoczny)
        panImg->hide(); // takes the splitter's handle with it
    setFixedSize(width, wysokosc);
}

QString TExplorerDlg::FileNameAt(int index) const
{
    const QListWidgetItem *item = lb->item(index);
    if (!item)
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    const QString text = item->text();
    return text.left(text.indexOf('\t')); // the whole text when it has no tab
}

QString TExplorerDlg::SelectedFile() const
{
    if (lb->currentRow() < 0 || lb->count() == 0)
        return QString();
    return SelectedFolder() + FileNameAt(lb->currentRow());
}

void TExplorerDlg::SelectedFiles(QStringList &list) const
{
    list.clear();
    const QString folder = SelectedFolder();
    for (int i = 0; i < lb->count(); ++i)
        if (lb->item(i)->isSelected())
            list.append(folder + FileNameAt(i));
}

void TExplorerDlg::filesAddFile(TFileObj *entry, bool &accept, bool & /*stop*/)
{
    QString opis;
    if (OnDodajPlik)
        OnDodajPlik(this, entry->FullName(), opis, accept);
    if (accept)
        lb->addItem(new FileItem(entry->RelName() + '\t' + opis));
}

void TExplorerDlg::listFiles(bool recurse)
{
    UpdatesSuspended suspended(lb);
    m_lbClickOn = false;
    lb->clear();
    m_lbClickOn = true;
    const QString folder = SelectedFolder();
    if (folder.isEmpty())
        return;
    files->setDirectory(folder);
    files->setRecurse(recurse);
    try {
        files->Search();
    } catch (const EFindFilesError &) {
        ErrorBox(QStringLiteral("Błąd !"), QStringLiteral("Brak dostępu do katalogu: \r") + files->Directory());
    }
}

void TExplorerDlg::selectFirstFile()
{
    m_lbClickOn = false;
    const auto reattach = qScopeGuard([this] { m_lbClickOn = true; });
    lb->setCurrentRow(WyborPliku && lb->count() > 0 ? 0 : -1);
}

void TExplorerDlg::treeChange()
{
    if (!PlikiWidoczne)
        return;
    {
        BusyCursor busy(false);
        listFiles(false);
    }
    selectFirstFile();
    lbClick();
}

void TExplorerDlg::btnSzukajClick()
{
    panLewy->setEnabled(false);
    panPrawy->setEnabled(false);
    m_searching = true;
    {
        BusyCursor busy(true);
        const auto restore = qScopeGuard([this] {
            panLewy->setEnabled(true);
            panPrawy->setEnabled(true);
            m_searching = false;
            if (m_pendingResult >= 0) // closed during the search
                QDialog::done(m_pendingResult);
        });
        panSzukanie->move(centredPos(size(), panSzukanie->size()));
        m_movie->start();
        lblSzukKat->clear();
        pbSzukanie->setValue(0);
        panSzukanie->show();
        panSzukanie->raise();
        panSzukanie->repaint();
        const auto hidePanel = qScopeGuard([this] {
            panSzukanie->hide();
            m_movie->stop();
        });
        m_stopRequest = false;
        listFiles(true);
        if (lb->count() == 0)
            ErrorBox(QStringLiteral("Nie znaleziono"),
                     QStringLiteral("Nie znalazłem w tym katalogu i jego podkatalogach żadnego pliku"));
    }
    selectFirstFile();
    lbClick();
}

void TExplorerDlg::filesProgress(int progress, const QString &dirName, bool &stop)
{
    pbSzukanie->setValue(progress);
    lblSzukKat->setText(dirName);
    App::processMessages();
    if (m_stopRequest)
        stop = true;
}

void TExplorerDlg::lbClick()
{
    if (!PodgladWidoczny)
        return;
    BusyCursor busy(false);
    m_picture = QImage();
    img->clear();
    img->resize(0, 0);
    panImg->repaint();
    if (lb->currentRow() >= 0 && lb->count() > 0)
        m_picture = loadPicture(SelectedFile());
    img->setPixmap(QPixmap::fromImage(m_picture));
    panImgResize();
}

void TExplorerDlg::panImgResize()
{
    const QRect client = panImg->contentsRect();
    if (!m_picture.isNull() && m_picture.width() > 0 && m_picture.height() > 0)
        img->resize(fitPicture(m_picture.size(), client.size() - QSize(2, 2)));
    img->move(client.topLeft() + centredPos(client.size(), img->size()));
}
