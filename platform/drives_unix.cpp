#include "drives.h"

#include <QDir>
#include <QMap>
#include <QProcessEnvironment>
#include <QStorageInfo>
#include <QStringList>

#include <algorithm>

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
// One pass over the text into one buffer sized beforehand: it runs for
// several paths of every file an installation touches.
QString joinUnder(const QString &root, const QStringList &base, QStringView rest)
{
    const qsizetype rootSize = root == QLatin1String("/") ? 0 : root.size(); // ".." stops here
    qsizetype size = rootSize + rest.size() + 1;
    for (const QString &p : base)
        size += p.size() + 1;
    QString out(size, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *d = begin;
    const auto put = [&d](const char16_t *from, qsizetype n) {
        *d++ = u'/';
        std::copy_n(from, n, d);
        d += n;
    };
    std::copy_n(QStringView(root).utf16(), rootSize, d);
    d += rootSize;
    for (const QString &p : base)
        put(QStringView(p).utf16(), p.size());
    const char16_t *text = rest.utf16();
    const qsizetype n = rest.size();
    for (qsizetype i = 0; i < n;) {
        qsizetype j = i;
        while (j < n && text[j] != u'/' && text[j] != u'\\')
            ++j;
        const qsizetype len = j - i;
        if (len == 2 && text[i] == u'.' && text[i + 1] == u'.') {
            while (d > begin + rootSize && *--d != u'/') {
            }
        } else if (len > 0 && !(len == 1 && text[i] == u'.')) {
            put(text + i, len);
        }
        i = j + 1;
    }
    if (d == begin)
        return QStringLiteral("/");
    out.truncate(d - begin);
    return out;
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
        const QStringView rest = QStringView(path).mid(2);
        if (rest.startsWith(u'\\') || rest.startsWith(u'/'))
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

DriveKind driveKind(QChar letter)
{
    const QString root = driveRoot(letter);
    const QStorageInfo info(root);
    return driveKindOfFileSystem(info.isValid() ? info.fileSystemType() : QByteArray(), root);
}

QString driveLabel(QChar letter) { return driveRoot(letter); }

// A missing medium is an error of the call here; no box is ever shown.
QuietDriveErrors::QuietDriveErrors() = default;
QuietDriveErrors::~QuietDriveErrors() = default;

bool connectNetworkDrive(quintptr) { return false; }

} // namespace platform
