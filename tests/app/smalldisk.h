#pragma once
// A small tmpfs mounted on a folder for the life of the object, so that a
// test meets a full disk at a known size. The tests run as root; a mount that
// fails is a test failure (check mounted()), never a reason to skip.
#include <QDir>
#include <QString>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

class SmallDisk {
public:
    SmallDisk(const QString &folder, qint64 bytes) : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (::mount("tmpfs", folder.toUtf8().constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0)
            m_mounted = true;
        else
            m_error = QStringLiteral("cannot mount a tmpfs on %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_folder.toUtf8().constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString error() const { return m_error; }
    // Blocks free now; a run that leaves nothing behind gives them all back.
    qint64 freeBlocks() const
    {
        struct statvfs st;
        return ::statvfs(m_folder.toUtf8().constData(), &st) == 0 ? qint64(st.f_bfree) : -1;
    }

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_error;
};
