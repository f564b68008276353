#pragma once
// The installation log (--log=FILE): one time-stamped line per step,
// appended in UTF-8 as it happens, so even an interrupted run leaves it.
#include <QString>

namespace InstallLog {

// Opens the host file for appending; false with the reason in *error.
bool open(const QString &hostPath, QString *error);
bool isOpen();
void close();

// Appends one line; does nothing while no log is open. Line breaks inside
// the text ("\r" of the message texts too) continue on indented lines.
void write(const QString &line);

// The text of a line, with its time stamp (tests).
QString formatLine(const QString &line, const QString &timeStamp);

} // namespace InstallLog
