#include "FileRoutines.h"
#include "Exceptions.h"
#include "Gauges.h"
#include "drives.h"
#include "filehandle.h"
#include "files.h"
#include "log.h"

#include <QMetaProperty>
#include <QProgressBar>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray hostName(const QString &path) { return platform::toHostPath(path).toUtf8(); }

qint64 fileSize(const QString &path)
{
    struct stat st {};
    const QByteArray host = hostName(path);
    if (host.isEmpty() || ::stat(host.constData(), &st) != 0)
        return -1;
    return st.st_size;
}

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

using Fd = platform::FileHandle;

void openSource(Fd &fd, const QString &source, struct stat &st)
{
    const QByteArray host = hostName(source);
    if (!host.isEmpty())
        fd.reset(::open(host.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const QString why = host.isEmpty() ? QStringLiteral("no drive behind it")
            : S_ISDIR(st.st_mode)          ? QStringLiteral("a folder")
                                           : platform::lastSystemError();
        qCWarning(lcSetup) << "cannot open" << source << "for reading:" << why;
        fd.close();
        throw EFOpenError(QStringLiteral("Cannot open file %1").arg(source));
    }
}

// An existing read-only file is not overwritten, not even by a user whose
// rights would allow it, and neither is the source itself.
void createTarget(Fd &fd, const QString &target, const struct stat &source)
{
    const QByteArray host = hostName(target);
    struct stat st {};
    const bool exists = !host.isEmpty() && ::stat(host.constData(), &st) == 0;
    const bool refused = exists
        && ((platform::hostFileAttributes(QString::fromUtf8(host)) & platform::faReadOnly)
            || (st.st_dev == source.st_dev && st.st_ino == source.st_ino));
    if (!host.isEmpty() && !refused)
        fd.reset(::open(host.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        const QString why = host.isEmpty() ? QStringLiteral("no drive behind it")
            : refused                      ? QStringLiteral("read-only or the source itself")
                                           : platform::lastSystemError();
        qCWarning(lcSetup) << "cannot create" << target << ":" << why;
        throw EFCreateError(QStringLiteral("Cannot create file %1").arg(target));
    }
    // A program stays a program: its execute permission travels with the
    // content (for whoever may read the copy); nothing else of the mode does.
    struct stat now {};
    if ((source.st_mode & 0111) && ::fstat(fd.get(), &now) == 0)
        ::fchmod(fd.get(), (now.st_mode & 07777) | (((now.st_mode & 0444) >> 2) & (source.st_mode & 0111)));
}

ssize_t readBlock(int fd, char *buf, size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, buf, size);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        qCWarning(lcSetup) << "read failed:" << platform::lastSystemError();
        throw EReadError(QStringLiteral("Stream read error"));
    }
    return n;
}

// A write that stores fewer bytes than asked (a full disk, a file-size
// limit) is a failure too, not a silently shortened copy.
void writeBlock(int fd, const char *buf, ssize_t size)
{
    ssize_t n;
    do
        n = ::write(fd, buf, size_t(size));
    while (n < 0 && errno == EINTR);
    if (n != size) {
        qCWarning(lcSetup) << "write failed:" << (n < 0 ? platform::lastSystemError() : QStringLiteral("short write"));
        throw EWriteError(QStringLiteral("Stream write error"));
    }
}

void carryLastWriteTime(const QString &source, const QString &target)
{
    const QDateTime t = platform::lastWriteTime(source);
    if (t.isValid())
        platform::setLastWriteTime(target, platform::fromDosDateTime(platform::toDosDateTime(t)));
}

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

void CreateFolderPath(const QString &path)
{
    QString p = path;
    if (p.endsWith('\\'))
        p.chop(1);
    if (p.size() < 3 || FolderExists(p))
        return;
    const QString parent = p.left(platform::lastSeparator(p) + 1);
    if (parent == p)
        return;
    CreateFolderPath(parent);
    const QByteArray host = hostName(p);
    if (!host.isEmpty() && ::mkdir(host.constData(), 0777) != 0) // the caller checks with FolderExists
        qCWarning(lcSetup) << "cannot create the folder" << host << ":" << platform::lastSystemError();
}

void CopyFileWithProgress(const QString &source, const QString &dest, QObject *control)
{
    const QString target = FolderExists(dest) ? NormalizeDirName(dest) + platform::fileNamePart(source) : dest;
    constexpr ssize_t blockSize = 8192;
    const auto buffer = std::make_unique<char[]>(blockSize);
    const qint64 size = fileSize(source);
    const int shift = scaleShift(size);

    Fd in, out;
    try {
        struct stat st {};
        openSource(in, source, st);
        if (control) {
            ProgressSetMax(control, scaled(size, shift));
            ProgressSetMin(control, 0);
            ProgressSetPosition(control, 0);
        }
        CreateFolderPath(target.left(platform::lastSeparator(target) + 1));
        createTarget(out, target, st);
        qint64 copied = 0;
        ssize_t n;
        do {
            n = readBlock(in.get(), buffer.get(), blockSize);
            copied += n;
            if (n > 0)
                writeBlock(out.get(), buffer.get(), n);
            if (control)
                ProgressSetPosition(control, scaled(copied, shift));
        } while (n == blockSize);
        carryLastWriteTime(source, target);
        in.close();
        if (!out.close()) {
            qCWarning(lcSetup) << "closing" << target << "failed:" << platform::lastSystemError();
            throw EWriteError(QStringLiteral("Stream write error"));
        }
    } catch (...) {
        out.close();
        in.close();
        if (control) {
            try {
                ProgressSetPosition(control, 0);
            } catch (...) {
                // the copy's own failure is the one to report
            }
        }
        throw;
    }
    if (control)
        ProgressSetPosition(control, 0);
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

bool TProgressList::SetControlProp(QObject *control, TProgressPropKind kind, qint32 value)
{
    if (!control)
        return false;
    const QMetaObject *mo = control->metaObject();
    const int i = IndexOfClass(mo);
    if (i < 0)
        return false;
    const Entry &e = m_entries.at(i);
    const QString &name = kind == pkMax ? e.maxProp : kind == pkMin ? e.minProp : e.posProp;
    const int index = mo->indexOfProperty(name.toLatin1().constData());
    if (index < 0)
        return false;
    const QMetaProperty prop = mo->property(index);
    if (!isNumeric(prop.metaType()) || !prop.isWritable())
        return false;
    return prop.write(control, QVariant(value));
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
