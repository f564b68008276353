#include "FindFiles.h"

#include "drives.h"
#include "files.h"
#include "log.h"

#include <QCollator>
#include <QDate>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

// ---- attributes, items and the list ---------------------------------------

TFileAttrs TFileAttrs::fromPlatform(int attrs)
{
    TFileAttrs s;
    const std::pair<int, TFileAttr> map[] = {{faReadOnly, atReadOnly}, {faArchive, atArchive},
        {faSysFile, atSystem}, {faHidden, atHidden}, {faDirectory, atDirectory}};
    for (const auto &[bit, member] : map)
        if (attrs & bit)
            s.m_bits |= 1u << member;
    return s;
}

TFileObj::TFileObj(QString rootDir, QString subDir, const QString &fileName, TFileAttrs attr, double time,
                   std::int32_t size)
    : m_dir(rootDir + subDir), m_rootDir(std::move(rootDir)), m_subDir(std::move(subDir)), m_attr(attr),
      m_time(time), m_size(size)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    m_baseName = dot < 0 ? fileName : fileName.left(dot);
    m_ext = dot < 0 ? QString() : fileName.mid(dot);
}

TFileObj *TFileList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items[size_t(index)].get();
}

void TFileList::Add(TFileObj *item) { m_items.emplace_back(item); }

void TFileList::Clear() { m_items.clear(); }

void TFileList::Sort(TFileSortOrder order)
{
    using Item = std::unique_ptr<TFileObj>;
    if (order == soTime) {
        std::sort(m_items.begin(), m_items.end(), [](const Item &a, const Item &b) { return a->Time() < b->Time(); });
        return;
    }
    if (order != soNameNoCase && order != soNameCase)
        return;
    QCollator coll{QLocale()};
    coll.setCaseSensitivity(order == soNameCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    std::vector<std::pair<QString, Item>> keyed;
    keyed.reserve(m_items.size());
    for (Item &it : m_items)
        keyed.emplace_back(it->FullName(), std::move(it));
    std::sort(keyed.begin(), keyed.end(),
              [&coll](const auto &a, const auto &b) { return coll.compare(a.first, b.first) < 0; });
    for (size_t i = 0; i < keyed.size(); ++i)
        m_items[i] = std::move(keyed[i].second);
}

// ---- wildcard matching and rounding ---------------------------------------

namespace {

bool globMatch(QStringView name, QStringView mask)
{
    // Iterative match with one back-tracking point for the last "*".
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

// Both sides already case-folded.
bool matchFolded(QStringView n, QStringView m)
{
    if (m.isEmpty())
        return false;
    if (globMatch(n, m))
        return true;
    // "name.*" stands for the name with any extension or none.
    if (m.endsWith(QLatin1String(".*")) && globMatch(n, m.chopped(2)))
        return true;
    // "name." stands for the name without any extension.
    if (m.size() > 1 && m.endsWith('.') && !n.contains('.') && globMatch(n, m.chopped(1)))
        return true;
    return false;
}

} // namespace

bool MatchesMask(const QString &name, const QString &mask)
{
    return matchFolded(name.toCaseFolded(), mask.toCaseFolded());
}

int RoundedPercent(std::int64_t index, std::int64_t count)
{
    if (count <= 0)
        return 0;
    const std::int64_t num = index * 100;
    std::int64_t q = num / count;
    const std::int64_t twice = (num % count) * 2;
    if (twice > count || (twice == count && (q & 1)))
        ++q;
    return int(q);
}

// ---- the search -------------------------------------------------------------

namespace {

// Days since 30 December 1899, local time, in the packed date-time format's
// 2-second steps and range (1980 to 2107). localtime_r, unlike a QDateTime
// conversion, does not look at the time-zone file again for every entry.
double packedTime(const struct stat &st)
{
    static const QDate epoch(1899, 12, 30);
    struct tm tm {};
    const time_t secs = st.st_mtim.tv_sec;
    if (!localtime_r(&secs, &tm) || tm.tm_year < 80)
        return double(epoch.daysTo(QDate(1980, 1, 1)));
    if (tm.tm_year > 207)
        return double(epoch.daysTo(QDate(2107, 12, 31))) + 86398 / 86400.0;
    const int daySecs = tm.tm_hour * 3600 + tm.tm_min * 60 + (std::min(tm.tm_sec, 59) & ~1);
    return double(epoch.daysTo(QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday))) + daySecs / 86400.0;
}

struct DirCloser {
    void operator()(DIR *d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// One entry of the folder being scanned; the file system is asked about it
// only when a mask or the descent needs to know.
struct Entry {
    QByteArray raw;
    QString name;
    QString folded;
    bool probed = false;
    int attrs = -1; // -1: vanished or unreadable
    struct stat st {};
};

QString joinHost(const QString &folder, const QString &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

struct TFindFiles::Walk {
    TFindFiles &ff;
    QString root;        // drive form, with "\"
    QStringList masks;   // case-folded
    int include = 0;     // platform bits that may be present on a listed entry
    struct Folder {
        QString drive; // without a trailing "\" (except the root)
        QString host;
        dev_t dev;
        ino_t ino;
        qsizetype parent; // index in the queue, -1 for the root
    };
    std::vector<Folder> queue;

    // Whether the folder (dev, ino) is the queue's folder at index or one of
    // the folders it lies in: descending into it again would be a link cycle.
    // A link to any other folder is followed, so the folder behind it is
    // listed under both names and no real folder is ever left out.
    bool onChain(qsizetype index, dev_t dev, ino_t ino) const
    {
        for (; index >= 0; index = queue[size_t(index)].parent)
            if (queue[size_t(index)].dev == dev && queue[size_t(index)].ino == ino)
                return true;
        return false;
    }

    void probe(DIR *d, const QString &host, Entry &e) const
    {
        if (e.probed)
            return;
        e.probed = true;
        if (fstatat(dirfd(d), e.raw.constData(), &e.st, 0) == 0)
            e.attrs = hostFileAttributes(joinHost(host, e.name));
    }

    bool passes(const Entry &e) const
    {
        const int gated = faHidden | faSysFile | faVolumeID | faDirectory;
        if (e.attrs < 0 || (e.attrs & gated & ~include))
            return false;
        const TFileAttrs have = TFileAttrs::fromPlatform(e.attrs);
        for (int a = atReadOnly; a <= atDirectory; ++a)
            if (ff.m_modes[a] == fmYes && !have.contains(TFileAttr(a)))
                return false;
        return true;
    }

    void add(const QString &subDir, const Entry &e) const
    {
        auto *obj = new TFileObj(root, subDir, e.name, TFileAttrs::fromPlatform(e.attrs), packedTime(e.st),
                                 std::int32_t(std::uint32_t(e.st.st_size)));
        bool accept = true, stop = false;
        try {
            if (ff.OnAddFile)
                ff.OnAddFile(obj, accept, stop);
            if (accept)
                ff.FileList.Add(obj);
            else
                delete obj;
        } catch (...) {
            delete obj; // a failing handler costs only this item
            return;
        }
        if (stop)
            throw EAbort();
    }

    void scan(qsizetype index)
    {
        const Folder f = queue[size_t(index)]; // a copy: the queue grows below
        struct stat st {};
        const QByteArray hostBytes = QFile::encodeName(f.host);
        if (::stat(hostBytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || access(hostBytes.constData(), X_OK) != 0)
            return;
        DirHandle d(opendir(hostBytes.constData()));
        if (!d)
            return;
        std::vector<Entry> entries;
        while (const dirent *de = readdir(d.get())) {
            Entry e;
            e.raw = QByteArray(de->d_name);
            if (e.raw == "." || e.raw == "..")
                continue;
            e.name = QFile::decodeName(e.raw);
            e.folded = e.name.toCaseFolded();
            entries.push_back(std::move(e));
        }
        const QString withSlash = f.drive.endsWith('\\') ? f.drive : f.drive + '\\';
        const QString subDir = withSlash.mid(root.size());
        for (const QString &mask : masks) {
            for (Entry &e : entries) {
                if (!matchFolded(e.folded, mask))
                    continue;
                probe(d.get(), f.host, e);
                if (passes(e))
                    add(subDir, e);
            }
        }
        if (!ff.m_recurse)
            return;
        for (Entry &e : entries) {
            probe(d.get(), f.host, e);
            if (e.attrs < 0 || !(e.attrs & faDirectory))
                continue;
            if (onChain(index, e.st.st_dev, e.st.st_ino))
                continue; // a link back up the tree
            queue.push_back({withSlash + e.name, joinHost(f.host, e.name), e.st.st_dev, e.st.st_ino, index});
        }
    }
};

TFindFiles::TFindFiles(QObject *owner) : QObject(owner) {}

TFindFiles::~TFindFiles() = default;

void TFindFiles::Search()
{
    FileList.Clear();
    if (m_directory.isEmpty())
        throw EFindFilesError(QStringLiteral("Missing \"Directory\" property"));
    if (m_mask.isEmpty())
        throw EFindFilesError(QStringLiteral("Missing \"Mask\" property"));

    Walk w{*this, {}, {}, 0, {}};
    const int bits[] = {faReadOnly, faArchive, faSysFile, faHidden, faDirectory};
    for (int a = atReadOnly; a <= atDirectory; ++a)
        if (m_modes[a] != fmNo)
            w.include |= bits[a];
    if (w.include == 0)
        return;

    // The folder is resolved against the current folder but never made the
    // current folder: nothing else in the process sees the search.
    const QString host = toHostPath(m_directory);
    const QByteArray hostBytes = QFile::encodeName(host);
    struct stat st {};
    QString root = host.isEmpty() ? QString() : toDrivePath(host);
    if (root.isEmpty() || ::stat(hostBytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode)
        || access(hostBytes.constData(), X_OK) != 0) {
        QString why = platform::lastSystemError();
        if (root.isEmpty())
            why = QStringLiteral("no drive behind it");
        else if (st.st_mode != 0 && !S_ISDIR(st.st_mode))
            why = QStringLiteral("not a folder");
        qCWarning(lcSetup) << "cannot search" << host << ":" << why;
        throw EFindFilesError(QStringLiteral("Can not access the directory \"%1\".").arg(m_directory));
    }
    if (!root.endsWith('\\'))
        root += '\\';
    w.root = root;
    for (const QString &m : m_mask.split(';'))
        w.masks << m.toCaseFolded();
    w.queue.push_back({root, host, st.st_dev, st.st_ino, -1});

    const bool report = m_recurse && OnProgress;
    int shown = 0;
    for (size_t index = 0; index < w.queue.size(); ++index) {
        if (report) {
            shown = std::max(shown, RoundedPercent(std::int64_t(index), std::int64_t(w.queue.size())));
            bool stop = false;
            const QString dirName = w.queue[index].drive; // copy: the handler may run a long time
            OnProgress(shown, dirName, stop);
            if (stop)
                throw EAbort();
        }
        w.scan(qsizetype(index));
    }
    if (report) {
        bool stop = true;
        OnProgress(100, QString(), stop);
    }
}
