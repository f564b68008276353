// The store's reader against damage: every byte of the trailer and the index
// flipped, the file cut at every byte of them, and damaged compressed
// resources. Each gives a clean error naming the file, never a crash and
// never a store that looks sound.
#include "filefixtures.h"
#include "storefixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using platform::ResourceStore;
using platform::StoreMethod;
using namespace storefixtures;

class TestResStoreDamage : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QByteArray program; // an ELF image, as an installer starts

    QString path(const char *name) const { return tmp.filePath(QLatin1String(name)); }

    // A small installer: the program image, two resources, index, trailer.
    QByteArray smallInstaller(const QString &kind)
    {
        const QByteArray a = text(20000), b = noise(3000, 9);
        const quint32 ca = platform::crc32(0, a.constData(), std::size_t(a.size()));
        const quint32 cb = platform::crc32(0, b.constData(), std::size_t(b.size()));
        if (kind == "version 1")
            return handMadeStore({{"UNRAR_DLL", a, StoreMethod::Stored, 0, ca}, {"TVODEMO_0", b, StoreMethod::Stored, 0, cb}},
                                 1, program);
        Raw first = kind == "compressed" ? compressedRaw(a) : Raw {"", a, StoreMethod::Stored, quint64(a.size()), ca};
        first.name = "UNRAR_DLL";
        return handMadeStore({first, {"TVODEMO_0", b, StoreMethod::Stored, quint64(b.size()), cb}}, 2, program);
    }

    // Where the index starts, from the trailer.
    static qsizetype indexOffset(const QByteArray &file)
    {
        return qsizetype(fmt::get<quint64>(file.constData() + file.size() - platform::kStoreTrailerSize + 16));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        // The smallest ELF image: a 64-bit file header and nothing else, so the
        // store starts right after its 64 bytes.
        program = QByteArray(64, '\0');
        program.replace(0, 7, QByteArray("\x7F" "ELF\x02\x01\x01", 7));
        program[0x34] = 64; // e_ehsize
        int fd = ::open(QFile::encodeName(path("elf")).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && ::write(fd, program.constData(), 64) == 64);
        ::close(fd);
        fd = ::open(QFile::encodeName(path("elf")).constData(), O_RDONLY);
        QCOMPARE(platform::elfImageLength(fd), std::int64_t(64));
        ::close(fd);
    }

    void indexAndTrailer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("damage");
        for (const char *kind : {"stored", "compressed", "version 1"})
            for (const char *damage : {"flip all bits", "flip low bit", "flip high bit", "cut", "index CRC fixed"})
                QTest::addRow("%s, %s", kind, damage) << kind << damage;
    }
    void indexAndTrailer()
    {
        QFETCH(QString, kind);
        QFETCH(QString, damage);
        const QByteArray sound = smallInstaller(kind);
        writeFile(path("setup"), sound);
        ResourceStore check;
        QCOMPARE(check.open(path("setup").toStdString()), ResourceStore::Valid);

        const char mask = damage == "flip low bit" ? 0x01 : damage == "flip high bit" ? char(0x80) : char(0xFF);
        const qsizetype from = indexOffset(sound);
        QVERIFY(from > program.size() && from < sound.size());
        QStringList wrong;
        const qsizetype trailer = sound.size() - platform::kStoreTrailerSize;
        const bool fixCrc = damage == "index CRC fixed";
        for (qsizetype i = from; i < (fixCrc ? trailer : sound.size()); ++i) {
            QByteArray bad = sound;
            if (damage == "cut")
                bad.truncate(i);
            else
                bad[i] = char(bad[i] ^ mask);
            if (fixCrc) {
                // The index is read as it now is: whatever a field holds, the
                // reader refuses it or the resources it gives copy cleanly.
                std::string t;
                fmt::put<quint32>(t, platform::crc32(0, bad.constData() + from, std::size_t(trailer - from)));
                bad.replace(trailer + 12, 4, QByteArray::fromStdString(t));
            }
            writeFile(path("setup"), bad);
            ResourceStore store;
            const ResourceStore::Status s = store.open(path("setup").toStdString(), "C:\\setup");
            const QString msg = QString::fromStdString(store.errorString());
            if (fixCrc && s == ResourceStore::Valid) {
                for (const platform::StoredResource &r : store.resources()) {
                    const ResourceStore::CopyResult c = copyOut(store, r.name, path("out"), r.type);
                    if (c != ResourceStore::Copied && c != ResourceStore::CrcMismatch)
                        wrong << QStringLiteral("byte %1: copy result %2").arg(i - from).arg(int(c));
                }
                continue;
            }
            const bool clean = (s == ResourceStore::Damaged && msg.startsWith("The installer file C:\\setup is damaged: "))
                || (s == ResourceStore::Unsupported && msg.contains("newer"));
            if (!clean || !store.resources().empty())
                wrong << QStringLiteral("byte %1: status %2, \"%3\"").arg(i - from).arg(int(s)).arg(msg);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    }

    // Every byte of a compressed resource flipped, and the resource cut at
    // every length (the index made to match): the copy either fails as damage
    // or, where the flip changed nothing that matters, writes the right bytes.
    void everyByteOfACompressedResource_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("flip") << "flip";
        QTest::newRow("cut") << "cut";
    }
    void everyByteOfACompressedResource()
    {
        QFETCH(QString, damage);
        const QByteArray original = text(6000) + noise(300, 4);
        const Raw sound = compressedRaw(original);
        QStringList wrong;
        for (qsizetype i = 0; i < sound.stored.size(); ++i) {
            Raw r = sound;
            if (damage == "cut")
                r.stored.truncate(i);
            else
                r.stored[i] = char(r.stored[i] ^ 0xFF);
            writeFile(path("setup"), handMadeStore({r}, 2, program));
            ResourceStore store;
            QCOMPARE(store.open(path("setup").toStdString(), "C:\\setup"), ResourceStore::Valid);
            const ResourceStore::CopyResult c = copyOut(store, "R", path("out"));
            const bool clean = c == ResourceStore::CrcMismatch
                ? store.errorString() == "The installer file C:\\setup is damaged: resource R fails its CRC check."
                : c == ResourceStore::Copied && readAll(path("out")) == original;
            if (!clean)
                wrong << QStringLiteral("byte %1: result %2").arg(i).arg(int(c));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
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
        QVERIFY(readAll(path("out")).size() <= original.size());
    }
};

QTEST_GUILESS_MAIN(TestResStoreDamage)
#include "tst_resstoredamage.moc"
