#pragma once
// Writer of RAR archives in the 1.5-4 block format with the store method:
// the marker, the archive header, one file block per entry followed by the
// entry's bytes, and the end block. Entries are written as they come, so a
// caller adds folders before their contents.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <stdexcept>

class QIODevice;

struct RarEntry {
    QString name;               // path inside the archive, "/" or "\" between parts
    bool folder = false;
    quint32 unixMode = 0644;    // permission bits (07777)
    QDateTime mtime;            // invalid: now
    QByteArray data;            // the entry's bytes, unless sourceFile is set
    QString sourceFile;         // host file streamed into the archive
    bool corruptCrc = false;    // store a wrong data CRC (test fixtures)
};

class RarWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RarWriter {
public:
    // Writes the marker and archive header to an open, writable device.
    void open(QIODevice *out);
    void add(const RarEntry &entry);
    // Writes the end block; the device stays open.
    void finish();

    // The file block for an entry with the given data size and CRC.
    static QByteArray fileHeader(const RarEntry &entry, quint64 size, quint32 crc);
    // The stored name: the bare name when it is ASCII, otherwise an ASCII
    // stand-in, a zero byte and the 16-bit name in the compact encoding.
    static QByteArray encodeName(const QString &name, bool *unicode);

private:
    void write(const QByteArray &bytes);
    void addFile(const RarEntry &entry);
    QIODevice *m_out = nullptr;
};

// Archives every file and folder under hostDir (names relative to it, sorted,
// each folder before its contents) into a new file at archivePath. Symbolic
// links are refused. Throws RarWriteError.
void writeRarFromFolder(const QString &hostDir, const QString &archivePath);
