#include "HintBarLayout.h"

#include "Fonts.h"

#include <algorithm>

namespace {

constexpr int ButtonGap = 3;

const char *const TagNames[] = {"RED", "YELLOW", "WHITE", "NORMAL"};

// The name of the tag that starts at text[pos], or nullptr.
const char *tagAt(const QString &text, qsizetype pos)
{
    if (text.at(pos) != u'#')
        return nullptr;
    for (const char *name : TagNames) {
        const QLatin1StringView n(name);
        if (QStringView(text).mid(pos + 1).startsWith(n) && text.size() > pos + 1 + n.size()
            && text.at(pos + 1 + n.size()) == u'#')
            return name;
    }
    return nullptr;
}

} // namespace

HintBarLayout computeHintBarLayout(int barWidth, int barHeight, int btnWidth, bool helpButton,
                                   bool acceptShown, bool cancelShown)
{
    HintBarLayout l;
    l.margin = (barHeight - HintBarButtonHeight) / 2; // C++ division truncates toward zero
    const int top = l.margin;
    l.textLeft = l.margin;
    l.help = QRect(l.textLeft, top, btnWidth, helpButton ? HintBarButtonHeight : 0);
    if (helpButton)
        l.textLeft += btnWidth + ButtonGap;
    l.textRight = barWidth - l.margin;
    l.cancel = QRect(cancelShown ? l.textRight - btnWidth : 0, top, btnWidth, cancelShown ? HintBarButtonHeight : 0);
    if (cancelShown)
        l.textRight -= btnWidth + ButtonGap;
    l.accept = QRect(acceptShown ? l.textRight - btnWidth : 0, top, btnWidth, acceptShown ? HintBarButtonHeight : 0);
    if (acceptShown)
        l.textRight -= btnWidth + ButtonGap;
    return l;
}

bool SplitAtTag(QString &text, QString &segment, QString &tag)
{
    // A tag at the very start is found as well: it splits off an empty segment.
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (const char *name = tagAt(text, i)) {
            segment = text.left(i);
            tag = QString::fromLatin1(name);
            text = text.mid(i + tag.size() + 2);
            return true;
        }
    }
    segment = text;
    tag.clear();
    text.clear();
    return false;
}

QString StripTags(const QString &text)
{
    QString rest = text, segment, tag, out;
    bool found;
    do {
        found = SplitAtTag(rest, segment, tag);
        out += segment;
    } while (found);
    return out;
}

HintBarFont SelectFont(bool centre, bool active, bool errorState, bool flashMode)
{
    static const QFont flashFont = Fonts::make(QStringLiteral("MS Sans Serif"), 12, true);
    static const QFont centreFont = Fonts::make(QStringLiteral("MS Sans Serif"), 16, true);
    static const QFont sideFont = Fonts::make(QStringLiteral("Arial"), 16, true);
    HintBarFont f;
    f.font = flashMode ? flashFont : centre ? centreFont : sideFont;
    if (!active)
        f.color = HintBarSilver;
    else if (!centre || flashMode)
        f.color = QColor(0xFF, 0xFF, 0xFF);
    else
        f.color = errorState ? QColor(0xFF, 0x00, 0x00) : QColor(0x00, 0xFF, 0x00);
    return f;
}

int centredTextX(int left, int right, int w)
{
    return std::max(left, (left + right - w) / 2);
}

QColor colourAfterTag(const QString &tag, bool active, const QColor &normal, const QColor &current)
{
    if (tag == QLatin1String("NORMAL"))
        return normal;
    if (!active)
        return current;
    if (tag == QLatin1String("RED"))
        return QColor(0xFF, 0x44, 0x44);
    if (tag == QLatin1String("YELLOW"))
        return QColor(0xFF, 0xFF, 0x44);
    if (tag == QLatin1String("WHITE"))
        return QColor(0xFF, 0xFF, 0xFF);
    return current;
}
