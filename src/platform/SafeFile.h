// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <utility>
#include <vector>

namespace kvorn {

/// Modes of what the program creates: nothing it writes is ever writable by others, whatever
/// the umask says.
inline constexpr QFileDevice::Permissions kPrivateFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
inline constexpr QFileDevice::Permissions kSharedFile =
    kPrivateFile | QFileDevice::ReadGroup | QFileDevice::ReadOther;
inline constexpr QFileDevice::Permissions kPrivateFolder =
    kPrivateFile | QFileDevice::ExeOwner;

/// Pushes what was written to `file` down to the disk (buffer flush and fsync) and tells
/// whether it got there: empty when it did, else why not. A full disk shows up only here with
/// small files: the write itself lands in a buffer, and QSaveFile::commit does not see a
/// failed final flush.
QString flushToDisk(QFileDevice &file);

/// Writes all of `data` to the open descriptor `fd`, going on after short writes. Empty when
/// everything was written, else the system's reason ("No space left on device"): a file
/// device names a short write only as "Unknown error".
QString writeAllTo(int fd, QByteArrayView data);

/// The system's text for an error number, as strerror gives it.
QString systemErrorText(int number);

/// Appends `data` to `path` (created with `permissions` when missing) and pushes it to the
/// disk, whole or not at all: when any part fails, the file is cut back to the length it
/// had, so that no half line is left for the next append to glue onto. A file that does
/// not end in a line break (cut by a crash) gets one before the new data. Empty on success,
/// else the file name and why.
QString appendToFile(const QString &path, QByteArrayView data,
                     QFileDevice::Permissions permissions = kPrivateFile);

/// Replaces the content of `path` with `data`: written to a temporary file beside it,
/// flushed to the disk, then renamed over the old file, so that any failure leaves the old
/// file whole. A new file gets `permissions`; an existing one keeps its mode, less any write
/// right of others. Empty on success, else the file name and why it could not be saved.
QString replaceFileContents(const QString &path, const QByteArray &data,
                            QFileDevice::Permissions permissions = kPrivateFile);

/// Replaces several files as one change: either all get their new content or, when one
/// fails, those already replaced get their old content back. Same result as above.
QString replaceFiles(const std::vector<std::pair<QString, QByteArray>> &files,
                     QFileDevice::Permissions permissions = kPrivateFile);

/// Creates `path` and its missing parents with `permissions` (umask does not widen them).
bool makeFolder(const QString &path, QFileDevice::Permissions permissions = kPrivateFolder);

} // namespace kvorn
