#include "RarWriter.h"

#include "crc32.h"
#include "files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <sys/stat.h>

namespace {

enum : quint8 { MarkHead = 0x72, MainHead = 0x73, FileHead = 0x74, EndHead = 0x7B };
enum : quint16 {
    FlagLarge = 0x0100,     // high 32 bits of both sizes follow the attributes
    FlagUnicode = 0x0200,   // the name carries a 16-bit form after a zero byte
    FlagDirectory = 0x00E0, // dictionary bits 111: a folder
    FlagSkipUnknown = 0x4000,
    FlagLongBlock = 0x8000, // a data size follows the header
};
constexpr quint8 HostUnix = 3;
constexpr quint8 UnpackVersion = 20;
constexpr quint8 MethodStore = 0x30;
constexpr qint64 ChunkSize = 1 << 20;

void put16(QByteArray &b, quint16 v)
{
    char x[2];
    qToLittleEndian(v, x);
    b.append(x, 2);
}

void put32(QByteArray &b, quint32 v)
{
    char x[4];
    qToLittleEndian(v, x);
    b.append(x, 4);
}

// A block: CRC, type, flags, size, then the rest. The CRC covers everything
// after its own two bytes.
QByteArray block(quint8 type, quint16 flags, const QByteArray &rest)
{
    QByteArray h;
    h.append(char(type));
    put16(h, flags);
    put16(h, quint16(7 + rest.size()));
    h.append(rest);
    QByteArray out;
    put16(out, quint16(platform::crc32(0, h.constData(), std::size_t(h.size())) & 0xFFFF));
    return out + h;
}

QString archiveName(const QString &name)
{
    QString n = name;
    n.replace('/', '\\');
    return n;
}

} // namespace

QByteArray RarWriter::encodeName(const QString &name, bool *unicode)
{
    const bool ascii = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
    *unicode = !ascii;
    if (ascii)
        return name.toLatin1();
    QByteArray out;
    for (QChar c : name)
        out.append(c.unicode() < 0x80 ? char(c.unicode()) : '_');
    out.append('\0');
    // Compact form: a high byte (unused here), then groups of four characters,
    // each group led by a byte of 2-bit codes: 0 = one low byte, 2 = both bytes.
    out.append('\0');
    for (qsizetype i = 0; i < name.size(); i += 4) {
        const qsizetype n = std::min<qsizetype>(4, name.size() - i);
        quint8 codes = 0;
        QByteArray chars;
        for (qsizetype k = 0; k < n; ++k) {
            const char16_t u = name[i + k].unicode();
            const bool wide = u > 0xFF;
            codes |= quint8((wide ? 2 : 0) << (6 - 2 * k));
            chars.append(char(u & 0xFF));
            if (wide)
                chars.append(char(u >> 8));
        }
        out.append(char(codes));
        out.append(chars);
    }
    return out;
}

QByteArray RarWriter::fileHeader(const RarEntry &entry, quint64 size, quint32 crc)
{
    bool unicode = false;
    const QByteArray name = encodeName(archiveName(entry.name), &unicode);
    const bool large = size > 0xFFFFFFFFull;
    quint16 flags = FlagLongBlock;
    if (large)
        flags |= FlagLarge;
    if (unicode)
        flags |= FlagUnicode;
    if (entry.folder)
        flags |= FlagDirectory;
    const quint32 type = entry.folder ? 0040000 : 0100000;
    QByteArray r;
    put32(r, quint32(size)); // packed size = unpacked size when stored
    put32(r, quint32(size));
    r.append(char(HostUnix));
    put32(r, crc);
    put32(r, platform::toDosDateTime(entry.mtime.isValid() ? entry.mtime : QDateTime::currentDateTime()));
    r.append(char(UnpackVersion));
    r.append(char(MethodStore));
    put16(r, quint16(name.size()));
    put32(r, type | (entry.unixMode & 07777));
    if (large) {
        put32(r, quint32(size >> 32));
        put32(r, quint32(size >> 32));
    }
    r.append(name);
    return block(FileHead, flags, r);
}

void RarWriter::write(const QByteArray &bytes)
{
    if (m_out->write(bytes) != bytes.size())
        throw RarWriteError("cannot write the archive: " + m_out->errorString().toStdString());
}

void RarWriter::open(QIODevice *out)
{
    if (!out || !out->isWritable())
        throw RarWriteError("the archive device is not open for writing");
    m_out = out;
    write(QByteArray("\x52\x61\x72\x21\x1A\x07\x00", 7));
    QByteArray r;
    put16(r, 0); // reserved
    put32(r, 0);
    write(block(MainHead, 0, r));
}

void RarWriter::add(const RarEntry &entry)
{
    if (!m_out)
        throw RarWriteError("the archive is not open");
    if (entry.name.isEmpty() || entry.name.size() > 0xFFFF / 4)
        throw RarWriteError("bad entry name: \"" + entry.name.toStdString() + "\"");
    if (entry.folder) {
        write(fileHeader(entry, 0, 0));
    } else if (!entry.sourceFile.isEmpty()) {
        addFile(entry);
    } else {
        quint32 crc = platform::crc32(0, entry.data.constData(), std::size_t(entry.data.size()));
        if (entry.corruptCrc)
            crc = ~crc;
        write(fileHeader(entry, quint64(entry.data.size()), crc));
        write(entry.data);
    }
}

// Streams a host file. The CRC goes into the header in front of the data, so
// the header is written with a placeholder and patched afterwards; a device
// that cannot seek gets the CRC from a first reading pass instead.
void RarWriter::addFile(const RarEntry &entry)
{
    QFile in(entry.sourceFile);
    if (!in.open(QIODevice::ReadOnly))
        throw RarWriteError("cannot open " + entry.sourceFile.toStdString() + ": " + in.errorString().toStdString());
    const quint64 size = quint64(in.size());
    QByteArray buf(ChunkSize, Qt::Uninitialized);
    auto pass = [&](bool copy) {
        quint32 crc = 0;
        quint64 done = 0;
        while (done < size) {
            const qint64 n = in.read(buf.data(), qint64(std::min<quint64>(ChunkSize, size - done)));
            if (n <= 0)
                throw RarWriteError("cannot read " + entry.sourceFile.toStdString() + " (file changed or unreadable)");
            crc = platform::crc32(crc, buf.constData(), std::size_t(n));
            if (copy && m_out->write(buf.constData(), n) != n)
                throw RarWriteError("cannot write the archive: " + m_out->errorString().toStdString());
            done += quint64(n);
        }
        return entry.corruptCrc ? ~crc : crc;
    };
    if (m_out->isSequential()) {
        const quint32 crc = pass(false);
        in.seek(0);
        write(fileHeader(entry, size, crc));
        pass(true);
        return;
    }
    const qint64 at = m_out->pos();
    write(fileHeader(entry, size, 0));
    const quint32 crc = pass(true);
    const qint64 end = m_out->pos();
    if (!m_out->seek(at))
        throw RarWriteError("cannot seek in the archive");
    write(fileHeader(entry, size, crc));
    if (!m_out->seek(end))
        throw RarWriteError("cannot seek in the archive");
}

void RarWriter::finish()
{
    if (!m_out)
        throw RarWriteError("the archive is not open");
    write(block(EndHead, FlagSkipUnknown, QByteArray()));
    m_out = nullptr;
}

void writeRarFromFolder(const QString &hostDir, const QString &archivePath)
{
    // Absolute, so that names relative to it come out right for a relative hostDir.
    const QDir root(QDir::current().absoluteFilePath(hostDir));
    if (!root.exists())
        throw RarWriteError("no such folder: " + hostDir.toStdString());
    QStringList names;
    QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileInfo().isSymLink())
            throw RarWriteError("symbolic links are not archived: " + path.toStdString());
        names << root.relativeFilePath(path);
    }
    // A folder's name is a prefix of its contents' names, so it sorts first.
    std::sort(names.begin(), names.end());

    QSaveFile out(archivePath);
    if (!out.open(QIODevice::WriteOnly))
        throw RarWriteError("cannot create " + archivePath.toStdString() + ": " + out.errorString().toStdString());
    RarWriter w;
    w.open(&out);
    for (const QString &name : std::as_const(names)) {
        const QString path = root.filePath(name);
        RarEntry e;
        e.name = name;
#ifdef Q_OS_WIN
        // No permission modes here (and no 8-bit name for every file to
        // stat): what a folder and a file get by default on Linux.
        const QFileInfo fi(path);
        if (!fi.exists())
            throw RarWriteError("cannot read " + path.toStdString());
        e.folder = fi.isDir();
        e.unixMode = e.folder ? 0755 : 0644;
#else
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            throw RarWriteError("cannot read " + path.toStdString());
        e.folder = S_ISDIR(st.st_mode);
        e.unixMode = st.st_mode & 07777;
#endif
        e.mtime = QFileInfo(path).lastModified();
        if (!e.folder)
            e.sourceFile = path;
        w.add(e);
    }
    w.finish();
    if (!out.commit())
        throw RarWriteError("cannot write " + archivePath.toStdString() + ": " + out.errorString().toStdString());
}
