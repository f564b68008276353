#pragma once
// Stores for the store's tests: contents that compress or do not, zstd
// frames, and stores built byte by byte (any format version, any damage).
#include "filefixtures.h"
#include "fileio.h"
#include "resstore.h"
#include "resstore_format.h"
#include "storeio.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <zstd.h>

namespace storefixtures {

using platform::ResourceStore;
using platform::StoreMethod;
namespace fmt = platform::storeformat;

inline QByteArray text(int size)
{
    QByteArray b;
    for (int i = 0; b.size() < size; ++i)
        b += "line " + QByteArray::number(i % 977) + " of the price list\n";
    b.truncate(size);
    return b;
}

inline QByteArray zstdFrame(const QByteArray &in)
{
    QByteArray out(qsizetype(ZSTD_compressBound(std::size_t(in.size()))), Qt::Uninitialized);
    const std::size_t n = ZSTD_compress(out.data(), std::size_t(out.size()), in.constData(), std::size_t(in.size()), 3);
    out.truncate(qsizetype(n));
    return out;
}

// Copies resource name out of the store into the file out; the result and,
// when it failed, the store's message.
inline ResourceStore::CopyResult copyOut(ResourceStore &store, const std::string &name, const QString &out,
                                         std::uint32_t type = platform::kRawDataResource)
{
    const platform::StoredResource *r = store.find(type, name);
    if (!r)
        qFatal("resource missing");
    const platform::FileHandle fd = platform::createFile(out);
    return store.copyTo(*r, fd.get());
}

// A file made anew that holds prefix, open for writing after it (the
// writer's files); closed on failure.
inline platform::FileHandle newFileAfter(const QString &path, const QByteArray &prefix = QByteArray())
{
    platform::FileHandle f = platform::createFile(path);
    if (f.isOpen() && !platform::writeAll(f.get(), prefix.constData(), std::size_t(prefix.size())))
        f.close();
    return f;
}

// An existing file open for reading; closed when it cannot be opened.
inline platform::FileHandle openToRead(const QString &path)
{
    std::uint64_t size = 0;
    return platform::FileHandle(platform::openRegularForReading(QFile::encodeName(path).toStdString(), size));
}

// One resource as a hand-made index describes it.
struct Raw {
    std::string name;
    QByteArray stored;
    StoreMethod method = StoreMethod::Stored;
    quint64 originalSize = 0;
    quint32 crc = 0;
};

// A store built byte by byte after the prefix (by default not ELF), in format
// version 1 or 2 (or any number, for the version check).
inline QByteArray handMadeStore(const QList<Raw> &res, quint32 version, const QByteArray &prefix = QByteArray(100, 'P'))
{
    QByteArray file = prefix;
    std::string index;
    fmt::put<quint32>(index, quint32(res.size()));
    for (const Raw &r : res) {
        fmt::put<quint32>(index, platform::kRawDataResource);
        fmt::put<quint16>(index, quint16(r.name.size()));
        index += r.name;
        fmt::put<quint64>(index, quint64(file.size()));
        fmt::put<quint64>(index, quint64(r.stored.size()));
        fmt::put<quint32>(index, r.crc);
        if (version >= 2) {
            fmt::put<quint8>(index, quint8(r.method));
            fmt::put<quint64>(index, r.originalSize);
        }
        file += r.stored;
    }
    std::string trailer(platform::kStoreMagic, sizeof platform::kStoreMagic);
    fmt::put<quint32>(trailer, version);
    fmt::put<quint32>(trailer, platform::crc32(0, index.data(), index.size()));
    fmt::put<quint64>(trailer, quint64(file.size()));
    fmt::put<quint64>(trailer, quint64(index.size()));
    return file + QByteArray::fromStdString(index + trailer);
}

inline Raw compressedRaw(const QByteArray &original)
{
    return {"R", zstdFrame(original), StoreMethod::Zstd, quint64(original.size()),
            platform::crc32(0, original.constData(), std::size_t(original.size()))};
}

} // namespace storefixtures
