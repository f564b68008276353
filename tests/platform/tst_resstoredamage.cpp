// The store's reader against damage: every byte of the trailer and the index
// flipped, the file cut at every byte of them, and damaged compressed
// resources. Each gives a clean error naming the file, never a crash and
// never a store that looks sound. The image length of Windows programs from
// their damaged PE headers, and stores appended to them.
#include "filefixtures.h"
#include "pefixtures.h"
#include "storefixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
        writeFile(path("elf"), program);
        QCOMPARE(platform::imageLength(openToRead(path("elf")).get()), std::int64_t(64));
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
        { // closed before the file is written again (Windows shares no writing with an open store)
            ResourceStore check;
            QCOMPARE(check.open(path("setup").toStdString()), ResourceStore::Valid);
        }

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

    // The image of a Windows program ends with its last section's bytes or
    // with the COFF symbol and string tables the linker leaves after them;
    // what follows (a payload, the certificate table of signing) is not the
    // program's. Headers that do not fit the file give no length; a file cut
    // inside its image gives the length it should have.
    void peImageLength_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expect"); // "fixture": its length; "none": -1; "past end": beyond the file
        for (const char *f : {"program.exe", "program-symbols.exe", "unrar.dll"}) {
            QTest::addRow("%s as built", f) << f << "" << "fixture";
            QTest::addRow("%s, payload appended", f) << f << "payload" << "fixture";
            QTest::addRow("%s, signed", f) << f << "signed" << "fixture";
            QTest::addRow("%s, cut inside its last section", f) << f << "cut:-100" << "past end";
        }
        QTest::newRow("payload, then signed") << "program.exe" << "payload+signed" << "fixture";
        QTest::newRow("cut after the section table") << "program.exe" << "cut:table" << "past end";
        QTest::newRow("cut inside the section table") << "program.exe" << "cut:table-20" << "none";
        QTest::newRow("cut inside the file header") << "program.exe" << "cut:nt+10" << "none";
        QTest::newRow("only the MZ header") << "program.exe" << "cut:64" << "none";
        QTest::newRow("empty") << "program.exe" << "cut:0" << "none";
        QTest::newRow("e_lfanew past the end") << "program.exe" << "lfanew:end" << "none";
        QTest::newRow("e_lfanew at the last bytes") << "program.exe" << "lfanew:end-4" << "none";
        QTest::newRow("e_lfanew 0xFFFFFFF0") << "program.exe" << "lfanew:huge" << "none";
        QTest::newRow("no PE signature") << "program.exe" << "signature" << "none";
        QTest::newRow("unknown optional header") << "program.exe" << "magic" << "none";
        QTest::newRow("optional header without its directories") << "program.exe" << "optional:16" << "none";
        QTest::newRow("65535 sections") << "program.exe" << "sections" << "none";
        QTest::newRow("section data past the end") << "program.exe" << "raw:huge" << "past end";
        QTest::newRow("symbol table past the end") << "program-symbols.exe" << "symbols:huge" << "past end";
        QTest::newRow("string table size past the end") << "program-symbols.exe" << "strings:huge" << "past end";
    }
    void peImageLength()
    {
        if (!pefixtures::kHaveFixtures)
            QSKIP("MinGW-w64 was not found: no Windows fixtures");
        using namespace pefixtures;
        QFETCH(QString, fixture);
        QFETCH(QString, change);
        QFETCH(QString, expect);
        QByteArray b = pefixtures::fixture(fixture);
        QVERIFY(b.startsWith("MZ"));
        const qint64 built = b.size();
        const qsizetype nt = ntHeaders(b), table = sectionTable(b) + 40 * sectionCount(b);
        if (change.startsWith("payload"))
            b += noise(5000, 2);
        if (change.endsWith("signed"))
            b = signedCopy(b);
        if (change.startsWith("cut:")) {
            const QString at = change.mid(4);
            b.truncate(at == "table" ? table + 8 : at == "table-20" ? table - 20 : at == "nt+10" ? nt + 10
                       : at.startsWith('-')                          ? b.size() + at.toInt()
                                                                     : at.toInt());
        }
        if (change.startsWith("lfanew:"))
            put32(b, 0x3C, change == "lfanew:end" ? quint32(b.size() + 16) : change == "lfanew:huge" ? 0xFFFFFFF0u
                                                                                                    : quint32(b.size() - 4));
        if (change == "signature")
            b[nt + 1] = 'X';
        if (change == "magic")
            put16(b, nt + 24, 0x107);
        if (change == "optional:16")
            put16(b, nt + 20, 16);
        if (change == "sections")
            put16(b, nt + 6, 0xFFFF);
        if (change == "raw:huge")
            put32(b, lastSection(b) + 20, 0xFFFFF000u);
        if (change == "symbols:huge") {
            QVERIFY(get32(b, nt + 12) != 0); // the linker's symbol table is there
            put32(b, nt + 12, 0xFFFFFF00u);
        }
        if (change == "strings:huge")
            put32(b, get32(b, nt + 12) + 18 * get32(b, nt + 16), 0x7FFFFFFF);
        writeFile(path("pe"), b);
        const std::int64_t length = platform::imageLength(openToRead(path("pe")).get());
        if (expect == "fixture")
            QCOMPARE(length, std::int64_t(built));
        else if (expect == "none")
            QCOMPARE(length, std::int64_t(-1));
        else
            QVERIFY2(length > b.size(), qPrintable(QString::number(length)));
    }

    // A Windows installer as the store reader sees it: a program with a store
    // appended, signed or not, whole or cut short.
    void peStore_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const int plain = ResourceStore::Plain, valid = ResourceStore::Valid, damaged = ResourceStore::Damaged;
        QTest::newRow("plain program") << "program.exe" << "" << plain << "";
        QTest::newRow("plain program with symbols") << "program-symbols.exe" << "" << plain << "";
        QTest::newRow("plain program, signed") << "program.exe" << "signed" << plain << "";
        QTest::newRow("with a store") << "program.exe" << "store" << valid << "";
        QTest::newRow("with symbols and a store") << "program-symbols.exe" << "store" << valid << "";
        QTest::newRow("with a store, signed") << "program.exe" << "store+signed" << valid << "";
        QTest::newRow("store cut by 3 bytes") << "program.exe" << "store+cut:3" << damaged << "has no end";
        // (Cut by fewer bytes than the zeros that end the trailer, the padding
        // of signing would make it whole again.)
        QTest::newRow("store cut, then signed") << "program.exe" << "store+cut:11+signed" << damaged << "has no end";
        QTest::newRow("cut inside the program") << "program.exe" << "cut:200" << damaged << "shorter than its own";
        QTest::newRow("payload that is not a store") << "program.exe" << "junk" << damaged << "has no end";
    }
    void peStore()
    {
        if (!pefixtures::kHaveFixtures)
            QSKIP("MinGW-w64 was not found: no Windows fixtures");
        QFETCH(QString, fixture);
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QByteArray program = pefixtures::fixture(fixture);
        QVERIFY(program.startsWith("MZ"));
        // Every length of the store modulo 8, so that signing pads it by 0 to 7 bytes.
        for (int extra = 0; extra < (change.contains("store") ? 8 : 1); ++extra) {
            const QByteArray data = text(3000 + extra);
            QByteArray b = program;
            if (change.contains("store"))
                b = handMadeStore({{"R", data, StoreMethod::Stored, quint64(data.size()),
                                    platform::crc32(0, data.constData(), std::size_t(data.size()))}},
                                  2, program);
            if (change.contains("store+cut:"))
                b.chop(change.section(':', 1).section('+', 0, 0).toInt());
            if (change == "cut:200")
                b.chop(200);
            if (change == "junk")
                b += noise(100, 1);
            if (change.endsWith("signed"))
                b = pefixtures::signedCopy(b);
            writeFile(path("setup.exe"), b);
            ResourceStore store;
            const int s = store.open(path("setup.exe").toStdString(), "C:\\setup.exe");
            const QString msg = QString::fromStdString(store.errorString());
            QVERIFY2(s == status && msg.contains(message), qPrintable(QStringLiteral("%1 more bytes: %2, %3")
                                                                          .arg(extra)
                                                                          .arg(s)
                                                                          .arg(msg)));
            if (s == ResourceStore::Valid) {
                QCOMPARE(copyOut(store, "R", path("out")), ResourceStore::Copied);
                QVERIFY(readAll(path("out")) == data);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestResStoreDamage)
#include "tst_resstoredamage.moc"
