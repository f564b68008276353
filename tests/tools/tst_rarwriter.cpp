// The archive writer, checked with the unrar command-line tool.
#include "RarWriter.h"
#include "archivefixtures.h"
#include "crc32.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {
// A device that cannot seek, like a pipe.
class Pipe : public QIODevice {
public:
    QByteArray bytes;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        bytes.append(data, size);
        return size;
    }
};

QByteArray unrar(const QStringList &args, int *code, const QString &cwd = QString())
{
    QByteArray out;
    *code = fixtures::run("unrar", args, cwd, &out);
    return out;
}
} // namespace

class TestRarWriter : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void crc_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<uint>("crc");
        QTest::newRow("empty") << QByteArray() << 0u;
        QTest::newRow("a") << QByteArray("a") << 0xE8B7BE43u;
        QTest::newRow("check value") << QByteArray("123456789") << 0xCBF43926u;
    }
    void crc()
    {
        QFETCH(QByteArray, data);
        QFETCH(uint, crc);
        QCOMPARE(platform::crc32(0, data.constData(), std::size_t(data.size())), crc);
        const qsizetype half = data.size() / 2; // continued in pieces, as when streaming
        QCOMPARE(platform::crc32(platform::crc32(0, data.constData(), std::size_t(half)), data.constData() + half,
                                 std::size_t(data.size() - half)),
                 crc);
    }

    void folderRoundTrip()
    {
        const QString src = tmp.path() + "/src";
        QVERIFY(fixtures::makeSampleTree(src));
        const QDateTime stamp(QDate(2009, 11, 3), QTime(14, 25, 36));
        QFile stamped(src + "/a.txt");
        QVERIFY(stamped.open(QIODevice::ReadWrite) && stamped.setFileTime(stamp, QFileDevice::FileModificationTime));
        stamped.close();
        const QString arc = tmp.path() + "/tree.rar";
        writeRarFromFolder(src, arc);

        int code = -1;
        QByteArray out = unrar({"lb", arc}, &code);
        QCOMPARE(code, 0);
        const QStringList order = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(order.size(), fixtures::listing(src).size());
        for (int i = 0; i < order.size(); ++i) // every folder before its contents
            for (int k = i + 1; k < order.size(); ++k)
                QVERIFY2(!order[i].startsWith(order[k] + '/'), qPrintable(order[i]));

        unrar({"t", "-idq", arc}, &code);
        QCOMPARE(code, 0);
        const QString dst = tmp.path() + "/dst";
        QVERIFY(QDir().mkpath(dst));
        unrar({"x", "-idq", arc}, &code, dst);
        QCOMPARE(code, 0);
        QCOMPARE(fixtures::listing(dst), fixtures::listing(src));
        QCOMPARE(QFileInfo(dst + "/a.txt").lastModified(), stamp);
    }

    // Entries from memory, from a streamed file, and streamed to a device
    // that cannot seek; a wrong CRC must be caught by the reader.
    void crafted_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<bool>("sequential");
        QTest::addColumn<bool>("corrupt");
        for (bool corrupt : {false, true}) {
            const char *c = corrupt ? ", wrong CRC" : "";
            QTest::addRow("memory%s", c) << false << false << corrupt;
            QTest::addRow("file%s", c) << true << false << corrupt;
            QTest::addRow("file to pipe%s", c) << true << true << corrupt;
        }
    }
    void crafted()
    {
        QFETCH(bool, fromFile);
        QFETCH(bool, sequential);
        QFETCH(bool, corrupt);
        const QByteArray body = noise(2500000, 3); // spans several read chunks
        const QString srcFile = tmp.path() + "/body.bin";
        QVERIFY(fixtures::writeFile(srcFile, body));

        Pipe pipe;
        QBuffer plain;
        QIODevice &buf = sequential ? static_cast<QIODevice &>(pipe) : plain;
        QVERIFY(buf.open(QIODevice::WriteOnly));
        RarWriter w;
        w.open(&buf);
        RarEntry folder;
        folder.name = "Katalog";
        folder.folder = true;
        folder.unixMode = 0750;
        w.add(folder);
        RarEntry e;
        e.name = QStringLiteral("Katalog/Źródło.bin");
        e.unixMode = 0700;
        e.corruptCrc = corrupt;
        if (fromFile)
            e.sourceFile = srcFile;
        else
            e.data = body;
        w.add(e);
        w.finish();
        const QString arc = tmp.path() + "/crafted.rar";
        QVERIFY(fixtures::writeFile(arc, sequential ? pipe.bytes : plain.data()));

        int code = -1;
        unrar({"t", "-idq", arc}, &code);
        QCOMPARE(code != 0, corrupt);
        if (corrupt)
            return;
        const QString dst = QDir(tmp.path()).filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(dst));
        unrar({"x", "-idq", arc}, &code, dst);
        QCOMPARE(code, 0);
        QCOMPARE(fixtures::listing(dst), (QMap<QString, QString>{
            {"Katalog", "dir 750"},
            {QStringLiteral("Katalog/Źródło.bin"), fixtures::listing(tmp.path()).value("body.bin").replace(" 644 ", " 700 ")},
        }));
    }

    // Sizes beyond 32 bits go into the high size fields.
    void largeSizes()
    {
        RarEntry e;
        e.name = "big.bin";
        const quint64 size = (quint64(5) << 30) + 3;
        const QByteArray h = RarWriter::fileHeader(e, size, 0x12345678);
        QVERIFY(qFromLittleEndian<quint16>(h.constData() + 3) & 0x0100);
        QCOMPARE(qFromLittleEndian<quint32>(h.constData() + 11), quint32(size)); // low unpacked size
        QCOMPARE(qFromLittleEndian<quint32>(h.constData() + 32), 1u); // high packed size
        QCOMPARE(qFromLittleEndian<quint32>(h.constData() + 36), 1u); // high unpacked size

        // The reader sees the full size in the header (the data is left out).
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        RarWriter w;
        w.open(&buf);
        buf.write(h);
        const QString arc = tmp.path() + "/big.rar";
        QVERIFY(fixtures::writeFile(arc, buf.data()));
        int code = -1;
        QVERIFY(unrar({"lt", arc}, &code).contains(QByteArray::number(size)));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("symbolic link") << "link";
    }
    void refusals()
    {
        QFETCH(QString, what);
        const QString src = tmp.path() + "/refuse-" + what;
        if (what == "link") {
            QVERIFY(QDir().mkpath(src));
            QVERIFY(QFile::link("/etc/hostname", src + "/l"));
        }
        const QString arc = tmp.path() + "/refused.rar";
        QVERIFY_THROWS_EXCEPTION(RarWriteError, writeRarFromFolder(src, arc));
        QVERIFY(!QFile::exists(arc)); // no half-written archive is left behind
    }
};

QTEST_MAIN(TestRarWriter)
#include "tst_rarwriter.moc"
