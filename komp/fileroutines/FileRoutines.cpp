#include "FileRoutines.h"
#include "Exceptions.h"
#include "Gauges.h"
#include "drives.h"
#include "fileio.h"
#include "files.h"
#include "iobuffer.h"
#include "log.h"

#include <QMetaProperty>
#include <QProgressBar>
#include <cerrno>
#include <climits>
#include <memory>

namespace {

using platform::FileHandle;
using platform::FileStatus;

// Files of 2 GiB and more are shown in units of 2^shift bytes so that the
// control's 32-bit values neither wrap nor go negative.
int scaleShift(qint64 size)
{
    int shift = 0;
    while (size > 0 && (size >> shift) > INT_MAX)
        ++shift;
    return shift;
}

qint32 scaled(qint64 bytes, int shift)
{
    if (bytes < 0)
        return qint32(bytes);
    return qint32(std::min<qint64>(bytes >> shift, INT_MAX));
}

FileHandle openSource(const QString &source, FileStatus &st)
{
    const QString host = platform::toHostPath(source);
    FileHandle fd = host.isEmpty() ? FileHandle() : platform::openForReading(host);
    st = platform::descriptorStatus(fd.get());
    if (!st.exists() || st.isFolder()) {
        const QString why = host.isEmpty() ? QStringLiteral("no drive behind it")
            : st.isFolder()                ? QStringLiteral("a folder")
                                           : platform::lastSystemError();
        qCWarning(lcSetup) << "cannot open" << source << "for reading:" << why;
        throw EFOpenError(QStringLiteral("Cannot open file %1").arg(source));
    }
    return fd;
}

// An existing read-only file is not overwritten, not even by a user whose
// rights would allow it, and neither is the source itself. host and st are
// the target's host path and status; its missing folders are made when the
// file cannot be created without them.
FileHandle createTarget(const QString &target, const QString &host, const FileStatus &st, const FileStatus &source)
{
    const bool refused = st.exists() && ((st.attrs & platform::faReadOnly) || st.sameEntry(source));
    FileHandle fd = host.isEmpty() || refused ? FileHandle() : platform::createFile(host);
    if (fd.get() < 0 && !host.isEmpty() && !refused && errno == ENOENT) {
        CreateFolderPath(target.left(platform::lastSeparator(target) + 1));
        fd = platform::createFile(host);
    }
    if (fd.get() < 0) {
        const QString why = host.isEmpty() ? QStringLiteral("no drive behind it")
            : refused                      ? QStringLiteral("read-only or the source itself")
                                           : platform::lastSystemError();
        qCWarning(lcSetup) << "cannot create" << target << ":" << why;
        throw EFCreateError(QStringLiteral("Cannot create file %1").arg(target));
    }
    // A program stays a program: its execute permission travels with the
    // content (for whoever may read the copy); nothing else of the mode does.
    platform::carryExecutePermission(fd.get(), source.mode);
    return fd;
}

qint64 readBlock(platform::NativeFile fd, char *buf, size_t size)
{
    const qint64 n = platform::readSome(fd, buf, size);
    if (n < 0) {
        qCWarning(lcSetup) << "read failed:" << platform::lastSystemError();
        throw EReadError(QStringLiteral("Stream read error"));
    }
    return n;
}

// A write that stores fewer bytes than asked (a full disk, a file-size
// limit) is a failure too, not a silently shortened copy.
void writeBlock(platform::NativeFile fd, const char *buf, qint64 size)
{
    if (!platform::writeAll(fd, buf, size_t(size))) {
        qCWarning(lcSetup) << "write failed:" << platform::lastSystemError();
        throw EWriteError(QStringLiteral("Stream write error"));
    }
}

// The source's last-write time in the packed format's 2-second steps.
void carryLastWriteTime(platform::NativeFile fd, const FileStatus &source)
{
    platform::setModificationTime(fd, platform::dosRoundedTime(source.mtimeSec), 0);
}

// The control's property of one kind, looked up once per copy.
class ProgressProp {
public:
    ProgressProp(QObject *control, TProgressPropKind kind)
        : m_control(control), m_prop(ProgressControls().ControlProp(control, kind)),
          m_intIndex(m_prop.isValid() && m_prop.metaType() == QMetaType::fromType<int>() ? m_prop.propertyIndex() : -1)
    {
    }
    void set(qint32 value) const
    {
        if (m_intIndex < 0) {
            if (m_prop.isValid())
                m_prop.write(m_control, QVariant(value));
            return;
        }
        // An int property is written as write() writes it, without the
        // variant and its conversion: this runs for every block copied.
        int status = -1, flags = 0;
        void *argv[] = {&value, nullptr, &status, &flags};
        QMetaObject::metacall(m_control, QMetaObject::WriteProperty, m_intIndex, argv);
    }

private:
    QObject *m_control;
    QMetaProperty m_prop;
    int m_intIndex; // the property's index when it is an int, else -1
};

} // namespace

QString NormalizeDirName(const QString &name)
{
    if (name.isEmpty())
        return name;
    const QChar last = name.back();
    if (last == ':' || last == '\\')
        return name;
    const QChar up = name.at(0).toUpper();
    if (name.size() == 1 && up >= 'A' && up <= 'Z')
        return name + QStringLiteral(":\\");
    return name + '\\';
}

bool FolderExists(const QString &path)
{
    const int attrs = platform::fileAttributes(path);
    return attrs != -1 && (attrs & platform::faDirectory);
}

namespace {

// The folder behind a drive need not be there yet (a home folder not made
// yet): it is made with its parents as any folder of a path is.
void makeHostFolderPath(const QString &host)
{
    if (host.isEmpty() || platform::hostFileAttributes(host) != -1)
        return;
    const qsizetype slash = host.lastIndexOf('/');
    if (slash > 0)
        makeHostFolderPath(host.left(slash));
    if (!platform::makeFolder(host))
        qCWarning(lcSetup) << "cannot create the folder" << host << ":" << platform::lastSystemError();
}

} // namespace

void CreateFolderPath(const QString &path)
{
    QString p = path;
    if (p.endsWith('\\'))
        p.chop(1);
    if (p.size() == 2 && p[1] == ':') {
        makeHostFolderPath(platform::toHostPath(p + '\\'));
        return;
    }
    if (p.size() < 3 || FolderExists(p))
        return;
    const QString parent = p.left(platform::lastSeparator(p) + 1);
    if (parent == p)
        return;
    CreateFolderPath(parent);
    const QString host = platform::toHostPath(p);
    if (!host.isEmpty() && !platform::makeFolder(host)) // the caller checks with FolderExists
        qCWarning(lcSetup) << "cannot create the folder" << host << ":" << platform::lastSystemError();
}

namespace {

// The copy's target: dest itself, or the source's name inside dest when that
// is a folder. A target that is not there yet, the usual case, is made in one
// call: a file made anew is neither read-only nor the source.
FileHandle openTarget(const QString &dest, const QString &source, const FileStatus &sourceSt, QString &target)
{
    target = dest;
    QString host = platform::toHostPath(dest);
    if (FileHandle fd = host.isEmpty() ? FileHandle() : platform::createNewFile(host); fd.get() >= 0) {
        platform::carryExecutePermission(fd.get(), sourceSt.mode);
        return fd;
    }
    FileStatus targetSt = host.isEmpty() ? FileStatus() : platform::hostStatus(host);
    if (targetSt.isFolder()) {
        target = NormalizeDirName(dest) + platform::fileNamePart(source);
        host = platform::toHostPath(target);
        targetSt = host.isEmpty() ? FileStatus() : platform::hostStatus(host);
    }
    return createTarget(target, host, targetSt, sourceSt);
}

} // namespace

void CopyFileWithProgress(const QString &source, const QString &dest, QObject *control)
{
    QString target = dest;
    constexpr qint64 blockSize = 8192;
    const platform::IoBuffer buffer = platform::ioBuffer(blockSize);
    const ProgressProp position(control, pkPosition);

    FileHandle in, out;
    try {
        FileStatus st;
        in = openSource(source, st);
        const int shift = scaleShift(st.size);
        if (control) {
            ProgressProp(control, pkMax).set(scaled(st.size, shift));
            ProgressProp(control, pkMin).set(0);
            position.set(0);
        }
        out = openTarget(dest, source, st, target);
        qint64 copied = 0;
        qint64 n;
        do {
            n = readBlock(in.get(), buffer.get(), blockSize);
            copied += n;
            if (n > 0)
                writeBlock(out.get(), buffer.get(), n);
            position.set(scaled(copied, shift));
        } while (n == blockSize);
        carryLastWriteTime(out.get(), st);
        in.close();
        if (!out.close()) {
            qCWarning(lcSetup) << "closing" << target << "failed:" << platform::lastSystemError();
            throw EWriteError(QStringLiteral("Stream write error"));
        }
    } catch (...) {
        out.close();
        in.close();
        try {
            position.set(0);
        } catch (...) {
            // the copy's own failure is the one to report
        }
        throw;
    }
    position.set(0);
}

// ---------------------------------------------------------------- registry

TProgressList::TProgressList()
{
    Add(&QProgressBar::staticMetaObject, QStringLiteral("maximum"), QStringLiteral("minimum"), QStringLiteral("value"));
    Add(&TGauge::staticMetaObject, QStringLiteral("MaxValue"), QStringLiteral("MinValue"), QStringLiteral("Progress"));
}

int TProgressList::Add(const QMetaObject *cls, QString maxProp, QString minProp, QString posProp)
{
    constexpr int maxName = 63;
    m_entries.append({cls, maxProp.left(maxName), minProp.left(maxName), posProp.left(maxName)});
    return int(m_entries.size()) - 1;
}

int TProgressList::IndexOfClass(const QMetaObject *cls) const
{
    if (!cls)
        return -1;
    for (int i = int(m_entries.size()) - 1; i >= 0; --i)
        if (cls->inherits(m_entries.at(i).cls))
            return i;
    return -1;
}

static bool isNumeric(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QVariant:
        return true;
    default:
        return false;
    }
}

QMetaProperty TProgressList::ControlProp(const QObject *control, TProgressPropKind kind) const
{
    if (!control)
        return {};
    const QMetaObject *mo = control->metaObject();
    if (m_last.cls != mo || m_last.entries != m_entries.size()) {
        m_last.cls = mo;
        m_last.entries = m_entries.size();
        for (const TProgressPropKind k : {pkMax, pkMin, pkPosition})
            m_last.props[k] = lookUp(mo, k);
    }
    return m_last.props[kind];
}

QMetaProperty TProgressList::lookUp(const QMetaObject *mo, TProgressPropKind kind) const
{
    const int i = IndexOfClass(mo);
    if (i < 0)
        return {};
    const Entry &e = m_entries.at(i);
    const QString &name = kind == pkMax ? e.maxProp : kind == pkMin ? e.minProp : e.posProp;
    const int index = mo->indexOfProperty(name.toLatin1().constData());
    if (index < 0)
        return {};
    const QMetaProperty prop = mo->property(index);
    if (!isNumeric(prop.metaType()) || !prop.isWritable())
        return {};
    return prop;
}

bool TProgressList::SetControlProp(QObject *control, TProgressPropKind kind, qint32 value)
{
    const QMetaProperty prop = ControlProp(control, kind);
    return prop.isValid() && prop.write(control, QVariant(value));
}

TProgressList &ProgressControls()
{
    static TProgressList list;
    return list;
}

bool ProgressSetMax(QObject *control, qint32 value) { return ProgressControls().SetControlProp(control, pkMax, value); }
bool ProgressSetMin(QObject *control, qint32 value) { return ProgressControls().SetControlProp(control, pkMin, value); }
bool ProgressSetPosition(QObject *control, qint32 value)
{
    return ProgressControls().SetControlProp(control, pkPosition, value);
}
