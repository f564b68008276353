#include "logfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

NativeFile openAppendOnly(const QString &hostPath, QString *error)
{
    const QByteArray path = hostPath.toUtf8();
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        *error = errno == ELOOP ? QStringLiteral("to dowiązanie symboliczne") : QString::fromLocal8Bit(strerror(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("to nie jest zwykły plik");
        return -1;
    }
    return fd;
}

bool appendBytes(NativeFile fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace platform
