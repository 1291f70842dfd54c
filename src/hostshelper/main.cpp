// SPDX-License-Identifier: GPL-3.0-or-later
// kvorn-hosts-helper: the one part of K-Vorn that runs as root (through pkexec). It puts
// the banner blocker's servers into the system's hosts file inside a marked block, or takes
// the block out, and nothing else: every name it writes is checked here, not trusted from
// the caller.
#include "hostshelper/HostsBlock.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kvorn;

namespace {

constexpr const char kSystemHosts[] = "/etc/hosts";
// Runs of the helper take turns on this lock; /run is cleared at boot, which is all a lock
// needs. Without a usable /run the lock lives beside the hosts file.
constexpr const char kSystemLock[] = "/run/kvorn-hosts-helper.lock";
constexpr const char kLockSuffix[] = ".kvorn-lock";
constexpr const char kBackupSuffix[] = ".kvorn-backup";
// A list of a million servers is far beyond any published one; more is no host list.
constexpr qsizetype kMaxInput = 64 << 20;

int usage()
{
    std::fputs("usage: kvorn-hosts-helper [--target FILE] apply|remove\n"
               "  apply   reads host names from standard input, one a line, and blocks them\n"
               "  remove  takes K-Vorn's block out of the hosts file\n"
               "  --target FILE  works on FILE instead of /etc/hosts (not under pkexec)\n",
               stderr);
    return 2;
}

int fail(const QString &why)
{
    std::fprintf(stderr, "kvorn-hosts-helper: %s\n", why.toLocal8Bit().constData());
    return 1;
}

bool readInput(QByteArray *out)
{
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        out->append(buffer, qsizetype(got));
        if (out->size() > kMaxInput)
            return false;
        if (got < sizeof buffer)
            return !std::ferror(stdin);
    }
}

QString systemError(const QString &what, int number)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(number)));
}

/// Opens (creating it when missing) and locks `path` for good: the lock ends with the
/// process. Blocks while another run holds it.
bool lockFile(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = systemError(path, errno);
        return false;
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *error = systemError(path, errno);
            ::close(fd);
            return false;
        }
    }
    return true; // the descriptor stays open for as long as the helper runs
}

/// A file of new content beside the file it is to replace, made by this run alone: it
/// cannot have existed before, so no link laid in its place is followed.
class NewFile
{
public:
    NewFile() = default;
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;
    ~NewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
    }

    /// Writes `data` with `mode` into a new file in the folder of `final`, down to the
    /// disk. Empty on success, else why not.
    QString write(const QString &final, const QByteArray &data, mode_t mode)
    {
        const QFileInfo info(final);
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            const QString name =
                QStringLiteral("%1/.%2.%3")
                    .arg(info.path(), info.fileName(),
                         QString::number(QRandomGenerator::system()->generate64(), 36));
            const QByteArray path = QFile::encodeName(name);
            m_fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0600);
            if (m_fd >= 0)
                m_path = path;
            else if (errno != EEXIST)
                return systemError(final, errno);
        }
        if (m_fd < 0)
            return systemError(final, EEXIST);
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(m_fd, data.constData() + done, std::size_t(data.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return systemError(final, n < 0 ? errno : ENOSPC);
            done += n;
        }
        if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0)
            return systemError(final, errno);
        return {};
    }

    /// Puts the new file in place of `final` (a link there is replaced, not followed).
    QString rename(const QString &final)
    {
        if (::rename(m_path.constData(), QFile::encodeName(final).constData()) != 0)
            return systemError(final, errno);
        m_path.clear();
        return {};
    }

private:
    int m_fd = -1;
    QByteArray m_path;
};

/// The mode the new hosts file gets: the old one's, less others' write rights.
mode_t modeFor(const QString &path)
{
    struct stat old = {};
    if (::stat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode))
        return old.st_mode & 07755 & ~mode_t(S_IWGRP | S_IWOTH);
    return 0644;
}

void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).path()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QString target = QString::fromLatin1(kSystemHosts);
    bool system = true;
    int arg = 1;
    if (argc == 4 && std::strcmp(argv[1], "--target") == 0) {
        // Under pkexec the caller is not root: letting it choose the file would let it add
        // lines to any file of the machine.
        if (std::getenv("PKEXEC_UID") != nullptr || getuid() != geteuid())
            return fail(QStringLiteral("--target is not allowed when run for another user"));
        target = QFile::decodeName(argv[2]);
        system = false;
        arg = 3;
    }
    if (argc != arg + 1)
        return usage();
    const bool apply = std::strcmp(argv[arg], "apply") == 0;
    if (!apply && std::strcmp(argv[arg], "remove") != 0)
        return usage();

    QByteArray input;
    QList<QByteArrayView> names;
    QString error;
    if (apply) {
        if (!readInput(&input))
            return fail(QStringLiteral("the list of host names could not be read or is too long"));
        auto parsed = parseNameLines(input, &error);
        if (!parsed)
            return fail(error);
        names = std::move(*parsed);
    }

    // Held from reading the file to putting the new one in place: two runs at once would
    // each start from the same file, and the later would silently undo the earlier.
    const QString ownLock = target + QLatin1String(kLockSuffix);
    if (!(system && lockFile(QString::fromLatin1(kSystemLock), &error)) &&
        !lockFile(ownLock, &error))
        return fail(error);

    QFile file(target);
    QByteArray current;
    const bool existed = file.exists();
    if (existed) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1: %2").arg(target, file.errorString()));
        current = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return fail(QStringLiteral("%1: %2").arg(target, file.errorString()));
        file.close();
    }
    const auto updated = withBlock(current, names, &error);
    if (!updated)
        return fail(QStringLiteral("%1: %2").arg(target, error));
    if (existed && *updated == current)
        return 0;

    // A hosts file that is a link (to a file the system manages elsewhere) is changed
    // where it leads, as the administrator set it up.
    QString real = existed ? QFileInfo(target).canonicalFilePath() : QString();
    if (real.isEmpty())
        real = target;
    NewFile next;
    error = next.write(real, *updated, modeFor(real));
    if (!error.isEmpty())
        return fail(error);
    // The backup changes only once the new file is ready to be put in place, so that a
    // failed change never costs the backup of the one before; and it always holds a
    // file that was once in force.
    if (existed) {
        const QString backupPath = target + QLatin1String(kBackupSuffix);
        NewFile backup;
        error = backup.write(backupPath, current, 0644);
        if (error.isEmpty())
            error = backup.rename(backupPath);
        if (!error.isEmpty())
            return fail(error);
    }
    error = next.rename(real);
    if (!error.isEmpty())
        return fail(error);
    syncFolder(real);
    return 0;
}
