#include "names.h"

namespace platform {

QString hostNameProblem(const QString &) { return {}; }
QStringList hostLetterCaseTwins(const QStringList &) { return {}; }
bool fileInUse(const QString &) { return false; }

} // namespace platform
