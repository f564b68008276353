#pragma once
// Files the program creates and later removes again: written through a
// temporary file and a rename (a link at the name is replaced, never
// followed), looked at and removed without following a link at any step
// below a given folder, so that a folder someone else can write cannot send
// a removal elsewhere.
#include "filehandle.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace platform {

struct FileStamp {
    enum Kind { None, File, Folder, Link, Other };
    Kind kind = None;
    qint64 size = 0;    // bytes of a file, length of a link's text
    qint64 mtimeNs = 0; // last modification, nanoseconds since 1970
    bool operator==(const FileStamp &o) const
    {
        return kind == o.kind && (kind == Folder || (size == o.size && mtimeNs == o.mtimeNs));
    }
};

// The stamp of root/rel (rel '/'-separated, empty for root itself). No link
// below root is followed: a link where a folder was gives Other.
FileStamp stampBelow(const QString &root, const QString &rel);

// The stamps of many paths below one root, each as stampBelow gives it. The
// folders on the way stay open from one path to the next, so that paths
// given folder by folder cost one status call each instead of a descent.
class StampReader {
public:
    explicit StampReader(const QString &root);
    ~StampReader();
    StampReader(const StampReader &) = delete;
    StampReader &operator=(const StampReader &) = delete;

    FileStamp stamp(const QString &rel);

private:
    struct OpenFolder {
        QString name;
        FileHandle fd;
    };
    QString m_root;
    FileHandle m_rootFd;
    bool m_rootOpened = false;
    int m_rootErrno = 0;
    std::vector<OpenFolder> m_chain; // below the root, towards the last path's folder
};

enum class RemoveStatus {
    Removed,
    Missing,  // nothing there any more
    Changed,  // a file or link whose stamp differs, or something else in its place
    NotEmpty, // a folder that still holds something
    Failed,   // the system refused; see the error text
};

// Removes root/rel when it still is what `expected` describes: a file or
// link with the same stamp, or an empty folder.
RemoveStatus removeBelow(const QString &root, const QString &rel, const FileStamp &expected,
                         QString *error = nullptr);

// Removes the file or link root/name whatever it holds (never a folder).
bool removeEntry(const QString &root, const QString &name, QString *error = nullptr);

// Writes hostFile through a fresh temporary file in its folder (created
// exclusively), gives it `mode`, and renames it over the name (a link there is
// replaced, not followed). write() gets the temporary file's descriptor and
// returns false with a reason on failure; nothing is left behind then. The
// QByteArray form is the byte-string replaceFile of tempfile.h.
using FdWriter = std::function<bool(NativeFile fd, QString *error)>;
bool replaceFile(const QString &hostFile, int mode, const FdWriter &write, QString *error = nullptr);
bool replaceFile(const QString &hostFile, int mode, const QByteArray &bytes, QString *error = nullptr);

// The folders of hostPath's chain (hostPath itself first, up to the root)
// that do not exist yet.
QStringList missingFolders(const QString &hostPath);

// Regular files and links below root, relative, without following links.
QStringList filesBelow(const QString &root);

} // namespace platform
