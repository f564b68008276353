#include "program.h"

namespace platform {
namespace {

// One argument as the C runtime and CommandLineToArgvW read it back.
QString quoted(const QString &arg)
{
    QString out = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out += QString(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    return out + QString(backslashes * 2, '\\') + '"';
}

} // namespace

QString quotedCommandLine(const QStringList &args)
{
    QStringList q;
    for (const QString &a : args)
        q << quoted(a);
    return q.join(' ');
}

} // namespace platform
