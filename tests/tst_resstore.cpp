// The resource store on its own: stored and compressed resources written and
// read back, earlier and newer format versions, and damaged compressed bytes.
#include "resstore.h"
#include "resstore_format.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>
#include <zstd.h>

using platform::ResourceStore;
using platform::StoreMethod;
namespace fmt = platform::storeformat;

namespace {

QByteArray noise(int size, quint32 seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        b[i] = char(seed >> 24);
    }
    return b;
}

QByteArray text(int size)
{
    QByteArray b;
    for (int i = 0; b.size() < size; ++i)
        b += "line " + QByteArray::number(i % 977) + " of the price list\n";
    b.truncate(size);
    return b;
}

QByteArray zstdFrame(const QByteArray &in)
{
    QByteArray out(qsizetype(ZSTD_compressBound(std::size_t(in.size()))), Qt::Uninitialized);
    const std::size_t n = ZSTD_compress(out.data(), std::size_t(out.size()), in.constData(), std::size_t(in.size()), 3);
    out.truncate(qsizetype(n));
    return out;
}

// One resource as a hand-made index describes it.
struct Raw {
    std::string name;
    QByteArray stored;
    StoreMethod method = StoreMethod::Stored;
    quint64 originalSize = 0;
    quint32 crc = 0;
};

// A store built byte by byte after a non-ELF prefix, in format version 1 or 2
// (or any number, for the version check).
QByteArray handMadeStore(const QList<Raw> &res, quint32 version)
{
    QByteArray file(100, 'P');
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

Raw compressedRaw(const QByteArray &original)
{
    return {"R", zstdFrame(original), StoreMethod::Zstd, quint64(original.size()),
            platform::crc32(0, original.constData(), std::size_t(original.size()))};
}

} // namespace

class TestResStore : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString path(const char *name) const { return tmp.filePath(QLatin1String(name)); }

    static void writeFile(const QString &p, const QByteArray &bytes)
    {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    static QByteArray readFile(const QString &p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Copies resource name out of the store file into out; the result and,
    // when it failed, the store's message.
    static ResourceStore::CopyResult copyOut(ResourceStore &store, const std::string &name, const QString &out)
    {
        const platform::StoredResource *r = store.find(platform::kRawDataResource, name);
        if (!r)
            qFatal("resource missing");
        const int fd = ::open(QFile::encodeName(out).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const ResourceStore::CopyResult result = store.copyTo(*r, fd);
        ::close(fd);
        return result;
    }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    // What goes in comes out, byte for byte, whichever way it was kept.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<int>("method"); // expected StoreMethod
        QTest::newRow("text, compressed") << text(1000000) << 19 << true << int(StoreMethod::Zstd);
        QTest::newRow("text, from memory") << text(300000) << 3 << false << int(StoreMethod::Zstd);
        QTest::newRow("text, not compressed") << text(300000) << 0 << true << int(StoreMethod::Stored);
        QTest::newRow("noise stays stored") << noise(200000, 7) << 19 << true << int(StoreMethod::Stored);
        QTest::newRow("one byte") << QByteArray("x") << 19 << false << int(StoreMethod::Stored);
        QTest::newRow("empty") << QByteArray() << 19 << true << int(StoreMethod::Stored);
        QTest::newRow("larger than the stream buffers") << text(3000000) << 1 << true << int(StoreMethod::Zstd);
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, level);
        QFETCH(bool, fromFile);
        QFETCH(int, method);
        writeFile(path("src"), "head" + bytes + "tail");
        writeFile(path("store"), QByteArray(64, 'P'));
        const int out = ::open(QFile::encodeName(path("store")).constData(), O_WRONLY | O_APPEND);
        const int src = ::open(QFile::encodeName(path("src")).constData(), O_RDONLY);
        platform::ResourceStoreWriter w(out);
        w.setCompressionLevel(level);
        const bool added = fromFile ? w.addFromFile(10, "DATA", src, 4, std::uint64_t(bytes.size()))
                                    : w.addBytes(10, "DATA", bytes.constData(), std::size_t(bytes.size()));
        QVERIFY2(added && w.addBytes(10, "AFTER", "z", 1) && w.finish(), w.errorString().c_str());
        ::close(src);
        ::close(out);

        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("store")).toStdString()), ResourceStore::Valid);
        QCOMPARE(store.version(), platform::kStoreVersion);
        const platform::StoredResource *r = store.find(10, "DATA");
        QVERIFY(r);
        QCOMPARE(int(r->method), method);
        QCOMPARE(r->originalSize, std::uint64_t(bytes.size()));
        QVERIFY(r->method == StoreMethod::Stored ? r->size == r->originalSize : r->size < r->originalSize);
        QCOMPARE(copyOut(store, "DATA", path("out")), ResourceStore::Copied);
        QVERIFY(readFile(path("out")) == bytes);
        QCOMPARE(copyOut(store, "AFTER", path("out")), ResourceStore::Copied);
        QCOMPARE(readFile(path("out")), QByteArray("z"));
    }

    // The writer refuses the resource that would take the index past the
    // reader's limit, and the reader accepts the largest index it allows.
    void indexAtItsLimit()
    {
        writeFile(path("big"), QByteArray(64, 'P'));
        const int out = ::open(QFile::encodeName(path("big")).constData(), O_WRONLY | O_APPEND);
        platform::ResourceStoreWriter w(out);
        std::size_t added = 0;
        for (std::string name(0xFFFF, 'N');; ++added) {
            name.replace(0, 8, QByteArray::number(qulonglong(added)).rightJustified(8, '0').toStdString());
            if (!w.addBytes(10, name, "", 0))
                break;
        }
        QVERIFY2(QString::fromStdString(w.errorString()).contains("Too many resources"), w.errorString().c_str());
        // A last name that fills the index to the byte.
        const std::uint64_t used = 4 + added * platform::storeIndexEntrySize(0xFFFF);
        const std::string last(std::size_t(platform::kMaxStoreIndexSize - used - platform::storeIndexEntrySize(0)), 'L');
        QVERIFY(w.addBytes(10, last, "", 0));
        QVERIFY(!w.addBytes(10, "X", "", 0));
        QVERIFY(w.finish());
        ::close(out);

        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("big")).toStdString()), ResourceStore::Valid);
        QCOMPARE(store.resources().size(), added + 1);
        QVERIFY(store.find(10, last));
    }

    // Stores written before compression existed are read as they were.
    void readsVersionOne()
    {
        const QByteArray a = noise(5000, 1), b = text(3000);
        writeFile(path("v1"), handMadeStore({{"A", a, StoreMethod::Stored, 0, platform::crc32(0, a.constData(), 5000)},
                                             {"B", b, StoreMethod::Stored, 0, platform::crc32(0, b.constData(), 3000)}},
                                            1));
        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("v1")).toStdString()), ResourceStore::Valid);
        QCOMPARE(store.version(), 1u);
        QCOMPARE(store.resources().size(), std::size_t(2));
        QCOMPARE(copyOut(store, "A", path("out")), ResourceStore::Copied);
        QVERIFY(readFile(path("out")) == a);
        QCOMPARE(copyOut(store, "B", path("out")), ResourceStore::Copied);
        QVERIFY(readFile(path("out")) == b);
    }

    void newerVersionIsNamed()
    {
        writeFile(path("v9"), handMadeStore({{"A", "abc", StoreMethod::Stored, 3, platform::crc32(0, "abc", 3)}}, 9));
        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("v9")).toStdString(), "C:\\setup"), ResourceStore::Unsupported);
        const QString msg = QString::fromStdString(store.errorString());
        QVERIFY2(msg.contains("C:\\setup") && msg.contains("newer") && msg.contains("version 9"), qPrintable(msg));
        QVERIFY(store.resources().empty());
    }

    // A damaged compressed resource is reported as damage, never written out
    // as if it were whole, and never crashes the reader.
    void damagedCompressed_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("frame cut short by one byte") << "cut:1";
        QTest::newRow("frame cut in half") << "cut:half";
        QTest::newRow("only the frame header") << "keep:6";
        QTest::newRow("garbage after the frame") << "append";
        QTest::newRow("flipped byte in the frame header") << "flip:4";
        QTest::newRow("flipped byte in the block header") << "flip:header";
        QTest::newRow("flipped byte in the middle") << "flip:mid";
        QTest::newRow("flipped last byte") << "flip:last";
        QTest::newRow("recorded size too small") << "size:-1";
        QTest::newRow("recorded size too large") << "size:+1";
        QTest::newRow("wrong CRC") << "crc";
        QTest::newRow("not a zstd frame") << "noise";
    }
    void damagedCompressed()
    {
        QFETCH(QString, damage);
        const QByteArray original = text(400000) + noise(20000, 3);
        Raw r = compressedRaw(original);
        const qsizetype n = r.stored.size();
        if (damage == "cut:1")
            r.stored.chop(1);
        else if (damage == "cut:half")
            r.stored.truncate(n / 2);
        else if (damage == "keep:6")
            r.stored.truncate(6);
        else if (damage == "append")
            r.stored += "more";
        else if (damage.startsWith("flip:")) {
            const QString at = damage.mid(5);
            const qsizetype i = at == "header" ? 7 : at == "mid" ? n / 2 : at == "last" ? n - 1 : at.toInt();
            r.stored[i] = char(r.stored[i] ^ 0x55);
        } else if (damage == "size:-1")
            r.originalSize -= 1;
        else if (damage == "size:+1")
            r.originalSize += 1;
        else if (damage == "crc")
            r.crc ^= 1;
        else
            r.stored = noise(int(n), 5);
        writeFile(path("bad"), handMadeStore({r}, 2));

        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("bad")).toStdString(), "C:\\setup"), ResourceStore::Valid);
        QCOMPARE(copyOut(store, "R", path("out")), ResourceStore::CrcMismatch);
        QCOMPARE(QString::fromStdString(store.errorString()),
                 QStringLiteral("The installer file C:\\setup is damaged: resource R fails its CRC check."));
        QVERIFY(readFile(path("out")).size() <= original.size());
    }
};

QTEST_GUILESS_MAIN(TestResStore)
#include "tst_resstore.moc"
