#pragma once
// Names a file system cannot hold, and files another program holds open:
// checked before an installation writes anything.
#include <QString>
#include <QStringList>

namespace platform {

// Why Windows cannot hold a path of this name ('/' or '\' separated, below
// a folder), naming the part at fault; empty when it can. Refused: the
// device names CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 (also with an
// extension, in any letter case), the characters < > : " | ? * and the
// control characters, a name ending in a dot or a space, an empty name.
// Checked on any system (tvo-pack warns of them on Linux).
QString windowsNameProblem(const QString &relPath);

// The first two paths that differ in letter case alone (one file where
// letter case does not count); empty when there are none.
QStringList letterCaseTwins(const QStringList &relPaths);

// What this system's file systems cannot hold: windowsNameProblem and
// letterCaseTwins on Windows; on Linux nothing (any name without '/' and
// NUL, and letter case counts).
QString hostNameProblem(const QString &relPath);
QStringList hostLetterCaseTwins(const QStringList &relPaths);

// Whether another program holds the existing file open so that it cannot be
// written now (Windows: opened without sharing, or a running program's
// file). Linux: false (a file is replaced by a new one, never written in
// place).
bool fileInUse(const QString &hostPath);

} // namespace platform
