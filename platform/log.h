#pragma once
// The installer's logging category, and the system's reason for the last
// failed call. Messages shown to the user keep their fixed texts; the reason
// goes to the log (QT_LOGGING_RULES="tvo.setup=true" or the default warning
// output), so that a report can say why something failed.
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcSetup)

namespace platform {

// The system's text for the error of the last failed call on this thread
// (errno). Call it before anything else can change that error.
QString lastSystemError();

} // namespace platform
