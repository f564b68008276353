#include "names.h"

#include <QHash>
#include <QRegularExpression>

namespace platform {
namespace {

QString partProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("pusta nazwa");
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (device.match(name).hasMatch())
        return QStringLiteral("„%1” to nazwa urządzenia systemu Windows").arg(name);
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return QStringLiteral("„%1” zawiera znak sterujący").arg(name);
        if (QStringLiteral("<>:\"|?*").contains(c))
            return QStringLiteral("„%1” zawiera znak %2, niedozwolony w nazwach plików Windows").arg(name, c);
    }
    if (name.endsWith('.') && name != QLatin1String(".") && name != QLatin1String(".."))
        return QStringLiteral("„%1” kończy się kropką").arg(name);
    if (name.endsWith(' '))
        return QStringLiteral("„%1” kończy się spacją").arg(name);
    return {};
}

} // namespace

QString windowsNameProblem(const QString &relPath)
{
    for (const QString &part : relPath.split(QRegularExpression(QStringLiteral("[/\\\\]"))))
        if (const QString problem = partProblem(part); !problem.isEmpty())
            return problem;
    return {};
}

QStringList letterCaseTwins(const QStringList &relPaths)
{
    QHash<QString, QString> seen; // folded name -> first path
    for (QString path : relPaths) {
        path.replace('\\', '/');
        const QString folded = path.toCaseFolded();
        const auto it = seen.constFind(folded);
        if (it == seen.cend())
            seen.insert(folded, path);
        else if (*it != path)
            return {*it, path};
    }
    return {};
}

} // namespace platform
