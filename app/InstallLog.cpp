#include "InstallLog.h"

#include "filehandle.h"
#include "logfile.h"

#include <QDateTime>

namespace InstallLog {
namespace {
platform::FileHandle g_file;
} // namespace

bool open(const QString &hostPath, QString *error)
{
    close();
    const platform::NativeFile fd = platform::openAppendOnly(hostPath, error);
    if (fd < 0)
        return false;
    g_file.reset(fd);
    return true;
}

bool isOpen() { return g_file.get() >= 0; }

void close() { g_file.close(); }

QString formatLine(const QString &line, const QString &timeStamp)
{
    QString text = line;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace('\r', '\n');
    text.replace('\n', QStringLiteral("\n") + QString(timeStamp.size() + 1, ' '));
    return timeStamp + ' ' + text + '\n';
}

void write(const QString &line)
{
    if (!isOpen())
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    // A log that cannot be written must not stop the installation.
    platform::appendBytes(g_file.get(), formatLine(line, stamp).toUtf8());
}

} // namespace InstallLog
