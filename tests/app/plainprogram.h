#pragma once
// The installer files the tests make: a small program file of the system
// (TVO_PLAIN_PROGRAM, tests/app/CMakeLists.txt) with a store appended.
#include "fileio.h"

#include <QFile>
#include <QString>

inline const QString kPlainProgram = QStringLiteral(TVO_PLAIN_PROGRAM);

// Makes path a copy of the plain program, open for the store's writer (which
// writes at the file's end); closed when it cannot be made.
inline platform::FileHandle newInstallerFile(const QString &path)
{
    QFile::remove(path);
    QFile program(kPlainProgram);
    if (!program.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = program.readAll();
    platform::FileHandle f = platform::createFile(path);
    if (f.isOpen() && !platform::writeAll(f.get(), bytes.constData(), std::size_t(bytes.size())))
        f.close();
    return f;
}
