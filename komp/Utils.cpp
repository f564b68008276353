#include "Utils.h"

#include "drives.h"
#include "files.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QTransform>
#include <QTreeView>
#include <charconv>
#include <cstdlib>
#include <ctime>

// ---- Drives and files ------------------------------------------------------

long double BytesToMB(std::int64_t bytes)
{
    if (bytes < 0)
        return -1;
    return static_cast<long double>(bytes) / 1048576.0L;
}

long double DiskFreeMB(quint8 drive)
{
    QChar letter = drive == 0 ? platform::currentDrive() : QChar::fromLatin1(char((drive + 64) & 0xFF));
    if (letter.isNull())
        return -1;
    return BytesToMB(platform::diskFreeBytes(QString(letter) + QStringLiteral(":\\")));
}

quint8 DriveNumberOf(const QString &path)
{
    QChar first;
    if (path.startsWith(QLatin1String("\\\\")))
        first = path[0]; // server and share: no drive answers it
    else if (path.size() >= 2 && path[1] == ':')
        first = path[0];
    if (first.isNull())
        return 0;
    // Names are single-byte; a character without a byte would otherwise wrap
    // onto a real drive letter, so it stands as "?" (no drive).
    const int code = first.unicode() > 0xFF ? '?' : first.unicode();
    return quint8((code - 65 + 1) & 0xFF);
}

bool ClearFileAttributes(const QString &fileName)
{
    // An empty name would otherwise resolve to the current folder.
    const int attrs = fileName.isEmpty() ? -1 : platform::fileAttributes(fileName);
    if (attrs < 0)
        return false;
    return platform::setFileAttributes(
        fileName, attrs & ~(platform::faReadOnly | platform::faHidden | platform::faSysFile));
}

// ---- Busy cursor -------------------------------------------------------------

namespace {

QList<int> &cursorStack()
{
    static QList<int> stack;
    return stack;
}

bool ownOverride = false; // the application's top override cursor is ours

bool guiRunning() { return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr; }

bool hourglassShows()
{
    if (!guiRunning())
        return CurrentBusyCursor() == crHourGlass;
    const QCursor *c = QGuiApplication::overrideCursor();
    return c && c->shape() == Qt::WaitCursor;
}

void showTopCursor()
{
    if (!guiRunning())
        return;
    const int top = CurrentBusyCursor();
    if (top == crDefault) {
        if (ownOverride)
            QGuiApplication::restoreOverrideCursor();
        ownOverride = false;
        return;
    }
    const QCursor c(top == crHourGlass ? Qt::WaitCursor : Qt::BusyCursor);
    if (ownOverride) {
        QGuiApplication::changeOverrideCursor(c);
    } else {
        QGuiApplication::setOverrideCursor(c);
        ownOverride = true;
    }
}

} // namespace

void SetBusyCursor(bool push, bool background)
{
    if (push)
        cursorStack().append(background && !hourglassShows() ? crAppStart : crHourGlass);
    else if (!cursorStack().isEmpty())
        cursorStack().removeLast();
    showTopCursor();
}

int CurrentBusyCursor() { return cursorStack().isEmpty() ? crDefault : cursorStack().last(); }

// ---- Controls ----------------------------------------------------------------

namespace {

class ToolTipEater : public QObject {
public:
    explicit ToolTipEater(QObject *parent) : QObject(parent) { setObjectName(QStringLiteral("tvoNoToolTips")); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return event->type() == QEvent::ToolTip || QObject::eventFilter(watched, event);
    }
};

bool canFocusNow(const QWidget *w)
{
    return w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus;
}

QPointer<QWidget> &mainFormSlot()
{
    static QPointer<QWidget> form;
    return form;
}

QString pathOf(const QObject *obj)
{
    if (!obj)
        return QStringLiteral("nil");
    QString s = QString::fromLatin1(obj->metaObject()->className());
    const bool isForm = obj->isWidgetType() && static_cast<const QWidget *>(obj)->isWindow();
    if (!isForm)
        s += '-' + obj->objectName();
    if (obj != MainForm())
        s = pathOf(obj->parent()) + QStringLiteral(", ") + s;
    return s;
}

} // namespace

void DisableTreeToolTips(QTreeView *tree)
{
    if (!tree)
        return;
    QWidget *port = tree->viewport();
    if (tree->findChild<QObject *>(QStringLiteral("tvoNoToolTips"), Qt::FindDirectChildrenOnly))
        return;
    port->installEventFilter(new ToolTipEater(tree));
}

void SafeSetFocus(QWidget *control)
{
    if (control && canFocusNow(control)) {
        control->setFocus(Qt::OtherFocusReason);
        return;
    }
    QString message = QStringLiteral("Problem z SetFocus dla: ") + ComponentPath(control);
    if (control) {
        const bool visible = !control->isHidden();
        const bool enabled = !control->testAttribute(Qt::WA_ForceDisabled);
        message += QStringLiteral("\r(Visible=%1, Enabled=%2, CanFocus=%3)")
                       .arg(int(visible))
                       .arg(int(enabled))
                       .arg(int(canFocusNow(control)));
    }
    throw ESetFocusError(message);
}

void SetMainForm(QWidget *form) { mainFormSlot() = form; }

QWidget *MainForm()
{
    if (mainFormSlot())
        return mainFormSlot();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    QWidget *only = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->windowType() != Qt::Window)
            continue;
        if (only)
            return nullptr;
        only = w;
    }
    return only;
}

QString ComponentPath(const QObject *obj)
{
    try {
        return pathOf(obj);
    } catch (...) {
        return QStringLiteral("***");
    }
}

// ---- Turned fonts -------------------------------------------------------------

void RotateFont(TRotatedFont &font, int angle)
{
    const QFont &old = font.font;
    QFont f(old.family());
    if (old.pixelSize() > 0)
        f.setPixelSize(old.pixelSize());
    else
        f.setPointSizeF(old.pointSizeF());
    f.setWeight(!old.bold() ? QFont::Normal : old.weight() > QFont::Bold ? old.weight() : QFont::Bold);
    f.setItalic(old.italic());
    f.setUnderline(old.underline());
    f.setStrikeOut(old.strikeOut());
    if (old.resolveMask() & QFont::FixedPitchResolved)
        f.setFixedPitch(old.fixedPitch());
    font.font = f;
    font.angle = angle;
}

TRotatedFont RotatedFont(const QFont &font, int angle)
{
    TRotatedFont r{font, 0};
    RotateFont(r, angle);
    return r;
}

static QTransform turnAbout(const QPointF &origin, int angle)
{
    // Counter-clockwise on screen; Qt turns clockwise with y pointing down.
    return QTransform().translate(origin.x(), origin.y()).rotate(-(angle % 360));
}

QRectF rotatedTextBounds(const TRotatedFont &font, const QPointF &origin, const QString &text)
{
    const QFontMetricsF fm(font.font);
    return turnAbout(origin, font.angle).mapRect(QRectF(0, 0, fm.horizontalAdvance(text), fm.height()));
}

void drawRotatedText(QPainter &painter, const TRotatedFont &font, const QPointF &origin, const QString &text)
{
    painter.save();
    painter.setFont(font.font);
    painter.setTransform(turnAbout(origin, font.angle), true);
    painter.drawText(QPointF(0, QFontMetricsF(font.font).ascent()), text);
    painter.restore();
}

// ---- Formatting defaults ------------------------------------------------------

namespace {

TFormatSettings &settings()
{
    static TFormatSettings s{QChar(' '), QChar(','), QChar('-'), QChar(':'), QStringLiteral("dd-mm-yyyy"),
                             QStringLiteral("dd-mm-yyyy hh:mm:ss")};
    return s;
}

// Start-up step of this module: it runs before main() in every program that
// links it.
[[maybe_unused]] const bool formatDefaultsSet = (InitFormatSettings(), true);

QString padded(int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QChar('0')); }

} // namespace

void InitFormatSettings()
{
    TFormatSettings &s = settings();
    s.ThousandSeparator = QChar(' ');
    s.DecimalSeparator = QChar(',');
    s.DateSeparator = QChar('-');
    s.TimeSeparator = QChar(':');
    s.ShortDateFormat = QStringLiteral("dd-mm-yyyy");
    s.LongDateFormat = QStringLiteral("dd-mm-yyyy hh:mm:ss");
    std::srand(unsigned(std::time(nullptr)));
}

const TFormatSettings &FormatSettings() { return settings(); }

QString FormatNumber(long double value, int decimals, bool groupThousands)
{
    decimals = qBound(0, decimals, 18);
    // to_chars, unlike printf, always writes a point: the user's numeric
    // locale (set up by the application object) must not reach this text.
    char buf[128];
    auto done = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (done.ec != std::errc())
        done = std::to_chars(buf, buf + sizeof buf, value); // beyond any sensible size
    QString plain = QString::fromLatin1(buf, done.ptr - buf);
    if (plain.isEmpty() || !plain.back().isDigit() || plain.contains('e'))
        return plain.replace('.', settings().DecimalSeparator); // inf, nan, or beyond any sensible size
    QString sign;
    if (plain.startsWith('-')) {
        plain.remove(0, 1);
        if (plain.contains(QRegularExpression(QStringLiteral("[1-9]"))))
            sign = QStringLiteral("-");
    }
    const qsizetype dot = plain.indexOf('.');
    QString whole = dot < 0 ? plain : plain.left(dot);
    const QString fraction = dot < 0 ? QString() : plain.mid(dot + 1);
    if (groupThousands)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, settings().ThousandSeparator);
    return sign + whole + (fraction.isEmpty() ? QString() : settings().DecimalSeparator + fraction);
}

QString FormatDateTime(const QString &format, const QDateTime &dateTime)
{
    const QDate d = dateTime.date();
    const QTime t = dateTime.time();
    QString out;
    QChar lastLetter;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == '\'' || c == '"') {
            const qsizetype end = format.indexOf(c, i + 1);
            out += format.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        if (c == '/' || c == ':') {
            out += c == '/' ? settings().DateSeparator : settings().TimeSeparator;
            ++i;
            continue;
        }
        const QChar k = c.toLower();
        qsizetype n = 1;
        while (i + n < format.size() && format[i + n].toLower() == k)
            ++n;
        const int w = n >= 2 ? 2 : 1;
        switch (k.unicode()) {
        case 'y': out += n <= 2 ? padded(d.year() % 100, 2) : padded(d.year(), 4); break;
        case 'm': out += padded(lastLetter == 'h' ? t.minute() : d.month(), w); break;
        case 'd': out += padded(d.day(), w); break;
        case 'h': out += padded(t.hour(), w); break;
        case 'n': out += padded(t.minute(), w); break;
        case 's': out += padded(t.second(), w); break;
        case 'z': out += padded(t.msec(), n >= 3 ? 3 : 1); break;
        default: out += format.mid(i, n); break;
        }
        if (k.isLetter())
            lastLetter = k;
        i += n;
    }
    return out;
}

QString DateToStr(const QDate &date) { return FormatDateTime(settings().ShortDateFormat, QDateTime(date, QTime(0, 0))); }

QString DateTimeToStr(const QDateTime &value) { return FormatDateTime(settings().LongDateFormat, value); }
