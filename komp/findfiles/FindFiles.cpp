#include "FindFiles.h"

#include "drives.h"
#include "fileio.h"
#include "files.h"
#include "log.h"

#include <QCollator>
#include <QDate>
#include <QLocale>
#include <algorithm>
#include <optional>
#include <unordered_map>

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

void TFileList::Add(std::unique_ptr<TFileObj> item) { m_items.push_back(std::move(item)); }

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
    const QLocale locale;
    QCollator coll{locale};
    coll.setCaseSensitivity(order == soNameCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    // The C locale compares character by character: two items of one folder
    // compare as their names do, without the folder's text in front.
    const bool byCharacter = locale.language() == QLocale::C;
    struct Keyed {
        QString full;
        Item item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(m_items.size());
    for (Item &it : m_items)
        keyed.push_back({it->FullName(), std::move(it)});
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
        const QString &dirA = a.item->Dir(), &dirB = b.item->Dir();
        if (byCharacter && dirA == dirB)
            return coll.compare(QStringView(a.full).mid(dirA.size()), QStringView(b.full).mid(dirB.size())) < 0;
        return coll.compare(a.full, b.full) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        m_items[i] = std::move(keyed[i].item);
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

// Days since 30 December 1899 of a packed date-time (local time, 2-second
// steps).
double packedDays(std::uint32_t dos)
{
    static const QDate epoch(1899, 12, 30);
    const QDate day(int(dos >> 25) + 1980, int((dos >> 21) & 0x0F), int((dos >> 16) & 0x1F));
    const int daySecs = int((dos >> 11) & 0x1F) * 3600 + int((dos >> 5) & 0x3F) * 60 + int(dos & 0x1F) * 2;
    return double(epoch.daysTo(day)) + daySecs / 86400.0;
}

// A mask that every name matches needs no case folding.
bool matchesEverything(const QString &mask)
{
    return !mask.isEmpty() && (mask == QLatin1String("*.*") || mask.count('*') == mask.size());
}

// One entry of the folder being scanned; the file system is asked about it
// only when a mask or the descent needs to know, and then once.
struct Entry {
    QByteArray raw;
    QString name;
    QString folded; // filled when a mask needs it
    FolderWalker::Kind kind = FolderWalker::KindUnknown; // as the listing gives it
    bool probed = false;
    FileStatus st; // attrs -1: vanished or unreadable
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
    std::vector<bool> matchAll; // per mask: every name matches
    int include = 0;     // platform bits that may be present on a listed entry
    struct Folder {
        QString drive; // without a trailing "\" (except the root)
        QString host;
        std::uint64_t dev;
        std::uint64_t ino;
        bool viaLink; // reached through a link (or an entry whose kind the listing did not give)
    };
    std::vector<Folder> queue;

    // The folders queued so far, by their identity (device and inode), and
    // how they were reached. A folder is descended at most twice: once
    // through the first link that reaches it and once under its own name, so
    // that no real folder is left out. Any later way to it, a link cycle
    // among them, is not descended: the cost grows with the folders, not
    // with the paths through links to them. A tree without links reaches each
    // folder once by itself, so the record starts with the first link.
    struct Seen {
        bool viaLink = false, direct = false;
    };
    struct IdHash {
        std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t> &id) const
        {
            return std::hash<std::uint64_t>()(id.second * 0x9E3779B97F4A7C15ull ^ id.first);
        }
    };
    std::unordered_map<std::pair<std::uint64_t, std::uint64_t>, Seen, IdHash> seen {};
    bool linkMet = false;

    bool record(std::uint64_t dev, std::uint64_t ino, bool viaLink)
    {
        Seen &s = seen[{dev, ino}];
        bool &way = viaLink ? s.viaLink : s.direct;
        if (way || (viaLink && s.direct))
            return false;
        way = true;
        return true;
    }

    // Whether the folder (dev, ino), reached as viaLink says, is to be queued.
    bool firstVisit(std::uint64_t dev, std::uint64_t ino, bool viaLink)
    {
        if (!viaLink && !linkMet)
            return true;
        if (!linkMet) {
            linkMet = true;
            for (const Folder &f : queue)
                record(f.dev, f.ino, f.viaLink);
        }
        return record(dev, ino, viaLink);
    }

    static void probe(const FolderWalker &dir, Entry &e)
    {
        if (e.probed)
            return;
        e.probed = true;
        e.st = dir.status(e.raw);
    }

    bool passes(const Entry &e) const
    {
        const int gated = faHidden | faSysFile | faVolumeID | faDirectory;
        if (e.st.attrs < 0 || (e.st.attrs & gated & ~include))
            return false;
        const TFileAttrs have = TFileAttrs::fromPlatform(e.st.attrs);
        for (int a = atReadOnly; a <= atDirectory; ++a)
            if (ff.m_modes[a] == fmYes && !have.contains(TFileAttr(a)))
                return false;
        return true;
    }

    bool firstOnly = false; // only whether anything passes: nothing is added

    // Adds an item; true when the search ends here.
    bool add(const QString &subDir, const Entry &e) const
    {
        if (firstOnly)
            return true;
        auto obj = std::make_unique<TFileObj>(root, subDir, e.name, TFileAttrs::fromPlatform(e.st.attrs),
                                              packedDays(toDosDateTime(e.st.mtimeSec)),
                                              std::int32_t(std::uint32_t(e.st.size)));
        bool accept = true, stop = false;
        try {
            if (ff.OnAddFile)
                ff.OnAddFile(obj.get(), accept, stop);
        } catch (...) {
            return false; // a failing handler costs only this item
        }
        if (accept)
            ff.FileList.Add(std::move(obj));
        return stop;
    }

    // The root's folder, opened once for the checks and the scan.
    FolderWalker *rootDir = nullptr;

    // Scans one folder of the queue; true when the search ends in it.
    bool scan(qsizetype index)
    {
        const Folder f = queue[size_t(index)]; // a copy: the queue grows below
        std::optional<FolderWalker> own;
        FolderWalker &dir = index == 0 && rootDir ? *rootDir : own.emplace(f.host);
        if (!dir.isOpen())
            return false;
        // What only folders can pass needs no status call for the rest.
        const bool onlyFolders = ff.m_modes[atDirectory] == fmYes;
        std::vector<Entry> entries;
        QByteArray raw;
        FolderWalker::Kind kind;
        while (dir.next(raw, &kind)) {
            Entry e;
            e.kind = kind;
            e.name = hostNameFromBytes(raw);
            e.raw = std::move(raw);
            entries.push_back(std::move(e));
        }
        const QString withSlash = f.drive.endsWith('\\') ? f.drive : f.drive + '\\';
        const QString subDir = withSlash.mid(root.size());
        for (qsizetype m = 0; m < masks.size(); ++m) {
            for (Entry &e : entries) {
                if (!matchAll[size_t(m)]) {
                    if (e.folded.isNull())
                        e.folded = e.name.toCaseFolded();
                    if (!matchFolded(e.folded, masks[m]))
                        continue;
                }
                if (onlyFolders && e.kind == FolderWalker::KindOther)
                    continue;
                probe(dir, e);
                if (passes(e) && add(subDir, e))
                    return true;
            }
        }
        if (!ff.m_recurse)
            return false;
        for (Entry &e : entries) {
            if (e.kind == FolderWalker::KindOther)
                continue;
            probe(dir, e);
            if (!e.st.isFolder())
                continue;
            const bool viaLink = f.viaLink || e.kind != FolderWalker::KindFolder;
            if (!firstVisit(e.st.dev, e.st.ino, viaLink))
                continue; // listed already, or a link back up the tree
            queue.push_back({withSlash + e.name, joinHost(f.host, e.name), e.st.dev, e.st.ino, viaLink});
        }
        return false;
    }
};

TFindFiles::TFindFiles(QObject *owner) : QObject(owner) {}

TFindFiles::~TFindFiles() = default;

void TFindFiles::Search()
{
    FileList.Clear();
    if (walk(false))
        throw EAbort();
}

bool TFindFiles::FindsAny() { return walk(true); }

bool TFindFiles::walk(bool firstOnly)
{
    if (m_directory.isEmpty())
        throw EFindFilesError(QStringLiteral("Missing \"Directory\" property"));
    if (m_mask.isEmpty())
        throw EFindFilesError(QStringLiteral("Missing \"Mask\" property"));

    Walk w{*this, {}, {}, {}, 0, {}};
    const int bits[] = {faReadOnly, faArchive, faSysFile, faHidden, faDirectory};
    for (int a = atReadOnly; a <= atDirectory; ++a)
        if (m_modes[a] != fmNo)
            w.include |= bits[a];
    if (w.include == 0)
        return false;
    w.firstOnly = firstOnly;

    // The folder is resolved against the current folder but never made the
    // current folder: nothing else in the process sees the search.
    const QString host = toHostPath(m_directory);
    QString root = host.isEmpty() ? QString() : toDrivePath(host);
    // A folder that can be entered but not read is searched too (it lists
    // nothing).
    FolderWalker rootDir(root.isEmpty() ? QString() : host);
    const FileStatus st = rootDir.isOpen() ? rootDir.folderStatus() : root.isEmpty() ? FileStatus() : hostStatus(host);
    if (!st.isFolder() || !(rootDir.isOpen() ? rootDir.canEnter() : canEnter(host))) {
        QString why = platform::lastSystemError();
        if (root.isEmpty())
            why = QStringLiteral("no drive behind it");
        else if (st.exists() && !st.isFolder())
            why = QStringLiteral("not a folder");
        qCWarning(lcSetup) << "cannot search" << host << ":" << why;
        throw EFindFilesError(QStringLiteral("Can not access the directory \"%1\".").arg(m_directory));
    }
    if (!root.endsWith('\\'))
        root += '\\';
    w.root = root;
    for (const QString &m : m_mask.split(';')) {
        w.masks << m.toCaseFolded();
        w.matchAll.push_back(matchesEverything(m));
    }
    w.queue.push_back({root, host, st.dev, st.ino, false});
    w.rootDir = &rootDir;

    const bool report = m_recurse && OnProgress && !firstOnly;
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
        if (w.scan(qsizetype(index)))
            return true;
    }
    if (report) {
        bool stop = true;
        OnProgress(100, QString(), stop);
    }
    return false;
}
