#pragma once
// Where the installer's messages go besides their boxes: the log, and, when
// no window may be shown, standard error instead of the box.
#include "CommandLine.h"

#include <QString>

namespace MessageReport {

// A box's title and text as one report: "title: text", the text's line
// breaks as "\n", ending in a line break.
QString reportText(const QString &title, const QString &text);

// Sets the message dialog's answer provider and the system box hook for
// the options: with --very-silent each message goes to standard error and
// is answered as nobody is there (the first button of an error box, "no" to
// a question); otherwise, with a log open, the box is logged and shown.
void install(const InstallOptions &options);
void uninstall();

} // namespace MessageReport
