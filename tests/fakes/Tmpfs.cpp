// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tmpfs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kvorn::test {

Tmpfs::Tmpfs(const QString &folder, int kibibytes) : m_folder(folder)
{
    QDir().mkpath(folder);
    // In a mount namespace of the test's own, the mount is seen by nothing else on the
    // machine and goes with the test however it ends. Where that cannot be had, it is
    // mounted as it is and taken away by the destructor.
    static const bool ownNamespace [[maybe_unused]] =
        ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k,mode=0700";
    m_mounted = ::geteuid() == 0 &&
                ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                        MS_NOSUID | MS_NODEV, options.constData()) == 0;
}

Tmpfs::~Tmpfs()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool Tmpfs::fill(qint64 freeBytes)
{
    QFile filler(m_folder + QStringLiteral("/.filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray page(4096, 'f');
    while (filler.write(page) == page.size()) {
    }
    filler.close();
    // Give back whole pages until the wanted room is free.
    const auto available = [this] {
        struct statvfs st = {};
        ::statvfs(QFile::encodeName(m_folder).constData(), &st);
        return qint64(st.f_bavail) * qint64(st.f_frsize);
    };
    qint64 size = filler.size();
    while (available() < freeBytes && size > 0) {
        size -= 4096;
        if (!filler.resize(size))
            return false;
    }
    return true;
}

bool Tmpfs::makeWritable()
{
    return ::mount("tmpfs", QFile::encodeName(m_folder).constData(), nullptr,
                   MS_REMOUNT | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

bool Tmpfs::freeUp()
{
    const QString filler = m_folder + QStringLiteral("/.filler");
    return !QFile::exists(filler) || QFile::remove(filler);
}

bool Tmpfs::makeReadOnly()
{
    return ::mount("tmpfs", QFile::encodeName(m_folder).constData(), nullptr,
                   MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

} // namespace kvorn::test
