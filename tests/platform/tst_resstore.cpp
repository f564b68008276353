// The resource store on its own: stored and compressed resources written and
// read back, earlier and newer format versions, and damaged compressed bytes;
// the unpacking of data packed at build time.
#include "filefixtures.h"
#include "storefixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <zstd.h>

#include "zframe.h"

using platform::ResourceStore;
using platform::StoreMethod;
using namespace storefixtures;

class TestResStore : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString path(const char *name) const { return tmp.filePath(QLatin1String(name)); }

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
        {
            platform::FileHandle out = newFileAfter(path("store"), QByteArray(64, 'P'));
            const platform::FileHandle src = openToRead(path("src"));
            platform::ResourceStoreWriter w(out.get());
            w.setCompressionLevel(level);
            const bool added = fromFile ? w.addFromFile(10, "DATA", src.get(), 4, std::uint64_t(bytes.size()))
                                        : w.addBytes(10, "DATA", bytes.constData(), std::size_t(bytes.size()));
            QVERIFY2(added && w.addBytes(10, "AFTER", "z", 1) && w.finish(), w.errorString().c_str());
            QVERIFY(out.close());
        }

        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("store")).toStdString()), ResourceStore::Valid);
        QCOMPARE(store.version(), platform::kStoreVersion);
        const platform::StoredResource *r = store.find(10, "DATA");
        QVERIFY(r);
        QCOMPARE(int(r->method), method);
        QCOMPARE(r->originalSize, std::uint64_t(bytes.size()));
        QVERIFY(r->method == StoreMethod::Stored ? r->size == r->originalSize : r->size < r->originalSize);
        QCOMPARE(copyOut(store, "DATA", path("out")), ResourceStore::Copied);
        QVERIFY(readAll(path("out")) == bytes);
        QCOMPARE(copyOut(store, "AFTER", path("out")), ResourceStore::Copied);
        QCOMPARE(readAll(path("out")), QByteArray("z"));
    }

    // The writer refuses the resource that would take the index past the
    // reader's limit, and the reader accepts the largest index it allows.
    void indexAtItsLimit()
    {
        platform::FileHandle out = newFileAfter(path("big"), QByteArray(64, 'P'));
        platform::ResourceStoreWriter w(out.get());
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
        QVERIFY(out.close());

        ResourceStore store;
        QCOMPARE(store.open(QFile::encodeName(path("big")).toStdString()), ResourceStore::Valid);
        QCOMPARE(store.resources().size(), added + 1);
        QVERIFY(store.find(10, last));
    }

    // A list written one after another, with a second thread reading ahead
    // (compressed) or checking CRCs behind the kernel's copy (stored): the
    // same bytes as copyTo() one by one, and the first damaged resource ends
    // it with its index.
    void copyAll_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("damaged"); // index of a resource with a wrong CRC, -1 for none
        QTest::newRow("stored") << 0 << -1;
        QTest::newRow("compressed") << 3 << -1;
        QTest::newRow("compressed, second damaged") << 3 << 1;
        QTest::newRow("compressed, the large one damaged") << 3 << 3;
        QTest::newRow("stored, first damaged") << 0 << 0;
        QTest::newRow("stored, the large one damaged") << 0 << 3;
        QTest::newRow("stored, last damaged") << 0 << 5;
        QTest::newRow("compressed, last damaged") << 3 << 5;
    }
    void copyAll()
    {
        QFETCH(int, level);
        QFETCH(int, damaged);
        // Small pieces, an empty one, one too large for the second thread.
        const QList<QByteArray> parts {text(1000), noise(70000, 2), QByteArray(), text(5000000), text(300), noise(10, 3)};
        {
            platform::FileHandle out = newFileAfter(path("list"), QByteArray(64, 'P'));
            platform::ResourceStoreWriter w(out.get());
            w.setCompressionLevel(level);
            for (int i = 0; i < parts.size(); ++i)
                QVERIFY(w.addBytes(10, "P" + std::to_string(i), parts[i].constData(), std::size_t(parts[i].size())));
            QVERIFY(w.finish());
            QVERIFY(out.close());
        }
        if (damaged >= 0) { // flip the last stored byte of that resource
            qint64 last = 0;
            { // closed before the file is written (Windows shares no writing with an open store)
                ResourceStore probe;
                QCOMPARE(probe.open(path("list").toStdString()), ResourceStore::Valid);
                const platform::StoredResource *r = probe.find(10, "P" + std::to_string(damaged));
                last = qint64(r->offset + r->size - 1);
            }
            QFile f(path("list"));
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(last));
            char c = 0;
            QVERIFY(f.getChar(&c) && f.seek(last) && f.putChar(char(c ^ 0x20)));
        }

        ResourceStore store;
        QCOMPARE(store.open(path("list").toStdString(), "C:\\setup"), ResourceStore::Valid);
        std::vector<const platform::StoredResource *> list;
        for (int i = 0; i < parts.size(); ++i)
            list.push_back(store.find(10, "P" + std::to_string(i)));
        platform::FileHandle out = newFileAfter(path("joined"));
        std::size_t failedAt = 99;
        const ResourceStore::CopyResult r = store.copyAllTo(list, out.get(), failedAt);
        out.close();
        QByteArray expected;
        for (int i = 0; i < (damaged < 0 ? parts.size() : damaged); ++i)
            expected += parts[i];
        if (damaged < 0) {
            QCOMPARE(r, ResourceStore::Copied);
            QVERIFY(readAll(path("joined")) == expected);
            return;
        }
        QCOMPARE(r, ResourceStore::CrcMismatch);
        QCOMPARE(failedAt, std::size_t(damaged));
        QCOMPARE(store.errorString(), "The installer file C:\\setup is damaged: resource P" + std::to_string(damaged)
                     + " fails its CRC check.");
        // What was written is the list's bytes in order; the compressed way
        // writes everything before the damaged one, the stored way may stop
        // sooner (the check runs beside the copy).
        const QByteArray joined = readAll(path("joined"));
        const qsizetype n = std::min(joined.size(), expected.size());
        QVERIFY(joined.left(n) == expected.left(n));
        if (level > 0)
            QVERIFY(joined.size() >= expected.size());
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
        QVERIFY(readAll(path("out")) == a);
        QCOMPARE(copyOut(store, "B", path("out")), ResourceStore::Copied);
        QVERIFY(readAll(path("out")) == b);
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


    // Data packed at build time (the fonts): only a whole, sound frame that
    // records its size unpacks, and only into a buffer of that size.
    void unpackFrame_data()
    {
        QTest::addColumn<QByteArray>("packed");
        QTest::addColumn<qsizetype>("size"); // what unpackedFrameSize must say
        QTest::addColumn<bool>("unpacks");
        const QByteArray text = QByteArray("Zażółć gęślą jaźń ").repeated(4000);
        // As the build packs them (zstd's tool: with the checksum), and
        // without the size that a frame may leave out.
        const auto pack = [&text](bool recordSize) {
            ZSTD_CCtx *c = ZSTD_createCCtx();
            ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, 19);
            ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
            ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, recordSize);
            QByteArray out(qsizetype(ZSTD_compressBound(std::size_t(text.size()))), '\0');
            ZSTD_outBuffer o {out.data(), std::size_t(out.size()), 0};
            ZSTD_inBuffer i {text.constData(), std::size_t(text.size()), 0};
            ZSTD_compressStream2(c, &o, &i, ZSTD_e_end);
            ZSTD_freeCCtx(c);
            out.resize(qsizetype(o.pos));
            return out;
        };
        const QByteArray frame = pack(true);
        QTest::newRow("sound") << frame << text.size() << true;
        QByteArray damaged = frame;
        damaged[damaged.size() / 2] = char(damaged.at(damaged.size() / 2) ^ 0x55);
        QTest::newRow("damaged in the middle") << damaged << text.size() << false;
        QTest::newRow("cut short") << frame.left(frame.size() - 9) << text.size() << false;
        QTest::newRow("something after it") << frame + QByteArray("junk") << text.size() << false;
        QTest::newRow("not a frame") << QByteArray("plain text, not packed") << qsizetype(0) << false;
        QTest::newRow("empty") << QByteArray() << qsizetype(0) << false;
        QTest::newRow("no size recorded") << pack(false) << qsizetype(0) << false;
    }

    void unpackFrame()
    {
        QFETCH(QByteArray, packed);
        QFETCH(qsizetype, size);
        QFETCH(bool, unpacks);
        const std::size_t n = platform::unpackedFrameSize(packed.constData(), std::size_t(packed.size()));
        QCOMPARE(qsizetype(n), size);
        if (n == 0)
            return;
        QByteArray out(qsizetype(n), Qt::Uninitialized);
        QCOMPARE(platform::unpackFrame(packed.constData(), std::size_t(packed.size()), out.data(), n), unpacks);
        if (unpacks)
            QCOMPARE(out, QByteArray("Zażółć gęślą jaźń ").repeated(4000));
        QVERIFY(!platform::unpackFrame(packed.constData(), std::size_t(packed.size()), out.data(), n - 1));
    }
};

QTEST_GUILESS_MAIN(TestResStore)
#include "tst_resstore.moc"
