// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kvorn {

namespace {

QString failure(const QString &path, const QString &why)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
}

QString systemError(int number)
{
    return systemErrorText(number);
}

mode_t modeOf(QFileDevice::Permissions permissions)
{
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR},
        {QFileDevice::ExeOwner, S_IXUSR},  {QFileDevice::ReadGroup, S_IRGRP},
        {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH},
        {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto &[permission, bit] : bits) {
        if (permissions.testFlag(permission))
            mode |= bit;
    }
    return mode;
}

/// The mode a replaced file gets: its old one without others' write rights, else the given.
mode_t targetMode(const QString &path, QFileDevice::Permissions permissions)
{
    struct stat old = {};
    if (::stat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode))
        return old.st_mode & 07755 & ~mode_t(S_IWGRP | S_IWOTH);
    return modeOf(permissions);
}

/// An open temporary file holding the new content of one file, not yet renamed.
std::unique_ptr<QSaveFile> prepare(const QString &path, const QByteArray &data,
                                   QFileDevice::Permissions permissions, QString *error)
{
    if (QFileInfo(path).isDir()) {
        *error = failure(path, QStringLiteral("a folder of that name is in the way"));
        return nullptr;
    }
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly)) {
        // Of an existing file Qt says only that it "is not writable"; the system says why
        // ("Read-only file system", "Permission denied").
        const int denied =
            ::access(QFile::encodeName(path).constData(), W_OK) == 0 ? 0 : errno;
        *error = failure(path, denied != 0 && denied != ENOENT ? systemError(denied)
                                                               : file->errorString());
        return nullptr;
    }
    if (::fchmod(file->handle(), targetMode(path, permissions)) != 0) {
        *error = failure(path, systemError(errno));
        file->cancelWriting();
        return nullptr;
    }
    // Straight to the descriptor: a short write on a full disk then says why.
    QString why = writeAllTo(file->handle(), data);
    if (why.isEmpty())
        why = flushToDisk(*file);
    if (!why.isEmpty()) {
        *error = failure(path, why);
        file->cancelWriting();
        return nullptr;
    }
    return file;
}

} // namespace

QString systemErrorText(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

QString writeAllTo(int fd, QByteArrayView data)
{
    const char *at = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, std::size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return systemErrorText(errno);
        }
        if (n == 0)
            return systemErrorText(ENOSPC);
        at += n;
        left -= n;
    }
    return {};
}

QString flushToDisk(QFileDevice &file)
{
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return file.errorString();
    const int fd = file.handle();
    // EINVAL: the file cannot be synced (a pipe or special file); nothing more to wait for.
    if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL)
        return systemError(errno);
    return {};
}

QString replaceFileContents(const QString &path, const QByteArray &data,
                            QFileDevice::Permissions permissions)
{
    return replaceFiles({{path, data}}, permissions);
}

QString replaceFiles(const std::vector<std::pair<QString, QByteArray>> &files,
                     QFileDevice::Permissions permissions)
{
    // Everything is written and on the disk before the first rename, so a full disk or a
    // read-only folder fails here with every old file untouched.
    std::vector<std::unique_ptr<QSaveFile>> temps;
    for (const auto &[path, bytes] : files) {
        QString error;
        auto file = prepare(path, bytes, permissions, &error);
        if (!file)
            return error;
        temps.push_back(std::move(file));
    }

    struct Previous
    {
        QString path;
        bool existed;
        QByteArray bytes;
    };
    std::vector<Previous> committed;
    for (std::size_t i = 0; i < temps.size(); ++i) {
        const QString &path = files[i].first;
        Previous previous{path, false, {}};
        if (i + 1 < temps.size()) {
            // Only a later failure needs the old contents back.
            QFile old(path);
            if (old.open(QIODevice::ReadOnly)) {
                previous.existed = true;
                previous.bytes = old.readAll();
            }
        }
        if (!temps[i]->commit()) {
            const QString error = failure(path, temps[i]->errorString());
            for (const Previous &done : committed) {
                if (done.existed)
                    replaceFileContents(done.path, done.bytes, permissions);
                else
                    QFile::remove(done.path);
            }
            return error;
        }
        committed.push_back(std::move(previous));
    }
    return {};
}

QString appendToFile(const QString &path, QByteArrayView data,
                     QFileDevice::Permissions permissions)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC,
                          modeOf(permissions));
    if (fd < 0)
        return failure(path, systemError(errno));
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        const int number = errno;
        ::close(fd);
        return failure(path, systemError(number));
    }
    const off_t before = st.st_size;
    // Read and write: the last byte tells whether the file ends in a whole line.
    char last = '\n';
    if (before > 0 && ::pread(fd, &last, 1, before - 1) != 1)
        last = '\n';
    QString why;
    if (last != '\n')
        why = writeAllTo(fd, "\r\n");
    if (why.isEmpty())
        why = writeAllTo(fd, data);
    if (why.isEmpty() && ::fsync(fd) != 0 && errno != EINVAL)
        why = systemError(errno);
    if (!why.isEmpty()) {
        // Back to the old length: a cut record would be glued to the next one.
        if (::ftruncate(fd, before) == 0)
            ::fsync(fd);
    }
    if (::close(fd) != 0 && why.isEmpty() && errno != EINTR)
        why = systemError(errno);
    return why.isEmpty() ? QString() : failure(path, why);
}

bool makeFolder(const QString &path, QFileDevice::Permissions permissions)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute && !makeFolder(parent, permissions))
        return false;
    const QByteArray name = QFile::encodeName(absolute);
    if (::mkdir(name.constData(), modeOf(permissions)) != 0)
        return errno == EEXIST && QFileInfo(absolute).isDir();
    // mkdir's mode passes through the umask; a folder of ours has exactly the mode we chose.
    return ::chmod(name.constData(), modeOf(permissions)) == 0;
}

} // namespace kvorn
