#include "okienkoLayout.h"

#include "AppCore.h"
#include "Fonts.h"

#include <QFontMetrics>

namespace MsgLayout {

Areas areas(QSize client, const Parts &parts)
{
    Areas a;
    int bottom = client.height();
    if (parts.takPanel) {
        bottom -= TakPanelHeight;
        a.panTAK = QRect(0, bottom, client.width(), TakPanelHeight);
    }
    if (parts.buttonRow) {
        bottom -= ButtonRowHeight;
        a.panBtns = QRect(0, bottom, client.width(), ButtonRowHeight);
    }
    int left = 0;
    int right = client.width();
    if (parts.pictures) {
        a.panLewy = QRect(0, 0, LeftColumnWidth, bottom);
        a.panPrawy = QRect(right - RightColumnWidth, 0, RightColumnWidth, bottom);
        left += LeftColumnWidth;
        right -= RightColumnWidth;
    }
    a.panel3 = QRect(left, 0, right - left, bottom);
    a.panel2 = QRect(FrameInset, FrameInset, a.panel3.width() - 2 * FrameInset,
                     a.panel3.height() - 2 * FrameInset);
    return a;
}

QSize measureLabel(const QFont &font, const QString &text, int wrapWidth, Qt::Alignment align)
{
    const QFontMetrics fm(font);
    int flags = int(align) | Qt::TextExpandTabs;
    QRect box(0, 0, 1 << 20, 1 << 20);
    if (wrapWidth > 0) {
        flags |= Qt::TextWordWrap;
        box.setWidth(wrapWidth);
    }
    const QRect r = fm.boundingRect(box, flags, text);
    const int width = wrapWidth > 0 ? wrapWidth : r.width();
    return QSize(width, std::max(r.height(), fm.height()));
}

static QFont elevenPoints(const QFont &f) { return Fonts::withPointSize(f, 11); }

TextFit fitText(QSize client, const Parts &parts, const TextInput &in)
{
    TextFit fit;
    fit.client = client;
    fit.font = in.font;
    fit.multiLine = in.text.contains(QChar('\r')) || in.text.contains(QChar('\n'));
    const QString shown = App::displayText(in.text);
    const QSize panel2 = areas(client, parts).panel2.size();

    if (fit.multiLine) {
        // The label follows its longest line, plus a margin, within limits.
        int width = measureLabel(fit.font, shown, 0, in.align).width() + 10;
        if (width > 500) {
            fit.font = elevenPoints(fit.font);
            width = measureLabel(fit.font, shown, 0, in.align).width();
        }
        width = std::max(width, 200);
        fit.client.rwidth() += width + 2 * TextInset - panel2.width();
    }
    int width = areas(fit.client, parts).panel2.width() - 2 * TextInset;
    const int wrap = fit.multiLine ? 0 : width;
    int height = measureLabel(fit.font, shown, wrap, in.align).height();
    if (height > 200) {
        fit.font = elevenPoints(fit.font);
        height = measureLabel(fit.font, shown, wrap, in.align).height();
    }
    fit.client.rheight() += height + 2 * TextInset - panel2.height();

    if (in.secondVisible) {
        const QSize second = measureLabel(in.secondFont, in.second, 0, Qt::AlignLeft);
        fit.lbl2 = QRect(QPoint(TextInset, TextInset + height + 5), second);
        fit.client.rheight() += second.height() + 5;
        if (width < second.width())
            fit.client.rwidth() += second.width() - width;
        width = areas(fit.client, parts).panel2.width() - 2 * TextInset;
        // A wrapped text re-wraps in the wider panel; the window keeps its height.
        if (!fit.multiLine)
            height = measureLabel(fit.font, shown, width, in.align).height();
    }
    fit.lbl = QRect(TextInset, TextInset, width, height);
    return fit;
}

ButtonRow spreadButtons(int windowWidth, int frameWidth, const QList<int> &widths)
{
    ButtonRow row;
    int total = 0;
    for (int w : widths)
        total += w;
    row.windowWidth = windowWidth - 30 < total ? total + 30 : windowWidth;
    const int gap = (row.windowWidth - frameWidth - total) / (int(widths.size()) + 1);
    int x = 0;
    for (int w : widths) {
        x += gap;
        row.lefts << x;
        x += w;
    }
    return row;
}

TakRow takRow(int windowWidth, int frameWidth, int captionWidth)
{
    TakRow row;
    row.windowWidth = std::max(windowWidth, 400);
    const int client = row.windowWidth - frameWidth;
    row.captionLeft = (client - captionWidth) / 2;
    const int gap = (client - (TakGroupWidth + RefuseWidth)) / 3;
    row.groupLeft = gap;
    row.refuseLeft = 2 * gap + TakGroupWidth;
    return row;
}

QPoint place(const QRect &area, QSize window)
{
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    return QPoint(area.x() + (right - area.x() - window.width()) / 2,
                  area.y() + (bottom - area.y() - window.height()) / 2);
}

} // namespace MsgLayout
