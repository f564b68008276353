// The formatting defaults of Utils.h and the numbers and dates formatted by them.
#include "Utils.h"

#include <QRegularExpression>
#include <charconv>
#include <clocale>
#include <cstring>
#include <cstdlib>
#include <ctime>

namespace {

TFormatSettings defaults()
{
    return {QChar(' '), QChar(','), QChar('-'), QChar(':'), QStringLiteral("dd-mm-yyyy"),
            QStringLiteral("dd-mm-yyyy hh:mm:ss")};
}

// Holds the defaults from its first use on, so that code running before the
// module's start-up step (in Utils.cpp) formats correctly too.
TFormatSettings &settings()
{
    static TFormatSettings s = defaults();
    return s;
}

QString padded(int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QChar('0')); }

} // namespace

void InitFormatSettings()
{
    settings() = defaults();
    std::srand(unsigned(std::time(nullptr)));
}

const TFormatSettings &FormatSettings() { return settings(); }

QString FormatNumber(long double value, int decimals, bool groupThousands)
{
    decimals = qBound(0, decimals, 18);
    // to_chars is meant to write a point whatever the user's numeric locale
    // (set up by the application object): that locale must not reach this
    // text. For a long double the C++ library of MinGW formats through printf
    // all the same, which writes the locale's decimal point: it becomes a
    // point again here.
    char buf[128];
    auto done = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (done.ec != std::errc())
        done = std::to_chars(buf, buf + sizeof buf, value); // beyond any sensible size
    QByteArray chars(buf, done.ptr - buf);
    if (const char *point = std::localeconv()->decimal_point; point && *point && std::strcmp(point, ".") != 0)
        chars.replace(point, ".");
    QString plain = QString::fromLatin1(chars);
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
