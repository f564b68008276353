#include "drives.h"

#include <QDir>
#include <QMap>
#include <QProcessEnvironment>
#include <QStringList>

namespace platform {
namespace {

QMap<QChar, QString> defaultTable()
{
    QMap<QChar, QString> t;
    t.insert(QChar('C'), QDir::cleanPath(QDir::homePath()));
    t.insert(QChar('Z'), QStringLiteral("/"));
    const auto env = QProcessEnvironment::systemEnvironment();
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QString v = env.value(QStringLiteral("TVO_DRIVE_") + QChar(c));
        if (!v.isEmpty())
            t.insert(QChar(c), QDir::cleanPath(QDir(v).absolutePath()));
    }
    return t;
}

QMap<QChar, QString> &table()
{
    static QMap<QChar, QString> t = defaultTable();
    return t;
}

bool isPrefixFolder(const QString &root, const QString &path)
{
    if (root == QLatin1String("/"))
        return path.startsWith('/');
    return path == root || path.startsWith(root + '/');
}

// The letter whose folder holds a clean absolute host path (longest root).
QChar driveHolding(const QString &hostPath)
{
    QChar best;
    qsizetype bestLen = -1;
    for (auto it = table().cbegin(); it != table().cend(); ++it) {
        if (isPrefixFolder(it.value(), hostPath) && it.value().size() > bestLen) {
            best = it.key();
            bestLen = it.value().size();
        }
    }
    return best;
}

// Joins segments under a root, resolving "." and ".." without leaving it.
// One pass over the text into one string: it runs for every file an
// installation touches.
QString joinUnder(const QString &root, const QStringList &base, const QString &rest)
{
    QString out = root == QLatin1String("/") ? QString() : root;
    const qsizetype floor = out.size(); // ".." stops at the root
    qsizetype size = out.size() + rest.size() + 1;
    for (const QString &p : base)
        size += p.size() + 1;
    out.reserve(size);
    for (const QString &p : base)
        out.append('/').append(p);
    const QChar *text = rest.constData();
    const qsizetype n = rest.size();
    for (qsizetype i = 0; i < n;) {
        qsizetype j = i;
        while (j < n && text[j] != '/' && text[j] != '\\')
            ++j;
        const QStringView seg(text + i, j - i);
        if (seg == u"..") {
            const qsizetype cut = out.lastIndexOf('/');
            if (cut >= floor)
                out.truncate(cut);
        } else if (!seg.isEmpty() && seg != u".") {
            out.append('/').append(seg);
        }
        i = j + 1;
    }
    return out.isEmpty() ? QStringLiteral("/") : out;
}

QStringList relativeParts(const QString &root, const QString &hostFolder)
{
    QString rel = hostFolder.mid(root == QLatin1String("/") ? 1 : root.size() + 1);
    return rel.split('/', Qt::SkipEmptyParts);
}

} // namespace

QList<QChar> driveLetters() { return table().keys(); }

QString driveRoot(QChar letter) { return table().value(letter.toUpper()); }

void setDriveRoot(QChar letter, const QString &hostFolder)
{
    if (hostFolder.isEmpty())
        table().remove(letter.toUpper());
    else
        table().insert(letter.toUpper(), QDir::cleanPath(QDir(hostFolder).absolutePath()));
}

void resetDrives() { table() = defaultTable(); }

QChar currentDrive() { return driveHolding(QDir::cleanPath(QDir::currentPath())); }

QString toHostPath(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\")) || path.startsWith(QLatin1String("//")))
        return {};
    // The current folder is asked for only when the path is relative to it:
    // a full drive path (every path of an installation) needs no system call.
    if (path.size() >= 2 && path[1] == ':') {
        const QChar letter = path[0].toUpper();
        const QString root = driveRoot(letter);
        if (root.isEmpty())
            return {};
        QString rest = path.mid(2);
        if (rest.startsWith('\\') || rest.startsWith('/'))
            return joinUnder(root, {}, rest);
        // "C:name" is relative to the current folder when that lies on C:.
        const QString cwd = QDir::cleanPath(QDir::currentPath());
        if (letter == driveHolding(cwd))
            return joinUnder(root, relativeParts(root, cwd), rest);
        return joinUnder(root, {}, rest);
    }
    const QString cwd = QDir::cleanPath(QDir::currentPath());
    const QChar cur = driveHolding(cwd);
    const QString root = cur.isNull() ? QStringLiteral("/") : driveRoot(cur);
    if (path.startsWith('\\') || path.startsWith('/'))
        return joinUnder(root, {}, path);
    return joinUnder(root, relativeParts(root, cwd), path);
}

qsizetype lastSeparator(const QString &path) { return std::max(path.lastIndexOf('\\'), path.lastIndexOf(':')); }

QString fileNamePart(const QString &path) { return path.mid(lastSeparator(path) + 1); }

QString toDrivePath(const QString &hostPath)
{
    const QString p = QDir::cleanPath(QDir(hostPath).absolutePath());
    const QChar best = driveHolding(p);
    if (best.isNull())
        return {};
    const QString root = driveRoot(best);
    QString rest = p.mid(root == QLatin1String("/") ? 1 : root.size() + 1);
    rest.replace('/', '\\');
    return QString(best) + QStringLiteral(":\\") + rest;
}

} // namespace platform
