#pragma once
// Archive fixtures shared by the writer and library tests: a sample folder
// tree, a listing that compares trees, and running the command-line tools.
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <sys/stat.h>

namespace fixtures {

inline bool writeFile(const QString &path, const QByteArray &data, QFile::Permissions perms = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        return false;
    f.close();
    return perms ? f.setPermissions(perms) : true;
}

inline QByteArray patternBytes(int size, quint32 seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        b[i] = char(seed >> 16);
    }
    return b;
}

// Folders (an empty one among them), a Polish name, an executable, an empty
// file, a hidden file and a file bigger than one copy buffer.
inline bool makeSampleTree(const QString &root)
{
    const QDir d(root);
    const auto exec = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    return d.mkpath(QStringLiteral("Podkatalog/Głęboki")) && d.mkpath(QStringLiteral("pusty"))
        && writeFile(d.filePath(QStringLiteral("Podkatalog/zażółć gęślą jaźń.txt")), "Polskie znaki\n")
        && writeFile(d.filePath(QStringLiteral("Podkatalog/Głęboki/dane.bin")), patternBytes(1500000, 7))
        && writeFile(d.filePath(QStringLiteral("a.txt")), "hello\n")
        && writeFile(d.filePath(QStringLiteral("run.sh")), "#!/bin/sh\necho ok\n", exec)
        && writeFile(d.filePath(QStringLiteral("empty.dat")), QByteArray())
        && writeFile(d.filePath(QStringLiteral(".hidden")), "h");
}

// relative path -> "dir <mode>" or "<size> <mode> <md5>", for comparing trees.
inline QMap<QString, QString> listing(const QString &root)
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        const QString mode = QString::number(st.st_mode & 0777, 8);
        QString v = QStringLiteral("dir ") + mode;
        if (!it.fileInfo().isDir()) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            v = QStringLiteral("%1 %2 %3").arg(f.size()).arg(mode).arg(
                QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex()));
        }
        out.insert(QDir(root).relativeFilePath(path), v);
    }
    return out;
}

// Runs a tool; its exit code, or -1 when it could not run. Output is kept in *out.
inline int run(const QString &program, const QStringList &args, const QString &cwd = QString(),
               QByteArray *out = nullptr)
{
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = p.readAll();
    return p.exitCode();
}

} // namespace fixtures
