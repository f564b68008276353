#pragma once
// Running the packer as its users do: a separate process, its exit code and
// its messages; and the inputs it accepts.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tvopacktest {

const QByteArray kRarSignature("Rar!\x1A\x07\x00", 7);

struct Run {
    int code;
    QString out, err;
};

inline Run pack(const QStringList &args, const QString &workingDir = {})
{
    QProcess p;
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.start(QStringLiteral(TVO_PACK), args);
    if (!p.waitForFinished(120000))
        return {-1, {}, QStringLiteral("did not finish")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Bytes that compress well, different for each seed.
inline QByteArray pattern(int size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 13 + seed) % 251);
    return b;
}

// An archive for the packer: the RAR 4 signature, then the pattern.
inline QByteArray rarLike(int size, int seed)
{
    QByteArray b = pattern(size, seed);
    b.replace(0, std::min<qsizetype>(size, kRarSignature.size()), kRarSignature.left(size));
    return b;
}

inline bool writeFile(const QString &p, const QByteArray &bytes)
{
    QFile f(p);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace tvopacktest
