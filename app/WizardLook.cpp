#include "WizardLook.h"
#include "Fonts.h"

#include <QLabel>
#include <QWidget>

namespace WizardLook {

const QList<ControlLook> &controls()
{
    static const QColor white(0xFF, 0xFF, 0xFF), silver(0xC0, 0xC0, 0xC0), yellow(0xFF, 0xFF, 0x00),
        demo(0xFF, 0xF0, 0x40), black(0, 0, 0);
    static const QList<ControlLook> looks = {
        {"lblWitamy", "Arial", 31, true, false, white, {}},
        {"lblDemo", "Arial Black", 30, true, false, demo, {}},
        {"lblOpis", "Arial", 18, true, true, silver, {}},
        {"lblPodaj", "Arial", 21, true, false, yellow, {}},
        {"edKatalog", "MS Sans Serif", 16, true, false, {}, {}},
        {"btnWybierzKat", "MS Sans Serif", 16, false, false, {}, {}},
        {"lblPrzebieg", "Arial", 21, true, false, white, {}},
        {"gaugeInstalka", "MS Sans Serif", 16, true, false, {}, {}},
        {"lblKopiowanie", "Arial", 16, true, true, silver, {}},
        {"lblPlik", "Arial", 16, true, false, silver, {}},
        {"gaugePlik", "MS Sans Serif", 12, true, false, {}, {}},
        {"lblWybrany", "Arial", 16, true, true, silver, {}},
        {"lblKatalog", "Arial", 16, true, false, silver, {}},
        {"lblKoniec", "Arial", 31, true, false, yellow, {}},
        {"lblKliknij", "Arial", 18, true, true, silver, {}},
        {"lblAutomat", "Arial", 18, true, true, silver, {}},
        {"lblNastepnym", "Arial", 18, true, true, white, {}},
        {"lblDwukrotnie", "Arial", 18, true, true, white, {}},
        {"lblIkona", "MS Sans Serif", 11, false, false, white, black},
    };
    return looks;
}

bool hasFixedSize(const char *name)
{
    return qstrcmp(name, "lblPlik") == 0 || qstrcmp(name, "lblKatalog") == 0;
}

QRect fitLabel(const QRect &designed, const QSize &needed, bool centred)
{
    const int w = std::max(designed.width(), needed.width());
    const int h = std::max(designed.height(), needed.height());
    const int x = centred ? designed.x() - (w - designed.width()) / 2 : designed.x();
    return {x, designed.y(), w, h};
}

QRect followLabel(const QRect &lead, const QRect &designed, int gap)
{
    const int left = std::max(designed.x(), lead.x() + lead.width() + gap);
    return {left, designed.y(), std::max(0, designed.x() + designed.width() - left), designed.height()};
}

QRect keepInside(const QRect &r, const QRect &area)
{
    QRect out = r;
    if (out.right() > area.right())
        out.moveRight(area.right());
    if (out.bottom() > area.bottom())
        out.moveBottom(area.bottom());
    if (out.left() < area.left())
        out.moveLeft(area.left());
    if (out.top() < area.top())
        out.moveTop(area.top());
    return out;
}

void arrange(QWidget *form)
{
    auto *caption = form->findChild<QLabel *>(QStringLiteral("lblWybrany"));
    auto *folder = form->findChild<QLabel *>(QStringLiteral("lblKatalog"));
    if (caption && folder) {
        // A space's width of the caption's font between the two.
        const int gap = caption->fontMetrics().horizontalAdvance(QLatin1Char(' '));
        folder->setGeometry(followLabel(caption->geometry(), folder->geometry(), gap));
    }
    auto *logo = form->findChild<QLabel *>(QStringLiteral("imgLogo"));
    auto *demo = form->findChild<QLabel *>(QStringLiteral("lblDemo"));
    if (logo && demo) {
        // A few pixels of the panel stay clear between the text and the rim.
        const int room = logoRim + 4;
        const QRect panel = logo->geometry().adjusted(room, room, -room, -room);
        demo->setGeometry(keepInside(demo->geometry(), panel));
    }
}

static void paint(QWidget *w, QPalette::ColorRole role, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

// The window's own font is given by its character height, not its cell.
QFont windowFont() { return Fonts::make(QStringLiteral("MS Sans Serif"), -11); }

void apply(QWidget *form)
{
    form->setFont(windowFont());
    paint(form, QPalette::Window, windowColor);
    form->setAutoFillBackground(true);
    for (const char *page : {"pStart", "pKatalog", "pInstalacja", "pKoniec"}) {
        if (auto *p = form->findChild<QWidget *>(QLatin1String(page)))
            paint(p, QPalette::Window, pageColor);
    }
    if (auto *icon = form->findChild<QWidget *>(QStringLiteral("pIkona")))
        paint(icon, QPalette::Window, desktopColor);
    for (const ControlLook &look : controls()) {
        QWidget *w = form->findChild<QWidget *>(QLatin1String(look.name));
        if (!w)
            continue;
        w->setFont(Fonts::make(QLatin1String(look.face), look.cellHeight, look.bold, look.italic));
        if (look.color.isValid())
            paint(w, QPalette::WindowText, look.color);
        if (look.background.isValid()) {
            paint(w, QPalette::Window, look.background);
            w->setAutoFillBackground(true);
        }
        auto *label = qobject_cast<QLabel *>(w);
        if (label && !hasFixedSize(look.name)) {
            // Italic glyphs lean past their advance; leave them room.
            const int lean = look.italic ? label->fontMetrics().height() / 5 : 0;
            const QSize needed = label->sizeHint() + QSize(lean, 0);
            label->setGeometry(fitLabel(label->geometry(), needed, label->alignment() & Qt::AlignHCenter));
        }
    }
}

} // namespace WizardLook
