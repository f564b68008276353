#pragma once
// A small tmpfs mounted on a folder for the life of the object, so that a
// test meets a full disk at a known size. The tests run as root; a mount that
// fails is a test failure (check mounted()), never a reason to skip. Under
// Wine the host's mount program mounts it on the folder's host path: the
// Windows program then meets the full disk as Windows reports one.
#include <QDir>
#include <QString>
#ifdef Q_OS_WIN
#include "hostfixtures.h"
#else
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>
#endif

class SmallDisk {
public:
    SmallDisk(const QString &folder, qint64 bytes) : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
#ifdef Q_OS_WIN
        m_hostFolder = unixPathOf(folder);
        QByteArray out;
        if (!m_hostFolder.isEmpty()
            && runOnHost(QStringLiteral("mount -t tmpfs -o nosuid,nodev,%1 tmpfs '%2'")
                             .arg(QString::fromLatin1(options), m_hostFolder),
                         QString(), &out) == 0)
            m_mounted = true;
        else
            m_error = QStringLiteral("cannot mount a tmpfs on %1: %2").arg(folder, QString::fromLocal8Bit(out));
#else
        if (::mount("tmpfs", folder.toUtf8().constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0)
            m_mounted = true;
        else
            m_error = QStringLiteral("cannot mount a tmpfs on %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
#endif
    }
    ~SmallDisk()
    {
        if (!m_mounted)
            return;
#ifdef Q_OS_WIN
        runOnHost(QStringLiteral("umount -l '%1'").arg(m_hostFolder));
#else
        ::umount2(m_folder.toUtf8().constData(), MNT_DETACH);
#endif
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString error() const { return m_error; }
    // Space free now (blocks; bytes on Windows); a run that leaves nothing
    // behind gives it all back.
    qint64 freeBlocks() const
    {
#ifdef Q_OS_WIN
        ULARGE_INTEGER free {};
        return GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(m_folder + '/').utf16()),
                                   &free, nullptr, nullptr)
            ? qint64(free.QuadPart)
            : -1;
#else
        struct statvfs st;
        return ::statvfs(m_folder.toUtf8().constData(), &st) == 0 ? qint64(st.f_bfree) : -1;
#endif
    }

private:
    QString m_folder;
    QString m_hostFolder; // under Wine
    bool m_mounted = false;
    QString m_error;
};
