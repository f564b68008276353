#pragma once
// Shared by the installation-run tests: installer files made on the fly,
// scripted answers to every message box, and small file helpers.
#include "AppCore.h"
#include "filefixtures.h"
#include "plainprogram.h"
#include "fileio.h"
#include "okienko.h"
#include "Payload.h"
#include "RarWriter.h"
#include "resstore.h"
#include "ui_uInstDemo.h"
#include "uInstDemo.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

inline const char *const kLibrary = TVO_UNRAR_LIBRARY; // the system's unrar library, found by the build

// Every message box answered by a script; what was asked is kept.
struct Answers {
    QStringList asked;
    QList<int> script; // answers in order; 1 after the script ends
    Answers()
    {
        SetMsgAnswerProvider([this](TMsgOkienko &d) {
            asked << d.windowTitle() + "|" + d.lbl->text();
            return script.isEmpty() ? 1 : script.takeFirst();
        });
        App::setSystemBoxHook([this](const QString &c, const QString &t) { asked << "system:" + c + "|" + t; });
    }
    ~Answers()
    {
        SetMsgAnswerProvider({});
        App::setSystemBoxHook({});
    }
};

inline QByteArray archiveOf(const QList<RarEntry> &entries)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    RarWriter w;
    w.open(&buf);
    for (const RarEntry &e : entries)
        w.add(e);
    w.finish();
    return buf.data();
}

// Neither the name nor a link of that name is there.
inline bool noEntry(const QString &path) { return !QFileInfo::exists(path) && !QFileInfo(path).isSymLink(); }

// A plain program file with the library (the system's, or the bytes given)
// and the archive appended.
inline void makeInstaller(const QString &path, const QByteArray &archive, bool withLibrary = true,
                   const QByteArray &libraryBytes = {})
{
    QDir().mkpath(QFileInfo(path).path());
    const platform::FileHandle f = newInstallerFile(path);
    QVERIFY(f.isOpen());
    platform::ResourceStoreWriter store(f.get());
    if (withLibrary && !libraryBytes.isEmpty()) {
        QVERIFY(store.addBytes(10, "UNRAR_DLL", libraryBytes.constData(), std::size_t(libraryBytes.size())));
    } else if (withLibrary) {
        const platform::FileHandle lib = platform::openForReading(QString::fromUtf8(kLibrary));
        QVERIFY(lib.isOpen());
        QVERIFY(store.addFromFile(10, "UNRAR_DLL", lib.get(), 0, std::uint64_t(QFileInfo(kLibrary).size())));
    }
    const int piece = 700; // small pieces, joined again by the installer
    for (int i = 0; i * piece < archive.size(); ++i) {
        const QByteArray bytes = archive.mid(i * piece, piece);
        QVERIFY(store.addBytes(10, "TVODEMO_" + std::to_string(i), bytes.constData(), std::size_t(bytes.size())));
    }
    QVERIFY(store.finish());
}

// Flips a byte inside a stored resource, so that it fails its check.
inline void damageResource(const QString &installer, const QString &name)
{
    platform::ResourceStore store;
    QCOMPARE(store.open(installer.toStdString()), platform::ResourceStore::Valid);
    const platform::StoredResource *res = store.find(10, name.toStdString());
    QVERIFY(res);
    const qint64 at = qint64(res->offset + res->size / 2);
    store.close();
    QFile f(installer);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(at));
    char c = 0;
    QVERIFY(f.getChar(&c));
    QVERIFY(f.seek(at));
    QVERIFY(f.putChar(char(c ^ 0x5A)));
}

class Wizard : public TForm1 {
public:
    using TForm1::RunInstallation;
    using TForm1::ValidateTargetFolder;
};

// The installation tests' own folder (mapped to a drive by each test) and a
// wizard that installs from a given installer file into D:\target\.
class InstallTestBase : public QObject {
protected:
    QTemporaryDir tmp;

    QString host(const QString &rel) const { return tmp.path() + "/" + rel; }

    void prepare(Wizard &w, const QString &installer)
    {
        SetPayloadSourceForTesting(host(installer));
        w.ui->edKatalog->setText("D:\\target\\");
        QDir().mkpath(host("target"));
    }
};
