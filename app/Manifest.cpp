#include "Manifest.h"

#include <QHash>
#include <QVarLengthArray>

#include "DesktopIntegration.h"
#include "Exceptions.h"
#include "crc32.h"
#include "fileio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <charconv>

namespace {

const QByteArray kHeader = "TVO-MANIFEST 1";

// Appends the path's bytes as on disk (also where they are not UTF-8), with
// the backslash and the line breaks escaped; runs between them are copied whole.
void appendEscaped(QByteArray &out, const QString &path)
{
    const QByteArray bytes = platform::hostNameBytes(path);
    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    while (p < end) {
        const char *q = p;
        while (q < end && *q != '\\' && *q != '\n' && *q != '\r')
            ++q;
        out.append(p, q - p);
        if (q == end)
            break;
        out.append(*q == '\\' ? "\\\\" : *q == '\n' ? "\\n" : "\\r", 2);
        p = q + 1;
    }
}

void appendNumber(QByteArray &out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits).append(' ');
}

bool unescaped(const QByteArray &in, QString &path)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size())
            return false;
        const char c = in[i];
        if (c == '\\')
            out += '\\';
        else if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else
            return false;
    }
    path = platform::hostNameFromBytes(out);
    return !path.isEmpty();
}

QString crcHex(const QByteArray &bytes)
{
    return QStringLiteral("%1").arg(platform::crc32(0, bytes.constData(), size_t(bytes.size())), 8, 16, QChar('0'));
}

bool holds(const QString &folder, const QString &path)
{
    return path.startsWith(folder.endsWith(u'/') ? folder : folder + '/'); // "/" and "C:/" end in one
}

// Why the path is not something an installation writes; empty when it is.
// A folder outside the target must hold the target or one of the files
// outside it (`outside`).
QString pathProblem(const QString &path, platform::FileStamp::Kind kind, const QString &target,
                    const QStringList &outside)
{
    if (isOutsideTarget(path)) {
        if (QDir::cleanPath(path) != path)
            return QStringLiteral("ścieżka nie jest w postaci prostej");
        if (kind == platform::FileStamp::Folder) {
            bool onTheWay = holds(path, target);
            for (const QString &file : outside)
                onTheWay = onTheWay || holds(path, file);
            return onTheWay ? QString() : QStringLiteral("katalog poza katalogiem programu");
        }
        const QString name = QFileInfo(path).fileName();
        if (Integration::isIntegrationFileName(name))
            return {};
        return QStringLiteral("plik poza katalogiem programu");
    }
    if (path == QLatin1String("."))
        return kind == platform::FileStamp::Folder ? QString() : QStringLiteral("nieprawidłowa nazwa");
    for (const QString &part : path.split('/'))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral("ścieżka wychodzi poza katalog programu");
    return {};
}

} // namespace

QByteArray manifestText(const Manifest &manifest)
{
    QByteArray text = kHeader + '\n';
    text.reserve(text.size() + manifest.size() * 96);
    for (const ManifestEntry &e : manifest) {
        const auto &s = e.stamp;
        if (s.kind == platform::FileStamp::Folder) {
            text.append("D ", 2);
        } else {
            text.append(s.kind == platform::FileStamp::Link ? "L " : "F ", 2);
            appendNumber(text, s.size);
            appendNumber(text, s.mtimeNs);
        }
        appendEscaped(text, e.path);
        text.append('\n');
    }
    return text + "END " + QByteArray::number(manifest.size()) + ' ' + crcHex(text).toLatin1() + '\n';
}

Manifest parseManifest(const QByteArray &text, const QString &targetFolder, const QString &shownName)
{
    const auto damaged = [&](const QString &why) {
        return Exception(QStringLiteral("Lista zainstalowanych plików jest uszkodzona:\r%1\r(%2)").arg(shownName, why));
    };
    const QString target = QDir::cleanPath(targetFolder);
    const qsizetype end = text.lastIndexOf("\nEND ");
    if (!text.startsWith(kHeader + '\n'))
        throw damaged(text.startsWith("TVO-MANIFEST ") ? QStringLiteral("nieznana wersja listy")
                                                       : QStringLiteral("brak nagłówka"));
    if (end < 0 || !text.endsWith('\n'))
        throw damaged(QStringLiteral("lista jest niepełna"));
    const QByteArray body = text.left(end + 1);
    const QList<QByteArray> endFields = text.mid(end + 1).trimmed().split(' ');
    if (endFields.size() != 3 || endFields[2] != crcHex(body).toLatin1())
        throw damaged(QStringLiteral("suma kontrolna się nie zgadza"));

    Manifest manifest;
    QList<qsizetype> lineOf;
    const QList<QByteArray> lines = body.split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) { // the header, then up to the final line break
        const QByteArray &line = lines[i];
        const QString where = QStringLiteral("wiersz %1").arg(i + 1);
        ManifestEntry e;
        QByteArray path;
        if (line.startsWith("D ")) {
            e.stamp.kind = platform::FileStamp::Folder;
            path = line.mid(2);
        } else if (line.startsWith("F ") || line.startsWith("L ")) {
            e.stamp.kind = line[0] == 'F' ? platform::FileStamp::File : platform::FileStamp::Link;
            const qsizetype a = line.indexOf(' ', 2), b = a < 0 ? -1 : line.indexOf(' ', a + 1);
            bool okSize = false, okTime = false;
            if (b > 0) {
                e.stamp.size = line.mid(2, a - 2).toLongLong(&okSize);
                e.stamp.mtimeNs = line.mid(a + 1, b - a - 1).toLongLong(&okTime);
                path = line.mid(b + 1);
            }
            if (!okSize || !okTime || e.stamp.size < 0)
                throw damaged(where);
        } else {
            throw damaged(where);
        }
        if (!unescaped(path, e.path))
            throw damaged(where);
        manifest << e;
        lineOf << i + 1;
    }
    QStringList outside;
    for (const ManifestEntry &e : manifest)
        if (e.stamp.kind != platform::FileStamp::Folder && isOutsideTarget(e.path))
            outside << e.path;
    for (qsizetype i = 0; i < manifest.size(); ++i) {
        const QString problem = pathProblem(manifest[i].path, manifest[i].stamp.kind, target, outside);
        if (!problem.isEmpty())
            throw damaged(QStringLiteral("wiersz %1: %2").arg(lineOf[i]).arg(problem));
    }
    if (endFields[1] != QByteArray::number(manifest.size()))
        throw damaged(QStringLiteral("lista jest niepełna"));
    return manifest;
}

Manifest readManifest(const QString &hostFile)
{
    QFile f(hostFile);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Nie można odczytać listy zainstalowanych plików:\r%1\r%2")
                            .arg(hostFile, f.errorString()));
    return parseManifest(f.readAll(), QFileInfo(hostFile).absolutePath(), hostFile);
}

void writeManifest(const QString &hostFile, const Manifest &manifest)
{
    QString error;
    if (!platform::replaceFile(hostFile, 0644, manifestText(manifest), &error))
        throw Exception(QStringLiteral("Nie można zapisać listy zainstalowanych plików:\r%1\r%2").arg(hostFile, error));
}

void InstallRecord::setTarget(const QString &hostFolder) { m_target = QDir::cleanPath(hostFolder); }

void InstallRecord::add(const QString &path)
{
    if (!m_recorded.contains(path)) {
        m_recorded.insert(path);
        m_paths << path;
    }
}

void InstallRecord::addBelowTarget(const QString &relName)
{
    // The path with '/' between its parts, up to a "." or ".." part: nothing
    // is ever written there, so it and what follows are never recorded.
    QString rel(relName.size(), Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(rel.data());
    char16_t *d = begin;
    const char16_t *text = QStringView(relName).utf16();
    const qsizetype n = relName.size();
    QVarLengthArray<qsizetype, 16> ends; // where each part ends in rel
    bool stopped = false;
    for (qsizetype i = 0; i < n && !stopped;) {
        qsizetype j = i;
        while (j < n && text[j] != u'/' && text[j] != u'\\')
            ++j;
        const qsizetype len = j - i;
        if ((len == 1 && text[i] == u'.') || (len == 2 && text[i] == u'.' && text[i + 1] == u'.')) {
            stopped = true;
        } else if (len > 0) {
            if (d != begin)
                *d++ = u'/';
            d = std::copy_n(text + i, len, d);
            ends.append(d - begin);
        }
        i = j + 1;
    }
    if (ends.isEmpty())
        return;
    rel.truncate(d - begin);
    // The folders above a recorded path are recorded with it: when the
    // entry's own folder is known, only the entry is new (the usual case).
    const qsizetype folders = ends.size() - 1;
    if (stopped || folders == 0 || !m_recorded.contains(rel.left(ends[folders - 1]))) {
        for (qsizetype k = 0; k < folders; ++k)
            add(rel.left(ends[k]));
    }
    if (!stopped)
        add(rel);
    else
        add(rel.left(ends.back()));
}

void InstallRecord::addCreatedFolders(const QStringList &hostFolders)
{
    for (const QString &f : hostFolders) {
        const QString clean = QDir::cleanPath(f);
        add(clean == m_target ? QStringLiteral(".") : clean);
    }
}

void InstallRecord::addOutside(const QString &hostFile) { add(QDir::cleanPath(hostFile)); }

void manifestLocation(const QString &path, const QString &target, QString &root, QString &rel)
{
    if (isOutsideTarget(path)) {
        root = QFileInfo(path).absolutePath();
        rel = QFileInfo(path).fileName();
    } else {
        root = target;
        rel = path == QLatin1String(".") ? QString() : path;
    }
}

Manifest InstallRecord::stamped(const Manifest &previous) const
{
    // The paths below the target are stamped folder by folder, each folder
    // opened once; their list keeps the order they were recorded in.
    QHash<QString, platform::FileStamp> below;
    {
        QStringList inTarget;
        const auto collect = [&inTarget](const QString &path) {
            if (!isOutsideTarget(path) && path != QLatin1String("."))
                inTarget << path;
        };
        for (const ManifestEntry &old : previous)
            collect(old.path);
        for (const QString &path : m_paths)
            collect(path);
        // '/' before every other character keeps a folder's items together.
        // Recorded folder by folder, the list is mostly in that order already.
        const auto before = [](const QString &a, const QString &b) {
            const char16_t *pa = QStringView(a).utf16(), *pb = QStringView(b).utf16();
            const qsizetype n = std::min(a.size(), b.size());
            const auto [ia, ib] = std::mismatch(pa, pa + n, pb);
            if (ia == pa + n)
                return a.size() < b.size();
            if (*ia == u'/' || *ib == u'/')
                return *ia == u'/';
            return *ia < *ib;
        };
        if (!std::is_sorted(inTarget.cbegin(), inTarget.cend(), before))
            std::sort(inTarget.begin(), inTarget.end(), before);
        platform::StampReader reader(m_target);
        for (const QString &path : inTarget)
            if (!below.contains(path))
                below.insert(path, reader.stamp(path));
    }
    const auto stampOf = [this, &below](const QString &path) {
        if (const auto it = below.constFind(path); it != below.cend())
            return *it;
        QString root, rel;
        manifestLocation(path, m_target, root, rel);
        return platform::stampBelow(root, rel);
    };
    const auto usable = [](const platform::FileStamp &s) {
        return s.kind == platform::FileStamp::File || s.kind == platform::FileStamp::Folder
               || s.kind == platform::FileStamp::Link;
    };
    Manifest out;
    for (const ManifestEntry &old : previous) {
        if (m_recorded.contains(old.path))
            continue;
        if (usable(stampOf(old.path)))
            out << old;
    }
    for (const QString &path : m_paths) {
        const platform::FileStamp s = stampOf(path);
        if (usable(s))
            out << ManifestEntry{path, s};
    }
    // Folders after everything they hold, so that the list reads in the
    // order the uninstaller removes it; the order is otherwise kept.
    std::stable_sort(out.begin(), out.end(), [](const ManifestEntry &a, const ManifestEntry &b) {
        return (a.stamp.kind == platform::FileStamp::Folder) < (b.stamp.kind == platform::FileStamp::Folder);
    });
    return out;
}

qint64 installedBytes(const Manifest &manifest)
{
    qint64 bytes = 0;
    for (const ManifestEntry &e : manifest)
        if (e.stamp.kind == platform::FileStamp::File && !isOutsideTarget(e.path))
            bytes += e.stamp.size;
    return bytes;
}
